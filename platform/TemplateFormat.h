#pragma once

#include <QString>
#include <QVariantList>

// Fills a format template of the kind the language files hold: "%s", "%d", "%u", "%x", "%f",
// "%n", "%e" and "%g" (letters in either case) with optional index ("%0:s"), left-justify flag,
// width and precision ("%2n", "%-10s", "%.3d"; each may be "*", taken from the arguments), and
// "%%" for a percent sign. "%n" and "%f"-style conversions use the
// separators of QLocale() (the user's locale unless QLocale::setDefault changed it); "%n" groups
// thousands. Arguments are QString, integer or floating QVariants; a conversion of the wrong type
// takes the argument's text or number as best it can.
//
// Never fails: a bad template is copied as it stands from the bad place on, and a conversion
// with no argument left is left as written; no argument beyond the list is ever read. Widths
// and precisions are capped at 4096.
QString FormatTemplate(const QString& pattern, const QVariantList& args);

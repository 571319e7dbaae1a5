#pragma once

#include <QString>
#include <QStringList>

// The parts of S between occurrences of Delimiter (matched with letter case), in order, not
// trimmed. Adjacent delimiters give an empty part; a delimiter at the very end gives no empty
// last part. An empty S gives no parts, an empty Delimiter gives S alone. With Limit 1 or more
// the last part takes the rest of S once Limit - 1 parts are made; Limit 0 means no limit; a
// negative Limit gives no parts. Never fails.
QStringList SplitString(const QString& delimiter, const QString& s, int limit = 0);

// Whether A and B are equal when only the letters a-z and A-Z are compared without regard to
// case, as the platform's text comparison of names does.
bool SameTextAscii(const QString& a, const QString& b);

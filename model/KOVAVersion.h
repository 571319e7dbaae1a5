#pragma once

#include <QString>
#include <QtGlobal>

// The program's version as a Windows file version carries it: four 16-bit parts. The update
// server compares the number GetVersionNumber makes of them, so these texts must not change.
struct TFileVersion
{
    quint16 Major = 0;
    quint16 Minor = 0;
    quint16 Release = 0;
    quint16 Build = 0;
};

// This build's version, from the project version ("1.2.3" or "1.2.3.4"; missing parts are 0).
TFileVersion KOVAFileVersion();
// The four parts of a dotted version text; a part that is no number in 0..65535 counts as 0.
TFileVersion ParseFileVersion(const QString& text);

// "Major.Minor.Release", with ".Build" only when Build is not 0.
QString GetFileVersionText(const TFileVersion& version = KOVAFileVersion());
// The version text without its dots as a number, with a "0" appended to a three-digit text
// ("1.2.3" gives 1230, "1.2.3.4" 1234, "1.10.0" 1100); 0 when that is no number.
int GetVersionNumber(const TFileVersion& version = KOVAFileVersion());

// "Compiled on Nov 14 2023 at 10:13 PM" for a time in Unix seconds, in UTC, with English month
// names and AM/PM whatever the locale.
QString BuildTimeText(qint64 utcSeconds);

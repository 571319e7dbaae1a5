// The INI routines of uKOVA_Misc.
#include "uKOVA_Misc.h"

#include "TemplateFormat.h"

QString ReadIniValue(const QString& ident, const QString& section, const QString& fileName)
{
    return TIniFile(fileName).ReadString(section, ident, QString());
}

void WriteIniValue(const QString& value, const QString& ident, const QString& section,
                   const QString& fileName)
{
    TIniFile(fileName).WriteString(section, ident, value);
}

QString IniReadString(const QString& fileName, const QString& section, const QString& ident)
{
    return ReadIniValue(ident, section, fileName);
}

void IniWriteString(const QString& fileName, const QString& section, const QString& ident,
                    const QString& value)
{
    WriteIniValue(value, ident, section, fileName);
}

bool RenameIniSection(const TIniFile& iniFile, const QString& oldName, const QString& newName)
{
    return TIniFile(iniFile.FileName()).RenameSection(oldName, newName);
}

void ExtractNameOrValue(const QString& s, bool valuePart, QString& result)
{
    const qsizetype eq = s.indexOf(u'=');
    if (eq < 0)
        return;
    result = valuePart ? s.mid(eq + 1) : s.left(eq);
}

QStringList CreateRepeatedStringList(const QString& s, int count)
{
    QStringList list;
    if (count > 0) {
        list.reserve(count);
        for (int i = 0; i < count; ++i)
            list.append(s);
    }
    return list;
}

QString FormatFileSize(qint64 size)
{
    constexpr qint64 KKilo = 1024;
    constexpr qint64 KMega = KKilo * KKilo;
    constexpr qint64 KGiga = KMega * KKilo;
    // The upper bounds belong to the lower unit: 1048576 bytes is "1,024.00 KB".
    if (size < KKilo)
        return FormatTemplate(QStringLiteral("%d Byte"), {size});
    if (size <= KMega)
        return FormatTemplate(QStringLiteral("%2n KB"), {double(size) / KKilo});
    if (size <= KGiga)
        return FormatTemplate(QStringLiteral("%2n MB"), {double(size) / KKilo / KKilo});
    return FormatTemplate(QStringLiteral("%2n GB"), {double(size) / KKilo / KKilo / KKilo});
}

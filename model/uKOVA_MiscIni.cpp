// The INI routines of uKOVA_Misc.
#include "uKOVA_Misc.h"

#include "TextLines.h"

#include "AtomicFile.h"
#include "TemplateFormat.h"
#include "TextCodec.h"

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
    const QString& fileName = iniFile.FileName();
    if (newName.contains(u']') || newName.contains(u'\n') || newName.contains(u'\r'))
        throw EIniFileException(
            fileName,
            QStringLiteral("the section name \"%1\" cannot stand in a header").arg(newName));
    QByteArray bytes;
    QString error;
    if (!ReadWholeFile(fileName, bytes, &error))
        throw EIniFileException(fileName, QStringLiteral("cannot read it: ") + error);
    const TTextForm form = DetectTextForm(bytes);
    const QString text = form.Decode(bytes);
    if (text.isEmpty())
        return false;
    if (!form.Known)
        throw EIniFileException::UnknownEncoding(fileName);

    const QString oldHeader = u'[' + oldName + u']';
    const QString newHeader = u'[' + newName + u']';
    // Whole lines only: a header with blanks around the brackets or the name is another line.
    qsizetype found = -1;
    qsizetype foundEnd = -1;
    for (const TTextLine& textLine : SplitLines(text)) {
        const QStringView line =
            QStringView(text).sliced(textLine.Start, textLine.End - textLine.Start);
        if (line.compare(newHeader, Qt::CaseInsensitive) == 0)
            return false;
        if (found < 0 && line.compare(oldHeader, Qt::CaseInsensitive) == 0) {
            found = textLine.Start;
            foundEnd = textLine.End;
        }
    }
    if (found < 0)
        return false;

    // Only the header line changes; every other byte is copied as it was.
    const QByteArray header = form.Encode(newHeader);
    const qsizetype from = form.ByteOffset(found);
    const qsizetype to = form.ByteOffset(foundEnd);
    QByteArray result;
    result.reserve(bytes.size() + header.size());
    result.append(bytes.constData(), from);
    result.append(header);
    result.append(bytes.constData() + to, bytes.size() - to);
    if (!WriteFileAtomically(fileName, result, &error))
        throw EIniFileException(fileName, error);
    return true;
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

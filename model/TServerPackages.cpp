#include "TServerPackages.h"

#include "TextLines.h"

#include "AtomicFile.h"
#include "GamePath.h"
#include "TIniFile.h"
#include "TKOVASettings.h"
#include "TextCodec.h"

#include <QFileInfo>

#include <optional>
#include <vector>

namespace {

const QLatin1String KServerPackagesKey("ServerPackages=");
const QLatin1String KEngineSection("Engine.GameEngine");

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// After blanks and one optional ";", the line starts with "ServerPackages=".
bool IsServerPackageLine(QStringView line)
{
    qsizetype i = 0;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    if (i < line.size() && line[i] == u';')
        ++i;
    return line.sliced(i).startsWith(KServerPackagesKey);
}

// The name of a section header line ("[" name "]" after blanks), or nothing.
std::optional<QStringView> SectionName(QStringView line)
{
    const QStringView content = line.trimmed();
    if (!content.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = content.indexOf(u']');
    if (close < 0)
        return std::nullopt;
    return content.sliced(1, close - 1).trimmed();
}

// A file's text with the means to copy its bytes untouched and to encode new text like it.
class TTextFile final
{
public:
    explicit TTextFile(QByteArray bytes)
        : FBytes(std::move(bytes))
        , FForm(DetectTextForm(FBytes))
        , FText(FForm.Decode(FBytes))
        , FLines(SplitLines(FText))
    {}

    const QString& Text() const { return FText; }
    const std::vector<TTextLine>& Lines() const { return FLines; }
    QStringView Line(size_t i) const
    {
        return QStringView(FText).sliced(FLines[i].Start, FLines[i].End - FLines[i].Start);
    }
    qsizetype ByteOffset(qsizetype charPos) const { return FForm.ByteOffset(charPos); }
    // Whether the encoding could be told, so that the file can be written.
    bool Writable() const { return FForm.Known; }
    // The bytes before the first character: the byte-order mark of a UTF-16 file.
    QByteArray Head() const { return FBytes.left(ByteOffset(0)); }
    // The bytes of characters [From, To).
    void AppendOriginal(QByteArray& out, qsizetype from, qsizetype to) const
    {
        out.append(FBytes.constData() + ByteOffset(from), ByteOffset(to) - ByteOffset(from));
    }
    // The bytes after the last character (an odd byte of a UTF-16 file), kept as they were.
    void AppendTail(QByteArray& out) const
    {
        const qsizetype end = ByteOffset(FText.size());
        out.append(FBytes.constData() + end, FBytes.size() - end);
    }
    QByteArray Encode(const QString& text) const { return FForm.Encode(text); }
    // The file's first line ending; CR LF for a file without one.
    QString LineEnding() const
    {
        for (const TTextLine& line : FLines) {
            if (line.Next > line.End)
                return FText.mid(line.End, line.Next - line.End);
        }
        return QStringLiteral("\r\n");
    }
    bool EndsWithoutLineEnding() const
    {
        return !FLines.empty() && FLines.back().Next == FLines.back().End;
    }

private:
    QByteArray FBytes;
    TTextForm FForm;
    QString FText;
    std::vector<TTextLine> FLines;
};

} // namespace

TServerPackages::TServerPackages(const QString& iniFile, TKOVASettings* settings)
    : IniFile(iniFile)
    , Settings(settings)
{
    Load();
}

QString TServerPackages::GetSystemDir() const
{
    if (Settings)
        return Settings->GetPath(TMapPaths::mpSystem);
    return QFileInfo(ResolveGamePath(IniFile)).absolutePath();
}

void TServerPackages::Load()
{
    FItems.clear();
    QByteArray bytes;
    if (!GameFileExists(IniFile) || !ReadWholeFile(ResolveGamePath(IniFile), bytes))
        return;
    const TTextFile file(std::move(bytes));
    for (size_t i = 0; i < file.Lines().size(); ++i) {
        const QStringView line = file.Line(i);
        if (IsServerPackageLine(line))
            FItems.push_back(std::make_unique<TServerPackage>(line.toString(), this));
    }
}

TResult<void> TServerPackages::Save()
{
    if (!GameFileExists(IniFile))
        return {};
    const QString fileName = ResolveGamePath(IniFile);
    for (const auto& item : FItems) {
        if (item->Line.contains(u'\n') || item->Line.contains(u'\r'))
            return TError{TErrorCode::ecInvalid,
                          QStringLiteral("%1 was not written: the server-package line \"%2\" "
                                         "holds a line break.")
                              .arg(fileName, item->Line),
                          fileName};
    }
    QByteArray bytes;
    QString error;
    if (!ReadWholeFile(fileName, bytes, &error))
        return TError{TErrorCode::ecFailed,
                      QStringLiteral("%1 could not be read: %2").arg(fileName, error), fileName};
    const TTextFile file(std::move(bytes));
    if (!file.Writable())
        return ErrorFrom(EIniFileException::UnknownEncoding(fileName), fileName,
                         TErrorCode::ecInvalid);
    const auto& lines = file.Lines();
    const QString eol = file.LineEnding();

    size_t first = lines.size();
    for (size_t i = 0; i < lines.size() && first == lines.size(); ++i) {
        if (IsServerPackageLine(file.Line(i)))
            first = i;
    }

    QByteArray out = file.Head();
    if (first < lines.size()) {
        file.AppendOriginal(out, 0, lines[first].Start);
        bool anyKept = false; // a line of the file follows the package lines
        for (size_t i = first + 1; i < lines.size() && !anyKept; ++i)
            anyKept = !IsServerPackageLine(file.Line(i));
        QString block;
        for (size_t k = 0; k < FItems.size(); ++k) {
            block += FItems[k]->Line;
            // A file that ended without a line ending still does.
            if (anyKept || k + 1 < FItems.size() || !file.EndsWithoutLineEnding())
                block += eol;
        }
        out += file.Encode(block);
        for (size_t i = first + 1; i < lines.size(); ++i) {
            if (!IsServerPackageLine(file.Line(i)))
                file.AppendOriginal(out, lines[i].Start, lines[i].Next);
        }
    } else {
        if (FItems.empty())
            return {};
        // After the last non-blank line of the game engine's section, like a new key.
        std::optional<size_t> header;
        for (size_t i = 0; i < lines.size() && !header; ++i) {
            const auto name = SectionName(file.Line(i));
            if (name && name->compare(KEngineSection, Qt::CaseInsensitive) == 0)
                header = i;
        }
        size_t anchor = header.value_or(0);
        if (header) {
            for (size_t i = *header + 1; i < lines.size(); ++i) {
                if (SectionName(file.Line(i)))
                    break;
                if (!file.Line(i).trimmed().isEmpty())
                    anchor = i;
            }
        }
        QString block;
        qsizetype at;
        if (header && lines[anchor].Next > lines[anchor].End) {
            at = lines[anchor].Next;
            for (const auto& item : FItems)
                block += item->Line + eol;
        } else {
            at = header ? lines[anchor].End : file.Text().size();
            if (!header) {
                if (file.EndsWithoutLineEnding())
                    block += eol;
                if (!lines.empty() && !file.Line(lines.size() - 1).trimmed().isEmpty())
                    block += eol;
                block += u'[' + QString(KEngineSection) + u']';
            }
            for (const auto& item : FItems)
                block += eol + item->Line;
            if (!header)
                block += eol;
        }
        file.AppendOriginal(out, 0, at);
        out += file.Encode(block);
        file.AppendOriginal(out, at, file.Text().size());
    }
    file.AppendTail(out);

    if (!WriteFileAtomically(fileName, out, &error))
        return TError{TErrorCode::ecFailed,
                      QStringLiteral("%1 could not be written: %2").arg(fileName, error), fileName};
    return {};
}

TServerPackage* TServerPackages::Add(const QString& line)
{
    FItems.push_back(std::make_unique<TServerPackage>(line, this));
    return FItems.back().get();
}

void TServerPackages::Delete(int index)
{
    if (GetItem(index))
        FItems.erase(FItems.begin() + index);
}

int TServerPackages::GetCount() const
{
    return int(FItems.size());
}

TServerPackage* TServerPackages::GetItem(int index) const
{
    return index >= 0 && size_t(index) < FItems.size() ? FItems[size_t(index)].get() : nullptr;
}

int TServerPackages::IndexOf(const TServerPackage* package) const
{
    for (size_t i = 0; i < FItems.size(); ++i) {
        if (FItems[i].get() == package)
            return int(i);
    }
    return -1;
}

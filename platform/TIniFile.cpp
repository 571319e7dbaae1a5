#include "TIniFile.h"

#include "TextLines.h"

#include "AtomicFile.h"
#include "FileChangeMonitor.h"
#include "TextCodec.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

EIniFileException::EIniFileException(const QString& fileName, const QString& reason)
    : std::runtime_error(QStringLiteral("Unable to write to %1: %2")
                             .arg(QDir::toNativeSeparators(fileName), reason)
                             .toStdString())
    , FFileName(fileName)
{}

EIniFileException EIniFileException::UnknownEncoding(const QString& fileName)
{
    return EIniFileException(
        fileName, QStringLiteral("its text encoding cannot be told, so it is left as it is"));
}

namespace {

// The blanks the profile functions trim; ESC and other control bytes are text (the game puts
// colour codes into section names and values).
bool IsBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\r' || u == u'\v' || u == u'\f';
}

QStringView Trimmed(QStringView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

QStringView Unquoted(QStringView s)
{
    if (s.size() >= 2 && s.front() == u'"' && s.back() == u'"')
        return s.sliced(1, s.size() - 2);
    return s;
}

// Hash and equality of names without regard to letter case, matching QStringView::compare with
// Qt::CaseInsensitive (which folds whole code points), without building folded copies.
struct TNoCaseHash
{
    size_t operator()(QStringView s) const noexcept
    {
        size_t h = 14695981039346656037ull;
        const qsizetype n = s.size();
        for (qsizetype i = 0; i < n; ++i) {
            char32_t c = s[i].unicode();
            if (c < 0x80) {
                if (c >= u'A' && c <= u'Z')
                    c += 32;
            } else if (QChar::isHighSurrogate(c) && i + 1 < n && s[i + 1].isLowSurrogate()) {
                c = QChar::toCaseFolded(QChar::surrogateToUcs4(char16_t(c), s[i + 1].unicode()));
                ++i;
            } else {
                c = QChar::toCaseFolded(c);
            }
            h = (h ^ c) * 1099511628211ull;
        }
        return h;
    }
};

struct TNoCaseEqual
{
    bool operator()(QStringView a, QStringView b) const noexcept
    {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    }
};

using TNameIndex = std::unordered_map<QStringView, int, TNoCaseHash, TNoCaseEqual>;

using TLine = TTextLine;

struct TKey
{
    QStringView Name;
    QStringView Value;    // blanks and one pair of quotes removed
    qsizetype ValueStart; // first character after the "="
    int Line;
};

struct TSection
{
    QStringView Name;
    int HeaderLine;
    int EndLine; // the next header, or the line count
    std::vector<TKey> Keys;
    TNameIndex KeyIndex; // first occurrence of each name

    const TKey* Find(QStringView ident) const
    {
        const auto it = KeyIndex.find(Trimmed(ident));
        return it == KeyIndex.end() ? nullptr : &Keys[it->second];
    }
};

// One parsed file. Immutable once built, so a cached parse is shared between threads. The views
// point into Text, which the document owns.
class TIniDocument final
{
public:
    // A cached parse serves reads only and need not keep the bytes (KeepBytes false).
    TIniDocument(QByteArray bytes, bool keepBytes);
    TIniDocument(const TIniDocument&) = delete;
    TIniDocument& operator=(const TIniDocument&) = delete;

    const QByteArray& Bytes() const { return FBytes; }
    const QString& Text() const { return FText; }
    const std::vector<TLine>& Lines() const { return FLines; }
    const std::vector<TSection>& Sections() const { return FSections; }

    const TSection* FindSection(QStringView name) const
    {
        const auto it = FSectionIndex.find(Trimmed(name));
        return it == FSectionIndex.end() ? nullptr : &FSections[it->second];
    }
    bool IsFirstOfName(const TSection& section) const
    {
        return &FSections[FSectionIndex.at(section.Name)] == &section;
    }

    // Bytes of Text for this file's encoding.
    QByteArray Encode(QStringView text) const { return FForm.Encode(text); }
    // Byte offset of a character position of Text.
    qsizetype ByteOffset(qsizetype charPos) const { return FForm.ByteOffset(charPos); }
    // Whether the file's encoding could be told, so that it can be written.
    bool Writable() const { return FForm.Known; }
    // The line ending new lines get: the file's first one, else CR LF.
    QString LineEnding() const;

private:
    void Parse();

    QByteArray FBytes;
    TTextForm FForm;
    QString FText;
    std::vector<TLine> FLines;
    std::vector<TSection> FSections;
    TNameIndex FSectionIndex;
};

TIniDocument::TIniDocument(QByteArray bytes, bool keepBytes)
    : FBytes(std::move(bytes))
    , FForm(DetectTextForm(FBytes))
    , FText(FForm.Decode(FBytes))
{
    if (!keepBytes)
        FBytes.clear();
    Parse();
}

void TIniDocument::Parse()
{
    const QStringView text(FText);
    FLines = SplitLines(text);

    TSection* section = nullptr;
    const int count = int(FLines.size());
    for (int i = 0; i < count; ++i) {
        const TLine& line = FLines[size_t(i)];
        const QStringView content = text.sliced(line.Start, line.End - line.Start);
        qsizetype b = 0;
        while (b < content.size() && IsBlank(content[b]))
            ++b;
        if (b == content.size() || content[b] == u';')
            continue;
        if (content[b] == u'[') {
            const qsizetype close = content.indexOf(u']', b + 1);
            if (close < 0)
                continue; // not a header; the keys below stay in the section above
            if (section)
                section->EndLine = i;
            FSections.push_back({});
            section = &FSections.back();
            section->Name = Trimmed(content.sliced(b + 1, close - b - 1));
            section->HeaderLine = i;
            section->EndLine = count;
            continue;
        }
        if (!section)
            continue; // lines above the first header belong to no section
        const qsizetype eq = content.indexOf(u'=', b);
        if (eq < 0)
            continue; // a line without "=" is no key
        const QStringView name = Trimmed(content.sliced(b, eq - b));
        if (name.isEmpty())
            continue;
        const QStringView value = Unquoted(Trimmed(content.sliced(eq + 1)));
        section->Keys.push_back({name, value, line.Start + eq + 1, i});
    }

    // Indexes last: the vectors no longer move.
    FSectionIndex.reserve(FSections.size());
    for (size_t s = 0; s < FSections.size(); ++s) {
        TSection& sec = FSections[s];
        FSectionIndex.emplace(sec.Name, int(s));
        sec.KeyIndex.reserve(sec.Keys.size());
        for (size_t k = 0; k < sec.Keys.size(); ++k)
            sec.KeyIndex.emplace(sec.Keys[k].Name, int(k));
    }
}

QString TIniDocument::LineEnding() const
{
    for (const TLine& line : FLines) {
        if (line.Next > line.End)
            return FText.mid(line.End, line.Next - line.End);
    }
    return QStringLiteral("\r\n");
}

// Parses of files by path, shared by every TIniFile of the process and every thread. Few
// files are in use at a time, so a short list, most recently used first, finds them fastest.
class TIniCache final
{
public:
    static TIniCache& Instance()
    {
        static TIniCache cache;
        return cache;
    }

    // Calls Use with the parse of the file as it is now (an empty document when the file
    // cannot be read) and returns what it returns.
    template <class F> auto Use(const QString& fileName, F&& use)
    {
        const QString key = KeyOf(fileName);
        TFileVersion version;
        {
            std::lock_guard lock(FMutex);
            const auto it = Find(key);
            if (it != FEntries.end()) {
                if (FMonitor.IsUnchanged(it->Version)) {
                    std::rotate(FEntries.begin(), it, it + 1);
                    return use(*FEntries.front().Document);
                }
                Drop(it);
            }
            // Taken before the bytes are read: a change during the read makes it stale.
            version = FMonitor.Watch(key);
        }
        QByteArray bytes;
        if (!ReadWholeFile(key, bytes))
            bytes.clear();
        auto document = std::make_shared<const TIniDocument>(std::move(bytes), false);
        Store(key, std::move(version), document);
        return use(*document);
    }

    void Forget(const QString& fileName)
    {
        const QString key = KeyOf(fileName);
        std::lock_guard lock(FMutex);
        const auto it = Find(key);
        if (it != FEntries.end())
            Drop(it);
    }

private:
    static constexpr size_t KMaxEntries = 32;

    struct TEntry
    {
        QString Key;
        TFileVersion Version;
        std::shared_ptr<const TIniDocument> Document;
    };
    using TEntries = std::vector<TEntry>;

    static QString KeyOf(const QString& fileName)
    {
        // The plain test first: QDir's builds a QFileInfo, which costs more than the lookup.
        if (fileName.startsWith(u'/') || QDir::isAbsolutePath(fileName))
            return fileName;
        return QDir::current().absoluteFilePath(fileName);
    }

    TEntries::iterator Find(const QString& key)
    {
        return std::find_if(FEntries.begin(), FEntries.end(),
                            [&](const TEntry& entry) { return entry.Key == key; });
    }

    void Drop(TEntries::iterator it)
    {
        FMonitor.Release(it->Version);
        FEntries.erase(it);
    }

    void Store(const QString& key, TFileVersion version,
               std::shared_ptr<const TIniDocument> document)
    {
        std::lock_guard lock(FMutex);
        const auto old = Find(key);
        if (old != FEntries.end())
            Drop(old); // another thread read it meanwhile
        if (FEntries.size() >= KMaxEntries)
            Drop(FEntries.end() - 1);
        FEntries.insert(FEntries.begin(), TEntry{key, std::move(version), std::move(document)});
    }

    std::mutex FMutex;
    TEntries FEntries;
    TFileChangeMonitor FMonitor;
};

template <class F> auto WithDocument(const QString& fileName, F&& use)
{
    return TIniCache::Instance().Use(fileName, std::forward<F>(use));
}

// A write works on the bytes on disk now, never on a cached parse.
std::shared_ptr<TIniDocument> LoadForWrite(const QString& fileName)
{
    QByteArray bytes;
    QString error;
    if (!ReadWholeFile(fileName, bytes, &error) && QFileInfo::exists(fileName))
        throw EIniFileException(fileName, QStringLiteral("cannot read it: ") + error);
    auto document = std::make_shared<TIniDocument>(std::move(bytes), true);
    if (!document->Writable())
        throw EIniFileException::UnknownEncoding(fileName);
    return document;
}

void Save(const QString& fileName, const QByteArray& bytes)
{
    QString error;
    const bool ok = WriteFileAtomically(fileName, bytes, &error);
    TIniCache::Instance().Forget(fileName);
    if (!ok)
        throw EIniFileException(fileName, error);
}

// Replaces the characters [From, To) of the document's text by Text, byte for byte elsewhere.
QByteArray Splice(const TIniDocument& doc, qsizetype from, qsizetype to, QStringView text)
{
    const QByteArray& bytes = doc.Bytes();
    const qsizetype byteFrom = doc.ByteOffset(from);
    const qsizetype byteTo = doc.ByteOffset(to);
    const QByteArray inserted = doc.Encode(text);
    QByteArray result;
    result.reserve(bytes.size() + inserted.size());
    result.append(bytes.constData(), byteFrom);
    result.append(inserted);
    result.append(bytes.constData() + byteTo, bytes.size() - byteTo);
    return result;
}

void CheckName(const QString& fileName, const QString& what, const QString& name,
               const QString& forbidden)
{
    if (Trimmed(name).isEmpty())
        throw EIniFileException(fileName, QStringLiteral("the %1 name is empty").arg(what));
    for (const QChar c : name) {
        if (c == u'\n' || c == u'\r' || forbidden.contains(c))
            throw EIniFileException(
                fileName, QStringLiteral("the %1 name \"%2\" holds a character an INI file "
                                         "cannot keep in it")
                              .arg(what, name));
    }
}

} // namespace

TIniFile::TIniFile(const QString& fileName)
    : FFileName(fileName)
{}

QStringList TIniFile::ReadSections() const
{
    return WithDocument(FFileName, [](const TIniDocument& doc) {
        QStringList result;
        for (const TSection& section : doc.Sections()) {
            if (doc.IsFirstOfName(section))
                result.append(section.Name.toString());
        }
        return result;
    });
}

QStringList TIniFile::ReadSection(const QString& section) const
{
    return WithDocument(FFileName, [&](const TIniDocument& doc) {
        QStringList result;
        if (const TSection* sec = doc.FindSection(section)) {
            result.reserve(qsizetype(sec->Keys.size()));
            for (const TKey& key : sec->Keys)
                result.append(key.Name.toString());
        }
        return result;
    });
}

QStringList TIniFile::ReadSectionValues(const QString& section) const
{
    return WithDocument(FFileName, [&](const TIniDocument& doc) {
        QStringList result;
        if (const TSection* sec = doc.FindSection(section)) {
            result.reserve(qsizetype(sec->Keys.size()));
            for (const TKey& key : sec->Keys)
                result.append(key.Name.toString() + u'=' + key.Value.toString());
        }
        return result;
    });
}

bool TIniFile::SectionExists(const QString& section) const
{
    return WithDocument(FFileName, [&](const TIniDocument& doc) {
        const TSection* sec = doc.FindSection(section);
        return sec && !sec->Keys.empty();
    });
}

bool TIniFile::ValueExists(const QString& section, const QString& ident) const
{
    return WithDocument(FFileName, [&](const TIniDocument& doc) {
        const TSection* sec = doc.FindSection(section);
        return sec && sec->Find(ident);
    });
}

std::optional<QString> TIniFile::ReadValue(const QString& section, const QString& ident) const
{
    return WithDocument(FFileName, [&](const TIniDocument& doc) -> std::optional<QString> {
        const TSection* sec = doc.FindSection(section);
        const TKey* key = sec ? sec->Find(ident) : nullptr;
        if (!key)
            return std::nullopt;
        return key->Value.toString();
    });
}

QString TIniFile::ReadString(const QString& section, const QString& ident, const QString& def) const
{
    return ReadValue(section, ident).value_or(def);
}

namespace {

std::optional<int> ParseInteger(QStringView s)
{
    bool negative = false;
    if (!s.isEmpty() && (s.front() == u'-' || s.front() == u'+')) {
        negative = s.front() == u'-';
        s = s.sliced(1);
    }
    int base = 10;
    if (s.startsWith(u'$')) {
        base = 16;
        s = s.sliced(1);
    } else if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        s = s.sliced(2);
    }
    if (s.isEmpty() || !s.front().isLetterOrNumber())
        return std::nullopt; // no second sign, no blank after the prefix
    bool ok = false;
    const qint64 magnitude = s.toLongLong(&ok, base);
    if (!ok || magnitude < 0)
        return std::nullopt;
    const qint64 value = negative ? -magnitude : magnitude;
    // Hexadecimal texts name bit patterns: "$FFFFFFFF" is -1 as it is for the platform.
    if (base == 16 && !negative && value <= 0xFFFFFFFFll)
        return int(quint32(value));
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

} // namespace

int TIniFile::ReadInteger(const QString& section, const QString& ident, int def) const
{
    const std::optional<QString> text = ReadValue(section, ident);
    if (!text)
        return def;
    return ParseInteger(*text).value_or(def);
}

bool TIniFile::ReadBool(const QString& section, const QString& ident, bool def) const
{
    return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

namespace {

// Refuses a write whose names or value would not read back as written.
void CheckKeyWrite(const QString& fileName, const QString& section, const QString& ident,
                   const QString& value)
{
    CheckName(fileName, QStringLiteral("section"), section, QStringLiteral("]"));
    CheckName(fileName, QStringLiteral("key"), ident, QStringLiteral("="));
    const QStringView name = Trimmed(ident);
    if (name.startsWith(u'[') || name.startsWith(u';'))
        throw EIniFileException(
            fileName, QStringLiteral("the key name \"%1\" would not read back").arg(ident));
    if (value.contains(u'\n') || value.contains(u'\r'))
        throw EIniFileException(
            fileName, QStringLiteral("the value of \"%1\" holds a line break").arg(ident));
}

// The file with a new line "Name=Value" after the last non-blank line of the first matching
// section, or with the section added at the end of the file.
QByteArray WithKeyAdded(const TIniDocument& doc, const QString& section, QStringView name,
                        const QString& value)
{
    const QString& text = doc.Text();
    const auto& lines = doc.Lines();
    const QString eol = doc.LineEnding();
    if (const TSection* sec = doc.FindSection(section)) {
        // After the section's last non-blank line, so the blank lines before the next header
        // stay where they are.
        int anchor = sec->HeaderLine;
        for (int i = sec->EndLine - 1; i > sec->HeaderLine; --i) {
            const TLine& line = lines[size_t(i)];
            if (!Trimmed(QStringView(text).sliced(line.Start, line.End - line.Start)).isEmpty()) {
                anchor = i;
                break;
            }
        }
        const TLine& line = lines[size_t(anchor)];
        const QString entry = name.toString() + u'=' + value;
        if (line.Next == line.End) // the file's last line, without a line ending
            return Splice(doc, line.End, line.End, eol + entry);
        return Splice(doc, line.Next, line.Next, entry + eol);
    }

    // A new section at the end, after a blank line when the file has text.
    QString added;
    if (!lines.empty()) {
        const TLine& last = lines.back();
        if (last.Next == last.End)
            added += eol;
        if (!Trimmed(QStringView(text).sliced(last.Start, last.End - last.Start)).isEmpty())
            added += eol;
    }
    added += u'[' + Trimmed(section).toString() + u']' + eol + name.toString() + u'=' + value + eol;
    return Splice(doc, text.size(), text.size(), added);
}

} // namespace

void TIniFile::WriteString(const QString& section, const QString& ident, const QString& value)
{
    WriteStrings({{section, ident, value}});
}

void TIniFile::WriteStrings(const QList<TIniValue>& values)
{
    for (const TIniValue& value : values)
        CheckKeyWrite(FFileName, value.Section, value.Ident, value.Value);
    if (values.isEmpty())
        return;
    auto doc = LoadForWrite(FFileName);
    QByteArray bytes;
    for (const TIniValue& value : values) {
        if (!bytes.isNull())
            doc = std::make_shared<TIniDocument>(std::move(bytes), true);
        const QStringView name = Trimmed(value.Ident);
        const TSection* sec = doc->FindSection(value.Section);
        if (const TKey* key = sec ? sec->Find(name) : nullptr) {
            // Everything up to and including the "=" stays as it was.
            const TLine& line = doc->Lines()[size_t(key->Line)];
            bytes = Splice(*doc, key->ValueStart, line.End, value.Value);
        } else {
            bytes = WithKeyAdded(*doc, value.Section, name, value.Value);
        }
    }
    Save(FFileName, bytes);
}

void TIniFile::WriteInteger(const QString& section, const QString& ident, int value)
{
    WriteString(section, ident, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& ident, bool value)
{
    WriteString(section, ident, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::DeleteKey(const QString& section, const QString& ident)
{
    const auto doc = LoadForWrite(FFileName);
    const TSection* sec = doc->FindSection(section);
    const TKey* key = sec ? sec->Find(ident) : nullptr;
    if (!key)
        return;
    const TLine& line = doc->Lines()[size_t(key->Line)];
    Save(FFileName, Splice(*doc, line.Start, line.Next, {}));
}

int TIniFile::DeleteKeys(const QString& section, const QStringList& idents)
{
    if (idents.isEmpty())
        return 0;
    const auto doc = LoadForWrite(FFileName);
    const TSection* sec = doc->FindSection(section);
    if (!sec)
        return 0;

    // Every line of each name, in file order, and how many of them are taken: the n-th removal
    // of a name takes its n-th line, as n single removals would.
    struct TQueue
    {
        std::vector<int> Lines;
        size_t Taken = 0;
    };
    std::unordered_map<QStringView, TQueue, TNoCaseHash, TNoCaseEqual> queues;
    queues.reserve(sec->Keys.size());
    for (const TKey& key : sec->Keys)
        queues[key.Name].Lines.push_back(key.Line);
    std::vector<int> removed;
    for (const QString& ident : idents) {
        const auto it = queues.find(Trimmed(ident));
        if (it == queues.end() || it->second.Taken == it->second.Lines.size())
            continue;
        removed.push_back(it->second.Lines[it->second.Taken++]);
    }
    if (removed.empty())
        return 0;
    std::sort(removed.begin(), removed.end());

    const QByteArray& bytes = doc->Bytes();
    const auto& lines = doc->Lines();
    QByteArray result;
    result.reserve(bytes.size());
    qsizetype kept = 0; // bytes before this offset are settled
    for (const int index : removed) {
        const TLine& line = lines[size_t(index)];
        const qsizetype from = doc->ByteOffset(line.Start);
        result.append(bytes.constData() + kept, from - kept);
        kept = doc->ByteOffset(line.Next);
    }
    result.append(bytes.constData() + kept, bytes.size() - kept);
    Save(FFileName, result);
    return int(removed.size());
}

void TIniFile::EraseSection(const QString& section)
{
    const auto doc = LoadForWrite(FFileName);
    const TSection* sec = doc->FindSection(section);
    if (!sec)
        return;
    const auto& lines = doc->Lines();
    const qsizetype from = lines[size_t(sec->HeaderLine)].Start;
    const qsizetype to = size_t(sec->EndLine) < lines.size() ? lines[size_t(sec->EndLine)].Start
                                                             : doc->Text().size();
    Save(FFileName, Splice(*doc, from, to, {}));
}

bool TIniFile::RenameSection(const QString& oldName, const QString& newName)
{
    if (newName.contains(u']') || newName.contains(u'\n') || newName.contains(u'\r'))
        throw EIniFileException(
            FFileName,
            QStringLiteral("the section name \"%1\" cannot stand in a header").arg(newName));
    if (!QFileInfo::exists(FFileName))
        throw EIniFileException(FFileName, QStringLiteral("cannot read it: it does not exist"));
    const auto doc = LoadForWrite(FFileName);
    const QString& text = doc->Text();
    const QString oldHeader = u'[' + oldName + u']';
    const QString newHeader = u'[' + newName + u']';
    const TLine* found = nullptr;
    for (const TLine& line : doc->Lines()) {
        const QStringView content = QStringView(text).sliced(line.Start, line.End - line.Start);
        if (content.compare(newHeader, Qt::CaseInsensitive) == 0)
            return false;
        if (!found && content.compare(oldHeader, Qt::CaseInsensitive) == 0)
            found = &line;
    }
    if (!found)
        return false;
    Save(FFileName, Splice(*doc, found->Start, found->End, newHeader));
    return true;
}

// Repeated keys, one line at a time.

namespace {

// The Occurrence-th line (from 0) of the key in the section, in file order; null for none.
const TKey* FindKeyLine(const TSection* sec, const QString& ident, int occurrence)
{
    if (!sec || occurrence < 0)
        return nullptr;
    const QStringView name = Trimmed(ident);
    for (const TKey& key : sec->Keys) {
        if (key.Name.compare(name, Qt::CaseInsensitive) == 0 && occurrence-- == 0)
            return &key;
    }
    return nullptr;
}

// Where a key line's value stands in the text: after the "=", without the blanks around it.
std::pair<qsizetype, qsizetype> ValueSpan(const TIniDocument& doc, const TKey& key)
{
    const TLine& line = doc.Lines()[size_t(key.Line)];
    const QStringView rest =
        QStringView(doc.Text()).sliced(key.ValueStart, line.End - key.ValueStart);
    const QStringView value = Trimmed(rest);
    const qsizetype start =
        value.isEmpty() ? key.ValueStart : key.ValueStart + (value.data() - rest.data());
    return {start, start + value.size()};
}

QString RawValue(const TIniDocument& doc, const TKey& key)
{
    const auto [from, to] = ValueSpan(doc, key);
    return doc.Text().mid(from, to - from);
}

} // namespace

QList<TIniKeyLine> TIniFile::ReadKeyLines(const QString& section) const
{
    return WithDocument(FFileName, [&](const TIniDocument& doc) {
        QList<TIniKeyLine> result;
        const TSection* sec = doc.FindSection(section);
        if (!sec)
            return result;
        result.reserve(qsizetype(sec->Keys.size()));
        // Lines counted so far per name, by the index of the name's first line.
        std::vector<int> counts(sec->Keys.size(), 0);
        for (const TKey& key : sec->Keys) {
            const int first = sec->KeyIndex.at(key.Name);
            result.append({key.Name.toString(), RawValue(doc, key), counts[size_t(first)]++});
        }
        return result;
    });
}

std::optional<QString> TIniFile::ReadValueAt(const QString& section, const QString& ident,
                                             int occurrence) const
{
    return WithDocument(FFileName, [&](const TIniDocument& doc) -> std::optional<QString> {
        const TKey* key = FindKeyLine(doc.FindSection(section), ident, occurrence);
        if (!key)
            return std::nullopt;
        return RawValue(doc, *key);
    });
}

void TIniFile::WriteValueAt(const QString& section, const QString& ident, int occurrence,
                            const QString& value)
{
    CheckKeyWrite(FFileName, section, ident, value);
    const auto doc = LoadForWrite(FFileName);
    if (const TKey* key = FindKeyLine(doc->FindSection(section), ident, occurrence)) {
        const auto [from, to] = ValueSpan(*doc, *key);
        Save(FFileName, Splice(*doc, from, to, value));
        return;
    }
    Save(FFileName, WithKeyAdded(*doc, section, Trimmed(ident), value));
}

void TIniFile::AddKeyLine(const QString& section, const QString& ident, const QString& value)
{
    CheckKeyWrite(FFileName, section, ident, value);
    const auto doc = LoadForWrite(FFileName);
    Save(FFileName, WithKeyAdded(*doc, section, Trimmed(ident), value));
}

bool TIniFile::DeleteKeyAt(const QString& section, const QString& ident, int occurrence)
{
    const auto doc = LoadForWrite(FFileName);
    const TKey* key = FindKeyLine(doc->FindSection(section), ident, occurrence);
    if (!key)
        return false;
    const TLine& line = doc->Lines()[size_t(key->Line)];
    Save(FFileName, Splice(*doc, line.Start, line.Next, {}));
    return true;
}

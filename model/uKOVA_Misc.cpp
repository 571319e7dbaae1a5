#include "uKOVA_Misc.h"

#include "FileMask.h"
#include "FolderScan.h"
#include "GamePath.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

#include <algorithm>

namespace {

// Codes of the platform's shell operation that callers may see.
constexpr int KResultInvalidFiles = 0x7C; // a malformed request
constexpr int KResultFailed = 0x402;      // at least one file failed

TShellOperationUi& ShellOperationUi()
{
    static TShellOperationUi ui;
    return ui;
}

void FindFilesIn(const QString& folder, const TFileMask& mask, bool recursive, QStringList& list,
                 QVector<TFileId>& seen)
{
    // One block of names per folder and one string per file found: the walk covers whole game
    // folders.
    TFolderNames names;
    TFileId id;
    if (!ScanFolderNames(folder, names, &id) || seen.contains(id))
        return;
    seen.append(id);
    SortFolderNames(names);
    const auto pathOf = [&folder](QStringView name) {
        QString path;
        path.reserve(folder.size() + name.size() + 1);
        path.append(folder).append(name);
        return path;
    };
    for (qsizetype i = 0; i < names.Names.size(); ++i)
        if (!names.Names[i].IsFolder && mask.Matches(names.Name(i)))
            list.append(pathOf(names.Name(i)));
    if (!recursive)
        return;
    for (qsizetype i = 0; i < names.Names.size(); ++i)
        if (names.Names[i].IsFolder)
            FindFilesIn(pathOf(names.Name(i)) + QLatin1Char('/'), mask, true, list, seen);
}

quint16 ReadU16(const QByteArray& bytes, qsizetype offset)
{
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData()) + offset;
    return quint16(p[0] | (p[1] << 8));
}

quint32 ReadU32(const QByteArray& bytes, qsizetype offset)
{
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData()) + offset;
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

// An MS-DOS date and time, taken as UTC, in Unix seconds; nothing for an impossible date.
std::optional<qint64> DosDateTimeToUnix(quint16 date, quint16 time)
{
    const int year = 1980 + (date >> 9);
    const int month = (date >> 5) & 0x0F;
    const int day = date & 0x1F;
    const int hour = time >> 11;
    const int minute = (time >> 5) & 0x3F;
    const int second = (time & 0x1F) * 2;
    const QDate d(year, month, day);
    if (!d.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return QDateTime(d, QTime(hour, minute, second), Qt::UTC).toSecsSinceEpoch();
}

// A new name is taken as written, so that a rename can change the letter case of a name; other
// targets find an existing file in any letter case, as the game's platform does.
QString ResolvedTarget(TFileOpKind kind, const QString& target)
{
    if (kind != TFileOpKind::fokRename)
        return ResolveGamePath(target);
    const QString clean = WithoutTrailingSeparator(LocalPathFromWindows(target));
    const qsizetype slash = clean.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return clean;
    return JoinPath(ResolveGamePath(slash == 0 ? QStringLiteral("/") : clean.left(slash)),
                    clean.mid(slash + 1));
}

} // namespace

void SetShellOperationUi(TShellOperationUi ui)
{
    ShellOperationUi() = std::move(ui);
}

TFileOpCallbacks ShellOperationCallbacks(TWindowHandle owner, quint16 flags)
{
    return ShellOperationUi() ? ShellOperationUi()(owner, flags) : TFileOpCallbacks();
}

QStringList FindFiles(const QString& dir, const QString& mask, bool recursive)
{
    QStringList list;
    if (dir.isEmpty())
        return list;
    QVector<TFileId> seen;
    FindFilesIn(WithTrailingSeparator(ResolveGamePath(dir)), TFileMask(mask), recursive, list,
                seen);
    return list;
}

bool TryGetFileSize(const QString& fileName, qint64& size)
{
    size = 0;
    const QFileInfo info(ResolveGamePath(fileName));
    if (!info.isFile())
        return false;
    size = info.size();
    return true;
}

qint64 GetFileSizeOf(const QString& fileName)
{
    qint64 size;
    TryGetFileSize(fileName, size);
    return size;
}

QString FormatFileSizeOf(const QString& fileName)
{
    return FormatFileSize(GetFileSizeOf(fileName));
}

int ShellFileOperationEx(TWindowHandle wnd, int func, const QStringList& fromList,
                         const QStringList* toList, quint16 flags, bool& aborted,
                         TFileOpResult* result)
{
    aborted = false;
    if (toList && !toList->isEmpty())
        flags |= FOF_MULTIDESTFILES;

    TFileOpRequest request;
    switch (func) {
    case FO_COPY:
        request.Kind = TFileOpKind::fokCopy;
        break;
    case FO_MOVE:
        request.Kind = TFileOpKind::fokMove;
        break;
    case FO_RENAME:
        request.Kind = TFileOpKind::fokRename;
        break;
    case FO_DELETE:
        request.Kind = TFileOpKind::fokDelete;
        break;
    default:
        return KResultInvalidFiles;
    }
    if (fromList.isEmpty())
        return KResultInvalidFiles;
    for (const QString& source : fromList)
        request.Sources.append(ResolveGamePath(source));
    if (request.Kind != TFileOpKind::fokDelete) {
        if (!toList || toList->isEmpty())
            return KResultInvalidFiles;
        if (toList->size() == 1 && fromList.size() > 1 && request.Kind != TFileOpKind::fokRename)
            request.TargetFolder = ResolveGamePath(toList->first());
        else
            for (const QString& target : *toList)
                request.Targets.append(ResolvedTarget(request.Kind, target));
    }
    request.ReplaceWithoutAsking = flags & FOF_NOCONFIRMATION;
    request.ConfirmDelete = !(flags & FOF_NOCONFIRMATION);
    request.ToTrash = flags & FOF_ALLOWUNDO;

    TFileOpCallbacks callbacks;
    if (ShellOperationUi())
        callbacks = ShellOperationUi()(wnd, flags);
    if (flags & FOF_SILENT)
        callbacks.Progress = nullptr;
    if (flags & FOF_NOERRORUI)
        callbacks.ReportError = nullptr;

    TFileOpResult outcome = RunFileOperation(request, callbacks);
    aborted = outcome.Aborted;
    const bool failed = outcome.AnyFailed();
    if (result)
        *result = std::move(outcome);
    return failed ? KResultFailed : 0;
}

int ShellFileOperation(TWindowHandle wnd, int func, const QStringList& fromList,
                       const QStringList* toList, quint16 flags, TFileOpResult* result)
{
    bool aborted;
    return ShellFileOperationEx(wnd, func, fromList, toList, flags, aborted, result);
}

int ShellFileOperationStr(TWindowHandle wnd, int func, const QString& from, const QString& to,
                          quint16 flags, TFileOpResult* result)
{
    const QStringList fromList{from};
    if (to.isEmpty())
        return ShellFileOperation(wnd, func, fromList, nullptr, flags, result);
    const QStringList toList{to};
    return ShellFileOperation(wnd, func, fromList, &toList, flags, result);
}

TResult<void> ShellFileOperationOne(TWindowHandle wnd, int func, const QString& from,
                                    const QString& to, quint16 flags)
{
    TFileOpResult result;
    const int code = ShellFileOperationStr(wnd, func, from, to, flags, &result);
    if (result.Items.isEmpty())
        return TError{TErrorCode::ecInvalid,
                      QStringLiteral("No file operation could be made for \"%1\".").arg(from),
                      from};
    const TFileOpItem& item = result.Items.front();
    switch (item.Outcome) {
    case TFileOpOutcome::fooDone:
        if (code == 0 && !result.Aborted)
            return {};
        break;
    case TFileOpOutcome::fooSkipped:
        return TError{TErrorCode::ecDeclined,
                      QStringLiteral("\"%1\" was left as it was.").arg(from), from};
    case TFileOpOutcome::fooFailed:
        return TError{
            TErrorCode::ecFailed,
            item.Error.isEmpty() ? QStringLiteral("\"%1\" failed.").arg(from) : item.Error, from};
    case TFileOpOutcome::fooCancelled:
        break;
    }
    return TError{TErrorCode::ecCancelled, QStringLiteral("\"%1\": cancelled.").arg(from), from};
}

bool AllFilesExist(const QStringList& list)
{
    if (list.isEmpty())
        return false;
    return std::all_of(list.begin(), list.end(),
                       [](const QString& fileName) { return GameFileExists(fileName); });
}

bool DirExists(const QString& path)
{
    return GameFolderExists(path);
}

bool DirExistsA(const QString& path)
{
    return GameFolderExists(path);
}

QString GetFileTypeName(const QString& ext)
{
    if (ext.isEmpty() || ext == QLatin1String("."))
        return QString();
    const QString name =
        QStringLiteral("x") + (ext.startsWith(QLatin1Char('.')) ? ext : QLatin1Char('.') + ext);
    const QMimeType type = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return QString();
    return type.comment();
}

quint32 GetImageLinkTime(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return 0;

    const QByteArray dosHeader = file.read(64);
    qint64 peOffset = 0;
    if (dosHeader.size() == 64 && dosHeader.startsWith("MZ"))
        peOffset = qint32(ReadU32(dosHeader, 0x3C));
    if (peOffset < 0 || !file.seek(peOffset))
        return 0;
    // Signature, file header, and the 224-byte optional header of a 32-bit image.
    const QByteArray pe = file.read(248);
    if (pe.size() < 248 || !pe.startsWith(QByteArray("PE\0\0", 4)))
        return 0;

    const quint32 stamp = ReadU32(pe, 8);
    // Some linkers write this fixed value instead of the time; the resource directory then
    // holds the build time as an MS-DOS date and time.
    if (stamp != 0x2A425E19)
        return stamp;
    const quint16 sectionCount = ReadU16(pe, 6);
    const quint16 optionalSize = ReadU16(pe, 20);
    if (optionalSize < 224 || ReadU16(pe, 24) != 0x10B)
        return stamp;
    const quint32 resourceAddress = ReadU32(pe, 24 + 112);
    const quint32 resourceSize = ReadU32(pe, 24 + 116);

    if (!file.seek(peOffset + 248 + (optionalSize - 224)))
        return stamp;
    const QByteArray sections = file.read(qint64(sectionCount) * 40);
    if (sections.size() < qint64(sectionCount) * 40)
        return stamp;
    qint64 resourceOffset = -1;
    for (int i = 0; i < sectionCount; ++i) {
        const qint64 base = qint64(i) * 40;
        const quint64 address = ReadU32(sections, base + 12);
        const quint64 rawSize = ReadU32(sections, base + 16);
        const quint64 rawOffset = ReadU32(sections, base + 20);
        if (resourceAddress >= address &&
            quint64(resourceAddress) + resourceSize <= address + rawSize) {
            resourceOffset = qint64(rawOffset + (resourceAddress - address));
            break;
        }
    }
    if (resourceOffset < 0 || !file.seek(resourceOffset))
        return stamp;
    const QByteArray directory = file.read(16);
    if (directory.size() < 16)
        return stamp;
    const quint32 dosStamp = ReadU32(directory, 4);
    const std::optional<qint64> time =
        DosDateTimeToUnix(quint16(dosStamp >> 16), quint16(dosStamp & 0xFFFF));
    if (!time || *time > 0xFFFFFFFFLL)
        return stamp;
    return quint32(*time);
}

bool IsWindowsXPOrLater()
{
    return true;
}

namespace {

struct TCodeRange
{
    char32_t First;
    char32_t Last;
};

// Unicode's Default_Ignorable_Code_Point set (DerivedCoreProperties): what a renderer shows as
// nothing, fillers and variation selectors among them, whatever their category.
constexpr TCodeRange KDefaultIgnorable[] = {
    {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x061C, 0x061C}, {0x115F, 0x1160}, {0x17B4, 0x17B5},
    {0x180B, 0x180F},   {0x200B, 0x200F},   {0x202A, 0x202E}, {0x2060, 0x206F}, {0x3164, 0x3164},
    {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFF8}, {0x1BCA0, 0x1BCA3},
    {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
};

bool Hidden(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        break;
    }
    return std::any_of(
        std::begin(KDefaultIgnorable), std::end(KDefaultIgnorable),
        [c](const TCodeRange& range) { return c >= range.First && c <= range.Last; });
}

} // namespace

bool SafeFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    const QList<uint> points = name.toUcs4();
    return std::none_of(points.begin(), points.end(), [](uint c) {
        return c == u'/' || c == u'\\' || c == u':' || Hidden(char32_t(c));
    });
}

QString VisibleName(const QString& name)
{
    QString shown;
    for (const uint c : name.toUcs4()) {
        if (Hidden(char32_t(c)))
            shown += QStringLiteral("<U+%1>").arg(c, 4, 16, QLatin1Char('0')).toUpper();
        else
            shown += QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
    }
    return shown;
}

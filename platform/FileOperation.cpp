#include "FileOperation.h"

#include "AtomicFile.h"
#include "FileMask.h"
#include "FolderScan.h"
#include "GamePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

bool TFileOpResult::AllDone() const
{
    return std::all_of(Items.begin(), Items.end(), [](const TFileOpItem& item) {
        return item.Outcome == TFileOpOutcome::fooDone;
    });
}

bool TFileOpResult::AnyFailed() const
{
    return std::any_of(Items.begin(), Items.end(), [](const TFileOpItem& item) {
        return item.Outcome == TFileOpOutcome::fooFailed;
    });
}

namespace {

constexpr qint64 KCopyChunk = 1 << 20;

bool GSimulateCrossDevice = false;

std::filesystem::path NativePath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString LastName(const QString& path)
{
    const QString clean = WithoutTrailingSeparator(path);
    return clean.mid(clean.lastIndexOf(QLatin1Char('/')) + 1);
}

QString ParentOf(const QString& path)
{
    const QString clean = WithoutTrailingSeparator(path);
    const qsizetype slash = clean.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : clean.left(slash);
}

// The rename of a move: fails with cross_device_link where the copy must serve.
void MoveRename(const QString& source, const QString& target, std::error_code& code)
{
    if (GSimulateCrossDevice) {
        code = std::make_error_code(std::errc::cross_device_link);
        return;
    }
    std::filesystem::rename(NativePath(source), NativePath(target), code);
}

// The absolute path with links resolved as far as it exists; the rest as written.
QString ResolvedAbsolute(const QString& path)
{
    QString head = QFileInfo(path).absoluteFilePath();
    QString tail;
    while (!head.isEmpty() && head != QLatin1String("/") && !QFileInfo::exists(head)) {
        tail = QLatin1Char('/') + LastName(head) + tail;
        head = ParentOf(head);
    }
    const QString canonical = QFileInfo(head).canonicalFilePath();
    return (canonical.isEmpty() ? head : canonical) + tail;
}

// Folder holds Path somewhere below it (or is it).
bool IsWithin(const QString& path, const QString& folder)
{
    const QString inner = ResolvedAbsolute(path);
    const QString outer = ResolvedAbsolute(folder);
    return inner == outer || inner.startsWith(WithTrailingSeparator(outer));
}

qint64 TreeSize(const QString& path, QVector<TFileId>& seen)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return info.isFile() ? info.size() : 0;
    QVector<TFolderEntry> entries;
    TFileId id;
    if (!ScanFolder(path, entries, &id) || seen.contains(id))
        return 0;
    seen.append(id);
    qint64 total = 0;
    for (const TFolderEntry& entry : entries)
        total += TreeSize(JoinPath(path, entry.Name), seen);
    seen.removeLast();
    return total;
}

QVector<TFolderEntry> SortedEntries(const QString& folder, bool* ok, TFileId* id)
{
    QVector<TFolderEntry> entries;
    *ok = ScanFolder(folder, entries, id);
    SortFolderEntries(entries);
    return entries;
}

// What happened inside a folder, summed up as one outcome.
struct TTally
{
    bool AnyDone = false;
    bool AnySkipped = false;
    bool AnyFailed = false;
    bool Stopped = false;
    QString FirstError;

    void Add(TFileOpOutcome outcome, const QString& error)
    {
        switch (outcome) {
        case TFileOpOutcome::fooDone:
            AnyDone = true;
            break;
        case TFileOpOutcome::fooSkipped:
            AnySkipped = true;
            break;
        case TFileOpOutcome::fooFailed:
            AnyFailed = true;
            if (FirstError.isEmpty())
                FirstError = error;
            break;
        case TFileOpOutcome::fooCancelled:
            Stopped = true;
            break;
        }
    }

    TFileOpOutcome Outcome(QString& error) const
    {
        if (Stopped)
            return TFileOpOutcome::fooCancelled;
        if (AnyFailed) {
            error = FirstError;
            return TFileOpOutcome::fooFailed;
        }
        if (AnySkipped && !AnyDone)
            return TFileOpOutcome::fooSkipped;
        return TFileOpOutcome::fooDone;
    }
};

class TRun final
{
public:
    TRun(const TFileOpRequest& request, const TFileOpCallbacks& callbacks)
        : FRequest(request)
        , FCallbacks(callbacks)
    {}

    TFileOpResult Run();

private:
    bool CheckTargets();
    QString TargetFor(int index) const;
    void CountTotal();
    void DeleteAll();
    TFileOpOutcome DeleteOne(const QString& path, QString& error);
    TFileOpOutcome Transfer(const QString& source, const QString& target, QString& error);
    TFileOpOutcome CopyFile(const QString& source, const QString& target, QString& error,
                            bool replaceAnswered = false);
    TFileOpOutcome CopyTree(const QString& source, const QString& target, QVector<TFileId>& seen,
                            QString& error);
    TFileOpOutcome MoveFile(const QString& source, const QString& target, QString& error);
    // One entry of a folder being walked: Item is a file or, when IsFolder, a folder.
    using TEntryStep = TFileOpOutcome (TRun::*)(const QString& from, const QString& to,
                                                bool isFolder, QVector<TFileId>& seen,
                                                QString& error);
    // Runs Step on every entry of folder Source into folder Target (made when missing), in
    // sorted order, entering each folder once.
    TFileOpOutcome EachEntry(const QString& source, const QString& target, QVector<TFileId>& seen,
                             QString& error, TEntryStep step);
    TFileOpOutcome CopyEntry(const QString& from, const QString& to, bool isFolder,
                             QVector<TFileId>& seen, QString& error);
    TFileOpOutcome MoveEntry(const QString& from, const QString& to, bool isFolder,
                             QVector<TFileId>& seen, QString& error);
    TFileOpOutcome MoveTree(const QString& source, const QString& target, QVector<TFileId>& seen,
                            QString& error);
    // May the existing Target be replaced? Sets the outcome to return when not.
    bool MayReplace(const QString& source, const QString& target, TFileOpOutcome& outcome);
    // What stops a copy or move (Verb) of a file onto Target before it starts: the file itself,
    // a folder in the way, a declined or cancelled replace, a target folder that cannot be made.
    // Nothing when the transfer may go ahead.
    std::optional<TFileOpOutcome> PrepareTarget(const QString& source, const QString& target,
                                                const char* verb, bool replaceAnswered,
                                                QString& error);
    bool Advance(qint64 bytes);
    void Stop() { FStopped = FResult.Aborted = true; }

    const TFileOpRequest& FRequest;
    const TFileOpCallbacks& FCallbacks;
    TFileOpResult FResult;
    qint64 FDone = 0;
    qint64 FTotal = 0;
    bool FYesToAll = false;
    bool FStopped = false;
};

TFileOpResult TRun::Run()
{
    const qsizetype count = FRequest.Sources.size();
    FResult.Items.resize(count);
    for (qsizetype i = 0; i < count; ++i)
        FResult.Items[i].Source = FRequest.Sources[i];

    if (FRequest.Kind == TFileOpKind::fokDelete) {
        DeleteAll();
        return FResult;
    }
    if (!CheckTargets())
        return FResult;
    for (qsizetype i = 0; i < count; ++i)
        FResult.Items[i].Target = TargetFor(int(i));
    CountTotal();

    for (TFileOpItem& item : FResult.Items) {
        if (FStopped)
            break;
        item.Outcome = Transfer(item.Source, item.Target, item.Error);
        if (item.Outcome == TFileOpOutcome::fooFailed && FCallbacks.ReportError)
            FCallbacks.ReportError(item);
    }
    return FResult;
}

bool TRun::CheckTargets()
{
    QString error;
    if (FRequest.Targets.isEmpty()) {
        if (FRequest.Kind == TFileOpKind::fokRename)
            error = QStringLiteral("No new name was given.");
        else if (FRequest.TargetFolder.isEmpty())
            error = QStringLiteral("No target folder was given.");
    } else if (FRequest.Targets.size() != FRequest.Sources.size()) {
        error = QStringLiteral("The number of targets does not match the number of files.");
    }
    if (error.isEmpty())
        return true;
    for (TFileOpItem& item : FResult.Items) {
        item.Outcome = TFileOpOutcome::fooFailed;
        item.Error = error;
        if (FCallbacks.ReportError)
            FCallbacks.ReportError(item);
    }
    return false;
}

QString TRun::TargetFor(int index) const
{
    const QString& source = FRequest.Sources[index];
    if (FRequest.Targets.isEmpty())
        return JoinPath(FRequest.TargetFolder, LastName(source));
    const QString& target = FRequest.Targets[index];
    // An existing folder as target means "into that folder", except for a rename, whose target
    // is the new name, and a folder given as its own target, which must be refused as such.
    if (FRequest.Kind != TFileOpKind::fokRename && QFileInfo(target).isDir() &&
        !SameFile(source, target))
        return JoinPath(target, LastName(source));
    return target;
}

void TRun::CountTotal()
{
    QVector<TFileId> seen;
    for (const QString& source : FRequest.Sources)
        FTotal += TreeSize(source, seen);
}

bool TRun::Advance(qint64 bytes)
{
    FDone += bytes;
    if (FCallbacks.Progress && !FCallbacks.Progress(FDone, FTotal)) {
        Stop();
        return false;
    }
    return true;
}

void TRun::DeleteAll()
{
    if (FRequest.ConfirmDelete && FCallbacks.ConfirmDelete &&
        !FCallbacks.ConfirmDelete(FRequest.Sources, FRequest.ToTrash)) {
        for (TFileOpItem& item : FResult.Items)
            item.Outcome = TFileOpOutcome::fooSkipped;
        FResult.Aborted = true;
        return;
    }
    // Deletes count by items: the sizes would cost a walk of every folder first.
    FTotal = FResult.Items.size();
    for (TFileOpItem& item : FResult.Items) {
        if (FStopped)
            break;
        item.Outcome = DeleteOne(item.Source, item.Error);
        if (item.Outcome == TFileOpOutcome::fooFailed && FCallbacks.ReportError)
            FCallbacks.ReportError(item);
        if (item.Outcome != TFileOpOutcome::fooCancelled)
            Advance(1);
    }
}

TFileOpOutcome TRun::DeleteOne(const QString& path, QString& error)
{
    if (!PathPresent(path)) {
        error = QStringLiteral("\"%1\" does not exist.").arg(path);
        return TFileOpOutcome::fooFailed;
    }
    if (FRequest.ToTrash) {
        return MoveToTrash(path, &error) ? TFileOpOutcome::fooDone : TFileOpOutcome::fooFailed;
    }
    const QFileInfo info(path);
    const bool removed =
        info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
    if (!removed) {
        error = QStringLiteral("\"%1\" could not be deleted.").arg(path);
        return TFileOpOutcome::fooFailed;
    }
    return TFileOpOutcome::fooDone;
}

bool TRun::MayReplace(const QString& source, const QString& target, TFileOpOutcome& outcome)
{
    if (FRequest.ReplaceWithoutAsking || FYesToAll)
        return true;
    const TReplaceAnswer answer =
        FCallbacks.AskReplace ? FCallbacks.AskReplace(source, target) : TReplaceAnswer::raNo;
    switch (answer) {
    case TReplaceAnswer::raYes:
        return true;
    case TReplaceAnswer::raYesToAll:
        FYesToAll = true;
        return true;
    case TReplaceAnswer::raNo:
        outcome = TFileOpOutcome::fooSkipped;
        return false;
    case TReplaceAnswer::raCancel:
        break;
    }
    Stop();
    outcome = TFileOpOutcome::fooCancelled;
    return false;
}

TFileOpOutcome TRun::Transfer(const QString& source, const QString& target, QString& error)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.exists()) {
        error = QStringLiteral("\"%1\" does not exist.").arg(source);
        return TFileOpOutcome::fooFailed;
    }
    const bool copy = FRequest.Kind == TFileOpKind::fokCopy;
    if (SameFile(source, target)) {
        // Another spelling of the same name on a case-insensitive mount is a rename.
        const QString sourceName = LastName(source);
        const QString targetName = LastName(target);
        const bool caseOnly =
            !copy && sourceName != targetName &&
            sourceName.compare(targetName, Qt::CaseInsensitive) == 0 &&
            ResolvedAbsolute(ParentOf(source)) == ResolvedAbsolute(ParentOf(target));
        if (!caseOnly) {
            error = QStringLiteral("\"%1\" cannot be %2 onto itself.")
                        .arg(source, copy ? QStringLiteral("copied") : QStringLiteral("moved"));
            return TFileOpOutcome::fooFailed;
        }
        std::error_code code;
        std::filesystem::rename(NativePath(source), NativePath(target), code);
        if (code) {
            error = QStringLiteral("\"%1\" could not be renamed: %2")
                        .arg(source, QString::fromStdString(code.message()));
            return TFileOpOutcome::fooFailed;
        }
        QVector<TFileId> counted;
        return Advance(TreeSize(target, counted)) ? TFileOpOutcome::fooDone
                                                  : TFileOpOutcome::fooCancelled;
    }
    if (FRequest.Kind == TFileOpKind::fokRename && QFileInfo(target).isDir()) {
        error = QStringLiteral("\"%1\" cannot be renamed: \"%2\" is a folder.").arg(source, target);
        return TFileOpOutcome::fooFailed;
    }
    if (sourceInfo.isDir() && IsWithin(target, source)) {
        error = QStringLiteral("The folder \"%1\" cannot be %2 into itself.")
                    .arg(source, copy ? QStringLiteral("copied") : QStringLiteral("moved"));
        return TFileOpOutcome::fooFailed;
    }
    QVector<TFileId> seen;
    if (copy)
        return sourceInfo.isDir() ? CopyTree(source, target, seen, error)
                                  : CopyFile(source, target, error);
    return sourceInfo.isDir() ? MoveTree(source, target, seen, error)
                              : MoveFile(source, target, error);
}

std::optional<TFileOpOutcome> TRun::PrepareTarget(const QString& source, const QString& target,
                                                  const char* verb, bool replaceAnswered,
                                                  QString& error)
{
    if (SameFile(source, target)) {
        error = QStringLiteral("\"%1\" cannot be %2 onto itself.")
                    .arg(source, QString::fromLatin1(verb));
        return TFileOpOutcome::fooFailed;
    }
    if (PathPresent(target)) {
        if (QFileInfo(target).isDir()) {
            error = QStringLiteral("\"%1\" is a folder.").arg(target);
            return TFileOpOutcome::fooFailed;
        }
        TFileOpOutcome outcome;
        if (!replaceAnswered && !MayReplace(source, target, outcome)) {
            if (outcome == TFileOpOutcome::fooSkipped)
                Advance(QFileInfo(source).size());
            return outcome;
        }
    }
    if (!QDir().mkpath(ParentOf(target))) {
        error = QStringLiteral("The folder \"%1\" could not be created.").arg(ParentOf(target));
        return TFileOpOutcome::fooFailed;
    }
    return std::nullopt;
}

TFileOpOutcome TRun::CopyFile(const QString& source, const QString& target, QString& error,
                              bool replaceAnswered)
{
    const QFileInfo sourceInfo(source);
    if (const auto refused = PrepareTarget(source, target, "copied", replaceAnswered, error))
        return *refused;

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("\"%1\" could not be read: %2").arg(source, in.errorString());
        return TFileOpOutcome::fooFailed;
    }
    // A temporary file beside the target takes the target's name only when whole; a link of
    // that name is replaced, never written through to a file outside the target's folder.
    TAtomicWriter out(target);
    QString reason;
    const auto writeFailed = [&] {
        error = QStringLiteral("\"%1\" could not be written: %2").arg(target, reason);
        return TFileOpOutcome::fooFailed;
    };
    if (!out.Open(&reason))
        return writeFailed();
    QByteArray buffer;
    for (;;) {
        buffer = in.read(KCopyChunk);
        if (buffer.isEmpty())
            break;
        if (!out.Write(buffer, &reason))
            return writeFailed();
        if (!Advance(buffer.size()))
            return TFileOpOutcome::fooCancelled;
    }
    if (in.error() != QFileDevice::NoError) {
        error = QStringLiteral("\"%1\" could not be read: %2").arg(source, in.errorString());
        return TFileOpOutcome::fooFailed;
    }
    out.SetPermissions(sourceInfo.permissions());
    out.SetModificationTime(sourceInfo.lastModified());
    if (!out.Commit(&reason))
        return writeFailed();
    return TFileOpOutcome::fooDone;
}

TFileOpOutcome TRun::EachEntry(const QString& source, const QString& target, QVector<TFileId>& seen,
                               QString& error, TEntryStep step)
{
    bool ok;
    TFileId id;
    const QVector<TFolderEntry> entries = SortedEntries(source, &ok, &id);
    if (!ok) {
        error = QStringLiteral("The folder \"%1\" could not be read.").arg(source);
        return TFileOpOutcome::fooFailed;
    }
    if (seen.contains(id)) // a link back up the tree
        return TFileOpOutcome::fooDone;
    const QFileInfo targetInfo(target);
    if ((targetInfo.exists() || targetInfo.isSymLink()) && !targetInfo.isDir()) {
        error = QStringLiteral("\"%1\" exists and is not a folder.").arg(target);
        return TFileOpOutcome::fooFailed;
    }
    if (!QDir().mkpath(target)) {
        error = QStringLiteral("The folder \"%1\" could not be created.").arg(target);
        return TFileOpOutcome::fooFailed;
    }
    seen.append(id);
    TTally tally;
    for (const TFolderEntry& entry : entries) {
        QString itemError;
        const TFileOpOutcome outcome =
            (this->*step)(JoinPath(source, entry.Name), JoinPath(target, entry.Name),
                          entry.IsFolder, seen, itemError);
        tally.Add(outcome, itemError);
        if (FStopped)
            break;
    }
    seen.removeLast();
    return tally.Outcome(error);
}

TFileOpOutcome TRun::CopyEntry(const QString& from, const QString& to, bool isFolder,
                               QVector<TFileId>& seen, QString& error)
{
    return isFolder ? CopyTree(from, to, seen, error) : CopyFile(from, to, error);
}

TFileOpOutcome TRun::MoveEntry(const QString& from, const QString& to, bool isFolder,
                               QVector<TFileId>& seen, QString& error)
{
    return isFolder ? MoveTree(from, to, seen, error) : MoveFile(from, to, error);
}

TFileOpOutcome TRun::CopyTree(const QString& source, const QString& target, QVector<TFileId>& seen,
                              QString& error)
{
    return EachEntry(source, target, seen, error, &TRun::CopyEntry);
}

TFileOpOutcome TRun::MoveFile(const QString& source, const QString& target, QString& error)
{
    const qint64 size = QFileInfo(source).size();
    if (const auto refused = PrepareTarget(source, target, "moved", false, error))
        return *refused;
    std::error_code code;
    MoveRename(source, target, code);
    if (!code)
        return Advance(size) ? TFileOpOutcome::fooDone : TFileOpOutcome::fooCancelled;
    if (code != std::errc::cross_device_link) {
        error = QStringLiteral("\"%1\" could not be moved: %2")
                    .arg(source, QString::fromStdString(code.message()));
        return TFileOpOutcome::fooFailed;
    }
    // Across file systems: a whole copy first (the replace question is answered already), and
    // the source goes only once the copy is in place.
    const TFileOpOutcome copied = CopyFile(source, target, error, true);
    if (copied != TFileOpOutcome::fooDone)
        return copied;
    if (!QFile::remove(source)) {
        error = QStringLiteral("\"%1\" was copied but could not be removed.").arg(source);
        return TFileOpOutcome::fooFailed;
    }
    return TFileOpOutcome::fooDone;
}

TFileOpOutcome TRun::MoveTree(const QString& source, const QString& target, QVector<TFileId>& seen,
                              QString& error)
{
    const QFileInfo targetInfo(target);
    if (!targetInfo.exists() && !targetInfo.isSymLink()) {
        if (!QDir().mkpath(ParentOf(target))) {
            error = QStringLiteral("The folder \"%1\" could not be created.").arg(ParentOf(target));
            return TFileOpOutcome::fooFailed;
        }
        std::error_code code;
        MoveRename(source, target, code);
        if (!code) {
            QVector<TFileId> counted;
            return Advance(TreeSize(target, counted)) ? TFileOpOutcome::fooDone
                                                      : TFileOpOutcome::fooCancelled;
        }
        if (code != std::errc::cross_device_link) {
            error = QStringLiteral("\"%1\" could not be moved: %2")
                        .arg(source, QString::fromStdString(code.message()));
            return TFileOpOutcome::fooFailed;
        }
    } else if (!targetInfo.isDir()) {
        error = QStringLiteral("\"%1\" exists and is not a folder.").arg(target);
        return TFileOpOutcome::fooFailed;
    }

    // The target folder exists, or lies on another file system: move what is inside one by
    // one, and remove the source folder when nothing is left in it.
    const TFileOpOutcome outcome = EachEntry(source, target, seen, error, &TRun::MoveEntry);
    QDir().rmdir(source); // fails, rightly, while something was left behind
    return outcome;
}

} // namespace

void SimulateCrossDeviceMoves(bool on)
{
    GSimulateCrossDevice = on;
}

TFileOpResult RunFileOperation(const TFileOpRequest& request, const TFileOpCallbacks& callbacks)
{
    TRun run(request, callbacks);
    return run.Run();
}

bool SameFile(const QString& a, const QString& b)
{
    TFileId idA, idB;
    return GetFileId(a, idA) && GetFileId(b, idB) && idA == idB;
}

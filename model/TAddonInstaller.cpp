#include "TAddonInstaller.h"

#include "FileMask.h"
#include "FolderScan.h"
#include "GamePath.h"
#include "TInstallSummary.h"
#include "TKOVASettings.h"
#include "TZipArchive.h"
#include "uKOVA_Misc.h"

#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>

namespace {

// A folder where the file should go: nothing is written into it.
bool FolderInTheWay(const QString& target)
{
    return QFileInfo(target).isDir();
}

QString FolderPart(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

QString NamePart(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Adds a row that reads not installed (yet), for Outcome.
TInstallSummaryItem* AddRow(TInstallSummary& summary, const QString& sourceArchive,
                            const QString& sourceFile, const QString& target,
                            TInstallOutcome outcome)
{
    auto row =
        std::make_unique<TInstallSummaryItem>(sourceArchive, sourceFile, target, false, outcome);
    TInstallSummaryItem* item = row.get();
    summary.Add(std::move(row));
    return item;
}

// Both errors of a run, the first one's code first.
TResult<void> Joined(const TResult<void>& first, const TResult<void>& second)
{
    if (first)
        return second;
    if (second)
        return first;
    const TError& a = first.Error();
    const TError& b = second.Error();
    return TError{a.Code, a.Message + QLatin1Char('\n') + b.Message,
                  a.FileName.isEmpty() ? b.FileName : a.FileName};
}

} // namespace

TAddonInstaller::TAddonInstaller(const TKOVASettings& settings, TZipArchive& zip)
    : FSettings(settings)
    , FZip(zip)
{}

void TAddonInstaller::SetCopyOwner(QObject* owner, bool quiet)
{
    FCopyOwner = owner;
    FQuietCopy = quiet;
}

bool TAddonInstaller::IsArchive(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
}

TResult<void> TAddonInstaller::InstallArchives(const QStringList& archives,
                                               TInstallSummary& summary,
                                               const TOverwriteCallback& onConfirm)
{
    return Run(archives, true, summary, onConfirm);
}

TResult<void> TAddonInstaller::InstallFileList(const QStringList& files, TInstallSummary& summary,
                                               const TOverwriteCallback& onConfirm)
{
    return Run(files, false, summary, onConfirm);
}

TResult<void> TAddonInstaller::Run(const QStringList& files, bool allArchives,
                                   TInstallSummary& summary, const TOverwriteCallback& onConfirm)
{
    if (!AllFilesExist(files))
        return {};
    BeginRun();
    TAnswers shared; // the list of archives, or the plain files of a mixed list
    TResult<void> result;
    int last = int(files.size()) - 1; // the last position whose files are still written
    for (int position = 0; position < files.size(); ++position) {
        const QString& file = files.at(position);
        const bool reached = !FStopped;
        if (allArchives || IsArchive(file)) {
            TAnswers own; // an archive of a mixed list asks afresh
            TAnswers& answers = allArchives ? shared : own;
            if (const TResult<void> planned =
                    PlanArchive(file, position, summary, onConfirm, answers);
                !planned) {
                result = planned;
                FStopped = true;
            }
        } else {
            PlanPlainFile(file, position, summary, onConfirm, shared);
        }
        // The files after a stop are only listed, so that the summary shows what was not done.
        if (reached && FStopped)
            last = position;
    }
    // What was accepted before a cancel is still written, unless it cannot all be; a run with an
    // archive that cannot be trusted (unreadable, damaged, made to fill the disk) writes nothing.
    // Rows of what is not written keep the failed outcome they were planned with. No error is
    // dropped: the user learns why the run stopped as well as why nothing was written.
    if (const TResult<void> fits = CheckSpace(); !result || !fits) {
        summary.SetAborted(true);
        return Joined(result, fits);
    }
    for (const TPlannedArchive& archive : std::as_const(FPlanned)) {
        if (const TResult<void> written = WriteArchive(archive); !written) {
            summary.SetAborted(true);
            last = archive.Position;
            result = written;
            break;
        }
    }
    CopyPending(summary, last);
    return result;
}

void TAddonInstaller::BeginRun()
{
    FFolders.clear();
    FAccepted.clear();
    FPendingByKey.clear();
    FPending.clear();
    FPlanned.clear();
    FStopped = false;
}

TResult<void> TAddonInstaller::PlanArchive(const QString& archive, int position,
                                           TInstallSummary& summary,
                                           const TOverwriteCallback& onConfirm, TAnswers& answers)
{
    const bool reached = !FStopped;
    if (const TResult<void> opened = FZip.Open(archive); !opened) {
        if (!reached) {
            // Listed for a stopped run: one row stands for the entries it cannot show.
            AddRow(summary, archive, QString(), QString(), TInstallOutcome::ioFailed);
            return {};
        }
        summary.SetAborted(true);
        return opened;
    }
    // A bomb asks nothing: none of it would be written.
    if (const QString problem = FZip.LayoutProblem(); reached && !problem.isEmpty()) {
        FZip.Close();
        summary.SetAborted(true);
        return TError{TErrorCode::ecInvalid,
                      QStringLiteral("Archive \"%1\": %2; nothing of it was installed.")
                          .arg(archive, problem),
                      archive};
    }
    TPlannedArchive planned{archive, position, {}};
    for (int i = 0; i < FZip.Count(); ++i) {
        const TZipEntry& entry = FZip.Entries().at(i);
        // A folder holds nothing to install; an entry of such a name that holds data is no
        // folder, and its name no file name.
        if (entry.IsFolder && entry.Size == 0)
            continue;
        const QString stored = QString(entry.Name).replace(QLatin1Char('/'), QLatin1Char('\\'));
        const QString name = EntryFileName(entry.Name);
        // Refused before the rules read a type from a name that is none, or that shows as
        // another: an empty or dotted name is no file left out by the rules.
        if (!SafeFileName(name)) {
            AddRow(summary, archive, stored, QString(), TInstallOutcome::ioRefused);
            continue;
        }
        const QString destination = FSettings.GetDestination(name);
        if (destination == KNoInstall) {
            AddRow(summary, archive, stored, destination + name, TInstallOutcome::ioNoInstall);
            continue;
        }
        // A link is never written.
        const QString flatName = FZip.FlatName(i);
        if (flatName.isEmpty()) {
            AddRow(summary, archive, stored, QString(), TInstallOutcome::ioRefused);
            continue;
        }
        const QString target = TargetFor(destination, flatName);
        if (FolderInTheWay(target)) {
            AddRow(summary, archive, stored, target, TInstallOutcome::ioRefused);
            continue;
        }
        const TDecision decision = Decide(target, onConfirm, answers, summary);
        TInstallSummaryItem* row = AddRow(summary, archive, stored, target, OutcomeOf(decision));
        if (decision != TDecision::dcInstall)
            continue;
        planned.Entries.append(TPlannedEntry{i, entry.Name, entry.Size, target, row});
        Accept(target, nullptr, QString(), position);
    }
    FZip.Close();
    if (!planned.Entries.isEmpty())
        FPlanned.append(planned);
    return {};
}

void TAddonInstaller::PlanPlainFile(const QString& file, int position, TInstallSummary& summary,
                                    const TOverwriteCallback& onConfirm, TAnswers& answers)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    const QString folder = WithTrailingSeparator(FolderPart(path));
    if (!SafeFileName(NamePart(path))) {
        AddRow(summary, folder, path, QString(), TInstallOutcome::ioRefused);
        return;
    }
    const QString destination = FSettings.GetDestination(path);
    if (destination == KNoInstall) {
        AddRow(summary, folder, path, destination + NamePart(path), TInstallOutcome::ioNoInstall);
        return;
    }
    const QString target = TargetFor(destination, NamePart(path));
    // A folder install inside the game folder meets files that are their own target.
    if (SameFile(path, target)) {
        AddRow(summary, folder, path, target, TInstallOutcome::ioKept);
        return;
    }
    if (FolderInTheWay(target)) {
        AddRow(summary, folder, path, target, TInstallOutcome::ioRefused);
        return;
    }
    const TDecision decision = Decide(target, onConfirm, answers, summary);
    TInstallSummaryItem* row = AddRow(summary, folder, path, target, OutcomeOf(decision));
    if (decision == TDecision::dcInstall)
        Accept(target, row, path, position);
}

TResult<void> TAddonInstaller::CheckSpace() const
{
    // In the order the run writes: the archives' entries, then the plain files' copy, each
    // replacing its target once written whole.
    TSpaceTally tally(FZip.FreeSpace());
    for (const TPlannedArchive& archive : FPlanned) {
        for (const TPlannedEntry& entry : archive.Entries)
            tally.Add(entry.Target, entry.Size);
    }
    for (const TPendingCopy& copy : FPending) {
        if (!copy.Superseded)
            tally.Add(copy.Target, QFileInfo(copy.Source).size());
    }
    return tally.Check();
}

TResult<void> TAddonInstaller::WriteArchive(const TPlannedArchive& archive)
{
    const auto close = qScopeGuard([this] { FZip.Close(); });
    TResult<void> result = FZip.Open(archive.File);
    QVector<TZipExtraction> jobs;
    for (const TPlannedEntry& entry : archive.Entries) {
        if (!result)
            break;
        // What the questions were about is what is written.
        const TZipEntry* now =
            entry.Index < FZip.Count() ? &FZip.Entries().at(entry.Index) : nullptr;
        if (!now || now->Name != entry.Name || now->Size != entry.Size) {
            result = TError{TErrorCode::ecFailed,
                            QStringLiteral("Archive \"%1\" changed while it was installed; "
                                           "nothing of it was written.")
                                .arg(archive.File),
                            archive.File};
            break;
        }
        jobs.append(TZipExtraction{entry.Index, entry.Target});
    }
    int done = 0;
    if (result)
        result = FZip.Extract(jobs, &done);
    for (int i = 0; i < archive.Entries.size(); ++i) {
        TInstallSummaryItem* row = archive.Entries.at(i).Row;
        row->Installed = i < done;
        row->Outcome = i < done ? TInstallOutcome::ioInstalled : TInstallOutcome::ioFailed;
    }
    return result;
}

void TAddonInstaller::CopyPending(TInstallSummary& summary, int lastPosition)
{
    QStringList sources;
    QStringList targets;
    QVector<TInstallSummaryItem*> rows;
    for (const TPendingCopy& copy : std::as_const(FPending)) {
        if (copy.Superseded || copy.Position > lastPosition)
            continue;
        sources << copy.Source;
        targets << copy.Target;
        rows << copy.Row;
    }
    FPending.clear();
    FPendingByKey.clear();
    if (sources.isEmpty())
        return;
    quint16 flags = FOF_NOCONFIRMATION;
    if (FQuietCopy)
        flags |= FOF_SILENT | FOF_NOERRORUI;
    bool aborted = false;
    TFileOpResult result;
    const int failed =
        ShellFileOperationEx(FCopyOwner, FO_COPY, sources, &targets, flags, aborted, &result);
    for (int i = 0; i < rows.size(); ++i) {
        const TFileOpOutcome outcome =
            i < result.Items.size() ? result.Items.at(i).Outcome : TFileOpOutcome::fooCancelled;
        rows[i]->Installed = outcome == TFileOpOutcome::fooDone;
        rows[i]->Outcome = outcome == TFileOpOutcome::fooDone      ? TInstallOutcome::ioInstalled
                           : outcome == TFileOpOutcome::fooSkipped ? TInstallOutcome::ioKept
                                                                   : TInstallOutcome::ioFailed;
    }
    if (failed != 0 || aborted)
        summary.SetAborted(true);
}

QString TAddonInstaller::TargetFor(const QString& destination, const QString& name)
{
    const QString renamed = FSettings.ApplyRenames(destination + name);
    TFolderNames& folder = FolderOf(FolderPart(renamed));
    const QString wanted = NamePart(renamed);
    if (folder.Exact.contains(wanted))
        return JoinPath(folder.Path, wanted);
    return JoinPath(folder.Path, folder.Folded.value(wanted.toCaseFolded(), wanted));
}

TAddonInstaller::TFolderNames& TAddonInstaller::FolderOf(const QString& folder)
{
    auto found = FFolders.find(folder);
    if (found != FFolders.end())
        return *found;
    TFolderNames names;
    names.Path = WithoutTrailingSeparator(ResolveGamePath(folder));
    QVector<TFolderEntry> entries;
    // A folder still to be made lists nothing.
    ScanFolder(names.Path, entries);
    std::sort(entries.begin(), entries.end(), [](const TFolderEntry& a, const TFolderEntry& b) {
        return FileNameLess(a.Name, b.Name);
    });
    for (const TFolderEntry& entry : std::as_const(entries)) {
        names.Exact.insert(entry.Name);
        names.Folded.insert(entry.Name.toCaseFolded(), entry.Name); // keeps the first
    }
    return *FFolders.insert(folder, names);
}

QString TAddonInstaller::KeyOf(const QString& target) const
{
    return FolderPart(target) + QLatin1Char('/') + NamePart(target).toCaseFolded();
}

TAddonInstaller::TDecision TAddonInstaller::Decide(const QString& target,
                                                   const TOverwriteCallback& onConfirm,
                                                   TAnswers& answers, TInstallSummary& summary)
{
    if (FStopped)
        return TDecision::dcNotReached;
    const bool exists = FAccepted.contains(KeyOf(target)) || PathPresent(target);
    if (!exists || !onConfirm || answers.YesToAll)
        return TDecision::dcInstall;
    bool overwrite = false;
    onConfirm(target, overwrite, answers.YesToAll, answers.Cancel);
    if (answers.Cancel) {
        summary.SetAborted(true);
        FStopped = true;
        return TDecision::dcCancel;
    }
    return overwrite || answers.YesToAll ? TDecision::dcInstall : TDecision::dcKeep;
}

TInstallOutcome TAddonInstaller::OutcomeOf(TDecision decision)
{
    switch (decision) {
    case TDecision::dcKeep:
    case TDecision::dcCancel: // the file asked about was not replaced
        return TInstallOutcome::ioKept;
    case TDecision::dcInstall: // until it is written
    case TDecision::dcNotReached:
        break;
    }
    return TInstallOutcome::ioFailed;
}

void TAddonInstaller::Accept(const QString& target, TInstallSummaryItem* row, const QString& source,
                             int position)
{
    const QString key = KeyOf(target);
    FAccepted.insert(key);
    if (const auto earlier = FPendingByKey.constFind(key); earlier != FPendingByKey.cend()) {
        FPending[*earlier].Superseded = true;
        FPending[*earlier].Row->Outcome = TInstallOutcome::ioKept; // the user chose the later
    }
    FPendingByKey.remove(key);
    if (row) {
        FPendingByKey.insert(key, int(FPending.size()));
        FPending.append(TPendingCopy{row, source, target, position, false});
    }
    // Later names of the run find the file in any letter case.
    const QString folder = FolderPart(target);
    for (TFolderNames& names : FFolders) {
        if (names.Path == folder) {
            names.Exact.insert(NamePart(target));
            names.Folded.insert(NamePart(target).toCaseFolded(), NamePart(target));
        }
    }
}

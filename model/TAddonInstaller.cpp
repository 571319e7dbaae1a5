#include "TAddonInstaller.h"

#include "FileMask.h"
#include "FolderScan.h"
#include "GamePath.h"
#include "TInstallSummary.h"
#include "TKOVASettings.h"
#include "TZipArchive.h"
#include "uKOVA_Misc.h"

#include <QFileInfo>

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

// Adds a row that reads not installed (yet).
TInstallSummaryItem* AddRow(TInstallSummary& summary, const QString& sourceArchive,
                            const QString& sourceFile, const QString& target)
{
    auto row = std::make_unique<TInstallSummaryItem>(sourceArchive, sourceFile, target, false);
    TInstallSummaryItem* item = row.get();
    summary.Add(std::move(row));
    return item;
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

void TAddonInstaller::BeginRun()
{
    FFolders.clear();
    FAccepted.clear();
    FPendingByKey.clear();
    FPending.clear();
}

TResult<void> TAddonInstaller::InstallArchives(const QStringList& archives,
                                               TInstallSummary& summary,
                                               const TOverwriteCallback& onConfirm)
{
    if (!AllFilesExist(archives))
        return {};
    BeginRun();
    TAnswers answers;
    for (const QString& archive : archives) {
        const TResult<void> installed = InstallArchive(archive, summary, onConfirm, answers);
        if (!installed || answers.Cancel)
            return installed;
    }
    return {};
}

TResult<void> TAddonInstaller::InstallFileList(const QStringList& files, TInstallSummary& summary,
                                               const TOverwriteCallback& onConfirm)
{
    if (!AllFilesExist(files))
        return {};
    BeginRun();
    TAnswers plain;
    TResult<void> result;
    for (const QString& file : files) {
        if (IsArchive(file)) {
            TAnswers own; // an archive asks afresh
            result = InstallArchive(file, summary, onConfirm, own);
            if (!result || own.Cancel)
                break;
        } else {
            AddPlainFile(file, summary, onConfirm, plain);
            if (plain.Cancel)
                break;
        }
    }
    // What was accepted before a stop is still copied.
    CopyPending(summary);
    return result;
}

TResult<void> TAddonInstaller::InstallArchive(const QString& archive, TInstallSummary& summary,
                                              const TOverwriteCallback& onConfirm,
                                              TAnswers& answers)
{
    if (const TResult<void> opened = FZip.Open(archive); !opened) {
        summary.SetAborted(true);
        return opened;
    }
    for (int i = 0; i < FZip.Count(); ++i) {
        const TZipEntry& entry = FZip.Entries().at(i);
        if (entry.IsFolder)
            continue;
        const QString stored = QString(entry.Name).replace(QLatin1Char('/'), QLatin1Char('\\'));
        const QString name = EntryFileName(entry.Name);
        const QString destination = FSettings.GetDestination(name);
        if (destination == KNoInstall) {
            AddRow(summary, archive, stored, destination + name);
            continue;
        }
        // A link or a name that is no file name of its own is never written.
        const QString flatName = FZip.FlatName(i);
        if (flatName.isEmpty()) {
            AddRow(summary, archive, stored, QString());
            continue;
        }
        const QString target = TargetFor(destination, flatName);
        if (FolderInTheWay(target)) {
            AddRow(summary, archive, stored, target);
            continue;
        }
        const TDecision decision = Decide(target, onConfirm, answers, summary);
        if (decision == TDecision::dcCancel)
            break;
        TInstallSummaryItem* item = AddRow(summary, archive, stored, target);
        if (decision == TDecision::dcKeep)
            continue;
        if (const TResult<void> extracted = FZip.ExtractTo(i, target); !extracted) {
            summary.SetAborted(true);
            answers.Cancel = true;
            FZip.Close();
            return extracted;
        }
        item->Installed = true;
        Accept(target, nullptr, QString());
    }
    FZip.Close();
    return {};
}

void TAddonInstaller::AddPlainFile(const QString& file, TInstallSummary& summary,
                                   const TOverwriteCallback& onConfirm, TAnswers& answers)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    const QString folder = WithTrailingSeparator(FolderPart(path));
    const QString destination = FSettings.GetDestination(path);
    if (destination == KNoInstall) {
        AddRow(summary, folder, path, destination + NamePart(path));
        return;
    }
    const QString target = TargetFor(destination, NamePart(path));
    // A folder install inside the game folder meets files that are their own target.
    if (SameFile(path, target) || FolderInTheWay(target)) {
        AddRow(summary, folder, path, target);
        return;
    }
    const TDecision decision = Decide(target, onConfirm, answers, summary);
    if (decision == TDecision::dcInstall)
        Accept(target, AddRow(summary, folder, path, target), path);
    else if (decision == TDecision::dcKeep)
        AddRow(summary, folder, path, target);
}

void TAddonInstaller::CopyPending(TInstallSummary& summary)
{
    QStringList sources;
    QStringList targets;
    QVector<TInstallSummaryItem*> rows;
    for (const TPendingCopy& copy : std::as_const(FPending)) {
        if (copy.Superseded)
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
    for (int i = 0; i < rows.size(); ++i)
        rows[i]->Installed =
            i < result.Items.size() && result.Items.at(i).Outcome == TFileOpOutcome::fooDone;
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
                                                   TAnswers& answers,
                                                   TInstallSummary& summary) const
{
    const bool exists = FAccepted.contains(KeyOf(target)) || PathPresent(target);
    if (!exists || !onConfirm || answers.YesToAll)
        return TDecision::dcInstall;
    bool overwrite = false;
    onConfirm(target, overwrite, answers.YesToAll, answers.Cancel);
    if (answers.Cancel) {
        summary.SetAborted(true); // and the file gets no row
        return TDecision::dcCancel;
    }
    return overwrite || answers.YesToAll ? TDecision::dcInstall : TDecision::dcKeep;
}

void TAddonInstaller::Accept(const QString& target, TInstallSummaryItem* row, const QString& source)
{
    const QString key = KeyOf(target);
    FAccepted.insert(key);
    if (const auto earlier = FPendingByKey.constFind(key); earlier != FPendingByKey.cend())
        FPending[*earlier].Superseded = true;
    FPendingByKey.remove(key);
    if (row) {
        FPendingByKey.insert(key, int(FPending.size()));
        FPending.append(TPendingCopy{row, source, target, false});
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

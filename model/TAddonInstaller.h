#pragma once

#include "TResult.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class TInstallSummary;
class TInstallSummaryItem;
enum class TInstallOutcome;
class TKOVASettings;
class TZipArchive;

// The question before an existing file is replaced: FileName is the full target path. The
// callback sets Overwrite, YesToAll or Cancel and may leave any of them untouched; YesToAll
// counts as Overwrite.
using TOverwriteCallback =
    std::function<void(const QString& fileName, bool& overwrite, bool& yesToAll, bool& cancel)>;

// The add-on installation road without its windows: archive entries, plain files and folders'
// files go into the game folder that the settings' install rules give for their extension,
// under the name the rename rules give, and each becomes a row of the summary.
//
// What may be written is held tight, since archives and their names come from anywhere:
//  - only the computed target is ever written: an archive entry by the file-name part of its
//    name, never its stored path; folder entries (no data) are passed over; link entries and
//    names that are no safe file name (SafeFileName: empty, dotted, or showing as another) get
//    a refused row that reads not installed, whatever the rules say of their type, as do plain
//    files of such names;
//  - targets are found without regard to letter case (an existing "foo.U" is replaced, never
//    doubled by "Foo.u"); each target folder is listed once per run;
//  - every question of a run is asked first; then, before the first byte is written, the run's
//    declared sizes are held against the free space of each target's file system
//    (TSpaceTally); an archive that cannot be read, is damaged or whose entries share their
//    data refuses the whole run, so a run that cannot finish does not start;
//  - an entry is written to a temporary beside its target and renamed over it only when read
//    whole with its checksum right (the zip engine's extraction); any failure leaves the old
//    file, marks the row not installed and stops the run as a cancel does, with the error;
//  - a target accepted earlier in the run counts as existing for the question, and a plain file
//    that is its own target is not copied.
//
// Archive entries are written in list order, archive by archive; plain files are copied in one
// file operation at the end (also after a cancel; after a failed write only those listed before
// the archive that failed); each row reads what was done to its file, and its Outcome says why (the
// run's exit rule, TInstallSummary::Succeeded). The summary's Aborted is set when the user
// cancelled, an entry failed or the copy did not do every file. A cancel keeps the file asked
// about (its row reads kept); what the run did not reach after a cancel or an archive that
// cannot be read is still listed, as not installed: the rest of that archive's entries, later
// plain files by name, later archives by their entries (one row for one that cannot be read).
class TAddonInstaller final
{
public:
    TAddonInstaller(const TKOVASettings& settings, TZipArchive& zip);

    // The window that owns the final copy's progress and error messages; Quiet shows neither.
    void SetCopyOwner(QObject* owner, bool quiet);

    // Installs every file entry of every archive in order; one Yes to All and one Cancel span
    // the whole list. Nothing when the list is empty or names a missing file. Fails with what
    // stopped the run: an archive that cannot be read, is damaged or whose entries share their
    // data, files that do not fit on their file system (nothing is written for these), an entry
    // that cannot be written (ecCancelled when the user cancelled the extraction or a password
    // prompt); when more than one of these happened, the error tells them all, in that order.
    TResult<void> InstallArchives(const QStringList& archives, TInstallSummary& summary,
                                  const TOverwriteCallback& onConfirm);
    // Installs a mixed list in order: each archive (IsArchive) as InstallArchives does, with
    // its own Yes to All, any other file copied. Nothing when the list is empty or names a
    // missing file. Fails as InstallArchives.
    TResult<void> InstallFileList(const QStringList& files, TInstallSummary& summary,
                                  const TOverwriteCallback& onConfirm);

    // Whether the road unpacks File: its extension is ".zip" in any letter case.
    static bool IsArchive(const QString& fileName);

private:
    // A target folder as listed once in this run: its resolved path and its names.
    struct TFolderNames
    {
        QString Path;
        QSet<QString> Exact;
        QHash<QString, QString> Folded; // case-folded name -> the name on disk
    };
    // An archive entry to be written.
    struct TPlannedEntry
    {
        int Index = -1;
        QString Name; // as listed when planned: the archive must not change meanwhile
        qint64 Size = 0;
        QString Target;
        TInstallSummaryItem* Row = nullptr;
    };
    // An archive of the run with what is to be written of it; Position in the run's list.
    struct TPlannedArchive
    {
        QString File;
        int Position = 0;
        QVector<TPlannedEntry> Entries;
    };
    // A plain file waiting for the final copy.
    struct TPendingCopy
    {
        TInstallSummaryItem* Row = nullptr;
        QString Source;
        QString Target;
        int Position = 0;
        bool Superseded = false; // a later file of the run took its target
    };
    // The flags of one installer call.
    struct TAnswers
    {
        bool YesToAll = false;
        bool Cancel = false;
    };
    enum class TDecision
    {
        dcInstall,
        dcKeep,
        dcCancel,     // the user cancelled at this file
        dcNotReached, // the run stopped before this file
    };

    // Asks every question of the run over Files (all archives when AllArchives: one Yes to All
    // for them all) and lists what is to be written, then writes it.
    TResult<void> Run(const QStringList& files, bool allArchives, TInstallSummary& summary,
                      const TOverwriteCallback& onConfirm);
    void BeginRun();
    TResult<void> PlanArchive(const QString& archive, int position, TInstallSummary& summary,
                              const TOverwriteCallback& onConfirm, TAnswers& answers);
    void PlanPlainFile(const QString& file, int position, TInstallSummary& summary,
                       const TOverwriteCallback& onConfirm, TAnswers& answers);
    TResult<void> CheckSpace() const;
    // Extracts the planned entries of Archive; the rows of those not written read failed.
    TResult<void> WriteArchive(const TPlannedArchive& archive);
    // Copies the plain files of the run's list up to LastPosition.
    void CopyPending(TInstallSummary& summary, int lastPosition);
    // Destination + Name after the rename rules, with the name an existing file of that folder
    // has in any letter case.
    QString TargetFor(const QString& destination, const QString& name);
    TFolderNames& FolderOf(const QString& folder);
    QString KeyOf(const QString& target) const;
    // Asks when Target exists (or was accepted earlier in this run); a cancel aborts Summary
    // and stops the run. Asks nothing once the run stopped.
    TDecision Decide(const QString& target, const TOverwriteCallback& onConfirm, TAnswers& answers,
                     TInstallSummary& summary);
    // The outcome a row is planned with.
    static TInstallOutcome OutcomeOf(TDecision decision);
    // Target is taken by this run: an earlier plain file waiting for it loses it.
    void Accept(const QString& target, TInstallSummaryItem* row, const QString& source,
                int position);

    const TKOVASettings& FSettings;
    TZipArchive& FZip;
    QObject* FCopyOwner = nullptr;
    bool FQuietCopy = false;

    QHash<QString, TFolderNames> FFolders; // by the folder as the rules wrote it
    QSet<QString> FAccepted;               // keys of targets accepted in this run
    QHash<QString, int> FPendingByKey;     // key -> index into FPending
    QVector<TPendingCopy> FPending;
    QVector<TPlannedArchive> FPlanned;
    bool FStopped = false; // a cancel or an unreadable archive: the rest is only listed
};

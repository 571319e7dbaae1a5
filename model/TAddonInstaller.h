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
//    name, never its stored path; folder entries are passed over; link entries and names that
//    are no safe file name get a row that reads not installed;
//  - targets are found without regard to letter case (an existing "foo.U" is replaced, never
//    doubled by "Foo.u"); each target folder is listed once per run;
//  - an entry is written to a temporary beside its target and renamed over it only when read
//    whole with its checksum right (the zip engine's extraction); any failure leaves the old
//    file, marks the row not installed and stops the run as a cancel does, with the error;
//  - a target accepted earlier in the run counts as existing for the question, and a plain file
//    that is its own target is not copied.
//
// Plain files are collected during the run and copied in one file operation at its end (also
// after a cancel); each of their rows reads what the copy did to its file. The summary's
// Aborted is set when the user cancelled, an entry failed or the copy did not do every file.
class TAddonInstaller final
{
public:
    TAddonInstaller(const TKOVASettings& settings, TZipArchive& zip);

    // The window that owns the final copy's progress and error messages; Quiet shows neither.
    void SetCopyOwner(QObject* owner, bool quiet);

    // Installs every file entry of every archive in order; one Yes to All and one Cancel span
    // the whole list. Nothing when the list is empty or names a missing file. Fails with what
    // stopped the run: an archive that cannot be read, an entry that cannot be written
    // (ecCancelled when the user cancelled the extraction or a password prompt).
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
    // A plain file waiting for the final copy.
    struct TPendingCopy
    {
        TInstallSummaryItem* Row = nullptr;
        QString Source;
        QString Target;
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
        dcCancel,
    };

    void BeginRun();
    TResult<void> InstallArchive(const QString& archive, TInstallSummary& summary,
                                 const TOverwriteCallback& onConfirm, TAnswers& answers);
    void AddPlainFile(const QString& file, TInstallSummary& summary,
                      const TOverwriteCallback& onConfirm, TAnswers& answers);
    void CopyPending(TInstallSummary& summary);
    // Destination + Name after the rename rules, with the name an existing file of that folder
    // has in any letter case.
    QString TargetFor(const QString& destination, const QString& name);
    TFolderNames& FolderOf(const QString& folder);
    QString KeyOf(const QString& target) const;
    // Asks when Target exists (or was accepted earlier in this run); a cancel aborts Summary.
    TDecision Decide(const QString& target, const TOverwriteCallback& onConfirm, TAnswers& answers,
                     TInstallSummary& summary) const;
    // Target is taken by this run: an earlier plain file waiting for it loses it.
    void Accept(const QString& target, TInstallSummaryItem* row, const QString& source);

    const TKOVASettings& FSettings;
    TZipArchive& FZip;
    QObject* FCopyOwner = nullptr;
    bool FQuietCopy = false;

    QHash<QString, TFolderNames> FFolders; // by the folder as the rules wrote it
    QSet<QString> FAccepted;               // keys of targets accepted in this run
    QHash<QString, int> FPendingByKey;     // key -> index into FPending
    QVector<TPendingCopy> FPending;
};

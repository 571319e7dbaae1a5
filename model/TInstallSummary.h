#pragma once

#include <QString>

#include <memory>
#include <vector>

// What an installation did with one file.
enum class TInstallOutcome
{
    ioInstalled, // copied or extracted to its target
    ioKept,      // the file at the target stays: kept at the replace question (or by the silent
                 // run's preset), or it is the file itself
    ioNoInstall, // the settings install no file of its type
    ioRefused,   // no file that may be installed: a link, a name that is no file name or shows as
                 // another, a folder in the way, a missing or damaged file
    ioFailed,    // it was to be written and was not: the write failed, or the run stopped or was
                 // cancelled before it
};

// Whether a run did what it was given, by the outcomes of its files: nothing refused or failed,
// nothing cancelled, and at least one file installed or kept. A run given no file at all
// succeeds only when NothingIsDone says so (there was nothing to do).
class TInstallTally final
{
public:
    void Add(TInstallOutcome outcome);
    void SetCancelled() { FCancelled = true; }
    bool Succeeded(bool nothingIsDone = false) const;

private:
    int FFiles = 0;
    int FDone = 0; // installed or kept
    bool FBad = false;
    bool FCancelled = false;
};

// One row of an installation: a file that was, or was not, copied or extracted to its target.
// A row not installed reads failed until the installer says what else became of it, so that no
// row counts as done by default.
class TInstallSummaryItem final
{
public:
    TInstallSummaryItem(const QString& sourceArchive, const QString& sourceFile,
                        const QString& targetFile, bool installed,
                        TInstallOutcome outcome = TInstallOutcome::ioFailed);

    bool Installed;          // false when skipped: not overwritten, cancelled, or no destination
    TInstallOutcome Outcome; // why, as the run left it (Installed may change later)
    QString SourceArchive;   // the archive the file came from; for a plain file its folder
    QString SourceFile; // the name inside the archive ("\" separated), or the plain file's path
    QString TargetFile; // the full path the file was, or would have been, written to
};

// The rows of one installation run, in the order they were added, and whether the run was
// aborted (cancelled by the user, or a copy failed).
class TInstallSummary final
{
public:
    TInstallSummary() = default;
    TInstallSummary(const TInstallSummary&) = delete;
    TInstallSummary& operator=(const TInstallSummary&) = delete;

    // The summary owns the item from now on; nothing for no item.
    void Add(std::unique_ptr<TInstallSummaryItem> item);
    int GetCount() const { return static_cast<int>(FItems.size()); }
    // Raises std::out_of_range for an index outside the list.
    TInstallSummaryItem* GetItem(int index) const;

    bool Aborted() const { return FAborted; }
    void SetAborted(bool aborted) { FAborted = aborted; }

    // A copy of Item that the caller owns; null for no item.
    static std::unique_ptr<TInstallSummaryItem> Clone(const TInstallSummaryItem* item);

    // Whether the run did what it was given (TInstallTally over its rows; an aborted run did
    // not).
    bool Succeeded() const;

private:
    std::vector<std::unique_ptr<TInstallSummaryItem>> FItems;
    bool FAborted = false;
};

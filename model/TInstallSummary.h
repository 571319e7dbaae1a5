#pragma once

#include <QString>

#include <memory>
#include <vector>

// One row of an installation: a file that was, or was not, copied or extracted to its target.
class TInstallSummaryItem final
{
public:
    TInstallSummaryItem(const QString& sourceArchive, const QString& sourceFile,
                        const QString& targetFile, bool installed);

    bool Installed;        // false when skipped: not overwritten, cancelled, or no destination
    QString SourceArchive; // the archive the file came from; for a plain file its folder
    QString SourceFile;    // the name inside the archive ("\" separated), or the plain file's path
    QString TargetFile;    // the full path the file was, or would have been, written to
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

private:
    std::vector<std::unique_ptr<TInstallSummaryItem>> FItems;
    bool FAborted = false;
};

#include "TInstallSummary.h"

#include <stdexcept>
#include <string>

void TInstallTally::Add(TInstallOutcome outcome)
{
    ++FFiles;
    switch (outcome) {
    case TInstallOutcome::ioInstalled:
    case TInstallOutcome::ioKept:
        ++FDone;
        break;
    case TInstallOutcome::ioNoInstall:
        break;
    case TInstallOutcome::ioRefused:
    case TInstallOutcome::ioFailed:
        FBad = true;
        break;
    }
}

bool TInstallTally::Succeeded(bool nothingIsDone) const
{
    if (FBad || FCancelled)
        return false;
    return FDone > 0 || (FFiles == 0 && nothingIsDone);
}

TInstallSummaryItem::TInstallSummaryItem(const QString& sourceArchive, const QString& sourceFile,
                                         const QString& targetFile, bool installed,
                                         TInstallOutcome outcome)
    : Installed(installed)
    , Outcome(installed ? TInstallOutcome::ioInstalled : outcome)
    , SourceArchive(sourceArchive)
    , SourceFile(sourceFile)
    , TargetFile(targetFile)
{}

void TInstallSummary::Add(std::unique_ptr<TInstallSummaryItem> item)
{
    if (item)
        FItems.push_back(std::move(item));
}

TInstallSummaryItem* TInstallSummary::GetItem(int index) const
{
    if (index < 0 || index >= GetCount())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[static_cast<size_t>(index)].get();
}

std::unique_ptr<TInstallSummaryItem> TInstallSummary::Clone(const TInstallSummaryItem* item)
{
    if (!item)
        return nullptr;
    return std::make_unique<TInstallSummaryItem>(item->SourceArchive, item->SourceFile,
                                                 item->TargetFile, item->Installed, item->Outcome);
}

bool TInstallSummary::Succeeded() const
{
    TInstallTally tally;
    for (const std::unique_ptr<TInstallSummaryItem>& item : FItems)
        tally.Add(item->Outcome);
    if (FAborted)
        tally.SetCancelled();
    return tally.Succeeded();
}

#include "TInstallSummary.h"

#include <stdexcept>
#include <string>

TInstallSummaryItem::TInstallSummaryItem(const QString& sourceArchive, const QString& sourceFile,
                                         const QString& targetFile, bool installed)
    : Installed(installed)
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
                                                 item->TargetFile, item->Installed);
}

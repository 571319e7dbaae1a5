#include "TCachePage.h"
#include "ui_TCachePage.h"

#include "Guard.h"
#include "IDialogs.h"
#include "IPageContext.h"
#include "KOVAIcons.h"
#include "SystemImages.h"
#include "TCacheManager.h"
#include "FolderList.h"
#include "GamePath.h"
#include "TEventManager.h"
#include "TZipArchive.h"
#include "ProgramFolders.h"
#include "uKOVA_Misc.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QStyle>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

enum TCacheColumn
{
    ccFileName = 0,
    ccSize = 1,
    ccGUID = 2
};

// The list indexes of the cache's entries by GUID, in list order (a GUID may stand more than
// once): one pass over the entries serves any number of rows, where a search per row would
// take long over a large cache with every row selected.
QHash<QString, QList<int>> EntriesByGUID(const TCacheManager& cache)
{
    QHash<QString, QList<int>> entries;
    entries.reserve(cache.GetCount());
    for (int i = 0; i < cache.GetCount(); ++i)
        entries[cache.GetItem(i)->GUID].append(i);
    return entries;
}

} // namespace

TCachePage::TCachePage(IPageContext& context, QWidget* parent)
    : TPageBase(context, parent)
    , FUi(std::make_unique<Ui::TCachePage>())
{
    FUi->setupUi(this);
    // In the order of TCacheColumn.
    FUi->lwCache_List->SetColumns(
        {{175, TListSort::lsText}, {70, TListSort::lsNumber}, {150, TListSort::lsText}});
    FUi->InstallCache->setIcon(KOVAIcon(kiExtract));
    FUi->CacheInstallAndZip->setIcon(KOVAIcon(kiSave));
    FUi->CacheClearCorrupt->setIcon(KOVAIcon(kiDelete));
    FUi->CleanCache->setIcon(KOVAIcon(kiDeleteSection));
    FUi->CacheSelectAll->setIcon(KOVAIcon(kiAdd));
    // Each tool button shows and runs its action, which the language file dresses.
    FUi->btnInstallCache->setDefaultAction(FUi->InstallCache);
    FUi->btnCacheInstallAndZip->setDefaultAction(FUi->CacheInstallAndZip);
    FUi->btnCacheClearCorrupt->setDefaultAction(FUi->CacheClearCorrupt);
    FUi->btnCleanCache->setDefaultAction(FUi->CleanCache);
    FUi->btnCacheSelectAll->setDefaultAction(FUi->CacheSelectAll);
    ConnectGuarded(FUi->InstallCache, &QAction::triggered, this, &TCachePage::InstallCacheClick);
    ConnectGuarded(FUi->CacheInstallAndZip, &QAction::triggered, this,
                   &TCachePage::CacheInstallAndZipClick);
    ConnectGuarded(FUi->CacheClearCorrupt, &QAction::triggered, this,
                   &TCachePage::CacheClearCorruptClick);
    ConnectGuarded(FUi->CleanCache, &QAction::triggered, this, &TCachePage::CleanCacheClick);
    ConnectGuarded(FUi->CacheSelectAll, &QAction::triggered, this,
                   &TCachePage::CacheSelectAllClick);
}

TCachePage::~TCachePage() = default;

void TCachePage::LanguageChanged()
{
    FUi->lwCache_List->setHeaderLabels({FContext.GetLangText(TDialogType::Col_FileName),
                                        FContext.GetLangText(TDialogType::Col_Size),
                                        FContext.GetLangText(TDialogType::Col_HashValue)});
}

void TCachePage::ShowCachePage()
{
    FUi->lwCache_List->clear();
    FillCacheList();
    LanguageChanged();
}

void TCachePage::FillCacheList()
{
    const TCacheManager* cache = FContext.CacheManager();
    if (!cache)
        return;
    TSystemImages& images = FContext.SystemImageList();
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    const QVector<qint64> sizes = cache->GetCacheFileSizes();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(cache->GetCount());
    for (int i = 0; i < cache->GetCount(); ++i) {
        const TCacheEntry* entry = cache->GetItem(i);
        const qint64 size = sizes.value(i, -1);
        auto* row = new TListItem(
            QStringList{entry->FileName, FormatFileSize(qMax<qint64>(size, 0)), entry->GUID});
        TListView::SetSortNumber(row, ccSize, qMax<qint64>(size, 0));
        if (size < 0) {
            row->setIcon(ccFileName, warning);
        } else {
            row->setIcon(ccFileName, images.FileIcon(entry->FileName));
        }
        rows.append(row);
    }
    FUi->lwCache_List->setUpdatesEnabled(false);
    FUi->lwCache_List->addTopLevelItems(rows);
    FUi->lwCache_List->setUpdatesEnabled(true);
}

void TCachePage::InstallCacheClick()
{
    TCacheManager* cache = FContext.CacheManager();
    if (!cache)
        return;
    const bool move = FUi->cbCacheDeleteSourceFilesAfterInstallation->isChecked();
    const QHash<QString, QList<int>> entries = EntriesByGUID(*cache);
    QHash<QString, QTreeWidgetItem*> rowOfGUID;
    std::vector<int> indexes;
    for (QTreeWidgetItem* row : SelectedRows(FUi->lwCache_List)) {
        const QString guid = row->text(ccGUID);
        if (!entries.contains(guid) || rowOfGUID.contains(guid))
            continue;
        rowOfGUID.insert(guid, row);
        indexes.push_back(entries.value(guid).first());
    }
    if (indexes.empty())
        return;
    // One run, so that "Yes to All" and Cancel hold for every selected entry.
    const TResult<TCacheExtractResult> result = cache->Extract(indexes, move, this);
    if (!Succeeded(this, result))
        return;
    // What the shell did not get to do is said here; what it failed at it has said already, and
    // is named again so the user sees every entry that stayed.
    QStringList problems;
    for (const TCacheExtractItem& item : result->Items) {
        if (item.Outcome == TCacheExtractOutcome::ceoFailed ||
            item.Outcome == TCacheExtractOutcome::ceoNotPlainFile ||
            item.Outcome == TCacheExtractOutcome::ceoBadName)
            problems << (item.Error.isEmpty()
                             ? item.FileName
                             : QStringLiteral("%1: %2").arg(item.FileName, item.Error));
    }
    if (result->IndexError)
        problems << result->IndexError->Message;
    if (!problems.isEmpty())
        FContext.ShowError(this, problems.join(QLatin1Char('\n')));
    FContext.MapFilesInstalled(this, result->InstalledTargets());
    if (!move)
        return;
    // Only the rows whose entries really left the cache go.
    for (const TCacheExtractItem& item : result->Items) {
        if (item.Outcome == TCacheExtractOutcome::ceoExtracted)
            delete rowOfGUID.value(item.GUID);
    }
}

void TCachePage::CacheInstallAndZipClick()
{
    TCacheManager* cache = FContext.CacheManager();
    const QList<QTreeWidgetItem*> rows = SelectedRows(FUi->lwCache_List);
    if (!cache || rows.isEmpty())
        return;
    TFileDialogOptions options =
        FContext.TransferPrompt(TDialogType::Common_Dialog_SelectArchive,
                                TDialogType::Common_Filter_ZipFiles, QStringLiteral("zip"));
    // An archive that is there is added to, not replaced: there is nothing to confirm.
    options.ConfirmOverwrite = false;
    const QString archive = FContext.Dialogs().SaveFile(this, options);
    if (archive.isEmpty())
        return;

    // Each entry's data file under the name the game recorded for it; nothing is installed and
    // the index stays as it is.
    const QVector<qint64> sizes = cache->GetCacheFileSizes();
    const QHash<QString, QList<int>> entries = EntriesByGUID(*cache);
    QVector<TZipSource> sources;
    QStringList missing;
    for (const QTreeWidgetItem* row : rows) {
        const QList<int> found = entries.value(row->text(ccGUID));
        if (found.isEmpty())
            continue;
        const int index = found.first();
        const TCacheEntry* entry = cache->GetItem(index);
        if (sizes.value(index, -1) < 0 || !entry->HasInstallableName())
            missing << entry->FileName;
        else
            sources.append({ResolveGamePath(entry->GetCachePath()), entry->FileName});
    }
    if (!sources.isEmpty()) {
        TZipArchive zip;
        // An archive that is there gets the files added; a new one is made.
        if (!QFileInfo::exists(archive) && !Succeeded(this, TZipArchive::CreateEmpty(archive)))
            return;
        if (!Succeeded(this, zip.Open(archive)) || !Succeeded(this, zip.AddFiles(sources)))
            return;
    }
    if (!missing.isEmpty())
        FContext.Dialogs().MessageBox(
            this, FContext.GetLangText(TDialogType::Common_Warning),
            QCoreApplication::translate("KOVA", "These files are not in the cache, so they were "
                                                "left out of the archive:\n%1")
                .arg(missing.join(QLatin1Char('\n'))),
            TMsgDlgType::mtWarning, mbOK);
}

void TCachePage::CacheClearCorruptClick()
{
    TCacheManager* cache = FContext.CacheManager();
    if (!cache || !Succeeded(this, cache->PurgeMissing()))
        return;
    if (const TEventMethod handler = FContext.EventManager().Find(parentWidget()))
        handler();
    else
        ShowCachePage();
}

void TCachePage::CleanCacheClick()
{
    TCacheManager* cache = FContext.CacheManager();
    if (!cache)
        return;
    // The rows are known before any goes. Rows of one GUID take its entries in turn; the
    // entries then go from the last, so that the indexes of the others stay as they were.
    QHash<QString, QList<int>> entries = EntriesByGUID(*cache);
    std::vector<std::pair<int, QTreeWidgetItem*>> doomed;
    for (QTreeWidgetItem* row : SelectedRows(FUi->lwCache_List)) {
        QList<int>& found = entries[row->text(ccGUID)];
        if (!found.isEmpty())
            doomed.emplace_back(found.takeFirst(), row);
    }
    std::sort(doomed.begin(), doomed.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [index, row] : doomed) {
        cache->Delete(index);
        delete row;
    }
}

void TCachePage::CacheSelectAllClick()
{
    FUi->lwCache_List->selectAll();
}

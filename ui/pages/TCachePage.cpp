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
#include <QHeaderView>
#include <QStyle>

#include <vector>

namespace {

enum TCacheColumn
{
    ccFileName = 0,
    ccSize = 1,
    ccGUID = 2
};

} // namespace

TCachePage::TCachePage(IPageContext& context, QWidget* parent)
    : TPageBase(context, parent)
    , FUi(std::make_unique<Ui::TCachePage>())
{
    FUi->setupUi(this);
    FUi->lwCache_List->header()->resizeSection(ccFileName, 175);
    FUi->lwCache_List->header()->resizeSection(ccSize, 70);
    FUi->lwCache_List->header()->resizeSection(ccGUID, 150);
    FUi->lwCache_List->SetSortColumns({TListSort::lsText, TListSort::lsNumber, TListSort::lsText});
    FUi->InstallCache->setIcon(KOVAIcon(kiExtract));
    FUi->CacheInstallAndZip->setIcon(KOVAIcon(kiSave));
    FUi->CacheClearCorrupt->setIcon(KOVAIcon(kiDelete));
    FUi->CleanCache->setIcon(KOVAIcon(kiDeleteSection));
    FUi->CacheSelectAll->setIcon(KOVAIcon(kiAdd));
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
    // One type lookup per extension: a cache holds thousands of files of a handful of types.
    QHash<QString, QIcon> icons;
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
            const QString extension = QFileInfo(entry->FileName).suffix().toLower();
            auto icon = icons.find(extension);
            if (icon == icons.end())
                icon =
                    icons.insert(extension, images.Icon(images.GetFileIconIndex(entry->FileName)));
            row->setIcon(ccFileName, *icon);
        }
        rows.append(row);
    }
    FUi->lwCache_List->setUpdatesEnabled(false);
    FUi->lwCache_List->addTopLevelItems(rows);
    FUi->lwCache_List->setUpdatesEnabled(true);
}

int TCachePage::EntryOf(const QTreeWidgetItem* row) const
{
    const TCacheManager* cache = FContext.CacheManager();
    if (!cache || !row)
        return -1;
    const QString guid = row->text(ccGUID);
    for (int i = 0; i < cache->GetCount(); ++i) {
        if (cache->GetItem(i)->GUID == guid)
            return i;
    }
    return -1;
}

void TCachePage::InstallCacheClick()
{
    TCacheManager* cache = FContext.CacheManager();
    if (!cache)
        return;
    const bool move = FUi->cbCacheDeleteSourceFilesAfterInstallation->isChecked();
    QHash<QString, QTreeWidgetItem*> rowOfGUID;
    std::vector<int> indexes;
    for (QTreeWidgetItem* row : SelectedRows(FUi->lwCache_List)) {
        const int index = EntryOf(row);
        if (index < 0 || rowOfGUID.contains(row->text(ccGUID)))
            continue;
        rowOfGUID.insert(row->text(ccGUID), row);
        indexes.push_back(index);
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
    QVector<TZipSource> sources;
    QStringList missing;
    for (const QTreeWidgetItem* row : rows) {
        const int index = EntryOf(row);
        if (index < 0)
            continue;
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
    // The rows are known before any goes.
    for (QTreeWidgetItem* row : SelectedRows(FUi->lwCache_List)) {
        const int index = EntryOf(row);
        if (index < 0)
            continue;
        cache->Delete(index);
        delete row;
    }
}

void TCachePage::CacheSelectAllClick()
{
    FUi->lwCache_List->selectAll();
}

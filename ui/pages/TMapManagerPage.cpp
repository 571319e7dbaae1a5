#include "TMapManagerPage.h"
#include "ui_TMapManagerPage.h"

#include "FolderList.h"
#include "GamePath.h"
#include "Guard.h"
#include "IDialogs.h"
#include "IPageContext.h"
#include "KOVAIcons.h"
#include "ProgramFolders.h"
#include "SystemImages.h"
#include "TKOVASettings.h"
#include "TMapManager.h"
#include "TUTMap.h"
#include "TemplateFormat.h"
#include "uKOVA_Misc.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>

namespace {

enum TMapColumn
{
    mcFileName = 0,
    mcMapType = 1,
    mcSize = 2
};

const QString KPlayOptions = QStringLiteral("?bAutoNumBots=True");
const QString KMapExtension = QStringLiteral("ut2");

} // namespace

TMapManagerPage::TMapManagerPage(IPageContext& context, QWidget* parent)
    : TPageBase(context, parent)
    , FUi(std::make_unique<Ui::TMapManagerPage>())
{
    FUi->setupUi(this);
    TListView* list = FUi->lbMapManager_MapList;
    // In the order of TMapColumn.
    list->SetColumns(
        {{150, TListSort::lsText}, {95, TListSort::lsText}, {80, TListSort::lsNumber}});
    IPageContext::AddDragList(list, TMapPaths::mpMaps);

    FUi->MapManager_ExportMap->setIcon(KOVAIcon(kiSave));
    FUi->MapManager_ImportMap->setIcon(KOVAIcon(kiOpen));
    FUi->MapManager_DeleteMap->setIcon(KOVAIcon(kiDelete));
    FUi->MapManager_RenameMap->setIcon(KOVAIcon(kiRename));
    FUi->MapManager_ExportIntoArchive->setIcon(KOVAIcon(kiAdd));
    FUi->MapManager_ImportFromArchive->setIcon(KOVAIcon(kiExtract));
    FUi->MapManager_PlayMap->setIcon(KOVAIcon(kiPlay));
    // Each tool button shows and runs its action, which the language file dresses.
    FUi->btnMapManager_ExportMap->setDefaultAction(FUi->MapManager_ExportMap);
    FUi->btnMapManager_ImportMap->setDefaultAction(FUi->MapManager_ImportMap);
    FUi->btnMapManager_DeleteMap->setDefaultAction(FUi->MapManager_DeleteMap);
    FUi->btnMapManager_RenameMap->setDefaultAction(FUi->MapManager_RenameMap);
    FUi->btnMapManager_ExportIntoArchive->setDefaultAction(FUi->MapManager_ExportIntoArchive);
    FUi->btnMapManager_ImportFromArchive->setDefaultAction(FUi->MapManager_ImportFromArchive);
    FUi->btnMapManager_PlayMap->setDefaultAction(FUi->MapManager_PlayMap);

    // The box is refilled at each refresh with its signals blocked; only a change of the
    // user's runs the filter.
    ConnectGuarded(FUi->cbMapManager_SelectGameType, &QComboBox::currentIndexChanged, this,
                   &TMapManagerPage::cbMapManager_SelectGameTypeChange);
    // Once per change of the selection, however many rows it touched.
    ConnectGuarded(list, &QTreeWidget::itemSelectionChanged, this,
                   &TMapManagerPage::lbMapManager_MapListChange);
    ConnectGuarded(FUi->MapManager_ImportMap, &QAction::triggered, this,
                   &TMapManagerPage::btnMapManager_ImportMapClick);
    ConnectGuarded(FUi->MapManager_ExportMap, &QAction::triggered, this,
                   &TMapManagerPage::btnMapManager_ExportMapClick);
    ConnectGuarded(FUi->MapManager_DeleteMap, &QAction::triggered, this,
                   &TMapManagerPage::btnMapManager_DeleteMapClick);
    ConnectGuarded(FUi->MapManager_RenameMap, &QAction::triggered, this,
                   &TMapManagerPage::btnMapManager_RenameMapClick);
    ConnectGuarded(FUi->MapManager_ExportIntoArchive, &QAction::triggered, this,
                   &TMapManagerPage::btnMapManager_ExportMapToArchiveClick);
    ConnectGuarded(FUi->MapManager_ImportFromArchive, &QAction::triggered, this,
                   &TMapManagerPage::btnMapManager_ImportFromArchiveClick);
    ConnectGuarded(FUi->MapManager_PlayMap, &QAction::triggered, this,
                   &TMapManagerPage::MapManager_PlayMapClick);
}

TMapManagerPage::~TMapManagerPage() = default;

void TMapManagerPage::LanguageChanged()
{
    SetColumnCaptions();
    QComboBox* box = FUi->cbMapManager_SelectGameType;
    if (box->count() >= 2) {
        box->setItemText(0, FContext.GetLangText(TDialogType::MapManager_AllTypes));
        box->setItemText(box->count() - 1,
                         FContext.GetLangText(TDialogType::MapManager_OtherTypes));
    }
    // The language has put its layout captions on the detail labels.
    lbMapManager_MapListChange();
}

void TMapManagerPage::SetColumnCaptions()
{
    FUi->lbMapManager_MapList->setHeaderLabels({FContext.GetLangText(TDialogType::Col_FileName),
                                                FContext.GetLangText(TDialogType::Col_MapType),
                                                FContext.GetLangText(TDialogType::Col_Size)});
}

QString TMapManagerPage::MapsFolder() const
{
    return WithoutTrailingSeparator(ResolveGamePath(FContext.Settings().GetMapsDir()));
}

TFileDialogOptions TMapManagerPage::MapPrompt() const
{
    return FContext.TransferPrompt(TDialogType::Common_Dialog_SelectMap,
                                   TDialogType::Common_Filter_UT2Files, KMapExtension);
}

TUTMap* TMapManagerPage::MapOf(const QTreeWidgetItem* row) const
{
    const TMapManager* maps = FContext.MapManager();
    return maps && row ? maps->FindByFileName(row->text(mcFileName)) : nullptr;
}

void TMapManagerPage::ShowMapManagerPage()
{
    QComboBox* box = FUi->cbMapManager_SelectGameType;
    const int index = box->currentIndex();
    {
        const QSignalBlocker blocker(box);
        box->clear();
        box->addItem(FContext.GetLangText(TDialogType::MapManager_AllTypes));
        if (const TMapManager* maps = FContext.MapManager())
            box->addItems(maps->GameTypes().ListNames());
        box->addItem(FContext.GetLangText(TDialogType::MapManager_OtherTypes));
        // A new game folder's settings may hold fewer game types.
        box->setCurrentIndex(index >= 0 && index < box->count() ? index : 0);
    }
    cbMapManager_SelectGameTypeChange();
    SetColumnCaptions();
}

void TMapManagerPage::cbMapManager_SelectGameTypeChange()
{
    const QComboBox* box = FUi->cbMapManager_SelectGameType;
    const int index = box->currentIndex();
    const TMapManager* maps = FContext.MapManager();
    if (index < 0 || !maps)
        return;
    if (index == 0)
        FillMapList(maps->ListFileNames());
    else if (index == box->count() - 1)
        FillMapList(maps->ListMapsWithoutGameType());
    else
        // Entry I stands for game type I - 1: a search by the entry's text could find another
        // game type whose name holds it.
        FillMapList(maps->ListMapsOfGameTypes({maps->GameTypes().GetItem(index - 1)}));
}

void TMapManagerPage::FillMapList(const QStringList& list)
{
    TListView* view = FUi->lbMapManager_MapList;
    const TMapManager* maps = FContext.MapManager();
    TSystemImages& images = FContext.SystemImageList();
    const QString unknownType = FContext.GetLangText(TDialogType::MapManager_UnknownType);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(list.size());
    for (const QString& file : list) {
        const QString name = BareFileName(file).toString();
        const TUTMap* map = maps ? maps->FindByFileName(name) : nullptr;
        QString type = unknownType;
        if (map && map->GameType())
            type = map->GameType()->Name();
        auto* row = new TListItem(
            QStringList{name, type, map ? FormatFileSize(map->Size()) : QStringLiteral("0 Bytes")});
        TListView::SetSortNumber(row, mcSize, map ? map->Size() : 0);
        row->setIcon(mcFileName, images.FileIcon(name));
        rows.append(row);
    }
    view->setUpdatesEnabled(false);
    view->clear();
    view->addTopLevelItems(rows);
    view->setUpdatesEnabled(true);
}

void TMapManagerPage::lbMapManager_MapListChange()
{
    const QList<QTreeWidgetItem*> rows = SelectedRows(FUi->lbMapManager_MapList);
    if (!FContext.MapManager())
        return;
    const auto fill = [this](TDialogType key, const QString& value) {
        return FormatTemplate(FContext.GetLangText(key), {value});
    };
    const QString none = QStringLiteral("-");
    if (rows.isEmpty()) {
        // The details of a map that was just deleted or renamed would stay in sight.
        FUi->lbMapManager_MapGameType->setText(fill(TDialogType::MapManager_GameType, none));
        FUi->lbMapManager_MapSize->setText(fill(TDialogType::MapManager_FileSize, none));
        FUi->lbMapManager_MapTitle->setText(fill(TDialogType::MapManager_Title, none));
        FUi->lbMapManager_Author->setText(fill(TDialogType::MapManager_Author, none));
        FUi->mmMapManager_Desc->clear();
        return;
    }
    if (rows.size() == 1) {
        TUTMap* map = MapOf(rows.first());
        if (!map)
            return;
        FUi->lbMapManager_MapGameType->setText(
            fill(TDialogType::MapManager_GameType,
                 map->GameType() ? map->GameType()->Name()
                                 : FContext.GetLangText(TDialogType::MapManager_UnknownType)));
        FUi->lbMapManager_MapSize->setText(
            fill(TDialogType::MapManager_FileSize, FormatFileSize(map->Size())));
        FUi->lbMapManager_MapTitle->setText(fill(TDialogType::MapManager_Title, map->GetTitle()));
        FUi->mmMapManager_Desc->setPlainText(map->GetDescription());
        FUi->lbMapManager_Author->setText(fill(TDialogType::MapManager_Author, map->GetAuthor()));
        return;
    }
    FUi->lbMapManager_MapGameType->setText(fill(TDialogType::MapManager_GameType, none));
    FUi->lbMapManager_MapTitle->setText(fill(TDialogType::MapManager_Title, none));
    FUi->lbMapManager_Author->setText(fill(TDialogType::MapManager_Author, none));
    FUi->mmMapManager_Desc->setPlainText(none);
    // Summed from the model alone: nothing may run in between that could refill the list.
    qint64 total = 0;
    for (const QTreeWidgetItem* row : rows) {
        if (const TUTMap* map = MapOf(row))
            total += map->Size();
    }
    FUi->lbMapManager_MapSize->setText(
        fill(TDialogType::MapManager_FileSize, FormatFileSize(total)));
}

void TMapManagerPage::btnMapManager_ImportMapClick()
{
    TFileDialogOptions options = MapPrompt();
    options.MultiSelect = true;
    const QStringList files = FContext.Dialogs().OpenFiles(this, options);
    if (files.isEmpty())
        return;
    const QString folder = MapsFolder();
    QStringList targets;
    for (const QString& file : files)
        // A map of that name in another letter case is the one the game would load: it is
        // replaced (after the question), not joined by a second one.
        targets.append(ResolveGamePath(JoinPath(folder, QFileInfo(file).fileName())));
    TFileOpResult result;
    ShellFileOperation(this, FO_COPY, files, &targets, FOF_ALLOWUNDO, &result);
    QStringList copied;
    for (int i = 0; i < result.Items.size() && i < targets.size(); ++i) {
        if (result.Items[i].Outcome == TFileOpOutcome::fooDone)
            copied.append(targets[i]);
    }
    if (TMapManager* maps = FContext.MapManager(); maps && !copied.isEmpty())
        Succeeded(this, maps->AddMaps(copied));
    ShowMapManagerPage();
}

void TMapManagerPage::btnMapManager_ExportMapClick()
{
    QStringList sources;
    IPageContext::GetSelectedFiles(&sources, FUi->lbMapManager_MapList, MapsFolder());
    if (sources.isEmpty())
        return;
    if (sources.size() == 1) {
        TFileDialogOptions options = MapPrompt();
        options.FileName = QFileInfo(sources.first()).fileName();
        const QString target = FContext.Dialogs().SaveFile(this, options);
        if (target.isEmpty())
            return;
        // The prompt has asked whether to replace the file it names.
        ShellFileOperationStr(this, FO_COPY, sources.first(), target,
                              FOF_ALLOWUNDO | FOF_NOCONFIRMATION);
        return;
    }
    QString folder = FContext.Folders().TransferDir();
    if (!FContext.Dialogs().BrowseForFolder(
            this, FContext.GetLangText(TDialogType::Common_Dialog_SelectDir), folder))
        return;
    const QStringList targets = CreateRepeatedStringList(folder, int(sources.size()));
    ShellFileOperation(this, FO_COPY, sources, &targets, FOF_ALLOWUNDO);
}

void TMapManagerPage::btnMapManager_DeleteMapClick()
{
    const QList<QTreeWidgetItem*> rows = SelectedRows(FUi->lbMapManager_MapList);
    if (rows.isEmpty())
        return;
    if (FContext.Dialogs().MessageBox(
            this, FContext.GetLangText(TDialogType::Common_Confirmation),
            FContext.GetLangText(TDialogType::MapManager_DeleteFilesConfirm),
            TMsgDlgType::mtConfirmation, mbYes | mbNo) != TModalResult::mrYes)
        return;
    const QString folder = MapsFolder();
    QStringList files;
    for (const QTreeWidgetItem* row : rows)
        files.append(JoinPath(folder, row->text(mcFileName)));
    // The user has just answered the question; the trash keeps what went.
    ShellFileOperation(this, FO_DELETE, files, nullptr, FOF_ALLOWUNDO | FOF_NOCONFIRMATION);
    // Only what is gone leaves the list: a file the trash refused stays listed.
    QStringList gone;
    for (int i = 0; i < rows.size(); ++i) {
        if (PathPresent(files[i]))
            continue;
        gone.append(files[i]);
        delete rows[i];
    }
    if (TMapManager* maps = FContext.MapManager(); maps && !gone.isEmpty())
        Succeeded(this, maps->DropMaps(gone));
}

void TMapManagerPage::btnMapManager_RenameMapClick()
{
    const QList<QTreeWidgetItem*> rows = SelectedRows(FUi->lbMapManager_MapList);
    if (rows.size() != 1) {
        FContext.Dialogs().MessageBox(this, FContext.GetLangText(TDialogType::Common_Information),
                                      FContext.GetLangText(TDialogType::MapManager_RenameError),
                                      TMsgDlgType::mtInformation, mbOK);
        return;
    }
    const TUTMap* map = MapOf(rows.first());
    TMapManager* maps = FContext.MapManager();
    if (!map || !maps)
        return;
    // The row's own file: of two names that differ in letter case only, the map found is the
    // first, while the row may be the other.
    const QString from =
        JoinPath(QFileInfo(map->FileName()).absolutePath(), rows.first()->text(mcFileName));
    TFileDialogOptions options = MapPrompt();
    options.InitialDir = QFileInfo(from).absolutePath();
    options.FileName = QFileInfo(from).fileName();
    // A rename never replaces: the check below refuses a taken name.
    options.ConfirmOverwrite = false;
    const QString to = FContext.Dialogs().SaveFile(this, options);
    if (to.isEmpty() || to == from)
        return;
    // A rename never replaces another map; another spelling of the same file is a rename.
    if (PathPresent(to) && !SameFile(from, to)) {
        FContext.Dialogs().MessageBox(
            this, FContext.GetLangText(TDialogType::Common_Error),
            QCoreApplication::translate("KOVA", "\"%1\" exists already: the map keeps its name.")
                .arg(QDir::toNativeSeparators(to)),
            TMsgDlgType::mtError, mbOK);
        return;
    }
    TFileOpResult result;
    ShellFileOperationStr(this, FO_RENAME, from, to, FOF_ALLOWUNDO, &result);
    if (result.Items.isEmpty() || result.Items.first().Outcome != TFileOpOutcome::fooDone)
        return;
    // A map renamed into another folder is no longer one of the game's.
    const bool staysAMap = QFileInfo(to).absolutePath() == QFileInfo(from).absolutePath();
    Succeeded(this, staysAMap ? maps->RenameMap(from, to) : maps->DropMaps({from}));
    FContext.pgMainChange();
    // The map keeps the user's eye under its new name.
    const QString newName = QFileInfo(to).fileName();
    TListView* list = FUi->lbMapManager_MapList;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(mcFileName) == newName) {
            list->setCurrentItem(list->topLevelItem(i));
            break;
        }
    }
}

void TMapManagerPage::btnMapManager_ExportMapToArchiveClick()
{
    FContext.ExportToArchive(FUi->lbMapManager_MapList, WithTrailingSeparator(MapsFolder()));
}

void TMapManagerPage::btnMapManager_ImportFromArchiveClick()
{
    // The installation lists the maps the archive brought and refreshes this page.
    FContext.ImportFromArchive();
}

void TMapManagerPage::MapManager_PlayMapClick()
{
    const QList<QTreeWidgetItem*> rows = SelectedRows(FUi->lbMapManager_MapList);
    if (rows.isEmpty())
        return;
    if (const TUTMap* map = MapOf(rows.first()))
        FContext.RunGame(map, KPlayOptions);
}

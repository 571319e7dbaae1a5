#include "TDemoPage.h"
#include "ui_TDemoPage.h"

#include "FolderList.h"
#include "FolderScan.h"
#include "GamePath.h"
#include "Guard.h"
#include "IDialogs.h"
#include "IPageContext.h"
#include "KOVAIcons.h"
#include "ProgramFolders.h"
#include "SystemImages.h"
#include "TKOVASettings.h"
#include "uKOVA_Misc.h"

#include <QFileInfo>
#include <QStyle>

TDemoPage::TDemoPage(IPageContext& context, QWidget* parent)
    : TPageBase(context, parent)
    , FUi(std::make_unique<Ui::TDemoPage>())
{
    FUi->setupUi(this);
    FUi->pnDemoManager_Views->setCurrentWidget(FUi->pnDemoManager_DefaultView);
    FUi->imgDemoManager_ViewingDemo->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    // The link only ends the wait; it opens nothing.
    FUi->llDemoManager_ExitView->SetDisableNavigation(true);
    FUi->ViewDemo->setIcon(KOVAIcon(kiPlay));
    FUi->ExportDemo->setIcon(KOVAIcon(kiSave));
    FUi->ImportDemo->setIcon(KOVAIcon(kiOpen));
    FUi->DemoExportArchive->setIcon(KOVAIcon(kiAdd));
    FUi->DemoImportArchive->setIcon(KOVAIcon(kiExtract));
    FUi->DeleteDemo->setIcon(KOVAIcon(kiDelete));
    FUi->DemoAdvanced->setIcon(KOVAIcon(kiSystemIntegration));
    // Each tool button shows and runs its action, which the language file dresses.
    FUi->btnViewDemo->setDefaultAction(FUi->ViewDemo);
    FUi->btnExportDemo->setDefaultAction(FUi->ExportDemo);
    FUi->btnImportDemo->setDefaultAction(FUi->ImportDemo);
    FUi->btnDemoExportArchive->setDefaultAction(FUi->DemoExportArchive);
    FUi->btnDemoImportArchive->setDefaultAction(FUi->DemoImportArchive);
    FUi->btnDeleteDemo->setDefaultAction(FUi->DeleteDemo);
    FUi->btnDemoAdvanced->setDefaultAction(FUi->DemoAdvanced);

    FUi->lwDemos_List->SetColumns({{350, TListSort::lsText}, {70, TListSort::lsNumber}});
    IPageContext::AddDragList(FUi->lwDemos_List, TMapPaths::mpDemos);

    ConnectGuarded(FUi->ViewDemo, &QAction::triggered, this, &TDemoPage::ViewDemoClick);
    ConnectGuarded(FUi->ExportDemo, &QAction::triggered, this, &TDemoPage::ExportDemoClick);
    ConnectGuarded(FUi->ImportDemo, &QAction::triggered, this, &TDemoPage::ImportDemoClick);
    ConnectGuarded(FUi->DemoExportArchive, &QAction::triggered, this,
                   &TDemoPage::DemoExportArchiveClick);
    ConnectGuarded(FUi->DemoImportArchive, &QAction::triggered, this,
                   &TDemoPage::DemoImportArchiveClick);
    ConnectGuarded(FUi->DeleteDemo, &QAction::triggered, this, &TDemoPage::DeleteDemoClick);
    ConnectGuarded(FUi->DemoAdvanced, &QAction::triggered, this,
                   &TDemoPage::btnSystemIntegration_AssocDemFilesClick);
    ConnectGuarded(FUi->llDemoManager_ExitView, &TLinkLabel::clicked, this,
                   &TDemoPage::llDemoManager_ExitViewClick);
}

TDemoPage::~TDemoPage() = default;

QTreeWidget* TDemoPage::List() const
{
    return FUi->lwDemos_List;
}

QString TDemoPage::DemosFolder() const
{
    return FContext.Settings().GetPath(TMapPaths::mpDemos);
}

TFileDialogOptions TDemoPage::DemoFileOptions(const IPageContext& context, TDialogType title)
{
    TFileDialogOptions options;
    options.Title = context.GetLangText(title);
    options.Filter = context.GetLangText(TDialogType::Common_Filter_DemFiles);
    options.DefaultExt = context.Settings().DemoExt;
    if (options.DefaultExt.startsWith(QLatin1Char('.')))
        options.DefaultExt.remove(0, 1);
    return options;
}

void TDemoPage::LanguageChanged()
{
    FUi->lwDemos_List->setHeaderLabels({FContext.GetLangText(TDialogType::Col_FileName),
                                        FContext.GetLangText(TDialogType::Col_Size)});
}

void TDemoPage::ShowDemoPage()
{
    FUi->lwDemos_List->clear();
    FillDemoList();
    LanguageChanged();
}

void TDemoPage::FillDemoList()
{
    FillListFromFolder(FUi->lwDemos_List, FContext.SystemImageList(), DemosFolder(),
                       QLatin1Char('*') + FContext.Settings().DemoExt);
}

void TDemoPage::SetViewingDemo(bool viewing)
{
    FUi->pnDemoManager_Views->setCurrentWidget(viewing ? FUi->pnDemoManager_ViewingDemo
                                                       : FUi->pnDemoManager_DefaultView);
}

bool TDemoPage::ViewingDemo() const
{
    return FUi->pnDemoManager_Views->currentWidget() == FUi->pnDemoManager_ViewingDemo;
}

void TDemoPage::ViewDemoClick()
{
    const QList<QTreeWidgetItem*> rows = SelectedRows(FUi->lwDemos_List);
    if (rows.isEmpty())
        return;
    FContext.PlayDemo(JoinPath(DemosFolder(), rows.first()->text(0)));
}

void TDemoPage::ExportDemoClick()
{
    QStringList files;
    IPageContext::GetSelectedFiles(&files, FUi->lwDemos_List, ResolveGamePath(DemosFolder()));
    if (files.isEmpty())
        return;
    if (files.size() == 1) {
        TFileDialogOptions options = DemoFileOptions(FContext, TDialogType::DemoManager_ExportDemo);
        options.FileName = files.first();
        options.InitialDir = ResolveGamePath(DemosFolder());
        const QString target = FContext.Dialogs().SaveFile(window(), options);
        if (!target.isEmpty())
            ShellFileOperationStr(window(), FO_COPY, files.first(), target, FOF_ALLOWUNDO);
        return;
    }
    QString folder = FContext.Folders().TransferDir();
    if (!BrowseForFolder(CSIDL_DRIVES, FContext.GetLangText(TDialogType::Common_Dialog_SelectDir),
                         folder) ||
        !DirExists(folder))
        return;
    const QStringList targets{folder};
    ShellFileOperation(window(), FO_COPY, files, &targets, FOF_ALLOWUNDO);
}

void TDemoPage::ImportDemoClick()
{
    const QString demos = ResolveGamePath(DemosFolder());
    TFileDialogOptions options = DemoFileOptions(FContext, TDialogType::Common_FileToImport);
    const QList<QTreeWidgetItem*> rows = SelectedRows(FUi->lwDemos_List);
    if (!rows.isEmpty())
        options.FileName = JoinPath(demos, rows.first()->text(0));
    options.InitialDir = FContext.Folders().TransferDir();
    const QStringList chosen = FContext.Dialogs().OpenFiles(window(), options);
    if (chosen.isEmpty())
        return;
    const QString source = chosen.first();
    const QString target = ResolveGamePath(JoinPath(demos, QFileInfo(source).fileName()));
    // A demo chosen in the Demos folder is there already.
    TFileId sourceId, targetId;
    if (GetFileId(source, sourceId) && GetFileId(target, targetId) && sourceId == targetId)
        return;
    ShellFileOperationStr(window(), FO_COPY, source, target, FOF_ALLOWUNDO);
}

void TDemoPage::DemoExportArchiveClick()
{
    FContext.ExportToArchive(FUi->lwDemos_List, DemosFolder());
}

void TDemoPage::DemoImportArchiveClick()
{
    FContext.ImportFromArchive();
}

void TDemoPage::DeleteDemoClick()
{
    const QList<QTreeWidgetItem*> rows = SelectedRows(FUi->lwDemos_List);
    if (rows.isEmpty())
        return;
    if (FContext.Dialogs().MessageBox(
            window(), FContext.GetLangText(TDialogType::Common_Confirmation),
            FContext.GetLangText(TDialogType::DemoManager_DeleteDemo), TMsgDlgType::mtConfirmation,
            mbYes | mbNo) != TModalResult::mrYes)
        return;
    QStringList files;
    IPageContext::GetSelectedFiles(&files, FUi->lwDemos_List, ResolveGamePath(DemosFolder()));
    // The question above was the shell's own; asking it twice would only confuse.
    ShellFileOperation(window(), FO_DELETE, files, nullptr, FOF_ALLOWUNDO | FOF_NOCONFIRMATION);
    // A demo the trash refused keeps its row.
    DropRowsOfGoneFiles(rows, DemosFolder());
}

void TDemoPage::btnSystemIntegration_AssocDemFilesClick()
{
    FContext.AssociateDemoFiles(window());
}

void TDemoPage::llDemoManager_ExitViewClick()
{
    FContext.ExitDemoView();
}

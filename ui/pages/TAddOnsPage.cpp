#include "TAddOnsPage.h"
#include "ui_TAddOnsPage.h"

#include "FolderList.h"
#include "GamePath.h"
#include "Guard.h"
#include "IDialogs.h"
#include "IPageContext.h"
#include "KOVAIcons.h"
#include "TAddonDeletionProposal.h"
#include "TKOVASettings.h"
#include "TUT2003Statistics.h"
#include "TemplateFormat.h"
#include "uKOVA_Misc.h"

#include <QDir>
#include <QFileInfo>

#include <array>

namespace {

constexpr qint64 KMegabyte = 1048576;

// Whether Path lies in Folder itself, however either is spelt or linked.
bool LiesIn(const QString& path, const QString& folder)
{
    const QString parent = QFileInfo(ResolveGamePath(path)).canonicalPath();
    return !parent.isEmpty() && parent == QFileInfo(ResolveGamePath(folder)).canonicalFilePath();
}

} // namespace

TAddOnsPage::TAddOnsPage(IPageContext& context, QWidget* parent)
    : TPageBase(context, parent)
    , FUi(std::make_unique<Ui::TAddOnsPage>())
{
    FUi->setupUi(this);
    FUi->btnAddOns_Install->setIcon(KOVAIcon(kiAdd));
    FUi->btnAddOns_Remove->setIcon(KOVAIcon(kiDelete));
    FUi->AddOns_IntoArchive->setIcon(KOVAIcon(kiSave));
    FUi->AddOns_FromArchive->setIcon(KOVAIcon(kiExtract));
    FUi->ServerPackagesButton->setIcon(KOVAIcon(kiIniEditor));
    // The two buttons that have a control's name are plain tool buttons; the others show and
    // run an action, which the language file dresses.
    FUi->btnAddOns_IntoArchive->setDefaultAction(FUi->AddOns_IntoArchive);
    FUi->btnAddOns_FromArchive->setDefaultAction(FUi->AddOns_FromArchive);
    FUi->btnAddOns_ServerPackages->setDefaultAction(FUi->ServerPackagesButton);

    FUi->lwAddons_List->SetColumns({{350, TListSort::lsText}, {100, TListSort::lsNumber}});
    IPageContext::AddDragList(FUi->lwAddons_List, TMapPaths::mpSystem);

    ConnectGuarded(FUi->btnAddOns_Install, &QToolButton::clicked, this,
                   &TAddOnsPage::btnAddOns_InstallClick);
    ConnectGuarded(FUi->btnAddOns_Remove, &QToolButton::clicked, this,
                   &TAddOnsPage::btnAddOns_RemoveClick);
    ConnectGuarded(FUi->AddOns_IntoArchive, &QAction::triggered, this,
                   &TAddOnsPage::AddOns_IntoArchiveClick);
    ConnectGuarded(FUi->AddOns_FromArchive, &QAction::triggered, this,
                   &TAddOnsPage::AddOns_FromArchiveClick);
    ConnectGuarded(FUi->ServerPackagesButton, &QAction::triggered, this,
                   &TAddOnsPage::ServerPackagesButtonClick);
}

TAddOnsPage::~TAddOnsPage() = default;

QTreeWidget* TAddOnsPage::List() const
{
    return FUi->lwAddons_List;
}

QString TAddOnsPage::SystemFolder() const
{
    return FContext.Settings().GetPath(TMapPaths::mpSystem);
}

void TAddOnsPage::LanguageChanged()
{
    FUi->lwAddons_List->setHeaderLabels({FContext.GetLangText(TDialogType::Col_FileName),
                                         FContext.GetLangText(TDialogType::Col_Size)});
}

void TAddOnsPage::ShowInstalledCount()
{
    std::array<TFileStatistics, 5> stats;
    TUT2003Statistics(FContext.Settings()).Collect(TUT2003Statistics::KAddOns, stats);
    const TFileStatistics& addOns = stats[1];
    FUi->lbAddOns_Installed->setText(
        FormatTemplate(FContext.GetLangText(TDialogType::Statistics_lbModsInstalled),
                       {addOns.Count, addOns.Size / KMegabyte}));
}

void TAddOnsPage::ShowAddOnsPage()
{
    ShowInstalledCount();
    FUi->lwAddons_List->clear();
    FillAddOnList();
    LanguageChanged();
}

void TAddOnsPage::FillAddOnList()
{
    FillListFromFolder(FUi->lwAddons_List, FContext.SystemImageList(), SystemFolder(),
                       QStringLiteral("*.u"));
}

void TAddOnsPage::btnAddOns_InstallClick()
{
    TFileDialogOptions options;
    options.Title = FContext.GetLangText(TDialogType::Common_Dialog_OpenAddon);
    options.InitialDir = ResolveGamePath(SystemFolder());
    options.Filter = FormatTemplate(QStringLiteral("%s|*.zip;*.u"),
                                    {FContext.GetLangText(TDialogType::Common_AllSupportedFiles)});
    const QStringList chosen = FContext.Dialogs().OpenFiles(window(), options);
    if (chosen.isEmpty())
        return;
    const QString file = chosen.first();
    // An add-on already in place would be copied onto itself.
    if (LiesIn(file, SystemFolder()))
        return;
    const QString extension = QFileInfo(file).suffix();
    if (extension.compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0) {
        FContext.InstallFromArchive(file, false, true);
        return;
    }
    if (extension.compare(QLatin1String("u"), Qt::CaseInsensitive) != 0)
        return;

    const QString folder = QFileInfo(file).absolutePath();
    TAddonDeletionProposal& selection = FContext.AddonDeletionProposal();
    if (selection.ExecuteForAddon(folder, QFileInfo(file).completeBaseName(), false) !=
        QDialog::Accepted)
        return;
    QStringList sources, targets;
    const QString system = ResolveGamePath(SystemFolder());
    for (const QString& name : selection.CheckedFiles()) {
        sources << JoinPath(folder, name);
        targets << JoinPath(system, name);
    }
    if (!sources.isEmpty())
        ShellFileOperation(window(), FO_COPY, sources, &targets, FOF_ALLOWUNDO);
}

void TAddOnsPage::btnAddOns_RemoveClick()
{
    const QList<QTreeWidgetItem*> rows = SelectedRows(FUi->lwAddons_List);
    if (rows.isEmpty())
        return;
    QStringList names;
    for (const QTreeWidgetItem* row : rows)
        names << QFileInfo(row->text(0)).completeBaseName();
    TAddonDeletionProposal& selection = FContext.AddonDeletionProposal();
    if (selection.Execute(SystemFolder(), names, true) != QDialog::Accepted)
        return;
    const QStringList ticked = selection.CheckedFiles();
    if (ticked.isEmpty())
        return;
    QStringList files;
    const QString system = ResolveGamePath(SystemFolder());
    for (const QString& name : ticked)
        files << JoinPath(system, name);
    // Continue in the file selection confirmed the delete already.
    ShellFileOperation(window(), FO_DELETE, files, nullptr, FOF_ALLOWUNDO | FOF_NOCONFIRMATION);
    // Only rows of files that went away go; the count follows them.
    QList<QTreeWidgetItem*> all;
    for (int i = 0; i < FUi->lwAddons_List->topLevelItemCount(); ++i)
        all << FUi->lwAddons_List->topLevelItem(i);
    DropRowsOfGoneFiles(all, SystemFolder());
    ShowInstalledCount();
}

void TAddOnsPage::AddOns_IntoArchiveClick()
{
    FContext.ExportToArchive(FUi->lwAddons_List, SystemFolder());
}

void TAddOnsPage::AddOns_FromArchiveClick()
{
    FContext.ImportFromArchive();
}

void TAddOnsPage::ServerPackagesButtonClick()
{
    FContext.EditServerPackages();
}

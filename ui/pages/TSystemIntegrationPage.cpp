#include "TSystemIntegrationPage.h"
#include "ui_TSystemIntegrationPage.h"

#include "Guard.h"
#include "IDialogs.h"
#include "IPageContext.h"
#include "SystemImages.h"
#include "TKOVASettings.h"
#include "TSystemManager.h"

#include <QStyle>

namespace {

constexpr int KIconSize = 32;

} // namespace

TSystemIntegrationPage::TSystemIntegrationPage(IPageContext& context, QWidget* parent)
    : TPageBase(context, parent)
    , FUi(std::make_unique<Ui::TSystemIntegrationPage>())
{
    FUi->setupUi(this);
    const int zipIcon = FContext.SystemImageList().GetFileIconIndex(QStringLiteral("x.zip"));
    FUi->SysInteg_ZipIco->setPixmap(
        FContext.SystemImageList().Icon(zipIcon).pixmap(KIconSize, KIconSize));
    FUi->SysInteg_FolderIco->setPixmap(
        style()->standardIcon(QStyle::SP_DirIcon).pixmap(KIconSize, KIconSize));

    // Clicks only: showing the page sets the boxes and the buttons without writing anything.
    ConnectGuarded(FUi->cbSystemIntegration_EnableShellExtension, &QCheckBox::clicked, this,
                   &TSystemIntegrationPage::cbSystemIntegration_EnableShellExtensionClick);
    ConnectGuarded(FUi->cbSystemIntegration_EnableShellExtensionFolder, &QCheckBox::clicked, this,
                   &TSystemIntegrationPage::cbSystemIntegration_EnableShellExtensionFolderClick);
    for (QRadioButton* button : FolderInstallButtons())
        ConnectGuarded(button, &QRadioButton::clicked, this,
                       &TSystemIntegrationPage::rgSysInteg_FolderInstallOptionsClick);
    ConnectGuarded(FUi->btnSystemIntegration_AssocDemFiles, &QPushButton::clicked, this,
                   &TSystemIntegrationPage::btnSystemIntegration_AssocDemFilesClick);
}

TSystemIntegrationPage::~TSystemIntegrationPage() = default;

QList<QRadioButton*> TSystemIntegrationPage::FolderInstallButtons() const
{
    // In the order of the modes' ordinals.
    return {FUi->rbSysInteg_FolderInstallYes, FUi->rbSysInteg_FolderInstallNo,
            FUi->rbSysInteg_FolderInstallAsk};
}

void TSystemIntegrationPage::LanguageChanged()
{
    const TDialogType captions[] = {TDialogType::Common_Yes, TDialogType::Common_No,
                                    TDialogType::Common_AskMe};
    const QList<QRadioButton*> buttons = FolderInstallButtons();
    for (qsizetype i = 0; i < buttons.size(); ++i)
        buttons[i]->setText(FContext.GetLangText(captions[i]));
}

void TSystemIntegrationPage::ShowSystemIntegrationPage()
{
    ShowVerbs();
    LanguageChanged();
    ShowFolderInstallMode();
}

void TSystemIntegrationPage::ShowVerbs()
{
    const TSystemManager* manager = FContext.SystemManager();
    FUi->cbSystemIntegration_EnableShellExtension->setChecked(
        manager && manager->IsInstalledKind(TVerbKind::vkZip));
    FUi->cbSystemIntegration_EnableShellExtensionFolder->setChecked(
        manager && manager->IsInstalledKind(TVerbKind::vkFolder));
    FUi->rgSysInteg_FolderInstallOptions->setEnabled(
        FUi->cbSystemIntegration_EnableShellExtensionFolder->isChecked());
}

void TSystemIntegrationPage::ShowFolderInstallMode()
{
    const int mode = static_cast<int>(FContext.Settings().FolderInstallMode);
    const QList<QRadioButton*> buttons = FolderInstallButtons();
    if (mode >= 0 && mode < buttons.size())
        buttons[mode]->setChecked(true);
}

void TSystemIntegrationPage::SetVerb(TVerbKind kind, bool on)
{
    TSystemManager* manager = FContext.SystemManager();
    if (!manager)
        return;
    const TResult<void> written =
        manager->SetInstalledKind(kind, on ? TVerbMode::vmRegister : TVerbMode::vmRemove);
    // The boxes show what the desktop files hold, whatever became of the write.
    ShowVerbs();
    if (!written)
        FContext.ShowError(this, written.Error().Message);
}

void TSystemIntegrationPage::cbSystemIntegration_EnableShellExtensionClick()
{
    SetVerb(TVerbKind::vkZip, FUi->cbSystemIntegration_EnableShellExtension->isChecked());
}

void TSystemIntegrationPage::cbSystemIntegration_EnableShellExtensionFolderClick()
{
    SetVerb(TVerbKind::vkFolder, FUi->cbSystemIntegration_EnableShellExtensionFolder->isChecked());
}

void TSystemIntegrationPage::rgSysInteg_FolderInstallOptionsClick()
{
    const QList<QRadioButton*> buttons = FolderInstallButtons();
    int chosen = -1;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        if (buttons[i]->isChecked())
            chosen = int(i);
    }
    TKOVASettings& settings = FContext.Settings();
    if (chosen < 0 || chosen == static_cast<int>(settings.FolderInstallMode))
        return;
    const TFolderInstallMode old = settings.FolderInstallMode;
    settings.FolderInstallMode = static_cast<TFolderInstallMode>(chosen);
    if (!Succeeded(this, settings.SaveToFile())) {
        // Unsaved, the choice would be lost at the next start while the page showed it.
        settings.FolderInstallMode = old;
        ShowFolderInstallMode();
    }
}

void TSystemIntegrationPage::btnSystemIntegration_AssocDemFilesClick()
{
    FContext.AssociateDemoFiles(this);
}

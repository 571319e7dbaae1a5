#include "TConfigurationPage.h"
#include "ui_TConfigurationPage.h"
#include "ui_TfrmMain.h"

#include "Guard.h"
#include "IDialogs.h"
#include "SystemImages.h"
#include "TKOVALanguage.h"
#include "TKOVASettings.h"
#include "TUT2003Profile.h"
#include "TemplateFormat.h"
#include "TfrmMain.h"

#include <QSignalBlocker>

TConfigurationPage::TConfigurationPage(TfrmMain& main, QWidget* parent)
    : QWidget(parent)
    , FMain(main)
    , FUi(std::make_unique<Ui::TConfigurationPage>())
{
    FUi->setupUi(this);
    FUi->btnConfig_Advanced->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    ConnectGuarded(FUi->btnConfigure_BrowsePath, &QPushButton::clicked, this,
                   &TConfigurationPage::btnConfigure_BrowsePathClick);
    ConnectGuarded(FUi->btnConfigure_SearchPath, &QPushButton::clicked, this,
                   &TConfigurationPage::btnConfigure_SearchPathClick);
    ConnectGuarded(FUi->btnConfigure_ApplyPath, &QPushButton::clicked, this,
                   &TConfigurationPage::btnConfigure_ApplyPathClick);
    // Only the user's choice runs the change handler; refilling the box does not.
    ConnectGuarded(FUi->cbConfigure_SelectProfile, &QComboBox::activated, this,
                   &TConfigurationPage::cbConfigure_SelectProfileChange);
    ConnectGuarded(FUi->btnConfigure_ApplyProfile, &QPushButton::clicked, this,
                   &TConfigurationPage::btnConfigure_ApplyProfileClick);
    ConnectGuarded(FUi->btnConfigure_EditProfiles, &QPushButton::clicked, this,
                   &TConfigurationPage::btnConfigure_EditProfilesClick);
    ConnectGuarded(FUi->btnConfigure_ApplyLang, &QPushButton::clicked, this,
                   &TConfigurationPage::btnConfigure_ApplyLangClick);
    ConnectGuarded(FUi->btnConfig_Advanced, &QPushButton::clicked, this,
                   &TConfigurationPage::btnConfig_AdvancedClick);
    ConnectGuarded(FUi->btnConfig_Save, &QPushButton::clicked, this,
                   &TConfigurationPage::btnConfig_SaveClick);
    ConnectGuarded(FUi->btnConfig_Main, &QPushButton::clicked, this,
                   &TConfigurationPage::btnConfig_MainClick);
    ConnectGuarded(FUi->btnConfig_UpdateCache, &QPushButton::clicked, this,
                   &TConfigurationPage::btnConfig_UpdateCacheClick);
}

TConfigurationPage::~TConfigurationPage() = default;

void TConfigurationPage::ShowConfigurationPage()
{
    TKOVASettings& settings = *FMain.Settings();
    FUi->btnConfig_Advanced->setVisible(FMain.CheckGamePath());

    if (FUi->edConfigure_UT2003Path->text().compare(settings.UTDir, Qt::CaseInsensitive) != 0)
        FUi->edConfigure_UT2003Path->setText(settings.UTDir);

    TUT2003Profile* profiles = FMain.Profiles();
    const std::unique_ptr<TUTProfile> active = profiles ? profiles->GetActive() : nullptr;
    {
        const QSignalBlocker blocker(FUi->cbConfigure_SelectProfile);
        FUi->cbConfigure_SelectProfile->clear();
        if (profiles) {
            QStringList names;
            profiles->ListNames(&names);
            FUi->cbConfigure_SelectProfile->addItems(names);
        }
        const int index = profiles && active ? profiles->IndexOfID(active->ID) : -1;
        FUi->cbConfigure_SelectProfile->setCurrentIndex(index);
    }
    FUi->lbConfigure_ActiveProfile->setText(
        FormatTemplate(FMain.GetLangText(TDialogType::Configuration_lbActiveProfile),
                       {active ? active->Name : QString()}));

    TKOVALanguage* languages = FMain.LanguageManager();
    const QSignalBlocker blocker(FUi->cbConfigure_SelectLang);
    FUi->cbConfigure_SelectLang->clear();
    FUi->cbConfigure_SelectLang->addItems(languages->GetNames());
    if (languages->ItemIndex() >= 0)
        FUi->cbConfigure_SelectLang->setCurrentIndex(languages->ItemIndex());
}

void TConfigurationPage::ApplyGameFolder(const QString& folder)
{
    TKOVASettings& settings = *FMain.Settings();
    const QString oldFolder = settings.UTDir;
    settings.SetUTDir(folder);
    try {
        settings.SaveToFile();
    } catch (...) {
        // Folders and rules follow the folder only through a reload of the saved file: an
        // unsaved folder would leave them at the old one while the game-folder test passes.
        settings.UTDir = oldFolder;
        throw;
    }
    if (!FMain.ReloadSettings()) {
        // The loaded settings, the folders and the managers are still those of the old folder:
        // the window stays on it, and so does the file when it can be written.
        settings.UTDir = oldFolder;
        settings.SaveToFile();
        return;
    }
    FMain.RecreateManagers();
    // The map cache lists the folder it was built for: a new folder needs a new cache.
    if (FMain.Settings()->EnableMapManagerCache &&
        FMain.Settings()->UTDir.compare(oldFolder, Qt::CaseSensitive) != 0)
        FMain.UpdateMapCache();
    ShowConfigurationPage();
}

void TConfigurationPage::btnConfigure_BrowsePathClick()
{
    QString folder = FMain.Settings()->UTDir;
    if (!BrowseForFolder(CSIDL_DRIVES, FMain.GetLangText(TDialogType::Configuration_BrowseForDir),
                         folder))
        return;
    if (FMain.Settings()->IsValidUTDir(folder)) {
        ApplyGameFolder(folder);
    } else {
        Dialogs().MessageBox(&FMain, FMain.GetLangText(TDialogType::Common_Warning),
                             FMain.GetLangText(TDialogType::Configuration_InvalidUTDir),
                             TMsgDlgType::mtWarning, mbOK);
    }
}

void TConfigurationPage::btnConfigure_SearchPathClick()
{
    QString folder;
    if (!FMain.Settings()->GetUTDirFromRegistry(folder))
        return;
    if (FMain.Settings()->IsValidUTDir(folder))
        ApplyGameFolder(folder);
}

void TConfigurationPage::btnConfigure_ApplyPathClick()
{
    const QString folder = FUi->edConfigure_UT2003Path->text();
    if (FMain.Settings()->IsValidUTDir(folder)) {
        ApplyGameFolder(folder);
        return;
    }
    Dialogs().MessageBox(&FMain, FMain.GetLangText(TDialogType::Common_Warning),
                         FMain.GetLangText(TDialogType::Configuration_InvalidUTDir),
                         TMsgDlgType::mtWarning, mbOK);
    FUi->edConfigure_UT2003Path->setText(FMain.Settings()->UTDir);
}

void TConfigurationPage::cbConfigure_SelectProfileChange()
{
    const int index = FUi->cbConfigure_SelectProfile->currentIndex();
    TUT2003Profile* profiles = FMain.Profiles();
    const TUTProfile* selected = profiles && index >= 0 ? profiles->GetItem(index) : nullptr;
    if (!selected) {
        FUi->btnConfigure_ApplyProfile->setEnabled(false);
        return;
    }
    const std::unique_ptr<TUTProfile> active = profiles->GetActive();
    FUi->btnConfigure_ApplyProfile->setEnabled(!active || selected->ID != active->ID);
}

void TConfigurationPage::btnConfigure_ApplyProfileClick()
{
    const int index = FUi->cbConfigure_SelectProfile->currentIndex();
    TUT2003Profile* profiles = FMain.Profiles();
    const TUTProfile* selected = profiles && index >= 0 ? profiles->GetItem(index) : nullptr;
    if (!selected)
        return;
    // A failed backup raises before "User.ini" is touched; the error box says why.
    profiles->Activate(*selected);
    Dialogs().MessageBox(&FMain, FMain.GetLangText(TDialogType::Common_Information),
                         FMain.GetLangText(TDialogType::Profiles_ProfileActivated),
                         TMsgDlgType::mtInformation, mbOK);
    // The page shows the profile now active; the button keeps its state.
    const bool enabled = FUi->btnConfigure_ApplyProfile->isEnabled();
    ShowConfigurationPage();
    FUi->btnConfigure_ApplyProfile->setEnabled(enabled);
}

void TConfigurationPage::btnConfigure_EditProfilesClick()
{
    FMain.ShowPage(FMain.Form()->tbProfiles);
}

void TConfigurationPage::btnConfigure_ApplyLangClick()
{
    const int index = FUi->cbConfigure_SelectLang->currentIndex();
    TKOVALanguage* languages = FMain.LanguageManager();
    if (index < 0 || index >= languages->GetCount())
        return;
    languages->SetItemIndex(index);
    languages->GetLanguage(index)->Apply();
    FMain.ApplyLanguageToDialogs();
    FMain.Settings()->Language = languages->GetLanguageCode(index);
    FMain.Settings()->SaveToFile();
    FMain.BuildWindowMenu(FMain.Form()->MenuWindow);
    ShowConfigurationPage();
}

void TConfigurationPage::btnConfig_AdvancedClick()
{
    if (!FMain.CheckGamePath())
        return;
    ShowAdvancedConfiguration();
    FUi->pnConfig_Main->hide();
    FUi->pnConfig_Advanced->show();
}

void TConfigurationPage::ShowAdvancedConfiguration()
{
    if (!FMain.CheckGamePath())
        return;
    const TKOVASettings& settings = *FMain.Settings();
    FUi->cbConfig_IsWindowResizeable->setChecked(settings.IsWindowSizeable);
    FUi->cbConfig_InstallUnknownContents->setChecked(settings.GetInstallUnknownContent());
    FUi->cbConfig_EnableCache->setChecked(settings.EnableMapManagerCache);
    FUi->btnConfig_UpdateCache->setEnabled(settings.EnableMapManagerCache);
}

void TConfigurationPage::RefreshAdvancedIfVisible()
{
    if (FUi->pnConfig_Advanced->isVisible())
        ShowAdvancedConfiguration();
}

void TConfigurationPage::btnConfig_SaveClick()
{
    TKOVASettings& settings = *FMain.Settings();
    const bool cacheWasOn = settings.EnableMapManagerCache;
    settings.IsWindowSizeable = FUi->cbConfig_IsWindowResizeable->isChecked();
    settings.EnableMapManagerCache = FUi->cbConfig_EnableCache->isChecked();
    settings.SetInstallUnknownContent(FUi->cbConfig_InstallUnknownContents->isChecked() ? 1 : 0);
    settings.SaveToFile();
    FUi->btnConfig_UpdateCache->setEnabled(settings.EnableMapManagerCache);
    if (settings.EnableMapManagerCache && !cacheWasOn &&
        Dialogs().MessageBox(&FMain, FMain.GetLangText(TDialogType::Common_Confirmation),
                             FMain.GetLangText(TDialogType::Common_Update_Cache),
                             TMsgDlgType::mtConfirmation, mbYes | mbNo) == TModalResult::mrYes)
        FMain.UpdateMapCache();
}

void TConfigurationPage::btnConfig_MainClick()
{
    FMain.ReloadSettings();
    FUi->pnConfig_Advanced->hide();
    FUi->pnConfig_Main->show();
}

void TConfigurationPage::btnConfig_UpdateCacheClick()
{
    if (FMain.Settings()->EnableMapManagerCache)
        FMain.UpdateMapCache();
}

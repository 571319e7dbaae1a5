#include "TConfigurationPage.h"
#include "ui_TConfigurationPage.h"

#include "Guard.h"
#include "IDialogs.h"
#include "IPageContext.h"
#include "ProgramFolders.h"
#include "SystemImages.h"
#include "TKOVALanguage.h"
#include "TKOVASettings.h"
#include "TUT2003Profile.h"
#include "TemplateFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QTimer>

namespace {

// The height the page's controls need.
constexpr int KPageHeight = 332;

} // namespace

TConfigurationPage::TConfigurationPage(IPageContext& context, QWidget* parent)
    : TPageBase(context, parent)
    , FUi(std::make_unique<Ui::TConfigurationPage>())
{
    FUi->setupUi(this);
    // The page fits the window at each showing of the window, once the language has set the
    // captions (and with them the rows of tabs).
    window()->installEventFilter(this);
    FUi->btnConfig_Advanced->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    ConnectGuarded(FUi->btnConfigure_BrowsePath, &QPushButton::clicked, this,
                   &TConfigurationPage::btnConfigure_BrowsePathClick);
    ConnectGuarded(FUi->btnConfigure_SearchPath, &QPushButton::clicked, this,
                   &TConfigurationPage::btnConfigure_SearchPathClick);
    ConnectGuarded(FUi->btnConfigure_ApplyPath, &QPushButton::clicked, this,
                   &TConfigurationPage::btnConfigure_ApplyPathClick);
    // Enter in the folder box is the Apply beside it.
    ConnectGuarded(FUi->edConfigure_UT2003Path, &QLineEdit::returnPressed, this,
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

bool TConfigurationPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window() && event->type() == QEvent::Show)
        QTimer::singleShot(0, this, &TConfigurationPage::FitConfigurationPage);
    return TPageBase::eventFilter(watched, event);
}

void TConfigurationPage::FitConfigurationPage()
{
    QWidget* sheet = parentWidget();
    QWidget* frame = window();
    if (!sheet || !sheet->isVisible() || frame == this)
        return;
    const int missing = KPageHeight - sheet->height();
    if (missing <= 0)
        return;
    if (!FContext.Settings().IsWindowSizeable)
        frame->setFixedHeight(frame->height() + missing);
    else
        frame->resize(frame->width(), frame->height() + missing);
    QCoreApplication::processEvents();
}

void TConfigurationPage::SettingsChanged()
{
    if (FUi->pnConfig_Advanced->isVisible())
        ShowAdvancedConfiguration();
}

void TConfigurationPage::ShowConfigurationPage()
{
    TKOVASettings& settings = FContext.Settings();
    FUi->btnConfig_Advanced->setVisible(FContext.CheckGamePath());

    if (FUi->edConfigure_UT2003Path->text().compare(settings.UTDir, Qt::CaseInsensitive) != 0)
        FUi->edConfigure_UT2003Path->setText(settings.UTDir);

    TUT2003Profile* profiles = FContext.Profiles();
    const std::unique_ptr<TUTProfile> active = profiles ? profiles->GetActive() : nullptr;
    {
        const QSignalBlocker blocker(FUi->cbConfigure_SelectProfile);
        FUi->cbConfigure_SelectProfile->clear();
        if (profiles)
            FUi->cbConfigure_SelectProfile->addItems(profiles->ListNames());
        const int index = profiles && active ? profiles->IndexOfID(active->ID) : -1;
        FUi->cbConfigure_SelectProfile->setCurrentIndex(index);
    }
    // The selection is the active profile (or none) now: there is nothing to activate.
    FUi->btnConfigure_ApplyProfile->setEnabled(false);
    FUi->lbConfigure_ActiveProfile->setText(
        FormatTemplate(FContext.GetLangText(TDialogType::Configuration_lbActiveProfile),
                       {active ? active->Name : QString()}));

    TKOVALanguage& languages = FContext.LanguageManager();
    const QSignalBlocker blocker(FUi->cbConfigure_SelectLang);
    FUi->cbConfigure_SelectLang->clear();
    FUi->cbConfigure_SelectLang->addItems(languages.GetNames());
    if (languages.ItemIndex() >= 0)
        FUi->cbConfigure_SelectLang->setCurrentIndex(languages.ItemIndex());
}

void TConfigurationPage::ApplyGameFolder(const QString& folder)
{
    TKOVASettings& settings = FContext.Settings();
    const QString oldFolder = settings.UTDir;
    settings.SetUTDir(folder);
    if (!Succeeded(this, settings.SaveToFile())) {
        // Folders and rules follow the folder only through a reload of the saved file: an
        // unsaved folder would leave them at the old one while the game-folder test passes.
        settings.UTDir = oldFolder;
        return;
    }
    if (!FContext.ReloadSettings()) {
        // The loaded settings, the folders and the managers are still those of the old folder:
        // the window stays on it, and so does the file when it can be written.
        settings.UTDir = oldFolder;
        Succeeded(this, settings.SaveToFile());
        return;
    }
    FContext.RecreateManagers();
    // The map cache lists the folder it was built for: a new folder needs a new cache.
    if (settings.EnableMapManagerCache && settings.UTDir.compare(oldFolder, Qt::CaseSensitive) != 0)
        FContext.UpdateMapCache();
    ShowConfigurationPage();
}

QString TConfigurationPage::MissingGameFiles(const QString& folder) const
{
    QStringList names;
    for (const QString& name : FContext.Settings().MissingGameFiles(folder))
        names << QLatin1Char('"') + name + QLatin1Char('"');
    return names.join(QStringLiteral(", "));
}

void TConfigurationPage::WarnInvalidFolder(const QString& folder)
{
    // A language file of an older wording without "%s" still shows its text.
    FContext.Dialogs().MessageBox(
        this, FContext.GetLangText(TDialogType::Common_Warning),
        FormatTemplate(FContext.GetLangText(TDialogType::Configuration_InvalidUTDir),
                       {MissingGameFiles(folder)}),
        TMsgDlgType::mtWarning, mbOK);
}

void TConfigurationPage::btnConfigure_BrowsePathClick()
{
    // Without a game folder the search starts where the user's own files are.
    QString folder = FContext.Settings().UTDir;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = FContext.Folders().TransferDir();
    if (!BrowseForFolder(CSIDL_DRIVES,
                         FContext.GetLangText(TDialogType::Configuration_BrowseForDir), folder))
        return;
    if (FContext.Settings().IsValidUTDir(folder))
        ApplyGameFolder(folder);
    else
        WarnInvalidFolder(folder);
}

void TConfigurationPage::btnConfigure_SearchPathClick()
{
    TKOVASettings& settings = FContext.Settings();
    const TResult<QString> folder = settings.GetUTDirFromRegistry();
    const auto tell = [this](TDialogType caption, TMsgDlgType type, const QString& text) {
        FContext.Dialogs().MessageBox(this, FContext.GetLangText(caption), text, type, mbOK);
    };
    if (!folder) {
        tell(TDialogType::Common_Information, TMsgDlgType::mtInformation,
             tr("Auto-Search found no game folder. %1\nChoose the folder with Browse instead.")
                 .arg(folder.Error().Message));
        return;
    }
    const QString shown = QDir::toNativeSeparators(*folder);
    if (!settings.IsValidUTDir(*folder)) {
        tell(TDialogType::Common_Warning, TMsgDlgType::mtWarning,
             tr("Auto-Search found the folder %1 in the registry, but it is not a valid game "
                "folder. Not found: %2.")
                 .arg(shown, MissingGameFiles(*folder)));
        return;
    }
    const auto inUse = [&] {
        return QFileInfo(*folder).canonicalFilePath() ==
               QFileInfo(settings.UTDir).canonicalFilePath();
    };
    if (inUse()) {
        ShowConfigurationPage();
        tell(TDialogType::Common_Information, TMsgDlgType::mtInformation,
             tr("Auto-Search found the game folder %1, which is already in use.").arg(shown));
        return;
    }
    ApplyGameFolder(*folder);
    // A folder that could not be taken was reported on the way.
    if (inUse())
        tell(TDialogType::Common_Information, TMsgDlgType::mtInformation,
             tr("Auto-Search found the game folder %1. It is in use now.").arg(shown));
}

void TConfigurationPage::btnConfigure_ApplyPathClick()
{
    const QString folder = FUi->edConfigure_UT2003Path->text();
    if (FContext.Settings().IsValidUTDir(folder)) {
        ApplyGameFolder(folder);
        return;
    }
    WarnInvalidFolder(folder);
    FUi->edConfigure_UT2003Path->setText(FContext.Settings().UTDir);
}

void TConfigurationPage::cbConfigure_SelectProfileChange()
{
    const int index = FUi->cbConfigure_SelectProfile->currentIndex();
    TUT2003Profile* profiles = FContext.Profiles();
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
    TUT2003Profile* profiles = FContext.Profiles();
    const TUTProfile* selected = profiles && index >= 0 ? profiles->GetItem(index) : nullptr;
    if (!selected)
        return;
    // A failed backup stops before "User.ini" is touched; the error box says why.
    if (!Succeeded(this, profiles->Activate(*selected)))
        return;
    FContext.ShowInformation(this, FContext.GetLangText(TDialogType::Profiles_ProfileActivated));
    // The page shows the profile now active, which is nothing to activate again.
    ShowConfigurationPage();
}

void TConfigurationPage::btnConfigure_EditProfilesClick()
{
    FContext.ShowPage(QStringLiteral("tbProfiles"));
}

void TConfigurationPage::btnConfigure_ApplyLangClick()
{
    const int index = FUi->cbConfigure_SelectLang->currentIndex();
    const TKOVALanguage& languages = FContext.LanguageManager();
    if (index < 0 || index >= languages.GetCount())
        return;
    FContext.ApplyLanguage(index);
    FContext.Settings().Language = languages.GetLanguageCode(index);
    if (!Succeeded(this, FContext.Settings().SaveToFile()))
        return;
    ShowConfigurationPage();
}

void TConfigurationPage::btnConfig_AdvancedClick()
{
    if (!FContext.CheckGamePath())
        return;
    ShowAdvancedConfiguration();
    FUi->pnConfig_Main->hide();
    FUi->pnConfig_Advanced->show();
}

void TConfigurationPage::ShowAdvancedConfiguration()
{
    if (!FContext.CheckGamePath())
        return;
    const TKOVASettings& settings = FContext.Settings();
    FUi->cbConfig_IsWindowResizeable->setChecked(settings.IsWindowSizeable);
    FUi->cbConfig_InstallUnknownContents->setChecked(settings.GetInstallUnknownContent());
    FUi->cbConfig_EnableCache->setChecked(settings.EnableMapManagerCache);
    FUi->btnConfig_UpdateCache->setEnabled(settings.EnableMapManagerCache);
}

void TConfigurationPage::btnConfig_SaveClick()
{
    TKOVASettings& settings = FContext.Settings();
    const bool cacheWasOn = settings.EnableMapManagerCache;
    settings.IsWindowSizeable = FUi->cbConfig_IsWindowResizeable->isChecked();
    settings.EnableMapManagerCache = FUi->cbConfig_EnableCache->isChecked();
    settings.SetInstallUnknownContent(FUi->cbConfig_InstallUnknownContents->isChecked()
                                          ? TUnknownContentMode::ucmHelp
                                          : TUnknownContentMode::ucmNoInstall);
    if (!Succeeded(this, settings.SaveToFile()))
        return;
    FUi->btnConfig_UpdateCache->setEnabled(settings.EnableMapManagerCache);
    if (settings.EnableMapManagerCache && !cacheWasOn &&
        FContext.Dialogs().MessageBox(this, FContext.GetLangText(TDialogType::Common_Confirmation),
                                      FContext.GetLangText(TDialogType::Common_Update_Cache),
                                      TMsgDlgType::mtConfirmation,
                                      mbYes | mbNo) == TModalResult::mrYes)
        FContext.UpdateMapCache();
}

void TConfigurationPage::btnConfig_MainClick()
{
    FContext.ReloadSettings();
    FUi->pnConfig_Advanced->hide();
    FUi->pnConfig_Main->show();
}

void TConfigurationPage::btnConfig_UpdateCacheClick()
{
    if (FContext.Settings().EnableMapManagerCache)
        FContext.UpdateMapCache();
}

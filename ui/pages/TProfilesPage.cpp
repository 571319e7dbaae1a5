#include "TProfilesPage.h"
#include "ui_TProfilesPage.h"

#include "Guard.h"
#include "IDialogs.h"
#include "IPageContext.h"
#include "ProgramFolders.h"
#include "TEventManager.h"
#include "TLinkLabel.h"
#include "TUT2003Profile.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>

TProfilesPage::TProfilesPage(IPageContext& context, QWidget* parent)
    : TPageBase(context, parent)
    , FUi(std::make_unique<Ui::TProfilesPage>())
{
    FUi->setupUi(this);
    FUi->lbProfiles_JumpToActive->SetDisableNavigation(true);
    ConnectGuarded(FUi->lbProfiles_JumpToActive, &TLinkLabel::clicked, this,
                   &TProfilesPage::lbProfiles_JumpToActiveClick);
    // Only the user's choice runs the change handler; refilling the box does not.
    ConnectGuarded(FUi->cbProfiles_SelectProfile, &QComboBox::activated, this,
                   &TProfilesPage::cbProfiles_SelectProfileChange);
    ConnectGuarded(FUi->btnProfiles_ApplyProfileChanges, &QPushButton::clicked, this,
                   &TProfilesPage::btnProfiles_ApplyProfileChangesClick);
    ConnectGuarded(FUi->btnProfiles_ActivateProfile, &QPushButton::clicked, this,
                   &TProfilesPage::btnProfiles_ActivateProfileClick);
    ConnectGuarded(FUi->btnProfile_EditProfile, &QPushButton::clicked, this,
                   &TProfilesPage::btnProfile_EditProfileClick);
    ConnectGuarded(FUi->btnProfiles_BackupProfile, &QPushButton::clicked, this,
                   &TProfilesPage::btnProfiles_BackupProfileClick);
    ConnectGuarded(FUi->btnProfiles_DeleteProfile, &QPushButton::clicked, this,
                   &TProfilesPage::btnProfiles_DeleteProfileClick);
    ConnectGuarded(FUi->btnProfiles_NewProfile, &QPushButton::clicked, this,
                   &TProfilesPage::btnProfiles_NewProfileClick);
    ConnectGuarded(FUi->btnProfiles_NewProfileEx, &QPushButton::clicked, this,
                   &TProfilesPage::btnProfiles_NewProfileExClick);
    ConnectGuarded(FUi->btnProfiles_BackupActiveProfile, &QPushButton::clicked, this,
                   &TProfilesPage::btnProfiles_BackupActiveProfileClick);
    ConnectGuarded(FUi->btnProfiles_RestoreBackup, &QPushButton::clicked, this,
                   &TProfilesPage::btnProfiles_RestoreBackupClick);
}

TProfilesPage::~TProfilesPage() = default;

TUTProfile* TProfilesPage::Selected() const
{
    const TUT2003Profile* profiles = FContext.Profiles();
    return profiles ? profiles->GetItem(FUi->cbProfiles_SelectProfile->currentIndex()) : nullptr;
}

bool TProfilesPage::IsActive(const TUTProfile& profile, const TUTProfile& active)
{
    if (!active.Exists)
        return false;
    if (profile.FileName == active.FileName)
        return true;
    // A managed "User.ini" carries the identifier of the profile it was copied from.
    return !active.IsDefault && !active.ID.isNull() && profile.ID == active.ID;
}

bool TProfilesPage::IsActive(const TUTProfile& profile) const
{
    const TUT2003Profile* profiles = FContext.Profiles();
    return profiles && IsActive(profile, *profiles->GetActive());
}

int TProfilesPage::ActiveIndex() const
{
    const TUT2003Profile* profiles = FContext.Profiles();
    if (!profiles)
        return -1;
    const std::unique_ptr<TUTProfile> active = profiles->GetActive();
    for (int i = 0; i < profiles->GetCount(); ++i) {
        if (IsActive(*profiles->GetItem(i), *active))
            return i;
    }
    return -1;
}

void TProfilesPage::ShowProfilesPage()
{
    {
        const QSignalBlocker blocker(FUi->cbProfiles_SelectProfile);
        FUi->cbProfiles_SelectProfile->clear();
        if (const TUT2003Profile* profiles = FContext.Profiles())
            FUi->cbProfiles_SelectProfile->addItems(profiles->ListNames());
        FUi->cbProfiles_SelectProfile->setCurrentIndex(ActiveIndex());
    }
    cbProfiles_SelectProfileChange();
}

void TProfilesPage::SelectFile(const QString& fileName)
{
    const TUT2003Profile* profiles = FContext.Profiles();
    int row = -1;
    for (int i = 0; profiles && i < profiles->GetCount() && row < 0; ++i) {
        if (profiles->GetItem(i)->FileName == fileName)
            row = i;
    }
    {
        const QSignalBlocker blocker(FUi->cbProfiles_SelectProfile);
        FUi->cbProfiles_SelectProfile->setCurrentIndex(row);
    }
    cbProfiles_SelectProfileChange();
}

void TProfilesPage::RefreshThroughRegistry()
{
    if (const TEventMethod handler = FContext.EventManager().Find(parentWidget()))
        handler();
    else
        ShowProfilesPage();
}

void TProfilesPage::ShowInformation(TDialogType text)
{
    FContext.ShowInformation(this, FContext.GetLangText(text));
}

void TProfilesPage::ShowError(const QString& text)
{
    FContext.ShowError(this, text);
}

void TProfilesPage::lbProfiles_JumpToActiveClick()
{
    {
        const QSignalBlocker blocker(FUi->cbProfiles_SelectProfile);
        FUi->cbProfiles_SelectProfile->setCurrentIndex(ActiveIndex());
    }
    cbProfiles_SelectProfileChange();
}

void TProfilesPage::cbProfiles_SelectProfileChange()
{
    const TUTProfile* profile = Selected();
    if (!profile) {
        FUi->gbProfileSettings->setEnabled(false);
        return;
    }
    FUi->lbeProfiles_ProfileName->setText(profile->Name);
    FUi->lbeProfiles_ProfileName->setEnabled(!profile->IsDefault);
    FUi->btnProfiles_ApplyProfileChanges->setEnabled(!profile->IsDefault);
    const bool active = IsActive(*profile);
    FUi->btnProfiles_ActivateProfile->setEnabled(!active);
    FUi->btnProfiles_DeleteProfile->setEnabled(!active);
    FUi->gbProfileSettings->setEnabled(true);
}

void TProfilesPage::btnProfiles_ApplyProfileChangesClick()
{
    if (TUTProfile* profile = Selected(); profile && !profile->IsDefault)
        Succeeded(this, profile->SetName(FUi->lbeProfiles_ProfileName->text()));
}

bool TProfilesPage::Activate(const TUTProfile& profile)
{
    TUT2003Profile* profiles = FContext.Profiles();
    // Activation frees the list's profile objects.
    const QString fileName = profile.FileName;
    if (!QFileInfo(fileName).isFile()) {
        // The list would only be rebuilt: nothing was activated.
        ShowError(QStringLiteral("%1 does not exist.").arg(QDir::toNativeSeparators(fileName)));
        profiles->Refresh();
        ShowProfilesPage();
        return false;
    }
    if (!Succeeded(this, profiles->Activate(profile)))
        return false;
    ShowProfilesPage();
    SelectFile(fileName);
    return true;
}

void TProfilesPage::btnProfiles_ActivateProfileClick()
{
    const TUTProfile* profile = Selected();
    if (!profile || IsActive(*profile))
        return;
    if (Activate(*profile))
        ShowInformation(TDialogType::Profiles_ProfileActivated);
}

void TProfilesPage::btnProfile_EditProfileClick()
{
    const TUTProfile* profile = Selected();
    if (!profile || !QFileInfo(profile->FileName).isFile())
        return;
    FContext.LoadIniFile(profile->FileName);
    FContext.ShowPage(QStringLiteral("tbINIEditor"));
}

void TProfilesPage::btnProfiles_BackupProfileClick()
{
    const TUTProfile* profile = Selected();
    if (profile && Succeeded(this, FContext.Profiles()->Backup(*profile)))
        ShowInformation(TDialogType::Profiles_BackupCreated);
}

void TProfilesPage::btnProfiles_DeleteProfileClick()
{
    const TUTProfile* profile = Selected();
    // The game's own "User.ini" is never deleted here.
    if (!profile || IsActive(*profile))
        return;
    if (FContext.Dialogs().MessageBox(this, FContext.GetLangText(TDialogType::Common_Confirmation),
                                      FContext.GetLangText(TDialogType::Profiles_RemovePrompt),
                                      TMsgDlgType::mtConfirmation,
                                      mbYes | mbNo) != TModalResult::mrYes)
        return;
    if (!Succeeded(this, FContext.Profiles()->DeleteProfile(
                             FUi->cbProfiles_SelectProfile->currentIndex())))
        return;
    RefreshThroughRegistry();
    ShowInformation(TDialogType::Profiles_RemoveConfirm);
}

void TProfilesPage::NewProfile(const QString& sourceFile)
{
    TUT2003Profile* profiles = FContext.Profiles();
    const QString prompt = FContext.GetLangText(TDialogType::Profiles_NewProfilePrompt);
    QString name;
    if (!profiles || !FContext.Dialogs().InputQuery(this, prompt, prompt, name))
        return;
    name = name.trimmed();
    // Refused before the file prompt, so that nobody picks a file for nothing.
    if (const TResult<void> checked = profiles->CheckProfileName(name); !checked) {
        ShowError(checked.Error().Message);
        return;
    }
    QString source = sourceFile;
    if (source.isEmpty()) {
        const QStringList files = FContext.Dialogs().OpenFiles(
            this,
            FContext.TransferPrompt(TDialogType::Common_Dialog_SelectINI,
                                    TDialogType::Common_Filter_INIFiles, QStringLiteral("ini")));
        if (files.isEmpty())
            return;
        source = files.first();
    }

    const TResult<TUTProfile*> created = profiles->CreateProfile(name, source);
    if (!created) {
        if (created.Error().Code == TErrorCode::ecInvalid)
            ShowError(created.Error().Message);
        else
            Succeeded(this, created);
        return;
    }
    const bool activate = FContext.Dialogs().MessageBox(
                              this, FContext.GetLangText(TDialogType::Common_Confirmation),
                              FContext.GetLangText(TDialogType::Profiles_NewProfileActivation),
                              TMsgDlgType::mtConfirmation, mbYes | mbNo) == TModalResult::mrYes;
    // Activation refreshes the page and selects the new profile's row.
    if (!activate || !Activate(**created))
        RefreshThroughRegistry();
}

void TProfilesPage::btnProfiles_NewProfileClick()
{
    if (const TUT2003Profile* profiles = FContext.Profiles())
        NewProfile(profiles->ActiveFileName());
}

void TProfilesPage::btnProfiles_NewProfileExClick()
{
    NewProfile(QString());
}

void TProfilesPage::btnProfiles_BackupActiveProfileClick()
{
    TUT2003Profile* profiles = FContext.Profiles();
    if (profiles && Succeeded(this, profiles->Backup(*profiles->GetActive())))
        ShowInformation(TDialogType::Profiles_BackupCreated);
}

void TProfilesPage::btnProfiles_RestoreBackupClick()
{
    TUT2003Profile* profiles = FContext.Profiles();
    if (!profiles)
        return;
    TFileDialogOptions options;
    options.Title = FContext.GetLangText(TDialogType::Common_Dialog_SelectBackup);
    options.Filter = FContext.GetLangText(TDialogType::Common_Filter_Backups);
    options.DefaultExt = QStringLiteral("ini");
    options.InitialDir = profiles->BackupsDir();
    const QStringList files = FContext.Dialogs().OpenFiles(this, options);
    if (files.isEmpty() || !Succeeded(this, profiles->RestoreBackup(files.first())))
        return;
    // Which profile is active may have changed with "User.ini".
    profiles->Refresh();
    ShowProfilesPage();
    ShowInformation(TDialogType::Common_BackupRestored);
}

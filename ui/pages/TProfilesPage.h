#pragma once

#include <memory>

#include "TDialogType.h"
#include "TPageBase.h"

class TUTProfile;

namespace Ui {
class TProfilesPage;
}

// The profiles page: copies of the game's "User.ini" to choose, rename, activate, edit, back
// up and delete; new profiles from "User.ini" or any INI file; backups of "User.ini" and their
// restoring. Row i of the profile box is profile i of the profile list.
class TProfilesPage final : public TPageBase
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TProfilesPage)

public:
    TProfilesPage(IPageContext& context, QWidget* parent);
    ~TProfilesPage() override;

    void RefreshPage() override { ShowProfilesPage(); }

    // The page's refresh handler: the profile box filled from the list, the active profile
    // selected.
    void ShowProfilesPage();

    void lbProfiles_JumpToActiveClick();
    void cbProfiles_SelectProfileChange();
    void btnProfiles_ApplyProfileChangesClick();
    void btnProfiles_ActivateProfileClick();
    void btnProfile_EditProfileClick();
    void btnProfiles_BackupProfileClick();
    void btnProfiles_DeleteProfileClick();
    void btnProfiles_NewProfileClick();
    void btnProfiles_NewProfileExClick();
    void btnProfiles_BackupActiveProfileClick();
    void btnProfiles_RestoreBackupClick();

private:
    // The profile of the selected row; null for none.
    TUTProfile* Selected() const;
    // The row of the game's "User.ini": by its identifier, or for the unmanaged default entry by
    // its file; -1 for none.
    int ActiveIndex() const;
    // Whether Profile is what the game's "User.ini" (Active) holds.
    static bool IsActive(const TUTProfile& profile, const TUTProfile& active);
    bool IsActive(const TUTProfile& profile) const;
    // Selects the row of the profile file FileName (none when it is not listed) and runs the
    // change handler.
    void SelectFile(const QString& fileName);
    // Runs the page's handler from the page-handler registry.
    void RefreshThroughRegistry();
    // A new profile from SourceFile, or from the file the user chooses when SourceFile is empty.
    void NewProfile(const QString& sourceFile);
    // Activates Profile; the page then shows its row. False, with the error shown, when it
    // failed.
    bool Activate(const TUTProfile& profile);
    void ShowInformation(TDialogType text);
    void ShowError(const QString& text);

    std::unique_ptr<Ui::TProfilesPage> FUi;
};

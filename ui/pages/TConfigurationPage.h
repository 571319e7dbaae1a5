#pragma once

#include <memory>

#include <QWidget>

class TfrmMain;

namespace Ui {
class TConfigurationPage;
}

// The Configuration page: the game folder, the active "User.ini" profile, the interface
// language, and the advanced panel with the tool's own options.
class TConfigurationPage final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TConfigurationPage)

public:
    TConfigurationPage(TfrmMain& main, QWidget* parent);
    ~TConfigurationPage() override;

    // The page's refresh handler.
    void ShowConfigurationPage();
    // Fills the advanced panel from the settings.
    void ShowAdvancedConfiguration();
    // Fills the advanced panel again when it is the one shown.
    void RefreshAdvancedIfVisible();

    void btnConfigure_BrowsePathClick();
    void btnConfigure_SearchPathClick();
    void btnConfigure_ApplyPathClick();
    void cbConfigure_SelectProfileChange();
    void btnConfigure_ApplyProfileClick();
    void btnConfigure_EditProfilesClick();
    void btnConfigure_ApplyLangClick();
    void btnConfig_AdvancedClick();
    void btnConfig_SaveClick();
    void btnConfig_MainClick();
    void btnConfig_UpdateCacheClick();

private:
    // Stores a valid folder, saves and reloads the settings, re-creates the managers and
    // refreshes the page; the map cache follows the new folder.
    void ApplyGameFolder(const QString& folder);

    TfrmMain& FMain;
    std::unique_ptr<Ui::TConfigurationPage> FUi;
};

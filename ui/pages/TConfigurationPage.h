#pragma once

#include <memory>

#include "TPageBase.h"

namespace Ui {
class TConfigurationPage;
}

// The Configuration page: the game folder, the active "User.ini" profile, the interface
// language, and the advanced panel with the tool's own options.
class TConfigurationPage final : public TPageBase
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TConfigurationPage)

public:
    TConfigurationPage(IPageContext& context, QWidget* parent);
    ~TConfigurationPage() override;

    void RefreshPage() override { ShowConfigurationPage(); }
    // The advanced panel, when shown, follows the settings (File > Cache changes one).
    void SettingsChanged() override;

    // The page's refresh handler.
    void ShowConfigurationPage();
    // Fills the advanced panel from the settings.
    void ShowAdvancedConfiguration();

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Stores a valid folder, saves and reloads the settings, re-creates the managers and
    // refreshes the page; the map cache follows the new folder.
    void ApplyGameFolder(const QString& folder);
    // The files Folder lacks to be a game folder (or the folder itself), quoted, for a warning.
    QString MissingGameFiles(const QString& folder) const;
    // Configuration_InvalidUTDir naming what Folder lacks.
    void WarnInvalidFolder(const QString& folder);
    // Grows the window when the page's tab sheet is lower than the page needs (large fonts,
    // several rows of tabs).
    void FitConfigurationPage();

    std::unique_ptr<Ui::TConfigurationPage> FUi;
};

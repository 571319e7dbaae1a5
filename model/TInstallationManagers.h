#pragma once

#include "ProgramFolders.h"

#include <memory>

class TCacheManager;
class TKOVASettings;
class TMapManager;
class TScreenShotManager;
class TServerPackages;
class TUT2003Profile;

// The managers that follow the game folder: profiles, maps, screenshots, download cache and
// server packages. The main window and the page tests make them through this one class, so a
// page under test sees the managers the program would give it.
class TInstallationManagers final
{
public:
    // Settings: where the settings object is found at each use; the location must outlive the
    // managers. Folders: where the profiles and the map cache are.
    TInstallationManagers(TKOVASettings* const* settings, const TProgramFolders& folders);
    ~TInstallationManagers();
    TInstallationManagers(const TInstallationManagers&) = delete;
    TInstallationManagers& operator=(const TInstallationManagers&) = delete;

    // Makes the five managers over the current game folder; raises what a manager raises.
    void Create();
    // Frees them, profiles first and server packages last.
    void Free();

    TUT2003Profile* Profiles() const { return FProfiles.get(); }
    TMapManager* MapManager() const { return FMapManager.get(); }
    TScreenShotManager* ScreenShotManager() const { return FScreenShotManager.get(); }
    TCacheManager* CacheManager() const { return FCacheManager.get(); }
    TServerPackages* ServerPackages() const { return FServerPackages.get(); }

private:
    TKOVASettings* const* FSettings;
    TProgramFolders FFolders;
    std::unique_ptr<TUT2003Profile> FProfiles;
    std::unique_ptr<TMapManager> FMapManager;
    std::unique_ptr<TScreenShotManager> FScreenShotManager;
    std::unique_ptr<TCacheManager> FCacheManager;
    std::unique_ptr<TServerPackages> FServerPackages;
};

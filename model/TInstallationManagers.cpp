#include "TInstallationManagers.h"

#include "TCacheManager.h"
#include "TKOVASettings.h"
#include "TMapManager.h"
#include "TScreenShotManager.h"
#include "TServerPackages.h"
#include "TUT2003Profile.h"

TInstallationManagers::TInstallationManagers(TKOVASettings* const* settings,
                                             const TProgramFolders& folders)
    : FSettings(settings)
    , FFolders(folders)
{}

TInstallationManagers::~TInstallationManagers()
{
    Free();
}

void TInstallationManagers::Create()
{
    TKOVASettings& settings = **FSettings;
    FProfiles = std::make_unique<TUT2003Profile>(settings.UTDir, FFolders.ProfilesDir(),
                                                 FFolders.BackupsDir());
    FMapManager = std::make_unique<TMapManager>(FSettings, FFolders.MapCacheFile());
    FScreenShotManager = std::make_unique<TScreenShotManager>(
        settings.GetPath(TMapPaths::mpScreenShots), QStringLiteral("Shot?????.bmp"));
    FCacheManager = std::make_unique<TCacheManager>(FSettings);
    FServerPackages = std::make_unique<TServerPackages>(settings.GetGameIniFile(), &settings);
}

void TInstallationManagers::Free()
{
    FProfiles.reset();
    FMapManager.reset();
    FScreenShotManager.reset();
    FCacheManager.reset();
    FServerPackages.reset();
}

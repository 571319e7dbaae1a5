#include "GamePath.h"

#include "TGameFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

TEST(GamePathTest, ResolvesEachComponentWithoutRegardToCase)
{
    TGameFolder game;
    const QString root = game.Root();
    EXPECT_EQ(ResolveGamePath(root + "/system/ut2004.INI"), root + "/System/UT2004.ini");
    EXPECT_EQ(ResolveGamePath(root + "\\SYSTEM\\Core.DLL"), root + "/System/Core.dll");
    EXPECT_EQ(ResolveGamePath(root + "/System/User.ini"), root + "/System/User.ini");
    EXPECT_EQ(ResolveGamePath(root + "/screenshots/"), root + "/ScreenShots/");
    // A file still to be made lands in the folder of the real spelling.
    EXPECT_EQ(ResolveGamePath(root + "/maps/New/Deeper/x.ut2"), root + "/Maps/New/Deeper/x.ut2");
    // The exact name first, else the first in sorted order.
    game.WriteFile("Maps/dm-a.ut2", "lower");
    game.WriteFile("Maps/DM-A.ut2", "upper");
    EXPECT_EQ(ResolveGamePath(root + "/Maps/dm-a.ut2"), root + "/Maps/dm-a.ut2");
    EXPECT_EQ(ResolveGamePath(root + "/Maps/Dm-A.UT2"), root + "/Maps/DM-A.ut2");

    EXPECT_TRUE(GameFileExists(root + "/system/ut2004.exe"));
    EXPECT_FALSE(GameFileExists(root + "/System"));
    EXPECT_FALSE(GameFileExists(root + "/System/Missing.ini"));
    EXPECT_TRUE(GameFolderExists(root + "\\MAPS\\"));
    EXPECT_FALSE(GameFolderExists(root + "/System/UT2004.ini"));
    EXPECT_FALSE(GameFolderExists(QString()));
}

TEST(GamePathTest, MapsDriveLettersIntoTheWinePrefix)
{
    TTempEnvironment env;
    const QString prefix = env.WinePrefix();
    // Without dosdevices, C: is drive_c.
    EXPECT_EQ(LocalPathFromWindows("C:\\UT2004\\System"), prefix + "/drive_c/UT2004/System");
    EXPECT_EQ(LocalPathFromWindows("c:"), prefix + "/drive_c");
    // A drive the prefix does not know still gets its dosdevices name.
    EXPECT_EQ(LocalPathFromWindows("D:\\Games"), prefix + "/dosdevices/d:/Games");
    EXPECT_EQ(LocalPathFromWindows("Maps\\DM-Rankin.ut2"), "Maps/DM-Rankin.ut2");

    QDir(prefix).mkpath("dosdevices");
    ASSERT_TRUE(QFile::link(prefix + "/drive_c", prefix + "/dosdevices/c:"));
    EXPECT_EQ(LocalPathFromWindows("C:\\UT2004"), prefix + "/dosdevices/c:/UT2004");

    // The whole road: a Windows path with the wrong case finds the real game folder.
    TGameFolder game(prefix + "/drive_c", "UT2004");
    EXPECT_TRUE(GameFileExists("C:\\ut2004\\system\\UT2004.INI"));
    EXPECT_EQ(ResolveGamePath("c:\\ut2004\\MAPS"), prefix + "/dosdevices/c:/UT2004/Maps");
}

TEST(GamePathTest, DefaultPrefixIsInHome)
{
    TTempEnvironment env;
    qunsetenv("WINEPREFIX");
    EXPECT_EQ(LocalPathFromWindows("C:\\UT2004"), env.Home() + "/.wine/drive_c/UT2004");
}

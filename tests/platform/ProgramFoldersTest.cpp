#include "ProgramFolders.h"

#include "GamePath.h"
#include "TFileProtection.h"
#include "TGameFolder.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void Write(const QString& path, const QByteArray& bytes)
{
    ASSERT_TRUE(WriteBytes(path, bytes));
}

// A program installed under a prefix as "cmake --install" lays it out, its shipped files
// protected as a system-wide installation has them.
class ProgramFoldersTest : public ::testing::Test
{
protected:
    ProgramFoldersTest()
    {
        Write(Shipped("settings.xml"), "<kovasettings/>");
        Write(Shipped("Lang.int"), "[Language]\r\n");
        Write(Shipped("Readme.htm"), "readme");
        Write(Bin("kova"), "");
        SetMode(Shipped("settings.xml"), 0444);
    }
    ~ProgramFoldersTest() override { SetMode(Shipped("settings.xml"), 0644); }

    QString Bin(const QString& name = {}) const { return JoinPath(FPrefix.filePath("bin"), name); }
    QString Shipped(const QString& name = {}) const
    {
        return JoinPath(FPrefix.filePath("share/kova"), name);
    }

    TTempEnvironment FEnvironment;
    QTemporaryDir FPrefix;
};

TEST_F(ProgramFoldersTest, InstalledReadsWhatItShipsAndWritesThePlacesOfTheUser)
{
    const TProgramFolders folders(Bin());
    EXPECT_FALSE(folders.IsPortable());
    EXPECT_EQ(folders.ShippedDir(), Shipped().chopped(1));
    EXPECT_EQ(folders.SettingsFile(), FEnvironment.ConfigHome() + "/kova/settings.xml");
    EXPECT_EQ(folders.BackupsDir(), FEnvironment.DataHome() + "/kova/Profiles/Backups");
    EXPECT_EQ(folders.MapCacheFile(), FEnvironment.Home() + "/.cache/kova/cache.xml");
    EXPECT_EQ(folders.LanguageDirs(),
              (QStringList{Shipped().chopped(1), FEnvironment.DataHome() + "/kova"}));
    EXPECT_EQ(folders.TransferDir(), FEnvironment.Home());

    // The first start gives the user a settings file of their own, one they can save.
    ASSERT_TRUE(folders.PrepareSettings());
    EXPECT_EQ(ReadBytes(folders.SettingsFile()), "<kovasettings/>");
    EXPECT_TRUE(QFileInfo(folders.SettingsFile()).permissions() & QFile::WriteOwner);
    Write(folders.SettingsFile(), "<kovasettings><basic/></kovasettings>");
    ASSERT_TRUE(folders.PrepareSettings());
    EXPECT_EQ(ReadBytes(folders.SettingsFile()), "<kovasettings><basic/></kovasettings>");

    // Documents: shipped, else the user's own, else the shipped path that is missing.
    Write(FEnvironment.DataHome() + "/kova/Readme.de.htm", "liesmich");
    EXPECT_EQ(folders.DocumentFile("Readme.htm"), Shipped("Readme.htm"));
    EXPECT_EQ(folders.DocumentFile("Readme.de.htm"),
              FEnvironment.DataHome() + "/kova/Readme.de.htm");
    EXPECT_EQ(folders.DocumentFile("Changes.txt"), Shipped("Changes.txt"));

    // A missing shipped file is a failure that names both files.
    QFile::remove(folders.SettingsFile());
    SetMode(Shipped("settings.xml"), 0644);
    QFile::remove(Shipped("settings.xml"));
    QString error;
    EXPECT_FALSE(folders.PrepareSettings(&error));
    EXPECT_TRUE(error.contains(folders.SettingsFile()) && error.contains(Shipped("settings.xml")))
        << error.toStdString();
}

// Two users of one machine: each home keeps its own settings and profiles.
TEST_F(ProgramFoldersTest, WithoutTheDesktopsVariablesTheUsersFoldersFollowHome)
{
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qunsetenv(name);
    QTemporaryDir homes[2];
    for (const QTemporaryDir& home : homes) {
        qputenv("HOME", QFile::encodeName(home.path()));
        const TProgramFolders folders(Bin());
        EXPECT_EQ(folders.SettingsFile(), home.filePath(".config/kova/settings.xml"));
        EXPECT_EQ(folders.BackupsDir(), home.filePath(".local/share/kova/Profiles/Backups"));
        EXPECT_EQ(folders.MapCacheFile(), home.filePath(".cache/kova/cache.xml"));
        ASSERT_TRUE(folders.PrepareSettings());
        Write(folders.SettingsFile(), QFile::encodeName(home.path()));
    }
    EXPECT_EQ(ReadBytes(homes[0].filePath(".config/kova/settings.xml")),
              QFile::encodeName(homes[0].path()));
}

TEST_F(ProgramFoldersTest, PortableKeepsTheUsersFilesBesideTheProgram)
{
    Write(Bin(TProgramFolders::PortableMarker()), "");
    const TProgramFolders folders(Bin());
    EXPECT_TRUE(folders.IsPortable());
    for (const QString& dir :
         {folders.ConfigDir(), folders.DataDir(), folders.CacheDir(), folders.TransferDir()})
        EXPECT_EQ(dir, Bin().chopped(1));
    EXPECT_EQ(folders.LanguageDirs(), (QStringList{Shipped().chopped(1), Bin().chopped(1)}));
    ASSERT_TRUE(folders.PrepareSettings());
    EXPECT_EQ(ReadBytes(Bin("settings.xml")), "<kovasettings/>");
    folders.MakeUserFolders();
    EXPECT_TRUE(QFileInfo(Bin("Profiles/Backups")).isDir());
    EXPECT_FALSE(QFileInfo::exists(FEnvironment.ConfigHome() + "/kova"));
    EXPECT_FALSE(QFileInfo::exists(FEnvironment.DataHome() + "/kova"));

    // Beside the program, in the build tree: the shipped file is the user's.
    QTemporaryDir buildTree;
    const QString build = buildTree.path();
    Write(JoinPath(build, TProgramFolders::PortableMarker()), "");
    const TProgramFolders inBuild(build);
    EXPECT_EQ(inBuild.ShippedDir(), build);
    EXPECT_EQ(inBuild.SettingsFile(), inBuild.ShippedSettingsFile());
    EXPECT_TRUE(inBuild.PrepareSettings());
    EXPECT_FALSE(QFileInfo::exists(inBuild.SettingsFile()));
}

} // namespace

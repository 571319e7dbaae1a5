#include "GamePath.h"
#include "TFileProtection.h"
#include "TGameFolder.h"
#include "TKOVASettings.h"
#include "TUT2003Profile.h"
#include "TUT2003Statistics.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A settings file in a folder of its own, loaded; "@UTDIR@" in the text stands for GameRoot.
class TSettingsFile final
{
public:
    explicit TSettingsFile(QByteArray bytes, const QString& gameRoot = QString())
        : FPath(FDir.filePath(u"settings.xml"_s))
        , Settings(FDir.path(), FPath)
    {
        EXPECT_TRUE(WriteBytes(FPath, bytes.replace("@UTDIR@", gameRoot.toUtf8())));
        Loaded = Settings.LoadFromFile();
    }
    QString Path() const { return FPath; }
    QString AppDir() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
    QString FPath;

public:
    TKOVASettings Settings;
    TResult<void> Loaded;
};

QByteArray ShippedSettings(const QString& gameRoot)
{
    QByteArray bytes = ReadBytes(QStringLiteral(KOVA_SOURCE_DIR "/data/settings.xml"));
    bytes.replace("<utdir></utdir>", "<utdir>" + gameRoot.toUtf8() + "</utdir>");
    return bytes;
}

const QByteArray KRulesFile = "<kovasettings><basic><utdir>@UTDIR@</utdir></basic>"
                              "<paths><exename>UT2004.exe</exename><inifile>UT2004.ini</inifile>"
                              "</paths><destinations>"
                              "<d mask=\".ut2;.ut2;.U\">%system%</d>"
                              "<!-- a later group wins -->"
                              "<d mask=\".ut2\">%maps%</d>"
                              "<d mask=\"*unknown_content\">%no_install%</d>"
                              "<d>%help%</d>"
                              "<d mask=\".both\">%system%/%maps%</d>"
                              "<d mask=\".cap\">%Maps%</d>"
                              "<d mask=\".rel\">Relative</d>"
                              "<d mask=\".none\"></d>"
                              "</destinations><renames>"
                              "<r mask=\"old.u\">First.u</r>"
                              "<r mask=\"old.u\">New.u</r>"
                              "<r mask=\"readme.txt\">%help%\\Foo.txt</r>"
                              "</renames></kovasettings>";

} // namespace

TEST(TKOVASettingsLoadTest, AnotherRootReadsNothingAndSaveWritesNothing)
{
    const QByteArray bytes = "<settings><basic><firstrun>True</firstrun></basic></settings>";
    TSettingsFile file(bytes);
    ASSERT_TRUE(file.Loaded);
    EXPECT_FALSE(file.Settings.FirstRun);
    file.Settings.Language = u"det"_s;
    EXPECT_TRUE(file.Settings.SaveToFile());
    EXPECT_EQ(ReadBytes(file.Path()), bytes);
}

TEST(TKOVASettingsLoadTest, BrokenOrMissingFileFailsAndKeepsEverySetting)
{
    TGameFolder game;
    TSettingsFile file(KRulesFile, game.Root());
    TKOVASettings& settings = file.Settings;
    ASSERT_TRUE(file.Loaded);
    const qsizetype rules = settings.Destinations.size();
    ASSERT_GT(rules, 0);

    // A file cut short fails as a whole: nothing of it is taken, nothing loaded before is lost.
    WriteBytes(file.Path(), "<kovasettings><basic><utdir>/elsewhere</utdir><firstrun>1</firstrun>"
                            "</basic><destinations><d mask=\".u\">%maps%</d></destinations>");
    const TResult<void> broken = settings.LoadFromFile();
    ASSERT_FALSE(broken);
    EXPECT_EQ(broken.Error().FileName, file.Path());
    EXPECT_EQ(settings.UTDir, game.Root() + "/");
    EXPECT_FALSE(settings.FirstRun);
    EXPECT_EQ(settings.Destinations.size(), rules);

    // Saving into a malformed file fails and leaves it as it was.
    WriteBytes(file.Path(), "<kovasettings>");
    EXPECT_FALSE(settings.SaveToFile());
    EXPECT_EQ(ReadBytes(file.Path()), "<kovasettings>");

    QFile::remove(file.Path());
    EXPECT_FALSE(settings.LoadFromFile());
    EXPECT_EQ(settings.Destinations.size(), rules);
}

TEST(TKOVASettingsLoadTest, DamagedFileIsReportedWhereItIsDamaged)
{
    TSettingsFile file("<kovasettings>\n  <basic>\n    <utdir>/games</utdi>\n  </basic>\n"
                       "</kovasettings>\n");
    ASSERT_FALSE(file.Loaded);
    // The file, the place and the parser's reason, nothing of a platform's XML libraries.
    EXPECT_EQ(file.Loaded.Error().Message,
              QStringLiteral("The settings file \"%1\" is not valid XML: Start-end tags mismatch "
                             "at line 3, column 20.")
                  .arg(file.Path()));
}

TEST(TKOVASettingsPathsTest, NoGameFolderIsNoFolderAtAll)
{
    // The shipped settings before a game folder was found: none of the game's folders may
    // become one below the file system's root, or a file search would walk the whole disk.
    TSettingsFile file(ShippedSettings(QString()));
    TKOVASettings& settings = file.Settings;
    ASSERT_TRUE(file.Loaded);
    EXPECT_FALSE(settings.IsValidUTDir(settings.UTDir));
    for (TMapPaths index : KAllMapPaths)
        EXPECT_EQ(settings.GetPath(index), "") << MapPathName(index).toStdString();
    EXPECT_EQ(settings.GetGameIniFile(), "");
    EXPECT_EQ(settings.GetDestination(u"DM-Foo.ut2"_s), KNoInstall);
    EXPECT_EQ(settings.GetDestination(u"readme.txt"_s), KNoInstall);
    EXPECT_EQ(settings.ExpandPath(u"%help%\\Foo.txt"_s), "");
    EXPECT_EQ(TUT2003Profile(settings.UTDir, file.AppDir(), file.AppDir()).ActiveFileName(), "");

    // Whatever the working folder holds, the statistics find nothing.
    const QString working = QDir::currentPath();
    QDir::setCurrent(file.AppDir());
    std::array<TFileStatistics, 5> stats;
    TUT2003Statistics(settings).Collect(TUT2003Statistics::KAllGroups, stats);
    QDir::setCurrent(working);
    for (const TFileStatistics& group : stats)
        EXPECT_EQ(group.Count, 0);

    // A folder given whole in the file stands without one.
    WriteBytes(file.Path(), "<kovasettings><paths><maps>/games/maps</maps></paths></kovasettings>");
    ASSERT_TRUE(settings.LoadFromFile());
    EXPECT_EQ(settings.GetPath(TMapPaths::mpMaps), "/games/maps");
    EXPECT_EQ(settings.GetPath(TMapPaths::mpSystem), "");
}

TEST(TKOVASettingsPathsTest, FoldersOfTheShippedSettingsInTheGamesLetterCase)
{
    TGameFolder game;
    TSettingsFile file(ShippedSettings(game.Root()));
    TKOVASettings& settings = file.Settings;
    ASSERT_TRUE(file.Loaded);
    EXPECT_TRUE(settings.IsValidUTDir(settings.UTDir));
    for (TMapPaths index : KAllMapPaths)
        EXPECT_TRUE(QDir(settings.GetPath(index)).exists()) << MapPathName(index).toStdString();
    EXPECT_EQ(settings.GetPath(TMapPaths::mpScreenShots), game.Path("ScreenShots"));
    EXPECT_EQ(settings.GetGameIniFile(), game.Path("System/UT2004.ini"));
    EXPECT_EQ(settings.GetDestination(u"DM-Foo.ut2"_s), game.Path("Maps/"));
    EXPECT_EQ(settings.GetDestination(u"Foo.utx"_s), game.Path("Textures/"));
    EXPECT_EQ(settings.GetDestination(u"Some/Folder/Song.OGG"_s), game.Path("Music/"));
    EXPECT_TRUE(settings.GetInstallUnknownContent());

    // The game-folder test needs all three files, and a name for each; what it misses is named
    // for the user, each file once, in any letter case.
    const QString old = settings.UTDir;
    settings.SetUTDir(game.Path("System"));
    EXPECT_EQ(settings.UTDir, old);
    const QString exe = u"System/UT2004.exe"_s;
    const QString core = u"System/Core.dll"_s;
    const QString ini = u"System/UT2004.ini"_s;
    // Each row's files come back in lower case, which the rows after it find all the same.
    const struct
    {
        QStringList Removed;
        QString Folder;
        QStringList Missing;
    } cases[] = {
        {{exe}, game.Root(), {exe}},
        {{core}, game.Root() + u"/"_s, {core}},
        {{ini}, game.Root(), {ini}},
        {{exe, ini}, game.Root(), {exe, ini}},
        {{}, game.Root(), {}},
        {{}, game.Path("Gone"), {game.Path("Gone")}},
        {{}, game.Path("System/Core.dll"), {game.Path("System/Core.dll")}},
        {{}, QString(), {QString()}},
    };
    for (const auto& each : cases) {
        for (const QString& name : each.Removed)
            EXPECT_TRUE(QFile::remove(ResolveGamePath(game.Path(name))));
        EXPECT_EQ(settings.MissingGameFiles(each.Folder), each.Missing)
            << each.Folder.toStdString() << " " << each.Removed.join(u' ').toStdString();
        EXPECT_EQ(settings.IsValidUTDir(each.Folder), each.Missing.isEmpty());
        for (const QString& name : each.Removed)
            game.WriteFile(u"System/"_s + name.mid(7).toLower(), "MZ");
    }
    settings.ExeName.clear();
    EXPECT_EQ(settings.MissingGameFiles(game.Root()), QStringList{u"System/<exename>"_s});
    EXPECT_FALSE(settings.IsValidUTDir(game.Root()));
}

TEST(TKOVASettingsRulesTest, LookupOrderPlaceholdersUnknownContentAndRenames)
{
    TGameFolder game;
    TSettingsFile file(KRulesFile, game.Root());
    TKOVASettings& settings = file.Settings;
    ASSERT_TRUE(file.Loaded);
    EXPECT_EQ(settings.GetDestination(u"DM-Foo.UT2"_s), game.Path("Maps/"));
    EXPECT_EQ(settings.GetDestination(u"x.u"_s), game.Path("System/"));
    // Only the first placeholder kind is expanded; a capital letter is no placeholder.
    EXPECT_EQ(settings.Destinations[5].Destination, game.Path("System/%maps%"));
    EXPECT_EQ(settings.ExpandPath(u"%maps%/a/%maps%"_s), game.Path("Maps/a/") + game.Path("Maps"));
    EXPECT_EQ(settings.GetDestination(u"readme.txt"_s), KNoInstall);
    // A destination that names no absolute folder installs nothing.
    for (const QString& name : {u"x.cap"_s, u"x.rel"_s, u"x.none"_s})
        EXPECT_EQ(settings.GetDestination(name), KNoInstall) << name.toStdString();

    settings.SetInstallUnknownContent(static_cast<TUnknownContentMode>(7));
    EXPECT_FALSE(settings.GetInstallUnknownContent());
    settings.SetInstallUnknownContent(TUnknownContentMode::ucmHelp);
    EXPECT_EQ(settings.GetDestination(u"readme.txt"_s), game.Path("Help/"));

    EXPECT_EQ(settings.ApplyRenames(u"/x/y/OLD.U"_s), "/x/y/New.u");
    EXPECT_EQ(settings.ApplyRenames(u"/x/other.u"_s), "/x/other.u");
    EXPECT_EQ(settings.ApplyRenames(u"/x/ReadMe.txt"_s), game.Path("Help/Foo.txt"));

    // A reload gives the same rules, not twice as many.
    const qsizetype rules = settings.Destinations.size();
    EXPECT_TRUE(settings.LoadFromFile());
    EXPECT_EQ(settings.Destinations.size(), rules);
    EXPECT_EQ(settings.Renames.size(), 3);
}

TEST(TKOVASettingsSaveTest, HandWrittenFileKeepsEverythingButTheChangedValue)
{
    TGameFolder game;
    const QByteArray original =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone='yes'?>\r\n"
        "<!-- my own settings -->\r\n"
        "<kovasettings version=\"2\">\r\n"
        "  <basic>\r\n"
        "    <firstrun>0</firstrun> <!-- seen it -->\r\n"
        "    <enablemapmanagercache>false</enablemapmanagercache>\r\n"
        "    <utdir>@UTDIR@</utdir>\r\n"
        "    <language>int</language>\r\n"
        "    <iswindowsizeable/>\r\n"
        "    <folderinstallmode>FIMASK</folderinstallmode>\r\n"
        "    <mystery flag='on'>42</mystery>\r\n"
        "  </basic>\r\n"
        "  <paths><exename>UT2004.exe</exename><inifile>UT2004.ini</inifile></paths>\r\n"
        "  <destinations>\r\n"
        "    <rule mask=\".ut2\">%maps%</rule>\r\n"
        "    <rule mask=\"*unknown_content\">%help%\\Unsorted</rule>\r\n"
        "  </destinations>\r\n"
        "</kovasettings>\r\n";
    TSettingsFile file(original, game.Root());
    TKOVASettings& settings = file.Settings;
    const QByteArray before = ReadBytes(file.Path());
    ASSERT_TRUE(file.Loaded);

    settings.Language = u"det"_s;
    EXPECT_TRUE(settings.SaveToFile());
    QByteArray expected = before;
    expected.replace("<language>int</language>", "<language>det</language>");
    EXPECT_EQ(ReadBytes(file.Path()), expected);

    // Turning unknown content off and on again ends with "%help%" in place of the hand-set folder.
    settings.SetInstallUnknownContent(TUnknownContentMode::ucmNoInstall);
    EXPECT_TRUE(settings.SaveToFile());
    EXPECT_TRUE(ReadBytes(file.Path()).contains("<rule mask=\"*unknown_content\">%no_install%<"));
    settings.SetInstallUnknownContent(TUnknownContentMode::ucmHelp);
    settings.IsWindowSizeable = true;
    EXPECT_TRUE(settings.SaveToFile());
    expected.replace("%help%\\Unsorted", "%help%");
    expected.replace("<iswindowsizeable/>", "<iswindowsizeable>True</iswindowsizeable>");
    EXPECT_EQ(ReadBytes(file.Path()), expected);
}

TEST(TKOVASettingsSaveTest, MissingChildrenAreAppendedAndReadBack)
{
    TGameFolder game;
    TSettingsFile file("<kovasettings>\n  <basic>\n    <language>int</language>\n  </basic>\n"
                       "  <paths><exename>UT2004.exe</exename><inifile>UT2004.ini</inifile>"
                       "</paths>\n  <destinations>\n"
                       "    <d mask=\"*unknown_content\">%no_install%</d>\n"
                       "    <d mask=\"*unknown_content\">%help%</d>\n"
                       "  </destinations>\n</kovasettings>\n");
    ASSERT_TRUE(file.Loaded);
    EXPECT_EQ(file.Settings.FolderInstallMode, TFolderInstallMode::fimAsk);
    EXPECT_TRUE(file.Settings.GetInstallUnknownContent());
    file.Settings.SetUTDir(game.Root());
    file.Settings.FolderInstallMode = TFolderInstallMode::fimNonRecursive;
    EXPECT_TRUE(file.Settings.SaveToFile());
    const QByteArray saved = ReadBytes(file.Path());
    EXPECT_TRUE(saved.contains("    <language>int</language>\n    <utdir>")) << saved.data();
    EXPECT_TRUE(
        saved.contains("<folderinstallmode>fimNonRecursive</folderinstallmode>\n  </basic>"));
    EXPECT_TRUE(saved.contains("<d mask=\"*unknown_content\">%help%</d>\n    <d mask"));

    TKOVASettings again(file.AppDir(), file.Path());
    ASSERT_TRUE(again.LoadFromFile());
    EXPECT_EQ(again.UTDir, game.Root() + "/");
    EXPECT_EQ(again.FolderInstallMode, TFolderInstallMode::fimNonRecursive);

    // A settings file that went missing is created again with its bare root.
    QFile::remove(file.Path());
    EXPECT_TRUE(again.SaveToFile());
    EXPECT_TRUE(TKOVASettings(file.AppDir(), file.Path()).LoadFromFile());
}

TEST(TKOVASettingsSaveTest, FailedWriteFailsAndKeepsTheFile)
{
    const QByteArray original = "<kovasettings><basic><language>int</language></basic>"
                                "</kovasettings>";
    TSettingsFile file(original);
    ASSERT_TRUE(file.Loaded);
    file.Settings.Language = u"det"_s;
    ASSERT_TRUE(SetMode(file.AppDir(), 0555));
    {
        TFileProtection protection(file.AppDir());
        const TResult<void> saved = file.Settings.SaveToFile();
        ASSERT_FALSE(saved);
        EXPECT_EQ(saved.Error().FileName, file.Path());
    }
    SetMode(file.AppDir(), 0755);
    EXPECT_EQ(ReadBytes(file.Path()), original);
    EXPECT_EQ(QDir(file.AppDir()).entryList(QDir::Files), QStringList{"settings.xml"});
}

TEST(TKOVASettingsGameTest, SinglePlayerCharacters)
{
    TGameFolder game;
    game.WriteFile(u"System/xplayersL1.upl"_s,
                   "[Public]\r\n"
                   "Player=(DefaultName=\"Jakob\",Race=\"Human\",Menu=\"SP\",Sex=Male)\r\n"
                   "Player=(DefaultName=\"Gorge\",Menu=\"DUP\")\r\n"
                   "Player=(DefaultName=\"Caf\xe9\",Menu=\"SP\")\n"
                   "Bot=(DefaultName=\"Nobody\",Menu=\"SP\")\r\n"
                   "Player=Menu=\"SP\"\r\n"
                   "Player=(DefaultName=\"Open,Menu=\"SP\"");
    TSettingsFile file(ShippedSettings(game.Root()));
    ASSERT_TRUE(file.Loaded);
    const QStringList expected{"Jakob", u"Caf\u00e9"_s, "", "Open,Menu="};
    EXPECT_EQ(file.Settings.SPCharacters, expected);
    EXPECT_TRUE(file.Settings.LoadFromFile());
    EXPECT_EQ(file.Settings.GetSPCharacters(), expected);

    // The list is optional: without it the settings still load.
    QFile::remove(game.Path("System/xplayersL1.upl"));
    EXPECT_TRUE(file.Settings.LoadFromFile());
    EXPECT_TRUE(file.Settings.SPCharacters.isEmpty());
}

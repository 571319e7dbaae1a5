#include "TFileProtection.h"
#include "TKOVASettings.h"
#include "TGameFolder.h"
#include "TMapManager.h"
#include "TPackageWriter.h"
#include "uKOVA_MapCache.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Windows-1252 bytes of a title with a colour code (escape, then red, green, blue), the euro
// sign, an e with acute, a line break and one of the five bytes the code page leaves undefined.
const char KColourTitle[] = "\x1B\xFF\x01\x01Red \x80 \xE9\r\nnext \x81";
const QString KColourTitleText = QString::fromUtf8("\x1B\xC3\xBF\x01\x01Red € é\r\nnext \xC2\x81");

const QByteArray KGameTypes = R"(<gametypes>
    <gametype mask="TDM-*">Team Deathmatch</gametype>
    <gametype mask="DM-*">Deathmatch</gametype>
    <!-- any element name counts -->
    <type mask="CTF-*">Capture the Flag</type>
    <gametype>Without mask</gametype>
    <gametype mask="ctf-*">Second CTF</gametype>
  </gametypes>)";

QByteArray Bytes(const TBytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

// A game folder inside a Wine prefix (so that "C:\UT2004\..." names it), a program folder with
// its settings file, and the maps every test starts from.
class TMapsSetup
{
public:
    explicit TMapsSetup(bool cacheOn, const QByteArray& gameTypes = KGameTypes)
        : FGame(FEnvironment.WinePrefix() + u"/drive_c"_s)
        , FApp(FEnvironment.Root() + u"/KOVA"_s)
    {
        QDir().mkpath(FApp);
        SetCache(cacheOn, gameTypes);
        TMapTexts colour;
        colour.Title = KColourTitle;
        colour.Author = "Author \xAB\xBB";
        colour.Description = "A plain description";
        WriteMap(u"DM-Alpha.ut2"_s, colour);
        TMapTexts unicode;
        unicode.Utf16 = true;
        unicode.Title = "\xCE\xA9mega \xE6\x97\xA5\xE6\x9C\xAC";
        unicode.Author = "Zo\xC3\xAB";
        unicode.Description = "\x1B\x01\xC3\xBF\x01Green";
        WriteMap(u"dm-beta.UT2"_s, unicode);
        TMapTexts untitled;
        untitled.Author = "Nobody";
        WriteMap(u"CTF-Gamma.ut2"_s, untitled);
        TMapTexts noSummary;
        noSummary.WithLevelSummary = false;
        WriteMap(u"TDM-Delta.ut2"_s, noSummary);
        FGame.WriteFile(u"Maps/Other.ut2"_s, "not a package at all");
        FGame.WriteFile(u"Maps/readme.txt"_s, "not a map");
        QDir(FGame.Path(u"Maps"_s)).mkdir(u"DM-Folder.ut2"_s);
    }

    // Settings whose maps folder is written in another letter case than on disk.
    void SetCache(bool cacheOn, const QByteArray& gameTypes = KGameTypes)
    {
        WriteBytes(SettingsFile(), "<kovasettings><basic><enablemapmanagercache>" +
                                       QByteArray(cacheOn ? "True" : "False") +
                                       "</enablemapmanagercache><utdir>" + FGame.Root().toUtf8() +
                                       "</utdir></basic><paths><exename>UT2004.exe</exename>"
                                       "<inifile>UT2004.ini</inifile><maps>%UTDIR%/MAPS</maps>"
                                       "</paths>" +
                                       gameTypes + "</kovasettings>");
        Settings = std::make_unique<TKOVASettings>(FApp, SettingsFile());
        EXPECT_TRUE(Settings->LoadFromFile());
    }

    QString WriteMap(const QString& name, const TMapTexts& texts)
    {
        return FGame.WriteFile(u"Maps/"_s + name, Bytes(MakeMapPackage(texts)));
    }

    QString MapPath(const QString& name) const { return FGame.Path(u"Maps/"_s + name); }
    QString SettingsFile() const { return FApp + u"/settings.xml"_s; }
    QString CacheFile() const { return FApp + u"/cache.xml"_s; }
    QString AppDir() const { return FApp; }
    QString Root() const { return FEnvironment.Root(); }
    // The bare file names of the cache file's items.
    QStringList CachedNames() const
    {
        QList<TMapCacheItem> items;
        EXPECT_EQ(ReadMapCache(CacheFile(), items), TMapCacheRead::mcrLoaded);
        QStringList names;
        for (const TMapCacheItem& item : items)
            names << BareFileName(item.FileName).toString();
        return names;
    }

    std::unique_ptr<TMapManager> Manager(TMapCacheProgress progress = nullptr)
    {
        return std::make_unique<TMapManager>(TSettingsRef(&Settings), CacheFile(), progress);
    }

    std::unique_ptr<TKOVASettings> Settings;

private:
    TTempEnvironment FEnvironment;
    TGameFolder FGame;
    QString FApp;
};

// Each map as "name [game type] size | title | author | description".
QStringList Values(TMapManager& manager)
{
    QStringList result;
    for (int i = 0; i < manager.GetCount(); ++i) {
        TUTMap& map = *manager.GetItem(i);
        result << u"%1 [%2] %3 | %4 | %5 | %6"_s.arg(
            map.ShortName(), map.GameType() ? map.GameType()->Name() : QString(),
            QString::number(map.Size()), map.GetTitle(), map.GetAuthor(), map.GetDescription());
    }
    return result;
}

QStringList ShortNames(const QStringList& paths)
{
    QStringList result;
    for (const QString& path : paths)
        result.append(BareFileName(path).toString());
    return result;
}

} // namespace

TEST(GameTypesTest, ReadInFileOrderAndFoundByTheFirstMatchingMask)
{
    TMapsSetup setup(false);
    TGameTypes types(TSettingsRef(&setup.Settings));
    EXPECT_EQ(types.ListNames(), QStringList({"Team Deathmatch", "Deathmatch", "Capture the Flag",
                                              "Without mask", "Second CTF"}));
    // The bare name is matched, in any letter case; the first matching mask wins.
    EXPECT_EQ(types.FindForFile(u"/games/CTF-x/dm-a.UT2"), types.GetItem(1));
    EXPECT_EQ(types.FindForFile(u"C:\\Maps\\ctf-Face.ut2"), types.GetItem(2));
    EXPECT_EQ(types.FindForFile(u"/games/DM-folder/Other.ut2"), nullptr);
    EXPECT_EQ(types.FindByText("Death"), types.GetItem(0));
    EXPECT_EQ(types.FindByText("deathmatch"), nullptr);

    WriteBytes(setup.SettingsFile(), "<kovasettings><gametypes>");
    const TResult<void> loaded = types.Load();
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.Error().FileName, setup.SettingsFile());
    EXPECT_EQ(types.GetCount(), 0);
}

TEST(MapTextsTest, ReadFromGeneratedPackages)
{
    TMapsSetup setup(false);
    auto manager = setup.Manager();
    const auto size = [&](const char* name) {
        return QString::number(QFileInfo(setup.MapPath(name)).size());
    };
    const QStringList expected = {
        u"CTF-Gamma.ut2 [Capture the Flag] %1 | CTF-Gamma | Nobody | ?"_s.arg(
            size("CTF-Gamma.ut2")),
        u"DM-Alpha.ut2 [Deathmatch] %1 | %2 | Author «» | A plain description"_s.arg(
            size("DM-Alpha.ut2"), KColourTitleText),
        u"dm-beta.UT2 [Deathmatch] %1 | Ωmega 日本 | Zoë | \x1B\x01ÿ\x01Green"_s.arg(
            size("dm-beta.UT2")),
        // Not a package: the reader's failure gives the defaults.
        u"Other.ut2 [] 20 | Other | ? | ?"_s,
        // No "LevelSummary": every text is "?", the title too.
        u"TDM-Delta.ut2 [Team Deathmatch] %1 | ? | ? | ?"_s.arg(size("TDM-Delta.ut2")),
    };
    EXPECT_EQ(Values(*manager), expected);
    EXPECT_TRUE(manager->CacheFile().isEmpty());
}

TEST(MapCacheTest, BuiltCacheGivesTheScannedMapsAndTexts)
{
    TMapsSetup setup(true);
    QList<std::pair<int, int>> progress;
    auto built = setup.Manager([&](int done, int total) { progress.append({done, total}); });
    EXPECT_EQ(built->CacheFile(), setup.CacheFile());
    EXPECT_EQ(built->GetCount(), 5);
    EXPECT_EQ(progress,
              (QList<std::pair<int, int>>{{0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}}));

    // One item per map from item0 in list order; colour codes as XML 1.1 references.
    const QByteArray file = ReadBytes(setup.CacheFile());
    EXPECT_TRUE(file.startsWith("<?xml version=\"1.1\" encoding=\"UTF-8\"?>\n<kovacache>"));
    EXPECT_TRUE(file.contains("<item0>\n    <filename>" + setup.MapPath("CTF-Gamma.ut2").toUtf8()));
    EXPECT_TRUE(file.contains("<item4>"));
    EXPECT_TRUE(file.contains("<title>&#x1B;\xC3\xBF&#x1;&#x1;Red"));
    QList<TMapCacheItem> items;
    ASSERT_EQ(ReadMapCache(setup.CacheFile(), items), TMapCacheRead::mcrLoaded);
    EXPECT_EQ(items[1].Title, KColourTitleText);
    EXPECT_EQ(items[4].Title, ""); // no "?" is stored for a map without texts

    auto cached = setup.Manager();
    setup.SetCache(false);
    auto scanned = setup.Manager();
    EXPECT_EQ(Values(*cached), Values(*scanned));

    // The cache alone gives the texts: a map whose file is gone stays, with size 0.
    setup.SetCache(true);
    WriteBytes(setup.MapPath("DM-Alpha.ut2"), "garbage");
    QFile::remove(setup.MapPath("CTF-Gamma.ut2"));
    auto again = setup.Manager();
    EXPECT_EQ(again->FindByFileName(u"DM-ALPHA.ut2")->GetTitle(), KColourTitleText);
    EXPECT_EQ(again->GetItem(0)->Size(), 0);
    EXPECT_EQ(again->GetItem(0)->GetAuthor(), "Nobody");
}

TEST(MapCacheTest, DamagedCacheIsRebuiltForeignOneLeftAlone)
{
    TMapsSetup setup(true);
    setup.Manager();
    const QByteArray good = ReadBytes(setup.CacheFile());
    for (const QByteArray& damaged : {good.left(good.size() / 2), QByteArray(),
                                      QByteArray("not XML"), QByteArray("<kovacache><item0>")}) {
        WriteBytes(setup.CacheFile(), damaged);
        auto manager = setup.Manager();
        EXPECT_EQ(manager->GetCount(), 5);
        EXPECT_EQ(ReadBytes(setup.CacheFile()), good);
    }

    const QByteArray foreign = "<?xml version=\"1.0\"?>\n<settings><item0/></settings>\n";
    WriteBytes(setup.CacheFile(), foreign);
    auto manager = setup.Manager();
    EXPECT_EQ(manager->GetCount(), 0);
    EXPECT_EQ(ReadBytes(setup.CacheFile()), foreign);
}

TEST(MapCacheTest, ListAndCacheFollowTheFilesTheProgramChanged)
{
    TMapsSetup setup(true);
    auto manager = setup.Manager();
    const auto listedNames = [&manager] {
        QStringList names;
        for (int i = 0; i < manager->GetCount(); ++i)
            names << manager->GetItem(i)->ShortName();
        return names;
    };

    // A rename keeps the map's place and takes the new name's game type.
    ASSERT_TRUE(QFile::rename(setup.MapPath("DM-Alpha.ut2"), setup.MapPath("CTF-Alpha.ut2")));
    EXPECT_TRUE(manager->RenameMap(setup.MapPath("DM-Alpha.ut2"), setup.MapPath("CTF-Alpha.ut2")));
    const QStringList renamed = {"CTF-Gamma.ut2", "CTF-Alpha.ut2", "dm-beta.UT2", "Other.ut2",
                                 "TDM-Delta.ut2"};
    EXPECT_EQ(listedNames(), renamed);
    EXPECT_EQ(setup.CachedNames(), renamed);
    EXPECT_EQ(manager->FindByFileName(u"ctf-alpha.ut2")->GameType()->Name(), "Capture the Flag");
    EXPECT_EQ(manager->FindByFileName(u"DM-Alpha.ut2"), nullptr);

    // An added file of a listed map replaces it in place; a new one is appended.
    WriteBytes(setup.MapPath("Other.ut2"), "longer than it was before");
    const QString fresh = setup.WriteMap(u"DM-Fresh.ut2"_s, TMapTexts());
    EXPECT_TRUE(manager->AddMaps({setup.MapPath("Other.ut2"), fresh}));
    EXPECT_EQ(listedNames(), renamed + QStringList{"DM-Fresh.ut2"});
    EXPECT_EQ(setup.CachedNames(), listedNames());
    EXPECT_EQ(manager->FindByFileName(u"Other.ut2")->Size(), 25);

    // A drop names the file; another spelling of its name finds it too.
    EXPECT_TRUE(manager->DropMaps({setup.MapPath("DM-BETA.ut2"), setup.MapPath("Other.ut2")}));
    EXPECT_EQ(listedNames(),
              QStringList({"CTF-Gamma.ut2", "CTF-Alpha.ut2", "TDM-Delta.ut2", "DM-Fresh.ut2"}));
    EXPECT_EQ(setup.CachedNames(), listedNames());

    // Files the list lacks join it (the two dropped above are still on disk), changed ones are
    // listed again in place.
    const QString later = setup.WriteMap(u"CTF-Later.ut2"_s, TMapTexts());
    WriteBytes(setup.MapPath("TDM-Delta.ut2"), "changed");
    EXPECT_TRUE(manager->AddChangedFiles());
    EXPECT_EQ(listedNames(),
              QStringList({"CTF-Gamma.ut2", "CTF-Alpha.ut2", "TDM-Delta.ut2", "DM-Fresh.ut2",
                           "CTF-Later.ut2", "dm-beta.UT2", "Other.ut2"}));
    EXPECT_EQ(manager->FindByFileName(u"TDM-Delta.ut2")->Size(), 7);
    EXPECT_EQ(setup.CachedNames(), listedNames());

    // A cache file that is no map cache is never written.
    const QByteArray foreign = "<settings/>\n";
    WriteBytes(setup.CacheFile(), foreign);
    auto other = setup.Manager();
    EXPECT_TRUE(other->AddMaps({fresh}));
    EXPECT_EQ(ReadBytes(setup.CacheFile()), foreign);
}

TEST(MapCacheTest, UnwritableCacheKeepsTheScannedList)
{
    TMapsSetup setup(true);
    ASSERT_TRUE(SetMode(setup.AppDir(), 0555));
    {
        TFileProtection protection(setup.Root());
        auto manager = setup.Manager();
        EXPECT_EQ(manager->GetCount(), 5);
        EXPECT_EQ(manager->GetItem(1)->GetTitle(), KColourTitleText);
        const TResult<void> saved = manager->SaveCache(setup.CacheFile());
        ASSERT_FALSE(saved);
        EXPECT_FALSE(saved.Error().Message.isEmpty());
    }
    SetMode(setup.AppDir(), 0755);
    EXPECT_FALSE(QFile::exists(setup.CacheFile()));
}

TEST(MapCacheTest, SelectingAMapReadsOnceAndWritesItsItemOnce)
{
    TMapsSetup setup(true);
    // A cache as another tool left it: Windows paths in other letter case, one map with no
    // texts yet, and not every map listed.
    WriteBytes(setup.CacheFile(), "<?xml version=\"1.0\"?>\r\n<kovacache>\r\n"
                                  "  <item0><filename>C:\\UT2004\\MAPS\\dm-alpha.ut2</filename>"
                                  "<author/><title></title><description/></item0>\r\n"
                                  "</kovacache>\r\n");
    auto manager = setup.Manager();
    ASSERT_EQ(manager->GetCount(), 1);
    TUTMap* alpha = manager->GetItem(0);
    EXPECT_EQ(alpha->FileName(), setup.MapPath("DM-Alpha.ut2"));
    EXPECT_EQ(alpha->GameType()->Name(), "Deathmatch");

    EXPECT_EQ(alpha->GetAuthor(), QString::fromUtf8("Author «»"));
    const QByteArray written = ReadBytes(setup.CacheFile());
    QList<TMapCacheItem> items;
    ASSERT_EQ(ReadMapCache(setup.CacheFile(), items), TMapCacheRead::mcrLoaded);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].FileName, setup.MapPath("DM-Alpha.ut2"));
    EXPECT_EQ(items[0].Title, KColourTitleText);

    // The other two texts come from that one read: the package is no longer needed, and the
    // cache is not written again.
    WriteBytes(setup.MapPath("DM-Alpha.ut2"), "garbage");
    EXPECT_EQ(alpha->GetTitle(), KColourTitleText);
    EXPECT_EQ(alpha->GetDescription(), "A plain description");
    EXPECT_EQ(ReadBytes(setup.CacheFile()), written);

    // A map the file does not list is appended under the next number, with "?" for every text
    // a package without "LevelSummary" leaves empty.
    TUTMap delta(manager.get(), &manager->GameTypes(), setup.MapPath("TDM-Delta.ut2"));
    EXPECT_EQ(delta.GetDescription(), "?");
    ASSERT_EQ(ReadMapCache(setup.CacheFile(), items), TMapCacheRead::mcrLoaded);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[1].Title, "?");
    EXPECT_TRUE(ReadBytes(setup.CacheFile()).contains("<item1>"));

    // With the cache off nothing is written.
    const QByteArray before = ReadBytes(setup.CacheFile());
    setup.Settings->EnableMapManagerCache = false;
    TUTMap gamma(manager.get(), &manager->GameTypes(), setup.MapPath("CTF-Gamma.ut2"));
    EXPECT_EQ(gamma.GetAuthor(), "Nobody");
    EXPECT_EQ(ReadBytes(setup.CacheFile()), before);
}

TEST(MapManagerTest, FindAndListByGameType)
{
    TMapsSetup setup(false);
    auto manager = setup.Manager();
    EXPECT_EQ(manager->FindByFileName(u"C:\\Maps\\other.UT2"), manager->GetItem(3));
    // The first of two maps with one file name is found.
    manager->Add(
        std::make_unique<TUTMap>(manager.get(), &manager->GameTypes(), u"/other/Other.ut2"_s));
    EXPECT_EQ(manager->FindByFileName(u"Other.ut2"), manager->GetItem(3));

    const TGameTypes& types = manager->GameTypes();
    EXPECT_EQ(ShortNames(manager->ListMapsOfGameTypes(
                  {types.GetItem(1), types.GetItem(1), types.GetItem(0)})),
              QStringList(
                  {"DM-Alpha.ut2", "DM-Alpha.ut2", "dm-beta.UT2", "dm-beta.UT2", "TDM-Delta.ut2"}));
    EXPECT_EQ(ShortNames(manager->ListMapsWithoutGameType()),
              QStringList({"Other.ut2", "Other.ut2"}));
}

TEST(MapCacheFileTest, EveryCharacterReadsBackAsWritten)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"cache.xml"_s);
    QString controls;
    for (char16_t c = 1; c < 0xA0; ++c)
        controls += QChar(c);
    controls += QString::fromUtf8("\xE2\x80\xA8 &lt; \"quoted\" ]]> \xF0\x9F\x98\x80");
    const QList<TMapCacheItem> items = {
        {u"/maps/a\x1B.ut2"_s, controls, u"  "_s, u"\r\n"_s},
        {u"/maps/b.ut2"_s, u" lead and trail\t"_s, QString(), u"x"_s}};
    ASSERT_TRUE(WriteMapCache(file, items));
    QList<TMapCacheItem> read;
    ASSERT_EQ(ReadMapCache(file, read), TMapCacheRead::mcrLoaded);
    ASSERT_EQ(read.size(), 2);
    for (qsizetype i = 0; i < 2; ++i)
        EXPECT_EQ(
            QStringList({read[i].FileName, read[i].Author, read[i].Title, read[i].Description}),
            QStringList(
                {items[i].FileName, items[i].Author, items[i].Title, items[i].Description}));

    // A file in UTF-16 stays in UTF-16 when one item is updated.
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<kovacache>"
                                        "<item0><filename>/maps/b.ut2</filename></item0>"
                                        "</kovacache>\n");
    QByteArray utf16("\xFF\xFE");
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    WriteBytes(file, utf16);
    ASSERT_TRUE(UpdateMapCacheItem(file, {"/MAPS/B.ut2",
                                          "\x1B"
                                          "a",
                                          "t", "d"}));
    EXPECT_TRUE(ReadBytes(file).startsWith(QByteArray("\xFF\xFE<\0?\0x\0m\0l\0", 12)));
    ASSERT_EQ(ReadMapCache(file, read), TMapCacheRead::mcrLoaded);
    ASSERT_EQ(read.size(), 1);
    EXPECT_EQ(read[0].Author, "\x1B"
                              "a");
    EXPECT_EQ(read[0].FileName, "/MAPS/B.ut2");
}

#include "TProgramFixture.h"
#include "TZipArchive.h"
#include "TZipBuilder.h"
#include "uKOVA_MapCache.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

// "/install", "/installfolder" and "/installcache" as the shell integration runs them: the real
// program, silent, judged by its exit status and by what it did to the files.
class InstallRoadProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void aHostileArchiveInstallsOnlyItsTargetsAndADamagedEntryNothing();
    void foldersFollowTheModeAndTheSwitches();
    void exitStatusesSayWhetherTheRunDidWhatItWasGiven();
    void hostileDirectoriesAndImpossibleSizesInstallNothing();
    void aRealArchiveInstallsByTheUnknownContentRule();
    void installCacheListsMapsOnlyWhenItInstalledOne();

private:
    // The program's exit status, or -1 when it did not end normally.
    int Run(const QStringList& arguments, const QString& workingDir = {}) const;
    QString Work(const QString& relative) const;
    QString Archive(const QString& name, const TZipBuilder& builder) const;
    const TGameFolder& Game() const { return FFixture->Game(); }

    std::unique_ptr<TProgramFixture> FFixture;
};

void InstallRoadProgramTest::init()
{
    FFixture = std::make_unique<TProgramFixture>();
    QDir(FFixture->Root()).mkpath(u"work"_s);
}

void InstallRoadProgramTest::cleanup()
{
    FFixture.reset();
}

int InstallRoadProgramTest::Run(const QStringList& arguments, const QString& workingDir) const
{
    QProcess program;
    FFixture->PrepareProgram(program, QStringLiteral(KOVA_PROGRAM), arguments, workingDir);
    program.start();
    if (!program.waitForFinished(60000) || program.exitStatus() != QProcess::NormalExit)
        return -1;
    return program.exitCode();
}

QString InstallRoadProgramTest::Work(const QString& relative) const
{
    return FFixture->Root() + u"/work/"_s + relative;
}

QString InstallRoadProgramTest::Archive(const QString& name, const TZipBuilder& builder) const
{
    const QString path = Work(name);
    if (!builder.Write(path))
        qFatal("Cannot write %s", qPrintable(path));
    return path;
}

void InstallRoadProgramTest::aHostileArchiveInstallsOnlyItsTargetsAndADamagedEntryNothing()
{
    // ".ut2" Maps, ".utx" Textures, ".u" System, nothing else.
    FFixture->SetSettingXml(u"destinations"_s,
                            u"<destination mask=\".ut2\">%maps%</destination>"
                            "<destination mask=\".utx\">%textures%</destination>"
                            "<destination mask=\".u\">%system%</destination>"
                            "<destination mask=\"*unknown_content\">%no_install%</destination>"_s);
    Game().WriteFile(u"Maps/DM-Foo.ut2"_s, "the old map");
    const QString good = Archive(u"a.zip"_s, TZipBuilder()
                                                 .Add("Maps/DM-Foo.ut2", "a better map")
                                                 .Add("Textures/Foo.utx", "texture")
                                                 .AddFolder("Docs/")
                                                 .Add("readme.txt", "read me")
                                                 .Add("../../../evil.u", "evil")
                                                 .Add("/abs/Bar.u", "bar")
                                                 .Add("C:\\x\\Baz.u", "baz")
                                                 .Add("..", "dots")
                                                 .AddLink("link.u", "../../../../outside.u"));
    // A first start makes the program's own folders, so that the next changes game files only.
    QCOMPARE(Run({u"/install"_s, Work(u"missing.zip"_s), u"-s"_s}), 1);
    QStringList expected = FileTree(FFixture->Root());
    // The shell's install verb replaces what exists; the refused entries make it a failure.
    QCOMPARE(Run({u"/install"_s, good, u"-s"_s}), 1);
    const QList<QPair<QString, QByteArray>> added = {{u"Maps/DM-Foo.ut2"_s, "a better map"},
                                                     {u"System/Bar.u"_s, "bar"},
                                                     {u"System/Baz.u"_s, "baz"},
                                                     {u"System/evil.u"_s, "evil"},
                                                     {u"Textures/Foo.utx"_s, "texture"}};
    expected.removeOne(u"UT2004/Maps/DM-Foo.ut2 11"_s);
    for (const auto& [file, bytes] : added) {
        QCOMPARE(Game().ReadFile(file), bytes);
        expected << u"UT2004/%1 %2"_s.arg(file).arg(bytes.size());
    }
    expected.sort();
    QCOMPARE(FileTree(FFixture->Root()), expected);

    TZipBuilderEntry damaged;
    damaged.Name = "DM-Foo.ut2";
    damaged.Data = SampleText(300000);
    damaged.Crc = 0xdeadbeef;
    const QString bad = Archive(u"bad.zip"_s, TZipBuilder().Add(damaged));
    const QStringList before = FileTree(Game().Root());
    QCOMPARE(Run({u"/install"_s, bad, u"-s"_s}), 1);
    QCOMPARE(FileTree(Game().Root()), before); // no temporary left either
    QCOMPARE(Game().ReadFile(u"Maps/DM-Foo.ut2"_s), QByteArray("a better map"));
}

void InstallRoadProgramTest::foldersFollowTheModeAndTheSwitches()
{
    FFixture->SetSettingXml(u"renames"_s, u"<rename mask=\"foo.u\">Bar.u</rename>"_s);
    const QString addon = Work(u"addon"_s);
    QVERIFY(WriteBytes(addon + u"/X.u"_s, "new x"));
    QVERIFY(WriteBytes(addon + u"/FOO.u"_s, "foo"));
    QVERIFY(WriteBytes(addon + u"/sub/Y.u"_s, "y"));
    Game().WriteFile(u"System/X.u"_s, "old x");
    const QString y = Game().Path(u"System/Y.u"_s);

    // "/install" of a folder: silent, existing files kept, recursion by the settings.
    FFixture->SetSetting(u"folderinstallmode"_s, u"fimNonRecursive"_s);
    QCOMPARE(Run({u"/install"_s, addon, u"-s"_s}), 0);
    QCOMPARE(Game().ReadFile(u"System/X.u"_s), QByteArray("old x"));
    QCOMPARE(Game().ReadFile(u"System/Bar.u"_s), QByteArray("foo"));
    QVERIFY(!QFile::exists(y));
    FFixture->SetSetting(u"folderinstallmode"_s, u"fimRecursive"_s);
    QCOMPARE(Run({u"/install"_s, addon, u"-S"_s}), 0);
    QCOMPARE(Game().ReadFile(u"System/X.u"_s), QByteArray("old x"));
    QCOMPARE(Game().ReadFile(u"System/Y.u"_s), QByteArray("y"));

    // "/installfolder": the working folder; "-r" counts only first, "-o" first or second.
    QVERIFY(QFile::remove(y));
    QCOMPARE(Run({u"/installfolder"_s, u"-o"_s, u"-r"_s}, addon), 0);
    QCOMPARE(Game().ReadFile(u"System/X.u"_s), QByteArray("new x"));
    QVERIFY(!QFile::exists(y));
    Game().WriteFile(u"System/X.u"_s, "old x");
    QCOMPARE(Run({u"/installfolder"_s, u"-r"_s, u"-o"_s}, addon), 0);
    QCOMPARE(Game().ReadFile(u"System/X.u"_s), QByteArray("new x"));
    QCOMPARE(Game().ReadFile(u"System/Y.u"_s), QByteArray("y"));
}

// 0 only when every file given was installed, left out by the rules or kept, and at least one
// was installed or kept; a refused name (one without a file name too), link, missing file or
// bomb is a 1, and writes nothing but what else the run was given.
void InstallRoadProgramTest::exitStatusesSayWhetherTheRunDidWhatItWasGiven()
{
    FFixture->SetSettingXml(u"destinations"_s,
                            u"<destination mask=\".u\">%system%</destination>"
                            "<destination mask=\".ut2\">%maps%</destination>"
                            "<destination mask=\"*unknown_content\">%no_install%</destination>"_s);
    FFixture->SetSetting(u"enablemapmanagercache"_s, u"True"_s);
    const QByteArray rtl = "evil\xE2\x80\xAEgnp.u"; // shows as "evilu.png"
    TZipBuilderEntry bomb{.Name = "Big.u", .Zeros = 1024 * 1024};
    for (int i = 1; i < 200; ++i)
        bomb.AlsoAs << "Big" + QByteArray::number(i) + ".u";
    const QString names = Work(u"names"_s);
    QVERIFY(WriteBytes(names + u"/"_s + QString::fromUtf8(rtl), "evil"));
    QDir().mkpath(Work(u"empty"_s));
    // Each folder holds a file kept as it is (no "-o"), which alone would be a success.
    Game().WriteFile(u"System/Kept.u"_s, "old");
    const QString kept = Work(u"kept"_s);
    const QString fillers = Work(u"fillers"_s);
    const QString dotted = Work(u"dotted"_s);
    for (const QString& folder : {kept, fillers, dotted})
        QVERIFY(WriteBytes(folder + u"/Kept.u"_s, "new"));
    QVERIFY(WriteBytes(fillers + u"/fill\u3164er.u"_s, "shows as fill er.u"));
    QVERIFY(WriteBytes(fillers + u"/line\u2028.u"_s, "shows as line.u"));
    QVERIFY(TZipBuilder()
                .Add("..", "x")
                .Add("x.u\\", "x")
                .Add("y.u/", "a folder's name, with data")
                .Write(dotted + u"/d.zip"_s));
    // "[Cache]" lines, in UTF-16 so that any name can stand there; data files for all GUIDs.
    const auto cache = [this](const QString& lines) {
        const QString text = u"[Cache]\r\n"_s + lines;
        Game().WriteFile(
            u"Cache/cache.ini"_s,
            "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
        for (const char* guid : {"EVIL-1", "RTL-1", "TEXT-1"})
            Game().WriteFile(u"Cache/%1.uxx"_s.arg(QLatin1String(guid)), "data");
    };
    struct TRow
    {
        const char* Name;
        QStringList Arguments;
        QString Folder;
        QString Index; // the cache index, for "/installcache"
        int Status;
        bool InstallsSome = false; // what else it was given is installed all the same
    };
    const QList<TRow> rows = {
        {"links",
         {u"/install"_s, Archive(u"l.zip"_s, TZipBuilder().AddLink("a.u", "../b.u")), u"-s"_s},
         {},
         {},
         1},
        {"names",
         {u"/install"_s,
          Archive(u"n.zip"_s,
                  TZipBuilder().Add("..", "x").Add(rtl, "x").Add("zero\xE2\x80\x8Bwidth.u", "x")),
          u"-s"_s},
         {},
         {},
         1},
        {"folders",
         {u"/install"_s, Archive(u"f.zip"_s, TZipBuilder().AddFolder("Maps/").AddFolder("Docs/")),
          u"-s"_s},
         {},
         {},
         1},
        {"no-install only",
         {u"/install"_s, Archive(u"r.zip"_s, TZipBuilder().Add("readme.txt", "r")), u"-s"_s},
         {},
         {},
         1},
        {"bomb", {u"/install"_s, Archive(u"b.zip"_s, TZipBuilder().Add(bomb)), u"-s"_s}, {}, {}, 1},
        {"missing", {u"/install"_s, Work(u"missing.zip"_s), u"-s"_s}, {}, {}, 1},
        {"installfolder, format character", {u"/installfolder"_s}, names, {}, 1},
        {"installfolder, nothing", {u"/installfolder"_s}, Work(u"empty"_s), {}, 1},
        {"installfolder, kept only", {u"/installfolder"_s}, kept, {}, 0},
        {"installfolder, names that show as nothing", {u"/installfolder"_s}, fillers, {}, 1},
        {"installfolder, entries without a file name", {u"/installfolder"_s}, dotted, {}, 1},
        {"installcache, no index", {u"/installcache"_s}, {}, {}, 0},
        {"installcache, hostile names",
         {u"/installcache"_s},
         {},
         u"EVIL-1=..\\..\\Evil.u\r\nRTL-1=evil\u202Egnp.u\r\n"_s,
         1},
        {"installcache, no-install only", {u"/installcache"_s}, {}, u"TEXT-1=notes.txt\r\n"_s, 1},
        {"installcache, data missing", {u"/installcache"_s}, {}, u"MISS-1=Missing.u\r\n"_s, 1},
        {"installcache, one installed, one missing",
         {u"/installcache"_s},
         {},
         u"TEXT-1=Cached.u\r\nMISS-1=Missing.u\r\n"_s,
         1,
         true},
        {"some left out",
         {u"/install"_s,
          Archive(u"m.zip"_s, TZipBuilder()
                                  .Add("Good.u", "good")
                                  .Add("Maps/DM-New.ut2", "map")
                                  .Add("readme.txt", "r")),
          u"-s"_s},
         {},
         {},
         0},
    };
    for (const TRow& row : rows) {
        if (!row.Index.isEmpty())
            cache(row.Index);
        const QStringList before = FileTree(Game().Root());
        QVERIFY2(Run(row.Arguments, row.Folder) == row.Status, row.Name);
        if (row.Status != 0 && !row.InstallsSome)
            QVERIFY2(FileTree(Game().Root()) == before, row.Name);
    }
    QCOMPARE(Game().ReadFile(u"System/Kept.u"_s), QByteArray("old"));
    QCOMPARE(Game().ReadFile(u"System/Cached.u"_s), QByteArray("data"));
    QCOMPARE(Game().ReadFile(u"System/Good.u"_s), QByteArray("good"));
    // The next start finds the installed map in the map cache.
    QList<TMapCacheItem> maps;
    QCOMPARE(ReadMapCache(FFixture->AppFile(u"cache.xml"_s), maps), TMapCacheRead::mcrLoaded);
    QVERIFY(std::any_of(maps.begin(), maps.end(), [](const TMapCacheItem& map) {
        return map.FileName.endsWith(u"DM-New.ut2"_s);
    }));
}

// Records that share one entry's data behind a directory a careless reader does not take, and a
// size no data can make: nothing is installed. A comment that holds an end record is no
// directory.
void InstallRoadProgramTest::hostileDirectoriesAndImpossibleSizesInstallNothing()
{
    constexpr qint64 KMiB = 1024 * 1024;
    const TZipBuilderEntry huge{
        .Name = "Huge.u", .Data = "x", .DeclaredSize = std::numeric_limits<qint64>::max()};
    const struct
    {
        const char* Name;
        TZipBuilder Builder;
        int Status;
    } rows[] = {
        {"two end records", SharedDataArchive(TZipEnd::zeTwoEnds, 40, KMiB), 1},
        {"zip64 end record", SharedDataArchive(TZipEnd::zeZip64Disagrees, 40, KMiB), 1},
        {"headers without signature", SharedDataArchive(TZipEnd::zeOne, 40, KMiB), 1},
        {"size beyond its data", TZipBuilder().Add("Good.u", "good").Add(huge), 1},
        {"comment", TZipBuilder().Add("Good.u", "good").SetComment(EndRecordComment()), 0},
    };
    for (const auto& row : rows) {
        const QStringList before = FileTree(Game().Root());
        const QString archive = Archive(u"%1.zip"_s.arg(QLatin1String(row.Name)), row.Builder);
        QVERIFY2(Run({u"/install"_s, archive, u"-s"_s}) == row.Status, row.Name);
        if (row.Status != 0)
            QVERIFY2(FileTree(Game().Root()) == before, row.Name);
    }
    QCOMPARE(Game().ReadFile(u"System/Good.u"_s), QByteArray("good"));
}

void InstallRoadProgramTest::aRealArchiveInstallsByTheUnknownContentRule()
{
    const QString archive = RealDataDir() + u"/archives/jsinis.zip"_s;
    if (RealDataDir().isEmpty() || !QFile::exists(archive))
        QSKIP("The real game files are not on this machine.");
    const QByteArray userIni = Game().ReadFile(u"System/User.ini"_s);
    QCOMPARE(Run({u"/install"_s, archive, u"-s"_s}), 0);

    // Its INI files have no rule of their own: the shipped rules send them to Help.
    QTemporaryDir expected;
    TZipArchive zip;
    QVERIFY(zip.Open(archive));
    QCOMPARE(zip.Count(), 2);
    for (int i = 0; i < zip.Count(); ++i) {
        const QString name = zip.FlatName(i);
        QVERIFY(zip.ExtractTo(i, expected.filePath(name)));
        QCOMPARE(Game().ReadFile(u"Help/"_s + name), ReadBytes(expected.filePath(name)));
    }
    QCOMPARE(Game().ReadFile(u"System/User.ini"_s), userIni);
}

void InstallRoadProgramTest::installCacheListsMapsOnlyWhenItInstalledOne()
{
    FFixture->SetSetting(u"enablemapmanagercache"_s, u"True"_s);
    // The first start writes the map cache; a map copied in by hand afterwards is not in it.
    QCOMPARE(Run({u"/installcache"_s}), 0);
    const QString cacheFile = FFixture->AppFile(u"cache.xml"_s);
    const QByteArray cache = ReadBytes(cacheFile);
    QVERIFY(cache.contains("<kovacache"));
    Game().WriteFile(u"Maps/DM-ByHand.ut2"_s, "by hand");
    const auto index = [this](const QByteArray& guid, const QByteArray& name) {
        Game().WriteFile(u"Cache/cache.ini"_s,
                         "[Cache]\r\nMISS-1=Missing.ut2\r\n" + guid + "=" + name + "\r\n");
        Game().WriteFile(u"Cache/%1.uxx"_s.arg(QLatin1String(guid)), name);
    };

    // A run that installed no map (and failed for a map without its file) leaves the list alone.
    index("CODE-1", "Code.u");
    QCOMPARE(Run({u"/installcache"_s}), 1);
    QCOMPARE(Game().ReadFile(u"System/Code.u"_s), QByteArray("Code.u"));
    QCOMPARE(ReadBytes(cacheFile), cache);

    // A run that installed a map lists the maps folder as it stands.
    index("MAP-1", "DM-Cached.ut2");
    QCOMPARE(Run({u"/installcache"_s}), 1);
    QList<TMapCacheItem> maps;
    QCOMPARE(ReadMapCache(cacheFile, maps), TMapCacheRead::mcrLoaded);
    QStringList names;
    for (const TMapCacheItem& map : maps)
        names << QFileInfo(map.FileName).fileName();
    names.sort();
    QCOMPARE(names, (QStringList{u"DM-ByHand.ut2"_s, u"DM-Cached.ut2"_s}));
}

QTEST_MAIN(InstallRoadProgramTest)
#include "InstallRoadProgramTest.moc"

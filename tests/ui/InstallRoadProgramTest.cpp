#include "TProgramFixture.h"
#include "TZipArchive.h"
#include "TZipBuilder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// "/install" and "/installfolder" as the shell integration runs them: the real program, silent,
// judged by its exit status and by what it did to the files.
class InstallRoadProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void aHostileArchiveInstallsOnlyItsTargets();
    void aDamagedEntryNeverReplacesAFile();
    void foldersFollowTheModeAndTheSwitches();
    void aRealArchiveInstallsByTheUnknownContentRule();

private:
    // The program's exit status, or -1 when it did not end normally.
    int Run(const QStringList& arguments, const QString& workingDir = {}) const;
    QString Work(const QString& relative) const;
    QString Archive(const QString& name, const TZipBuilder& builder) const;
    const TGameFolder& Game() const { return FFixture->Game(); }

    std::unique_ptr<TProgramFixture> FFixture;
};

namespace {

// ".ut2" Maps, ".utx" Textures, ".u" System, nothing else.
const QString KTightRules =
    QStringLiteral("<destination mask=\".ut2\">%maps%</destination>"
                   "<destination mask=\".utx\">%textures%</destination>"
                   "<destination mask=\".u\">%system%</destination>"
                   "<destination mask=\"*unknown_content\">%no_install%</destination>");

// What Before lacks of After ("+ name size") and what After lacks of Before ("- name size").
QStringList Changes(const QStringList& before, const QStringList& after)
{
    QStringList changes;
    for (const QString& item : after) {
        if (!before.contains(item))
            changes << QStringLiteral("+ ") + item;
    }
    for (const QString& item : before) {
        if (!after.contains(item))
            changes << QStringLiteral("- ") + item;
    }
    return changes;
}

} // namespace

void InstallRoadProgramTest::init()
{
    FFixture = std::make_unique<TProgramFixture>();
    QDir(FFixture->Root()).mkpath(QStringLiteral("work"));
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
    return FFixture->Root() + QStringLiteral("/work/") + relative;
}

QString InstallRoadProgramTest::Archive(const QString& name, const TZipBuilder& builder) const
{
    const QString path = Work(name);
    if (!builder.Write(path))
        qFatal("Cannot write %s", qPrintable(path));
    return path;
}

void InstallRoadProgramTest::aHostileArchiveInstallsOnlyItsTargets()
{
    FFixture->SetSettingXml(QStringLiteral("destinations"), KTightRules);
    const QString archive =
        Archive(QStringLiteral("a.zip"), TZipBuilder()
                                             .Add("Maps/DM-Foo.ut2", "map")
                                             .Add("Textures/Foo.utx", "texture")
                                             .AddFolder("Docs/")
                                             .Add("readme.txt", "read me")
                                             .Add("../../../evil.u", "evil")
                                             .Add("/abs/Bar.u", "bar")
                                             .Add("C:\\x\\Baz.u", "baz")
                                             .Add("..", "dots")
                                             .AddLink("link.u", "../../../../outside.u"));
    // A first start makes the program's own folders, so that the second changes game files only.
    QCOMPARE(Run({QStringLiteral("/install"), Work(QStringLiteral("missing.zip")),
                  QStringLiteral("-s")}),
             1);
    const QStringList before = FileTree(FFixture->Root());

    QCOMPARE(Run({QStringLiteral("/install"), archive, QStringLiteral("-s")}), 0);
    QCOMPARE(Changes(before, FileTree(FFixture->Root())),
             (QStringList{"+ UT2004/Maps/DM-Foo.ut2 3", "+ UT2004/System/Bar.u 3",
                          "+ UT2004/System/Baz.u 3", "+ UT2004/System/evil.u 4",
                          "+ UT2004/Textures/Foo.utx 7"}));
    QCOMPARE(Game().ReadFile(QStringLiteral("Maps/DM-Foo.ut2")), QByteArray("map"));
    QCOMPARE(Game().ReadFile(QStringLiteral("Textures/Foo.utx")), QByteArray("texture"));
    QCOMPARE(Game().ReadFile(QStringLiteral("System/evil.u")), QByteArray("evil"));
    QCOMPARE(Game().ReadFile(QStringLiteral("System/Bar.u")), QByteArray("bar"));
    QCOMPARE(Game().ReadFile(QStringLiteral("System/Baz.u")), QByteArray("baz"));
}

void InstallRoadProgramTest::aDamagedEntryNeverReplacesAFile()
{
    Game().WriteFile(QStringLiteral("Maps/DM-Foo.ut2"), "the old map");
    const QString good =
        Archive(QStringLiteral("good.zip"), TZipBuilder().Add("DM-Foo.ut2", "a better map"));
    // The shell's install verb replaces what exists.
    QCOMPARE(Run({QStringLiteral("/install"), good, QStringLiteral("-s")}), 0);
    QCOMPARE(Game().ReadFile(QStringLiteral("Maps/DM-Foo.ut2")), QByteArray("a better map"));

    TZipBuilderEntry damaged;
    damaged.Name = "DM-Foo.ut2";
    damaged.Data = SampleText(300000);
    damaged.Crc = 0xdeadbeef;
    const QString bad = Archive(QStringLiteral("bad.zip"), TZipBuilder().Add(damaged));
    const QStringList before = FileTree(Game().Root());
    QCOMPARE(Run({QStringLiteral("/install"), bad, QStringLiteral("-s")}), 1);
    QCOMPARE(FileTree(Game().Root()), before); // no temporary left either
    QCOMPARE(Game().ReadFile(QStringLiteral("Maps/DM-Foo.ut2")), QByteArray("a better map"));
}

void InstallRoadProgramTest::foldersFollowTheModeAndTheSwitches()
{
    FFixture->SetSettingXml(QStringLiteral("renames"),
                            QStringLiteral("<rename mask=\"foo.u\">Bar.u</rename>"));
    const QString addon = Work(QStringLiteral("addon"));
    QVERIFY(WriteBytes(addon + QStringLiteral("/X.u"), "new x"));
    QVERIFY(WriteBytes(addon + QStringLiteral("/FOO.u"), "foo"));
    QVERIFY(WriteBytes(addon + QStringLiteral("/sub/Y.u"), "y"));
    Game().WriteFile(QStringLiteral("System/X.u"), "old x");
    const QString y = Game().Path(QStringLiteral("System/Y.u"));

    // "/install" of a folder: silent, existing files kept, recursion by the settings.
    FFixture->SetSetting(QStringLiteral("folderinstallmode"), QStringLiteral("fimNonRecursive"));
    QCOMPARE(Run({QStringLiteral("/install"), addon, QStringLiteral("-s")}), 0);
    QCOMPARE(Game().ReadFile(QStringLiteral("System/X.u")), QByteArray("old x"));
    QCOMPARE(Game().ReadFile(QStringLiteral("System/Bar.u")), QByteArray("foo"));
    QVERIFY(!QFile::exists(y));
    FFixture->SetSetting(QStringLiteral("folderinstallmode"), QStringLiteral("fimRecursive"));
    QCOMPARE(Run({QStringLiteral("/install"), addon, QStringLiteral("-S")}), 0);
    QCOMPARE(Game().ReadFile(QStringLiteral("System/X.u")), QByteArray("old x"));
    QCOMPARE(Game().ReadFile(QStringLiteral("System/Y.u")), QByteArray("y"));

    // "/installfolder": the working folder; "-r" counts only first, "-o" first or second.
    QVERIFY(QFile::remove(y));
    QCOMPARE(
        Run({QStringLiteral("/installfolder"), QStringLiteral("-o"), QStringLiteral("-r")}, addon),
        0);
    QCOMPARE(Game().ReadFile(QStringLiteral("System/X.u")), QByteArray("new x"));
    QVERIFY(!QFile::exists(y));
    Game().WriteFile(QStringLiteral("System/X.u"), "old x");
    QCOMPARE(
        Run({QStringLiteral("/installfolder"), QStringLiteral("-r"), QStringLiteral("-o")}, addon),
        0);
    QCOMPARE(Game().ReadFile(QStringLiteral("System/X.u")), QByteArray("new x"));
    QCOMPARE(Game().ReadFile(QStringLiteral("System/Y.u")), QByteArray("y"));
}

void InstallRoadProgramTest::aRealArchiveInstallsByTheUnknownContentRule()
{
    const QString archive = RealDataDir() + QStringLiteral("/archives/jsinis.zip");
    if (RealDataDir().isEmpty() || !QFile::exists(archive))
        QSKIP("The real game files are not on this machine.");
    const QByteArray userIni = Game().ReadFile(QStringLiteral("System/User.ini"));
    QCOMPARE(Run({QStringLiteral("/install"), archive, QStringLiteral("-s")}), 0);

    // Its INI files have no rule of their own: the shipped rules send them to Help.
    QTemporaryDir expected;
    TZipArchive zip;
    QVERIFY(zip.Open(archive));
    QCOMPARE(zip.Count(), 2);
    for (int i = 0; i < zip.Count(); ++i) {
        const QString name = zip.FlatName(i);
        QVERIFY(zip.ExtractTo(i, expected.filePath(name)));
        QCOMPARE(Game().ReadFile(QStringLiteral("Help/") + name),
                 ReadBytes(expected.filePath(name)));
    }
    QCOMPARE(Game().ReadFile(QStringLiteral("System/User.ini")), userIni);
}

QTEST_MAIN(InstallRoadProgramTest)
#include "InstallRoadProgramTest.moc"

#include "ProgramFolders.h"
#include "TFileProtection.h"
#include "TKOVALanguage.h"
#include "TKOVASettings.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"
#include "TUT2003Profile.h"
#include "TfrmMain.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

#include <sys/stat.h>

using TKind = TScriptedDialogs::TKind;

// Where the program keeps the user's files: per user through the desktop's folders, apart from
// what it ships, or all beside the program when it is portable.
class KOVAUserFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void firstStartMakesTheUsersFilesAndLeavesTheProgramFolder();
    void eachHomeKeepsItsOwnSettingsAndProfiles();
    void portableKeepsEverythingBesideTheProgram();
    void externalSettingsFile_data();
    void externalSettingsFile();
    void readOnlyProgramFolderStartsAndSaves();
};

namespace {

QStringList Tree(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << it.next().mid(root.size());
    entries.sort();
    return entries;
}

// A managed profile file.
const QByteArray KProfile = "[UT2004KOVA]\r\nProfileName=Mine\r\n"
                            "ID={6B29FC40-CA47-1067-B31D-00DD010662DB}\r\n";

} // namespace

void KOVAUserFilesTest::firstStartMakesTheUsersFilesAndLeavesTheProgramFolder()
{
    TProgramFixture fixture(false);
    TScriptedDialogs dialogs;
    const TTempEnvironment& environment = fixture.Environment();
    const QByteArray shipped = ReadBytes(fixture.AppFile(QStringLiteral("settings.xml")));
    // A language of the user's own, beside the shipped one.
    fixture.AddLanguage(QStringLiteral("de"), QStringLiteral("Deutsch"), QStringLiteral("DE "));
    const QString userLanguage = environment.DataHome() + QStringLiteral("/kova/Lang.de");
    QDir().mkpath(environment.DataHome() + QStringLiteral("/kova"));
    QVERIFY(QFile::rename(fixture.AppFile(QStringLiteral("Lang.de")), userLanguage));
    const QStringList programFolder = Tree(fixture.AppDir());

    {
        std::unique_ptr<TfrmMain> window = fixture.CreateMainWindow();
        QCOMPARE(window->StartupState(), TStartupState::ssRunning);
        QCOMPARE(window->Settings().FileName,
                 environment.ConfigHome() + QStringLiteral("/kova/settings.xml"));
        QCOMPARE(fixture.ReadSettings(), shipped);
        QVERIFY(QDir(environment.DataHome() + QStringLiteral("/kova/Profiles/Backups")).exists());
        QCOMPARE(window->Profiles()->ProfilesDir(),
                 environment.DataHome() + QStringLiteral("/kova/Profiles/"));
        QCOMPARE(window->Folders().MapCacheFile(),
                 environment.Root() + QStringLiteral("/home/.cache/kova/cache.xml"));
        QVERIFY(window->LanguageManager().IndexOfFile(userLanguage) >= 0);

        // The user's change is saved where the user's settings are.
        window->Settings().Language = QStringLiteral("de");
        QVERIFY(window->Settings().SaveToFile());
    }
    QCOMPARE(Tree(fixture.AppDir()), programFolder);

    // A new shipped default (an update) never replaces what the user has.
    WriteBytes(fixture.AppFile(QStringLiteral("settings.xml")),
               QByteArray(shipped).replace("<language>int</language>", "<language>xx</language>"));
    std::unique_ptr<TfrmMain> again = fixture.CreateMainWindow();
    QCOMPARE(again->StartupState(), TStartupState::ssRunning);
    QCOMPARE(again->LanguageManager().GetCurrentLanguage()->FileName(), userLanguage);
    QVERIFY(fixture.ReadSettings().contains("<language>de</language>"));
    QCOMPARE(dialogs.Calls().size(), 0);
}

void KOVAUserFilesTest::eachHomeKeepsItsOwnSettingsAndProfiles()
{
    TProgramFixture fixture(false);
    TScriptedDialogs dialogs;
    // Without XDG_* the user's folders follow HOME alone.
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qunsetenv(name);
    QTemporaryDir first;
    QTemporaryDir second;

    qputenv("HOME", QFile::encodeName(first.path()));
    {
        std::unique_ptr<TfrmMain> window = fixture.CreateMainWindow();
        QVERIFY(!window->Settings().EnableMapManagerCache);
        window->Settings().EnableMapManagerCache = true;
        QVERIFY(window->Settings().SaveToFile());
        QVERIFY(
            WriteBytes(window->Profiles()->ProfilesDir() + QStringLiteral("Mine.ini"), KProfile));
    }
    QVERIFY(QFile::exists(first.filePath(QStringLiteral(".local/share/kova/Profiles/Mine.ini"))));

    qputenv("HOME", QFile::encodeName(second.path()));
    {
        std::unique_ptr<TfrmMain> window = fixture.CreateMainWindow();
        QVERIFY(!window->Settings().EnableMapManagerCache);
        QCOMPARE(window->Settings().FileName,
                 second.filePath(QStringLiteral(".config/kova/settings.xml")));
        QCOMPARE(window->Profiles()->IndexOf(QStringLiteral("Mine")), -1);
    }

    qputenv("HOME", QFile::encodeName(first.path()));
    std::unique_ptr<TfrmMain> window = fixture.CreateMainWindow();
    QVERIFY(window->Settings().EnableMapManagerCache);
    QVERIFY(window->Profiles()->IndexOf(QStringLiteral("Mine")) >= 0);
    QCOMPARE(dialogs.Calls().size(), 0);
}

void KOVAUserFilesTest::portableKeepsEverythingBesideTheProgram()
{
    TProgramFixture fixture;
    TScriptedDialogs dialogs;
    fixture.SetSetting(QStringLiteral("enablemapmanagercache"), QStringLiteral("True"));
    WriteMap(fixture.Game(), QStringLiteral("DM-First.ut2"), "First", "Ann");
    const QStringList home = Tree(fixture.Environment().Home());

    std::unique_ptr<TfrmMain> window = fixture.CreateMainWindow();
    QCOMPARE(window->StartupState(), TStartupState::ssRunning);
    QCOMPARE(window->Settings().FileName, fixture.AppFile(QStringLiteral("settings.xml")));
    QVERIFY(QDir(fixture.AppFile(QStringLiteral("Profiles/Backups"))).exists());
    QCOMPARE(window->Profiles()->ProfilesDir(), fixture.AppFile(QStringLiteral("Profiles/")));
    QVERIFY(QFile::exists(fixture.AppFile(QStringLiteral("cache.xml"))));
    QCOMPARE(window->Folders().TransferDir(), fixture.AppDir());
    QCOMPARE(Tree(fixture.Environment().Home()), home);
    QCOMPARE(dialogs.Calls().size(), 0);
}

void KOVAUserFilesTest::externalSettingsFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("usedFolder"); // empty: none, the start-up fails
    QTest::newRow("in the configuration folder") << QStringLiteral("other.xml") << "config";
    QTest::newRow("in the program folder only") << QStringLiteral("program.xml") << "program";
    QTest::newRow("in neither") << QStringLiteral("missing.xml") << QString();
    QTest::newRow("an absolute path") << QStringLiteral("<root>/other.xml") << QString();
}

void KOVAUserFilesTest::externalSettingsFile()
{
    QFETCH(QString, name);
    QFETCH(QString, usedFolder);
    TProgramFixture fixture(false);
    TScriptedDialogs dialogs;
    const QString config = fixture.Environment().ConfigHome() + QStringLiteral("/kova");
    // Each place names another game folder, so the one read shows.
    const std::unique_ptr<TGameFolder> inConfig = fixture.MakeGameFolder(QStringLiteral("Cfg"));
    const std::unique_ptr<TGameFolder> inProgram = fixture.MakeGameFolder(QStringLiteral("Prg"));
    const QByteArray shipped = ReadBytes(fixture.AppFile(QStringLiteral("settings.xml")));
    const QByteArray game = fixture.Game().Root().toUtf8();
    WriteBytes(config + QStringLiteral("/other.xml"),
               QByteArray(shipped).replace(game, inConfig->Root().toUtf8()));
    for (const QString& file : {QStringLiteral("other.xml"), QStringLiteral("program.xml")})
        WriteBytes(fixture.AppFile(file),
                   QByteArray(shipped).replace(game, inProgram->Root().toUtf8()));
    WriteBytes(fixture.Root() + QStringLiteral("/other.xml"), shipped);
    name.replace(QStringLiteral("<root>"), fixture.Root());

    std::unique_ptr<TfrmMain> window =
        fixture.CreateMainWindow({QStringLiteral("/external"), name});
    if (usedFolder.isEmpty()) {
        // Never a silent fall-back to the default settings: the message names both places.
        QCOMPARE(window->StartupState(), TStartupState::ssSettingsFailed);
        QCOMPARE(dialogs.Calls().size(), 1);
        QCOMPARE(dialogs.Calls().first().Type, TMsgDlgType::mtError);
        QVERIFY(dialogs.Calls().first().Text.contains(name));
        QVERIFY(dialogs.Calls().first().Text.contains(config));
        QVERIFY(dialogs.Calls().first().Text.contains(fixture.AppDir()));
        return;
    }
    QCOMPARE(window->StartupState(), TStartupState::ssRunning);
    const TGameFolder& used = usedFolder == QLatin1String("config") ? *inConfig : *inProgram;
    QCOMPARE(window->Settings().UTDir, used.Root() + QLatin1Char('/'));
    QCOMPARE(window->Settings().FileName, usedFolder == QLatin1String("config")
                                               ? config + QStringLiteral("/other.xml")
                                               : fixture.AppFile(name));
    QCOMPARE(dialogs.Calls().size(), 0);
}

void KOVAUserFilesTest::readOnlyProgramFolderStartsAndSaves()
{
    // Installed for everyone: the program folder is not the user's. The user's own folders are
    // opened to the unprivileged user the protection runs as.
    TProgramFixture fixture(false);
    TScriptedDialogs dialogs;
    const QString envRoot = fixture.Environment().Root();
    QVERIFY(SetMode(envRoot, 0777));
    for (const QString& entry : Tree(envRoot))
        QVERIFY(SetMode(envRoot + entry, 0777));
    const QStringList programFolder = Tree(fixture.AppDir());
    QVERIFY(SetMode(fixture.AppFile(QStringLiteral("settings.xml")), 0444));
    QVERIFY(SetMode(fixture.AppDir(), 0555));
    {
        TFileProtection protection(fixture.Root());
        std::unique_ptr<TfrmMain> window = fixture.CreateMainWindow();
        QCOMPARE(window->StartupState(), TStartupState::ssRunning);
        window->Settings().EnableMapManagerCache = true;
        QVERIFY(window->Settings().SaveToFile());
    }
    SetMode(fixture.AppDir(), 0755);
    QVERIFY(fixture.ReadSettings().contains("<enablemapmanagercache>True</enablemapmanagercache>"));
    QCOMPARE(Tree(fixture.AppDir()), programFolder);
    QCOMPARE(dialogs.Calls().size(), 0);
}

QTEST_MAIN(KOVAUserFilesTest)
#include "KOVAUserFilesTest.moc"

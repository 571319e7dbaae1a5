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

using namespace Qt::StringLiterals;

// Where the program keeps the user's files: per user through the desktop's folders, apart from
// what it ships, or all beside the program when it is portable.
class KOVAUserFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void firstStartMakesTheUsersFilesAndLeavesTheProgramFolder();
    void portableKeepsEverythingBesideTheProgram();
    void externalSettingsFile_data();
    void externalSettingsFile();
    void readOnlyProgramFolderStartsAndSaves();
};

void KOVAUserFilesTest::firstStartMakesTheUsersFilesAndLeavesTheProgramFolder()
{
    TProgramFixture fixture(false);
    TScriptedDialogs dialogs;
    const TTempEnvironment& environment = fixture.Environment();
    const QByteArray shipped = ReadBytes(fixture.AppFile(u"settings.xml"_s));
    // A language of the user's own, beside the shipped one.
    fixture.AddLanguage(u"de"_s, u"Deutsch"_s, u"DE "_s);
    const QString userLanguage = environment.DataHome() + u"/kova/Lang.de"_s;
    QDir().mkpath(environment.DataHome() + u"/kova"_s);
    QVERIFY(QFile::rename(fixture.AppFile(u"Lang.de"_s), userLanguage));
    const QStringList programFolder = FileTree(fixture.AppDir());

    {
        std::unique_ptr<TfrmMain> window = fixture.CreateMainWindow();
        QCOMPARE(window->StartupState(), TStartupState::ssRunning);
        QCOMPARE(window->Settings().FileName, environment.ConfigHome() + u"/kova/settings.xml"_s);
        QCOMPARE(fixture.ReadSettings(), shipped);
        QCOMPARE(window->Profiles()->ProfilesDir(), environment.DataHome() + u"/kova/Profiles/"_s);
        QVERIFY(window->LanguageManager().IndexOfFile(userLanguage) >= 0);

        // The user's change is saved where the user's settings are.
        window->Settings().Language = u"de"_s;
        QVERIFY(window->Settings().SaveToFile());
    }
    QCOMPARE(FileTree(fixture.AppDir()), programFolder);

    // A new shipped default (an update) never replaces what the user has.
    WriteBytes(fixture.AppFile(u"settings.xml"_s),
               QByteArray(shipped).replace("<language>int</language>", "<language>xx</language>"));
    std::unique_ptr<TfrmMain> again = fixture.CreateMainWindow();
    QCOMPARE(again->StartupState(), TStartupState::ssRunning);
    QCOMPARE(again->LanguageManager().GetCurrentLanguage()->FileName(), userLanguage);
    QVERIFY(fixture.ReadSettings().contains("<language>de</language>"));
    QCOMPARE(dialogs.Calls().size(), 0);
}

void KOVAUserFilesTest::portableKeepsEverythingBesideTheProgram()
{
    TProgramFixture fixture;
    TScriptedDialogs dialogs;
    fixture.SetSetting(u"enablemapmanagercache"_s, u"True"_s);
    WriteMap(fixture.Game(), u"DM-First.ut2"_s, "First", "Ann");
    const QStringList home = FileTree(fixture.Environment().Home());

    std::unique_ptr<TfrmMain> window = fixture.CreateMainWindow();
    QCOMPARE(window->StartupState(), TStartupState::ssRunning);
    QCOMPARE(window->Settings().FileName, fixture.AppFile(u"settings.xml"_s));
    QCOMPARE(window->Profiles()->ProfilesDir(), fixture.AppFile(u"Profiles/"_s));
    QVERIFY(QFile::exists(fixture.AppFile(u"cache.xml"_s)));
    QCOMPARE(FileTree(fixture.Environment().Home()), home);
    QCOMPARE(dialogs.Calls().size(), 0);
}

void KOVAUserFilesTest::externalSettingsFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("usedFolder"); // empty: none, the start-up fails
    QTest::newRow("in the configuration folder") << u"other.xml"_s << "config";
    QTest::newRow("in the program folder only") << u"program.xml"_s << "program";
    QTest::newRow("in neither") << u"missing.xml"_s << QString();
    QTest::newRow("an absolute path") << u"<root>/other.xml"_s << QString();
}

void KOVAUserFilesTest::externalSettingsFile()
{
    QFETCH(QString, name);
    QFETCH(QString, usedFolder);
    TProgramFixture fixture(false);
    TScriptedDialogs dialogs;
    const QString config = fixture.Environment().ConfigHome() + u"/kova"_s;
    // Each place names another game folder, so the one read shows.
    const std::unique_ptr<TGameFolder> inConfig = fixture.MakeGameFolder(u"Cfg"_s);
    const std::unique_ptr<TGameFolder> inProgram = fixture.MakeGameFolder(u"Prg"_s);
    const QByteArray shipped = ReadBytes(fixture.AppFile(u"settings.xml"_s));
    const QByteArray game = fixture.Game().Root().toUtf8();
    WriteBytes(config + u"/other.xml"_s,
               QByteArray(shipped).replace(game, inConfig->Root().toUtf8()));
    for (const QString& file : {u"other.xml"_s, u"program.xml"_s})
        WriteBytes(fixture.AppFile(file),
                   QByteArray(shipped).replace(game, inProgram->Root().toUtf8()));
    WriteBytes(fixture.Root() + u"/other.xml"_s, shipped);
    name.replace(u"<root>"_s, fixture.Root());

    std::unique_ptr<TfrmMain> window = fixture.CreateMainWindow({u"/external"_s, name});
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
                                              ? config + u"/other.xml"_s
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
    QDirIterator entries(envRoot, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext())
        QVERIFY(SetMode(entries.next(), 0777));
    const QStringList programFolder = FileTree(fixture.AppDir());
    QVERIFY(SetMode(fixture.AppFile(u"settings.xml"_s), 0444));
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
    QCOMPARE(FileTree(fixture.AppDir()), programFolder);
    QCOMPARE(dialogs.Calls().size(), 0);
}

QTEST_MAIN(KOVAUserFilesTest)
#include "KOVAUserFilesTest.moc"

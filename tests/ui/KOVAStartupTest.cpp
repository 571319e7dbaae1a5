#include "KOVAApplication.h"
#include "SingleInstance.h"
#include "TKOVASettings.h"
#include "TMapManager.h"
#include "TPageTest.h"
#include "TScreenShotManager.h"
#include "TServerPackageEditor.h"
#include "TUpdateCache.h"
#include "uKOVA_MapCache.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;

// The program's start-up as a user meets it: over a set-up program folder, at the first run,
// and when it cannot start.
class KOVAStartupTest : public TPageTest
{
    Q_OBJECT

private slots:
    void startsOverAFixtureGameFolder();
    void gameFolderIsDetectedAndKept_data();
    void gameFolderIsDetectedAndKept();
    void fatalErrorsEndBeforeAnyWindow_data();
    void fatalErrorsEndBeforeAnyWindow();
    void firstRunAsksLanguageThenCacheAndKeepsTheAnswers();
    void firstRunLanguageDialogClosedWithEscape_data();
    void firstRunLanguageDialogClosedWithEscape();
    void secondInstanceIsRefused();
    void aLockThatCannotBeTakenIsSaid();

private:
    void Prepare() override;
    static bool AnyWindowVisible();
};

namespace {

const QString KFatalCaption = u"Fatal Error"_s;
const QString KNoLanguageFile =
    QStringLiteral("Fatal Error: No language file was found. KOVA cannot be started.\n"
                   "Please reconfigure the settings.xml file or re-install KOVA.");
const QString KNoLanguageChosen =
    QStringLiteral("Fatal Error: No language was chosen. KOVA cannot be started without one.\n"
                   "Start KOVA again to choose your language.");
const QString KLanguageMissing = QStringLiteral(
    "Fatal Error: KOVA was not able to locate the selected language file. GUI cannot be "
    "initialized.\nPlease reconfigure the settings.xml file or re-install KOVA.");

enum TFatalCase
{
    fcNoLanguageFile,
    fcLanguageMissing,
    fcLanguageDamaged,
    fcSettingsCutShort,
    fcSettingsOfAnotherKind,
    fcSettingsMissing
};

} // namespace

void KOVAStartupTest::Prepare()
{
    WriteMap(FFixture->Game(), u"DM-First.ut2"_s, "First", "Ann");
    WriteMap(FFixture->Game(), u"CTF-Second.ut2"_s, "Second", "Bob");
    WriteScreenshot(FFixture->Game(), u"Shot00001.bmp"_s);
    WriteScreenshot(FFixture->Game(), u"Shot00002.bmp"_s);
}

bool KOVAStartupTest::AnyWindowVisible()
{
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(),
                       [](const QWidget* window) { return window->isVisible(); });
}

void KOVAStartupTest::startsOverAFixtureGameFolder()
{
    FFixture->AddLanguage(u"de"_s, u"Deutsch"_s, u"DE "_s);
    FFixture->SetSetting(u"language"_s, u"de"_s);
    const QByteArray settings = FFixture->ReadSettings();

    TKOVAStartup startup;
    QVERIFY(startup.Start(FFixture->AppDir(), FFixture->Arguments()));
    TfrmMain* window = startup.MainWindow();
    QVERIFY(window);
    QCOMPARE(startup.ExitStatus(), 0);

    // Created over the fixture folder, nothing shown yet; the first showing is in the chosen
    // language.
    QCOMPARE(window->MapManager()->GetCount(), 2);
    QCOMPARE(window->ScreenShotManager()->GetCount(), 2);
    QVERIFY(!AnyWindowVisible());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto* pages = Child<QTabWidget>(window, u"pgMain"_s);
    QCOMPARE(pages->currentWidget()->objectName(), u"tbConfiguration"_s);
    for (int i = 0; i < pages->count(); ++i)
        QVERIFY2(pages->tabText(i).startsWith(QLatin1String("DE ")), qPrintable(pages->tabText(i)));
    QCOMPARE(window->ServerPackageEditor()->windowTitle(), u"DE ServerPackage Editor"_s);

    // A normal start asks nothing and saves nothing.
    QCOMPARE(FDialogs->Calls().size(), 0);
    QCOMPARE(FFixture->ReadSettings(), settings);
}

void KOVAStartupTest::gameFolderIsDetectedAndKept_data()
{
    QTest::addColumn<bool>("fromRegistry");
    QTest::newRow("from the registry") << true;
    QTest::newRow("at the fallback folder") << false;
}

void KOVAStartupTest::gameFolderIsDetectedAndKept()
{
    QFETCH(bool, fromRegistry);
    FFixture->SetSetting(u"utdir"_s, QString());
    const QString driveC = FFixture->Environment().WinePrefix() + u"/drive_c"_s;
    const TGameFolder found(driveC, fromRegistry ? u"Games"_s : u"UT2004"_s);
    WriteMap(found, u"DM-Found.ut2"_s, "Found", "Fay");
    if (fromRegistry)
        FFixture->Environment().RegisterGameFolder("C:\\\\Games");

    TKOVAStartup startup;
    QVERIFY(startup.Start(FFixture->AppDir(), FFixture->Arguments()));
    TfrmMain* window = startup.MainWindow();

    // Taken, saved, and the maps follow it.
    QCOMPARE(window->Settings().UTDir, found.Root() + QLatin1Char('/'));
    QVERIFY(FFixture->ReadSettings().contains("<utdir>" + found.Root().toUtf8()));
    QCOMPARE(window->MapManager()->GetItem(0)->FileName(), found.Path(u"Maps/DM-Found.ut2"_s));
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), fromRegistry ? 0 : 1);
}

void KOVAStartupTest::fatalErrorsEndBeforeAnyWindow_data()
{
    QTest::addColumn<int>("failure");
    // Each must be in the message; "<settings>" and "<lang>" stand for the files' paths.
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("no language file") << int(fcNoLanguageFile) << QStringList{KNoLanguageFile};
    QTest::newRow("selected language missing")
        << int(fcLanguageMissing) << QStringList{KLanguageMissing};
    QTest::newRow("language file empty")
        << int(fcLanguageDamaged)
        << QStringList{"The language file \"<lang>\" cannot be used: it is empty."};
    // Where the file is damaged and why, in the words of this platform.
    QTest::newRow("settings cut short")
        << int(fcSettingsCutShort)
        << QStringList{"The settings file \"<settings>\" is not valid XML: ", " at line ",
                       ", column "};
    QTest::newRow("settings of another kind")
        << int(fcSettingsOfAnotherKind)
        << QStringList{"\"<settings>\" is not a settings file of KOVA: its root element is "
                       "<mapcache>"};
    QTest::newRow("settings missing") << int(fcSettingsMissing) << QStringList{"<settings>"};
}

void KOVAStartupTest::fatalErrorsEndBeforeAnyWindow()
{
    QFETCH(int, failure);
    QFETCH(QStringList, texts);
    switch (failure) {
    case fcNoLanguageFile:
        QVERIFY(QFile::remove(FFixture->AppFile(u"Lang.int"_s)));
        break;
    case fcLanguageMissing:
        FFixture->SetSetting(u"language"_s, u"xx"_s);
        break;
    case fcLanguageDamaged:
        WriteBytes(FFixture->AppFile(u"Lang.int"_s), QByteArray());
        break;
    case fcSettingsCutShort:
        WriteBytes(FFixture->SettingsFile(), FFixture->ReadSettings().left(300));
        break;
    case fcSettingsOfAnotherKind:
        WriteBytes(FFixture->SettingsFile(),
                   FFixture->ReadSettings().replace("kovasettings>", "mapcache>"));
        break;
    case fcSettingsMissing:
        QVERIFY(QFile::remove(FFixture->SettingsFile()));
        break;
    }
    const QByteArray settings = FFixture->ReadSettings();

    TKOVAStartup startup;
    QVERIFY(!startup.Start(FFixture->AppDir(), FFixture->Arguments()));
    QVERIFY(startup.ExitStatus() != 0);
    QVERIFY(!AnyWindowVisible());

    // One error box, and nothing of the start-up after it.
    QCOMPARE(FDialogs->Calls().size(), 1);
    const TCall& call = FDialogs->Calls().first();
    QCOMPARE(call.Type, TMsgDlgType::mtError);
    QCOMPARE(call.Caption, KFatalCaption);
    for (QString text : texts) {
        text.replace(u"<settings>"_s, FFixture->SettingsFile());
        text.replace(u"<lang>"_s, FFixture->AppFile(u"Lang.int"_s));
        QVERIFY2(call.Text.contains(text), qPrintable(call.Text));
    }
    QVERIFY(!call.Text.contains(QLatin1String("Microsoft")));
    QVERIFY(!QDir(FFixture->AppFile(u"Profiles"_s)).exists());
    QCOMPARE(FFixture->ReadSettings(), settings);
}

void KOVAStartupTest::firstRunAsksLanguageThenCacheAndKeepsTheAnswers()
{
    FFixture->AddLanguage(u"de"_s, u"Deutsch"_s, u"DE "_s);
    FFixture->SetSetting(u"firstrun"_s, u"True"_s);
    FFixture->SetSetting(u"language"_s, u"int"_s);
    FDialogs->AnswerMessage(TModalResult::mrYes); // build the map cache

    bool okDisabledFirst = false;
    const auto chosen = WhenModal([&](QWidget* dialog) {
        auto* list = Child<QListWidget>(dialog, u"lbLanguages"_s);
        auto* ok = Child<QPushButton>(dialog, u"btnOk"_s);
        okDisabledFirst = !ok->isEnabled();
        const QList<QListWidgetItem*> rows = list->findItems(u"Deutsch"_s, Qt::MatchExactly);
        if (rows.size() == 1)
            list->setCurrentItem(rows.first());
        QTest::mouseClick(ok, Qt::LeftButton);
        if (dialog->isVisible())
            dialog->close();
    });

    TKOVAStartup startup;
    QVERIFY(startup.Start(FFixture->AppDir(), FFixture->Arguments()));
    QVERIFY(*chosen);
    QVERIFY(okDisabledFirst);

    // The cache question comes in the chosen language; both answers are saved at once.
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Caption, u"DE Confirmation"_s);
    const QByteArray settings = FFixture->ReadSettings();
    QVERIFY(settings.contains("<firstrun>False</firstrun>"));
    QVERIFY(settings.contains("<language>de</language>"));
    QVERIFY(settings.contains("<enablemapmanagercache>True</enablemapmanagercache>"));

    // The first showing builds the cache, then the window is the user's again.
    TfrmMain* window = startup.MainWindow();
    QFile::remove(FFixture->AppFile(u"cache.xml"_s));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QList<TMapCacheItem> items;
    QCOMPARE(ReadMapCache(FFixture->AppFile(u"cache.xml"_s), items), TMapCacheRead::mcrLoaded);
    QCOMPARE(items.size(), 2);
    QVERIFY(window->isEnabled());
    QVERIFY(!window->UpdateCacheWindow()->isVisible());
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void KOVAStartupTest::firstRunLanguageDialogClosedWithEscape_data()
{
    QTest::addColumn<bool>("highlighted");
    QTest::newRow("with a language highlighted") << true;
    QTest::newRow("with none") << false;
}

void KOVAStartupTest::firstRunLanguageDialogClosedWithEscape()
{
    QFETCH(bool, highlighted);
    FFixture->AddLanguage(u"de"_s, u"Deutsch"_s, u"DE "_s);
    FFixture->SetSetting(u"firstrun"_s, u"True"_s);
    const QByteArray settings = FFixture->ReadSettings();
    FDialogs->AnswerMessage(TModalResult::mrNo); // no map cache
    const auto closed = WhenModal([highlighted](QWidget* dialog) {
        auto* list = Child<QListWidget>(dialog, u"lbLanguages"_s);
        // Taking the focus puts the list's cursor on its first row: let that happen first.
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QTRY_VERIFY(list->hasFocus());
        list->setCurrentItem(highlighted ? list->findItems(u"Deutsch"_s, Qt::MatchExactly).value(0)
                                         : nullptr);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });

    TKOVAStartup startup;
    const bool started = startup.Start(FFixture->AppDir(), FFixture->Arguments());
    QVERIFY(*closed);
    if (highlighted) {
        // Escape keeps the language the user had picked.
        QVERIFY(started);
        QVERIFY(FFixture->ReadSettings().contains("<language>de</language>"));
        QCOMPARE(FDialogs->Calls().size(), 1);
        QCOMPARE(FDialogs->Calls().first().Caption, u"DE Confirmation"_s);
        return;
    }
    QVERIFY(!started);
    QVERIFY(startup.ExitStatus() != 0);
    QVERIFY(!AnyWindowVisible());
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Text, KNoLanguageChosen);
    QCOMPARE(FFixture->ReadSettings(), settings);
}

void KOVAStartupTest::secondInstanceIsRefused()
{
    // When the lock is released is the platform's test.
    const TSingleInstance first(u"KOVA"_s);
    QCOMPARE(first.State(), TSingleInstance::siAcquired);
    TKOVAStartup second;
    QVERIFY(!second.Start(FFixture->AppDir(), FFixture->Arguments()));
    QCOMPARE(second.ExitStatus(), int(esAlreadyRunning));
    QVERIFY(!second.MainWindow());
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Type, TMsgDlgType::mtError);
    QVERIFY(FDialogs->Calls().first().Text.contains(u"another instance of KOVA"_s));
}

void KOVAStartupTest::aLockThatCannotBeTakenIsSaid()
{
    // No runtime folder, and a file where the private folder for the lock would be.
    qunsetenv("XDG_RUNTIME_DIR");
    const QString blocked = qEnvironmentVariable("XDG_CACHE_HOME") + u"/KOVA"_s;
    QFile file(blocked);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    TKOVAStartup startup;
    QVERIFY(!startup.Start(FFixture->AppDir(), FFixture->Arguments()));
    QCOMPARE(startup.ExitStatus(), int(esStartupFailed));
    QVERIFY(!startup.MainWindow());
    QCOMPARE(FDialogs->Calls().size(), 1);
    QVERIFY2(FDialogs->Calls().first().Text.contains(blocked),
             qPrintable(FDialogs->Calls().first().Text));
}

QTEST_MAIN(KOVAStartupTest)
#include "KOVAStartupTest.moc"

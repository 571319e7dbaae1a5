#include "TAddonDeletionProposal.h"
#include "TCacheManager.h"
#include "TFileProtection.h"
#include "TKOVASettings.h"
#include "TMapManager.h"
#include "TProgramFixture.h"
#include "TScreenShotManager.h"
#include "TScriptedDialogs.h"
#include "TServerPackageEditor.h"
#include "TServerPackages.h"
#include "TUT2003Profile.h"
#include "TUpdateCache.h"
#include "TfrmMain.h"
#include "uKOVA_MapCache.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using TKind = TScriptedDialogs::TKind;

// The Configuration page: the game folder, the profile, the language, the advanced panel and
// the map-cache rebuild.
class TConfigurationPageTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void noValidFolderChangesNothing();
    void newGameFolderReachesEveryManager_data();
    void newGameFolderReachesEveryManager();
    void folderThatCannotBeSavedIsNotTaken();
    void folderWhoseSettingsCannotBeReadBackIsNotTaken();
    void activationWritesUserIniAndItsBackup();
    void failedBackupLeavesUserIniAlone();
    void languageApplyDressesEveryFormAndStays();
    void advancedPanelWritesOnlyItsValues();
    void cacheRebuildWritesTheCacheAndGivesTheWindowBack();
    void failedCacheRebuildKeepsTheOldCacheAndGivesTheWindowBack();
    void cacheUpdateWithoutTheGameFolderKeepsTheCache();

private:
    TfrmMain* ShowMainWindow();
    template <class T> T* Find(const QString& name) const { return Child<T>(FWindow.get(), name); }
    void Click(const QString& button) const
    {
        QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
    }
    QStringList MapNames() const;
    QString WriteProfile(const QString& name) const;

    std::unique_ptr<TProgramFixture> FFixture;
    std::unique_ptr<TScriptedDialogs> FDialogs;
    std::unique_ptr<TfrmMain> FWindow;
};

namespace {

const QByteArray KClanProfile = "[DefaultPlayer]\r\n"
                                "Name=ClanPlayer\r\n"
                                "Character=Gorge\r\n"
                                "\r\n"
                                "[UT2004KOVA]\r\n"
                                "ProfileName=Clan\r\n"
                                "ID={0F8FAD5B-D9CB-469F-A165-70867728950E}\r\n";

enum TFolderChange
{
    fcApply,
    fcApplyWindowsPath,
    fcBrowse,
    fcAutoSearch
};

} // namespace

void TConfigurationPageTest::init()
{
    FFixture = std::make_unique<TProgramFixture>();
    FDialogs = std::make_unique<TScriptedDialogs>();
    WriteMap(FFixture->Game(), QStringLiteral("DM-First.ut2"), "First", "Ann");
    WriteMap(FFixture->Game(), QStringLiteral("CTF-Second.ut2"), "Second", "Bob");
    WriteScreenshot(FFixture->Game(), QStringLiteral("Shot00001.bmp"));
}

void TConfigurationPageTest::cleanup()
{
    FWindow.reset();
    FDialogs.reset();
    FFixture.reset();
}

TfrmMain* TConfigurationPageTest::ShowMainWindow()
{
    FWindow = FFixture->CreateMainWindow();
    FWindow->show();
    if (!QTest::qWaitForWindowExposed(FWindow.get()))
        qWarning("The main window was not exposed");
    return FWindow.get();
}

QStringList TConfigurationPageTest::MapNames() const
{
    QStringList names;
    for (int i = 0; i < FWindow->MapManager()->GetCount(); ++i)
        names << FWindow->MapManager()->GetItem(i)->FileName();
    names.sort();
    return names;
}

QString TConfigurationPageTest::WriteProfile(const QString& name) const
{
    const QString path =
        FFixture->AppFile(QStringLiteral("Profiles/") + name + QStringLiteral(".ini"));
    WriteBytes(path, KClanProfile);
    return path;
}

void TConfigurationPageTest::noValidFolderChangesNothing()
{
    FFixture->MakeGameFolder(QStringLiteral("Partial"));
    QFile::remove(FFixture->Root() + QStringLiteral("/Partial/System/Core.dll"));
    ShowMainWindow();
    const QByteArray settings = FFixture->ReadSettings();
    const TMapManager* maps = FWindow->MapManager();
    auto* edit = Find<QLineEdit>(QStringLiteral("edConfigure_UT2003Path"));
    const QString warning = FWindow->GetLangText(TDialogType::Configuration_InvalidUTDir);

    // Apply of a typed folder that is not a game folder: a warning, and the edit is put back.
    edit->setText(FFixture->Root() + QStringLiteral("/Partial"));
    Click(QStringLiteral("btnConfigure_ApplyPath"));
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Caption, FWindow->GetLangText(TDialogType::Common_Warning));
    QCOMPARE(FDialogs->Calls().first().Text, warning);
    QCOMPARE(FDialogs->Calls().first().Type, TMsgDlgType::mtWarning);
    QCOMPARE(edit->text(), FWindow->Settings()->UTDir);

    // Browse: cancelled says nothing; an invalid choice warns.
    FDialogs->Clear();
    FDialogs->AnswerFolder(QString());
    Click(QStringLiteral("btnConfigure_BrowsePath"));
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 0);
    FDialogs->AnswerFolder(FFixture->Root() + QStringLiteral("/Partial"));
    Click(QStringLiteral("btnConfigure_BrowsePath"));
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).first().Text, warning);

    // Auto-Search without the registry value: nothing visible happens.
    FDialogs->Clear();
    Click(QStringLiteral("btnConfigure_SearchPath"));
    QCOMPARE(FDialogs->Calls().size(), 0);

    QCOMPARE(FFixture->ReadSettings(), settings);
    QCOMPARE(FWindow->MapManager(), maps);
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TConfigurationPageTest::newGameFolderReachesEveryManager_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<bool>("mapCache");
    QTest::newRow("apply") << int(fcApply) << false;
    QTest::newRow("apply of the folder as Windows writes it") << int(fcApplyWindowsPath) << false;
    QTest::newRow("browse") << int(fcBrowse) << false;
    QTest::newRow("auto-search") << int(fcAutoSearch) << false;
    QTest::newRow("apply with the map cache") << int(fcApply) << true;
    QTest::newRow("browse with the map cache") << int(fcBrowse) << true;
}

void TConfigurationPageTest::newGameFolderReachesEveryManager()
{
    QFETCH(int, change);
    QFETCH(bool, mapCache);
    // The second folder lies where the registry of the Wine prefix says the game is.
    const TGameFolder second(FFixture->Environment().WinePrefix() + QStringLiteral("/drive_c"),
                             QStringLiteral("Second"));
    WriteMap(second, QStringLiteral("DM-Other.ut2"), "Other", "Cy");
    WriteMap(second, QStringLiteral("ONS-Big.ut2"), "Big", "Di");
    WriteMap(second, QStringLiteral("BR-Third.ut2"), "Third", "Ed");
    WriteScreenshot(second, QStringLiteral("Shot00007.bmp"));
    WriteScreenshot(second, QStringLiteral("Shot00008.bmp"));
    second.WriteFile(QStringLiteral("Cache/cache.ini"), "[Cache]\r\nAAAA-1=Alpha.u\r\n");
    second.WriteFile(QStringLiteral("Cache/AAAA-1.uxx"), "alpha");
    WriteBytes(FFixture->Environment().WinePrefix() + QStringLiteral("/system.reg"),
               "WINE REGISTRY Version 2\n\n"
               "[Software\\\\Unreal Technology\\\\Installed Apps\\\\UT2004] 1700000000\n"
               "\"Folder\"=\"C:\\\\Second\"\n");
    if (mapCache)
        FFixture->SetSetting(QStringLiteral("enablemapmanagercache"), QStringLiteral("True"));
    ShowMainWindow();
    QCOMPARE(FWindow->MapManager()->GetCount(), 2);

    switch (change) {
    case fcApply:
        Find<QLineEdit>(QStringLiteral("edConfigure_UT2003Path"))->setText(second.Root());
        Click(QStringLiteral("btnConfigure_ApplyPath"));
        break;
    case fcApplyWindowsPath:
        Find<QLineEdit>(QStringLiteral("edConfigure_UT2003Path"))
            ->setText(QStringLiteral("c:\\second"));
        Click(QStringLiteral("btnConfigure_ApplyPath"));
        break;
    case fcBrowse:
        FDialogs->AnswerFolder(second.Root());
        Click(QStringLiteral("btnConfigure_BrowsePath"));
        break;
    case fcAutoSearch:
        Click(QStringLiteral("btnConfigure_SearchPath"));
        break;
    }
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 0);
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 0);

    // Stored, saved, and every manager lists the new folder.
    const QString root = second.Root() + QLatin1Char('/');
    QCOMPARE(FWindow->Settings()->UTDir, root);
    QVERIFY(FFixture->ReadSettings().contains("<utdir>" + second.Root().toUtf8()));
    QCOMPARE(Find<QLineEdit>(QStringLiteral("edConfigure_UT2003Path"))->text(), root);
    QCOMPARE(MapNames(),
             QStringList({second.Path("Maps/BR-Third.ut2"), second.Path("Maps/DM-Other.ut2"),
                          second.Path("Maps/ONS-Big.ut2")}));
    QCOMPARE(FWindow->ScreenShotManager()->GetCount(), 2);
    QCOMPARE(QFileInfo(FWindow->ScreenShotManager()->GetItem(0)->FileName).absolutePath(),
             second.Path(QStringLiteral("ScreenShots")));
    QCOMPARE(FWindow->CacheManager()->GetCount(), 1);
    QCOMPARE(FWindow->ServerPackages()->IniFile, second.Path(QStringLiteral("System/UT2004.ini")));
    QCOMPARE(FWindow->Profiles()->ActiveFileName(), second.Path(QStringLiteral("System/User.ini")));
    QCOMPARE(FWindow->Settings()->GetDestination(QStringLiteral("DM-New.ut2")),
             second.Path(QStringLiteral("Maps/")));

    // With the map cache on, the cache now holds the new folder's maps.
    if (mapCache) {
        QList<TMapCacheItem> items;
        QCOMPARE(ReadMapCache(FFixture->AppFile(QStringLiteral("cache.xml")), items),
                 TMapCacheRead::mcrLoaded);
        QCOMPARE(items.size(), 3);
        for (const TMapCacheItem& item : items)
            QVERIFY2(item.FileName.startsWith(second.Root()), qPrintable(item.FileName));
        QVERIFY(FWindow->isEnabled());
        QVERIFY(!FWindow->UpdateCacheWindow()->isVisible());
    }
}

void TConfigurationPageTest::folderThatCannotBeSavedIsNotTaken()
{
    // A program folder the user cannot write to, as a system-wide installation has it.
    const std::unique_ptr<TGameFolder> second = FFixture->MakeGameFolder(QStringLiteral("Second"));
    WriteMap(*second, QStringLiteral("DM-Other.ut2"), "Other", "Cy");
    ShowMainWindow();
    const QString oldFolder = FWindow->Settings()->UTDir;
    const QByteArray settings = FFixture->ReadSettings();
    Find<QLineEdit>(QStringLiteral("edConfigure_UT2003Path"))->setText(second->Root());
    QVERIFY(SetMode(FFixture->AppDir(), 0555) && SetMode(FFixture->SettingsFile(), 0444));
    {
        TFileProtection protection(FFixture->Root());
        Click(QStringLiteral("btnConfigure_ApplyPath"));
    }
    QVERIFY(SetMode(FFixture->AppDir(), 0755) && SetMode(FFixture->SettingsFile(), 0644));

    // The error is shown, and the window goes on with the folder it had, everywhere.
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 1);
    QCOMPARE(FFixture->ReadSettings(), settings);
    QCOMPARE(FWindow->Settings()->UTDir, oldFolder);
    QCOMPARE(FWindow->Settings()->GetPath(TMapPaths::mpMaps),
             FFixture->Game().Path(QStringLiteral("Maps")));
    QCOMPARE(FWindow->MapManager()->GetCount(), 2);
}

void TConfigurationPageTest::folderWhoseSettingsCannotBeReadBackIsNotTaken()
{
    // A file that others may read and write, but not its owner: the save reads it as one of the
    // others and passes, the new file is the user's own with the same rights, and its reload
    // fails.
    const std::unique_ptr<TGameFolder> second = FFixture->MakeGameFolder(QStringLiteral("Second"));
    WriteMap(*second, QStringLiteral("DM-Other.ut2"), "Other", "Cy");
    ShowMainWindow();
    const QString oldFolder = FWindow->Settings()->UTDir;
    Find<QLineEdit>(QStringLiteral("edConfigure_UT2003Path"))->setText(second->Root());
    QVERIFY(SetMode(FFixture->AppDir(), 0777) && SetMode(FFixture->SettingsFile(), 0066));
    {
        TFileProtection protection(FFixture->Root());
        Click(QStringLiteral("btnConfigure_ApplyPath"));
    }
    QVERIFY(SetMode(FFixture->AppDir(), 0755) && SetMode(FFixture->SettingsFile(), 0644));

    // The failure is shown, and the window stays on one folder: the one whose settings loaded.
    QVERIFY(!FDialogs->Calls().isEmpty());
    QCOMPARE(FWindow->Settings()->UTDir, oldFolder);
    QCOMPARE(FWindow->Settings()->GetPath(TMapPaths::mpMaps),
             FFixture->Game().Path(QStringLiteral("Maps")));
    QCOMPARE(FWindow->MapManager()->GetCount(), 2);
}

void TConfigurationPageTest::activationWritesUserIniAndItsBackup()
{
    const QString clan = WriteProfile(QStringLiteral("Clan"));
    const QByteArray userIni = FFixture->Game().ReadFile(QStringLiteral("System/User.ini"));
    ShowMainWindow();
    auto* profiles = Find<QComboBox>(QStringLiteral("cbConfigure_SelectProfile"));
    auto* activate = Find<QPushButton>(QStringLiteral("btnConfigure_ApplyProfile"));
    QCOMPARE(profiles->count(), 2);
    QCOMPARE(profiles->currentText(), QStringLiteral("(DEFAULT)"));
    QVERIFY(!activate->isEnabled());

    profiles->setFocus();
    QTest::keyClick(profiles, Qt::Key_Down);
    QCOMPARE(profiles->currentText(), QStringLiteral("Clan"));
    QVERIFY(activate->isEnabled());
    Click(QStringLiteral("btnConfigure_ApplyProfile"));

    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Text,
             FWindow->GetLangText(TDialogType::Profiles_ProfileActivated));
    QCOMPARE(FDialogs->Calls().first().Type, TMsgDlgType::mtInformation);
    QCOMPARE(FFixture->Game().ReadFile(QStringLiteral("System/User.ini")), KClanProfile);
    const QDir backups(FFixture->AppFile(QStringLiteral("Profiles/Backups")));
    const QStringList backupFiles = backups.entryList(QDir::Files);
    QCOMPARE(backupFiles.size(), 1);
    QVERIFY(backupFiles.first().startsWith(QLatin1String("User.ini.")));
    QCOMPARE(ReadBytes(backups.filePath(backupFiles.first())), userIni);
    QCOMPARE(ReadBytes(clan), KClanProfile);

    // The page shows the profile now active; the button keeps its state.
    QCOMPARE(Find<QLabel>(QStringLiteral("lbConfigure_ActiveProfile"))->text(),
             QStringLiteral("Active profile: Clan"));
    QCOMPARE(profiles->currentText(), QStringLiteral("Clan"));
    QVERIFY(activate->isEnabled());
}

void TConfigurationPageTest::failedBackupLeavesUserIniAlone()
{
    WriteProfile(QStringLiteral("Clan"));
    const QByteArray userIni = FFixture->Game().ReadFile(QStringLiteral("System/User.ini"));
    ShowMainWindow();
    auto* profiles = Find<QComboBox>(QStringLiteral("cbConfigure_SelectProfile"));
    profiles->setFocus();
    QTest::keyClick(profiles, Qt::Key_Down);

    // Only the backup can fail: "User.ini" and its folder stay writable.
    const QString backups = FFixture->AppFile(QStringLiteral("Profiles/Backups"));
    QVERIFY(SetMode(backups, 0555));
    QVERIFY(SetMode(FFixture->Game().Path(QStringLiteral("System")), 0777));
    QVERIFY(SetMode(FFixture->Game().Path(QStringLiteral("System/User.ini")), 0666));
    {
        TFileProtection protection(FFixture->Root());
        Click(QStringLiteral("btnConfigure_ApplyProfile"));
    }
    SetMode(backups, 0755);

    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 0);
    QCOMPARE(FFixture->Game().ReadFile(QStringLiteral("System/User.ini")), userIni);
    QCOMPARE(QDir(backups).entryList(QDir::Files).size(), 0);
    QCOMPARE(Find<QLabel>(QStringLiteral("lbConfigure_ActiveProfile"))->text(),
             QStringLiteral("Active profile: (DEFAULT)"));
}

void TConfigurationPageTest::languageApplyDressesEveryFormAndStays()
{
    // The code is all that follows "Lang.", dots and all.
    FFixture->AddLanguage(QStringLiteral("pt.br"), QStringLiteral("Portugues (Brasil)"),
                          QStringLiteral("DE "));
    ShowMainWindow();
    QByteArray expected = FFixture->ReadSettings();
    expected.replace("<language>int</language>", "<language>pt.br</language>");

    auto* languages = Find<QComboBox>(QStringLiteral("cbConfigure_SelectLang"));
    languages->setCurrentIndex(languages->findText(QStringLiteral("Portugues (Brasil)")));
    Click(QStringLiteral("btnConfigure_ApplyLang"));
    QCOMPARE(FFixture->ReadSettings(), expected);

    const auto dressed = [this](const QString& when) {
        auto* pages = Find<QTabWidget>(QStringLiteral("pgMain"));
        for (int i = 0; i < pages->count(); ++i)
            QVERIFY2(pages->tabText(i).startsWith(QLatin1String("DE ")), qPrintable(when));
        const QList<QAction*> items = Find<QMenu>(QStringLiteral("MenuWindow"))->actions();
        QCOMPARE(items.size(), 11);
        for (int i = 0; i < items.size(); ++i)
            QCOMPARE(items.at(i)->text(), pages->tabText(i));
        QVERIFY(Find<QPushButton>(QStringLiteral("btnConfigure_BrowsePath"))
                    ->text()
                    .startsWith(QLatin1String("DE ")));
        QVERIFY(Find<QAction>(QStringLiteral("MenuServerPackageEditor"))
                    ->text()
                    .startsWith(QLatin1String("DE ")));
        QVERIFY(Find<QLineEdit>(QStringLiteral("edConfigure_UT2003Path"))
                    ->toolTip()
                    .contains(QLatin1String("DE The folder")));
        QVERIFY(
            Find<QLabel>(QStringLiteral("lbUpdateCache"))->text().startsWith(QLatin1String("DE ")));
        QCOMPARE(FWindow->ServerPackageEditor()->windowTitle(),
                 QStringLiteral("DE ServerPackage Editor"));
        QVERIFY(Child<QPushButton>(FWindow->AddonDeletionProposal(), QStringLiteral("btnSelectAll"))
                    ->text()
                    .startsWith(QLatin1String("DE ")));
        QCOMPARE(FWindow->GetLangText(TDialogType::Common_Warning), QStringLiteral("DE Warning"));
    };
    dressed(QStringLiteral("after the change"));

    // A new start over the same folder comes up in the chosen language.
    FWindow.reset();
    ShowMainWindow();
    dressed(QStringLiteral("after a restart"));
    QCOMPARE(Find<QComboBox>(QStringLiteral("cbConfigure_SelectLang"))->currentText(),
             QStringLiteral("Portugues (Brasil)"));
}

void TConfigurationPageTest::advancedPanelWritesOnlyItsValues()
{
    ShowMainWindow();
    const QByteArray original = FFixture->ReadSettings();
    Click(QStringLiteral("btnConfig_Advanced"));
    QVERIFY(Find<QWidget>(QStringLiteral("pnConfig_Advanced"))->isVisible());
    QVERIFY(!Find<QWidget>(QStringLiteral("pnConfig_Main"))->isVisible());
    auto* resizeable = Find<QCheckBox>(QStringLiteral("cbConfig_IsWindowResizeable"));
    auto* unknown = Find<QCheckBox>(QStringLiteral("cbConfig_InstallUnknownContents"));
    auto* cache = Find<QCheckBox>(QStringLiteral("cbConfig_EnableCache"));
    QVERIFY(!resizeable->isChecked() && unknown->isChecked() && !cache->isChecked());
    QVERIFY(!Find<QPushButton>(QStringLiteral("btnConfig_UpdateCache"))->isEnabled());

    resizeable->setChecked(true);
    unknown->setChecked(false);
    Click(QStringLiteral("btnConfig_Save"));
    QByteArray expected = original;
    expected.replace("<iswindowsizeable>False</iswindowsizeable>",
                     "<iswindowsizeable>True</iswindowsizeable>");
    expected.replace("<destination mask=\"*unknown_content\">%help%</destination>",
                     "<destination mask=\"*unknown_content\">%no_install%</destination>");
    QCOMPARE(FFixture->ReadSettings(), expected);
    QCOMPARE(FDialogs->Calls().size(), 0);

    // Turning the cache on asks once whether to build it.
    cache->setChecked(true);
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Click(QStringLiteral("btnConfig_Save"));
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Text,
             FWindow->GetLangText(TDialogType::Common_Update_Cache));
    expected.replace("<enablemapmanagercache>False</enablemapmanagercache>",
                     "<enablemapmanagercache>True</enablemapmanagercache>");
    QCOMPARE(FFixture->ReadSettings(), expected);
    QVERIFY(!QFile::exists(FFixture->AppFile(QStringLiteral("cache.xml"))));
    Click(QStringLiteral("btnConfig_Save"));
    QCOMPARE(FDialogs->Calls().size(), 1);
    QVERIFY(Find<QPushButton>(QStringLiteral("btnConfig_UpdateCache"))->isEnabled());

    // File > Cache follows at once while the panel is open.
    Find<QAction>(QStringLiteral("MenuCacheEnabled"))->trigger();
    QVERIFY(!cache->isChecked());
    QVERIFY(!Find<QPushButton>(QStringLiteral("btnConfig_UpdateCache"))->isEnabled());

    Click(QStringLiteral("btnConfig_Main"));
    QVERIFY(Find<QWidget>(QStringLiteral("pnConfig_Main"))->isVisible());
    QVERIFY(!Find<QWidget>(QStringLiteral("pnConfig_Advanced"))->isVisible());
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

// Watches the busy window: when it shows, notes whether the main window is usable and tries to
// close it, as an impatient user would.
class TBusyWatch final : public QObject
{
public:
    explicit TBusyWatch(TfrmMain* window)
        : FWindow(window)
    {
        window->UpdateCacheWindow()->installEventFilter(this);
    }
    bool Shown = false;
    bool MainEnabledMeanwhile = true;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !Shown) {
            Shown = true;
            MainEnabledMeanwhile = FWindow->isEnabled();
            FWindow->close();
        }
        return false;
    }

private:
    TfrmMain* FWindow;
};

void TConfigurationPageTest::cacheRebuildWritesTheCacheAndGivesTheWindowBack()
{
    WriteMap(FFixture->Game(), QStringLiteral("BR-Third.ut2"), "Third", "Cy");
    FFixture->SetSetting(QStringLiteral("enablemapmanagercache"), QStringLiteral("True"));
    ShowMainWindow();
    // A cache of an older state of the folder.
    const QString cacheFile = FFixture->AppFile(QStringLiteral("cache.xml"));
    QVERIFY(WriteMapCache(cacheFile,
                          {{FFixture->Game().Path(QStringLiteral("Maps/DM-Gone.ut2")),
                            QStringLiteral("x"), QStringLiteral("Gone"), QStringLiteral("x")}}));

    TBusyWatch watch(FWindow.get());
    Click(QStringLiteral("btnConfig_Advanced"));
    Click(QStringLiteral("btnConfig_UpdateCache"));
    QVERIFY(watch.Shown);
    QVERIFY(!watch.MainEnabledMeanwhile);
    QVERIFY(FWindow->isVisible()); // not closed during the work

    QList<TMapCacheItem> items;
    QCOMPARE(ReadMapCache(cacheFile, items), TMapCacheRead::mcrLoaded);
    QStringList titles;
    for (const TMapCacheItem& item : items)
        titles << QFileInfo(item.FileName).fileName() + QLatin1Char('=') + item.Title +
                      QLatin1Char('/') + item.Author;
    titles.sort();
    QCOMPARE(titles, QStringList({"BR-Third.ut2=Third/Cy", "CTF-Second.ut2=Second/Bob",
                                  "DM-First.ut2=First/Ann"}));
    QCOMPARE(FWindow->MapManager()->GetCount(), 3);
    QVERIFY(FWindow->isEnabled());
    QVERIFY(!FWindow->UpdateCacheWindow()->isVisible());
    auto* bar = Child<QProgressBar>(FWindow->UpdateCacheWindow(), QStringLiteral("pgProgress"));
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(FDialogs->Calls().size(), 0);

    // File > Cache > Update Cache does the same.
    QFile::remove(cacheFile);
    Find<QAction>(QStringLiteral("MenuCacheUpdate"))->trigger();
    QCOMPARE(ReadMapCache(cacheFile, items), TMapCacheRead::mcrLoaded);
    QCOMPARE(items.size(), 3);
}

void TConfigurationPageTest::failedCacheRebuildKeepsTheOldCacheAndGivesTheWindowBack()
{
    FFixture->SetSetting(QStringLiteral("enablemapmanagercache"), QStringLiteral("True"));
    ShowMainWindow();
    const QString cacheFile = FFixture->AppFile(QStringLiteral("cache.xml"));
    const QByteArray oldCache = ReadBytes(cacheFile);
    QVERIFY(!oldCache.isEmpty());
    WriteMap(FFixture->Game(), QStringLiteral("BR-Third.ut2"), "Third", "Cy");

    Click(QStringLiteral("btnConfig_Advanced"));
    const QStringList files = QDir(FFixture->AppDir()).entryList(QDir::Files | QDir::Hidden);
    QVERIFY(SetMode(FFixture->AppDir(), 0555));
    {
        TFileProtection protection(FFixture->Root());
        Click(QStringLiteral("btnConfig_UpdateCache"));
    }
    SetMode(FFixture->AppDir(), 0755);

    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 1);
    QCOMPARE(ReadBytes(cacheFile), oldCache);
    QVERIFY(FWindow->isEnabled());
    QVERIFY(!FWindow->UpdateCacheWindow()->isVisible());
    QCOMPARE(QDir(FFixture->AppDir()).entryList(QDir::Files | QDir::Hidden), files);
}

void TConfigurationPageTest::cacheUpdateWithoutTheGameFolderKeepsTheCache()
{
    FFixture->SetSetting(QStringLiteral("enablemapmanagercache"), QStringLiteral("True"));
    ShowMainWindow();
    const QString cacheFile = FFixture->AppFile(QStringLiteral("cache.xml"));
    const QByteArray cache = ReadBytes(cacheFile);
    QList<TMapCacheItem> items;
    QCOMPARE(ReadMapCache(cacheFile, items), TMapCacheRead::mcrLoaded);
    QCOMPARE(items.size(), 2);

    // The game's drive is not there for now.
    const QString away = FFixture->Root() + QStringLiteral("/Away");
    QVERIFY(QDir().rename(FFixture->Game().Root(), away));
    Find<QAction>(QStringLiteral("MenuCacheUpdate"))->trigger();
    QVERIFY(QDir().rename(away, FFixture->Game().Root()));

    QCOMPARE(ReadBytes(cacheFile), cache);
    QCOMPARE(FDialogs->CallsOf(TKind::dkBalloon).size(), 1);
    QVERIFY(FWindow->isEnabled());
}

QTEST_MAIN(TConfigurationPageTest)
#include "TConfigurationPageTest.moc"

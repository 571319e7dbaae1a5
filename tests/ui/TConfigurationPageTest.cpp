#include "TConfigurationPage.h"
#include "TFileProtection.h"
#include "TMapManager.h"
#include "TPageTest.h"
#include "TemplateFormat.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

// The Configuration page over the page context's double: the game folder, the profile, the
// language and the advanced panel.
class TConfigurationPageTest : public TPageTest
{
    Q_OBJECT

private slots:
    void noValidFolderChangesNothing();
    void noGameFolderIsNoFolder();
    void autoSearchSaysWhatItFound();
    void newGameFolderIsSavedAndTheManagersMadeAgain_data();
    void newGameFolderIsSavedAndTheManagersMadeAgain();
    void folderWhoseSettingsCannotBeWrittenOrReadBackIsNotTaken_data();
    void folderWhoseSettingsCannotBeWrittenOrReadBackIsNotTaken();
    void activationWritesUserIni();
    void failedBackupLeavesUserIniAlone();
    void languageApplySavesTheCodeAndDressesThePage();
    void advancedPanelWritesOnlyItsValues();

private:
    void Prepare() override
    {
        WriteMap(FFixture->Game(), u"DM-First.ut2"_s, "First", "Ann");
        WriteMap(FFixture->Game(), u"CTF-Second.ut2"_s, "Second", "Bob");
    }
    void ShowPage() { TPageTest::ShowPage<TConfigurationPage>(u"tbConfiguration"_s); }
    QLineEdit* FolderEdit() const { return Find<QLineEdit>(u"edConfigure_UT2003Path"_s); }
    // Chooses the Clan profile in the page's box, as the user does with the keyboard.
    QComboBox* ChooseClanProfile();
    // The page after a change of the game folder that must not be taken.
    void ExpectTheOldFolder(const QString& oldFolder) const
    {
        QCOMPARE(FContext->Settings().UTDir, oldFolder);
        QCOMPARE(FContext->Settings().GetPath(TMapPaths::mpMaps), FFixture->Game().Path(u"Maps"_s));
        QCOMPARE(FContext->MapManager()->GetCount(), 2);
    }
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
    fcEnter,
    fcApplyWindowsPath,
    fcBrowse,
    fcAutoSearch
};

} // namespace

QComboBox* TConfigurationPageTest::ChooseClanProfile()
{
    WriteBytes(FFixture->AppFile(u"Profiles/Clan.ini"_s), KClanProfile);
    ShowPage();
    auto* profiles = Find<QComboBox>(u"cbConfigure_SelectProfile"_s);
    profiles->setFocus();
    QTest::keyClick(profiles, Qt::Key_Down);
    return profiles;
}

void TConfigurationPageTest::noValidFolderChangesNothing()
{
    FFixture->MakeGameFolder(u"Partial"_s);
    QFile::remove(FFixture->Root() + u"/Partial/System/Core.dll"_s);
    ShowPage();
    const QByteArray settings = FFixture->ReadSettings();
    const TMapManager* maps = FContext->MapManager();
    // The warning names the one file that is missing.
    const QString warning = FormatTemplate(
        FContext->GetLangText(TDialogType::Configuration_InvalidUTDir), {u"\"System/Core.dll\""_s});
    QVERIFY(warning.contains(u"Core.dll"_s));

    // Apply of a typed folder that is not a game folder: a warning, and the edit is put back.
    FolderEdit()->setText(FFixture->Root() + u"/Partial"_s);
    Click(u"btnConfigure_ApplyPath"_s);
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Text, warning);
    QCOMPARE(FolderEdit()->text(), FContext->Settings().UTDir);

    // Browse: cancelled says nothing; an invalid choice warns.
    FDialogs->Clear();
    FDialogs->AnswerFolder(QString());
    Click(u"btnConfigure_BrowsePath"_s);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 0);
    FDialogs->AnswerFolder(FFixture->Root() + u"/Partial"_s);
    Click(u"btnConfigure_BrowsePath"_s);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).first().Text, warning);

    QCOMPARE(FFixture->ReadSettings(), settings);
    QCOMPARE(FContext->MapManager(), maps);
    QCOMPARE(FContext->Orders(), QStringList());
}

void TConfigurationPageTest::noGameFolderIsNoFolder()
{
    // A new user's settings before a folder was found: the page shows no folder, never "/",
    // and Browse starts in the user's home.
    FFixture.reset();
    FFixture = std::make_unique<TProgramFixture>(false);
    WriteBytes(FFixture->SettingsFile(), ReadBytes(FFixture->AppFile(u"settings.xml"_s)));
    FFixture->SetSetting(u"utdir"_s, QString());
    ShowPage();
    QCOMPARE(FContext->Settings().UTDir, QString());
    QCOMPARE(FolderEdit()->text(), QString());
    QVERIFY(!Find<QWidget>(u"btnConfig_Advanced"_s)->isVisible());
    FDialogs->AnswerFolder(QString());
    Click(u"btnConfigure_BrowsePath"_s);
    QCOMPARE(FDialogs->CallsOf(TKind::dkFolder).size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkFolder).first().Text, QDir::homePath());
    QCOMPARE(FContext->Folders().TransferDir(), QDir::homePath());
}

void TConfigurationPageTest::autoSearchSaysWhatItFound()
{
    ShowPage();
    const QByteArray settings = FFixture->ReadSettings();
    // Nothing registered (it says where it looked), a folder that is no game folder, and the
    // folder in use already.
    const struct
    {
        QByteArray Registered;
        TMsgDlgType Type;
        QStringList Said;
    } cases[] = {
        {{}, TMsgDlgType::mtInformation, {"no game folder", "HKEY_LOCAL_MACHINE"}},
        {"C:\\\\Nowhere", TMsgDlgType::mtWarning, {"Nowhere\"."}},
        {FFixture->Game().Root().toUtf8(),
         TMsgDlgType::mtInformation,
         {FFixture->Game().Root(), "already in use"}},
    };
    for (const auto& each : cases) {
        if (!each.Registered.isEmpty())
            FFixture->Environment().RegisterGameFolder(each.Registered);
        FDialogs->Clear();
        Click(u"btnConfigure_SearchPath"_s);
        QCOMPARE(FDialogs->Calls().size(), 1);
        QCOMPARE(FDialogs->Calls().first().Type, each.Type);
        for (const QString& text : each.Said)
            QVERIFY2(FDialogs->Calls().first().Text.contains(text), qPrintable(text));
    }
    QCOMPARE(FFixture->ReadSettings(), settings);
    QCOMPARE(FContext->Orders(), QStringList());
}

void TConfigurationPageTest::newGameFolderIsSavedAndTheManagersMadeAgain_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<bool>("mapCache");
    QTest::newRow("apply") << int(fcApply) << false;
    QTest::newRow("enter in the folder box") << int(fcEnter) << false;
    QTest::newRow("apply of the folder as Windows writes it") << int(fcApplyWindowsPath) << false;
    QTest::newRow("browse") << int(fcBrowse) << false;
    QTest::newRow("auto-search") << int(fcAutoSearch) << false;
    QTest::newRow("apply with the map cache") << int(fcApply) << true;
}

void TConfigurationPageTest::newGameFolderIsSavedAndTheManagersMadeAgain()
{
    QFETCH(int, change);
    QFETCH(bool, mapCache);
    // The second folder lies where the registry of the Wine prefix says the game is.
    const TGameFolder second(FFixture->Environment().WinePrefix() + u"/drive_c"_s, u"Second"_s);
    WriteMap(second, u"DM-Other.ut2"_s, "Title", "Author");
    FFixture->Environment().RegisterGameFolder("C:\\\\Second");
    if (mapCache)
        FFixture->SetSetting(u"enablemapmanagercache"_s, u"True"_s);
    ShowPage();
    QCOMPARE(FContext->MapManager()->GetCount(), 2);

    switch (change) {
    case fcApply:
    case fcApplyWindowsPath:
        FolderEdit()->setText(change == fcApply ? second.Root() : u"c:\\second"_s);
        Click(u"btnConfigure_ApplyPath"_s);
        break;
    case fcEnter:
        FolderEdit()->setText(second.Root());
        FolderEdit()->setFocus();
        QTest::keyClick(FolderEdit(), Qt::Key_Return);
        break;
    case fcBrowse:
        FDialogs->AnswerFolder(second.Root());
        Click(u"btnConfigure_BrowsePath"_s);
        break;
    case fcAutoSearch:
        Click(u"btnConfigure_SearchPath"_s);
        break;
    }
    // Auto-Search says what it found.
    const QList<TCall> messages = FDialogs->CallsOf(TKind::dkMessage);
    QCOMPARE(messages.size(), change == fcAutoSearch ? 1 : 0);
    if (change == fcAutoSearch) {
        QCOMPARE(messages.first().Type, TMsgDlgType::mtInformation);
        QVERIFY(messages.first().Text.contains(second.Root()));
        QVERIFY(messages.first().Text.contains(u"in use now"_s));
    }
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 0);

    // Stored, saved, and read again with new managers; the map cache, when on, is rebuilt.
    const QString root = second.Root() + QLatin1Char('/');
    QCOMPARE(FContext->Settings().UTDir, root);
    QVERIFY(FFixture->ReadSettings().contains("<utdir>" + second.Root().toUtf8()));
    QCOMPARE(FolderEdit()->text(), root);
    QStringList orders = {"ReloadSettings", "RecreateManagers"};
    if (mapCache)
        orders << u"UpdateMapCache"_s;
    QCOMPARE(FContext->Orders(), orders);
    if (!mapCache)
        QCOMPARE(FContext->MapManager()->GetItem(0)->FileName(),
                 second.Path(u"Maps/DM-Other.ut2"_s));
}

void TConfigurationPageTest::folderWhoseSettingsCannotBeWrittenOrReadBackIsNotTaken_data()
{
    // A program folder the user cannot write to, as a system-wide installation has it; and a
    // settings file that others may read and write, but not its owner: the save reads it as one
    // of the others and passes, the new file is the user's own with the same rights, and its
    // reload fails.
    QTest::addColumn<unsigned>("folderMode");
    QTest::addColumn<unsigned>("fileMode");
    QTest::addColumn<QStringList>("orders");
    QTest::newRow("not written") << 0555u << 0444u << QStringList();
    QTest::newRow("not read back") << 0777u << 0066u << QStringList{"ReloadSettings"};
}

void TConfigurationPageTest::folderWhoseSettingsCannotBeWrittenOrReadBackIsNotTaken()
{
    QFETCH(unsigned, folderMode);
    QFETCH(unsigned, fileMode);
    QFETCH(QStringList, orders);
    const std::unique_ptr<TGameFolder> second = FFixture->MakeGameFolder(u"Second"_s);
    WriteMap(*second, u"DM-Other.ut2"_s, "Other", "Cy");
    ShowPage();
    const QString oldFolder = FContext->Settings().UTDir;
    const QByteArray settings = FFixture->ReadSettings();
    FolderEdit()->setText(second->Root());
    QVERIFY(SetMode(FFixture->AppDir(), folderMode) && SetMode(FFixture->SettingsFile(), fileMode));
    {
        TFileProtection protection(FFixture->Root());
        Click(u"btnConfigure_ApplyPath"_s);
    }
    QVERIFY(SetMode(FFixture->AppDir(), 0755) && SetMode(FFixture->SettingsFile(), 0644));

    // The failure is shown, and the pages go on with the folder whose settings loaded.
    QVERIFY(!FDialogs->Calls().isEmpty());
    QCOMPARE(FContext->Orders(), orders);
    if (orders.isEmpty()) {
        QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 1);
        QCOMPARE(FFixture->ReadSettings(), settings);
    }
    ExpectTheOldFolder(oldFolder);
}

void TConfigurationPageTest::activationWritesUserIni()
{
    QCOMPARE(ChooseClanProfile()->currentText(), u"Clan"_s);
    Click(u"btnConfigure_ApplyProfile"_s);
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Text,
             FContext->GetLangText(TDialogType::Profiles_ProfileActivated));
    QCOMPARE(FFixture->Game().ReadFile(u"System/User.ini"_s), KClanProfile);

    // The page shows the profile now active, which is nothing to activate again.
    QCOMPARE(Label(u"lbConfigure_ActiveProfile"_s), u"Active profile: Clan"_s);
    QVERIFY(!Find<QWidget>(u"btnConfigure_ApplyProfile"_s)->isEnabled());
    Click(u"btnConfigure_EditProfiles"_s);
    QCOMPARE(FContext->Orders(), QStringList({"ShowPage tbProfiles"}));
}

void TConfigurationPageTest::failedBackupLeavesUserIniAlone()
{
    ChooseClanProfile();
    // Only the backup can fail: "User.ini" and its folder stay writable.
    const QString backups = FFixture->AppFile(u"Profiles/Backups"_s);
    QVERIFY(SetMode(backups, 0555));
    QVERIFY(SetMode(FFixture->Game().Path(u"System"_s), 0777));
    QVERIFY(SetMode(FFixture->Game().Path(u"System/User.ini"_s), 0666));
    {
        TFileProtection protection(FFixture->Root());
        Click(u"btnConfigure_ApplyProfile"_s);
    }
    SetMode(backups, 0755);

    // The profiles' test proves "User.ini" is kept; here the failure is said, never success.
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 0);
    QCOMPARE(Label(u"lbConfigure_ActiveProfile"_s), u"Active profile: (DEFAULT)"_s);
}

void TConfigurationPageTest::languageApplySavesTheCodeAndDressesThePage()
{
    // The code is all that follows "Lang.", dots and all.
    FFixture->AddLanguage(u"pt.br"_s, u"Portugues (Brasil)"_s, u"DE "_s);
    ShowPage();
    QByteArray expected = FFixture->ReadSettings();
    expected.replace("<language>int</language>", "<language>pt.br</language>");
    auto* languages = Find<QComboBox>(u"cbConfigure_SelectLang"_s);
    const int chosen = languages->findText(u"Portugues (Brasil)"_s);

    // Nothing chosen: nothing happens.
    languages->setCurrentIndex(-1);
    Click(u"btnConfigure_ApplyLang"_s);
    QCOMPARE(FContext->Orders(), QStringList());

    languages->setCurrentIndex(chosen);
    Click(u"btnConfigure_ApplyLang"_s);
    QCOMPARE(FContext->Orders(), QStringList({u"ApplyLanguage %1"_s.arg(chosen)}));
    QCOMPARE(FFixture->ReadSettings(), expected);
    QCOMPARE(Label(u"lbConfigure_ActiveProfile"_s), u"DE Active profile: (DEFAULT)"_s);
    QCOMPARE(languages->currentText(), u"Portugues (Brasil)"_s);
}

void TConfigurationPageTest::advancedPanelWritesOnlyItsValues()
{
    ShowPage();
    const QByteArray original = FFixture->ReadSettings();
    Click(u"btnConfig_Advanced"_s);
    auto* resizeable = Find<QCheckBox>(u"cbConfig_IsWindowResizeable"_s);
    auto* unknown = Find<QCheckBox>(u"cbConfig_InstallUnknownContents"_s);
    auto* cache = Find<QCheckBox>(u"cbConfig_EnableCache"_s);
    auto* update = Find<QWidget>(u"btnConfig_UpdateCache"_s);
    resizeable->setChecked(false);
    unknown->setChecked(false);
    Click(u"btnConfig_Save"_s);
    QByteArray expected = original;
    expected.replace("<iswindowsizeable>True</iswindowsizeable>",
                     "<iswindowsizeable>False</iswindowsizeable>");
    expected.replace("<destination mask=\"*unknown_content\">%help%</destination>",
                     "<destination mask=\"*unknown_content\">%no_install%</destination>");
    QCOMPARE(FFixture->ReadSettings(), expected);
    QCOMPARE(FDialogs->Calls().size(), 0);

    // Turning the cache on asks once whether to build it; "Update cache now" builds it while
    // the cache is on.
    cache->setChecked(true);
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Click(u"btnConfig_Save"_s);
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Text,
             FContext->GetLangText(TDialogType::Common_Update_Cache));
    QCOMPARE(FContext->Orders(), QStringList({"UpdateMapCache"}));
    expected.replace("<enablemapmanagercache>False</enablemapmanagercache>",
                     "<enablemapmanagercache>True</enablemapmanagercache>");
    QCOMPARE(FFixture->ReadSettings(), expected);
    Click(u"btnConfig_Save"_s);
    QCOMPARE(FDialogs->Calls().size(), 1);

    // A change saved elsewhere (File > Cache) shows at once while the panel is open.
    FContext->Settings().EnableMapManagerCache = false;
    QVERIFY(FContext->Settings().SaveToFile());
    QVERIFY(!cache->isChecked());
    QVERIFY(!update->isEnabled());
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

QTEST_MAIN(TConfigurationPageTest)
#include "TConfigurationPageTest.moc"

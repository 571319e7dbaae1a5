#include "TGameSettingsPage.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"
#include "TextCodec.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include <clocale>
#include <string>

// The game settings page over the page context's double: video values, gore, player and the
// files Save may touch.
class TGameSettingsPageTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void realServerValuesLoadAndSaveUnchanged_data();
    void realServerValuesLoadAndSaveUnchanged();
    void oddVideoValuesLoadAndOnlyMovedOnesAreWritten();
    void fullGoreFollowsBothFiles();
    void noGameFileIsCreated();
    void characterAndNameAreWrittenAsTheyStand();
    void editButtonsShowTheFileInTheIniEditor();

private:
    TGameSettingsPage* ShowPage();
    template <class T> T* Find(const QString& name) const
    {
        return Child<T>(FContext->Host(), name);
    }
    void Click(const QString& button) const
    {
        QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
    }
    // Track bar maximum, position and value label of one video value; the up-down must mirror
    // the track bar.
    QString Video(const QString& key) const;
    void SetGameIniVideo(const QByteArray& lines) const;
    QByteArray GameIni() const
    {
        return FFixture->Game().ReadFile(QStringLiteral("System/UT2004.ini"));
    }

    std::unique_ptr<TProgramFixture> FFixture;
    std::unique_ptr<TScriptedDialogs> FDialogs;
    std::unique_ptr<TPageContextDouble> FContext;
};

namespace {

// A file as the game writes its UTF-16 texts: byte-order mark, then UTF-16LE.
QByteArray Utf16Le(const QString& text)
{
    return QByteArray("\xff\xfe", 2) + EncodeUtf16LE(text);
}

const QByteArray KPlayers = "[Public]\r\n"
                            "Player=(DefaultName=\"Jakob\",Race=\"Human\",Menu=\"SP\")\r\n"
                            "Player=(DefaultName=\"Gorge\",Race=\"Juggernaut\",Menu=\"SP\")\r\n"
                            "Player=(DefaultName=\"Xan\",Race=\"Robot\",Menu=\"DUP\")\r\n";

} // namespace

void TGameSettingsPageTest::init()
{
    FFixture = std::make_unique<TProgramFixture>();
    FDialogs = std::make_unique<TScriptedDialogs>();
    FFixture->Game().WriteFile(QStringLiteral("System/xplayersL1.upl"), KPlayers);
}

void TGameSettingsPageTest::cleanup()
{
    FContext.reset();
    FDialogs.reset();
    FFixture.reset();
}

TGameSettingsPage* TGameSettingsPageTest::ShowPage()
{
    FContext = std::make_unique<TPageContextDouble>(*FFixture);
    return FContext->Create<TGameSettingsPage>(QStringLiteral("tbUTSettings"));
}

QString TGameSettingsPageTest::Video(const QString& key) const
{
    const auto* trackBar = Find<QSlider>(QStringLiteral("tbSettings_") + key);
    const auto* upDown = Find<QSpinBox>(QStringLiteral("udSettings_") + key);
    if (upDown->value() != trackBar->value() || upDown->maximum() != trackBar->maximum())
        return QStringLiteral("up-down %1 of %2 does not mirror")
            .arg(upDown->value())
            .arg(upDown->maximum());
    return QStringLiteral("%1 %2 %3")
        .arg(trackBar->maximum())
        .arg(trackBar->value())
        .arg(Find<QLabel>(QStringLiteral("lbSettings_%1Value").arg(key))->text());
}

void TGameSettingsPageTest::SetGameIniVideo(const QByteArray& lines) const
{
    QByteArray ini = GameIni();
    ini.truncate(ini.indexOf("[WinDrv.WindowsClient]"));
    FFixture->Game().WriteFile(QStringLiteral("System/UT2004.ini"),
                               ini +
                                   "[Engine.GameInfo]\r\nGoreLevel=0\r\n\r\n"
                                   "[WinDrv.WindowsClient]\r\n" +
                                   lines);
}

void TGameSettingsPageTest::realServerValuesLoadAndSaveUnchanged_data()
{
    QTest::addColumn<bool>("decimalComma");
    QTest::newRow("C locale") << false;
    QTest::newRow("German locale") << true;
}

void TGameSettingsPageTest::realServerValuesLoadAndSaveUnchanged()
{
    QFETCH(bool, decimalComma);
    const QString real = RealDataDir();
    if (real.isEmpty())
        QSKIP("The real game files are not on this machine");
    const QString dir = real + QStringLiteral("/ini/GrantSorenson-LumpysInvasionServer/System/");
    const QByteArray gameIni = ReadBytes(dir + QStringLiteral("UT2004.ini"));
    const QByteArray userIni = ReadBytes(dir + QStringLiteral("User.ini"));
    FFixture->Game().WriteFile(QStringLiteral("System/UT2004.ini"), gameIni);
    FFixture->Game().WriteFile(QStringLiteral("System/User.ini"), userIni);
    const std::string savedLocale = std::setlocale(LC_ALL, nullptr);
    if (decimalComma) {
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
            QSKIP("The locale de_DE.UTF-8 is not installed");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    ShowPage();
    const QString gamma = Video(QStringLiteral("Gamma"));
    const QString contrast = Video(QStringLiteral("Contrast"));
    const QString brightness = Video(QStringLiteral("Brightness"));
    const QString name = Find<QLineEdit>(QStringLiteral("lbeSettings_Playername"))->text();
    const QString frameRate =
        Find<QLineEdit>(QStringLiteral("lbeSettings_MinDesFramerate"))->text();
    Click(QStringLiteral("btnSettings_Save"));
    std::setlocale(LC_ALL, savedLocale.c_str());
    QLocale::setDefault(QLocale::c());

    QCOMPARE(gamma, QStringLiteral("160 80 0,8"));
    QCOMPARE(contrast, QStringLiteral("140 70 0,7"));
    QCOMPARE(brightness, QStringLiteral("160 80 0,8"));
    QCOMPARE(name, QStringLiteral("Lumps"));
    QCOMPARE(frameRate, QStringLiteral("35.000000"));
    QCOMPARE(GameIni(), gameIni);
    QCOMPARE(FFixture->Game().ReadFile(QStringLiteral("System/User.ini")), userIni);
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TGameSettingsPageTest::oddVideoValuesLoadAndOnlyMovedOnesAreWritten()
{
    SetGameIniVideo("Gamma=0.734375\r\n"
                    "Brightness=0\r\n"
                    "Contrast=bright\r\n");
    ShowPage();
    QCOMPARE(Video(QStringLiteral("Gamma")), QStringLiteral("147 73 0,73"));
    // No number: at 1, and the label says so although the position never moved.
    QCOMPARE(Video(QStringLiteral("Contrast")), QStringLiteral("200 100 1"));
    // A maximum of 0 would hold the track bar still.
    QCOMPARE(Video(QStringLiteral("Brightness")), QStringLiteral("200 0 0"));
    QCOMPARE(FDialogs->Calls().size(), 0);

    // The up-down moves the track bar, the track bar the up-down, neither echoes back.
    auto* brightness = Find<QSpinBox>(QStringLiteral("udSettings_Brightness"));
    brightness->stepBy(5);
    QCOMPARE(Video(QStringLiteral("Brightness")), QStringLiteral("200 5 0,05"));
    auto* contrast = Find<QSlider>(QStringLiteral("tbSettings_Contrast"));
    contrast->setFocus();
    QTest::keyClick(contrast, Qt::Key_Right);
    QCOMPARE(Video(QStringLiteral("Contrast")), QStringLiteral("200 101 1,01"));
    QTest::keyClick(contrast, Qt::Key_Left);
    Click(QStringLiteral("btnSettings_Save"));
    QCOMPARE(GameIni().mid(GameIni().indexOf("[WinDrv.WindowsClient]")),
             QByteArray("[WinDrv.WindowsClient]\r\n"
                        "Gamma=0.734375\r\n"
                        "Brightness=0.05\r\n"
                        "Contrast=1\r\n"));

    // A missing value is not added; a reload forgets the moves.
    SetGameIniVideo("Brightness=1.25\r\n");
    FContext->ShowPage(QStringLiteral("tbUTSettings"));
    QCOMPARE(Video(QStringLiteral("Gamma")), QStringLiteral("200 100 1"));
    QCOMPARE(Video(QStringLiteral("Brightness")), QStringLiteral("250 125 1,25"));
    Click(QStringLiteral("btnSettings_Save"));
    QVERIFY(GameIni().endsWith("[WinDrv.WindowsClient]\r\nBrightness=1.25\r\n"));
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TGameSettingsPageTest::fullGoreFollowsBothFiles()
{
    const QString engine = QStringLiteral("System/Engine.int");
    const QString engineText = QStringLiteral("[Public]\r\nObject=(Name=Engine.Engine)\r\n"
                                              "[GameInfo]\r\nbAlternateMode=FALSE\r\n");
    FFixture->Game().WriteFile(engine, Utf16Le(engineText));
    QByteArray ini = GameIni() + "\r\n[Engine.GameInfo]\r\nGoreLevel=2\r\n";
    FFixture->Game().WriteFile(QStringLiteral("System/UT2004.ini"), ini);
    ShowPage();
    auto* gore = Find<QCheckBox>(QStringLiteral("cbSettings_EnableFullGore"));
    QVERIFY(gore->isChecked());

    // The level is compared as text.
    ini.replace("GoreLevel=2", "GoreLevel=02");
    FFixture->Game().WriteFile(QStringLiteral("System/UT2004.ini"), ini);
    FContext->ShowPage(QStringLiteral("tbUTSettings"));
    QVERIFY(!gore->isChecked());

    ini.replace("GoreLevel=02", "GoreLevel=2");
    FFixture->Game().WriteFile(QStringLiteral("System/UT2004.ini"), ini);
    FContext->ShowPage(QStringLiteral("tbUTSettings"));
    QVERIFY(gore->isChecked());
    gore->click();
    Click(QStringLiteral("btnSettings_Save"));
    QVERIFY(GameIni().endsWith("[Engine.GameInfo]\r\nGoreLevel=0\r\n"));
    // The language file stays UTF-16LE, with only its value changed.
    QCOMPARE(FFixture->Game().ReadFile(engine),
             Utf16Le(QString(engineText).replace(QLatin1String("FALSE"), QLatin1String("True"))));

    gore->click();
    Click(QStringLiteral("btnSettings_Save"));
    QVERIFY(GameIni().endsWith("[Engine.GameInfo]\r\nGoreLevel=2\r\n"));
    QCOMPARE(FFixture->Game().ReadFile(engine),
             Utf16Le(QString(engineText).replace(QLatin1String("FALSE"), QLatin1String("False"))));
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TGameSettingsPageTest::noGameFileIsCreated()
{
    // No language in the main INI file, no "User.ini".
    QByteArray ini = GameIni();
    ini.replace("Language=int\r\n", "");
    FFixture->Game().WriteFile(QStringLiteral("System/UT2004.ini"), ini);
    FFixture->Game().WriteFile(QStringLiteral("System/Engine.int"),
                               "[GameInfo]\r\nbAlternateMode=False\r\n");
    QFile::remove(FFixture->Game().Path(QStringLiteral("System/User.ini")));
    const QStringList files =
        QDir(FFixture->Game().Path(QStringLiteral("System"))).entryList(QDir::Files);
    ShowPage();
    QVERIFY(!Find<QCheckBox>(QStringLiteral("cbSettings_EnableFullGore"))->isChecked());
    QCOMPARE(Find<QLineEdit>(QStringLiteral("lbeSettings_Playername"))->text(), QString());

    Find<QLineEdit>(QStringLiteral("lbeSettings_Playername"))->setText(QStringLiteral("Nobody"));
    Find<QCheckBox>(QStringLiteral("cbSettings_EnableFullGore"))->setChecked(true);
    Click(QStringLiteral("btnSettings_Save"));
    QCOMPARE(QDir(FFixture->Game().Path(QStringLiteral("System"))).entryList(QDir::Files), files);
    QCOMPARE(GameIni(), ini + "\r\n[Engine.GameInfo]\r\nGoreLevel=2\r\n");
    QCOMPARE(FFixture->Game().ReadFile(QStringLiteral("System/Engine.int")),
             QByteArray("[GameInfo]\r\nbAlternateMode=False\r\n"));
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TGameSettingsPageTest::characterAndNameAreWrittenAsTheyStand()
{
    // A character the list lacks (letter case counts) stands as text, and typing adds no item.
    FFixture->Game().WriteFile(QStringLiteral("System/User.ini"),
                               "[DefaultPlayer]\r\nName=\"Quoted\"\r\nCharacter=gorge\r\n");
    ShowPage();
    auto* character = Find<QComboBox>(QStringLiteral("cbSettings_PlayerModel"));
    QCOMPARE(character->count(), 2);
    QCOMPARE(character->currentIndex(), -1);
    QCOMPARE(character->currentText(), QStringLiteral("gorge"));
    character->lineEdit()->selectAll();
    QTest::keyClicks(character, QStringLiteral("Malcolm"));
    QTest::keyClick(character, Qt::Key_Return);
    QCOMPARE(character->count(), 2);
    Click(QStringLiteral("btnSettings_Save"));
    // The unchanged name keeps its quotes.
    QCOMPARE(FFixture->Game().ReadFile(QStringLiteral("System/User.ini")),
             QByteArray("[DefaultPlayer]\r\nName=\"Quoted\"\r\nCharacter=Malcolm\r\n"));
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TGameSettingsPageTest::editButtonsShowTheFileInTheIniEditor()
{
    // The game finds "User.ini" in any letter case; the editor gets the file as it is named.
    const QString userIni = FFixture->Game().Path(QStringLiteral("System/user.ini"));
    QFile::rename(FFixture->Game().Path(QStringLiteral("System/User.ini")), userIni);
    ShowPage();
    FContext->CreatePage(QStringLiteral("tbINIEditor"));
    auto* fileBox = Find<QComboBox>(QStringLiteral("cbINI_FileName"));
    FContext->ClearOrders();

    Click(QStringLiteral("btnSettings_User"));
    QCOMPARE(FContext->Orders(),
             QStringList({QStringLiteral("LoadIniFile ") + userIni, "ShowPage tbINIEditor"}));
    QCOMPARE(fileBox->currentText(), userIni);

    FContext->ClearOrders();
    Click(QStringLiteral("btnSettings_UT2003"));
    const QString gameIni = FFixture->Game().Path(QStringLiteral("System/UT2004.ini"));
    QCOMPARE(FContext->Orders(),
             QStringList({QStringLiteral("LoadIniFile ") + gameIni, "ShowPage tbINIEditor"}));
    QCOMPARE(fileBox->currentText(), gameIni);
    QCOMPARE(FDialogs->Calls().size(), 0);
}

QTEST_MAIN(TGameSettingsPageTest)
#include "TGameSettingsPageTest.moc"

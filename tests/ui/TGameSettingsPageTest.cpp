#include "TGameSettingsPage.h"
#include "TPageTest.h"
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

using namespace Qt::StringLiterals;

// The game settings page over the page context's double: video values, gore, player and the
// files Save may touch.
class TGameSettingsPageTest : public TPageTest
{
    Q_OBJECT

private slots:
    void realServerValuesLoadAndSaveUnchanged_data();
    void realServerValuesLoadAndSaveUnchanged();
    void oddVideoValuesLoadAndOnlyMovedOnesAreWritten();
    void fullGoreFollowsBothFiles();
    void noGameFileIsCreated();
    void characterAndNameAreWrittenAsTheyStand();
    void editButtonsShowTheFileInTheIniEditor();

private:
    void Prepare() override;
    TGameSettingsPage* ShowPage()
    {
        return TPageTest::ShowPage<TGameSettingsPage>(u"tbUTSettings"_s);
    }
    // Track bar maximum, position and value label of one video value; the up-down must mirror
    // the track bar.
    QString Video(const QString& key) const;
    void SetGameIniVideo(const QByteArray& lines) const;
    QByteArray GameIni() const { return FFixture->Game().ReadFile(u"System/UT2004.ini"_s); }
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

void TGameSettingsPageTest::Prepare()
{
    FFixture->Game().WriteFile(u"System/xplayersL1.upl"_s, KPlayers);
}

QString TGameSettingsPageTest::Video(const QString& key) const
{
    const auto* trackBar = Find<QSlider>(u"tbSettings_"_s + key);
    const auto* upDown = Find<QSpinBox>(u"udSettings_"_s + key);
    if (upDown->value() != trackBar->value() || upDown->maximum() != trackBar->maximum())
        return u"up-down %1 of %2 does not mirror"_s.arg(upDown->value()).arg(upDown->maximum());
    return u"%1 %2 %3"_s.arg(trackBar->maximum())
        .arg(trackBar->value())
        .arg(Find<QLabel>(u"lbSettings_%1Value"_s.arg(key))->text());
}

void TGameSettingsPageTest::SetGameIniVideo(const QByteArray& lines) const
{
    QByteArray ini = GameIni();
    ini.truncate(ini.indexOf("[WinDrv.WindowsClient]"));
    FFixture->Game().WriteFile(u"System/UT2004.ini"_s,
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
    const QString dir = real + u"/ini/GrantSorenson-LumpysInvasionServer/System/"_s;
    const QByteArray gameIni = ReadBytes(dir + u"UT2004.ini"_s);
    const QByteArray userIni = ReadBytes(dir + u"User.ini"_s);
    FFixture->Game().WriteFile(u"System/UT2004.ini"_s, gameIni);
    FFixture->Game().WriteFile(u"System/User.ini"_s, userIni);
    const std::string savedLocale = std::setlocale(LC_ALL, nullptr);
    if (decimalComma) {
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
            QSKIP("The locale de_DE.UTF-8 is not installed");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    ShowPage();
    const QString gamma = Video(u"Gamma"_s);
    const QString contrast = Video(u"Contrast"_s);
    const QString brightness = Video(u"Brightness"_s);
    const QString name = Find<QLineEdit>(u"lbeSettings_Playername"_s)->text();
    const QString frameRate = Find<QLineEdit>(u"lbeSettings_MinDesFramerate"_s)->text();
    Click(u"btnSettings_Save"_s);
    std::setlocale(LC_ALL, savedLocale.c_str());
    QLocale::setDefault(QLocale::c());

    QCOMPARE(gamma, u"160 80 0,8"_s);
    QCOMPARE(contrast, u"140 70 0,7"_s);
    QCOMPARE(brightness, u"160 80 0,8"_s);
    QCOMPARE(name, u"Lumps"_s);
    QCOMPARE(frameRate, u"35.000000"_s);
    QCOMPARE(GameIni(), gameIni);
    QCOMPARE(FFixture->Game().ReadFile(u"System/User.ini"_s), userIni);
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TGameSettingsPageTest::oddVideoValuesLoadAndOnlyMovedOnesAreWritten()
{
    SetGameIniVideo("Gamma=0.734375\r\n"
                    "Brightness=0\r\n"
                    "Contrast=bright\r\n");
    ShowPage();
    QCOMPARE(Video(u"Gamma"_s), u"147 73 0,73"_s);
    // No number: at 1, and the label says so although the position never moved.
    QCOMPARE(Video(u"Contrast"_s), u"200 100 1"_s);
    // A maximum of 0 would hold the track bar still.
    QCOMPARE(Video(u"Brightness"_s), u"200 0 0"_s);
    QCOMPARE(FDialogs->Calls().size(), 0);

    // The up-down moves the track bar, the track bar the up-down, neither echoes back.
    auto* brightness = Find<QSpinBox>(u"udSettings_Brightness"_s);
    brightness->stepBy(5);
    QCOMPARE(Video(u"Brightness"_s), u"200 5 0,05"_s);
    auto* contrast = Find<QSlider>(u"tbSettings_Contrast"_s);
    contrast->setFocus();
    QTest::keyClick(contrast, Qt::Key_Right);
    QCOMPARE(Video(u"Contrast"_s), u"200 101 1,01"_s);
    QTest::keyClick(contrast, Qt::Key_Left);
    Click(u"btnSettings_Save"_s);
    QCOMPARE(GameIni().mid(GameIni().indexOf("[WinDrv.WindowsClient]")),
             QByteArray("[WinDrv.WindowsClient]\r\n"
                        "Gamma=0.734375\r\n"
                        "Brightness=0.05\r\n"
                        "Contrast=1\r\n"));

    // A missing value is not added; a reload forgets the moves.
    SetGameIniVideo("Brightness=1.25\r\n");
    FContext->ShowPage(u"tbUTSettings"_s);
    QCOMPARE(Video(u"Gamma"_s), u"200 100 1"_s);
    QCOMPARE(Video(u"Brightness"_s), u"250 125 1,25"_s);
    Click(u"btnSettings_Save"_s);
    QVERIFY(GameIni().endsWith("[WinDrv.WindowsClient]\r\nBrightness=1.25\r\n"));
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TGameSettingsPageTest::fullGoreFollowsBothFiles()
{
    const QString engine = u"System/Engine.int"_s;
    const QString engineText = QStringLiteral("[Public]\r\nObject=(Name=Engine.Engine)\r\n"
                                              "[GameInfo]\r\nbAlternateMode=FALSE\r\n");
    FFixture->Game().WriteFile(engine, Utf16Le(engineText));
    const QByteArray ini = GameIni() + "\r\n[Engine.GameInfo]\r\nGoreLevel=";
    // The level is compared as text: "02" is no full gore.
    FFixture->Game().WriteFile(u"System/UT2004.ini"_s, ini + "02\r\n");
    ShowPage();
    auto* gore = Find<QCheckBox>(u"cbSettings_EnableFullGore"_s);
    QVERIFY(!gore->isChecked());
    FFixture->Game().WriteFile(u"System/UT2004.ini"_s, ini + "2\r\n");
    FContext->ShowPage(u"tbUTSettings"_s);
    QVERIFY(gore->isChecked());
    gore->click();
    Click(u"btnSettings_Save"_s);
    QVERIFY(GameIni().endsWith("[Engine.GameInfo]\r\nGoreLevel=0\r\n"));
    // The language file stays UTF-16LE, with only its value changed.
    QCOMPARE(FFixture->Game().ReadFile(engine),
             Utf16Le(QString(engineText).replace(QLatin1String("FALSE"), QLatin1String("True"))));

    gore->click();
    Click(u"btnSettings_Save"_s);
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
    FFixture->Game().WriteFile(u"System/UT2004.ini"_s, ini);
    FFixture->Game().WriteFile(u"System/Engine.int"_s, "[GameInfo]\r\nbAlternateMode=False\r\n");
    QFile::remove(FFixture->Game().Path(u"System/User.ini"_s));
    const QStringList files = QDir(FFixture->Game().Path(u"System"_s)).entryList(QDir::Files);
    ShowPage();
    QVERIFY(!Find<QCheckBox>(u"cbSettings_EnableFullGore"_s)->isChecked());
    QCOMPARE(Find<QLineEdit>(u"lbeSettings_Playername"_s)->text(), QString());

    Find<QLineEdit>(u"lbeSettings_Playername"_s)->setText(u"Nobody"_s);
    Find<QCheckBox>(u"cbSettings_EnableFullGore"_s)->setChecked(true);
    Click(u"btnSettings_Save"_s);
    QCOMPARE(QDir(FFixture->Game().Path(u"System"_s)).entryList(QDir::Files), files);
    QCOMPARE(GameIni(), ini + "\r\n[Engine.GameInfo]\r\nGoreLevel=2\r\n");
    QCOMPARE(FFixture->Game().ReadFile(u"System/Engine.int"_s),
             QByteArray("[GameInfo]\r\nbAlternateMode=False\r\n"));
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TGameSettingsPageTest::characterAndNameAreWrittenAsTheyStand()
{
    // A character the list lacks (letter case counts) stands as text, and typing adds no item.
    FFixture->Game().WriteFile(u"System/User.ini"_s,
                               "[DefaultPlayer]\r\nName=\"Quoted\"\r\nCharacter=gorge\r\n");
    ShowPage();
    auto* character = Find<QComboBox>(u"cbSettings_PlayerModel"_s);
    QCOMPARE(character->count(), 2);
    QCOMPARE(character->currentIndex(), -1);
    QCOMPARE(character->currentText(), u"gorge"_s);
    character->lineEdit()->selectAll();
    QTest::keyClicks(character, u"Malcolm"_s);
    QTest::keyClick(character, Qt::Key_Return);
    QCOMPARE(character->count(), 2);
    Click(u"btnSettings_Save"_s);
    // The unchanged name keeps its quotes.
    QCOMPARE(FFixture->Game().ReadFile(u"System/User.ini"_s),
             QByteArray("[DefaultPlayer]\r\nName=\"Quoted\"\r\nCharacter=Malcolm\r\n"));

    // An edited name goes to "User.ini" only, the frame rate to the main INI file as typed.
    QByteArray gameIni = GameIni();
    Find<QLineEdit>(u"lbeSettings_Playername"_s)->setText(u"Neo"_s);
    Find<QLineEdit>(u"lbeSettings_MinDesFramerate"_s)->setText(u"60,5"_s);
    Click(u"btnSettings_Save"_s);
    QCOMPARE(FFixture->Game().ReadFile(u"System/User.ini"_s),
             QByteArray("[DefaultPlayer]\r\nName=Neo\r\nCharacter=Malcolm\r\n"));
    QCOMPARE(GameIni(),
             gameIni.replace("MinDesiredFrameRate=35.000000", "MinDesiredFrameRate=60,5"));
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TGameSettingsPageTest::editButtonsShowTheFileInTheIniEditor()
{
    // The game finds "User.ini" in any letter case; the editor gets the file as it is named.
    const QString userIni = FFixture->Game().Path(u"System/user.ini"_s);
    QFile::rename(FFixture->Game().Path(u"System/User.ini"_s), userIni);
    ShowPage();
    FContext->CreatePage(u"tbINIEditor"_s);
    auto* fileBox = Find<QComboBox>(u"cbINI_FileName"_s);
    FContext->ClearOrders();

    Click(u"btnSettings_User"_s);
    QCOMPARE(FContext->Orders(),
             QStringList({u"LoadIniFile "_s + userIni, "ShowPage tbINIEditor"}));
    QCOMPARE(fileBox->currentText(), userIni);
    Click(u"btnSettings_UT2003"_s);
    QCOMPARE(fileBox->currentText(), FFixture->Game().Path(u"System/UT2004.ini"_s));
    QCOMPARE(FDialogs->Calls().size(), 0);
}

QTEST_MAIN(TGameSettingsPageTest)
#include "TGameSettingsPageTest.moc"

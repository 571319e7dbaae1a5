#include "TGameSettingsPage.h"
#include "ui_TGameSettingsPage.h"

#include "GamePath.h"
#include "Guard.h"
#include "IPageContext.h"
#include "TKOVASettings.h"
#include "TUT2003Profile.h"
#include "uKOVA_Misc.h"

#include <QLocale>
#include <QScopedValueRollback>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace {

const QString KPlayerSection = QStringLiteral("DefaultPlayer");
const QString KVideoSection = QStringLiteral("WinDrv.WindowsClient");
const QString KGameInfoSection = QStringLiteral("Engine.GameInfo");
const QString KAlternateSection = QStringLiteral("GameInfo");
const QString KGoreKey = QStringLiteral("GoreLevel");
const QString KAlternateKey = QStringLiteral("bAlternateMode");

// A value whose text is missing or no number shows at 1, on a track bar that reaches 2.
constexpr int KDefaultPosition = 100;
constexpr int KDefaultMaximum = 200;
// The up-down mirrors the track bar with a 16-bit position.
constexpr int KMaxPosition = 32767;

// The values of one file that Save writes, all in one write of the file: one rewrite of a large
// file instead of one per value, and a failure leaves none of them written.
class TFileWrites final
{
public:
    explicit TFileWrites(const QString& fileName)
        : FIni(fileName)
    {}
    // Nothing when the file holds the value already.
    void Add(const QString& section, const QString& key, const QString& value)
    {
        if (FIni.ReadValue(section, key) != value)
            FValues.append({section, key, value});
    }
    void Write() { FIni.WriteStrings(FValues); }

private:
    TIniFile FIni;
    QList<TIniValue> FValues;
};

} // namespace

TGameSettingsPage::TGameSettingsPage(IPageContext& context, QWidget* parent)
    : TPageBase(context, parent)
    , FUi(std::make_unique<Ui::TGameSettingsPage>())
{
    FUi->setupUi(this);
    FVideo = {{
        {QStringLiteral("Gamma"), FUi->tbSettings_Gamma, FUi->udSettings_Gamma,
         FUi->lbSettings_GammaValue},
        {QStringLiteral("Contrast"), FUi->tbSettings_Contrast, FUi->udSettings_Contrast,
         FUi->lbSettings_ContrastValue},
        {QStringLiteral("Brightness"), FUi->tbSettings_Brightness, FUi->udSettings_Brightness,
         FUi->lbSettings_BrightnessValue},
    }};
    ConnectGuarded(FUi->btnSettings_Save, &QPushButton::clicked, this,
                   &TGameSettingsPage::btnSettings_SaveClick);
    ConnectGuarded(FUi->btnSettings_User, &QPushButton::clicked, this,
                   &TGameSettingsPage::btnSettings_UserClick);
    ConnectGuarded(FUi->btnSettings_UT2003, &QPushButton::clicked, this,
                   &TGameSettingsPage::btnSettings_UT2003Click);
    ConnectGuarded(FUi->tbSettings_Gamma, &QSlider::valueChanged, this,
                   &TGameSettingsPage::tbSettings_GammaChange);
    ConnectGuarded(FUi->tbSettings_Contrast, &QSlider::valueChanged, this,
                   &TGameSettingsPage::tbSettings_ContrastChange);
    ConnectGuarded(FUi->tbSettings_Brightness, &QSlider::valueChanged, this,
                   &TGameSettingsPage::tbSettings_BrightnessChange);
    ConnectGuarded(FUi->udSettings_Gamma, &QSpinBox::valueChanged, this,
                   &TGameSettingsPage::udSettings_GammaClick);
    ConnectGuarded(FUi->udSettings_Contrast, &QSpinBox::valueChanged, this,
                   &TGameSettingsPage::udSettings_ContrastClick);
    ConnectGuarded(FUi->udSettings_Brightness, &QSpinBox::valueChanged, this,
                   &TGameSettingsPage::udSettings_BrightnessClick);
}

TGameSettingsPage::~TGameSettingsPage() = default;

QString TGameSettingsPage::DotToComma(const QString& s)
{
    return QString(s).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString TGameSettingsPage::CommaToDot(const QString& s)
{
    return QString(s).replace(QLatin1Char(','), QLatin1Char('.'));
}

QString TGameSettingsPage::PositionText(int position)
{
    // Whole numbers only, so that neither rounding nor the locale can change the text.
    position = std::max(position, 0);
    QString text = QString::number(position / 100);
    const int hundredths = position % 100;
    if (hundredths == 0)
        return text;
    text += QLatin1Char(',') + QString::number(hundredths / 10);
    if (hundredths % 10 != 0)
        text += QString::number(hundredths % 10);
    return text;
}

QString TGameSettingsPage::UserIniFile() const
{
    const TUT2003Profile* profiles = FContext.Profiles();
    return profiles ? profiles->ActiveFileName() : QString();
}

QString TGameSettingsPage::EngineLanguageFile() const
{
    const TKOVASettings& settings = FContext.Settings();
    const QString language = settings.GetGameLanguage();
    // The language names a file of the System folder, never one elsewhere.
    if (language.isEmpty() || language.contains(QLatin1Char('/')) ||
        language.contains(QLatin1Char('\\')))
        return QString();
    const QString file = ResolveGamePath(settings.GetPath(TMapPaths::mpSystem) +
                                         QStringLiteral("/Engine.") + language);
    return GameFileExists(file) ? file : QString();
}

void TGameSettingsPage::ShowGameSettingsPage()
{
    LoadGameSettings();
}

void TGameSettingsPage::LoadGameSettings()
{
    const QScopedValueRollback loading(FLoading, true);
    const TKOVASettings& settings = FContext.Settings();
    const QString userIni = UserIniFile();
    const QString gameIni = settings.GetGameIniFile();

    FLoadedName = IniReadString(userIni, KPlayerSection, QStringLiteral("Name"));
    FUi->lbeSettings_Playername->setText(FLoadedName);
    FUi->cbSettings_PlayerModel->clear();
    FUi->cbSettings_PlayerModel->addItems(settings.GetSPCharacters());
    FLoadedCharacter = IniReadString(userIni, KPlayerSection, QStringLiteral("Character"));
    FLoadedFrameRate = IniReadString(gameIni, KVideoSection, QStringLiteral("MinDesiredFrameRate"));
    FUi->lbeSettings_MinDesFramerate->setText(FLoadedFrameRate);
    const int item = FUi->cbSettings_PlayerModel->findText(
        FLoadedCharacter, Qt::MatchExactly | Qt::MatchCaseSensitive);
    FUi->cbSettings_PlayerModel->setCurrentIndex(item);
    if (item < 0)
        FUi->cbSettings_PlayerModel->setEditText(FLoadedCharacter);

    const QString engineFile = EngineLanguageFile();
    const bool fullGore = !engineFile.isEmpty() &&
                          IniReadString(engineFile, KAlternateSection, KAlternateKey).toLower() ==
                              QLatin1String("false") &&
                          IniReadString(gameIni, KGameInfoSection, KGoreKey) ==
                              QString::number(settings.MaxGoreLevel);
    FUi->cbSettings_EnableFullGore->setChecked(fullGore);

    for (TVideoValue& value : FVideo)
        LoadVideoValue(value, IniReadString(gameIni, KVideoSection, value.Key));
}

void TGameSettingsPage::LoadVideoValue(TVideoValue& value, const QString& text)
{
    int position = KDefaultPosition;
    int maximum = KDefaultMaximum;
    bool ok = false;
    const double number = QLocale::c().toDouble(CommaToDot(text).trimmed(), &ok);
    if (ok && std::isfinite(number)) {
        // Clamped first, so that the rounding cannot overflow.
        const double limited = std::clamp(number, -double(KMaxPosition), double(KMaxPosition));
        position = int(std::lround(limited * 100));
        maximum = int(std::lround(limited * 200));
        if (maximum < 1)
            maximum = KDefaultMaximum;
    }
    maximum = std::min(maximum, KMaxPosition);
    position = std::clamp(position, 0, maximum);

    // The maximum first, so that the position is never clamped to the old one.
    value.TrackBar->setMaximum(maximum);
    {
        const QSignalBlocker blocker(value.UpDown);
        value.UpDown->setRange(0, maximum);
    }
    value.TrackBar->setValue(position);
    // Also when the position did not move: the label and up-down show this value.
    TrackBarChange(value);
    value.Moved = false;
}

void TGameSettingsPage::TrackBarChange(TVideoValue& value)
{
    value.Label->setText(PositionText(value.TrackBar->value()));
    {
        // The up-down follows without feeding the track bar back.
        const QSignalBlocker blocker(value.UpDown);
        value.UpDown->setValue(value.TrackBar->value());
    }
    if (!FLoading)
        value.Moved = true;
}

void TGameSettingsPage::UpDownClick(TVideoValue& value)
{
    value.TrackBar->setValue(value.UpDown->value());
}

void TGameSettingsPage::tbSettings_GammaChange()
{
    TrackBarChange(FVideo[0]);
}

void TGameSettingsPage::tbSettings_ContrastChange()
{
    TrackBarChange(FVideo[1]);
}

void TGameSettingsPage::tbSettings_BrightnessChange()
{
    TrackBarChange(FVideo[2]);
}

void TGameSettingsPage::udSettings_GammaClick()
{
    UpDownClick(FVideo[0]);
}

void TGameSettingsPage::udSettings_ContrastClick()
{
    UpDownClick(FVideo[1]);
}

void TGameSettingsPage::udSettings_BrightnessClick()
{
    UpDownClick(FVideo[2]);
}

void TGameSettingsPage::SaveGameSettings()
{
    const TKOVASettings& settings = FContext.Settings();
    // Values the user left alone keep the bytes the files have (quotes, number formats), and a
    // key the file lacks is not added empty.
    const QString userIni = UserIniFile();
    const QString name = FUi->lbeSettings_Playername->text();
    const QString character = FUi->cbSettings_PlayerModel->currentText();
    if (GameFileExists(userIni)) {
        TFileWrites player(userIni);
        if (name != FLoadedName)
            player.Add(KPlayerSection, QStringLiteral("Name"), name);
        if (character != FLoadedCharacter)
            player.Add(KPlayerSection, QStringLiteral("Character"), character);
        player.Write();
    }
    FLoadedName = name;
    FLoadedCharacter = character;

    const QString gameIni = settings.GetGameIniFile();
    if (!GameFileExists(gameIni))
        return;
    TFileWrites game(gameIni);
    const QString frameRate = FUi->lbeSettings_MinDesFramerate->text();
    if (frameRate != FLoadedFrameRate)
        game.Add(KVideoSection, QStringLiteral("MinDesiredFrameRate"), frameRate);
    const bool fullGore = FUi->cbSettings_EnableFullGore->isChecked();
    game.Add(KGameInfoSection, KGoreKey,
             QString::number(fullGore ? settings.MaxGoreLevel : settings.MinGoreLevel));
    for (const TVideoValue& value : FVideo) {
        if (value.Moved)
            game.Add(KVideoSection, value.Key, CommaToDot(value.Label->text()));
    }
    game.Write();
    FLoadedFrameRate = frameRate;
    for (TVideoValue& value : FVideo)
        value.Moved = false;

    if (const QString engineFile = EngineLanguageFile(); !engineFile.isEmpty()) {
        TFileWrites engine(engineFile);
        engine.Add(KAlternateSection, KAlternateKey,
                   fullGore ? QStringLiteral("False") : QStringLiteral("True"));
        engine.Write();
    }
}

void TGameSettingsPage::btnSettings_SaveClick()
{
    SaveGameSettings();
}

void TGameSettingsPage::EditFile(const QString& fileName)
{
    // The editor would otherwise go on showing the file it had, under this button's name.
    if (!GameFileExists(fileName))
        return;
    FContext.LoadIniFile(fileName);
    FContext.ShowPage(QStringLiteral("tbINIEditor"));
}

void TGameSettingsPage::btnSettings_UserClick()
{
    EditFile(UserIniFile());
}

void TGameSettingsPage::btnSettings_UT2003Click()
{
    EditFile(FContext.Settings().GetGameIniFile());
}

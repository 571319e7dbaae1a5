#pragma once

#include <array>
#include <memory>

#include "TPageBase.h"

class QLabel;
class QSlider;
class QSpinBox;

namespace Ui {
class TGameSettingsPage;
}

// The game settings page: the player name and character of the active "User.ini", and the
// video values, frame rate and gore level of the game's main INI file, edited in place. Every
// activation reloads the page from the game files; Save writes them.
class TGameSettingsPage final : public TPageBase
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TGameSettingsPage)

public:
    TGameSettingsPage(IPageContext& context, QWidget* parent);
    ~TGameSettingsPage() override;

    void RefreshPage() override { ShowGameSettingsPage(); }

    // The page's refresh handler.
    void ShowGameSettingsPage();
    // Fills the page from the game files; values the files lack show as empty texts (the video
    // values at 1).
    void LoadGameSettings();
    // Writes the page into the game files, creating none of them. A failed write raises
    // EIniFileException; the values before it stay written.
    void SaveGameSettings();

    static QString DotToComma(const QString& s);
    static QString CommaToDot(const QString& s);
    // Position / 100 with "," as decimal separator and no trailing zeros ("0,8", "1", "1,25").
    static QString PositionText(int position);

    void btnSettings_SaveClick();
    void btnSettings_UserClick();
    void btnSettings_UT2003Click();
    void tbSettings_GammaChange();
    void tbSettings_ContrastChange();
    void tbSettings_BrightnessChange();
    void udSettings_GammaClick();
    void udSettings_ContrastClick();
    void udSettings_BrightnessClick();

private:
    // One video value of the main INI file: its track bar, the up-down that mirrors it and the
    // label that shows it.
    struct TVideoValue
    {
        QString Key;
        QSlider* TrackBar = nullptr;
        QSpinBox* UpDown = nullptr;
        QLabel* Label = nullptr;
        bool Moved = false; // by the user since the last load or save
    };

    void LoadVideoValue(TVideoValue& value, const QString& text);
    void TrackBarChange(TVideoValue& value);
    void UpDownClick(TVideoValue& value);
    // The active "User.ini"; empty without a profile list.
    QString UserIniFile() const;
    // The game's engine language file ("System/Engine.<language>"); empty when the main INI
    // file names no language or the file is missing.
    QString EngineLanguageFile() const;
    // Shows File in the INI editor page.
    void EditFile(const QString& fileName);

    std::unique_ptr<Ui::TGameSettingsPage> FUi;
    std::array<TVideoValue, 3> FVideo;
    bool FLoading = false;
    // The texts as loaded: Save leaves a value the user did not change as the file has it.
    QString FLoadedName;
    QString FLoadedCharacter;
    QString FLoadedFrameRate;
};

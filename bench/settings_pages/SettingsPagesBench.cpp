// The game settings page and the profiles page over real game files.
//
//   bench_settings_pages [--profiles N] [--runs N]
//
// Game settings: the page's activation (every value read from a copy of the real server
// "UT2004.ini" and "User.ini") and its Save with all three video values moved, the player name
// changed and the gore level written. Profiles: N profiles (default 100), each the real 55 KB
// server "User.ini" with a profile section; the page's refresh alone, and the profile list
// rebuilt from the folder followed by the page's refresh (the first of those parses every file;
// later ones find the parses cached).
#include "BenchRuns.h"
#include "TKOVASettings.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"
#include "TUT2003Profile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QThread>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

// Runs Action Runs times, each after Prepare (not timed); prints the first, best, median and
// worst time.
void Measure(const char* what, int runs, const std::function<void(int run)>& action,
             const std::function<void()>& prepare = {})
{
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        if (prepare)
            prepare();
        times.push_back(TimeMs([&] { action(r); }));
    }
    ReportRuns(what, times);
}

} // namespace

int main(int argc, char** argv)
{
    UseOffscreenDisplay();
    QApplication app(argc, argv);
    const int profileCount = std::max(0, IntOption(argc, argv, "--profiles", 100));
    const int runs = RunsOption(argc, argv, 21);
    const QString real =
        QStringLiteral(KOVA_REALDATA_DIR "/ini/GrantSorenson-LumpysInvasionServer/System/");
    const QByteArray gameIni = ReadBytes(real + QStringLiteral("UT2004.ini"));
    const QByteArray userIni = ReadBytes(real + QStringLiteral("User.ini"));
    if (gameIni.isEmpty() || userIni.isEmpty()) {
        std::printf("The real game files are not in %s\n", qPrintable(real));
        return 1;
    }

    TProgramFixture fixture;
    fixture.Game().WriteFile(QStringLiteral("System/UT2004.ini"), gameIni);
    fixture.Game().WriteFile(QStringLiteral("System/User.ini"), userIni);
    TScriptedDialogs dialogs;
    TPageContextDouble context(fixture);

    // Game settings.
    context.CreatePage(QStringLiteral("tbUTSettings"));
    Measure("game settings: activation", runs,
            [&](int) { context.ShowPage(QStringLiteral("tbUTSettings")); });
    // A file changed on disk is parsed again.
    Measure(
        "game settings: activation, files changed", runs,
        [&](int) { context.ShowPage(QStringLiteral("tbUTSettings")); },
        [&] {
            QThread::msleep(20);
            fixture.Game().WriteFile(QStringLiteral("System/UT2004.ini"), gameIni);
            fixture.Game().WriteFile(QStringLiteral("System/User.ini"), userIni);
        });
    QWidget* host = context.Host();
    auto* save = Child<QPushButton>(host, QStringLiteral("btnSettings_Save"));
    auto* name = Child<QLineEdit>(host, QStringLiteral("lbeSettings_Playername"));
    const QStringList sliders = {QStringLiteral("tbSettings_Gamma"),
                                 QStringLiteral("tbSettings_Contrast"),
                                 QStringLiteral("tbSettings_Brightness")};
    Measure("game settings: Save (3 video values moved)", runs, [&](int run) {
        for (const QString& slider : sliders)
            Child<QSlider>(host, slider)->setValue(50 + run);
        name->setText(QStringLiteral("Player %1").arg(run));
        save->click();
    });

    Measure("game settings: Save (player name changed)", runs, [&](int run) {
        name->setText(QStringLiteral("Another %1").arg(run));
        save->click();
    });

    // Profiles.
    TUT2003Profile* profiles = context.Profiles();
    for (int i = 0; i < profileCount; ++i) {
        const QByteArray section =
            "\r\n[UT2004KOVA]\r\nProfileName=Profile " + QByteArray::number(i) +
            "\r\nID=" + QUuid::createUuid().toString().toUpper().toLatin1() + "\r\n";
        WriteBytes(profiles->ProfilesDir() +
                       QStringLiteral("Profile%1.ini").arg(i, 3, 10, QLatin1Char('0')),
                   userIni + section);
    }
    context.CreatePage(QStringLiteral("tbProfiles"));
    Measure("profiles: list rebuilt, then page refresh", runs, [&](int) {
        context.Profiles()->Refresh();
        context.ShowPage(QStringLiteral("tbProfiles"));
    });
    Measure("profiles: page refresh", runs,
            [&](int) { context.ShowPage(QStringLiteral("tbProfiles")); });
    std::printf("%d profiles listed\n", context.Profiles()->GetCount());
    if (!dialogs.Calls().isEmpty()) {
        std::printf("A dialog was shown: %s\n", qPrintable(dialogs.Calls().first().Text));
        return 1;
    }
    return 0;
}

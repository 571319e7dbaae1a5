// From creating the main window to its first paint, as the program starts over a large
// installation: no package may be read on the way.
//
//   bench_main_window [--maps N] [--shots N] [--cache N] [--runs N]
//
// Writes a fixture (default 2,000 maps, 5,000 screenshots, 2,000 download-cache entries), then
// times, per run, a new main window from its constructor until the first paint event reaches
// it, once with the map cache on (its file written beforehand) and once with the maps folder
// scanned. The first run of the process also pays Qt's own first-use costs (fonts, style).
#include "BenchRuns.h"
#include "TMapManager.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"
#include "TfrmMain.h"
#include "uKOVA_MapCache.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Notes when the first paint event reaches the window or one of its children.
class TFirstPaint final : public QObject
{
public:
    explicit TFirstPaint(QWidget* window)
        : FWindow(window)
    {
        qApp->installEventFilter(this);
    }
    ~TFirstPaint() override { qApp->removeEventFilter(this); }
    bool Painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!Painted && event->type() == QEvent::Paint) {
            const auto* widget = qobject_cast<QWidget*>(watched);
            Painted = widget && widget->window() == FWindow;
        }
        return false;
    }

private:
    QWidget* FWindow;
};

struct TRun
{
    double CreateMs = 0;
    double PaintMs = 0;
};

bool WriteFixture(const TProgramFixture& fixture, int maps, int shots, int cacheEntries)
{
    const TGameFolder& game = fixture.Game();
    const char* const prefixes[] = {"DM-", "CTF-", "BR-", "DOM-", "ONS-", "AS-", "VCTF-", "xyz-"};
    QList<TMapCacheItem> items;
    for (int i = 0; i < maps; ++i) {
        const QString name = QStringLiteral("%1Map%2.ut2")
                                 .arg(QLatin1String(prefixes[i % std::size(prefixes)]))
                                 .arg(i, 5, 10, QLatin1Char('0'));
        const QString path = WriteMap(game, name, "Map " + std::to_string(i), "Bench");
        items.append({path, QStringLiteral("Bench"), QStringLiteral("Map %1").arg(i),
                      QStringLiteral("A map of the benchmark")});
    }
    if (!WriteMapCache(fixture.AppFile(QStringLiteral("cache.xml")), items))
        return false;
    for (int i = 0; i < shots; ++i)
        WriteScreenshot(game, QStringLiteral("Shot%1.bmp").arg(i, 5, 10, QLatin1Char('0')));
    QByteArray index = "[Cache]\r\n";
    for (int i = 0; i < cacheEntries; ++i) {
        const QByteArray guid =
            QByteArray::number(0x10000000 + i, 16).toUpper() + "0000000000000000000000AB";
        index += guid + "=Package" + QByteArray::number(i) + ".u\r\n";
        game.WriteFile(
            QStringLiteral("Cache/") + QString::fromLatin1(guid) + QStringLiteral(".uxx"), "data");
    }
    game.WriteFile(QStringLiteral("Cache/cache.ini"), index);
    return true;
}

// One window from its constructor to its first paint; false when something went wrong.
bool RunOnce(const TProgramFixture& fixture, int maps, TRun& run)
{
    TScriptedDialogs dialogs;
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<TfrmMain> window = fixture.CreateMainWindow();
    run.CreateMs = timer.nsecsElapsed() / 1e6;
    TFirstPaint paint(window.get());
    window->show();
    while (!paint.Painted && timer.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    run.PaintMs = timer.nsecsElapsed() / 1e6;
    if (!paint.Painted) {
        std::printf("  no paint within 30 s\n");
        return false;
    }
    if (!dialogs.Calls().isEmpty()) {
        std::printf("  a dialog was shown: %s\n", qPrintable(dialogs.Calls().first().Text));
        return false;
    }
    const TMapManager* manager = window->MapManager();
    if (manager->GetCount() != maps) {
        std::printf("  %d maps listed of %d\n", manager->GetCount(), maps);
        return false;
    }
    for (int i = 0; i < manager->GetCount(); ++i) {
        if (manager->GetItem(i)->InfoLoaded()) {
            std::printf("  a package was read: %s\n", qPrintable(manager->GetItem(i)->FileName()));
            return false;
        }
    }
    return true;
}

void Report(const char* mode, std::vector<TRun> runs)
{
    const TRun first = runs.front();
    std::sort(runs.begin(), runs.end(),
              [](const TRun& a, const TRun& b) { return a.PaintMs < b.PaintMs; });
    const TRun& median = runs[runs.size() / 2];
    std::printf("%-22s first run %.0f ms (created in %.0f ms); best %.0f ms, median %.0f ms "
                "(created in %.0f ms), worst %.0f ms\n",
                mode, first.PaintMs, first.CreateMs, runs.front().PaintMs, median.PaintMs,
                median.CreateMs, runs.back().PaintMs);
}

} // namespace

int main(int argc, char** argv)
{
    UseOffscreenDisplay();
    QApplication app(argc, argv);
    const int maps = IntOption(argc, argv, "--maps", 2000);
    const int shots = IntOption(argc, argv, "--shots", 5000);
    const int cacheEntries = IntOption(argc, argv, "--cache", 2000);
    const int runs = RunsOption(argc, argv, 7);

    TProgramFixture fixture;
    QElapsedTimer writing;
    writing.start();
    if (!WriteFixture(fixture, maps, shots, cacheEntries)) {
        std::printf("cannot write the fixture\n");
        return 1;
    }
    std::printf("Fixture: %d maps, %d screenshots, %d download-cache entries, written in %.1f s\n",
                maps, shots, cacheEntries, writing.elapsed() / 1e3);

    for (const bool mapCache : {true, false}) {
        fixture.SetSetting(QStringLiteral("enablemapmanagercache"),
                           mapCache ? QStringLiteral("True") : QStringLiteral("False"));
        std::vector<TRun> results;
        for (int r = 0; r < runs; ++r) {
            TRun run;
            if (!RunOnce(fixture, maps, run))
                return 1;
            results.push_back(run);
        }
        Report(mapCache ? "map cache on:" : "maps folder scanned:", results);
    }
    return 0;
}

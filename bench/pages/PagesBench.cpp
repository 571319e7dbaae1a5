// The Map Manager and Screenshots pages over a large installation, in-process, each step timed
// from the user's action until the window has processed what it caused (layout and paint):
//
//   bench_pages [--maps N] [--shots N] [--runs N]
//
//   map list filled     the page's refresh handler with N maps (default 5,000)
//   map list sorted     a click on the size column
//   screenshots filled  the page's refresh handler with N screenshots (default 5,000)
//   thumbnail           selecting a 1920 x 1440 24-bit screenshot
//
// Targets: 300, 200, 500 and 100 ms. Prints the first, the best, the median and the worst of the
// runs.
#include "BenchRuns.h"
#include "BitmapWriter.h"
#include "TMapManager.h"
#include "TMapManagerPage.h"
#include "TPackageWriter.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScreenShotManager.h"
#include "TScreenshotManagerPage.h"
#include "TScriptedDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

void WriteFixture(const TProgramFixture& fixture, int maps, int shots)
{
    const TGameFolder& game = fixture.Game();
    const char* const prefixes[] = {"DM-", "CTF-", "BR-", "DOM-", "ONS-", "AS-", "VCTF-", "xyz-"};
    TMapTexts texts;
    texts.Title = "Bench";
    texts.Author = "Bench";
    const TBytes package = MakeMapPackage(texts);
    const QByteArray bytes(reinterpret_cast<const char*>(package.data()),
                           qsizetype(package.size()));
    for (int i = 0; i < maps; ++i) {
        // Sizes in no order, so that the sort has work to do.
        const int padding = (i * 7919) % 5000;
        game.WriteFile(QStringLiteral("Maps/%1Map%2.ut2")
                           .arg(QLatin1String(prefixes[i % std::size(prefixes)]))
                           .arg(i, 5, 10, QLatin1Char('0')),
                       bytes + QByteArray(padding, '\0'));
    }
    for (int i = 0; i < shots; ++i)
        WriteScreenshot(game, QStringLiteral("Shot%1.bmp").arg(i, 5, 10, QLatin1Char('0')));
    game.WriteFile(
        QStringLiteral("ScreenShots/Shot99999.bmp"),
        BitmapBytes24(1920, 1440, [](int x, int y) { return QuadrantColour(x, y, 1920, 1440); }));
}

// Runs Action, then lets the window lay out and paint what it changed.
double TimeMsPainted(const std::function<void()>& action)
{
    return TimeMs([&] {
        action();
        QCoreApplication::processEvents();
    });
}

QTreeWidgetItem* RowOf(QTreeWidget* list, const QString& caption)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(0) == caption)
            return list->topLevelItem(i);
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    UseOffscreenDisplay();
    QApplication app(argc, argv);
    const int maps = IntOption(argc, argv, "--maps", 5000);
    const int shots = IntOption(argc, argv, "--shots", 5000);
    const int runs = RunsOption(argc, argv, 7);

    TProgramFixture fixture;
    QElapsedTimer writing;
    writing.start();
    WriteFixture(fixture, maps, shots);
    std::printf("Fixture: %d maps, %d screenshots and one of 1920 x 1440, written in %.1f s\n",
                maps, shots, writing.elapsed() / 1e3);

    TScriptedDialogs dialogs;
    TPageContextDouble context(fixture);
    auto* mapPage = context.Create<TMapManagerPage>(QStringLiteral("tbMapManager"));
    auto* shotPage = context.Create<TScreenshotManagerPage>(QStringLiteral("tbScreenshotManager"));
    auto* mapList = Child<QTreeWidget>(context.Host(), QStringLiteral("lbMapManager_MapList"));
    auto* shotList = Child<QTreeWidget>(context.Host(), QStringLiteral("lwScreenShotManager_List"));
    auto* thumbnail =
        Child<QLabel>(context.Host(), QStringLiteral("imgScreenshotManager_Thumbnail"));
    if (mapList->topLevelItemCount() != maps || shotList->topLevelItemCount() != shots + 1) {
        std::printf("the lists hold %d maps and %d screenshots\n", mapList->topLevelItemCount(),
                    shotList->topLevelItemCount());
        return 1;
    }

    std::vector<double> fill, sort, shotFill, thumb;
    for (int r = 0; r < runs; ++r) {
        fill.push_back(TimeMsPainted([&] { mapPage->RefreshPage(); }));
        sort.push_back(TimeMsPainted([&] { emit mapList->header()->sectionClicked(2); }));
        shotFill.push_back(TimeMsPainted([&] { shotPage->RefreshPage(); }));
        QTreeWidgetItem* big = RowOf(shotList, QStringLiteral("Shot99999.bmp"));
        shotList->clearSelection();
        thumbnail->clear();
        thumb.push_back(TimeMsPainted([&] {
            shotList->setCurrentItem(big, 0, QItemSelectionModel::NoUpdate);
            big->setSelected(true);
        }));
        if (thumbnail->pixmap().isNull()) {
            std::printf("no thumbnail was shown\n");
            return 1;
        }
    }
    const QTreeWidgetItem* first = mapList->topLevelItem(0);
    const QTreeWidgetItem* last = mapList->topLevelItem(mapList->topLevelItemCount() - 1);
    if (first->data(2, Qt::UserRole).toLongLong() > last->data(2, Qt::UserRole).toLongLong()) {
        std::printf("the map list is not sorted by size\n");
        return 1;
    }
    ReportRuns("map list filled:", fill, 300);
    ReportRuns("map list sorted:", sort, 200);
    ReportRuns("screenshots filled:", shotFill, 500);
    ReportRuns("thumbnail:", thumb, 100);
    return 0;
}

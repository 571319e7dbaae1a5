// Filling the Cache Manager page with 10,000 download-cache entries (half of them with their
// data file, of eight file types) must take under 300 ms: the page's refresh handler, from an
// empty list to every row with its icon, size and GUID.
//
//   bench_cache_page [--entries N] [--runs N]
//
// Prints the spread of the runs and ends with 1 when it is above the limit.
#include "BenchRuns.h"
#include "TCachePage.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr double KLimitMs = 300;

void WriteCache(const TProgramFixture& fixture, int entries)
{
    const char* const types[] = {"u", "ut2", "utx", "uax", "usx", "ukx", "ogg", "int"};
    QByteArray index = "[Cache]\r\n";
    for (int i = 0; i < entries; ++i) {
        const QByteArray guid =
            QByteArray::number(0x10000000 + i, 16).toUpper() + "4F2A9C0E8B7D6A5B4C3D2E1F-1";
        index += guid + "=Package" + QByteArray::number(i) + "." + types[i % 8] + "\r\n";
        if (i % 2 == 0)
            fixture.Game().WriteFile("Cache/" + QString::fromLatin1(guid) + ".uxx",
                                     QByteArray(i % 512, 'x'));
    }
    fixture.Game().WriteFile(QStringLiteral("Cache/cache.ini"), index);
}

} // namespace

int main(int argc, char** argv)
{
    UseOffscreenDisplay();
    QApplication app(argc, argv);
    const int entries = IntOption(argc, argv, "--entries", 10000);
    const int runs = RunsOption(argc, argv, 11);

    TProgramFixture fixture;
    TScriptedDialogs dialogs;
    WriteCache(fixture, entries);
    TPageContextDouble context(fixture);
    auto* page = context.Create<TCachePage>(QStringLiteral("tbCacheManager"));
    const auto* list = page->findChild<QTreeWidget*>(QStringLiteral("lwCache_List"));

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        times.push_back(TimeMs([&] { page->ShowCachePage(); }));
        if (list->topLevelItemCount() != entries) {
            std::fprintf(stderr, "%d rows instead of %d\n", list->topLevelItemCount(), entries);
            return 2;
        }
    }
    std::printf("Filling the Cache Manager page with %d entries, %d runs\n", entries, runs);
    return ReportRuns("  fill:", times, KLimitMs) ? 0 : 1;
}

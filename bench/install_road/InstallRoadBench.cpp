// The add-on installation road against unzip, the summary dialog's filling, and the road's
// memory on a large entry.
//
//   bench_install_road [--runs N] [--folder DIR]
//
// Writes, in a fresh folder under DIR (default: the temporary folder):
//  - many.zip: 5,000 entries of 200 to 4,000 bytes under sub-folders, their extensions spread
//    over the shipped install rules (Maps, System, Textures, Sounds, Music, ..., Help);
//  - huge.zip: one 1 GiB entry of zeros, deflated.
// Then:
//  1. per run, "kova /install many.zip -s" over a fresh fixture game folder and
//     "unzip -o -q -j many.zip -d OUT" into an empty folder of the same file system, both whole
//     processes, alternating which goes first; prints the medians and the budget (unzip's time
//     plus 1 ms per entry), and the median of "kova /install missing.zip -s" (start and end);
//  2. the median time of filling the installation summary with 5,000 rows;
//  3. the peak memory of bench_install_road_memory installing huge.zip, above its peak before.
#include "BenchRuns.h"
#include "TInstallSummary.h"
#include "TInstallationSummary.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"
#include "TZipBuilder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

constexpr int KEntries = 5000;

bool WriteMany(const QString& path)
{
    static const char* const KExtensions[] = {".u",   ".utx", ".ut2", ".uax", ".int",
                                              ".usx", ".ukx", ".ogg", ".txt", ".det"};
    TZipBuilder builder;
    for (int i = 0; i < KEntries; ++i)
        builder.Add(QStringLiteral("Pack%1/File%2%3")
                        .arg(i % 9)
                        .arg(i, 5, 10, QLatin1Char('0'))
                        .arg(QLatin1String(KExtensions[i % 10]))
                        .toUtf8(),
                    SampleText(200 + (i * 7919) % 3800, i));
    return builder.Write(path);
}

bool WriteHuge(const QString& path)
{
    TZipBuilderEntry entry;
    entry.Name = "Maps/DM-Huge.ut2";
    entry.Zeros = qint64(1) << 30;
    return TZipBuilder().Add(entry).Write(path);
}

} // namespace

int main(int argc, char** argv)
{
    UseOffscreenDisplay();
    QApplication app(argc, argv);
    TBenchOptions options;
    if (!ReadBenchOptions(argc, argv, options))
        return 1;
    const int runs = options.Runs;
    const QString unzip = options.Unzip;
    QTemporaryDir folder(options.Folder + QStringLiteral("/kova-bench-road-XXXXXX"));
    const QString many = folder.filePath(QStringLiteral("many.zip"));
    const QString huge = folder.filePath(QStringLiteral("huge.zip"));
    std::printf("Writing the archives in %s ...\n", qPrintable(folder.path()));
    std::fflush(stdout);
    if (!WriteMany(many) || !WriteHuge(huge))
        return 1;

    // 1. The whole program against unzip.
    std::vector<double> road, other, bare;
    for (int run = 0; run < runs; ++run) {
        TProgramFixture fixture;
        QProcess start;
        fixture.PrepareProgram(start, QStringLiteral(KOVA_PROGRAM),
                               {QStringLiteral("/install"), folder.filePath(QStringLiteral("none")),
                                QStringLiteral("-s")});
        bare.push_back(TimedProcess(start, 1));
        const auto ours = [&] {
            QProcess install;
            fixture.PrepareProgram(install, QStringLiteral(KOVA_PROGRAM),
                                   {QStringLiteral("/install"), many, QStringLiteral("-s")});
            road.push_back(TimedProcess(install));
        };
        const auto theirs = [&] {
            const QString out = fixture.Root() + QStringLiteral("/out");
            QDir().mkpath(out);
            QProcess extract;
            extract.setProgram(unzip);
            extract.setArguments({QStringLiteral("-o"), QStringLiteral("-q"), QStringLiteral("-j"),
                                  many, QStringLiteral("-d"), out});
            other.push_back(TimedProcess(extract));
        };
        InTurns(run, ours, theirs);
        if (road.back() < 0 || other.back() < 0 || bare.back() < 0)
            return 1;
    }
    const double ours = Median(road), theirs = Median(other);
    std::printf("\nInstalling %d small entries (median of %d runs, ms)\n", KEntries, runs);
    std::printf("  kova /install -s       %10.1f\n", ours);
    std::printf("  unzip -o -q -j         %10.1f\n", theirs);
    std::printf("  budget (unzip + 1 ms per entry) %10.1f: %s\n", theirs + KEntries,
                ours <= theirs + KEntries ? "within" : "OVER");
    std::printf("  kova start and end alone %8.1f\n", Median(bare));

    // 2. Filling the summary dialog.
    {
        TProgramFixture fixture;
        TScriptedDialogs dialogs;
        TPageContextDouble context(fixture);
        TInstallSummary summary;
        for (int i = 0; i < KEntries; ++i) {
            const bool plain = i % 3 == 0;
            summary.Add(std::make_unique<TInstallSummaryItem>(
                plain ? fixture.Root() + QStringLiteral("/work/") : many,
                plain ? fixture.Root() + QStringLiteral("/work/File%1.u").arg(i)
                      : QStringLiteral("Pack%1\\File%2.u").arg(i % 9).arg(i),
                fixture.Game().Path(QStringLiteral("System/File%1.u").arg(i)), i % 7 != 0));
        }
        TInstallationSummary dialog;
        std::vector<double> fills;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            dialog.Fill(&summary, context.CurrentLanguage(), &context.Settings());
            fills.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        std::printf("\nFilling the summary with %d rows (median, ms): %.1f (%d rows)\n", KEntries,
                    Median(fills), dialog.Files()->topLevelItemCount());
    }

    // 3. Memory on one large entry.
    {
        TProgramFixture fixture;
        QProcess install;
        install.setProgram(QStringLiteral(KOVA_MEMORY_PROGRAM));
        install.setArguments({fixture.SettingsFile(), huge});
        const double ms = TimedProcess(install);
        long idle = 0, peak = 0;
        if (ms < 0 ||
            std::sscanf(install.readAllStandardOutput().constData(), "%ld %ld", &idle, &peak) != 2)
            return 1;
        std::printf("\nInstalling one 1 GiB entry: %.1f ms, peak memory %.1f MB above the peak "
                    "before (limit 16 MB)\n",
                    ms, double(peak - idle) / 1024.0);
    }
    return 0;
}

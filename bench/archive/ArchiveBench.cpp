// The zip engine against unzip, and the archive window's listing.
//
//   bench_archive [--runs N] [--folder DIR]
//
// Writes, in a fresh folder under DIR (default: the temporary folder):
//  - mixed.zip: 2,000 entries of 200 MB in all, sizes from 1 KB to 2 MB: text (deflated),
//    random bytes (stored) and half-and-half (deflated);
//  - single.zip: one 200 MB entry of text, deflated;
//  - list.zip: 10,000 small entries.
// Then, per archive and run, extracts every entry flat into an empty folder of the same file
// system, once by bench_archive_extract (the engine, a whole process) and once by
// "unzip -o -q -j ARCHIVE -d DIR", alternating which goes first; the written data is synced
// between runs and not timed. Prints the medians side by side, the engine's peak memory above
// its idle peak on the single entry, and the medians of opening list.zip in the engine and in
// the archive window (list filled).
#include "BenchRuns.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"
#include "TZipArchive.h"
#include "TZipBuilder.h"
#include "TfrmArchiveInspector.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <QTreeWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

constexpr qint64 KMegabyte = 1024 * 1024;

bool WriteMixed(const QString& path)
{
    QRandomGenerator random(2004);
    std::vector<qint64> sizes;
    qint64 total = 0;
    for (int i = 0; i < 2000; ++i) {
        // Many small files and a few large ones, as add-on archives hold them.
        const double x = random.generateDouble();
        sizes.push_back(qint64(1024 * std::pow(2048.0, x * x)));
        total += sizes.back();
    }
    const double scale = double(200 * KMegabyte) / double(total);
    TZipBuilder builder;
    static const char* const KExtensions[] = {".ut2", ".u", ".utx", ".uax", ".int", ".txt"};
    for (int i = 0; i < 2000; ++i) {
        const qint64 size = qBound<qint64>(1024, qint64(sizes[i] * scale), 2 * KMegabyte);
        TZipBuilderEntry entry;
        entry.Name = QStringLiteral("Folder%1/File%2%3")
                         .arg(i % 7)
                         .arg(i, 4, 10, QLatin1Char('0'))
                         .arg(QLatin1String(KExtensions[i % 6]))
                         .toUtf8();
        switch (i % 4) {
        case 0:
        case 1:
            entry.Data = SampleText(size, i);
            break;
        case 2:
            entry.Data = RandomBytes(size, i);
            entry.Deflate = false;
            break;
        default:
            entry.Data = SampleText(size / 2, i) + RandomBytes(size - size / 2, i);
            break;
        }
        builder.Add(entry);
    }
    return builder.Write(path);
}

bool WriteSingle(const QString& path)
{
    TZipBuilderEntry entry;
    entry.Name = "Maps/DM-Huge.ut2";
    entry.Data = SampleText(200 * KMegabyte, 1);
    return TZipBuilder().Add(entry).Write(path);
}

bool WriteList(const QString& path)
{
    TZipBuilder builder;
    static const char* const KExtensions[] = {".ut2", ".u",   ".utx", ".uax", ".int",
                                              ".ini", ".txt", ".ogg", ".bmp", ".upl"};
    for (int i = 0; i < 10000; ++i)
        builder.Add(QStringLiteral("Folder%1/Entry%2%3")
                        .arg(i % 13)
                        .arg(i, 5, 10, QLatin1Char('0'))
                        .arg(QLatin1String(KExtensions[i % 10]))
                        .toUtf8(),
                    SampleText(64 + i % 200, i));
    return builder.Write(path);
}

// Runs Program once into an empty Folder; its wall time in milliseconds, negative on failure.
double TimedRun(const QString& program, const QStringList& arguments, const QString& folder,
                QByteArray* output = nullptr)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    const double ms = TimedProcess(process);
    if (output)
        *output = process.readAllStandardOutput();
    return ms;
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
    QTemporaryDir folder(options.Folder + QStringLiteral("/kova-bench-archive-XXXXXX"));
    const auto path = [&](const char* name) { return folder.filePath(QLatin1String(name)); };
    std::printf("Writing the archives in %s ...\n", qPrintable(folder.path()));
    std::fflush(stdout);
    if (!WriteMixed(path("mixed.zip")) || !WriteSingle(path("single.zip")) ||
        !WriteList(path("list.zip")))
        return 1;

    std::printf("\n%-44s %12s %12s %8s\n", "Extract All (median of runs, ms)", "engine", "unzip",
                "ratio");
    long peakAboveIdle = 0;
    for (const char* name : {"mixed.zip", "single.zip"}) {
        std::vector<double> engine, other;
        for (int run = 0; run < runs; ++run) {
            const auto ours = [&] {
                QByteArray output;
                engine.push_back(TimedRun(QStringLiteral(KOVA_EXTRACT_PROGRAM),
                                          {path(name), path("out")}, path("out"), &output));
                long idle = 0, peak = 0;
                if (std::sscanf(output.constData(), "%ld %ld", &idle, &peak) == 2 &&
                    std::strcmp(name, "single.zip") == 0)
                    peakAboveIdle = std::max(peakAboveIdle, peak - idle);
            };
            const auto theirs = [&] {
                other.push_back(TimedRun(unzip, {"-o", "-q", "-j", path(name), "-d", path("out")},
                                         path("out")));
            };
            InTurns(run, ours, theirs);
        }
        const double a = Median(engine), b = Median(other);
        std::printf("%-44s %12.1f %12.1f %8.3f\n", name, a, b, a / b);
    }
    QDir(path("out")).removeRecursively();
    std::printf("Engine's peak memory above idle, single entry: %.1f MB\n",
                double(peakAboveIdle) / 1024.0);

    // Listing: the engine alone, and the window with its list filled.
    std::vector<double> open, window;
    TZipArchive zip;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        if (!zip.Open(path("list.zip")))
            return 1;
        open.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    TProgramFixture fixture;
    TScriptedDialogs dialogs;
    TPageContextDouble context(fixture);
    TfrmArchiveInspector inspector(context);
    for (int run = 0; run < runs; ++run) {
        inspector.CloseArchive();
        QElapsedTimer timer;
        timer.start();
        if (!inspector.OpenArchive(path("list.zip")))
            return 1;
        window.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("\nListing 10,000 entries (median, ms): engine %.1f, window %.1f (%d rows)\n",
                Median(open), Median(window), inspector.Files()->topLevelItemCount());
    return 0;
}

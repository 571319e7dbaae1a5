// FindFiles over a generated tree of 50,000 files must take at most twice what
// `find DIR -type f` takes on the same tree. Run: bench_findfiles [--benchmark_min_time=2]
// The program prints both times and the ratio, and ends with 1 when the ratio is above 2.
// Making the tree takes a while; with KOVA_FINDFILES_TREE naming a folder, the tree is made
// there once and kept.

#include "uKOVA_Misc.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

constexpr int KTopFolders = 20;
constexpr int KSubFolders = 10;
constexpr int KFilesPerFolder = 250; // 20 * 10 * 250 = 50,000 files

QString GTree;

void BuildTree(const QString& root)
{
    const char* const extensions[] = {"ut2", "UTX", "uax", "u", "int", "ini", "Ukx", "usx"};
    for (int top = 0; top < KTopFolders; ++top) {
        for (int sub = 0; sub < KSubFolders; ++sub) {
            const QString folder = QString("%1/Folder%2/Sub%3").arg(root).arg(top).arg(sub);
            QDir().mkpath(folder);
            for (int i = 0; i < KFilesPerFolder; ++i) {
                // Mixed letter case, so the sort has work to do.
                const QString name = QString("%1File-%2.%3")
                                         .arg(i % 3 ? "map" : "MAP")
                                         .arg((i * 7919) % 100000, 5, 10, QLatin1Char('0'))
                                         .arg(extensions[i % 8]);
                QFile file(folder + "/" + name);
                if (!file.open(QIODevice::WriteOnly))
                    std::abort();
            }
        }
    }
}

void BM_FindFiles(benchmark::State& state)
{
    const QString dir = GTree + "/";
    qsizetype found = 0;
    for (auto _ : state) {
        QStringList list;
        FindFiles(dir, "*.*", true, list);
        found = list.size();
        benchmark::DoNotOptimize(list);
    }
    state.counters["files"] = double(found);
}

void BM_FindCommand(benchmark::State& state)
{
    const std::string command = "find '" + GTree.toStdString() + "' -type f > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("find failed");
    }
}

BENCHMARK(BM_FindFiles)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FindCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps the mean real time of each benchmark for the verdict.
class TRecordingReporter final : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.iterations > 0)
                Seconds[run.benchmark_name()] = run.real_accumulated_time / double(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Seconds;
};

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir temp;
    GTree = qEnvironmentVariable("KOVA_FINDFILES_TREE");
    if (GTree.isEmpty())
        GTree = temp.path();
    if (!QFile::exists(GTree + "/Folder0"))
        BuildTree(GTree);

    benchmark::Initialize(&argc, argv);
    TRecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double ours = reporter.Seconds["BM_FindFiles/real_time"];
    const double find = reporter.Seconds["BM_FindCommand/real_time"];
    if (ours <= 0 || find <= 0)
        return 0; // filtered out
    std::printf("FindFiles %.1f ms, find %.1f ms: %.2f times (limit 2)\n", ours * 1000, find * 1000,
                ours / find);
    return ours / find <= 2.0 ? 0 : 1;
}

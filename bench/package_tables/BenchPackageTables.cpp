// Loading a package's header and tables, against reading the same bytes with plain reads from
// a warm page cache.
#include "BenchFiles.h"
#include "PackageRanges.h"
#include "TPackageWriter.h"
#include "UT_Packages.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

TByteRanges TableRanges(const std::string& File)
{
    TUTPackage Package;
    Package.LoadFromFile(File);
    return TableRanges(File, Package);
}

const std::string& GeneratedFile()
{
    static TBenchFolder Folder;
    static const std::string File = [] {
        const std::string Name = Folder.Path("Tables50k.u");
        WritePackageFile(Name, MakeTablePackage(50000));
        return Name;
    }();
    return File;
}

std::string LargestRealFile()
{
    return std::string(KOVA_REALDATA_DIR) + "/Maps/CTF-Magma.ut2";
}

void LoadTables(benchmark::State& State, const std::string& File)
{
    if (!std::filesystem::exists(File)) {
        State.SkipWithError("file missing");
        return;
    }
    for (auto _ : State) {
        TUTPackage Package;
        Package.LoadFromFile(File);
        benchmark::DoNotOptimize(Package.GetExportCount());
    }
}

void ReadTableBytes(benchmark::State& State, const std::string& File)
{
    if (!std::filesystem::exists(File)) {
        State.SkipWithError("file missing");
        return;
    }
    const TByteRanges Ranges = TableRanges(File);
    std::vector<char> Buffer;
    std::int64_t Bytes = 0;
    for (auto _ : State) {
        Bytes = PlainRead(File, Ranges, Buffer);
        benchmark::DoNotOptimize(Buffer.data());
    }
    State.counters["table_bytes"] = static_cast<double>(Bytes);
}

void BM_LoadTables_Real(benchmark::State& State)
{
    LoadTables(State, LargestRealFile());
}
void BM_PlainRead_Real(benchmark::State& State)
{
    ReadTableBytes(State, LargestRealFile());
}
void BM_LoadTables_50k(benchmark::State& State)
{
    LoadTables(State, GeneratedFile());
}
void BM_PlainRead_50k(benchmark::State& State)
{
    ReadTableBytes(State, GeneratedFile());
}

} // namespace

BENCHMARK(BM_LoadTables_Real)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainRead_Real)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadTables_50k)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainRead_50k)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();

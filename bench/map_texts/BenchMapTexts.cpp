// A map's three texts, end to end, over 1,000 generated maps of realistic size and over the
// real maps, against a plain read of the bytes the reader must touch.
#include "BenchFiles.h"
#include "PackageRanges.h"
#include "MapTextsRead.h"
#include "TPackageWriter.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

struct TMapSet
{
    std::vector<std::string> Files;
    std::vector<TByteRanges> Touched; // per file: header and tables, LevelSummary's data
};

// What the reader needs of a map laid out as the game lays it out: the header and name table
// at the start, the import and export tables at the end, and LevelSummary's data.
TByteRanges TouchedRanges(const std::string& File)
{
    TUTPackage Package;
    Package.LoadFromFile(File);
    TByteRanges Ranges = TableRanges(File, Package);
    const int Index = Package.FindObject(TUTFindKind::fkExport, TUTFindFields::ffObjectName, "",
                                         "LevelSummary", "", 0);
    if (Index >= 0) {
        const TUTExportTableObjectData* Summary = Package.GetExport(Index);
        Ranges.emplace_back(Summary->SerialOffset(), Summary->SerialSize());
    }
    return Ranges;
}

const TMapSet& GeneratedMaps()
{
    static TBenchFolder Folder;
    static const TMapSet Set = [] {
        TMapSet Result;
        for (int I = 0; I < 1000; ++I) {
            TMapTexts Texts;
            Texts.Title = "Generated map " + std::to_string(I);
            Texts.Author = "Bench";
            Texts.Description = "A map of realistic size, written for the benchmark.";
            // About a megabyte: 2,500 names, 2,000 exports, like a middling real map.
            const std::string File = Folder.Path("DM-Gen" + std::to_string(I) + ".ut2");
            WritePackageFile(File, MakeLargeMapPackage(Texts, 2500, 2000, 1000000));
            Result.Files.push_back(File);
            Result.Touched.push_back(TouchedRanges(File));
        }
        return Result;
    }();
    return Set;
}

const TMapSet& RealMaps()
{
    static const TMapSet Set = [] {
        TMapSet Result;
        const std::filesystem::path Folder = std::filesystem::path(KOVA_REALDATA_DIR) / "Maps";
        std::error_code Error;
        for (const auto& Entry : std::filesystem::directory_iterator(Folder, Error)) {
            Result.Files.push_back(Entry.path().string());
            Result.Touched.push_back(TouchedRanges(Entry.path().string()));
        }
        return Result;
    }();
    return Set;
}

void Texts(benchmark::State& State, const TMapSet& Set)
{
    if (Set.Files.empty()) {
        State.SkipWithError("no maps");
        return;
    }
    // Warm the page cache.
    for (const std::string& File : Set.Files) {
        ReadMapTexts(File);
    }
    std::size_t Next = 0;
    for (auto _ : State) {
        benchmark::DoNotOptimize(ReadMapTexts(Set.Files[Next]));
        Next = (Next + 1) % Set.Files.size();
    }
}

void PlainReads(benchmark::State& State, const TMapSet& Set)
{
    if (Set.Files.empty()) {
        State.SkipWithError("no maps");
        return;
    }
    std::vector<char> Buffer;
    std::size_t Next = 0;
    std::int64_t Bytes = 0;
    for (auto _ : State) {
        Bytes += PlainRead(Set.Files[Next], Set.Touched[Next], Buffer);
        benchmark::DoNotOptimize(Buffer.data());
        Next = (Next + 1) % Set.Files.size();
    }
    State.counters["bytes_per_map"] =
        static_cast<double>(Bytes) / static_cast<double>(State.iterations());
}

void BM_MapTexts_Generated(benchmark::State& State)
{
    Texts(State, GeneratedMaps());
}
void BM_PlainRead_Generated(benchmark::State& State)
{
    PlainReads(State, GeneratedMaps());
}
void BM_MapTexts_Real(benchmark::State& State)
{
    Texts(State, RealMaps());
}
void BM_PlainRead_Real(benchmark::State& State)
{
    PlainReads(State, RealMaps());
}

} // namespace

BENCHMARK(BM_MapTexts_Generated)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainRead_Generated)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MapTexts_Real)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainRead_Real)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();

// Listing the maps of a large install: AddMaps of N maps into a list of N maps, as new maps and
// as maps the list holds already (an archive installed again). Each map is looked up in the
// list, so the time grows linearly with N only when a lookup does not walk the list; the
// fitted complexity is printed after the runs. Run:
//   build/bin/bench_map_list
#include "TKOVASettings.h"
#include "TMapManager.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int KMostMaps = 1 << 14;

// A game folder with an empty maps folder, so that a manager starts with an empty list, and
// KMostMaps listed and KMostMaps new empty map files beside it. The shipped settings give the
// game types every map is matched against.
class TBenchGame final
{
public:
    TBenchGame()
    {
        const QString root = FDir.filePath(QStringLiteral("UT2004"));
        for (const char* folder : {"System", "Maps", "Files"})
            QDir().mkpath(root + QLatin1Char('/') + QLatin1String(folder));
        for (const char* file : {"System/UT2004.exe", "System/Core.dll", "System/UT2004.ini"})
            Write(root + QLatin1Char('/') + QLatin1String(file), "MZ");
        for (int i = 0; i < KMostMaps; ++i) {
            FListed << root +
                           QStringLiteral("/Files/DM-Listed%1.ut2").arg(i, 5, 10, QLatin1Char('0'));
            FNew << root + QStringLiteral("/Files/CTF-New%1.ut2").arg(i, 5, 10, QLatin1Char('0'));
            Write(FListed.last(), QByteArray());
            Write(FNew.last(), QByteArray());
        }
        QFile shipped(QStringLiteral(KOVA_SOURCE_DIR "/data/settings.xml"));
        if (!shipped.open(QIODevice::ReadOnly))
            qFatal("cannot read the shipped settings");
        QByteArray settings = shipped.readAll();
        settings.replace("<utdir></utdir>", "<utdir>" + root.toUtf8() + "</utdir>");
        const QString settingsFile = FDir.filePath(QStringLiteral("settings.xml"));
        Write(settingsFile, settings);
        FSettings = std::make_unique<TKOVASettings>(FDir.path(), settingsFile);
        if (!FSettings->LoadFromFile() || FSettings->EnableMapManagerCache)
            qFatal("the settings did not load, or turn the map cache on");
    }

    // A manager listing the first Count listed maps.
    std::unique_ptr<TMapManager> Manager(int count)
    {
        auto manager = std::make_unique<TMapManager>(TSettingsRef(&FSettings), QString());
        for (int i = 0; i < count; ++i)
            manager->Add(
                std::make_unique<TUTMap>(manager.get(), &manager->GameTypes(), FListed.at(i)));
        return manager;
    }
    const QStringList& Listed() const { return FListed; }
    const QStringList& New() const { return FNew; }

private:
    static void Write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
    }

    QTemporaryDir FDir;
    QStringList FListed;
    QStringList FNew;
    std::unique_ptr<TKOVASettings> FSettings;
};

TBenchGame& Game()
{
    static TBenchGame game;
    return game;
}

void AddMaps(benchmark::State& state, bool listedAlready)
{
    const int count = static_cast<int>(state.range(0));
    const QStringList added = (listedAlready ? Game().Listed() : Game().New()).mid(0, count);
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<TMapManager> manager = Game().Manager(count);
        state.ResumeTiming();

        const bool listed = bool(manager->AddMaps(added));

        state.PauseTiming();
        if (!listed || manager->GetCount() != (listedAlready ? count : 2 * count)) {
            state.SkipWithError("the maps were not listed once each");
            break;
        }
        manager.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(count);
}

void BM_AddNewMaps(benchmark::State& state)
{
    AddMaps(state, false);
}

void BM_AddListedMaps(benchmark::State& state)
{
    AddMaps(state, true);
}

// Powers of two for the fit, and the 10,000 maps of a large collection.
void Counts(benchmark::internal::Benchmark* benchmark)
{
    benchmark->RangeMultiplier(2)->Range(1 << 10, KMostMaps)->Arg(10000);
    benchmark->Unit(benchmark::kMillisecond)->Complexity();
}

BENCHMARK(BM_AddNewMaps)->Apply(Counts);
BENCHMARK(BM_AddListedMaps)->Apply(Counts);

} // namespace

BENCHMARK_MAIN();

// Loading a "cache.ini" of 5,000 entries and purging all of them (no data file is there): the
// purge rewrites the index once, and load and purge together stay under 200 ms. Run:
//   build/bin/bench_cache
#include "TCacheManager.h"
#include "TKOVASettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int KEntries = 5000;

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A game folder with an index of KEntries entries whose data files are all missing.
class TBenchGame final
{
public:
    TBenchGame()
    {
        const QString root = FDir.filePath(QStringLiteral("UT2004"));
        WriteBytes(root + QStringLiteral("/System/UT2004.exe"), "MZ");
        WriteBytes(root + QStringLiteral("/System/Core.dll"), "MZ");
        WriteBytes(root + QStringLiteral("/System/UT2004.ini"), "[Engine.Engine]\r\n");
        for (int i = 0; i < KEntries; ++i) {
            FIndex += QByteArray::number(0x10000000u + quint32(i) * 7919u, 16).toUpper() +
                      "A7CB48F6C4933464C9AAF2D8339F-1=Package" + QByteArray::number(i) + ".u\r\n";
        }
        FIndex.prepend("[Cache]\r\n");
        FIndexFile = root + QStringLiteral("/Cache/cache.ini");
        WriteBytes(FIndexFile, FIndex);
        const QString settingsFile = FDir.filePath(QStringLiteral("settings.xml"));
        WriteBytes(settingsFile, "<kovasettings><basic><utdir>" + root.toUtf8() +
                                     "</utdir></basic><paths><exename>UT2004.exe</exename>"
                                     "<inifile>UT2004.ini</inifile></paths></kovasettings>");
        FSettings = std::make_unique<TKOVASettings>(FDir.path(), settingsFile);
        FLoaded = bool(FSettings->LoadFromFile());
    }

    void ResetIndex() const { WriteBytes(FIndexFile, FIndex); }
    const QString& IndexFile() const { return FIndexFile; }
    // None when the settings did not load.
    TKOVASettings* Settings() const { return FLoaded ? FSettings.get() : nullptr; }

private:
    QTemporaryDir FDir;
    QByteArray FIndex;
    QString FIndexFile;
    std::unique_ptr<TKOVASettings> FSettings;
    bool FLoaded = false;
};

TBenchGame& Game()
{
    static TBenchGame game;
    return game;
}

// Counts the times a file of the Cache folder is replaced under the index's name.
class TIndexWrites final
{
public:
    TIndexWrites()
    {
        FFd = inotify_init1(IN_NONBLOCK);
        const QByteArray folder = QFile::encodeName(QFileInfo(Game().IndexFile()).absolutePath());
        if (FFd >= 0)
            inotify_add_watch(FFd, folder.constData(), IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    ~TIndexWrites()
    {
        if (FFd >= 0)
            close(FFd);
    }
    int Count()
    {
        int count = 0;
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t size = read(FFd, buffer, sizeof buffer);
            if (size <= 0)
                break;
            for (ssize_t at = 0; at < size;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && std::strcmp(event->name, "cache.ini") == 0 &&
                    (event->mask & IN_MOVED_TO))
                    ++count;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return count;
    }

private:
    int FFd = -1;
};

void BM_LoadAndPurgeAll(benchmark::State& state)
{
    TKOVASettings* settings = Game().Settings();
    for (auto _ : state) {
        state.PauseTiming();
        Game().ResetIndex();
        TIndexWrites writes;
        state.ResumeTiming();

        TCacheManager cache([settings] { return settings; });
        const int loaded = cache.GetCount();
        const int purged = cache.PurgeMissing().ValueOr(-1);

        state.PauseTiming();
        const int count = writes.Count();
        if (loaded != KEntries || purged != KEntries || cache.GetCount() != 0 || count != 1) {
            state.SkipWithError("the purge did not drop every entry with one index write");
            break;
        }
        state.counters["index_writes"] = count;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadAndPurgeAll)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();

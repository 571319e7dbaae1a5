// Building the map cache and loading it back, as the tool does at start-up with the cache on.
//
//   bench_map_cache [--maps N] [--cache-maps N] [--data-bytes N] [--runs N]
//
// Part 1 writes N maps (default 2,000) of realistic size into a temporary game folder, reads
// them once so that the page cache is warm, then builds the cache in a fresh child process per
// run and reports maps per second and the child's peak resident memory. Part 2 writes a cache
// of 5,000 maps (files present, texts with colour codes) and times creating the manager from
// it and listing its maps by each game type, as the map page fills its list.
#include "TMapManager.h"
#include "TPackageWriter.h"
#include "uKOVA_MapCache.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;

const char* const KPrefixes[] = {"DM-", "CTF-", "BR-", "DOM-", "ONS-", "AS-", "VCTF-", "xyz-"};

double Seconds(TClock::time_point start)
{
    return std::chrono::duration<double>(TClock::now() - start).count();
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
long StatusKb(const char* field)
{
    std::FILE* in = std::fopen("/proc/self/status", "r");
    if (!in)
        return -1;
    char line[256];
    long value = -1;
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, in)) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            value = std::atol(line + length + 1);
            break;
        }
    }
    std::fclose(in);
    return value;
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// The shipped settings with the game folder and the map cache switch set.
bool WriteSettings(const QString& fileName, const QString& gameFolder)
{
    QFile shipped(QStringLiteral(KOVA_SOURCE_DIR "/data/settings.xml"));
    if (!shipped.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = shipped.readAll();
    bytes.replace("<utdir></utdir>", "<utdir>" + gameFolder.toUtf8() + "</utdir>");
    bytes.replace("<enablemapmanagercache>False", "<enablemapmanagercache>True");
    return WriteBytes(fileName, bytes);
}

// Child: builds the cache of the game folder in Dir and prints one result line.
int BuildCache(const QString& dir)
{
    const long rssBefore = StatusKb("VmRSS");
    auto settings = std::make_unique<TKOVASettings>(dir, dir + QStringLiteral("/settings.xml"));
    if (!settings->LoadFromFile()) {
        std::printf("the settings did not load\n");
        return 1;
    }
    const QString cacheFile = dir + QStringLiteral("/cache.xml");
    QFile::remove(cacheFile);
    const auto start = TClock::now();
    TMapManager manager(TSettingsRef(&settings), cacheFile);
    const double seconds = Seconds(start);
    std::printf("%d maps in %.3f s: %.0f maps/s; resident memory %ld kB before, peak %ld kB\n",
                manager.GetCount(), seconds, manager.GetCount() / seconds, rssBefore,
                StatusKb("VmHWM"));
    // Every map must have given its texts, or the figure means nothing.
    QList<TMapCacheItem> items;
    if (ReadMapCache(cacheFile, items) != TMapCacheRead::mcrLoaded ||
        items.size() != manager.GetCount())
        return 1;
    for (const TMapCacheItem& item : items) {
        if (!item.Author.startsWith(QStringLiteral("Bench author")) ||
            !item.Title.startsWith(QStringLiteral("\x1B\u00FF\x40\x01Generated"))) {
            std::printf("  wrong texts for %s\n", qPrintable(item.FileName));
            return 1;
        }
    }
    return 0;
}

bool RunChild(const char* self, const QString& dir, long& childPeakKb)
{
    const std::string dirText = dir.toStdString();
    char* argv[] = {const_cast<char*>(self), const_cast<char*>("--build"),
                    const_cast<char*>(dirText.c_str()), nullptr};
    std::fflush(stdout);
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return false;
    childPeakKb = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BuildBenchmark(const char* self, int mapCount, std::size_t dataBytes, int runs)
{
    QTemporaryDir root;
    const QString game = root.filePath(QStringLiteral("UT2004"));
    QDir().mkpath(game + QStringLiteral("/Maps"));
    if (!WriteSettings(root.filePath(QStringLiteral("settings.xml")), game)) {
        std::printf("cannot write the settings\n");
        return;
    }

    std::printf("Writing %d maps of %zu bytes of object data each...\n", mapCount, dataBytes);
    const auto writeStart = TClock::now();
    // A few distinct packages, copied under every name: what matters is what each read touches.
    std::vector<QByteArray> variants;
    for (int i = 0; i < 4; ++i) {
        TMapTexts texts;
        // Windows-1252 bytes, or UTF-8 for the writer of UTF-16 strings: the same characters.
        texts.Title = (i == 3 ? "\x1B\xC3\xBF\x40\x01Generated \xC3\xA9 map "
                              : "\x1B\xFF\x40\x01Generated \xE9 map ") +
                      std::to_string(i);
        texts.Author = "Bench author " + std::to_string(i);
        texts.Description = "A map of realistic size with 2,500 names and 2,000 exports.";
        texts.Utf16 = i == 3;
        const TBytes bytes = MakeLargeMapPackage(texts, 2500, 2000, dataBytes);
        variants.emplace_back(reinterpret_cast<const char*>(bytes.data()),
                              static_cast<qsizetype>(bytes.size()));
    }
    qint64 total = 0;
    for (int i = 0; i < mapCount; ++i) {
        const QByteArray& bytes = variants[static_cast<std::size_t>(i) % variants.size()];
        const QString name = QStringLiteral("%1Map%2.ut2")
                                 .arg(QLatin1String(KPrefixes[i % std::size(KPrefixes)]))
                                 .arg(i, 5, 10, QLatin1Char('0'));
        if (!WriteBytes(game + QStringLiteral("/Maps/") + name, bytes)) {
            std::printf("cannot write %s\n", qPrintable(name));
            return;
        }
        total += bytes.size();
    }
    // Read back once: the page cache is warm for every run.
    std::vector<char> buffer(1 << 20);
    for (const QString& name : QDir(game + QStringLiteral("/Maps")).entryList(QDir::Files)) {
        std::FILE* in = std::fopen(qPrintable(game + QStringLiteral("/Maps/") + name), "rb");
        while (in && std::fread(buffer.data(), 1, buffer.size(), in) > 0) {
        }
        if (in)
            std::fclose(in);
    }
    std::printf("  %.1f MB written and read in %.1f s\n", total / 1e6, Seconds(writeStart));

    for (int run = 1; run <= runs; ++run) {
        std::printf("Build run %d: ", run);
        long peakKb = 0;
        if (!RunChild(self, root.path(), peakKb))
            std::printf("  the child failed\n");
    }
}

void LoadBenchmark(int mapCount, int runs)
{
    QTemporaryDir root;
    const QString game = root.filePath(QStringLiteral("UT2004"));
    const QString maps = game + QStringLiteral("/Maps/");
    QDir().mkpath(maps);
    const QString settingsFile = root.filePath(QStringLiteral("settings.xml"));
    const QString cacheFile = root.filePath(QStringLiteral("cache.xml"));
    if (!WriteSettings(settingsFile, game))
        return;
    QList<TMapCacheItem> items;
    for (int i = 0; i < mapCount; ++i) {
        const QString name = QStringLiteral("%1Map%2.ut2")
                                 .arg(QLatin1String(KPrefixes[i % std::size(KPrefixes)]))
                                 .arg(i, 5, 10, QLatin1Char('0'));
        WriteBytes(maps + name, QByteArray(100 + i % 50, 'x'));
        items.append({maps + name, QStringLiteral("Author %1").arg(i),
                      QStringLiteral("\x1B\u00FF\x01\x01Title %1 \u00E9").arg(i),
                      QStringLiteral("A description of map %1, of the length a mapper writes "
                                     "for the menu: what the map is and who helped make it.")
                          .arg(i)});
    }
    if (!WriteMapCache(cacheFile, items)) {
        std::printf("cannot write the cache\n");
        return;
    }
    std::printf("Loading a cache of %d maps (%.1f MB) and listing them by game type:\n", mapCount,
                QFileInfo(cacheFile).size() / 1e6);

    auto settings = std::make_unique<TKOVASettings>(root.path(), settingsFile);
    if (!settings->LoadFromFile()) {
        std::printf("the settings did not load\n");
        return;
    }
    std::vector<double> loads;
    std::vector<double> lists;
    for (int run = 0; run < runs; ++run) {
        const auto start = TClock::now();
        TMapManager manager(TSettingsRef(&settings), cacheFile);
        const double load = Seconds(start);
        const auto listStart = TClock::now();
        int listed = 0;
        const TGameTypes& types = manager.GameTypes();
        for (int t = 0; t < types.GetCount(); ++t) {
            // The page ties each row to its map by the file name.
            for (const QString& file : manager.ListMapsOfGameTypes({types.GetItem(t)}))
                listed += manager.FindByFileName(file) ? 1 : 0;
        }
        listed += static_cast<int>(manager.ListMapsWithoutGameType().size());
        lists.push_back(Seconds(listStart));
        loads.push_back(load);
        if (listed != mapCount || manager.GetCount() != mapCount)
            std::printf("  run %d: %d maps listed of %d\n", run, listed, manager.GetCount());
    }
    std::sort(loads.begin(), loads.end());
    std::sort(lists.begin(), lists.end());
    std::printf("  load: best %.1f ms, median %.1f ms; listing: best %.1f ms, median %.1f ms\n",
                loads.front() * 1e3, loads[loads.size() / 2] * 1e3, lists.front() * 1e3,
                lists[lists.size() / 2] * 1e3);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--build") == 0)
        return BuildCache(QString::fromLocal8Bit(argv[2]));

    int mapCount = 2000;
    int cacheMaps = 5000;
    std::size_t dataBytes = 1000000;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--maps") == 0)
            mapCount = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--cache-maps") == 0)
            cacheMaps = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--data-bytes") == 0)
            dataBytes = static_cast<std::size_t>(std::atoll(argv[i + 1]));
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::atoi(argv[i + 1]);
    }
    BuildBenchmark(argv[0], mapCount, dataBytes, runs);
    LoadBenchmark(cacheMaps, std::max(runs, 5));
    return 0;
}

// Reading every key of a 3,000-key INI file one value at a time, each read through a fresh
// INI-file object, costs at most five times one parse of the file. Run:
//   build/bin/bench_ini
#include "TIniFile.h"
#include "uKOVA_Misc.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/stat.h>

namespace {

constexpr int KSections = 100;
constexpr int KKeysPerSection = 30;
// More copies than the parse cache keeps, so that cycling through them parses every time.
constexpr int KCopies = 40;

struct TKeyRef
{
    QString Section;
    QString Key;
};

class TBenchFiles final
{
public:
    TBenchFiles()
    {
        QByteArray bytes = "; generated for the benchmark\r\n";
        for (int s = 0; s < KSections; ++s) {
            const QString section = QStringLiteral("Package%1.Class%1").arg(s);
            bytes += "[" + section.toLatin1() + "]\r\n";
            for (int k = 0; k < KKeysPerSection; ++k) {
                const QString key = QStringLiteral("Setting%1").arg(k);
                bytes += key.toLatin1() + "=(Value=" + QByteArray::number(s * 1000 + k) +
                         ",Name=\"Caf\xe9 server\",Scale=1.000000)\r\n";
                FKeys.append({section, key});
            }
            bytes += "\r\n";
        }
        for (int i = 0; i < KCopies; ++i) {
            const QString path = FDir.filePath(QStringLiteral("User%1.ini").arg(i));
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                qFatal("cannot write %s", qPrintable(path));
            FPaths.append(path);
        }
        FSize = bytes.size();
        const QString target = FDir.filePath(QStringLiteral("Linked.ini"));
        QFile file(target);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
            !file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                              QFileDevice::FileModificationTime))
            qFatal("cannot write %s", qPrintable(target));
        file.close();
        FLink = FDir.filePath(QStringLiteral("Link.ini"));
        QFile::link(target, FLink);
    }

    const QList<TKeyRef>& Keys() const { return FKeys; }
    const QStringList& Paths() const { return FPaths; }
    qint64 Size() const { return FSize; }
    const QString& Link() const { return FLink; }

private:
    QTemporaryDir FDir;
    QList<TKeyRef> FKeys;
    QStringList FPaths;
    qint64 FSize = 0;
    QString FLink;
};

TBenchFiles& Files()
{
    static TBenchFiles files;
    return files;
}

// One parse: a read of one value from a file that is not in the cache.
void BM_ParseOnce(benchmark::State& state)
{
    const TBenchFiles& files = Files();
    const TKeyRef& key = files.Keys().back();
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadIniValue(key.Key, key.Section, files.Paths()[i]));
        i = (i + 1) % KCopies;
    }
    state.SetBytesProcessed(state.iterations() * files.Size());
}
BENCHMARK(BM_ParseOnce)->Unit(benchmark::kMicrosecond);

// Every key, one value at a time, from a file already parsed once.
void BM_ReadEveryKey(benchmark::State& state)
{
    const TBenchFiles& files = Files();
    const QString path = files.Paths().front();
    ReadIniValue(QStringLiteral("x"), QStringLiteral("y"), path);
    for (auto _ : state) {
        for (const TKeyRef& key : files.Keys())
            benchmark::DoNotOptimize(ReadIniValue(key.Key, key.Section, path));
    }
    state.counters["reads"] = double(files.Keys().size());
}
BENCHMARK(BM_ReadEveryKey)->Unit(benchmark::kMicrosecond);

// The same through a symbolic link, where the cache compares size and times at every read
// instead of relying on change reports (the file is an hour old, so its times are trusted).
void BM_ReadEveryKeyByTimes(benchmark::State& state)
{
    const TBenchFiles& files = Files();
    const QString path = files.Link();
    ReadIniValue(QStringLiteral("x"), QStringLiteral("y"), path);
    for (auto _ : state) {
        for (const TKeyRef& key : files.Keys())
            benchmark::DoNotOptimize(ReadIniValue(key.Key, key.Section, path));
    }
}
BENCHMARK(BM_ReadEveryKeyByTimes)->Unit(benchmark::kMicrosecond);

// What asking the file system for size and time at every read would cost alone.
void BM_StatPerKey(benchmark::State& state)
{
    const TBenchFiles& files = Files();
    const QByteArray path = QFile::encodeName(files.Paths().front());
    for (auto _ : state) {
        for (qsizetype i = 0; i < files.Keys().size(); ++i) {
            struct stat st;
            benchmark::DoNotOptimize(::stat(path.constData(), &st));
        }
    }
}
BENCHMARK(BM_StatPerKey)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

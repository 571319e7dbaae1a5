#pragma once

// Shared by the benchmark programs that are not Google Benchmark ones: their command-line
// numbers, the timing of a step in this process or of a whole process, and the report of a
// step's runs.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <unistd.h>

// The number after "--Name" among the "--name value" pairs of the command line, else Fallback.
inline long long NumberOption(int argc, char** argv, const char* name, long long fallback)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], name) == 0)
            return std::atoll(argv[i + 1]);
    }
    return fallback;
}

inline int IntOption(int argc, char** argv, const char* name, int fallback)
{
    return int(NumberOption(argc, argv, name, fallback));
}

// "--runs N", at least one run.
inline int RunsOption(int argc, char** argv, int fallback)
{
    return std::max(1, IntOption(argc, argv, "--runs", fallback));
}

// Google Benchmark aside, the benchmarks that show windows run without a display.
inline void UseOffscreenDisplay()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The milliseconds Action takes in this process.
template <class F> double TimeMs(F&& action)
{
    QElapsedTimer timer;
    timer.start();
    action();
    return double(timer.nsecsElapsed()) / 1e6;
}

// Prints one line for the runs of a step: the first run (which pays the first-use costs), the
// best, the median and the worst, and with a Limit above 0 whether the median met it. True when
// it did (or there is no limit).
inline bool ReportRuns(const char* what, const std::vector<double>& times, double limit = 0)
{
    if (times.empty())
        return false;
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    const double median = Median(sorted);
    std::printf("%-44s first %8.2f ms; best %8.2f, median %8.2f, worst %8.2f ms", what,
                times.front(), sorted.front(), median, sorted.back());
    const bool met = limit <= 0 || median <= limit;
    if (limit > 0)
        std::printf("  (limit %.0f ms: %s)", limit, met ? "met" : "MISSED");
    std::printf("\n");
    std::fflush(stdout);
    return met;
}

// Our step and the other program's, in turns: which goes first changes with every run, so
// neither always finds the caches warmed by the other.
template <class A, class B> void InTurns(int run, A&& ours, B&& theirs)
{
    if (run % 2) {
        theirs();
        ours();
    } else {
        ours();
        theirs();
    }
}

// Runs the prepared Process to its end, the data earlier runs wrote put on the disk first
// (untimed); its wall time in milliseconds, or -1, said on standard error, when it did not end
// normally with ExpectedStatus.
inline double TimedProcess(QProcess& process, int expectedStatus = 0)
{
    ::sync();
    QElapsedTimer timer;
    timer.start();
    process.start();
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != expectedStatus) {
        std::fprintf(stderr, "%s failed (%d): %s\n", qPrintable(process.program()),
                     process.exitCode(), process.readAllStandardError().constData());
        return -1;
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

// The options of the benchmarks that time whole processes against unzip.
struct TBenchOptions
{
    int Runs = 5;
    QString Folder = QDir::tempPath(); // where the generated files go
    QString Unzip;                     // the unzip program
};

// Reads "--runs N" and "--folder DIR" and finds unzip. False, having said why, without it.
inline bool ReadBenchOptions(int argc, char** argv, TBenchOptions& options)
{
    options.Runs = RunsOption(argc, argv, options.Runs);
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--folder") == 0)
            options.Folder = QString::fromLocal8Bit(argv[i + 1]);
    }
    options.Unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (options.Unzip.isEmpty()) {
        std::fprintf(stderr, "unzip is not installed\n");
        return false;
    }
    return true;
}

#pragma once

// Shared by the benchmarks that time whole processes against unzip: their options and medians.

#include <QDir>
#include <QStandardPaths>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

struct TBenchOptions
{
    int Runs = 5;
    QString Folder = QDir::tempPath(); // where the generated files go
    QString Unzip;                     // the unzip program
};

// Reads "--runs N" and "--folder DIR" and finds unzip. False, having said why, without it.
inline bool ReadBenchOptions(int argc, char** argv, TBenchOptions& options)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            options.Runs = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--folder") == 0)
            options.Folder = QString::fromLocal8Bit(argv[i + 1]);
    }
    options.Unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (options.Unzip.isEmpty()) {
        std::fprintf(stderr, "unzip is not installed\n");
        return false;
    }
    return true;
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

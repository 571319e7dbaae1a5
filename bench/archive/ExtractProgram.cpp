// Extracts every file entry of an archive flat into a folder through the zip engine, as the
// archive window's Extract All does, and prints the process's peak memory before opening the
// archive and after the extraction (kilobytes):
//
//   bench_archive_extract ARCHIVE FOLDER
#include "PeakMemory.h"
#include "TZipArchive.h"

#include <QString>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ARCHIVE FOLDER\n", argv[0]);
        return 2;
    }
    const long idle = PeakKilobytes();
    const QString folder = QString::fromLocal8Bit(argv[2]);
    TZipArchive zip;
    if (const TResult<void> opened = zip.Open(QString::fromLocal8Bit(argv[1])); !opened) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.Error().Message));
        return 1;
    }
    QVector<TZipExtraction> jobs;
    for (int i = 0; i < zip.Count(); ++i) {
        const QString name = zip.FlatName(i);
        if (!name.isEmpty())
            jobs.append({i, folder + QLatin1Char('/') + name});
    }
    if (const TResult<void> extracted = zip.Extract(jobs); !extracted) {
        std::fprintf(stderr, "%s\n", qPrintable(extracted.Error().Message));
        return 1;
    }
    std::printf("%ld %ld\n", idle, PeakKilobytes());
    return 0;
}

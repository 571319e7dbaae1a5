// Installs the archives given through the add-on installation road, replacing what exists, and
// prints the process's peak memory before the install and after it (kilobytes):
//
//   bench_install_road_memory SETTINGS ARCHIVE...
#include "PeakMemory.h"
#include "TAddonInstaller.h"
#include "TInstallSummary.h"
#include "TKOVASettings.h"
#include "TZipArchive.h"

#include <QFileInfo>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SETTINGS ARCHIVE...\n", argv[0]);
        return 2;
    }
    const QString settingsFile = QString::fromLocal8Bit(argv[1]);
    TKOVASettings settings(QFileInfo(settingsFile).absolutePath(), settingsFile);
    if (const TResult<void> loaded = settings.LoadFromFile(); !loaded) {
        std::fprintf(stderr, "%s\n", qPrintable(loaded.Error().Message));
        return 1;
    }
    QStringList archives;
    for (int i = 2; i < argc; ++i)
        archives << QString::fromLocal8Bit(argv[i]);
    TZipArchive zip;
    TAddonInstaller road(settings, zip);
    TInstallSummary summary;
    const long idle = PeakKilobytes();
    const TResult<void> installed = road.InstallArchives(archives, summary, nullptr);
    if (!installed || summary.Aborted()) {
        std::fprintf(stderr, "%s\n", installed ? "aborted" : qPrintable(installed.Error().Message));
        return 1;
    }
    std::printf("%ld %ld %d\n", idle, PeakKilobytes(), summary.GetCount());
    return 0;
}

// A batch of screenshots converted to JPEG at quality 90 the way the screenshot page does
// (TScreenShot::CopyTo with AsJpeg, in this process), against `cjpeg -quality 90` started once
// per file over the same bitmaps: the same files, the same work, each side as the user meets it.
// Usage: bench_jpeg [files] [rounds]. Prints the median batch time of each and their ratio, and
// ends with 1 when the ratio is above the limit.

#include "BitmapWriter.h"
#include "TScreenShot.h"
#include "WholeProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int KWidth = 1280;
constexpr int KHeight = 1024;
constexpr double KLimit = 1.1;

// Something like a game frame: smooth gradients, hard-edged shapes and a little noise, a
// little different in every shot.
quint32 ScenePixel(int x, int y, int shot)
{
    quint32 r = static_cast<quint32>(x * 255 / KWidth);
    quint32 g = static_cast<quint32>(y * 255 / KHeight);
    quint32 b = static_cast<quint32>(((x + y + shot * 7) / 8) % 256);
    if (((x + shot * 13) / 160 + y / 120) % 5 == 0) {
        r = 255 - r;
        b = 40;
    }
    quint32 h = static_cast<quint32>(x) * 73856093u ^ static_cast<quint32>(y) * 19349663u ^
                static_cast<quint32>(shot) * 83492791u;
    h = (h ^ (h >> 13)) * 0x5bd1e995u;
    const quint32 noise = (h >> 24) & 0x0f;
    r = std::min<quint32>(255, r + noise);
    g = std::min<quint32>(255, g + noise);
    return (r << 16) | (g << 8) | b;
}

bool RunCjpeg(const QByteArray& input, const QByteArray& output)
{
    return TimedRun("cjpeg",
                    {"-quality", "90", "-outfile", output.constData(), input.constData()}) >= 0;
}

qint64 FolderBytes(const QString& folder)
{
    qint64 total = 0;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files))
        total += info.size();
    return total;
}

} // namespace

int main(int argc, char** argv)
{
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    QTemporaryDir dir;
    const QString shots = dir.filePath(QStringLiteral("ScreenShots"));
    const QString ours = dir.filePath(QStringLiteral("ours"));
    const QString theirs = dir.filePath(QStringLiteral("cjpeg"));
    QDir().mkpath(shots);
    QStringList bitmaps;
    for (int i = 0; i < files; ++i) {
        const QString bitmap =
            shots + QStringLiteral("/Shot%1.bmp").arg(i, 5, 10, QLatin1Char('0'));
        QFile file(bitmap);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(BitmapBytes24(KWidth, KHeight,
                                     [i](int x, int y) { return ScenePixel(x, y, i); })) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(bitmap));
            return 2;
        }
        bitmaps.append(bitmap);
    }

    std::vector<double> ourTimes, theirTimes;
    for (int round = 0; round < rounds; ++round) {
        QDir(ours).removeRecursively(); // no replace questions
        QDir().mkpath(ours);
        QElapsedTimer timer;
        timer.start();
        TResult<void> copied;
        for (const QString& bitmap : bitmaps) {
            copied = TScreenShot(bitmap).CopyTo(ours, true, 90);
            if (!copied)
                break;
        }
        ourTimes.push_back(timer.nsecsElapsed() / 1e6);
        if (!copied) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(copied.Error().Message));
            return 2;
        }

        QDir(theirs).removeRecursively();
        QDir().mkpath(theirs);
        timer.restart();
        for (const QString& bitmap : bitmaps) {
            const QString jpeg = theirs + QLatin1Char('/') + QFileInfo(bitmap).completeBaseName() +
                                 QStringLiteral(".jpg");
            if (!RunCjpeg(QFile::encodeName(bitmap), QFile::encodeName(jpeg))) {
                std::fprintf(stderr, "cjpeg failed (is libjpeg-turbo-progs installed?)\n");
                return 2;
            }
        }
        theirTimes.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double our = Median(ourTimes);
    const double their = Median(theirTimes);
    std::printf("%d screenshots of %dx%d, 24-bit, to JPEG at quality 90, median of %d batches\n",
                files, KWidth, KHeight, rounds);
    std::printf("  TScreenShot::CopyTo in the program: %8.1f ms  (%lld bytes)\n", our,
                static_cast<long long>(FolderBytes(ours)));
    std::printf("  cjpeg, one run per file:            %8.1f ms  (%lld bytes)\n", their,
                static_cast<long long>(FolderBytes(theirs)));
    std::printf("  ratio: %.2f (limit %.2f)\n", our / their, KLimit);
    return our / their <= KLimit ? 0 : 1;
}

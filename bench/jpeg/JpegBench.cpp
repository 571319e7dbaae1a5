// Converts a 1920x1080 24-bit screenshot to JPEG at quality 90 the way the screenshot page does
// (TScreenShot::CopyTo with AsJpeg), and times `cjpeg -quality 90` on the same bitmap.
// Usage: bench_jpeg [runs]. Prints the median of each and their ratio.

#include "BitmapWriter.h"
#include "TScreenShot.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

constexpr int KWidth = 1920;
constexpr int KHeight = 1080;

// Something like a game frame: smooth gradients, hard-edged shapes and a little noise.
quint32 ScenePixel(int x, int y)
{
    quint32 r = static_cast<quint32>(x * 255 / KWidth);
    quint32 g = static_cast<quint32>(y * 255 / KHeight);
    quint32 b = static_cast<quint32>(((x + y) / 8) % 256);
    if ((x / 160 + y / 120) % 5 == 0) {
        r = 255 - r;
        b = 40;
    }
    quint32 h = static_cast<quint32>(x) * 73856093u ^ static_cast<quint32>(y) * 19349663u;
    h = (h ^ (h >> 13)) * 0x5bd1e995u;
    const quint32 noise = (h >> 24) & 0x0f;
    r = std::min<quint32>(255, r + noise);
    g = std::min<quint32>(255, g + noise);
    return (r << 16) | (g << 8) | b;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool RunCjpeg(const QByteArray& input, const QByteArray& output)
{
    const char* args[] = {"cjpeg",           "-quality", "90", "-outfile", output.constData(),
                          input.constData(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "cjpeg", nullptr, nullptr, const_cast<char**>(args), environ) != 0)
        return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    QTemporaryDir dir;
    const QString bitmap = dir.filePath(QStringLiteral("Shot00001.bmp"));
    {
        QFile file(bitmap);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(BitmapBytes24(KWidth, KHeight, ScenePixel)) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(bitmap));
            return 2;
        }
    }
    const QString ours = dir.filePath(QStringLiteral("ours.jpg"));
    const QString theirs = dir.filePath(QStringLiteral("cjpeg.jpg"));

    std::vector<double> ourTimes, theirTimes;
    TScreenShot shot(bitmap);
    for (int i = 0; i < runs; ++i) {
        QFile::remove(ours); // no replace question
        QElapsedTimer timer;
        timer.start();
        const TResult<void> copied = shot.CopyTo(ours, true, 90);
        ourTimes.push_back(timer.nsecsElapsed() / 1e6);
        if (!copied) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(copied.Error().Message));
            return 2;
        }

        timer.restart();
        if (!RunCjpeg(QFile::encodeName(bitmap), QFile::encodeName(theirs))) {
            std::fprintf(stderr, "cjpeg failed (is libjpeg-turbo-progs installed?)\n");
            return 2;
        }
        theirTimes.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double our = Median(ourTimes);
    const double their = Median(theirTimes);
    std::printf("1920x1080 24-bit bitmap to JPEG, quality 90, median of %d runs\n", runs);
    std::printf("  TScreenShot::CopyTo:  %7.2f ms  (%lld bytes)\n", our,
                static_cast<long long>(QFileInfo(ours).size()));
    std::printf("  cjpeg -quality 90:    %7.2f ms  (%lld bytes)\n", their,
                static_cast<long long>(QFileInfo(theirs).size()));
    std::printf("  ratio: %.2f (limit 1.30)\n", our / their);
    return our / their <= 1.3 ? 0 : 1;
}

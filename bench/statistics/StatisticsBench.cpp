// The statistics page's figures of a generated game folder of 50,000 files against
// `find DIR -type f -printf '%s\n'`, both as whole processes, warm: this program started with
// --run SETTINGS (load the settings, collect every group, print the figures) against find. Ours
// must take at most 1.5 times what find takes.
// Usage: bench_statistics [runs]. Prints the median of each and their ratio, and ends with 1
// when the ratio is above the limit. With KOVA_STATISTICS_TREE naming a folder, the tree is
// made there once and kept.

#include "TKOVASettings.h"
#include "TUT2003Statistics.h"
#include "WholeProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int KFiles = 50000;
constexpr double KLimit = 1.5;

void Write(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || (size > 0 && !file.resize(size)))
        std::abort();
}

// A game folder: the files that make it valid, then 50,000 files spread over the game's
// folders and subfolders of them, with the groups' masks matching some in each.
void BuildTree(const QString& root)
{
    const char* const folders[] = {"System",      "Maps",         "Textures",   "Sounds",
                                   "Music",       "StaticMeshes", "Animations", "Demos",
                                   "ScreenShots", "Cache",        "Help",       "Speech"};
    const char* const extensions[] = {"u", "ut2", "utx", "uax", "int", "ini", "demo4", "bmp"};
    for (const char* folder : folders)
        QDir().mkpath(root + "/" + folder);
    Write(root + "/System/UT2004.exe", 10);
    Write(root + "/System/Core.dll", 10);
    QFile ini(root + "/System/UT2004.ini");
    if (!ini.open(QIODevice::WriteOnly) || ini.write("[FirstRun]\r\nFirstRun=3369\r\n") < 0)
        std::abort();
    ini.close();
    for (int i = 3; i < KFiles; ++i) {
        const QString top = folders[i % std::size(folders)];
        // A third in the folder itself, the rest in ten subfolders of it.
        const QString folder =
            i % 3 == 0 ? root + "/" + top : QString("%1/%2/Sub%3").arg(root, top).arg(i % 10);
        QDir().mkpath(folder);
        const bool shot = top == QLatin1String("ScreenShots");
        const QString name = shot ? QString("Shot%1.bmp").arg(i % 100000, 5, 10, QLatin1Char('0'))
                                  : QString("%1File-%2.%3")
                                        .arg(i % 3 ? "map" : "MAP")
                                        .arg(i, 5, 10, QLatin1Char('0'))
                                        .arg(extensions[i % std::size(extensions)]);
        Write(folder + "/" + name, i % 4096);
    }
}

QString SettingsFor(const QString& tree, const QString& folder)
{
    QFile shipped(QStringLiteral(KOVA_SOURCE_DIR "/data/settings.xml"));
    if (!shipped.open(QIODevice::ReadOnly))
        std::abort();
    QByteArray bytes = shipped.readAll();
    bytes.replace("<utdir></utdir>", "<utdir>" + QFile::encodeName(tree) + "</utdir>");
    const QString file = folder + "/settings.xml";
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        std::abort();
    return file;
}

// What the statistics page does: the settings, then every group and the version.
int RunStatistics(const char* settingsFile)
{
    const QString file = QFile::decodeName(settingsFile);
    TKOVASettings settings(QFileInfo(file).absolutePath(), file);
    if (!settings.LoadFromFile())
        return 2;
    TFileStatistics all, addOns, maps, shots, demos;
    int firstRun = 0;
    TUT2003Statistics(settings).GetAll(all, addOns, maps, shots, demos, firstRun);
    for (const TFileStatistics& group : {all, addOns, maps, shots, demos})
        std::printf("%lld %lld\n", static_cast<long long>(group.Count),
                    static_cast<long long>(group.Size / 1048576));
    std::printf("%d\n", firstRun);
    return all.Count == KFiles ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--run") == 0)
        return RunStatistics(argv[2]);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;

    QTemporaryDir temp;
    QString tree = qEnvironmentVariable("KOVA_STATISTICS_TREE");
    if (tree.isEmpty())
        tree = temp.path() + "/UT2004";
    if (!QFile::exists(tree + "/System/Core.dll"))
        BuildTree(tree);
    const std::string settings = QFile::encodeName(SettingsFor(tree, temp.path())).toStdString();
    const std::string dir = QFile::encodeName(tree).toStdString();
    return CompareWholeProcesses(
        "Statistics of 50,000 files, warm", runs,
        {"statistics", "/proc/self/exe", {"--run", settings.c_str()}},
        {"find -type f -printf %s", "find", {dir.c_str(), "-type", "f", "-printf", "%s\\n"}},
        KLimit);
}

// FindFiles over a generated tree of 50,000 files against `find DIR -type f`, both as whole
// processes that print every path: this program started with --list DIR against find. Each
// must take at most 1.5 times what find takes.
// Usage: bench_findfiles [runs]. Prints the median of each (after one untimed run of each) and
// their ratio, and ends with 1 when the ratio is above the limit. Making the tree takes a while;
// with KOVA_FINDFILES_TREE naming a folder, the tree is made there once and kept.

#include "WholeProcess.h"
#include "uKOVA_Misc.h"

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

constexpr int KTopFolders = 20;
constexpr int KSubFolders = 10;
constexpr int KFilesPerFolder = 250; // 20 * 10 * 250 = 50,000 files
constexpr double KLimit = 1.5;

void BuildTree(const QString& root)
{
    const char* const extensions[] = {"ut2", "UTX", "uax", "u", "int", "ini", "Ukx", "usx"};
    for (int top = 0; top < KTopFolders; ++top) {
        for (int sub = 0; sub < KSubFolders; ++sub) {
            const QString folder = QString("%1/Folder%2/Sub%3").arg(root).arg(top).arg(sub);
            QDir().mkpath(folder);
            for (int i = 0; i < KFilesPerFolder; ++i) {
                // Mixed letter case, so the sort has work to do.
                const QString name = QString("%1File-%2.%3")
                                         .arg(i % 3 ? "map" : "MAP")
                                         .arg((i * 7919) % 100000, 5, 10, QLatin1Char('0'))
                                         .arg(extensions[i % 8]);
                QFile file(folder + "/" + name);
                if (!file.open(QIODevice::WriteOnly))
                    std::abort();
            }
        }
    }
}

// What the statistics page does with a tree: every path, sorted per folder, as a string; then
// each is printed, as find prints it.
int ListTree(const char* dir)
{
    const QStringList list =
        FindFiles(QFile::decodeName(dir) + QLatin1Char('/'), QStringLiteral("*.*"), true);
    static char buffer[1 << 16];
    size_t used = 0;
    const auto flush = [&] {
        std::fwrite(buffer, 1, used, stdout);
        used = 0;
    };
    for (const QString& path : list) {
        // Paths are bytes of the local encoding; ASCII ones need no encoder.
        if (used + size_t(path.size()) * 3 + 1 > sizeof(buffer))
            flush();
        if (QtPrivate::isAscii(QStringView(path))) {
            const char16_t* units = QStringView(path).utf16();
            for (qsizetype k = 0; k < path.size(); ++k)
                buffer[used + size_t(k)] = char(units[k]);
            used += size_t(path.size());
        } else {
            const QByteArray bytes = QFile::encodeName(path);
            std::memcpy(buffer + used, bytes.constData(), size_t(bytes.size()));
            used += size_t(bytes.size());
        }
        buffer[used++] = '\n';
    }
    flush();
    std::fflush(stdout);
    // The list goes with the process, as find's memory does.
    std::_Exit(list.size() == KTopFolders * KSubFolders * KFilesPerFolder ? 0 : 1);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--list") == 0)
        return ListTree(argv[2]);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;

    QTemporaryDir temp;
    QString tree = qEnvironmentVariable("KOVA_FINDFILES_TREE");
    if (tree.isEmpty())
        tree = temp.path();
    if (!QFile::exists(tree + "/Folder0"))
        BuildTree(tree);
    const std::string dir = QFile::encodeName(tree).toStdString();
    return CompareWholeProcesses("Every path of 50,000 files", runs,
                                 {"FindFiles", "/proc/self/exe", {"--list", dir.c_str()}},
                                 {"find -type f", "find", {dir.c_str(), "-type", "f"}}, KLimit);
}

// Refreshing the Add-Ons page over a System folder of 3,000 files (2,000 code packages and
// 1,000 sibling files of six other types) must take under 150 ms: the page's refresh handler,
// from the count line to every row with its icon and size. No file may be opened on the way:
// icons come from the file names alone. The kernel's file-open notices on the System folder
// count every file opened.
//
//   bench_addons_page [--files N] [--runs N]
//
// Prints the spread of the runs and ends with 1 when it is above the limit or a file was opened.
#include "BenchRuns.h"
#include "TAddOnsPage.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double KLimitMs = 150;

// The code packages among Files.
int WriteSystem(const TProgramFixture& fixture, int files)
{
    const char* const others[] = {"int", "ucl", "ini", "utx", "uax", "dll"};
    int packages = 0;
    for (int i = 0; i < files; ++i) {
        const bool package = i % 3 != 2;
        const QString name = QStringLiteral("System/AddOn%1.%2")
                                 .arg(i, 5, 10, QLatin1Char('0'))
                                 .arg(QLatin1String(package ? "u" : others[i % 6]));
        fixture.Game().WriteFile(name, QByteArray(64 + i % 4096, 'x'));
        packages += package ? 1 : 0;
    }
    return packages;
}

// Opens of files (not of folders) in Folder since the watch began.
class TOpenCounter final
{
public:
    explicit TOpenCounter(const QString& folder)
    {
        FFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (FFd >= 0)
            inotify_add_watch(FFd, QFile::encodeName(folder).constData(), IN_OPEN);
    }
    ~TOpenCounter()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    TOpenCounter(const TOpenCounter&) = delete;
    TOpenCounter& operator=(const TOpenCounter&) = delete;

    bool Valid() const { return FFd >= 0; }
    int FileOpens()
    {
        int opens = 0;
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t size = ::read(FFd, buffer, sizeof buffer);
            if (size <= 0)
                break;
            for (ssize_t offset = 0; offset < size;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                if ((event->mask & IN_OPEN) && !(event->mask & IN_ISDIR))
                    ++opens;
                offset += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return opens;
    }

private:
    int FFd = -1;
};

} // namespace

int main(int argc, char** argv)
{
    UseOffscreenDisplay();
    QApplication app(argc, argv);
    const int files = IntOption(argc, argv, "--files", 3000);
    const int runs = RunsOption(argc, argv, 11);

    TProgramFixture fixture;
    TScriptedDialogs dialogs;
    const int packages = WriteSystem(fixture, files);
    TPageContextDouble context(fixture);
    auto* page = context.Create<TAddOnsPage>(QStringLiteral("tbMutatorManager"));
    const QTreeWidget* list = page->List();

    TOpenCounter counter(fixture.Game().Path(QStringLiteral("System")));
    if (!counter.Valid()) {
        std::fprintf(stderr, "No file-open notices on this system\n");
        return 2;
    }
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        times.push_back(TimeMs([&] { page->ShowAddOnsPage(); }));
        if (list->topLevelItemCount() != packages) {
            std::fprintf(stderr, "%d rows instead of %d\n", list->topLevelItemCount(), packages);
            return 2;
        }
    }
    const int opens = counter.FileOpens();
    // The notices must see an open for the count to mean anything.
    {
        QFile probe(fixture.Game().Path(QStringLiteral("System/AddOn00000.u")));
        if (!probe.open(QIODevice::ReadOnly) || counter.FileOpens() != 1) {
            std::fprintf(stderr, "File-open notices do not reach this program\n");
            return 2;
        }
    }
    std::printf("Refreshing the Add-Ons page over %d files (%d code packages), %d runs; files "
                "opened: %d\n",
                files, packages, runs, opens);
    const bool met = ReportRuns("  refresh:", times, KLimitMs);
    return met && opens == 0 ? 0 : 1;
}

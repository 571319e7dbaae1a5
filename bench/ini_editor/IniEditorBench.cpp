// The INI editor page over the page context's double, as the user meets it: a file loaded
// into the tree (a 5,000-line generated file, and the real 717 KB "User.ini"), and one value of
// that "User.ini" saved. Each load reads a file the INI parse cache does not hold. Run:
//   build/bin/bench_ini_editor
#include "BenchRuns.h"
#include "TIniEditorPage.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

// More copies than the parse cache keeps, so that cycling through them parses every time.
constexpr int KCopies = 40;

// A main INI file of 5,000 lines: 250 sections of a header, repeated "ServerPackages=" lines,
// keys with structured values, comments and a blank line.
QByteArray GeneratedFile()
{
    QByteArray bytes;
    int lines = 0;
    for (int s = 0; lines < 5000; ++s) {
        bytes += "[Package" + QByteArray::number(s) + ".Settings]\r\n";
        ++lines;
        for (int k = 0; k < 18 && lines < 4999; ++k, ++lines) {
            if (k % 6 == 0)
                bytes += "ServerPackages=Package" + QByteArray::number(k) + "\r\n";
            else if (k % 6 == 5)
                bytes += "; a comment line\r\n";
            else
                bytes += "Setting" + QByteArray::number(k) +
                         "=(Value=" + QByteArray::number(s * 100 + k) +
                         ",Name=\"Caf\xe9 server\")\r\n";
        }
        bytes += "\r\n";
        ++lines;
    }
    return bytes;
}

class TBench final
{
public:
    TBench()
    {
        FContext = std::make_unique<TPageContextDouble>(FFixture);
        FPage = FContext->Create<TIniEditorPage>(QStringLiteral("tbINIEditor"));
        const QByteArray generated = GeneratedFile();
        const QString real =
            RealDataDir() + QStringLiteral("/ini/dantrevino-ut2k4/System/User.ini");
        const QByteArray user = ReadBytes(real);
        for (int i = 0; i < KCopies; ++i) {
            Generated << FFixture.Game().WriteFile(QStringLiteral("System/Gen%1.ini").arg(i),
                                                   generated);
            if (!user.isEmpty())
                RealUser << FFixture.Game().WriteFile(QStringLiteral("System/User%1.ini").arg(i),
                                                      user);
        }
    }

    TIniEditorPage& Page() const { return *FPage; }
    QTreeWidget* Tree() const { return Child<QTreeWidget>(FPage, QStringLiteral("twINI_Content")); }

    QStringList Generated;
    QStringList RealUser;

private:
    TProgramFixture FFixture;
    TScriptedDialogs FDialogs;
    std::unique_ptr<TPageContextDouble> FContext;
    TIniEditorPage* FPage = nullptr;
};

TBench& Bench()
{
    static TBench bench;
    return bench;
}

void Load(benchmark::State& state, const QStringList& files)
{
    if (files.isEmpty()) {
        state.SkipWithError("the real game files are not on this machine");
        return;
    }
    TBench& bench = Bench();
    int i = 0;
    for (auto _ : state) {
        bench.Page().LoadIniFile(files[i]);
        QCoreApplication::processEvents(); // laid out and painted as the user sees it
        i = (i + 1) % KCopies;
    }
    int nodes = bench.Tree()->topLevelItemCount();
    for (int s = 0; s < bench.Tree()->topLevelItemCount(); ++s)
        nodes += bench.Tree()->topLevelItem(s)->childCount();
    state.counters["nodes"] = nodes;
}

void BM_LoadGenerated5000Lines(benchmark::State& state)
{
    Load(state, Bench().Generated);
}
BENCHMARK(BM_LoadGenerated5000Lines)->Unit(benchmark::kMillisecond);

void BM_LoadRealUserIni(benchmark::State& state)
{
    Load(state, Bench().RealUser);
}
BENCHMARK(BM_LoadRealUserIni)->Unit(benchmark::kMillisecond);

// The 1,000th "ServerCache=" line of the real "User.ini", saved with the page's Save button:
// the file read, that line replaced, the file written beside the old one and renamed over it.
void BM_SaveOneValueOfRealUserIni(benchmark::State& state)
{
    TBench& bench = Bench();
    if (bench.RealUser.isEmpty()) {
        state.SkipWithError("the real game files are not on this machine");
        return;
    }
    bench.Page().LoadIniFile(bench.RealUser.first());
    const QList<QTreeWidgetItem*> browser =
        bench.Tree()->findItems(QStringLiteral("GUI2K4.UT2k4ServerBrowser"), Qt::MatchExactly);
    QTreeWidgetItem* node = nullptr;
    for (int i = 0, n = 0; !browser.isEmpty() && i < browser.first()->childCount() && !node; ++i) {
        QTreeWidgetItem* key = browser.first()->child(i);
        if (key->text(0).startsWith(QLatin1String("ServerCache=")) && ++n == 1000)
            node = key;
    }
    if (!node) {
        state.SkipWithError("no 1,000th ServerCache line");
        return;
    }
    bench.Tree()->expandItem(browser.first()); // as the user opened it to reach the line
    bench.Tree()->setCurrentItem(node);
    auto* value = Child<QComboBox>(&bench.Page(), QStringLiteral("cbINI_EditValue"));
    auto* save = Child<QPushButton>(&bench.Page(), QStringLiteral("btnINI_SaveValue"));
    const QString original = value->currentText();
    int i = 0;
    for (auto _ : state) {
        value->setEditText(++i % 2 ? original + QStringLiteral("X") : original);
        save->click();
    }
}
BENCHMARK(BM_SaveOneValueOfRealUserIni)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    UseOffscreenDisplay();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}

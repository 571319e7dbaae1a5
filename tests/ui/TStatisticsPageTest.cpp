#include "TKOVASettings.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"
#include "TStatisticsPage.h"
#include "TfrmMain.h"

#include <QDirIterator>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

// The Statistics page: the five groups and the version of a known tree, the loading title on the
// screen before the walk, and no walk without a game folder.
class TStatisticsPageTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void knownTreeGivesEachGroupItsCountAndWholeMegabytes();
    void invalidFolderFromTheWindowMenuGivesZeros();

private:
    QString Label(const QString& name) const
    {
        return Child<QLabel>(FContext->Host(), name)->text();
    }
    void Write(const QString& relative, qint64 size) const
    {
        QFile file(FFixture->Game().WriteFile(relative, QByteArray()));
        if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
            qFatal("cannot write %s", qPrintable(relative));
    }

    std::unique_ptr<TProgramFixture> FFixture;
    std::unique_ptr<TScriptedDialogs> FDialogs;
    std::unique_ptr<TPageContextDouble> FContext;
};

namespace {

constexpr qint64 KMiB = 1048576;

// Notes the group box's title, and the text of one of its labels, at each of its paints.
class TTitlePaints final : public QObject
{
public:
    TTitlePaints(QGroupBox* box, const QLabel* label)
        : FBox(box)
        , FLabel(label)
    {
        box->installEventFilter(this);
    }
    QStringList Paints;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == FBox && event->type() == QEvent::Paint)
            Paints << FBox->title() + QStringLiteral(" | ") + FLabel->text();
        return false;
    }

private:
    QGroupBox* FBox;
    const QLabel* FLabel;
};

} // namespace

void TStatisticsPageTest::init()
{
    FFixture = std::make_unique<TProgramFixture>();
    FDialogs = std::make_unique<TScriptedDialogs>();
}

void TStatisticsPageTest::cleanup()
{
    FContext.reset();
    FDialogs.reset();
    FFixture.reset();
}

void TStatisticsPageTest::knownTreeGivesEachGroupItsCountAndWholeMegabytes()
{
    Write(QStringLiteral("Maps/DM-One.ut2"), KMiB);
    Write(QStringLiteral("Maps/DM-Two.ut2"), KMiB);
    Write(QStringLiteral("Maps/DM-Loud.UT2"), 5);
    Write(QStringLiteral("Maps/Sub/DM-Deep.ut2"), 3 * KMiB); // all files only
    Write(QStringLiteral("System/A.u"), KMiB);
    Write(QStringLiteral("System/B.u"), KMiB);
    Write(QStringLiteral("System/C.u"), KMiB + 1);
    Write(QStringLiteral("ScreenShots/Shot00001.bmp"), 10);
    Write(QStringLiteral("ScreenShots/Shot1.bmp"), 10);
    Write(QStringLiteral("Demos/Match.demo4"), 2 * KMiB - 1);
    qint64 count = 0, size = 0;
    QDirIterator it(FFixture->Game().Root(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++count;
        size += it.fileInfo().size();
    }

    FContext = std::make_unique<TPageContextDouble>(*FFixture);
    auto* page = FContext->Create<TStatisticsPage>(QStringLiteral("tbStatistics"));
    QCOMPARE(Label(QStringLiteral("lbStatistics_AllFiles")),
             QStringLiteral("All files: %1 (%2 MB)").arg(count).arg(size / KMiB));
    QCOMPARE(Label(QStringLiteral("lbStatistics_MapsInstalled")),
             QStringLiteral("Maps installed: 3 (2 MB)"));
    QCOMPARE(Label(QStringLiteral("lbStatistics_UFilesInstalled")),
             QStringLiteral("Code packages installed: 3 (3 MB)"));
    QCOMPARE(Label(QStringLiteral("lbStatistics_Screenshots")),
             QStringLiteral("Screenshots: 1 (0 MB)"));
    QCOMPARE(Label(QStringLiteral("lbStatistics_DemosCaption")), QStringLiteral("Demos: 1 (1 MB)"));
    QCOMPARE(Label(QStringLiteral("lbStatistics_UtVersion")), QStringLiteral("Game version: 3369"));

    // Refresh runs the active page's handler: the loading title is painted before the walk,
    // and the new figures follow.
    auto* box = Child<QGroupBox>(FContext->Host(), QStringLiteral("gbStats"));
    QCOMPARE(box->title(), FContext->GetLangText(TDialogType::Statistics_gbStats_Caption));
    Write(QStringLiteral("Maps/DM-Three.ut2"), KMiB);
    TTitlePaints paints(
        box, Child<QLabel>(FContext->Host(), QStringLiteral("lbStatistics_MapsInstalled")));
    QTest::mouseClick(Child<QPushButton>(page, QStringLiteral("btnStatistics_Refresh")),
                      Qt::LeftButton);
    QCOMPARE(FContext->Orders(), QStringList{QStringLiteral("pgMainChange")});
    QVERIFY2(paints.Paints.contains(FContext->GetLangText(TDialogType::Statistics_gbStats_Loading) +
                                    QStringLiteral(" | Maps installed: 3 (2 MB)")),
             qPrintable(paints.Paints.join(QLatin1Char('\n'))));
    QCOMPARE(Label(QStringLiteral("lbStatistics_MapsInstalled")),
             QStringLiteral("Maps installed: 4 (3 MB)"));
    QCOMPARE(box->title(), FContext->GetLangText(TDialogType::Statistics_gbStats_Caption));

    // Open Directory hands the game folder to the desktop's default handler.
    const QString opened = FFixture->Root() + QStringLiteral("/opened.txt");
    WriteBytes(FFixture->Root() + QStringLiteral("/bin/xdg-open"),
               "#!/bin/sh\necho \"$1\" > \"" + QFile::encodeName(opened) + "\"\n");
    QFile::setPermissions(FFixture->Root() + QStringLiteral("/bin/xdg-open"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(FFixture->Root() + QStringLiteral("/bin")));
    QTest::mouseClick(Child<QPushButton>(page, QStringLiteral("btnStatistics_OpenDirectory")),
                      Qt::LeftButton);
    qputenv("PATH", path);
    QTRY_COMPARE(ReadBytes(opened), QFile::encodeName(FContext->Settings().UTDir) + "\n");
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TStatisticsPageTest::invalidFolderFromTheWindowMenuGivesZeros()
{
    // A folder full of game files that lacks one the game needs is no game folder.
    Write(QStringLiteral("Maps/DM-One.ut2"), KMiB);
    QVERIFY(QFile::remove(FFixture->Game().Path(QStringLiteral("System/Core.dll"))));
    FDialogs->AnswerMessage(TModalResult::mrOk); // the start-up's warning
    const std::unique_ptr<TfrmMain> window = FFixture->CreateMainWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    Child<QMenu>(window.get(), QStringLiteral("MenuWindow"))->actions().at(1)->trigger();

    QCOMPARE(Child<QLabel>(window.get(), QStringLiteral("lbStatistics_AllFiles"))->text(),
             QStringLiteral("All files: 0 (0 MB)"));
    QCOMPARE(Child<QLabel>(window.get(), QStringLiteral("lbStatistics_MapsInstalled"))->text(),
             QStringLiteral("Maps installed: 0 (0 MB)"));
    QCOMPARE(Child<QLabel>(window.get(), QStringLiteral("lbStatistics_UtVersion"))->text(),
             QStringLiteral("Game version: 0"));
}

QTEST_MAIN(TStatisticsPageTest)
#include "TStatisticsPageTest.moc"

#include "TKOVASettings.h"
#include "TLinkLabel.h"
#include "TPageTest.h"
#include "TStatisticsPage.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

// The Statistics page: the five groups and the version of a known tree, the loading title on the
// screen before the walk, and no walk without a game folder.
class TStatisticsPageTest : public TPageTest
{
    Q_OBJECT

private slots:
    void knownTreeGivesEachGroupItsCountAndWholeMegabytes();
    void invalidFolderFromTheWindowMenuGivesZeros();

private:
    QString Label(const QString& name) const { return Find<QLabel>(name)->text(); }
    void Write(const QString& relative, qint64 size) const
    {
        QFile file(FFixture->Game().WriteFile(relative, QByteArray()));
        if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
            qFatal("cannot write %s", qPrintable(relative));
    }
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
            Paints << FBox->title() + u" | "_s + FLabel->text();
        return false;
    }

private:
    QGroupBox* FBox;
    const QLabel* FLabel;
};

} // namespace

void TStatisticsPageTest::knownTreeGivesEachGroupItsCountAndWholeMegabytes()
{
    Write(u"Maps/DM-One.ut2"_s, KMiB);
    Write(u"Maps/DM-Two.ut2"_s, KMiB);
    Write(u"Maps/DM-Loud.UT2"_s, 5);
    Write(u"System/A.u"_s, KMiB);
    Write(u"System/B.u"_s, KMiB);
    Write(u"System/C.u"_s, KMiB + 1);
    Write(u"Maps/Sub/DM-Deep.ut2"_s, 3 * KMiB); // all files only
    Write(u"ScreenShots/Shot00001.bmp"_s, 10);
    Write(u"ScreenShots/Shot1.bmp"_s, 10);
    Write(u"Demos/Match.demo4"_s, 2 * KMiB - 1);
    qint64 count = 0, size = 0;
    for (const QString& file : FileTree(FFixture->Game().Root())) {
        if (!file.endsWith(u'/')) {
            ++count;
            size += file.section(u' ', -1).toLongLong();
        }
    }

    // What each group counts is the model's test; here each label shows its own, in whole MB.
    FContext = std::make_unique<TPageContextDouble>(*FFixture);
    auto* page = FContext->Create<TStatisticsPage>(u"tbStatistics"_s);
    QCOMPARE(Label(u"lbStatistics_AllFiles"_s),
             u"All files: %1 (%2 MB)"_s.arg(count).arg(size / KMiB));
    QCOMPARE(Label(u"lbStatistics_Screenshots"_s), u"Screenshots: 1 (0 MB)"_s);
    QCOMPARE(Label(u"lbStatistics_DemosCaption"_s), u"Demos: 1 (1 MB)"_s);
    QCOMPARE(Label(u"lbStatistics_MapsInstalled"_s), u"Maps installed: 3 (2 MB)"_s);
    QCOMPARE(Label(u"lbStatistics_UFilesInstalled"_s), u"Code packages installed: 3 (3 MB)"_s);
    QCOMPARE(Label(u"lbStatistics_UtVersion"_s), u"Game version: 3369"_s);

    // Refresh runs the active page's handler: the loading title is painted before the walk,
    // and the new figures follow.
    auto* box = Find<QGroupBox>(u"gbStats"_s);
    QCOMPARE(box->title(), FContext->GetLangText(TDialogType::Statistics_gbStats_Caption));
    Write(u"Maps/DM-Three.ut2"_s, KMiB);
    TTitlePaints paints(box, Find<QLabel>(u"lbStatistics_MapsInstalled"_s));
    QTest::mouseClick(Child<QPushButton>(page, u"btnStatistics_Refresh"_s), Qt::LeftButton);
    QCOMPARE(FContext->Orders(), QStringList{u"pgMainChange"_s});
    QVERIFY2(paints.Paints.contains(FContext->GetLangText(TDialogType::Statistics_gbStats_Loading) +
                                    u" | Maps installed: 3 (2 MB)"_s),
             qPrintable(paints.Paints.join(QLatin1Char('\n'))));
    QCOMPARE(Label(u"lbStatistics_MapsInstalled"_s), u"Maps installed: 4 (3 MB)"_s);
    QCOMPARE(box->title(), FContext->GetLangText(TDialogType::Statistics_gbStats_Caption));
    QCOMPARE(FDialogs->Calls().size(), 0);

    // Open Directory hands the game folder over, and says so when that fails, also later.
    QStringList opened;
    TOpenEnded ended;
    bool starts = false;
    const TLinkLabel::TOpener previous =
        TLinkLabel::SetOpener([&](const QString& url, QString*, TOpenEnded onEnded) {
            opened << url;
            ended = std::move(onEnded);
            return starts;
        });
    auto* open = Child<QPushButton>(page, u"btnStatistics_OpenDirectory"_s);
    QTest::mouseClick(open, Qt::LeftButton);
    QCOMPARE(FDialogs->CallsOf(TScriptedDialogs::TKind::dkException).size(), 1);
    starts = true;
    QTest::mouseClick(open, Qt::LeftButton);
    QCOMPARE(opened.size(), 2);
    QCOMPARE(QUrl(opened.last()).toLocalFile(), FContext->Settings().UTDir);
    QCOMPARE(FDialogs->Calls().size(), 1);
    QVERIFY(ended);
    ended(3);
    TLinkLabel::SetOpener(previous);
    const QList<TScriptedDialogs::TCall> errors =
        FDialogs->CallsOf(TScriptedDialogs::TKind::dkException);
    QCOMPARE(errors.size(), 2);
    QCOMPARE(errors.last().Text, OpenFailureText(FContext->Settings().UTDir, 3));
}

void TStatisticsPageTest::invalidFolderFromTheWindowMenuGivesZeros()
{
    // A folder full of game files that lacks one the game needs is no game folder.
    Write(u"Maps/DM-One.ut2"_s, KMiB);
    QVERIFY(QFile::remove(FFixture->Game().Path(u"System/Core.dll"_s)));
    FDialogs->AnswerMessage(TModalResult::mrOk); // the start-up's warning
    TfrmMain* window = ShowWindow();
    Child<QMenu>(window, u"MenuWindow"_s)->actions().at(1)->trigger();

    QCOMPARE(Child<QLabel>(window, u"lbStatistics_AllFiles"_s)->text(), u"All files: 0 (0 MB)"_s);
    QCOMPARE(Child<QLabel>(window, u"lbStatistics_MapsInstalled"_s)->text(),
             u"Maps installed: 0 (0 MB)"_s);
    QCOMPARE(Child<QLabel>(window, u"lbStatistics_UtVersion"_s)->text(), u"Game version: 0"_s);
}

QTEST_MAIN(TStatisticsPageTest)
#include "TStatisticsPageTest.moc"

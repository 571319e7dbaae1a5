#include "BitmapWriter.h"
#include "TLinkLabel.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScreenShotManager.h"
#include "TScreenshotManagerPage.h"
#include "TScriptedDialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

using TKind = TScriptedDialogs::TKind;

// The Screenshots page over the page context's double: copies and moves keep what they must,
// ask before replacing, and the rows follow the files; every action finds its file by the row.
class TScreenshotManagerPageTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void copyAsJpegOrAsItIsAndTheQualityControls();
    void moveIntoAFolderAsksBeforeReplacing();
    void sortedRowsOpenShowAndDeleteTheirOwnFile();

private:
    void ShowPage();
    template <class T> T* Find(const QString& name) const
    {
        return Child<T>(FContext->Host(), name);
    }
    void Click(const QString& button) const
    {
        QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
    }
    QTreeWidget* List() const
    {
        return Find<QTreeWidget>(QStringLiteral("lwScreenShotManager_List"));
    }
    QStringList Rows() const { return Captions(List()); }
    void Select(const QStringList& names) const { SelectRows(List(), names); }
    QString Shot(const QString& name) const
    {
        return FFixture->Game().Path(QStringLiteral("ScreenShots/") + name);
    }
    QString Out(const QString& name) const
    {
        return FFixture->Root() + QStringLiteral("/Out/") + name;
    }

    std::unique_ptr<TProgramFixture> FFixture;
    std::unique_ptr<TScriptedDialogs> FDialogs;
    std::unique_ptr<TPageContextDouble> FContext;
};

void TScreenshotManagerPageTest::init()
{
    FFixture = std::make_unique<TProgramFixture>();
    FDialogs = std::make_unique<TScriptedDialogs>();
    // Three sizes, so that sorting by size reorders them.
    const QList<QPair<QString, QSize>> shots = {{QStringLiteral("Shot00001.bmp"), {64, 48}},
                                                {QStringLiteral("Shot00002.bmp"), {16, 12}},
                                                {QStringLiteral("Shot00003.bmp"), {32, 24}}};
    for (const auto& [name, size] : shots)
        FFixture->Game().WriteFile(QStringLiteral("ScreenShots/") + name,
                                   BitmapBytes24(size.width(), size.height(), [size](int x, int y) {
                                       return QuadrantColour(x, y, size.width(), size.height());
                                   }));
    QDir().mkpath(Out(QString()));
}

void TScreenshotManagerPageTest::cleanup()
{
    FContext.reset();
    FDialogs.reset();
    FFixture.reset();
}

void TScreenshotManagerPageTest::ShowPage()
{
    FContext = std::make_unique<TPageContextDouble>(*FFixture);
    FContext->Create<TScreenshotManagerPage>(QStringLiteral("tbScreenshotManager"));
}

void TScreenshotManagerPageTest::copyAsJpegOrAsItIsAndTheQualityControls()
{
    ShowPage();
    QCOMPARE(Find<QLabel>(QStringLiteral("lbScreenShotManager_CompressionRatio"))->text(),
             "JPEG quality: 50");
    const QByteArray bitmap = ReadBytes(Shot(QStringLiteral("Shot00001.bmp")));

    Select({QStringLiteral("Shot00001.bmp")});
    FDialogs->AnswerSave(Out(QStringLiteral("first.jpg")));
    Click(QStringLiteral("btnScreenshotmanager_CopyToFolder"));
    QCOMPARE(FDialogs->CallsOf(TKind::dkSave).last().Text,
             "Screenshots (*.jpg;*.jpeg)|*.jpg;*.jpeg");
    const QByteArray jpeg = ReadBytes(Out(QStringLiteral("first.jpg")));
    QVERIFY(jpeg.startsWith("\xFF\xD8\xFF"));
    QCOMPARE(QImage::fromData(jpeg).size(), QSize(64, 48));
    QCOMPARE(ReadBytes(Shot(QStringLiteral("Shot00001.bmp"))), bitmap);
    QCOMPARE(Rows().size(), 3);

    // The save prompt asked about the name it gave: no second question.
    WriteBytes(Out(QStringLiteral("first.jpg")), "old");
    FDialogs->AnswerSave(Out(QStringLiteral("first.jpg")));
    Click(QStringLiteral("btnScreenshotmanager_CopyToFolder"));
    QVERIFY(ReadBytes(Out(QStringLiteral("first.jpg"))).startsWith("\xFF\xD8\xFF"));
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 0);

    // Clicking the box off disables the quality controls; the copy is the bitmap as it is.
    QTest::mouseClick(Find<QCheckBox>(QStringLiteral("cbScreenshotmanager_UseJPG")),
                      Qt::LeftButton);
    for (const QString& name : {QStringLiteral("tbScreenShotManager_CompressionRatio"),
                                QStringLiteral("lbScreenShotManager_CompressionRatio"),
                                QStringLiteral("lbScreenShotManager_Compress1"),
                                QStringLiteral("lbScreenShotManager_Compress100")})
        QVERIFY2(!Find<QWidget>(name)->isEnabled(), qPrintable(name));
    FDialogs->AnswerSave(Out(QStringLiteral("plain.bmp")));
    Click(QStringLiteral("btnScreenshotmanager_CopyToFolder"));
    QCOMPARE(FDialogs->CallsOf(TKind::dkSave).last().Text, "Screenshots (*.bmp)|*.bmp");
    QCOMPARE(ReadBytes(Out(QStringLiteral("plain.bmp"))), bitmap);

    QVERIFY(FDialogs->AllAnswersUsed());
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TScreenshotManagerPageTest::moveIntoAFolderAsksBeforeReplacing()
{
    WriteBytes(Out(QStringLiteral("Shot00001.jpg")), "an older picture");
    WriteBytes(Out(QStringLiteral("Shot00003.jpg")), "keep this one");
    ShowPage();
    Click(QStringLiteral("btnScreenShotManager_SelectAll"));
    FDialogs->AnswerFolder(Out(QString()));
    FDialogs->AnswerMessage(TModalResult::mrYes);
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Click(QStringLiteral("btnScreenshotmanager_MoveToFolder"));

    const QList<TScriptedDialogs::TCall> questions = FDialogs->CallsOf(TKind::dkMessage);
    QCOMPARE(questions.size(), 2);
    QVERIFY(questions.first().Text.contains(QStringLiteral("Shot00001.jpg")));
    QVERIFY(questions.first().Buttons & mbYesToAll);
    QVERIFY(questions.last().Text.contains(QStringLiteral("Shot00003.jpg")));
    QVERIFY(ReadBytes(Out(QStringLiteral("Shot00001.jpg"))).startsWith("\xFF\xD8\xFF"));
    QCOMPARE(QImage(Out(QStringLiteral("Shot00002.jpg"))).size(), QSize(16, 12));
    QVERIFY(!QFileInfo::exists(Shot(QStringLiteral("Shot00001.bmp"))));
    QVERIFY(!QFileInfo::exists(Shot(QStringLiteral("Shot00002.bmp"))));
    // No keeps the file where it is, and its row with it.
    QCOMPARE(ReadBytes(Out(QStringLiteral("Shot00003.jpg"))), QByteArray("keep this one"));
    QVERIFY(QFileInfo::exists(Shot(QStringLiteral("Shot00003.bmp"))));
    QCOMPARE(Rows(), QStringList({"Shot00003.bmp"}));
    QCOMPARE(FContext->ScreenShotManager()->GetCount(), 1);
    QVERIFY(FDialogs->AllAnswersUsed());
}

void TScreenshotManagerPageTest::sortedRowsOpenShowAndDeleteTheirOwnFile()
{
    FFixture->Game().WriteFile(QStringLiteral("ScreenShots/Shot00009.bmp"), "BM no picture");
    QStringList opened;
    const TLinkLabel::TOpener previous = TLinkLabel::SetOpener([&opened](const QString& url) {
        opened << url;
        return true;
    });
    ShowPage();
    QTreeWidget* list = List();
    QHeaderView* header = list->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
    QCOMPARE(Rows(),
             QStringList({"Shot00009.bmp", "Shot00002.bmp", "Shot00003.bmp", "Shot00001.bmp"}));

    // A double-click opens the row's own file, and the thumbnail shows it.
    QTreeWidgetItem* row = list->topLevelItem(3);
    const QPoint at = list->visualItemRect(row).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(opened, QStringList{QUrl::fromLocalFile(Shot(QStringLiteral("Shot00001.bmp")))
                                     .toString(QUrl::FullyEncoded)});
    auto* thumbnail = Find<QLabel>(QStringLiteral("imgScreenshotManager_Thumbnail"));
    QVERIFY(!thumbnail->pixmap().isNull());
    QTest::mouseDClick(thumbnail, Qt::LeftButton);
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened.last(), opened.first());
    // A file that does not decode leaves no picture of another.
    Select({QStringLiteral("Shot00009.bmp")});
    QVERIFY(thumbnail->pixmap().isNull());
    TLinkLabel::SetOpener(previous);

    // Delete: the shell asks per file; only what went leaves the list.
    Select({QStringLiteral("Shot00002.bmp"), QStringLiteral("Shot00003.bmp")});
    FDialogs->AnswerMessage(TModalResult::mrYes);
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Click(QStringLiteral("btnScreenshotmanager_Delete"));
    QCOMPARE(Rows(), QStringList({"Shot00009.bmp", "Shot00003.bmp", "Shot00001.bmp"}));
    QVERIFY(!QFileInfo::exists(Shot(QStringLiteral("Shot00002.bmp"))));
    QVERIFY(QFileInfo::exists(FFixture->Environment().DataHome() +
                              QStringLiteral("/Trash/files/Shot00002.bmp")));
    QVERIFY(QFileInfo::exists(Shot(QStringLiteral("Shot00003.bmp"))));
    QCOMPARE(FContext->ScreenShotManager()->GetCount(), 3);
    FContext->ShowPage(QStringLiteral("tbScreenshotManager"));
    QCOMPARE(Rows().size(), 3);

    // Dragged, the rows are files of the screenshots folder; without a selection no picture
    // stays.
    Click(QStringLiteral("btnScreenShotManager_SelectAll"));
    QVERIFY(!thumbnail->pixmap().isNull());
    QStringList dragged;
    QVERIFY(list->dragEnabled() && FContext->DraggedFiles(list, &dragged));
    QCOMPARE(dragged.size(), 3);
    QVERIFY(dragged.contains(Shot(QStringLiteral("Shot00001.bmp"))));
    list->clearSelection();
    QVERIFY(thumbnail->pixmap().isNull());
}

QTEST_MAIN(TScreenshotManagerPageTest)
#include "TScreenshotManagerPageTest.moc"

#include "BitmapWriter.h"
#include "TLinkLabel.h"
#include "TPageTest.h"
#include "TScreenShotManager.h"
#include "TScreenshotManagerPage.h"

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

using namespace Qt::StringLiterals;

// The Screenshots page over the page context's double: copies and moves keep what they must,
// ask before replacing, and the rows follow the files; every action finds its file by the row.
class TScreenshotManagerPageTest : public TPageTest
{
    Q_OBJECT

private slots:
    void copyAsJpegOrAsItIsAndTheQualityControls();
    void moveIntoAFolderAsksBeforeReplacing();
    void sortedRowsOpenShowAndDeleteTheirOwnFile();

private:
    void Prepare() override;
    void ShowPage() { TPageTest::ShowPage<TScreenshotManagerPage>(u"tbScreenshotManager"_s); }
    QTreeWidget* List() const { return Find<QTreeWidget>(u"lwScreenShotManager_List"_s); }
    QStringList Rows() const { return Captions(List()); }
    void Select(const QStringList& names) const { SelectRows(List(), names); }
    QString Shot(const QString& name) const
    {
        return FFixture->Game().Path(u"ScreenShots/"_s + name);
    }
    QString Out(const QString& name) const { return FFixture->Root() + u"/Out/"_s + name; }
};

void TScreenshotManagerPageTest::Prepare()
{
    // Three sizes, so that sorting by size reorders them.
    const QList<QPair<QString, QSize>> shots = {{u"Shot00001.bmp"_s, {64, 48}},
                                                {u"Shot00002.bmp"_s, {16, 12}},
                                                {u"Shot00003.bmp"_s, {32, 24}}};
    for (const auto& [name, size] : shots)
        FFixture->Game().WriteFile(u"ScreenShots/"_s + name,
                                   BitmapBytes24(size.width(), size.height(), [size](int x, int y) {
                                       return QuadrantColour(x, y, size.width(), size.height());
                                   }));
    QDir().mkpath(Out(QString()));
}

void TScreenshotManagerPageTest::copyAsJpegOrAsItIsAndTheQualityControls()
{
    ShowPage();
    QCOMPARE(Label(u"lbScreenShotManager_CompressionRatio"_s), u"JPEG quality: 50"_s);
    const QByteArray bitmap = ReadBytes(Shot(u"Shot00001.bmp"_s));

    Select({u"Shot00001.bmp"_s});
    FDialogs->AnswerSave(Out(u"first.jpg"_s));
    Click(u"btnScreenshotmanager_CopyToFolder"_s);
    const QByteArray jpeg = ReadBytes(Out(u"first.jpg"_s));
    QVERIFY(jpeg.startsWith("\xFF\xD8\xFF"));
    QCOMPARE(QImage::fromData(jpeg).size(), QSize(64, 48));
    QCOMPARE(ReadBytes(Shot(u"Shot00001.bmp"_s)), bitmap);
    QCOMPARE(Rows().size(), 3);

    // The save prompt asked about the name it gave: no second question.
    WriteBytes(Out(u"first.jpg"_s), "old");
    FDialogs->AnswerSave(Out(u"first.jpg"_s));
    Click(u"btnScreenshotmanager_CopyToFolder"_s);
    QVERIFY(ReadBytes(Out(u"first.jpg"_s)).startsWith("\xFF\xD8\xFF"));
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 0);

    // Clicked off, the box disables the quality controls; the copy is the bitmap as it is.
    QTest::mouseClick(Find<QCheckBox>(u"cbScreenshotmanager_UseJPG"_s), Qt::LeftButton);
    for (const QString name :
         {"tbScreenShotManager_CompressionRatio", "lbScreenShotManager_CompressionRatio",
          "lbScreenShotManager_Compress1", "lbScreenShotManager_Compress100"})
        QVERIFY2(!Find<QWidget>(name)->isEnabled(), qPrintable(name));
    FDialogs->AnswerSave(Out(u"plain.bmp"_s));
    Click(u"btnScreenshotmanager_CopyToFolder"_s);
    QCOMPARE(ReadBytes(Out(u"plain.bmp"_s)), bitmap);

    QVERIFY(FDialogs->AllAnswersUsed());
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TScreenshotManagerPageTest::moveIntoAFolderAsksBeforeReplacing()
{
    WriteBytes(Out(u"Shot00001.jpg"_s), "an older picture");
    WriteBytes(Out(u"Shot00003.jpg"_s), "keep this one");
    ShowPage();
    Click(u"btnScreenShotManager_SelectAll"_s);
    FDialogs->AnswerFolder(Out(QString()));
    FDialogs->AnswerMessage(TModalResult::mrYes);
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Click(u"btnScreenshotmanager_MoveToFolder"_s);

    const QList<TCall> questions = FDialogs->CallsOf(TKind::dkMessage);
    QCOMPARE(questions.size(), 2);
    QVERIFY(questions.first().Text.contains(u"Shot00001.jpg"_s));
    QVERIFY(questions.first().Buttons & mbYesToAll);
    QVERIFY(questions.last().Text.contains(u"Shot00003.jpg"_s));
    QVERIFY(ReadBytes(Out(u"Shot00001.jpg"_s)).startsWith("\xFF\xD8\xFF"));
    QCOMPARE(QImage(Out(u"Shot00002.jpg"_s)).size(), QSize(16, 12));
    QVERIFY(!QFileInfo::exists(Shot(u"Shot00001.bmp"_s)));
    QVERIFY(!QFileInfo::exists(Shot(u"Shot00002.bmp"_s)));
    // No keeps the file where it is, and its row with it.
    QCOMPARE(ReadBytes(Out(u"Shot00003.jpg"_s)), QByteArray("keep this one"));
    QVERIFY(QFileInfo::exists(Shot(u"Shot00003.bmp"_s)));
    QCOMPARE(Rows(), QStringList({"Shot00003.bmp"}));
    QCOMPARE(FContext->ScreenShotManager()->GetCount(), 1);
    QVERIFY(FDialogs->AllAnswersUsed());
}

void TScreenshotManagerPageTest::sortedRowsOpenShowAndDeleteTheirOwnFile()
{
    FFixture->Game().WriteFile(u"ScreenShots/Shot00009.bmp"_s, "BM no picture");
    QStringList opened;
    const TLinkLabel::TOpener previous =
        TLinkLabel::SetOpener([&opened](const QString& url, QString*, TOpenEnded) {
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
    QCOMPARE(
        opened,
        QStringList{QUrl::fromLocalFile(Shot(u"Shot00001.bmp"_s)).toString(QUrl::FullyEncoded)});
    auto* thumbnail = Find<QLabel>(u"imgScreenshotManager_Thumbnail"_s);
    QVERIFY(!thumbnail->pixmap().isNull());
    QTest::mouseDClick(thumbnail, Qt::LeftButton);
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened.last(), opened.first());
    // A file that does not decode leaves no picture of another.
    Select({u"Shot00009.bmp"_s});
    QVERIFY(thumbnail->pixmap().isNull());
    TLinkLabel::SetOpener(previous);

    // Delete: the shell asks per file; only what went leaves the list.
    Select({u"Shot00002.bmp"_s, u"Shot00003.bmp"_s});
    FDialogs->AnswerMessage(TModalResult::mrYes);
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Click(u"btnScreenshotmanager_Delete"_s);
    QCOMPARE(Rows(), QStringList({"Shot00009.bmp", "Shot00003.bmp", "Shot00001.bmp"}));
    QVERIFY(!QFileInfo::exists(Shot(u"Shot00002.bmp"_s)));
    QVERIFY(QFileInfo::exists(Trashed(u"Shot00002.bmp"_s)));
    QVERIFY(QFileInfo::exists(Shot(u"Shot00003.bmp"_s)));
    QCOMPARE(FContext->ScreenShotManager()->GetCount(), 3);
    FContext->ShowPage(u"tbScreenshotManager"_s);
    QCOMPARE(Rows().size(), 3);

    // Without a selection no picture stays.
    Click(u"btnScreenShotManager_SelectAll"_s);
    QVERIFY(!thumbnail->pixmap().isNull());
    list->clearSelection();
    QVERIFY(thumbnail->pixmap().isNull());
}

QTEST_MAIN(TScreenshotManagerPageTest)
#include "TScreenshotManagerPageTest.moc"

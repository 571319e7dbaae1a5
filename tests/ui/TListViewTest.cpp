#include "TListView.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"

#include <QHeaderView>
#include <QTest>

#include <tuple>

using namespace Qt::StringLiterals;

// The file lists: each sorts by the comparison its page installs, and hands its selected rows
// on as files in the order it shows them.
class TListViewTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void eachColumnSortsByItsKindAndStaysAscending();
    void selectedAndDraggedRowsComeInListOrder();

private:
    QStringList Order(int column = 0) const;
    void ClickHeader(int column) const;

    std::unique_ptr<TListView> FList;
};

void TListViewTest::init()
{
    FList = std::make_unique<TListView>();
    FList->setHeaderLabels({u"File"_s, u"Size"_s, u"Type"_s});
    FList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Size texts that sort otherwise than the bytes; one past 4 GiB, which a 32-bit size would
    // take for 10 bytes.
    const QList<std::tuple<QString, qint64, QString, QString>> rows = {
        {"a.demo4", 900, "900 B", "Demo"},
        {"B.demo4", 10'000, "9.8 KB", "bitmap"},
        {"c.demo4", 50, "50 B", "Archive"},
        {"d.demo4", (qint64(1) << 32) + 10, "4 GB", "demo"},
        {"e.demo4", 2'000'000, "1.9 MB", "Zip"}};
    for (const auto& [name, size, text, type] : rows) {
        auto* row = new TListItem(FList.get(), {name, text, type});
        TListView::SetSortNumber(row, 1, size);
    }
    FList->resize(400, 300);
    FList->show();
    QVERIFY(QTest::qWaitForWindowExposed(FList.get()));
}

void TListViewTest::cleanup()
{
    FList.reset();
}

QStringList TListViewTest::Order(int column) const
{
    QStringList texts;
    for (int i = 0; i < FList->topLevelItemCount(); ++i)
        texts << FList->topLevelItem(i)->text(column);
    return texts;
}

void TListViewTest::ClickHeader(int column) const
{
    QHeaderView* header = FList->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
}

void TListViewTest::eachColumnSortsByItsKindAndStaysAscending()
{
    FList->SetSortColumns({TListSort::lsText, TListSort::lsNumber, TListSort::lsText});
    const QStringList bySize = {"c.demo4", "a.demo4", "B.demo4", "e.demo4", "d.demo4"};
    ClickHeader(1);
    QCOMPARE(Order(), bySize);
    ClickHeader(1);
    QCOMPARE(Order(), bySize);

    // Texts compare without regard to letter case.
    ClickHeader(0);
    QCOMPARE(Order(), QStringList({"a.demo4", "B.demo4", "c.demo4", "d.demo4", "e.demo4"}));
    ClickHeader(2);
    QCOMPARE(Order(2), QStringList({"Archive", "bitmap", "Demo", "demo", "Zip"}));
}

void TListViewTest::selectedAndDraggedRowsComeInListOrder()
{
    FList->SetSortColumns({TListSort::lsText, TListSort::lsNumber});
    ClickHeader(1);
    FList->topLevelItem(3)->setSelected(true);
    FList->topLevelItem(0)->setSelected(true);

    QStringList selected;
    IPageContext::GetSelectedFiles(&selected, FList.get(), u"/Demos"_s);
    QCOMPARE(selected, QStringList({"/Demos/c.demo4", "/Demos/e.demo4"}));
    IPageContext::GetSelectedFiles(&selected, nullptr, u"/Demos"_s);
    QCOMPARE(selected.size(), 2);

    // A list marked as a drag source stands for the files of its folder; others for nothing.
    TProgramFixture fixture;
    TPageContextDouble context(fixture);
    QStringList dragged;
    QVERIFY(!context.DraggedFiles(FList.get(), &dragged));
    IPageContext::AddDragList(FList.get(), TMapPaths::mpDemos);
    QVERIFY(context.DraggedFiles(FList.get(), &dragged));
    QCOMPARE(dragged, QStringList({fixture.Game().Path(u"Demos/c.demo4"_s),
                                   fixture.Game().Path(u"Demos/e.demo4"_s)}));
    QVERIFY(!context.DraggedFiles(FList->header(), &dragged));
    QVERIFY(!context.DraggedFiles(nullptr, &dragged));
    QCOMPARE(dragged.size(), 2);
}

QTEST_MAIN(TListViewTest)
#include "TListViewTest.moc"

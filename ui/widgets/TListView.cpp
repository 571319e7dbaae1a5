#include "TListView.h"

#include <QHeaderView>

namespace {

constexpr int KSortNumberRole = Qt::UserRole;

int CompareNumbers(qint64 a, qint64 b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

TListView::TListView(QWidget* parent)
    : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this, &TListView::HeaderClicked);
}

void TListView::SetCompare(TCompare compare)
{
    FCompare = std::move(compare);
    header()->setSectionsClickable(bool(FCompare));
}

void TListView::SetSortColumns(const QList<TListSort>& columns)
{
    SetCompare([columns](const QTreeWidgetItem* a, const QTreeWidgetItem* b, int column) {
        if (column < 0 || column >= columns.size())
            return 0;
        if (columns.at(column) == TListSort::lsNumber)
            return CompareNumbers(a->data(column, KSortNumberRole).toLongLong(),
                                  b->data(column, KSortNumberRole).toLongLong());
        return a->text(column).compare(b->text(column), Qt::CaseInsensitive);
    });
}

void TListView::SetColumns(const QList<TListColumn>& columns)
{
    QList<TListSort> sorts;
    for (int i = 0; i < columns.size(); ++i) {
        header()->resizeSection(i, columns.at(i).Width);
        sorts.append(columns.at(i).Sort);
    }
    SetSortColumns(sorts);
}

int TListView::Compare(const QTreeWidgetItem* a, const QTreeWidgetItem* b, int column) const
{
    if (FCompare)
        return FCompare(a, b, column);
    return a->text(column).compare(b->text(column), Qt::CaseInsensitive);
}

void TListView::SetSortNumber(QTreeWidgetItem* item, int column, qint64 value)
{
    if (item)
        item->setData(column, KSortNumberRole, value);
}

void TListView::HeaderClicked(int column)
{
    // A second click on the same header sorts the same way again.
    if (FCompare)
        sortItems(column, Qt::AscendingOrder);
}

bool TListItem::operator<(const QTreeWidgetItem& other) const
{
    const auto* view = qobject_cast<const TListView*>(treeWidget());
    if (!view)
        return QTreeWidgetItem::operator<(other);
    return view->Compare(this, &other, treeWidget()->sortColumn()) < 0;
}

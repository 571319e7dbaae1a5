#include "TListView.h"

#include <QHeaderView>

TListView::TListView(QWidget* parent)
    : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this, &TListView::ColumnClicked);
}

int TListView::Compare(const QTreeWidgetItem* a, const QTreeWidgetItem* b, int column) const
{
    if (FCompare)
        return FCompare(a, b, column);
    return a->text(column).compare(b->text(column), Qt::CaseInsensitive);
}

bool TListItem::operator<(const QTreeWidgetItem& other) const
{
    const auto* view = qobject_cast<const TListView*>(treeWidget());
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    if (!view)
        return QTreeWidgetItem::operator<(other);
    return view->Compare(this, &other, column) < 0;
}

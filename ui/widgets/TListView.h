#pragma once

#include <functional>

#include <QList>
#include <QTreeWidget>

// How one column of a file list sorts: by its text without regard to letter case, or by the
// number each row keeps for it (TListView::SetSortNumber), such as a size in bytes.
enum class TListSort
{
    lsText,
    lsNumber
};

// One column of a file list: its width in pixels and how it sorts.
struct TListColumn
{
    int Width;
    TListSort Sort;
};

// A list view in report style whose page installs its own comparison: a click on a column
// header then sorts the rows (TListItem rows) by that column, always ascending. Without one,
// headers sort nothing.
class TListView final : public QTreeWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TListView)

public:
    // Negative, zero or positive, as the first row sorts before, with or after the second.
    using TCompare =
        std::function<int(const QTreeWidgetItem* a, const QTreeWidgetItem* b, int column)>;

    explicit TListView(QWidget* parent = nullptr);

    void SetCompare(TCompare compare);
    // The comparison of a file list: column I sorts as Columns[I] says; a column past the list
    // compares as equal.
    void SetSortColumns(const QList<TListSort>& columns);
    // The columns' widths, and SetSortColumns with their sorts.
    void SetColumns(const QList<TListColumn>& columns);
    int Compare(const QTreeWidgetItem* a, const QTreeWidgetItem* b, int column) const;

    // The number Item sorts by in Column under lsNumber.
    static void SetSortNumber(QTreeWidgetItem* item, int column, qint64 value);

private:
    void HeaderClicked(int column);

    TCompare FCompare;
};

// A row of a TListView: it sorts by its list's comparison.
class TListItem final : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override;
};

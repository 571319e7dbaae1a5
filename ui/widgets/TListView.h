#pragma once

#include <functional>

#include <QTreeWidget>

// A list view in report style whose rows sort through a compare event, the way the file lists
// of the main window sort: a click on a column header sorts by that column, always ascending.
class TListView final : public QTreeWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TListView)

public:
    // Negative, zero or positive, as the first row sorts before, with or after the second.
    using TCompare =
        std::function<int(const QTreeWidgetItem* a, const QTreeWidgetItem* b, int column)>;

    explicit TListView(QWidget* parent = nullptr);

    void SetCompare(TCompare compare) { FCompare = std::move(compare); }
    int Compare(const QTreeWidgetItem* a, const QTreeWidgetItem* b, int column) const;

signals:
    // A column header was clicked.
    void ColumnClicked(int column);

private:
    TCompare FCompare;
};

// A row of a TListView: it sorts by its list's compare event.
class TListItem final : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override;
};

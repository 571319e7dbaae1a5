#include "FolderList.h"

#include "FileMask.h"
#include "GamePath.h"
#include "SystemImages.h"
#include "TListView.h"
#include "uKOVA_Misc.h"

#include <QFileInfo>
#include <QTreeWidget>

void FillListFromFolder(QTreeWidget* list, TSystemImages& images, const QString& folder,
                        const QString& mask)
{
    if (!list || folder.isEmpty())
        return;
    const QString dir = ResolveGamePath(folder);
    const QStringList names = ListFolder(dir, mask, TListKind::lkFiles);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(names.size());
    for (const QString& name : names) {
        qint64 size = 0;
        TryGetFileSize(JoinPath(dir, name), size);
        auto* row = new TListItem(QStringList{name, FormatFileSize(size)});
        TListView::SetSortNumber(row, 1, size);
        row->setIcon(0, images.FileIcon(name));
        rows.append(row);
    }
    list->setUpdatesEnabled(false);
    list->addTopLevelItems(rows);
    list->setUpdatesEnabled(true);
}

QList<int> SelectedRowIndexes(const QTreeWidget* list)
{
    QList<int> indexes;
    if (!list)
        return indexes;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->isSelected())
            indexes.append(i);
    }
    return indexes;
}

QList<QTreeWidgetItem*> SelectedRows(const QTreeWidget* list)
{
    QList<QTreeWidgetItem*> rows;
    for (const int index : SelectedRowIndexes(list))
        rows.append(list->topLevelItem(index));
    return rows;
}

void DropRowsOfGoneFiles(const QList<QTreeWidgetItem*>& rows, const QString& folder)
{
    const QString dir = ResolveGamePath(folder);
    for (QTreeWidgetItem* row : rows) {
        if (!QFileInfo::exists(JoinPath(dir, row->text(0))))
            delete row;
    }
}

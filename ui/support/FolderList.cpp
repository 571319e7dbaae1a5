#include "FolderList.h"

#include "FileMask.h"
#include "GamePath.h"
#include "SystemImages.h"
#include "TListView.h"
#include "uKOVA_Misc.h"

#include <QFileInfo>
#include <QHash>
#include <QTreeWidget>

void FillListFromFolder(QTreeWidget* list, TSystemImages& images, const QString& folder,
                        const QString& mask)
{
    if (!list || folder.isEmpty())
        return;
    const QString dir = ResolveGamePath(folder);
    const QStringList names = ListFolder(dir, mask, TListKind::lkFiles);
    // A System folder holds thousands of files of a handful of types.
    QHash<QString, QIcon> icons;
    QList<QTreeWidgetItem*> rows;
    rows.reserve(names.size());
    for (const QString& name : names) {
        qint64 size = 0;
        TryGetFileSize(JoinPath(dir, name), size);
        auto* row = new TListItem(QStringList{name, FormatFileSize(size)});
        TListView::SetSortNumber(row, 1, size);
        const QString extension = QFileInfo(name).suffix().toLower();
        auto icon = icons.find(extension);
        if (icon == icons.end())
            icon = icons.insert(extension, images.Icon(images.GetFileIconIndex(name)));
        row->setIcon(0, *icon);
        rows.append(row);
    }
    list->setUpdatesEnabled(false);
    list->addTopLevelItems(rows);
    list->setUpdatesEnabled(true);
}

QList<QTreeWidgetItem*> SelectedRows(const QTreeWidget* list)
{
    QList<QTreeWidgetItem*> rows;
    if (!list)
        return rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->isSelected())
            rows.append(list->topLevelItem(i));
    }
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

#pragma once

#include <QList>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;
class TSystemImages;

// The file lists of the pages and dialogs. Those of the add-on and demo pages: one row per file
// of one folder, the file name in column 0 with its type's icon, its size text in column 1
// (sorting by bytes).

// Appends one row per file of Folder that matches Mask, not recursive, in name order: one
// listing of the folder, one size read per file, one icon lookup per extension (by name only,
// never by content). Nothing is cleared first; a missing folder adds nothing.
void FillListFromFolder(QTreeWidget* list, TSystemImages& images, const QString& folder,
                        const QString& mask);

// The rows of List that are selected, in list order: the rows, or their positions.
QList<QTreeWidgetItem*> SelectedRows(const QTreeWidget* list);
QList<int> SelectedRowIndexes(const QTreeWidget* list);

// Removes those of Rows whose files (Folder and the row's caption) no longer exist.
void DropRowsOfGoneFiles(const QList<QTreeWidgetItem*>& rows, const QString& folder);

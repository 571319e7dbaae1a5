#pragma once

#include <QString>

class TFileMask;

// The number of files of one walk and their total size in bytes.
struct TFolderTotals
{
    qint64 Count = 0;
    qint64 Size = 0;
};

// Counts the regular files of Folder whose names Mask matches (every file for no mask), and
// those of its subfolders when Recursive, adding up their sizes; one status call per entry,
// made relative to the open folder, so no path is looked up twice. A link to a file counts as
// that file; a link to a folder is never followed; a file reached twice (a link to it, a second
// hard link) counts once. A missing or unreadable folder counts nothing.
TFolderTotals SumFolderFiles(const QString& folder, const TFileMask* mask, bool recursive);

#pragma once

#include <QString>
#include <QStringList>

// Windows-style file-name masks: "*" any run, "?" exactly one character, no regard to letter
// case. A mask ending in ".*" also matches names without a dot ("*.*" matches "README"), and
// "*." matches names without a dot.
bool MatchesFileMask(const QString& fileName, const QString& mask);

enum class TListKind
{
    lkFiles,
    lkFolders,
    lkAll
};

// The entries of a folder whose names match Mask, names only, sorted by name without regard to
// letter case (ties by exact name). "." and ".." never appear. A symbolic link counts as what
// it points to; a dangling link is left out. A missing or unreadable folder gives an empty list.
QStringList ListFolder(const QString& folder, const QString& mask, TListKind kind);

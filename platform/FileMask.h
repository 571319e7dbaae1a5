#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// Windows-style file-name masks: "*" any run, "?" exactly one character, no regard to letter
// case. A mask ending in ".*" also matches names without a dot ("*.*" matches "README"), and
// "*." matches names without a dot.
bool MatchesFileMask(const QString& fileName, const QString& mask);

// The same test with the mask prepared once, for matching many names.
class TFileMask final
{
public:
    explicit TFileMask(const QString& mask);
    bool Matches(QStringView fileName) const;

private:
    static bool MatchFolded(QStringView name, QStringView mask);
    QString FMask;        // case-folded
    QString FDotlessMask; // the second chance of "*.*", "Lang.*" and "*."
    bool FHasDotlessMask = false;
    bool FDotlessOnly = false; // the second chance is for names without a dot only
    bool FMatchesAll = false;
};

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

// Sorts names as listings are sorted: without regard to letter case, ties by exact name.
void SortFileNames(QStringList& names);
// The order of SortFileNames: true when A comes before B.
bool FileNameLess(const QString& a, const QString& b);

struct TFolderEntry;
struct TFolderNames;
// Sort the entries of a folder listing by name in the order of SortFileNames.
void SortFolderEntries(QVector<TFolderEntry>& entries);
void SortFolderNames(TFolderNames& names);

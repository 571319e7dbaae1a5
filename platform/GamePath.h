#pragma once

#include <QString>

// Paths into a game installation that was laid out on Windows.
//
// Inside the code paths use "/"; text taken from stored files may use "\" too, and both are
// separators here. A path may carry a trailing separator, which is kept.

// Converts every "\" to "/", and a drive-letter path ("C:\UT2004") to the folder of that drive
// in the Wine prefix: $WINEPREFIX (default ~/.wine), then dosdevices/<letter>: when that exists,
// else drive_c for C:. Other paths only get their separators converted. Never fails; a drive the
// prefix does not know maps to dosdevices/<letter>: all the same (which then does not exist).
QString LocalPathFromWindows(const QString& path);

// The path of an existing file or folder that matches Path without regard to letter case, as
// the game's home platform would find it: the exact path when it exists, else each missing
// component matched case-insensitively in its parent folder (the exact name preferred, else the
// first match in sorted order). Components after the first that cannot be found are kept as
// written, so the result can name a file still to be created. Path goes through
// LocalPathFromWindows first.
QString ResolveGamePath(const QString& path);

// ResolveGamePath, then: an existing regular file (or a link to one). A folder is not a file.
bool GameFileExists(const QString& path);
// ResolveGamePath, then: an existing folder (or a link to one).
bool GameFolderExists(const QString& path);

// Whether the name Path is taken: something is there, or at least a link (a dangling link still
// occupies the name).
bool PathPresent(const QString& path);

// Joins a folder and a name with exactly one "/" between them.
QString JoinPath(const QString& folder, const QString& name);

// Path with a trailing "/" (added when missing; "\" is converted).
QString WithTrailingSeparator(const QString& path);
// Path without trailing separators (a root "/" stays).
QString WithoutTrailingSeparator(const QString& path);

#pragma once

#include "TMapGameType.h"

#include <QString>

class TGameTypes;
class TMapManager;

// One map file: its name, size and game type, and the title, author and description that its
// package's "LevelSummary" holds, read on the first request.
//
// Texts come from the package as the game stored them (Windows-1252, or UTF-16 where the game
// wrote that) and are converted here, once; the game's colour codes (an escape character and
// three bytes) are kept as characters.
class TUTMap final
{
public:
    // Takes the size of the file and finds its game type among GameTypes (may be none); reads
    // no package. A missing file has size 0 and its file name (with extension) as title.
    TUTMap(TMapManager* owner, const TGameTypes* gameTypes, const QString& fileName);
    TUTMap(const TUTMap&) = delete;
    TUTMap& operator=(const TUTMap&) = delete;

    TMapManager* Owner() const { return FOwner; }
    const QString& FileName() const { return FFileName; }
    const QString& ShortName() const { return FShortName; } // the file name without folder
    qint64 Size() const { return FSize; }
    const TMapGameType* GameType() const { return FGameType; } // none when no mask matches

    // The texts as they stand; empty when not read yet.
    const QString& Author() const { return FAuthor; }
    const QString& Title() const { return FTitle; }
    const QString& Description() const { return FDescription; }
    void SetTexts(const QString& author, const QString& title, const QString& description);

    // The text, read from the package when it is empty. A text the package does not give
    // becomes "?" (every empty one at once), and the map's item of the cache file is updated
    // once. The package is read at most once per map object. Never fail.
    QString GetAuthor();
    QString GetTitle();
    QString GetDescription();

    // Reads the three texts from the package: the "Author", "Title" and "Description" of its
    // first export named "LevelSummary" (any letter case), with "?" for a missing author or
    // description and the file name without extension for a missing title. Without a
    // "LevelSummary" the texts stay as they were. Never fails: when the package cannot be read
    // the title becomes the file name without extension and the others "?". The package's
    // tables and data are released before it returns.
    void LoadInfo();
    // Whether LoadInfo has run for this map.
    bool InfoLoaded() const { return FInfoLoaded; }

    // Writes the four values into the map's item of the owner's cache file when the map cache
    // is on and that file exists. Never fails: a cache file that cannot be read or written is
    // left as it was.
    void SaveToCache();

private:
    QString LazyText(const QString& field);

    TMapManager* FOwner;
    QString FFileName;
    QString FShortName;
    QString FAuthor;
    QString FTitle;
    QString FDescription;
    const TMapGameType* FGameType = nullptr;
    qint64 FSize = 0;
    bool FInfoLoaded = false;
};

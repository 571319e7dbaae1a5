#pragma once

#include "TResult.h"

#include <QList>
#include <QString>

// The map cache file ("cache.xml"): root "kovacache", one element per map named "item%d" with
// its 0-based index, each holding "filename", "author", "title" and "description".
//
// Texts may hold the game's colour codes (an escape character and three bytes, which can be
// control characters too), which XML 1.0 cannot store at all. The file is therefore written as
// XML 1.1, where such characters are legal as character references: every C0 control but tab
// and line feed, carriage return, DEL, the C1 controls and U+2028 are written as "&#x..;",
// and a text made only of blanks has its blanks written that way too, so that every text reads
// back exactly as it was written. Reading accepts XML 1.0 and 1.1 alike.

struct TMapCacheItem
{
    QString FileName;
    QString Author;
    QString Title;
    QString Description;
};

enum class TMapCacheRead
{
    mcrLoaded,  // Items holds the file's items
    mcrMissing, // no such file
    mcrDamaged, // unreadable or not a well-formed document (cut short, empty, not XML)
    mcrForeign  // a document whose root is not "kovacache"
};

// Reads every child element of the root in document order (whatever its name); a missing
// child reads as empty. Never raises; Items is filled only for mcrLoaded.
TMapCacheRead ReadMapCache(const QString& fileName, QList<TMapCacheItem>& items);

// Writes the whole cache atomically. Fails when the file cannot be written; the old file is
// then untouched.
TResult<void> WriteMapCache(const QString& fileName, const QList<TMapCacheItem>& items);

// Writes Item into the first item of the file whose "filename" names the same file (letter
// case not counting, "\" as a separator), or appends it as "item" followed by the number of
// items before it. The rest of the file is kept, and so is its encoding when it is one of
// Unicode's. Fails when the file is missing (ecNotFound), cannot be read, parsed or written,
// or is not a map cache (ecInvalid); the file is then untouched.
TResult<void> UpdateMapCacheItem(const QString& fileName, const TMapCacheItem& item);

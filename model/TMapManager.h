#pragma once

#include "TGameTypes.h"
#include "TSettingsRef.h"
#include "TUTMap.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// Progress of building the map cache: Done of Total maps. The user interface keeps its window
// alive and shows a progress bar from it; the model processes no events itself.
using TMapCacheProgress = std::function<void(int done, int total)>;

// The maps of the installation: built by scanning the maps folder, or, with the map cache on,
// from the cache file, which spares reading any package at start-up.
//
// The maps folder is always the settings' folder of maps (GetPath(mpMaps)), found without
// regard to letter case.
class TMapManager final
{
public:
    // Creates the game types, then, with the settings' map cache off, scans the maps folder;
    // with it on, loads CacheFile (LoadCache), building it when it is missing or damaged, with
    // progress through OnProgress.
    TMapManager(TSettingsRef settingsRef, const QString& cacheFile,
                TMapCacheProgress onProgress = nullptr);
    TMapManager(const TMapManager&) = delete;
    TMapManager& operator=(const TMapManager&) = delete;

    // Replaces the list with one map per "*.ut2" file of Path (any letter case), sorted by
    // name. A missing folder gives an empty list.
    void ScanFolder(const QString& path);
    // Replaces the list with the maps of the cache file, with their cached texts; reads no
    // package. A cache that is missing or cannot be parsed (cut short, empty, not XML) is
    // rebuilt: the maps folder is scanned and SaveCache writes the file; when that write fails
    // the scanned list stays. A document whose root is not "kovacache" leaves the list as it
    // was and the file untouched. Never raises.
    void LoadCache(const QString& fileName);
    // Writes the whole cache file from the list, reading first the texts of every map that
    // lacks one and has not been read (texts a package does not give are stored empty). Reports
    // progress after each map. Fails when the file cannot be written; the old file then stays
    // whole.
    TResult<void> SaveCache(const QString& fileName);

    int GetCount() const { return static_cast<int>(FMaps.size()); }
    // None outside the list.
    TUTMap* GetItem(int index) const;
    // Appends Map; the list owns it.
    void Add(std::unique_ptr<TUTMap> map);

    // The first map whose file name equals the file name of FileName (without folder, letter
    // case not counting); none when there is none.
    TUTMap* FindByFileName(QStringView fileName) const;
    // Whether the list takes a file of that name from the maps folder: a "*.ut2" file, in any
    // letter case.
    static bool IsMapFile(const QString& fileName);
    // Every map's full path in list order.
    QStringList ListFileNames() const;
    // The full path of every map, in list order, whose game type is one of GameTypes (a map is
    // listed once for each time its game type is given).
    QStringList ListMapsOfGameTypes(const QList<const TMapGameType*>& gameTypes) const;
    // The full path of every map, in list order, whose file name no game-type mask matches now.
    QStringList ListMapsWithoutGameType() const;

    // Keeping the list in step with map files the program changed. With the map cache on, each
    // call writes the cache file once, from the list, with the texts as they stand (no package
    // is read). Fails only when that write fails: the list has changed all the same, and the
    // old cache file stays whole.
    //
    // Drops the map of each full path (the map of that very file, else the first one with its
    // file name).
    TResult<void> DropMaps(const QStringList& fileNames);
    // A fresh map (size, game type, texts to be read) for each full path, in place of a map of
    // that very file, else appended.
    TResult<void> AddMaps(const QStringList& fileNames);
    // The map of From becomes a fresh map of To, in From's place; another map of To goes.
    TResult<void> RenameMap(const QString& from, const QString& to);
    // AddMaps for each "*.ut2" file of the maps folder that the list lacks or whose size has
    // changed since it was listed (an archive installed into the folder).
    TResult<void> AddChangedFiles();

    const TGameTypes& GameTypes() const { return FGameTypes; }
    TGameTypes& GameTypes() { return FGameTypes; }
    // The settings object the window holds now; none without one.
    TKOVASettings* Settings() const { return FSettingsRef.Get(); }
    // The cache file; empty unless the manager was created with the map cache on.
    const QString& CacheFile() const { return FCacheFile; }
    // The settings' maps folder, resolved; empty without settings.
    QString MapsFolder() const;

    TMapCacheProgress OnProgress;

private:
    void Clear();
    // The index of the first map of that very file; -1 for none.
    int IndexOfPath(const QString& fileName) const;
    // Makes both keys of every map again, after maps left the list or changed their name.
    void RebuildIndex();
    TResult<void> WriteCacheOfList() const;

    TSettingsRef FSettingsRef;
    TGameTypes FGameTypes;
    QString FCacheFile;
    bool FCacheForeign = false; // the cache file is no map cache: never written
    std::vector<std::unique_ptr<TUTMap>> FMaps;
    // Each key to the index of the first map that has it, kept in step with every change of the
    // list, so that listing thousands of maps never walks the list once per map.
    QHash<QString, int> FByPath;      // the file's path, cleaned
    QHash<QString, int> FByShortName; // the file name, case-folded
};

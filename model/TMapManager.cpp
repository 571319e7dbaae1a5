#include "TMapManager.h"

#include "TKOVASettings.h"

#include "FileMask.h"
#include "GamePath.h"
#include "uKOVA_MapCache.h"
#include "uKOVA_Misc.h"

#include <QDir>
#include <QSet>

#include <vector>

namespace {

// The files the list takes from the maps folder.
const QString KMapMask = QStringLiteral("*.ut2");

QString ShortNameKey(QStringView fileName)
{
    return BareFileName(fileName).toString().toCaseFolded();
}

QString SamePathKey(const QString& fileName)
{
    return QDir::cleanPath(LocalPathFromWindows(fileName));
}

} // namespace

TMapManager::TMapManager(TSettingsRef settingsRef, const QString& cacheFile,
                         TMapCacheProgress onProgress)
    : OnProgress(std::move(onProgress))
    , FSettingsRef(std::move(settingsRef))
    , FGameTypes(FSettingsRef)
{
    const TKOVASettings* settings = Settings();
    if (settings && settings->EnableMapManagerCache) {
        FCacheFile = cacheFile;
        LoadCache(cacheFile);
    } else {
        ScanFolder(MapsFolder());
    }
}

QString TMapManager::MapsFolder() const
{
    const TKOVASettings* settings = Settings();
    return settings ? ResolveGamePath(settings->GetPath(TMapPaths::mpMaps)) : QString();
}

void TMapManager::Clear()
{
    FByPath.clear();
    FByShortName.clear();
    FMaps.clear();
}

void TMapManager::ScanFolder(const QString& path)
{
    Clear();
    if (path.isEmpty())
        return;
    const QStringList files = FindFiles(WithTrailingSeparator(path), KMapMask, false);
    FMaps.reserve(static_cast<std::size_t>(files.size()));
    for (const QString& file : files)
        Add(std::make_unique<TUTMap>(this, &FGameTypes, file));
}

void TMapManager::LoadCache(const QString& fileName)
{
    QList<TMapCacheItem> items;
    FCacheForeign = false;
    switch (ReadMapCache(fileName, items)) {
    case TMapCacheRead::mcrLoaded:
        Clear();
        FMaps.reserve(static_cast<std::size_t>(items.size()));
        for (const TMapCacheItem& item : items) {
            auto map = std::make_unique<TUTMap>(this, &FGameTypes, ResolveGamePath(item.FileName));
            map->SetTexts(item.Author, item.Title, item.Description);
            Add(std::move(map));
        }
        break;
    case TMapCacheRead::mcrForeign:
        FCacheForeign = true;
        break;
    case TMapCacheRead::mcrMissing:
    case TMapCacheRead::mcrDamaged:
        // The scanned list is what the written file would give back, so it is kept rather
        // than read again from the file.
        ScanFolder(MapsFolder());
        if (const TResult<void> saved = SaveCache(fileName); !saved)
            qWarning("%s", qUtf8Printable(saved.Error().Message));
        break;
    }
}

TResult<void> TMapManager::SaveCache(const QString& fileName)
{
    const int total = GetCount();
    if (OnProgress)
        OnProgress(0, total);
    QList<TMapCacheItem> items;
    items.reserve(total);
    for (int i = 0; i < total; ++i) {
        TUTMap& map = *FMaps[static_cast<std::size_t>(i)];
        if (!map.InfoLoaded() &&
            (map.Author().isEmpty() || map.Title().isEmpty() || map.Description().isEmpty()))
            map.LoadInfo();
        items.append({map.FileName(), map.Author(), map.Title(), map.Description()});
        if (OnProgress)
            OnProgress(i + 1, total);
    }
    return WriteMapCache(fileName, items);
}

TUTMap* TMapManager::GetItem(int index) const
{
    return index >= 0 && index < GetCount() ? FMaps[static_cast<std::size_t>(index)].get()
                                            : nullptr;
}

void TMapManager::Add(std::unique_ptr<TUTMap> map)
{
    if (!map)
        return;
    const int index = GetCount();
    const QString pathKey = SamePathKey(map->FileName());
    if (!FByPath.contains(pathKey))
        FByPath.insert(pathKey, index);
    const QString shortKey = ShortNameKey(map->FileName());
    if (!FByShortName.contains(shortKey))
        FByShortName.insert(shortKey, index);
    FMaps.push_back(std::move(map));
}

TUTMap* TMapManager::FindByFileName(QStringView fileName) const
{
    return GetItem(FByShortName.value(ShortNameKey(fileName), -1));
}

bool TMapManager::IsMapFile(const QString& fileName)
{
    static const TFileMask mask(KMapMask);
    return mask.Matches(BareFileName(fileName));
}

QStringList TMapManager::ListFileNames() const
{
    QStringList list;
    list.reserve(static_cast<qsizetype>(FMaps.size()));
    for (const auto& map : FMaps)
        list.append(map->FileName());
    return list;
}

QStringList TMapManager::ListMapsOfGameTypes(const QList<const TMapGameType*>& gameTypes) const
{
    QStringList list;
    for (const auto& map : FMaps) {
        for (const TMapGameType* gameType : gameTypes) {
            if (gameType && map->GameType() == gameType)
                list.append(map->FileName());
        }
    }
    return list;
}

QStringList TMapManager::ListMapsWithoutGameType() const
{
    QStringList list;
    for (const auto& map : FMaps) {
        if (!FGameTypes.FindForFile(map->FileName()))
            list.append(map->FileName());
    }
    return list;
}

int TMapManager::IndexOfPath(const QString& fileName) const
{
    return FByPath.value(SamePathKey(fileName), -1);
}

void TMapManager::RebuildIndex()
{
    std::vector<std::unique_ptr<TUTMap>> maps = std::move(FMaps);
    Clear();
    FMaps.reserve(maps.size());
    for (auto& map : maps)
        Add(std::move(map));
}

TResult<void> TMapManager::WriteCacheOfList() const
{
    const TKOVASettings* settings = Settings();
    if (!settings || !settings->EnableMapManagerCache || FCacheFile.isEmpty() || FCacheForeign)
        return {};
    QList<TMapCacheItem> items;
    items.reserve(GetCount());
    for (const auto& map : FMaps)
        items.append({map->FileName(), map->Author(), map->Title(), map->Description()});
    return WriteMapCache(FCacheFile, items);
}

TResult<void> TMapManager::DropMaps(const QStringList& fileNames)
{
    // One pass over the list for any number of files: a page may drop hundreds at once.
    QSet<QString> wanted;
    for (const QString& fileName : fileNames)
        wanted.insert(SamePathKey(fileName));
    QSet<QString> found;
    std::erase_if(FMaps, [&](const std::unique_ptr<TUTMap>& map) {
        const QString key = SamePathKey(map->FileName());
        if (!wanted.contains(key) || found.contains(key))
            return false;
        found.insert(key);
        return true;
    });
    RebuildIndex();
    for (const QString& fileName : fileNames) {
        if (found.contains(SamePathKey(fileName)))
            continue;
        if (const int other = FByShortName.value(ShortNameKey(fileName), -1); other >= 0) {
            FMaps.erase(FMaps.begin() + other);
            RebuildIndex();
        }
    }
    return WriteCacheOfList();
}

TResult<void> TMapManager::AddMaps(const QStringList& fileNames)
{
    for (const QString& fileName : fileNames) {
        auto map = std::make_unique<TUTMap>(this, &FGameTypes, fileName);
        if (const int index = IndexOfPath(fileName); index >= 0) {
            // The same file keeps its place and its path key; only another spelling of its name
            // could change the short key.
            std::unique_ptr<TUTMap>& slot = FMaps[static_cast<std::size_t>(index)];
            const bool sameName = ShortNameKey(slot->FileName()) == ShortNameKey(fileName);
            slot = std::move(map);
            if (!sameName)
                RebuildIndex();
        } else {
            Add(std::move(map));
        }
    }
    return WriteCacheOfList();
}

TResult<void> TMapManager::RenameMap(const QString& from, const QString& to)
{
    const int old = IndexOfPath(from);
    if (old < 0)
        return AddMaps({to});
    auto map = std::make_unique<TUTMap>(this, &FGameTypes, to);
    FMaps[static_cast<std::size_t>(old)] = std::move(map);
    // A map of the new name listed elsewhere stood for the file the rename replaced.
    const QString toKey = SamePathKey(to);
    for (int i = GetCount() - 1; i >= 0; --i) {
        if (i != old && SamePathKey(FMaps[static_cast<std::size_t>(i)]->FileName()) == toKey)
            FMaps.erase(FMaps.begin() + i);
    }
    RebuildIndex();
    return WriteCacheOfList();
}

TResult<void> TMapManager::AddChangedFiles()
{
    const QString folder = MapsFolder();
    if (folder.isEmpty())
        return {};
    QStringList changed;
    for (const QString& file : FindFiles(WithTrailingSeparator(folder), KMapMask, false)) {
        const TUTMap* map = FindByFileName(file);
        if (!map || SamePathKey(map->FileName()) != SamePathKey(file) ||
            map->Size() != GetFileSizeOf(file))
            changed.append(file);
    }
    if (changed.isEmpty())
        return {};
    return AddMaps(changed);
}

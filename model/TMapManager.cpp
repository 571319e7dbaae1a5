#include "TMapManager.h"

#include "TKOVASettings.h"

#include "GamePath.h"
#include "uKOVA_MapCache.h"
#include "uKOVA_Misc.h"

namespace {

QString ShortNameKey(QStringView fileName)
{
    return BareFileName(fileName).toString().toCaseFolded();
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
    FByShortName.clear();
    FMaps.clear();
}

void TMapManager::ScanFolder(const QString& path)
{
    Clear();
    if (path.isEmpty())
        return;
    const QStringList files =
        FindFiles(WithTrailingSeparator(path), QStringLiteral("*.ut2"), false);
    FMaps.reserve(static_cast<std::size_t>(files.size()));
    for (const QString& file : files)
        Add(std::make_unique<TUTMap>(this, &FGameTypes, file));
}

void TMapManager::LoadCache(const QString& fileName)
{
    QList<TMapCacheItem> items;
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
    const QString key = ShortNameKey(map->FileName());
    if (!FByShortName.contains(key))
        FByShortName.insert(key, map.get());
    FMaps.push_back(std::move(map));
}

TUTMap* TMapManager::FindByFileName(QStringView fileName) const
{
    return FByShortName.value(ShortNameKey(fileName), nullptr);
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

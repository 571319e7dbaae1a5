#include "TCacheEntry.h"

#include "GamePath.h"
#include "TCacheManager.h"
#include "uKOVA_Misc.h"

TCacheEntry::TCacheEntry(TCacheManager* owner, const QString& fileName, const QString& guid)
    : Owner(owner)
    , FileName(fileName)
    , GUID(guid)
{}

QString TCacheEntry::GetCachePath() const
{
    const QString name = GUID + QStringLiteral(".uxx");
    const QString folder = Owner ? Owner->GetCacheDir() : QString();
    return folder.isEmpty() ? name : JoinPath(folder, name);
}

bool TCacheEntry::CacheFileExists() const
{
    return IsBareFileName(GUID) && Owner && !Owner->GetCacheDir().isEmpty() &&
           GameFileExists(GetCachePath());
}

bool TCacheEntry::IsBareFileName(const QString& name)
{
    return SafeFileName(name);
}

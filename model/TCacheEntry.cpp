#include "TCacheEntry.h"

#include "GamePath.h"
#include "TCacheManager.h"

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
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c == u':' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

#include "TScreenShotManager.h"

#include "uKOVA_Strings.h"

#include "GamePath.h"
#include "uKOVA_Misc.h"

#include <QFileInfo>
#include <QStringList>

TScreenShotManager::TScreenShotManager(const QString& dir, const QString& mask)
{
    for (const QString& file : FindFiles(WithTrailingSeparator(ResolveGamePath(dir)), mask, false))
        FItems.push_back(std::make_unique<TScreenShot>(file));
}

TScreenShot* TScreenShotManager::GetItem(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return FItems[static_cast<size_t>(index)].get();
}

int TScreenShotManager::GetCount() const
{
    return static_cast<int>(FItems.size());
}

void TScreenShotManager::Add(std::unique_ptr<TScreenShot> shot)
{
    if (shot)
        FItems.push_back(std::move(shot));
}

TResult<void> TScreenShotManager::Delete(int index, bool deleteFile)
{
    TScreenShot* shot = GetItem(index);
    if (!shot)
        return TError{
            TErrorCode::ecNotFound, QStringLiteral("There is no screenshot %1.").arg(index), {}};
    // A file that stays must stay listed, or the user could not try again.
    if (deleteFile) {
        if (const TResult<void> deleted = shot->Delete(); !deleted)
            return deleted;
    }
    FItems.erase(FItems.begin() + index);
    return {};
}

int TScreenShotManager::IndexOf(const QString& s) const
{
    for (int i = 0; i < GetCount(); ++i) {
        const QString& path = FItems[static_cast<size_t>(i)]->FileName;
        if (SameTextAscii(path, s) || SameTextAscii(QFileInfo(path).fileName(), s))
            return i;
    }
    return -1;
}

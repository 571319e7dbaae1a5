#pragma once

#include <QString>

class TCacheManager;

// One entry of the game's download cache index: the GUID under which the game stores a file
// in its Cache folder, and the file's real name.
class TCacheEntry final
{
public:
    TCacheEntry(TCacheManager* owner, const QString& fileName, const QString& guid);
    TCacheEntry(const TCacheEntry&) = delete;
    TCacheEntry& operator=(const TCacheEntry&) = delete;

    // The Cache folder, "/", GUID and ".uxx" (letter case as written in the index); GUID and
    // ".uxx" alone without an owner or settings.
    QString GetCachePath() const;
    // Whether that data file exists (found without regard to letter case). False for a GUID
    // that is not a bare file name, which could point outside the Cache folder.
    bool CacheFileExists() const;
    // Whether FileName may be installed: a bare file name, see IsBareFileName.
    bool HasInstallableName() const { return IsBareFileName(FileName); }

    // True for a name without folder that shows as itself (SafeFileName).
    static bool IsBareFileName(const QString& name);

    TCacheManager* Owner; // not owned
    QString FileName;     // the recorded name: name and extension, no folder
    QString GUID;         // the index key as read
};

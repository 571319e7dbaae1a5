#pragma once

#include "TResult.h"
#include "TUTProfile.h"

#include <QString>
#include <QStringList>
#include <QUuid>

#include <memory>
#include <vector>

// The profiles: every "*.ini" of the profiles folder, preceded by the game's "User.ini" when that
// exists and is unmanaged. Owns its profile objects.
class TUT2003Profile final
{
public:
    // Stores the game folder without one trailing separator and builds the list from ProfilesDir;
    // backups go to BackupsDir.
    TUT2003Profile(const QString& gameDir, const QString& profilesDir, const QString& backupsDir);
    TUT2003Profile(const TUT2003Profile&) = delete;
    TUT2003Profile& operator=(const TUT2003Profile&) = delete;

    // Rebuilds the list from the folder; every profile object handed out before is freed.
    void Refresh();

    TUTProfile* GetItem(int index) const; // nullptr when Index is out of range
    int GetCount() const;

    // A new profile object for the game's "User.ini", owned by the caller.
    std::unique_ptr<TUTProfile> GetActive() const;
    // The game's "User.ini" (letter case resolved as the game would find it); empty without a
    // game folder.
    QString ActiveFileName() const;
    QString ProfilesDir() const { return FProfilesDir; } // with a trailing "/"
    QString BackupsDir() const { return FBackupsDir; }   // with a trailing "/"

    // Backs an unmanaged "User.ini" up, copies the profile's file over "User.ini" and rebuilds
    // the list (so Profile, when it is one of the list's objects, is freed). A missing profile
    // file is not copied; the list is only rebuilt. Fails, leaving "User.ini" and the list
    // untouched, when the backup or the copy failed.
    TResult<void> Activate(const TUTProfile& profile);
    // Copies the profile's file to a new "Profiles/Backups/User.ini.<stamp>.backup". Fails with
    // ecNotFound when the file is missing, or when the copy failed.
    TResult<void> Backup(const TUTProfile& profile);
    // The name a backup made now would get (the stamp of the local time, then "_0", "_1", ...
    // while a file of that name exists).
    QString NextBackupFileName() const;
    // Deletes the profile's file for good (when it exists) and removes the profile. Fails, with
    // the profile kept, with ecNotFound for an index out of range, or when the file could not be
    // deleted.
    TResult<void> DeleteProfile(int index);

    // Whether Name can name a new profile: ecInvalid for an empty name, "." or "..", one holding
    // / \ : * ? " < > | or a control character, or one whose file exists already in any letter
    // case.
    TResult<void> CheckProfileName(const QString& name) const;
    // A new profile: SourceFile copied to "Profiles/<Name>.ini", named Name with a new
    // identifier, and appended; the list owns it. Fails, with nothing created, with ecInvalid
    // when CheckProfileName refuses the name, or when the copy or the naming failed.
    TResult<TUTProfile*> CreateProfile(const QString& name, const QString& sourceFile);
    // Copies a backup over the game's "User.ini", asking before replacing it. Fails with
    // ecDeclined when the user kept "User.ini", or when the copy failed.
    TResult<void> RestoreBackup(const QString& backupFile);

    // Every profile's name in list order.
    QStringList ListNames() const;
    // The list takes ownership. Insert clamps Index into the list.
    void Add(std::unique_ptr<TUTProfile> profile);
    void Insert(int index, std::unique_ptr<TUTProfile> profile);
    // Removes and frees the entry; touches no file. Nothing when Index is out of range.
    void Remove(int index);

    // The first profile whose file name equals S (letter case ignored) or whose name equals S
    // (ASCII letter case ignored); -1 when none does.
    int IndexOf(const QString& s) const;
    // The first profile with that identifier; -1 when none has it.
    int IndexOfID(const QUuid& id) const;

    QString GameDir; // without a trailing separator

private:
    QString FProfilesDir;
    QString FBackupsDir;
    std::vector<std::unique_ptr<TUTProfile>> FItems;
};

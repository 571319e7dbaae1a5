#pragma once

#include <QString>
#include <QStringList>

// Where the program's own files live; nothing else in the code builds such a path.
//
// What the program ships (the default "settings.xml", "Lang.*", "Readme.htm", "Changes.txt") is
// read from the shipped data folder: beside the program in the build tree, the installed data
// folder ("../share/kova" from the program) once installed. Nothing is ever written there.
// What the program writes is the user's, in the folders QStandardPaths names: "settings.xml"
// and the files "/external" names in the configuration folder, "Profiles" in the data folder
// (which may hold languages of the user's own too), "cache.xml" in the cache folder.
//
// A file "kova-portable" beside the program makes it portable: everything then stays beside the
// program.
class TProgramFolders final
{
public:
    // ProgramDir is the folder of the running program.
    explicit TProgramFolders(const QString& programDir);

    bool IsPortable() const { return FPortable; }

    QString ProgramDir() const { return FProgramDir; }
    QString ShippedDir() const { return FShippedDir; }
    QString ConfigDir() const;
    QString DataDir() const;
    QString CacheDir() const;

    QString SettingsFile() const; // the user's "settings.xml"
    QString ShippedSettingsFile() const;
    QString ProfilesDir() const;
    QString BackupsDir() const;
    QString MapCacheFile() const;
    // The folders whose "Lang.*" files are languages, in that order: shipped, then the user's.
    QStringList LanguageDirs() const;
    // A document a language names ("Readme.htm"): in the shipped data folder, else in the
    // user's data folder, else (missing) the shipped path.
    QString DocumentFile(const QString& name) const;
    // Where a prompt to import or export add-ons or to make a new archive starts.
    QString TransferDir() const;

    // The settings file "/external Name" names: Name in the configuration folder, else in the
    // program folder. Empty, with both places named in Error, when it is in neither.
    QString FindExternalSettings(const QString& name, QString* error = nullptr) const;

    // At the first start, the user's "settings.xml" made from the shipped one; a file the user
    // has is never replaced. False, with the reason in Error, when it could not be made.
    bool PrepareSettings(QString* error = nullptr) const;
    // Makes the folders the user's profiles, backups and map cache go to. A folder that cannot be
    // made shows up as a failure of the first write into it.
    void MakeUserFolders() const;

    // The name of the file that makes a program folder portable.
    static QString PortableMarker();

private:
    QString FProgramDir;
    QString FShippedDir;
    bool FPortable = false;
};

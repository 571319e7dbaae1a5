#pragma once

#include "TResult.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

// The kinds of game folder. Each member's name without "mp", in lower case, is its element
// name in the settings file and, between two "%", its placeholder ("%maps%").
enum class TMapPaths
{
    mpSystem,
    mpMaps,
    mpHelp,
    mpSounds,
    mpMusic,
    mpTextures,
    mpStaticMeshes,
    mpAnimations,
    mpDemos,
    mpSave,
    mpScreenShots,
    mpCache,
    mpSpeech,
    mpForceFeedback
};
constexpr int KMapPathCount = 14;
// Every member, in order.
constexpr std::array<TMapPaths, KMapPathCount> KAllMapPaths = {
    TMapPaths::mpSystem,       TMapPaths::mpMaps,         TMapPaths::mpHelp,
    TMapPaths::mpSounds,       TMapPaths::mpMusic,        TMapPaths::mpTextures,
    TMapPaths::mpStaticMeshes, TMapPaths::mpAnimations,   TMapPaths::mpDemos,
    TMapPaths::mpSave,         TMapPaths::mpScreenShots,  TMapPaths::mpCache,
    TMapPaths::mpSpeech,       TMapPaths::mpForceFeedback};
// "system", "maps", ... "forcefeedback".
QString MapPathName(TMapPaths index);

// How a folder given to the installer is walked; stored by member name, ordinals 0 to 2.
enum class TFolderInstallMode
{
    fimRecursive,
    fimNonRecursive,
    fimAsk
};
// "fimRecursive", "fimNonRecursive" or "fimAsk".
QString FolderInstallModeName(TFolderInstallMode mode);

// Where SetInstallUnknownContent sends files that no install rule names.
enum class TUnknownContentMode
{
    ucmNoInstall = 0,
    ucmHelp = 1 // the Help folder
};

// One install rule (Mask: an extension with its dot, or "*unknown_content"; Destination: a
// folder, or "%no_install%") or one rename rule (Mask: a file name; Destination: the new name).
struct TInstallType
{
    QString Mask;
    QString Destination;
};

// The destination of a file that is not to be installed.
inline const QString KNoInstall = QStringLiteral("%no_install%");
// The install-rule mask for every extension without a rule of its own.
inline const QString KUnknownContent = QStringLiteral("*unknown_content");

// The tool's settings file (the user's "settings.xml"): the game served, its folders,
// the install and rename rules and the options the user changes. The pages read and change the
// fields; folders, rules and characters are computed when the file is loaded.
//
// Folders use "/" and are found without regard to letter case as the game's platform would;
// "\" in stored texts is a separator too. UTDir, GetMapsDir and GetDestination end in "/",
// GetPath does not.
class TKOVASettings final
{
public:
    // Stores both; the fields keep their defaults until LoadFromFile.
    TKOVASettings(const QString& appDir, const QString& fileName);

    // (Re)reads the whole file, all or nothing: on failure every field keeps its value and the
    // error's message is the full text to show (caption "Fatal Error"), naming the file and, for
    // a file that is not well-formed, the line, the column and the parser's reason. A root
    // element other than "kovasettings" is no failure: the options and folders keep their
    // values, the rules are emptied and the characters read again (see HasSettingsRoot).
    TResult<void> LoadFromFile();
    // True once a load read a file whose root element (RootName) is "kovasettings".
    bool HasSettingsRoot() const;
    const QString& RootName() const { return FRootName; }
    // Writes "utdir", "language", "firstrun", "enablemapmanagercache", "iswindowsizeable",
    // "folderinstallmode" and the unknown-content rule back into FileName (created when
    // missing), changing only the values that differ; every other byte of the file stays. Fails
    // when the file cannot be read, parsed or written; the old file then stays whole.
    TResult<void> SaveToFile();

    // True for an existing folder holding System/<ExeName>, System/Core.dll and
    // System/<IniFile>; False otherwise (always for an empty ExeName or IniFile).
    bool IsValidUTDir(const QString& dir) const;
    // What IsValidUTDir misses in Dir, so that a warning can name it: Dir itself, as given, when
    // it is no existing folder; else those of "System/<ExeName>", "System/Core.dll" and
    // "System/<IniFile>" that are no file, in that order ("System/<exename>" or
    // "System/<inifile>" for a name the settings lack). Empty exactly when Dir is valid.
    QStringList MissingGameFiles(const QString& dir) const;
    // Takes Dir as UTDir when it is valid, else changes nothing. Folders and rules follow only
    // after a reload.
    void SetUTDir(const QString& dir);
    // The value "Folder" under HKEY_LOCAL_MACHINE\<Registry> of the Wine prefix, as a local
    // path; ecNotFound when the key or value is missing.
    TResult<QString> GetUTDirFromRegistry() const;

    // The folder of one kind of game file, without a trailing "/". Empty, as are the two
    // below, while no game folder is set.
    QString GetPath(TMapPaths index) const;
    QString GetMapsDir() const;     // with a trailing "/"
    QString GetGameIniFile() const; // the game's main INI file
    // "Language" of section "Engine.Engine" of the main INI file; empty when missing.
    QString GetGameLanguage() const;
    // The single-player character names.
    QStringList GetSPCharacters() const;

    // The folder, with a trailing "/", into which a file of that name is installed (by its
    // extension, the last matching rule winning, else the last unknown-content rule); exactly
    // KNoInstall when the file is not to be installed, or when no rule gives an absolute folder.
    QString GetDestination(const QString& fileName) const;
    // FileName with its name replaced by the last rename rule that matches it (without regard to
    // letter case); unchanged when none matches.
    QString ApplyRenames(const QString& fileName) const;
    // True when an unknown-content rule installs somewhere.
    bool GetInstallUnknownContent() const;
    // Every unknown-content rule gets KNoInstall or "%help%"; a value outside the enumeration
    // changes nothing. Nothing is saved here.
    void SetInstallUnknownContent(TUnknownContentMode mode);
    // Stores Rule at Index, appending it when Index is at or past the end.
    void SetDestination(int index, const TInstallType& rule);
    void SetRename(int index, const TInstallType& rule);
    // Text with every occurrence of its first folder placeholder (in TMapPaths order, letter
    // case counting) replaced by that folder; KNoInstall and texts without one unchanged.
    QString ExpandPath(const QString& text) const;

    // Called after every load and save that succeeded, so that whoever shows a setting can
    // follow it. The user interface sets it.
    std::function<void()> OnChanged;

    bool FirstRun = false;
    bool EnableMapManagerCache = false;
    bool IsWindowSizeable = false;
    QString AppName;  // the title: "appname" followed by " KOVA"
    QString IniFile;  // the game's main INI file name, in the System folder
    QString Registry; // subkey of HKEY_LOCAL_MACHINE holding the install folder
    QString ExeName;  // the game's executable name, in the System folder
    QString AppDir;   // the program folder
    QString FileName; // the settings file
    QString UTDir;    // the game folder, with a trailing "/"; empty when none is set
    QString DemoID;
    QString DemoExt;
    int MaxGoreLevel = 0;
    int MinGoreLevel = 0;
    int ProjectID = 0;
    QString Language;
    QList<TInstallType> Destinations; // install rules, destinations expanded, in file order
    QList<TInstallType> Renames;      // rename rules, new names as written, in file order
    QStringList SPCharacters;
    std::array<QString, KMapPathCount> Paths; // as computed at load; read them through GetPath
    TFolderInstallMode FolderInstallMode = TFolderInstallMode::fimRecursive;

private:
    QString FRootName;
    // Only a load copies: it reads into a copy, which replaces this object once the whole file
    // was read. The managers keep this object's address, so nobody else may copy it.
    TKOVASettings(const TKOVASettings&) = default;
    TKOVASettings& operator=(const TKOVASettings&) = default;
    // Raise EXMLFileError, or std::exception for another failure.
    void ReadFile();
    void WriteFile() const;
    void LoadSPCharacters();
};

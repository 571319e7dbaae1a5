#pragma once

#include "TResult.h"
#include "TServerPackage.h"

#include <QString>

#include <memory>
#include <vector>

class TKOVASettings;

// The server-package lines of the game's main INI file: every line that, after blanks and one
// optional ";", starts with "ServerPackages=" (letter case counting), in file order. Saving
// puts the list where the first of them stood and changes no other line: every other byte, the
// line endings and the encoding stay. GUI thread only.
class TServerPackages final
{
public:
    // Stores both (the settings are not owned; they give the System folder) and loads.
    TServerPackages(const QString& iniFile, TKOVASettings* settings);
    TServerPackages(const TServerPackages&) = delete;
    TServerPackages& operator=(const TServerPackages&) = delete;

    // Re-reads the list. A missing or unreadable file gives an empty list; never raises.
    void Load();
    // Writes the list into the file atomically: the lines go where the first server-package line
    // stood, or, with none in the file, after the last line of section "[Engine.GameEngine]"
    // (made at the end when missing). Nothing happens when the file does not exist. Fails,
    // leaving the file whole, when it cannot be read or written, or with ecInvalid when a line
    // holds a line break.
    TResult<void> Save();

    // Creates a package for Line, appends it and returns it (the list owns it).
    TServerPackage* Add(const QString& line);
    // Removes and frees package Index; nothing for an index out of range.
    void Delete(int index);
    int GetCount() const;
    TServerPackage* GetItem(int index) const;         // nullptr when Index is out of range
    int IndexOf(const TServerPackage* package) const; // -1 when absent

    // The game's System folder: from the settings, else the INI file's folder.
    QString GetSystemDir() const;

    QString IniFile;
    TKOVASettings* Settings; // not owned

private:
    std::vector<std::unique_ptr<TServerPackage>> FItems;
};

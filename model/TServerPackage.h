#pragma once

#include <QString>

class TServerPackages;

// One "ServerPackages=" line of the game's main INI file; a leading ";" disables it.
class TServerPackage final
{
public:
    // Stores Line trimmed of blanks and control characters at both ends.
    TServerPackage(const QString& line, TServerPackages* owner);
    TServerPackage(const TServerPackage&) = delete;
    TServerPackage& operator=(const TServerPackage&) = delete;

    // True unless the line starts with ";" (an empty line counts as enabled).
    bool IsEnabled() const;
    // Puts ";" in front (False) or drops the first character (True); nothing when the state is
    // already Value.
    void SetEnabled(bool value);
    // The text after the first "="; empty when there is none.
    QString GetPackageName() const;
    // The package name with the extension of the file the game would find for it through the
    // "Paths=" lines of the INI file (read afresh); the extension the name carried is dropped
    // when no file is found. Empty for an empty name; never fails.
    QString GetFileName() const;

    TServerPackages* Owner; // not owned
    QString Line;
};

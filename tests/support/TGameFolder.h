#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A temporary environment for one test: HOME, XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME,
// XDG_RUNTIME_DIR and WINEPREFIX point into a fresh temporary folder, and are put back when the
// object goes.
class TTempEnvironment final
{
public:
    TTempEnvironment();
    ~TTempEnvironment();
    TTempEnvironment(const TTempEnvironment&) = delete;
    TTempEnvironment& operator=(const TTempEnvironment&) = delete;

    QString Root() const { return FDir.path(); }
    QString Home() const;
    QString DataHome() const;   // $XDG_DATA_HOME
    QString ConfigHome() const; // $XDG_CONFIG_HOME
    QString WinePrefix() const; // $WINEPREFIX, with drive_c/ made
    // Where the trash of this environment keeps a file it took.
    QString Trashed(const QString& name = {}) const;
    // Makes the Wine registry name WindowsFolder ("C:\\Games") as the game's folder.
    void RegisterGameFolder(const QByteArray& windowsFolder) const;

private:
    QTemporaryDir FDir;
    QList<QPair<QByteArray, QByteArray>> FSaved; // name, old value ("\0" when unset)
};

// A game folder laid out as the game installs it on Windows, with the real letter case:
// System/UT2004.exe, System/Core.dll, System/UT2004.ini, System/User.ini, Maps/, ScreenShots/,
// Demos/, Cache/, Textures/, Sounds/, Music/, StaticMeshes/, Animations/, Help/, Saves/,
// Speech/, ForceFeedback/ in a fresh temporary folder (or under Parent when given).
class TGameFolder final
{
public:
    TGameFolder();
    explicit TGameFolder(const QString& parent, const QString& name = QStringLiteral("UT2004"));

    QString Root() const { return FRoot; } // no trailing "/"
    QString Path(const QString& relative) const;

    // Writes a file below the root, creating folders. Returns its full path.
    QString WriteFile(const QString& relative, const QByteArray& bytes) const;
    QByteArray ReadFile(const QString& relative) const;

private:
    void Build();
    QTemporaryDir FTemp;
    QString FRoot;
};

// A main INI file as the game writes it: CR LF line endings, comments, repeated
// "ServerPackages=" and "Paths=" lines, a Windows-1252 byte (0xE9) and the sections the tool
// reads ("Engine.Engine", "Engine.GameEngine", "Core.System", "FirstRun").
QByteArray SampleGameIni();

// A "User.ini" with CR LF line endings and a player name and character.
QByteArray SampleUserIni();

// The folder of the real game files, or empty when it is not on this machine.
QString RealDataDir();

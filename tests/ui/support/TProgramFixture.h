#pragma once

#include "TGameFolder.h"
#include "TestFiles.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>

class QProcess;
class QTreeWidget;
class TfrmMain;

// A program folder as a user who has set the tool up has it, beside a fixture game folder, in a
// temporary environment (HOME, XDG_*, WINEPREFIX): "settings.xml" is the shipped one with
// "firstrun" False and "utdir" at the game folder, "Lang.int" the shipped language. Both folders
// lie under Root(), so one TFileProtection covers them. A portable program folder keeps the
// user's files beside the program; otherwise they go to the temporary environment's folders,
// and the "settings.xml" of the program folder is the shipped one.
class TProgramFixture final
{
public:
    explicit TProgramFixture(bool portable = true);
    ~TProgramFixture();
    TProgramFixture(const TProgramFixture&) = delete;
    TProgramFixture& operator=(const TProgramFixture&) = delete;

    TTempEnvironment& Environment() { return FEnvironment; }
    const TGameFolder& Game() const { return *FGame; }
    QString Root() const { return FRoot.path(); }
    QString AppDir() const; // no trailing "/"
    QString AppFile(const QString& name) const;
    QString SettingsFile() const; // the user's

    QByteArray ReadSettings() const;

    // Replaces the text of the first element Name of "settings.xml".
    void SetSetting(const QString& name, const QString& value);
    // Replaces what the first element Name of "settings.xml" holds by Xml ("<destination
    // mask=\".u\">%system%</destination>" for "destinations").
    void SetSettingXml(const QString& name, const QString& xml);

    // Process set up to run the program built at Program, copied into the program folder (once),
    // offscreen, with Arguments, in WorkingDir (the fixture's root when empty).
    void PrepareProgram(QProcess& process, const QString& program, const QStringList& arguments,
                        const QString& workingDir = {}) const;
    // Another valid game folder under Root.
    std::unique_ptr<TGameFolder> MakeGameFolder(const QString& name) const;
    // "Lang.<Code>" beside the shipped one: display name Name, every text of the shipped file
    // but its description prefixed with Prefix, so each form shows which language dressed it.
    void AddLanguage(const QString& code, const QString& name, const QString& prefix) const;

    // The main window over the program folder, created as the program creates it with Switches
    // as its arguments after the program's name.
    std::unique_ptr<TfrmMain> CreateMainWindow(const QStringList& switches = {}) const;
    // The program's arguments for those switches.
    QStringList Arguments(const QStringList& switches = {}) const;

private:
    bool FPortable;
    TTempEnvironment FEnvironment;
    QTemporaryDir FRoot;
    std::unique_ptr<TGameFolder> FGame;
};

// A small map package with a "LevelSummary" holding Title, Author and Description, in the game's
// Maps folder; padded with zeros to Size bytes when given (the reader never looks past its
// tables).
QString WriteMap(const TGameFolder& game, const QString& fileName, const std::string& title,
                 const std::string& author, const std::string& description = "A fixture map",
                 int size = 0);
// A small 24-bit bitmap in the game's ScreenShots folder, as the game names its screenshots.
QString WriteScreenshot(const TGameFolder& game, const QString& fileName);

// The captions of a list's rows, in list order.
QStringList Captions(const QTreeWidget* list);
// Selects exactly the rows of List whose captions are among Names; the last of them becomes the
// current row, as after the user's clicks.
void SelectRows(QTreeWidget* list, const QStringList& names);

// Seconds of WriteGameScript: the game plays until a file "quit" appears in its record folder,
// or the folder goes (so that a test that failed midway leaves no game behind).
constexpr int KPlayUntilQuit = -1;

// A shell script in the game's System folder that stands in for the game: it writes its
// arguments (one per line) to "args" and its working folder to "cwd" in RecordFolder, sleeps
// Seconds (or plays until told to quit), then writes "ended" there. Returns the script's path.
QString WriteGameScript(const TGameFolder& game, const QString& name, const QString& recordFolder,
                        int seconds);
// Whether a process runs Program, a script or an executable: read from the system's process
// table, so a program that was started and did not end yet counts before it did anything.
bool ProgramRunning(const QString& program);

// A named descendant of Parent, or a test failure.
template <class T> T* Child(const QObject* parent, const QString& name)
{
    T* child = parent->findChild<T*>(name);
    if (!child)
        qFatal("No %s named %s", T::staticMetaObject.className(), qPrintable(name));
    return child;
}

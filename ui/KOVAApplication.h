#pragma once

#include <memory>

#include <QString>
#include <QStringList>

class TfrmMain;
class TSingleInstance;

// The program's start-up up to a running main window: the single-instance lock, the XML check,
// the application title and the forms. Split from the message loop so tests can run it.
class TKOVAStartup final
{
public:
    TKOVAStartup();
    ~TKOVAStartup();
    TKOVAStartup(const TKOVAStartup&) = delete;
    TKOVAStartup& operator=(const TKOVAStartup&) = delete;

    // Runs the start-up over the program folder AppDir with the program's Arguments. True when
    // the window is ready to be shown; otherwise ExitStatus says how the program ends.
    bool Start(const QString& appDir, const QStringList& arguments);

    TfrmMain* MainWindow() const { return FMainWindow.get(); }
    int ExitStatus() const { return FExitStatus; }

private:
    std::unique_ptr<TSingleInstance> FInstance;
    std::unique_ptr<TfrmMain> FMainWindow;
    int FExitStatus = 0;
};

// Exit statuses of the program.
enum TKOVAExitStatus
{
    esOk = 0,
    esSwitchFailed = 1,      // a command-line switch could not do its work
    esGameFolderInvalid = 2, // a switch needs a valid game folder
    esAlreadyRunning = 3,
    esStartupFailed = 4, // settings, language files or the lock
};

// The program entry: start-up, the message loop and shut-down. Returns the exit status.
int RunKOVA(int argc, char* argv[]);

#pragma once

#include <QString>
#include <QStringList>

// Starting programs and waiting for them.

// A program we started. Waiting never kills it.
struct TProcessHandle
{
    qint64 Pid = -1;
    bool Valid() const { return Pid > 0; }
};

// Starts Program with Arguments in a new session, its own folder as working folder (or
// WorkingFolder when given). A Windows executable (".exe", any letter case) is started through
// "wine" from PATH; without wine the start fails. Returns an invalid handle, with the reason in
// Error, when the program could not be started.
TProcessHandle StartProgram(const QString& program, const QStringList& arguments,
                            const QString& workingFolder = QString(), QString* error = nullptr);

enum class TWaitState
{
    wsRunning,
    wsExited,
    wsUnknown
};

// Polls once without blocking. ExitCode is set when the state is wsExited; wsUnknown means the
// process is not ours (already reaped, or never started).
TWaitState PollProgram(const TProcessHandle& handle, int* exitCode = nullptr);

// Hands a program we stop waiting for to a reaper that collects it when it ends, so no zombie
// is left behind. The program keeps running.
void ReleaseProgram(const TProcessHandle& handle);

// Opens a file, folder or URL with the desktop's default handler (xdg-open). False, with the
// reason in Error, when the handler could not be started; what the handler then does with the
// file is its own affair.
bool OpenWithDefaultHandler(const QString& fileOrUrl, QString* error = nullptr);

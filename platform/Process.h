#pragma once

#include <QString>
#include <QStringList>

#include <functional>

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

// Told once how an opening ended: 0 when the handler succeeded, or was still running when the
// watch ended, else the exit status it ended with.
using TOpenEnded = std::function<void(int status)>;

// Opens a file, folder or URL with the desktop's default handler (xdg-open). False, with the
// reason in Error, when the handler could not be started. When OnEnded is given, the handler is
// then watched from the calling thread's event loop (which must run) for its first seconds, and
// OnEnded is told how it ended there; the window never waits for it. Without an event loop, or
// without OnEnded, what the handler does with the file is its own affair.
bool OpenWithDefaultHandler(const QString& fileOrUrl, QString* error = nullptr,
                            TOpenEnded onEnded = {});

// The message for an opening of FileOrUrl whose handler ended with Status (not 0): no program is
// set for it, the program set for it failed, or the opening failed.
QString OpenFailureText(const QString& fileOrUrl, int status);

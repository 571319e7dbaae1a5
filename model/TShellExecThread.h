#pragma once

#include <QMetaObject>
#include <QString>
#include <QThread>

#include <condition_variable>
#include <functional>
#include <mutex>

// The run-and-wait thread: starts a program and waits until it ends, the application quits or
// Abort is set. It never ends the program it started: leaving the wait only stops the waiting,
// and a program still running is handed to the platform's reaper.
//
// Made not running: the caller sets the end handler and the free-on-end flag, then calls start().
// Setting Abort, quitting the application and destroying the object all end the wait at once;
// the destructor joins the thread, so a shut-down never waits longer than one poll.
class TShellExecThread final : public QThread
{
public:
    TShellExecThread(const QString& fileName, const QString& params, QObject* parent = nullptr);
    ~TShellExecThread() override;

    const QString& FileName() const { return FFileName; }
    const QString& Params() const { return FParams; }

    bool Abort() const;
    // Any thread; the wait ends at once.
    void SetAbort(bool abort);

    // Handler runs on Receiver's thread once the wait is over (also when nothing could be
    // started). It never runs after Receiver was destroyed, since the connection goes with it.
    void SetOnTerminate(QObject* receiver, std::function<void()> handler);
    // When set, the thread object deletes itself after it ended (and after the end handler ran);
    // hold it through a QPointer.
    void SetFreeOnTerminate(bool freeOnTerminate);

    // Starts FileName (resolved without regard to letter case) with Params split as a command
    // line, then polls every 100 ms until it ends, the application quits or Abort is set. False,
    // without waiting, when there is no such file or the program could not be started (Error, when
    // given, then says why); true once the wait ended.
    bool RunAndWait(const QString& fileName, const QString& params, QString* error = nullptr);
    // Once the thread has ended: why the program could not be started; empty when it was.
    QString StartError() const;

protected:
    void run() override;

private:
    QString FFileName;
    QString FParams;
    mutable std::mutex FMutex;
    std::condition_variable FWake;
    bool FAbort = false;
    QString FStartError;
    QMetaObject::Connection FFreeConnection;
};

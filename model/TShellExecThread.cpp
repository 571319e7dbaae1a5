#include "TShellExecThread.h"

#include "GamePath.h"
#include "Process.h"

#include <QCoreApplication>
#include <QProcess>

#include <chrono>

namespace {

constexpr std::chrono::milliseconds KPollPeriod(100);

} // namespace

TShellExecThread::TShellExecThread(const QString& fileName, const QString& params, QObject* parent)
    : QThread(parent)
    , FFileName(fileName)
    , FParams(params)
{
    // The application's end stops the wait, as the end of the message loop did.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(
            app, &QCoreApplication::aboutToQuit, this, [this] { SetAbort(true); },
            Qt::DirectConnection);
}

TShellExecThread::~TShellExecThread()
{
    SetAbort(true);
    wait();
}

bool TShellExecThread::Abort() const
{
    const std::lock_guard lock(FMutex);
    return FAbort;
}

void TShellExecThread::SetAbort(bool abort)
{
    {
        const std::lock_guard lock(FMutex);
        FAbort = abort;
    }
    FWake.notify_all();
}

void TShellExecThread::SetOnTerminate(QObject* receiver, std::function<void()> handler)
{
    if (receiver && handler)
        connect(this, &QThread::finished, receiver, std::move(handler));
}

void TShellExecThread::SetFreeOnTerminate(bool freeOnTerminate)
{
    if (freeOnTerminate == static_cast<bool>(FFreeConnection))
        return;
    if (freeOnTerminate)
        FFreeConnection = connect(this, &QThread::finished, this, &QObject::deleteLater);
    else
        disconnect(FFreeConnection);
}

bool TShellExecThread::RunAndWait(const QString& fileName, const QString& params, QString* error)
{
    const QString program = ResolveGamePath(fileName);
    if (!GameFileExists(program)) {
        if (error)
            *error = QStringLiteral("\"%1\" does not exist.").arg(program);
        return false;
    }
    const TProcessHandle process =
        StartProgram(program, QProcess::splitCommand(params), QString(), error);
    if (!process.Valid())
        return false;

    std::unique_lock lock(FMutex);
    for (;;) {
        FWake.wait_for(lock, KPollPeriod, [this] { return FAbort; });
        const bool abort = FAbort;
        lock.unlock();
        if (PollProgram(process) != TWaitState::wsRunning)
            return true;
        if (abort) {
            ReleaseProgram(process);
            return true;
        }
        lock.lock();
    }
}

QString TShellExecThread::StartError() const
{
    const std::lock_guard lock(FMutex);
    return FStartError;
}

void TShellExecThread::run()
{
    QString error;
    if (!RunAndWait(FFileName, FParams, &error)) {
        const std::lock_guard lock(FMutex);
        FStartError =
            error.isEmpty() ? QStringLiteral("\"%1\" could not be started.").arg(FFileName) : error;
    }
}

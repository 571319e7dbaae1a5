#include "Process.h"

#include "GamePath.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QTimerEvent>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

QString ErrorText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Spawns Argv[0] (a full path) in a new session with Folder as working folder.
pid_t Spawn(const QStringList& argv, const QString& folder, QString& error)
{
    std::vector<QByteArray> bytes;
    bytes.reserve(argv.size());
    for (const QString& arg : argv)
        bytes.push_back(QFile::encodeName(arg));
    std::vector<char*> pointers;
    for (QByteArray& arg : bytes)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_init(&actions);
    // A session of its own keeps the program alive and out of our terminal's signals; it must
    // not inherit blocked or ignored signals either.
    sigset_t noSignals, defaultSignals;
    sigemptyset(&noSignals);
    sigemptyset(&defaultSignals);
    sigaddset(&defaultSignals, SIGPIPE);
    sigaddset(&defaultSignals, SIGCHLD);
    sigaddset(&defaultSignals, SIGINT);
    sigaddset(&defaultSignals, SIGQUIT);
    sigaddset(&defaultSignals, SIGHUP);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawnattr_setsigdefault(&attributes, &defaultSignals);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const QByteArray workingFolder = QFile::encodeName(folder);
    if (!folder.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder.constData());

    pid_t pid = -1;
    const int code =
        posix_spawn(&pid, pointers[0], &actions, &attributes, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (code != 0) {
        error = QStringLiteral("\"%1\" could not be started: %2").arg(argv[0], ErrorText(code));
        return -1;
    }
    return pid;
}

constexpr std::chrono::milliseconds KPollPeriod(100);
// An opener that finds no program for a file ends at once; one still running after this shows
// the file, or has become the program that shows it.
constexpr std::chrono::milliseconds KOpenerWatch(10000);

// Polls a started opener from the event loop until it ends or the watch is over, tells how it
// ended, and goes. An opener still running is handed to the reaper, never waited for.
class TOpenerWatch final : public QObject
{
public:
    TOpenerWatch(pid_t pid, TOpenEnded onEnded)
        : FPid(pid)
        , FOnEnded(std::move(onEnded))
        , FDeadline(KOpenerWatch)
    {
        // Gone with the application at the latest, and the opener reaped then.
        QCoreApplication* app = QCoreApplication::instance();
        if (app && app->thread() == QThread::currentThread())
            setParent(app);
        FTimer = startTimer(KPollPeriod);
    }
    ~TOpenerWatch() override { ReleaseProgram(Handle()); }

protected:
    void timerEvent(QTimerEvent* event) override
    {
        if (event->timerId() != FTimer) {
            QObject::timerEvent(event);
            return;
        }
        int status = 0;
        const TWaitState state = PollProgram(Handle(), &status);
        if (state == TWaitState::wsRunning && !FDeadline.hasExpired())
            return;
        killTimer(FTimer);
        if (state == TWaitState::wsRunning)
            ReleaseProgram(Handle());
        // Still running is a success; so is an opener collected elsewhere, of which nothing
        // is known.
        if (state != TWaitState::wsExited)
            status = 0;
        FPid = -1;
        deleteLater();
        // The handler may open a window and run its own event loop: nothing of this object is
        // used after it.
        const TOpenEnded onEnded = std::move(FOnEnded);
        onEnded(status);
    }

private:
    TProcessHandle Handle() const
    {
        TProcessHandle handle;
        handle.Pid = FPid;
        return handle;
    }

    pid_t FPid;
    TOpenEnded FOnEnded;
    QDeadlineTimer FDeadline;
    int FTimer = 0;
};

} // namespace

TProcessHandle StartProgram(const QString& program, const QStringList& arguments,
                            const QString& workingFolder, QString* error)
{
    QString reason;
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return TProcessHandle();
    };

    QString path;
    if (program.contains(QLatin1Char('/')) || program.contains(QLatin1Char('\\'))) {
        path = QFileInfo(ResolveGamePath(program)).absoluteFilePath();
        if (!QFileInfo(path).isFile())
            return fail(QStringLiteral("\"%1\" does not exist.").arg(program));
    } else {
        path = QStandardPaths::findExecutable(program);
        if (path.isEmpty())
            return fail(QStringLiteral("\"%1\" was not found on PATH.").arg(program));
    }

    QStringList argv;
    if (path.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) {
        const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
        if (wine.isEmpty())
            return fail(QStringLiteral("\"%1\" is a Windows program, and \"wine\" was not found "
                                       "on PATH to start it.")
                            .arg(path));
        argv << wine;
    }
    argv << path << arguments;

    const QString folder =
        workingFolder.isEmpty() ? QFileInfo(path).absolutePath() : ResolveGamePath(workingFolder);
    const pid_t pid = Spawn(argv, folder, reason);
    if (pid <= 0)
        return fail(reason);
    TProcessHandle handle;
    handle.Pid = pid;
    return handle;
}

TWaitState PollProgram(const TProcessHandle& handle, int* exitCode)
{
    if (!handle.Valid())
        return TWaitState::wsUnknown;
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(pid_t(handle.Pid), &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0)
        return TWaitState::wsRunning;
    if (result < 0)
        return TWaitState::wsUnknown;
    if (exitCode)
        *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return TWaitState::wsExited;
}

void ReleaseProgram(const TProcessHandle& handle)
{
    if (!handle.Valid())
        return;
    // One waiting thread per released program: it sleeps in the kernel until the program ends,
    // and the program is left to run as long as it likes.
    const pid_t pid = pid_t(handle.Pid);
    std::thread([pid] {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

bool OpenWithDefaultHandler(const QString& fileOrUrl, QString* error, TOpenEnded onEnded)
{
    QString reason;
    const auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (fileOrUrl.isEmpty())
        return fail(QStringLiteral("No file was named to open."));
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return fail(QStringLiteral("\"%1\" cannot be opened: \"xdg-open\", which opens files "
                                   "with the desktop's programs, was not found on PATH.")
                        .arg(fileOrUrl));
    QString target = fileOrUrl;
    // A name that starts with "-" would be read as an option.
    if (target.startsWith(QLatin1Char('-')))
        target = QFileInfo(target).absoluteFilePath();
    const pid_t pid = Spawn({opener, target}, QString(), reason);
    if (pid <= 0)
        return fail(reason);
    if (onEnded && QAbstractEventDispatcher::instance()) {
        new TOpenerWatch(pid, std::move(onEnded));
    } else {
        TProcessHandle handle;
        handle.Pid = pid;
        ReleaseProgram(handle);
    }
    return true;
}

QString OpenFailureText(const QString& fileOrUrl, int status)
{
    // xdg-open ends with 3 when it knows no program for the type, and with 4 when the program
    // it found (or the desktop's own opener it hands over to) failed.
    QString text;
    if (status == 3)
        text = QStringLiteral("No program is set to open \"%1\"");
    else if (status == 4)
        text = QStringLiteral("\"%1\" could not be opened: the program set to open it failed");
    else
        text = QStringLiteral("\"%1\" could not be opened");
    // One pass, so that a "%2" in a file name stays as it is.
    return (text + QStringLiteral(" (\"xdg-open\" ended with status %2)."))
        .arg(fileOrUrl, QString::number(status));
}

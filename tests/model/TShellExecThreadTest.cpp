#include "TShellExecThread.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/types.h>

using namespace Qt::StringLiterals;

namespace {

QCoreApplication& App()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        return *app;
    static int argc = 1;
    static char name[] = "test_model";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// The state letter of a process ('Z' for a zombie), or 0 when there is no such process.
char ProcessState(qint64 pid)
{
    const QByteArray line = ReadBytes(u"/proc/%1/stat"_s.arg(pid));
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() ? line.at(close + 2) : 0;
}

// Ends a wait only when something hangs: no passing run waits this long, however slow the
// machine.
constexpr int KHungMs = 60000;
// Seconds a sleeper runs unless ended: longer than a hung wait, so a wait that ends is never its
// end.
const QString KLongSleep = u"120"_s;

template <typename Predicate> bool WaitFor(Predicate done)
{
    QDeadlineTimer deadline(KHungMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    return true;
}

// A program that writes its process id to a file and then becomes "sleep Seconds".
class SleeperTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        App();
        FProgram = QDir(FDir.path()).filePath("game.sh");
        FPidFile = QDir(FDir.path()).filePath("pid");
        ASSERT_TRUE(WriteBytes(
            FProgram,
            "#!/bin/sh\necho $$ > \"$(dirname \"$0\")/pid.tmp\"\n"
            "mv \"$(dirname \"$0\")/pid.tmp\" \"$(dirname \"$0\")/pid\"\nexec sleep \"$1\"\n"));
        QFile::setPermissions(FProgram, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void TearDown() override
    {
        if (FPid > 0 && ProcessState(FPid) != 0)
            ::kill(static_cast<pid_t>(FPid), SIGKILL);
    }

    // The id of the started program, once it told it.
    qint64 WaitForPid()
    {
        if (!WaitFor([&] { return QFile::exists(FPidFile); }))
            return -1;
        return FPid = ReadBytes(FPidFile).trimmed().toLongLong();
    }

    QTemporaryDir FDir;
    QString FProgram;
    QString FPidFile;
    qint64 FPid = -1;
};

TEST_F(SleeperTest, AbortEndsTheWaitAndTheProgramKeepsRunning)
{
    TShellExecThread thread(FProgram, KLongSleep);
    bool ended = false;
    QObject window;
    thread.SetOnTerminate(&window, [&] { ended = true; });
    thread.start();

    const qint64 pid = WaitForPid();
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(thread.isRunning());
    thread.SetAbort(true);
    EXPECT_TRUE(thread.wait(QDeadlineTimer(KHungMs))) << "the wait did not end after Abort";
    EXPECT_TRUE(WaitFor([&] { return ended; }));

    const char state = ProcessState(pid);
    EXPECT_NE(state, 0) << "the program was ended";
    EXPECT_NE(state, 'Z');

    // Once the program ends on its own, nobody is left waiting for it: it must not stay a zombie.
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    EXPECT_TRUE(WaitFor([&] { return ProcessState(pid) == 0; })) << "state " << ProcessState(pid);
}

TEST_F(SleeperTest, AProgramThatEndsEndsTheWaitAndIsReaped)
{
    TShellExecThread thread(FProgram, "0.2");
    EXPECT_TRUE(thread.RunAndWait(FProgram, "0.2"));
    const qint64 pid = WaitForPid();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(ProcessState(pid), 0);
}

TEST_F(SleeperTest, QuittingTheApplicationEndsTheWaitAndDestroyingJoinsTheThread)
{
    QPointer<TShellExecThread> thread = new TShellExecThread(FProgram, KLongSleep);
    thread->start();
    ASSERT_GT(WaitForPid(), 0);
    QTimer::singleShot(0, &App(), &QCoreApplication::quit);
    App().exec();
    EXPECT_TRUE(thread->wait(QDeadlineTimer(KHungMs)));
    delete thread;
    EXPECT_NE(ProcessState(FPid), 0);
    EXPECT_NE(ProcessState(FPid), 'Z');
}

TEST(ShellExecThread, AMissingProgramEndsAtOnceAndStillRunsTheEndHandler)
{
    App();
    QTemporaryDir dir;
    const QString missing = QDir(dir.path()).filePath("System/UT2004.exe");
    TShellExecThread direct(missing, QString());
    EXPECT_FALSE(direct.RunAndWait(missing, QString()));
    EXPECT_FALSE(direct.RunAndWait(dir.path(), QString())) << "a folder is not a program";

    QObject window;
    bool ended = false;
    QPointer<TShellExecThread> thread = new TShellExecThread(missing, "-exec=kova.txt");
    thread->SetOnTerminate(&window, [&] {
        ended = true;
        EXPECT_FALSE(thread.isNull()); // the thread goes only after its end handler ran
    });
    thread->SetFreeOnTerminate(true);
    thread->start();
    EXPECT_TRUE(WaitFor([&] { return ended; }));
    EXPECT_TRUE(WaitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return thread.isNull();
    }));
}

TEST(ShellExecThread, TheEndHandlerNeverRunsForAReceiverThatIsGone)
{
    App();
    bool ended = false;
    auto* window = new QObject;
    TShellExecThread thread(u"/nonexistent/program"_s, QString());
    thread.SetOnTerminate(window, [&] { ended = true; });
    thread.start();
    ASSERT_TRUE(thread.wait(QDeadlineTimer(KHungMs)));
    delete window;
    QCoreApplication::processEvents();
    EXPECT_FALSE(ended);
}

} // namespace

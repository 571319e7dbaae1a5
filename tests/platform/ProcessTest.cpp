#include "Process.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <unistd.h>

namespace {

// PATH pointed at one folder for the life of the object.
class TTempPath final
{
public:
    explicit TTempPath(const QString& folder)
        : FOld(qgetenv("PATH"))
    {
        qputenv("PATH", QFile::encodeName(folder));
    }
    ~TTempPath() { qputenv("PATH", FOld); }

private:
    QByteArray FOld;
};

QString WriteScript(const QString& path, const QByteArray& body)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + body);
    file.close();
    file.setPermissions(file.permissions() | QFile::ExeOwner);
    return path;
}

// Ends a wait only when something hangs: no passing run waits this long, however slow the
// machine.
constexpr int KHungMs = 60000;

// Polls until Done, or false once a hung wait ends.
template <typename Predicate> bool WaitFor(Predicate done)
{
    const QDeadlineTimer deadline(KHungMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

// What a script wrote to Path; the scripts mark a file whole with "<Path>.done" (by shell
// built-ins alone: the PATH may hold nothing else).
QByteArray ReadWhenWritten(const QString& path)
{
    WaitFor([&] { return QFileInfo::exists(path + ".done"); });
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

TWaitState WaitForExit(const TProcessHandle& handle, int* exitCode)
{
    TWaitState state = TWaitState::wsRunning;
    WaitFor([&] { return (state = PollProgram(handle, exitCode)) != TWaitState::wsRunning; });
    return state;
}

// The opener is watched from the event loop.
void EnsureApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "test_platform";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

// Runs the event loop until Done, giving up after a long while.
template <typename Predicate> bool RunEventsUntil(Predicate done)
{
    QDeadlineTimer deadline(30000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    return done();
}

// A zombie keeps its /proc entry, with state "Z", until its parent collects it.
bool ProcessEntryGone(qint64 pid)
{
    return WaitFor([pid] { return !QFileInfo::exists(QString("/proc/%1").arg(pid)); });
}

// A program that runs until the file Release appears, however long that takes.
TProcessHandle StartUntilReleased(const QString& release, QString* error = nullptr)
{
    return StartProgram("sh", {"-c", "until [ -e \"$0\" ]; do sleep 0.02; done; exit 3", release},
                        {}, error);
}

bool Release(const QString& release)
{
    return QFile(release).open(QIODevice::WriteOnly);
}

TEST(ProcessTest, PollsUntilTheProgramEndsAndGivesItsExitCode)
{
    QTemporaryDir temp;
    const QString release = temp.filePath("release");
    QString error;
    const TProcessHandle handle = StartUntilReleased(release, &error);
    ASSERT_TRUE(handle.Valid()) << qPrintable(error);
    EXPECT_EQ(PollProgram(handle), TWaitState::wsRunning);
    // In a session of its own.
    EXPECT_EQ(::getsid(pid_t(handle.Pid)), pid_t(handle.Pid));
    ASSERT_TRUE(Release(release));
    int exitCode = -1;
    EXPECT_EQ(WaitForExit(handle, &exitCode), TWaitState::wsExited);
    EXPECT_EQ(exitCode, 3);
    EXPECT_EQ(PollProgram(handle), TWaitState::wsUnknown);
    EXPECT_EQ(PollProgram(TProcessHandle()), TWaitState::wsUnknown);
}

TEST(ProcessTest, ReleasedProgramKeepsRunningAndLeavesNoZombie)
{
    QTemporaryDir temp;
    const QString release = temp.filePath("release");
    const TProcessHandle handle = StartUntilReleased(release);
    ASSERT_TRUE(handle.Valid());
    ReleaseProgram(handle);
    EXPECT_EQ(::kill(pid_t(handle.Pid), 0), 0); // not killed
    EXPECT_TRUE(Release(release));
    EXPECT_TRUE(ProcessEntryGone(handle.Pid));
}

TEST(ProcessTest, RunsInItsOwnFolderUnlessToldOtherwise)
{
    QTemporaryDir temp;
    const QString script =
        WriteScript(temp.filePath("where.sh"), "pwd > \"$1\" && : > \"$1.done\"\n");
    const TProcessHandle first = StartProgram(script, {temp.filePath("first.txt")});
    ASSERT_TRUE(first.Valid());
    EXPECT_EQ(WaitForExit(first, nullptr), TWaitState::wsExited);
    EXPECT_EQ(ReadWhenWritten(temp.filePath("first.txt")), QFile::encodeName(temp.path()));

    QDir(temp.path()).mkdir("Other");
    const TProcessHandle second =
        StartProgram(script, {temp.filePath("second.txt")}, temp.filePath("Other"));
    ASSERT_TRUE(second.Valid());
    EXPECT_EQ(WaitForExit(second, nullptr), TWaitState::wsExited);
    EXPECT_EQ(ReadWhenWritten(temp.filePath("second.txt")),
              QFile::encodeName(temp.filePath("Other")));
}

TEST(ProcessTest, MissingProgramFailsWithAReason)
{
    QString error;
    EXPECT_FALSE(StartProgram("/nowhere/UT2004", {}, {}, &error).Valid());
    EXPECT_FALSE(error.isEmpty());
}

// Programs found on a PATH of one folder, empty until a test writes a script into it.
class ProcessPathTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(QDir(FTemp.path()).mkpath("bin")); }
    QString Path(const QString& name) const { return FTemp.filePath(name); }
    // A script of Name on the PATH that writes what Body prints to Output.
    void Script(const QString& name, const QByteArray& body, const QString& output)
    {
        const QByteArray file = "\"" + QFile::encodeName(output) + "\"";
        WriteScript(Path("bin/" + name),
                    "{ " + body + "; } > " + file + " && : > " + file + ".done\n");
    }

    QTemporaryDir FTemp;
    TTempPath FPath{FTemp.filePath("bin")};
};

TEST_F(ProcessPathTest, WindowsProgramsStartThroughWine)
{
    QDir(FTemp.path()).mkpath("UT2004/System");
    const QString exe = Path("UT2004/System/UT2004.exe");
    QFile(exe).open(QIODevice::WriteOnly);
    QString error;
    EXPECT_FALSE(StartProgram(exe, {"DM-Rankin"}, {}, &error).Valid());
    EXPECT_TRUE(error.contains("wine"));

    Script("wine", "pwd; for a in \"$@\"; do echo \"$a\"; done", Path("args.txt"));
    const TProcessHandle handle = StartProgram(exe, {"DM-Rankin?Game=x", "-log"});
    ASSERT_TRUE(handle.Valid());
    EXPECT_EQ(WaitForExit(handle, nullptr), TWaitState::wsExited);
    EXPECT_EQ(ReadWhenWritten(Path("args.txt")),
              QFile::encodeName(Path("UT2004/System") + "\n" + exe + "\nDM-Rankin?Game=x\n-log"));
}

TEST_F(ProcessPathTest, OpensWithTheDesktopHandler)
{
    EXPECT_FALSE(OpenWithDefaultHandler("https://example.org/"));
    Script("xdg-open", "echo \"$1\"", Path("opened.txt"));
    EXPECT_TRUE(OpenWithDefaultHandler("https://example.org/a b"));
    EXPECT_EQ(ReadWhenWritten(Path("opened.txt")), "https://example.org/a b");

    // How the opener ended is told later, from the event loop: its status once it failed, 0 once
    // it succeeded.
    EnsureApplication();
    const QByteArray sleep = QFile::encodeName(
        QStandardPaths::findExecutable("sleep", {"/usr/local/bin", "/usr/bin", "/bin"}));
    ASSERT_FALSE(sleep.isEmpty());
    const struct
    {
        QByteArray Body;
        int Status;
    } endings[] = {{"exit 3", 3}, {"exit 4", 4}, {"exit 1", 1}, {sleep + " 0.3", 0}};
    for (const auto& ending : endings) {
        WriteScript(Path("bin/xdg-open"), ending.Body + "\n");
        std::optional<int> status;
        ASSERT_TRUE(OpenWithDefaultHandler(Path("Shot 1.bmp"), nullptr,
                                           [&status](int ended) { status = ended; }));
        EXPECT_TRUE(RunEventsUntil([&status] { return status.has_value(); }))
            << ending.Body.constData();
        EXPECT_EQ(status.value_or(-1), ending.Status) << ending.Body.constData();
    }
    const struct
    {
        QString Target;
        int Status;
        QString Text;
    } failures[] = {
        {Path("Shot 1.bmp"), 3,
         "No program is set to open \"" + Path("Shot 1.bmp") +
             "\" (\"xdg-open\" ended with status 3)."},
        {"https://example.org/", 4,
         "\"https://example.org/\" could not be opened: the program set to open it failed "
         "(\"xdg-open\" ended with status 4)."},
        {"https://example.org/", 1,
         "\"https://example.org/\" could not be opened (\"xdg-open\" ended with status 1)."}};
    for (const auto& failure : failures)
        EXPECT_EQ(OpenFailureText(failure.Target, failure.Status).toStdString(),
                  failure.Text.toStdString());

    // One that keeps running (a browser it became) is a success, left running and reaped later.
    WriteScript(Path("bin/xdg-open"),
                "echo $$ > \"$1.pid\"\n: > \"$1.pid.done\"\nexec " + sleep + " 30\n");
    std::optional<int> status;
    ASSERT_TRUE(
        OpenWithDefaultHandler(Path("page"), nullptr, [&status](int ended) { status = ended; }));
    EXPECT_TRUE(RunEventsUntil([&status] { return status.has_value(); }));
    EXPECT_EQ(status.value_or(-1), 0);
    const pid_t pid = pid_t(ReadWhenWritten(Path("page.pid")).toLongLong());
    ASSERT_GT(pid, 0);
    EXPECT_EQ(::kill(pid, 0), 0);
    ::kill(pid, SIGTERM);
    EXPECT_TRUE(ProcessEntryGone(pid));
}

} // namespace

#include "SingleInstance.h"

#include "Process.h"
#include "TFileProtection.h"
#include "TGameFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

TEST(SingleInstanceTest, SecondCopyIsRefusedUntilTheFirstEnds)
{
    TTempEnvironment env;
    auto first = std::make_unique<TSingleInstance>("KOVA");
    EXPECT_EQ(first->State(), TSingleInstance::siAcquired);
    {
        TSingleInstance second("KOVA");
        EXPECT_EQ(second.State(), TSingleInstance::siAlreadyRunning);
        TSingleInstance other("Other/Name");
        EXPECT_EQ(other.State(), TSingleInstance::siAcquired);
    }
    // A program we started does not inherit the lock: it runs on until it is ended here.
    const TProcessHandle child = StartProgram("sleep", {"3600"});
    ASSERT_TRUE(child.Valid());
    ReleaseProgram(child);
    first.reset();
    TSingleInstance third("KOVA");
    EXPECT_EQ(third.State(), TSingleInstance::siAcquired);
    EXPECT_EQ(::kill(pid_t(child.Pid), SIGKILL), 0); // still running, so it held what it had
}

TEST(SingleInstanceTest, LockOfAKilledCopyDoesNotBlock)
{
    TTempEnvironment env;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        TSingleInstance held("KOVA");
        const char state = held.State() == TSingleInstance::siAcquired ? 'A' : 'F';
        (void)::write(ready[1], &state, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char state = 0;
    ASSERT_EQ(::read(ready[0], &state, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(state, 'A');
    EXPECT_EQ(TSingleInstance("KOVA").State(), TSingleInstance::siAlreadyRunning);

    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    // The lock file is still there, but nothing holds it.
    EXPECT_EQ(QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(TSingleInstance("KOVA").State(), TSingleInstance::siAcquired);
}

// Without a private runtime folder the lock goes to a private folder of the user's own, so
// that nothing another user put in a shared folder (a file or a link of the lock's name) can
// keep the program from starting; what cannot be used is said.
TEST(SingleInstanceTest, OnlyAFolderOfThisUsersOwnHoldsTheLock)
{
    TTempEnvironment env;
    const QByteArray oldTemp = qgetenv("TMPDIR");
    const QString shared = env.Root() + "/tmp";
    QDir().mkpath(shared);
    ASSERT_TRUE(SetMode(shared, 01777));
    qputenv("TMPDIR", QFile::encodeName(shared));
    const QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const uid_t user = ::geteuid() == 0 ? 65534 : ::geteuid();
    ASSERT_EQ(::chown(QFile::encodeName(cache).constData(), user, gid_t(-1)), 0);
    // Another user's (root's, as the tests run) file of a fixed lock name, and a link of such a
    // name, by the user's real and effective ids.
    for (const uid_t id : {::getuid(), user}) {
        const QString fixedName = shared + "/KOVA-" + QString::number(id) + ".lock";
        QFile foreign(fixedName);
        ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
        foreign.close();
        ASSERT_TRUE(SetMode(fixedName, 0600));
        QFile::link(fixedName, shared + "/KOVA-test-" + QString::number(id) + ".lock");
    }
    // A runtime folder that others may write is passed over like a missing one.
    ASSERT_TRUE(SetMode(runtime, 0777));
    {
        const TFileProtection asUser(env.Root());
        for (const bool withRuntime : {false, true}) {
            if (!withRuntime)
                qunsetenv("XDG_RUNTIME_DIR");
            else
                qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
            for (const char* name : {"KOVA", "KOVA-test"}) {
                const TSingleInstance first(name);
                EXPECT_EQ(first.State(), TSingleInstance::siAcquired)
                    << name << ": " << qPrintable(first.ErrorString());
                EXPECT_EQ(TSingleInstance(name).State(), TSingleInstance::siAlreadyRunning);
                EXPECT_TRUE(QFileInfo::exists(cache + "/KOVA/" + name + ".lock"));
            }
        }
        EXPECT_EQ(QFileInfo(cache + "/KOVA").permissions() & 0x0077, 0);

        // Our own folder given over to a link: no lock, and the reason names the folder.
        QDir(cache + "/KOVA").removeRecursively();
        ASSERT_TRUE(QFile::link(shared, cache + "/KOVA"));
        const TSingleInstance refused("KOVA");
        EXPECT_EQ(refused.State(), TSingleInstance::siFailed);
        EXPECT_TRUE(refused.ErrorString().contains(cache + "/KOVA"))
            << qPrintable(refused.ErrorString());
        EXPECT_FALSE(QFileInfo::exists(shared + "/KOVA.lock"));
    }
    ASSERT_TRUE(SetMode(runtime, 0700));
    qputenv("TMPDIR", oldTemp);
    if (oldTemp.isEmpty())
        qunsetenv("TMPDIR");
}

#include "SingleInstance.h"

#include "Process.h"
#include "TGameFolder.h"

#include <QDir>
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
    // A program we started does not inherit the lock.
    const TProcessHandle child = StartProgram("sleep", {"0.5"});
    ASSERT_TRUE(child.Valid());
    ReleaseProgram(child);
    first.reset();
    TSingleInstance third("KOVA");
    EXPECT_EQ(third.State(), TSingleInstance::siAcquired);
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

TEST(SingleInstanceTest, WithoutRuntimeFolderTheTempFolderServes)
{
    TTempEnvironment env;
    qunsetenv("XDG_RUNTIME_DIR");
    TSingleInstance first("KOVA-test-nort");
    EXPECT_EQ(first.State(), TSingleInstance::siAcquired);
    EXPECT_EQ(TSingleInstance("KOVA-test-nort").State(), TSingleInstance::siAlreadyRunning);
}

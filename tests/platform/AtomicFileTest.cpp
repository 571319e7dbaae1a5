#include "AtomicFile.h"

#include "TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

namespace {

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

void Touch(const QString& path, time_t age)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("left over");
    file.close();
    const time_t then = std::time(nullptr) - age;
    const utimbuf times{then, then};
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
}

// Runs Child in a forked process that reports through the pipe once it got going; returns the
// child's id after reading that one byte.
template <typename TChild> pid_t Fork(TChild child, QByteArray* message = nullptr)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(channel[0]);
        child(channel[1]);
        ::_exit(0);
    }
    ::close(channel[1]);
    char buffer[512];
    const ssize_t size = pid > 0 ? ::read(channel[0], buffer, sizeof buffer) : -1;
    ::close(channel[0]);
    if (message && size > 0)
        *message = QByteArray(buffer, int(size));
    return pid;
}

// A writer killed in the middle of a long write leaves nothing once the next write in that
// folder ran at once: neither its own temporary nor any other of a writer that is gone. What
// may still be written (a running writer's, a young one of unknown writer), someone else's and
// what is not ours stays.
TEST(AtomicFileTest, KilledWritersLeaveNoTemporaryAfterTheNextWrite)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("settings.xml");
    ASSERT_TRUE(WriteFileAtomically(target, "old"));

    const pid_t writer = Fork([&](int report) {
        TAtomicWriter out(target);
        const QByteArray chunk(1024 * 1024, 'x');
        if (!out.Open() || !out.Write(chunk))
            return;
        ::write(report, "w", 1);
        for (;;)
            out.Write(chunk);
    });
    ASSERT_GT(writer, 0);
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    EXPECT_EQ(ReadBytes(target), "old");

    // A writer that died between naming its temporary and the rename.
    QByteArray deadName;
    const pid_t dead = Fork(
        [&](int report) {
            const QByteArray name = QFile::encodeName(TemporaryNameFor("cache.xml"));
            QFile file(dir.filePath(QFile::decodeName(name)));
            if (file.open(QIODevice::WriteOnly))
                ::write(report, name.constData(), size_t(name.size()));
        },
        &deadName);
    ASSERT_GT(dead, 0);
    ::waitpid(dead, nullptr, 0);
    const QString deadTemporary = dir.filePath(QFile::decodeName(deadName));
    ASSERT_TRUE(QFile::exists(deadTemporary));
    TWriterId deadWriter;
    ASSERT_TRUE(IsTemporaryName(QFile::decodeName(deadName), &deadWriter));
    EXPECT_EQ(deadWriter.Pid, dead);

    const QString running = dir.filePath(TemporaryNameFor("other.ini"));
    Touch(running, 120);
    const QString young = dir.filePath(".settings.xml.kova-Young1");
    Touch(young, 10);
    const QString stale = dir.filePath(".cache.xml.kova-Other1");
    Touch(stale, 120);
    const QString notOurs = dir.filePath(".settings.xml.kova-old.bak");
    Touch(notOurs, 120);
    QString foreign;
    if (::geteuid() == 0) {
        foreign = dir.filePath(QFile::decodeName(deadName).replace("cache.xml", "user.ini"));
        Touch(foreign, 120);
        ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 4242, 4242), 0);
    }

    ASSERT_TRUE(WriteFileAtomically(target, "new"));
    EXPECT_EQ(ReadBytes(target), "new");
    QStringList expected = {"settings.xml", QFileInfo(running).fileName(),
                            QFileInfo(young).fileName(), QFileInfo(notOurs).fileName()};
    if (!foreign.isEmpty())
        expected << QFileInfo(foreign).fileName();
    QStringList left = Entries(dir.path());
    left.sort();
    expected.sort();
    EXPECT_EQ(left, expected);
}

// A writer in another process namespace names itself by an id that means nothing here: no
// such process, or one that started at another time. Its lock keeps its temporary through any
// sweep; once the lock is free the temporary goes. A writer of ours holds the lock until the
// rename, also when the caller renames after Close.
TEST(AtomicFileTest, ALockedTemporarySurvivesWhateverItsWritersIdSays)
{
    QTemporaryDir dir;
    const TWriterId self = CurrentWriter();
    const QStringList names = {
        ".cache.xml.kova-4194305-1-Elsew1", // beyond any process id the system gives
        QStringLiteral(".user.ini.kova-%1-%2-Elsew2").arg(self.Pid).arg(self.Start + 1)};
    std::vector<int> locks;
    for (const QString& name : names) {
        Touch(dir.filePath(name), 120);
        locks.push_back(::open(QFile::encodeName(dir.filePath(name)).constData(), O_RDONLY));
        ASSERT_EQ(::flock(locks.back(), LOCK_EX), 0);
    }
    TAtomicWriter writer(dir.filePath("shot.jpg"));
    ASSERT_TRUE(writer.Open() && writer.Write("jpeg") && writer.Close());
    const int probe = ::open(QFile::encodeName(writer.TemporaryPath()).constData(), O_RDONLY);
    EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0);
    ::close(probe);

    ASSERT_TRUE(WriteFileAtomically(dir.filePath("settings.xml"), "new"));
    for (const QString& name : names)
        EXPECT_TRUE(QFile::exists(dir.filePath(name))) << name.toStdString();
    for (const int lock : locks)
        ::close(lock);
    RemoveStaleTemporaries(dir.path());
    QStringList left = Entries(dir.path());
    left.sort();
    EXPECT_EQ(left, QStringList({QFileInfo(writer.TemporaryPath()).fileName(), "settings.xml"}));
}

TEST(AtomicFileTest, TemporaryNamesOfLongNamesStayWithinTheFileSystemsLimit)
{
    QTemporaryDir dir;
    const QString name = QString(120, QChar(0x00e9)) + ".ini"; // 244 bytes in UTF-8
    const QString temporary = TemporaryNameFor(name);
    EXPECT_LE(QFile::encodeName(temporary).size(), 255);
    EXPECT_TRUE(IsTemporaryFor(temporary, name));
    EXPECT_FALSE(IsTemporaryFor(temporary.chopped(1), name));
    EXPECT_FALSE(IsTemporaryFor(temporary.chopped(1) + "-", name));
    ASSERT_TRUE(WriteFileAtomically(dir.filePath(name), "long"));
    EXPECT_EQ(Entries(dir.path()), QStringList({name}));
}

} // namespace

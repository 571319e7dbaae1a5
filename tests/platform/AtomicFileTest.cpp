#include "AtomicFile.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <sys/resource.h>
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

// A writer killed in the middle leaves its temporary; the next write beside the same file
// removes it, but not a temporary that may still be written, not someone else's, and nothing
// that is not ours.
TEST(AtomicFileTest, TemporaryOfAKilledWriterIsRemovedByTheNextWrite)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("settings.xml");
    ASSERT_TRUE(WriteFileAtomically(target, "old"));

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // The file size limit stops the writer after its first megabyte, however fast it writes.
        ::signal(SIGXFSZ, [](int) { ::_exit(9); });
        const rlimit limit{1 << 20, 1 << 20};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        WriteFileAtomically(target, QByteArray(64 * 1024 * 1024, 'x'));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9) << "the writer was not stopped";
    QStringList left = Entries(dir.path());
    left.removeOne("settings.xml");
    ASSERT_EQ(left.size(), 1) << "the writer showed no temporary file";
    EXPECT_TRUE(IsTemporaryFor(left.first(), "settings.xml")) << qPrintable(left.first());
    EXPECT_EQ(ReadBytes(target), "old");

    const QString stale = dir.filePath(left.first());
    Touch(stale, 120);
    // Names made here, not drawn: the random state is the killed child's too.
    const QString young = dir.filePath(".settings.xml.kova-Young1");
    Touch(young, 10);
    const QString other = dir.filePath(".cache.xml.kova-Other1");
    Touch(other, 120);
    const QString notOurs = dir.filePath(".settings.xml.kova-old.bak");
    Touch(notOurs, 120);
    QString foreign;
    if (::geteuid() == 0) {
        foreign = dir.filePath(".settings.xml.kova-Other2");
        Touch(foreign, 120);
        ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 4242, 4242), 0);
    }

    ASSERT_TRUE(WriteFileAtomically(target, "new"));
    EXPECT_EQ(ReadBytes(target), "new");
    EXPECT_FALSE(QFile::exists(stale));
    for (const QString& kept : {young, other, notOurs, foreign}) {
        if (!kept.isEmpty()) {
            EXPECT_TRUE(QFile::exists(kept)) << qPrintable(kept);
        }
    }
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

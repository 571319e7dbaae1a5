#include "TGameFolder.h"
#include "TZipArchive.h"
#include "TZipBuilder.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zip.h>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

#define REQUIRE_TOOL(name)                                                                         \
    if (QStandardPaths::findExecutable(QStringLiteral(name)).isEmpty())                            \
    GTEST_SKIP() << name " is not installed (./kova.sh test installs it)"

class TZipArchiveTest : public ::testing::Test
{
protected:
    QString Path(const QString& name) const { return FDir.filePath(name); }
    QString Build(const QString& name, const TZipBuilder& builder) const
    {
        const QString path = Path(name);
        EXPECT_TRUE(builder.Write(path));
        return path;
    }
    void OpenOrFail(const QString& path)
    {
        const TResult<void> opened = FZip.Open(path);
        ASSERT_TRUE(opened) << opened.Error().Message.toStdString();
    }

    QTemporaryDir FDir;
    TZipArchive FZip;
};

TEST_F(TZipArchiveTest, FailedExtractionKeepsTheOldFileAndLeavesNoTemporary)
{
    TZipBuilderEntry badCrc;
    badCrc.Name = "Maps/DM-Bad.ut2";
    badCrc.Data = SampleText(300000);
    badCrc.Crc = 0x12345678;
    TZipBuilderEntry bomb;
    bomb.Name = "bomb.txt";
    bomb.Zeros = 100 * 1024 * 1024;
    bomb.DeclaredSize = 1024;
    OpenOrFail(Build("bad.zip", TZipBuilder().Add(badCrc).Add(bomb).Add("ok.txt", "fine")));
    QDir().mkpath(Path("out"));
    const QByteArray old = "the old map";
    ASSERT_TRUE(WriteBytes(Path("out/DM-Bad.ut2"), old));
    const QStringList before = FileTree(Path("out"));

    const TResult<void> crc = FZip.ExtractTo(0, Path("out/DM-Bad.ut2"));
    ASSERT_FALSE(crc);
    EXPECT_TRUE(crc.Error().Message.contains("bad.zip"));
    EXPECT_TRUE(crc.Error().Message.contains("Maps/DM-Bad.ut2"));
    EXPECT_EQ(ReadBytes(Path("out/DM-Bad.ut2")), old);
    EXPECT_EQ(FileTree(Path("out")), before);

    // An entry never writes more than it declares: the 100 MB stop after the first chunk.
    int reports = 0;
    FZip.SetProgress([&](const TZipProgress&) {
        ++reports;
        return true;
    });
    const TResult<void> bombed = FZip.ExtractTo(1, Path("out/bomb.txt"));
    ASSERT_FALSE(bombed);
    EXPECT_TRUE(bombed.Error().Message.contains("bomb.txt"));
    EXPECT_LE(reports, 2);
    EXPECT_EQ(FileTree(Path("out")), before);

    // Declared sizes above the free space are refused before anything is written.
    reports = 0;
    FZip.SetFreeSpace([](const QString&) { return qint64(1000); });
    const TResult<void> full = FZip.Extract({{2, Path("out/ok.txt")}, {0, Path("out/a.ut2")}});
    ASSERT_FALSE(full);
    EXPECT_EQ(reports, 0);
    EXPECT_EQ(FileTree(Path("out")), before);

    FZip.SetFreeSpace([](const QString&) { return qint64(1) << 40; });
    ASSERT_TRUE(FZip.ExtractTo(2, Path("out/ok.txt")));
    EXPECT_EQ(ReadBytes(Path("out/ok.txt")), "fine");
}

// Two hundred directory records over one entry's megabyte: each would inflate it again. No job
// of such an archive writes a byte, while it still lists.
TEST_F(TZipArchiveTest, EntriesThatShareTheirDataAreRefusedBeforeAnyWrite)
{
    TZipBuilderEntry shared;
    shared.Name = "Big.u";
    shared.Zeros = 1024 * 1024;
    for (int i = 1; i < 200; ++i)
        shared.AlsoAs << "Big" + QByteArray::number(i) + ".u";
    OpenOrFail(Build("bomb.zip", TZipBuilder().Add(shared)));
    ASSERT_EQ(FZip.Count(), 200);
    QDir().mkpath(Path("out"));
    for (const int index : {0, 199}) {
        const TResult<void> refused = FZip.ExtractTo(index, Path("out/Big.u"));
        ASSERT_FALSE(refused);
        EXPECT_TRUE(refused.Error().Message.contains("bomb.zip"));
        EXPECT_TRUE(refused.Error().Message.contains("share their data"));
    }
    EXPECT_TRUE(FileTree(Path("out")).isEmpty());
}

// Records that share one entry's data behind a directory a careless reader does not take, and
// entries that declare more than their data can hold: such an archive lists, and no job of it
// writes a byte. A comment that holds an end record's signature is no directory.
TEST_F(TZipArchiveTest, HostileDirectoriesAndImpossibleSizesWriteNothing)
{
    constexpr qint64 KMiB = 1024 * 1024;
    const QByteArray good = SampleText(5000);
    const TZipBuilderEntry huge{
        .Name = "Huge.u", .Data = "x", .DeclaredSize = std::numeric_limits<qint64>::max()};
    const TZipBuilderEntry stored{
        .Name = "Over.u", .Data = good, .Deflate = false, .DeclaredSize = good.size() + 1};
    const struct
    {
        const char* Name;
        TZipBuilder Builder;
        const char* Reason;
    } rows[] = {
        {"two end records", SharedDataArchive(TZipEnd::zeTwoEnds, 2, KMiB, KMiB / 8),
         "share their data"},
        {"zip64 end record", SharedDataArchive(TZipEnd::zeZip64Disagrees, 2, KMiB, KMiB / 8),
         "share their data"},
        {"headers without signature", SharedDataArchive(TZipEnd::zeOne, 2, KMiB, KMiB / 8),
         "local header"},
        {"size beyond its data", TZipBuilder().Add("Good.u", good).Add(huge), "Huge.u"},
        {"stored size beyond its data", TZipBuilder().Add("Good.u", good).Add(stored), "Over.u"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        OpenOrFail(Build(u"hostile.zip"_s, row.Builder));
        QVector<TZipExtraction> all;
        for (int i = 0; i < FZip.Count(); ++i)
            all.append({i, Path(u"out/%1"_s.arg(i))});
        const TResult<void> refused = FZip.Extract(all);
        ASSERT_FALSE(refused);
        EXPECT_TRUE(refused.Error().Message.contains(QLatin1String(row.Reason)))
            << refused.Error().Message.toStdString();
        EXPECT_TRUE(FileTree(Path(u"out"_s)).isEmpty());
    }

    // Sound archives stay sound: a comment that holds an end record is a comment, and a name
    // in a code page with its UTF-8 form beside it, as tools of Windows write it, is one name.
    OpenOrFail(
        Build(u"comment.zip"_s, TZipBuilder().Add("Good.u", good).SetComment(EndRecordComment())));
    ASSERT_TRUE(FZip.ExtractTo(0, Path(u"out/Good.u"_s)));
    EXPECT_EQ(ReadBytes(Path(u"out/Good.u"_s)), good);
    OpenOrFail(
        Build(u"windows.zip"_s,
              TZipBuilder()
                  .Add({.Name = "Caf\x82.utx", .Data = good, .UnicodeName = "Caf\xc3\xa9.utx"})
                  .Add("Good.u", good)));
    ASSERT_TRUE(FZip.ExtractTo(0, Path(u"out/Caf\u00e9.utx"_s)));
    EXPECT_EQ(ReadBytes(Path(u"out/Caf\u00e9.utx"_s)), good);
}

TEST_F(TZipArchiveTest, ALinkAtTheTargetIsReplacedNotWrittenThrough)
{
    OpenOrFail(Build("a.zip", TZipBuilder().Add("User.ini", "[new]")));
    QDir().mkpath(Path("out"));
    ASSERT_TRUE(WriteBytes(Path("elsewhere.ini"), "[keep]"));
    ASSERT_TRUE(QFile::link(Path("elsewhere.ini"), Path("out/User.ini")));
    ASSERT_TRUE(FZip.ExtractTo(0, Path("out/User.ini")));
    EXPECT_FALSE(QFileInfo(Path("out/User.ini")).isSymLink());
    EXPECT_EQ(ReadBytes(Path("out/User.ini")), "[new]");
    EXPECT_EQ(ReadBytes(Path("elsewhere.ini")), "[keep]");
}

TEST_F(TZipArchiveTest, EncryptedEntriesNeedTheRightPassword)
{
    REQUIRE_TOOL("zip");
    const QByteArray secret = SampleText(5000, 3);
    ASSERT_TRUE(WriteBytes(Path("src/secret.txt"), secret));
    ASSERT_TRUE(WriteBytes(Path("src/other.txt"), "other"));
    ASSERT_TRUE(RunTool(
        "zip", {"-q", "-P", "s3cret", Path("locked.zip"), "secret.txt", "other.txt"}, Path("src")));
    OpenOrFail(Path("locked.zip"));
    ASSERT_TRUE(FZip.Entries()[0].IsEncrypted);

    // Wrong three times, then Cancel: nothing written either way.
    QStringList answers{"wrong1", "wrong2", "wrong3"};
    int asked = 0;
    FZip.SetPassword([&](const QString& entry, int, QString& password) {
        EXPECT_EQ(entry, "secret.txt");
        ++asked;
        if (answers.isEmpty())
            return false;
        password = answers.takeFirst();
        return true;
    });
    const TResult<void> wrong = FZip.ExtractTo(0, Path("out/secret.txt"));
    ASSERT_FALSE(wrong);
    EXPECT_EQ(asked, 3);
    const TResult<void> cancelled = FZip.ExtractTo(0, Path("out/secret.txt"));
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(cancelled.Error().Code, TErrorCode::ecCancelled);
    EXPECT_TRUE(FileTree(Path("out")).isEmpty());

    // The right one extracts the right bytes and is kept for the archive's other entries.
    answers = {"s3cret"};
    asked = 0;
    ASSERT_TRUE(FZip.ExtractTo(0, Path("out/secret.txt")));
    ASSERT_TRUE(FZip.ExtractTo(1, Path("out/other.txt")));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ReadBytes(Path("out/secret.txt")), secret);
    EXPECT_EQ(ReadBytes(Path("out/other.txt")), "other");

    // A wrong password that passes the format's one-byte check gives data that fails its checksum:
    // the user is asked again, as for any wrong password.
    QByteArray lucky;
    zip_t* raw = zip_open(Path("locked.zip").toLocal8Bit().constData(), ZIP_RDONLY, nullptr);
    ASSERT_NE(raw, nullptr);
    for (int i = 0; lucky.isEmpty() && i < 100000; ++i) {
        const QByteArray guess = "guess" + QByteArray::number(i);
        if (zip_file_t* file = zip_fopen_index_encrypted(raw, 0, 0, guess.constData())) {
            zip_fclose(file);
            lucky = guess;
        }
    }
    zip_close(raw);
    ASSERT_FALSE(lucky.isEmpty());
    TZipArchive fresh;
    ASSERT_TRUE(fresh.Open(Path("locked.zip")));
    answers = {QString::fromLatin1(lucky), "s3cret"};
    asked = 0;
    fresh.SetPassword([&](const QString&, int, QString& password) {
        ++asked;
        password = answers.takeFirst();
        return true;
    });
    ASSERT_TRUE(fresh.ExtractTo(0, Path("again/secret.txt")));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(ReadBytes(Path("again/secret.txt")), secret);
}

TEST_F(TZipArchiveTest, AddedNamesReplaceTheirEntriesAndTheArchiveStaysSound)
{
    REQUIRE_TOOL("unzip");
    const QString archive = Build("add.zip", TZipBuilder()
                                                 .Add("readme.txt", "old one")
                                                 .Add("keep.txt", SampleText(10000))
                                                 .Add("readme.txt", "old twin"));
    ASSERT_TRUE(
        QFile::setPermissions(archive, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QFileDevice::Permissions permissions = QFile::permissions(archive);
    ASSERT_TRUE(WriteBytes(Path("a/b/readme.txt"), "from a/b"));
    ASSERT_TRUE(WriteBytes(Path("c/readme.txt"), "from c"));
    OpenOrFail(archive);
    // Twins still open and extract by index.
    ASSERT_TRUE(FZip.ExtractTo(2, Path("twin.txt")));
    EXPECT_EQ(ReadBytes(Path("twin.txt")), "old twin");

    const TResult<void> added = FZip.AddFiles({{Path("a/b/readme.txt"), "readme.txt"},
                                               {Path("c/readme.txt"), "readme.txt"},
                                               {archive, "add.zip"},
                                               {Path("missing.txt"), "missing.txt"}});
    ASSERT_TRUE(added) << added.Error().Message.toStdString();
    QStringList names;
    for (const TZipEntry& entry : FZip.Entries())
        names << entry.Name;
    EXPECT_EQ(names, (QStringList{"keep.txt", "readme.txt"}));
    ASSERT_TRUE(FZip.ExtractTo(1, Path("readme.txt")));
    EXPECT_EQ(ReadBytes(Path("readme.txt")), "from c");
    EXPECT_TRUE(RunTool("unzip", {"-t", "-q", archive}));
    EXPECT_EQ(RunTool("unzip", {"-p", archive, "keep.txt"}), SampleText(10000));
    EXPECT_EQ(QFile::permissions(archive), permissions);

    // A file that is no zip archive is refused and left alone.
    const QByteArray text = "no zip at all";
    ASSERT_TRUE(WriteBytes(Path("notes.zip"), text));
    EXPECT_FALSE(FZip.Open(Path("notes.zip")));
    EXPECT_FALSE(FZip.IsOpen());
    EXPECT_EQ(ReadBytes(Path("notes.zip")), text);
}

TEST_F(TZipArchiveTest, CancelStopsEarlyAndTheNextOperationCompletes)
{
    TZipBuilderEntry large;
    large.Name = "big.ut2";
    large.Zeros = 200 * 1024 * 1024;
    const QString archive = Build("big.zip", TZipBuilder().Add(large).Add("small.txt", "s"));
    OpenOrFail(archive);
    QDir().mkpath(Path("out"));
    int reports = 0;
    FZip.SetProgress([&](const TZipProgress&) { return ++reports < 5; });
    const TResult<void> cancelled = FZip.ExtractTo(0, Path("out/big.ut2"));
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(cancelled.Error().Code, TErrorCode::ecCancelled);
    EXPECT_EQ(reports, 5);
    EXPECT_TRUE(FileTree(Path("out")).isEmpty());
    FZip.SetProgress(nullptr);
    ASSERT_TRUE(FZip.ExtractTo(0, Path("out/big.ut2")));

    // A cancelled write keeps the archive byte for byte, with no temporary beside it.
    const QByteArray before = ReadBytes(archive);
    const QStringList folder = FileTree(FDir.path());
    ASSERT_TRUE(WriteBytes(Path("out/new.txt"), SampleText(100000)));
    FZip.SetProgress(
        [](const TZipProgress& progress) { return progress.Operation != TZipOperation::zoAdding; });
    const TResult<void> add = FZip.AddFiles({{Path("out/new.txt"), "new.txt"}});
    ASSERT_FALSE(add);
    EXPECT_EQ(add.Error().Code, TErrorCode::ecCancelled);
    EXPECT_EQ(ReadBytes(archive), before);
    QStringList after = FileTree(FDir.path());
    after.removeAll(u"out/new.txt 100000"_s);
    EXPECT_EQ(after, folder);
    EXPECT_EQ(FZip.Count(), 2);
}

TEST_F(TZipArchiveTest, RealArchiveExtractsAsUnzipDoes)
{
    REQUIRE_TOOL("unzip");
    const QString real = RealDataDir() + u"/archives/jsinis.zip"_s;
    if (RealDataDir().isEmpty() || !QFileInfo::exists(real))
        GTEST_SKIP() << "no real game files on this machine";
    OpenOrFail(real);
    ASSERT_EQ(FZip.Count(), 2);
    for (int i = 0; i < FZip.Count(); ++i) {
        const QString name = FZip.Entries()[i].Name;
        ASSERT_TRUE(FZip.ExtractTo(i, Path(name)));
        EXPECT_EQ(RunTool("unzip", {"-p", real, name}), ReadBytes(Path(name)))
            << name.toStdString();
    }
}

} // namespace

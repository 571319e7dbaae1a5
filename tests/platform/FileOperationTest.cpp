#include "FileOperation.h"

#include "TFileProtection.h"
#include "TGameFolder.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class FileOperationTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(FTemp.isValid()); }

    QString Path(const QString& relative) const { return FTemp.filePath(relative); }

    QString Write(const QString& relative, const QByteArray& bytes) const
    {
        EXPECT_TRUE(WriteBytes(Path(relative), bytes));
        return Path(relative);
    }
    QByteArray Read(const QString& relative) const { return ReadBytes(Path(relative)); }
    QStringList Entries(const QString& relative) const
    {
        return QDir(Path(relative))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    static TFileOpRequest Request(TFileOpKind kind, const QStringList& sources,
                                  const QStringList& targets = {})
    {
        TFileOpRequest request;
        request.Kind = kind;
        request.Sources = sources;
        request.Targets = targets;
        return request;
    }

    TTempEnvironment FEnv; // the trash lives in $XDG_DATA_HOME
    QTemporaryDir FTemp;
};

TEST_F(FileOperationTest, CopyOntoItselfFailsAndKeepsTheFile)
{
    const QString file = Write("Maps/DM-Rankin.ut2", "map bytes");
    QFile::link(file, Path("Maps/Alias.ut2"));
    for (const QString& target : {file, Path("Maps"), Path("Maps/Alias.ut2")}) {
        for (TFileOpKind kind : {TFileOpKind::fokCopy, TFileOpKind::fokMove}) {
            TFileOpRequest request = Request(kind, {file}, {target});
            request.ReplaceWithoutAsking = true;
            const TFileOpResult result = RunFileOperation(request, {});
            ASSERT_EQ(result.Items.size(), 1);
            EXPECT_EQ(result.Items[0].Outcome, TFileOpOutcome::fooFailed) << qPrintable(target);
            EXPECT_FALSE(result.Items[0].Error.isEmpty());
            EXPECT_EQ(Read("Maps/DM-Rankin.ut2"), "map bytes");
        }
    }
}

TEST_F(FileOperationTest, ReplaceQuestionDecidesPerFile)
{
    const QString a = Write("src/a.ut2", "new a");
    const QString b = Write("src/b.ut2", "new b");
    const QString c = Write("src/c.ut2", "new c");
    Write("dst/a.ut2", "old a");
    Write("dst/b.ut2", "old b");
    Write("dst/c.ut2", "old c");

    QStringList asked;
    TFileOpCallbacks callbacks;
    QList<TReplaceAnswer> answers{TReplaceAnswer::raNo, TReplaceAnswer::raYes,
                                  TReplaceAnswer::raNo};
    callbacks.AskReplace = [&](const QString&, const QString& target) {
        asked << QFileInfo(target).fileName();
        return answers.takeFirst();
    };
    TFileOpRequest request = Request(TFileOpKind::fokCopy, {a, b, c});
    request.TargetFolder = Path("dst");
    const TFileOpResult result = RunFileOperation(request, callbacks);
    EXPECT_EQ(asked, QStringList({"a.ut2", "b.ut2", "c.ut2"}));
    EXPECT_EQ(result.Items[0].Outcome, TFileOpOutcome::fooSkipped);
    EXPECT_EQ(result.Items[1].Outcome, TFileOpOutcome::fooDone);
    EXPECT_EQ(result.Items[2].Outcome, TFileOpOutcome::fooSkipped);
    EXPECT_FALSE(result.Aborted);
    EXPECT_EQ(Read("dst/a.ut2"), "old a");
    EXPECT_EQ(Read("dst/b.ut2"), "new b");
    EXPECT_EQ(Read("dst/c.ut2"), "old c");
    // Nothing but the targets is left beside them.
    EXPECT_EQ(Entries("dst"), QStringList({"a.ut2", "b.ut2", "c.ut2"}));

    // Unanswered, the question is No.
    const TFileOpResult unanswered = RunFileOperation(request, {});
    EXPECT_EQ(unanswered.Items[0].Outcome, TFileOpOutcome::fooSkipped);
    EXPECT_EQ(Read("dst/a.ut2"), "old a");
}

TEST_F(FileOperationTest, CancelStopsTheRunAndYesToAllStopsAsking)
{
    QStringList sources;
    for (const char* name : {"a", "b", "c"}) {
        sources << Write(QString("src/%1").arg(name), "new");
        Write(QString("dst/%1").arg(name), "old");
    }
    TFileOpRequest request = Request(TFileOpKind::fokCopy, sources);
    request.TargetFolder = Path("dst");

    int questions = 0;
    TFileOpCallbacks callbacks;
    callbacks.AskReplace = [&](const QString&, const QString&) {
        ++questions;
        return TReplaceAnswer::raYesToAll;
    };
    EXPECT_TRUE(RunFileOperation(request, callbacks).AllDone());
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(Read("dst/c"), "new");

    for (const char* name : {"a", "b", "c"})
        Write(QString("dst/%1").arg(name), "old");
    callbacks.AskReplace = [](const QString&, const QString&) { return TReplaceAnswer::raCancel; };
    const TFileOpResult cancelled = RunFileOperation(request, callbacks);
    EXPECT_TRUE(cancelled.Aborted);
    for (const TFileOpItem& item : cancelled.Items)
        EXPECT_EQ(item.Outcome, TFileOpOutcome::fooCancelled);
    EXPECT_EQ(Read("dst/a"), "old");
    EXPECT_EQ(Read("dst/c"), "old");
}

TEST_F(FileOperationTest, AbortThroughProgressLeavesNoPartialFile)
{
    const QByteArray big(3 * 1024 * 1024, 'x');
    const QString first = Write("src/big.bin", big);
    const QString second = Write("src/small.bin", "small");
    Write("dst/big.bin", "previous");
    TFileOpRequest request = Request(TFileOpKind::fokCopy, {first, second});
    request.TargetFolder = Path("dst");
    request.ReplaceWithoutAsking = true;

    qint64 total = 0;
    TFileOpCallbacks callbacks;
    callbacks.Progress = [&](qint64 done, qint64 all) {
        total = all;
        return done < 1024 * 1024;
    };
    const TFileOpResult result = RunFileOperation(request, callbacks);
    EXPECT_EQ(total, big.size() + 5);
    EXPECT_TRUE(result.Aborted);
    EXPECT_EQ(result.Items[0].Outcome, TFileOpOutcome::fooCancelled);
    EXPECT_EQ(result.Items[1].Outcome, TFileOpOutcome::fooCancelled);
    EXPECT_EQ(Read("dst/big.bin"), "previous");
    EXPECT_FALSE(QFile::exists(Path("dst/small.bin")));
    EXPECT_EQ(Entries("dst"), QStringList({"big.bin"}));
}

TEST_F(FileOperationTest, CopiesExactTargetsAndKeepsTheModificationTime)
{
    const QString source = Write("User.ini", "[DefaultPlayer]\r\nName=Player\r\n");
    const QDateTime old = QDateTime::fromSecsSinceEpoch(1100000000);
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    const TFileOpResult result = RunFileOperation(
        Request(TFileOpKind::fokCopy, {source}, {Path("Profiles/New Folder/Mine.ini")}), {});
    ASSERT_TRUE(result.AllDone());
    EXPECT_EQ(Read("Profiles/New Folder/Mine.ini"), "[DefaultPlayer]\r\nName=Player\r\n");
    EXPECT_EQ(QFileInfo(Path("Profiles/New Folder/Mine.ini")).lastModified(), old);
}

TEST_F(FileOperationTest, CopiesAndMovesFoldersWithEverythingInThem)
{
    Write("Pack/Maps/DM-One.ut2", "one");
    Write("Pack/Textures/One.utx", "tex");
    Write("Pack/readme.txt", "hello");
    QDir().mkpath(Path("Pack/Empty"));
    QFile::link(Path("Pack"), Path("Pack/Maps/Loop")); // must not be followed forever

    TFileOpRequest copy = Request(TFileOpKind::fokCopy, {Path("Pack")});
    copy.TargetFolder = Path("Game");
    ASSERT_TRUE(RunFileOperation(copy, {}).AllDone());
    EXPECT_EQ(Read("Game/Pack/Maps/DM-One.ut2"), "one");
    EXPECT_EQ(Read("Game/Pack/Textures/One.utx"), "tex");
    EXPECT_TRUE(QFileInfo(Path("Game/Pack/Empty")).isDir());

    // A folder into itself is refused.
    TFileOpRequest intoItself = Request(TFileOpKind::fokCopy, {Path("Pack")});
    intoItself.TargetFolder = Path("Pack/Maps");
    EXPECT_EQ(RunFileOperation(intoItself, {}).Items[0].Outcome, TFileOpOutcome::fooFailed);
    EXPECT_FALSE(QFileInfo::exists(Path("Pack/Maps/Pack")));

    // Moving onto an existing folder of the same name merges into it.
    Write("Other/Pack/old.txt", "old");
    TFileOpRequest move = Request(TFileOpKind::fokMove, {Path("Game/Pack")});
    move.TargetFolder = Path("Other");
    ASSERT_TRUE(RunFileOperation(move, {}).AllDone());
    EXPECT_EQ(Read("Other/Pack/old.txt"), "old");
    EXPECT_EQ(Read("Other/Pack/readme.txt"), "hello");
    EXPECT_FALSE(QFileInfo::exists(Path("Game/Pack")));
}

TEST_F(FileOperationTest, MovesAndRenamesFilesAndFolders)
{
    const QString source = Write("Demos/match.demo4", "demo");
    Write("Demos/old.demo4", "old");
    ASSERT_TRUE(
        RunFileOperation(Request(TFileOpKind::fokRename, {source}, {Path("Demos/final.demo4")}), {})
            .AllDone());
    EXPECT_FALSE(QFileInfo::exists(source));
    EXPECT_EQ(Read("Demos/final.demo4"), "demo");

    TFileOpCallbacks yes;
    yes.AskReplace = [](const QString&, const QString&) { return TReplaceAnswer::raYes; };
    ASSERT_TRUE(RunFileOperation(Request(TFileOpKind::fokMove, {Path("Demos/final.demo4")},
                                         {Path("Demos/old.demo4")}),
                                 yes)
                    .AllDone());
    EXPECT_EQ(Read("Demos/old.demo4"), "demo");
    EXPECT_FALSE(QFileInfo::exists(Path("Demos/final.demo4")));

    // Across file systems a move copies and deletes, folders with everything in them.
    const QString shot = Write("Other/Shot00001.bmp", "BM bitmap");
    Write("Other/Folder/Inner/x.txt", "x");
    TFileOpRequest request = Request(TFileOpKind::fokMove, {shot, Path("Other/Folder")});
    request.TargetFolder = Path("ScreenShots");
    SimulateCrossDeviceMoves(true);
    const TFileOpResult across = RunFileOperation(request, {});
    SimulateCrossDeviceMoves(false);
    ASSERT_TRUE(across.AllDone());
    EXPECT_EQ(Read("ScreenShots/Shot00001.bmp"), "BM bitmap");
    EXPECT_EQ(Read("ScreenShots/Folder/Inner/x.txt"), "x");
    EXPECT_EQ(Entries("Other"), QStringList());
}

// A link at the target (in a shared game folder, anyone's) is replaced by the new file, never
// written through to the file it points to, by a copy and by a move that has to copy.
TEST_F(FileOperationTest, LinkAtTheTargetIsReplacedNeverWrittenThrough)
{
    QTemporaryDir outside;
    const QString victim = outside.filePath("Victim.u");
    ASSERT_TRUE(WriteBytes(victim, "outside"));
    const QString missing = outside.filePath("Missing.u");
    TFileOpCallbacks yes;
    yes.AskReplace = [](const QString&, const QString&) { return TReplaceAnswer::raYes; };

    for (const bool crossDevice : {false, true}) {
        for (const TFileOpKind kind : {TFileOpKind::fokCopy, TFileOpKind::fokMove}) {
            SCOPED_TRACE(testing::Message() << (kind == TFileOpKind::fokCopy ? "copy" : "move")
                                            << (crossDevice ? " across file systems" : ""));
            QDir(Path("System")).removeRecursively();
            QDir().mkpath(Path("System"));
            ASSERT_TRUE(QFile::link(victim, Path("System/Victim.u")));
            ASSERT_TRUE(QFile::link(missing, Path("System/Dangling.u")));
            const QString a = Write("Cache/A.uxx", "new a");
            const QString b = Write("Cache/B.uxx", "new b");
            SimulateCrossDeviceMoves(crossDevice);
            const TFileOpResult result = RunFileOperation(
                Request(kind, {a, b}, {Path("System/Victim.u"), Path("System/Dangling.u")}), yes);
            SimulateCrossDeviceMoves(false);
            EXPECT_TRUE(result.AllDone());
            EXPECT_EQ(Read("System/Victim.u"), "new a");
            EXPECT_EQ(Read("System/Dangling.u"), "new b");
            EXPECT_FALSE(QFileInfo(Path("System/Victim.u")).isSymLink());
            EXPECT_FALSE(QFileInfo(Path("System/Dangling.u")).isSymLink());
            EXPECT_EQ(ReadBytes(victim), "outside");
            EXPECT_FALSE(QFileInfo::exists(missing));
            EXPECT_EQ(Entries("System"), QStringList({"Dangling.u", "Victim.u"}));
        }
    }
}

TEST_F(FileOperationTest, DeleteGoesToTheTrash)
{
    const QString file = Write("Cache/ABC.uxx", "cached");
    QDir().mkpath(Path("Cache/Folder/Inner"));
    const TFileOpResult result =
        RunFileOperation(Request(TFileOpKind::fokDelete, {file, Path("Cache/Folder")}), {});
    ASSERT_TRUE(result.AllDone()) << qPrintable(result.Items[0].Error);
    EXPECT_FALSE(QFileInfo::exists(file));
    const QString trash = FEnv.DataHome() + "/Trash";
    EXPECT_EQ(ReadBytes(trash + "/files/ABC.uxx"), "cached");
    EXPECT_TRUE(QFileInfo::exists(trash + "/info/ABC.uxx.trashinfo"));
    EXPECT_TRUE(QFileInfo(trash + "/files/Folder/Inner").isDir());
}

TEST_F(FileOperationTest, RefusedTrashNeverDeletesForGood)
{
    const TRefusingTrash refusing(FEnv.DataHome());

    const QString file = Write("ScreenShots/Shot00001.bmp", "keep me");
    QStringList reported;
    TFileOpCallbacks callbacks;
    callbacks.ReportError = [&](const TFileOpItem& item) { reported << item.Error; };
    const TFileOpResult result =
        RunFileOperation(Request(TFileOpKind::fokDelete, {file}), callbacks);
    EXPECT_EQ(result.Items[0].Outcome, TFileOpOutcome::fooFailed);
    EXPECT_EQ(reported.size(), 1);
    EXPECT_EQ(Read("ScreenShots/Shot00001.bmp"), "keep me");

    QString error;
    EXPECT_FALSE(MoveToTrash(file, &error));
    EXPECT_TRUE(error.contains("Shot00001.bmp"));
    EXPECT_EQ(Read("ScreenShots/Shot00001.bmp"), "keep me");
}

TEST_F(FileOperationTest, DeleteForGoodAndItsConfirmation)
{
    const QString file = Write("cache.xml", "<cache/>");
    TFileOpRequest request = Request(TFileOpKind::fokDelete, {file});
    request.ToTrash = false;
    request.ConfirmDelete = true;
    TFileOpCallbacks callbacks;
    callbacks.ConfirmDelete = [](const QStringList&, bool toTrash) {
        EXPECT_FALSE(toTrash);
        return false;
    };
    const TFileOpResult declined = RunFileOperation(request, callbacks);
    EXPECT_EQ(declined.Items[0].Outcome, TFileOpOutcome::fooSkipped);
    EXPECT_TRUE(QFileInfo::exists(file));

    callbacks.ConfirmDelete = [](const QStringList&, bool) { return true; };
    EXPECT_TRUE(RunFileOperation(request, callbacks).AllDone());
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(QFileInfo::exists(FEnv.Trashed("cache.xml")));

    const TFileOpResult missing = RunFileOperation(request, callbacks);
    EXPECT_EQ(missing.Items[0].Outcome, TFileOpOutcome::fooFailed);
}

TEST_F(FileOperationTest, MismatchedTargetsFailEveryFile)
{
    const QString a = Write("a", "a");
    const QString b = Write("b", "b");
    const TFileOpResult result = RunFileOperation(
        Request(TFileOpKind::fokCopy, {a, b}, {Path("x"), Path("y"), Path("z")}), {});
    EXPECT_TRUE(result.AnyFailed());
    EXPECT_EQ(result.Items[1].Outcome, TFileOpOutcome::fooFailed);
    EXPECT_FALSE(QFileInfo::exists(Path("x")));
}

} // namespace

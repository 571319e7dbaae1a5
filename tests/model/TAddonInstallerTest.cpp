#include "TAddonInstaller.h"
#include "GamePath.h"
#include "TGameFolder.h"
#include "TInstallSummary.h"
#include "TShippedSettings.h"
#include "TZipArchive.h"
#include "TZipBuilder.h"
#include "TestFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QQueue>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

// The shipped rules (".ut2" Maps, ".u" System, ".utx" Textures, anything unknown Help) and one
// rename rule.
const QList<QPair<QByteArray, QByteArray>> KRenames = {
    {"<renames>", "<renames><rename mask=\"renameme.u\">Renamed.u</rename>"}};

class TAddonInstallerTest : public ::testing::Test
{
protected:
    TAddonInstallerTest()
        : FSettings(FGame.Root(), KRenames)
        , FRoad(*FSettings.Get(), FZip)
    {}

    // The scripted question: each answer in turn ('y' Yes, 'n' No, 'a' Yes to All, 'c' Cancel);
    // the targets asked about are recorded relative to the game folder.
    TOverwriteCallback Confirm()
    {
        return [this](const QString& fileName, bool& overwrite, bool& yesToAll, bool& cancel) {
            FAsked << Game(fileName);
            const char answer = FAnswers.isEmpty() ? 'c' : FAnswers.dequeue();
            overwrite = answer == 'y';
            yesToAll = yesToAll || answer == 'a';
            cancel = answer == 'c';
        };
    }

    QString Game(const QString& path) const { return QDir(FGame.Root()).relativeFilePath(path); }

    QString Archive(const QString& name, const TZipBuilder& builder) const
    {
        const QString path = FWork.filePath(name);
        EXPECT_TRUE(builder.Write(path));
        return path;
    }

    QString Plain(const QString& relative, const QByteArray& bytes) const
    {
        EXPECT_TRUE(WriteBytes(FWork.filePath(relative), bytes));
        return FWork.filePath(relative);
    }

    // Each row as "source file -> target (relative to the game folder) +" (installed) or "-".
    QStringList Rows(const TInstallSummary& summary) const
    {
        QStringList rows;
        for (int i = 0; i < summary.GetCount(); ++i) {
            const TInstallSummaryItem* item = summary.GetItem(i);
            const QString target = item->TargetFile.isEmpty() ? QString() : Game(item->TargetFile);
            rows << u"%1 -> %2 %3"_s.arg(EntryFileName(item->SourceFile), target,
                                         item->Installed ? u"+"_s : u"-"_s);
        }
        return rows;
    }

    TGameFolder FGame;
    QTemporaryDir FWork;
    TShippedSettings FSettings;
    TZipArchive FZip;
    TAddonInstaller FRoad;
    QQueue<char> FAnswers;
    QStringList FAsked;
};

TEST_F(TAddonInstallerTest, EntriesLandFlatByTheirRulesAndHostileOnesWriteNothing)
{
    FGame.WriteFile(u"System/foo.U"_s, "old");
    const QString archive = Archive(u"a.zip"_s, TZipBuilder()
                                                    .Add("Maps/DM-Foo.ut2", "map")
                                                    .AddFolder("Docs/")
                                                    .Add("Docs/readme.txt", "read me")
                                                    .Add("../../x/Foo.u", "new code")
                                                    .Add("..", "dots")
                                                    .Add("x.u/", "a folder's name, with data")
                                                    .AddLink("link.u", "../../../../etc/passwd")
                                                    .Add("C:\\x\\Pic.utx", "texture")
                                                    .Add("/abs/Bar.u", "bar"));
    const QStringList before = FileTree(FGame.Root());
    TInstallSummary summary;
    FAnswers << 'y';
    ASSERT_TRUE(FRoad.InstallArchives({archive}, summary, Confirm()));

    // The existing file is found in any letter case: asked about and replaced, never doubled.
    EXPECT_EQ(FAsked, QStringList{"System/foo.U"});
    EXPECT_EQ(Rows(summary),
              (QStringList{"DM-Foo.ut2 -> Maps/DM-Foo.ut2 +", "readme.txt -> Help/readme.txt +",
                           "Foo.u -> System/foo.U +", ".. ->  -", " ->  -", "link.u ->  -",
                           "Pic.utx -> Textures/Pic.utx +", "Bar.u -> System/Bar.u +"}));
    EXPECT_EQ(summary.GetItem(2)->SourceFile, u"..\\..\\x\\Foo.u"_s);
    EXPECT_EQ(summary.GetItem(2)->SourceArchive, archive);
    EXPECT_EQ(summary.GetItem(4)->SourceFile, u"x.u\\"_s);
    EXPECT_FALSE(summary.Aborted());
    EXPECT_EQ(FGame.ReadFile(u"System/foo.U"_s), QByteArray("new code"));
    QStringList added = FileTree(FGame.Root());
    for (const QString& item : before)
        added.removeOne(item);
    EXPECT_EQ(added, (QStringList{"Help/readme.txt 7", "Maps/DM-Foo.ut2 3", "System/Bar.u 3",
                                  "System/foo.U 8", "Textures/Pic.utx 7"}));
}

TEST_F(TAddonInstallerTest, EachEntryFollowsItsOwnAnswer)
{
    for (const char* name : {"Yes.u", "No.u", "All.u", "Later.u"})
        FGame.WriteFile(u"System/"_s + QLatin1String(name), "old");
    const QString archive = Archive(u"a.zip"_s, TZipBuilder()
                                                    .Add("Yes.u", "new")
                                                    .Add("No.u", "new")
                                                    .Add("All.u", "new")
                                                    .Add("Later.u", "new"));
    TInstallSummary summary;
    FAnswers << 'y' << 'n' << 'a';
    ASSERT_TRUE(FRoad.InstallArchives({archive}, summary, Confirm()));

    // Yes holds for its entry alone; No keeps the old file.
    EXPECT_EQ(FAsked, (QStringList{"System/Yes.u", "System/No.u", "System/All.u"}));
    EXPECT_EQ(Rows(summary),
              (QStringList{"Yes.u -> System/Yes.u +", "No.u -> System/No.u -",
                           "All.u -> System/All.u +", "Later.u -> System/Later.u +"}));
    EXPECT_FALSE(summary.Aborted());
    EXPECT_EQ(FGame.ReadFile(u"System/No.u"_s), QByteArray("old"));
    for (const char* name : {"Yes.u", "All.u", "Later.u"})
        EXPECT_EQ(FGame.ReadFile(u"System/"_s + QLatin1String(name)), QByteArray("new")) << name;
}

TEST_F(TAddonInstallerTest, ADamagedEntryKeepsTheOldFileAndStopsTheRun)
{
    FGame.WriteFile(u"Maps/DM-Foo.ut2"_s, "the old map");
    TZipBuilderEntry damaged;
    damaged.Name = "DM-Foo.ut2";
    damaged.Data = SampleText(100000);
    damaged.Crc = 0x12345678;
    const QString first =
        Archive(u"first.zip"_s,
                TZipBuilder().Add("Before.u", "before").Add(damaged).Add("After.u", "after"));
    const QString second = Archive(u"second.zip"_s, TZipBuilder().Add("Next.u", "x"));
    const QStringList maps = FileTree(FGame.Path(u"Maps"_s));
    // What a killed install left beside a target goes with the next install into that folder.
    QFile stale(FGame.WriteFile(u"Maps/.DM-Old.ut2.kova-Stale1"_s, "half"));
    ASSERT_TRUE(stale.open(QIODevice::ReadWrite) &&
                stale.setFileTime(QDateTime::currentDateTime().addSecs(-600),
                                  QFileDevice::FileModificationTime));
    stale.close();
    TInstallSummary summary;
    FAnswers << 'y';
    const TResult<void> result = FRoad.InstallFileList({first, second}, summary, Confirm());

    ASSERT_FALSE(result);
    EXPECT_TRUE(result.Error().Message.contains(u"DM-Foo.ut2"_s));
    EXPECT_TRUE(summary.Aborted());
    // Every question is asked before the first write, so what the failure stopped has its row.
    EXPECT_EQ(Rows(summary),
              (QStringList{"Before.u -> System/Before.u +", "DM-Foo.ut2 -> Maps/DM-Foo.ut2 -",
                           "After.u -> System/After.u -", "Next.u -> System/Next.u -"}));
    // The old file byte for byte and no temporary beside it; nothing after the failure.
    EXPECT_EQ(FGame.ReadFile(u"Maps/DM-Foo.ut2"_s), QByteArray("the old map"));
    EXPECT_EQ(FileTree(FGame.Path(u"Maps"_s)), maps);
    EXPECT_FALSE(QFile::exists(FGame.Path(u"System/After.u"_s)));
    EXPECT_FALSE(QFile::exists(FGame.Path(u"System/Next.u"_s)));
}

// Each archive fits alone, the run does not: nothing is written. With room for all, all is.
TEST_F(TAddonInstallerTest, ARunThatCannotFitWritesNothing)
{
    TZipBuilderEntry big;
    big.Name = "One.u";
    big.Zeros = 600 * 1024;
    const QString one = Archive(u"one.zip"_s, TZipBuilder().Add(big));
    big.Name = "Two.utx";
    const QString two = Archive(u"two.zip"_s, TZipBuilder().Add(big));
    const QString plain = Plain(u"Three.u"_s, SampleText(100 * 1024));
    const QStringList before = FileTree(FGame.Root());
    qint64 free = 1024 * 1024;
    FZip.SetFreeSpace([&](const QString&) { return free; });
    TInstallSummary summary;
    const TResult<void> full = FRoad.InstallFileList({one, plain, two}, summary, Confirm());
    ASSERT_FALSE(full);
    EXPECT_TRUE(summary.Aborted());
    EXPECT_FALSE(summary.Succeeded());
    EXPECT_EQ(FileTree(FGame.Root()), before);
    // An archive that cannot be read stops the run, and what came before still does not fit:
    // the user hears of both.
    const QString broken = Plain(u"broken.zip"_s, "no archive");
    TInstallSummary both;
    const TResult<void> stopped = FRoad.InstallFileList({one, plain, two, broken}, both, Confirm());
    ASSERT_FALSE(stopped);
    EXPECT_TRUE(stopped.Error().Message.contains(broken)) << qPrintable(stopped.Error().Message);
    EXPECT_TRUE(stopped.Error().Message.contains(full.Error().Message));
    EXPECT_EQ(FileTree(FGame.Root()), before);

    free = 2 * 1024 * 1024;
    TInstallSummary room;
    ASSERT_TRUE(FRoad.InstallFileList({one, plain, two}, room, Confirm()));
    EXPECT_EQ(Rows(room), (QStringList{"One.u -> System/One.u +", "Three.u -> System/Three.u +",
                                       "Two.utx -> Textures/Two.utx +"}));
    EXPECT_TRUE(room.Succeeded());
}

// Each new copy is written before the file it replaces goes: replacing needs room for one file
// at a time, while new files need room for all, each in whole blocks, plain files included.
TEST_F(TAddonInstallerTest, FreeSpaceIsJudgedAsTheRunWrites)
{
    constexpr qint64 KMiB = 1024 * 1024;
    for (const char* name : {"A.u", "B.u", "C.u"})
        FGame.WriteFile(u"System/"_s + QLatin1String(name), QByteArray(4 * KMiB, 'o'));
    const QString replacing = Archive(u"r.zip"_s, TZipBuilder()
                                                      .Add({.Name = "A.u", .Zeros = 4 * KMiB})
                                                      .Add({.Name = "B.u", .Zeros = 4 * KMiB}));
    const QString plain = Plain(u"C.u"_s, QByteArray(4 * KMiB, 'n'));
    qint64 free = 8000000;
    FZip.SetFreeSpace([&](const QString&) { return free; });
    TInstallSummary replaced;
    FAnswers << 'a' << 'y';
    ASSERT_TRUE(FRoad.InstallFileList({replacing, plain}, replaced, Confirm()));
    EXPECT_TRUE(replaced.Succeeded());
    EXPECT_TRUE(FGame.ReadFile(u"System/B.u"_s) == QByteArray(4 * KMiB, '\0'));
    EXPECT_TRUE(FGame.ReadFile(u"System/C.u"_s) == QByteArray(4 * KMiB, 'n'));

    // 2 MiB and 1 MiB + 1 byte fit 3 MiB + 2 KiB, but not in whole 4 KiB blocks.
    const QString fresh =
        Archive(u"n.zip"_s, TZipBuilder().Add({.Name = "N.u", .Zeros = 2 * KMiB}));
    const QString odd = Plain(u"Odd.u"_s, QByteArray(KMiB + 1, 'p'));
    free = 3 * KMiB + 2048;
    const QStringList before = FileTree(FGame.Root());
    TInstallSummary full;
    EXPECT_FALSE(FRoad.InstallFileList({fresh, odd}, full, Confirm()));
    EXPECT_EQ(FileTree(FGame.Root()), before);
}

// A size no data can make would wrap the sum of the run's sizes and lift the bound of what the
// entry writes: the archive is damaged, and the run writes nothing, its plain file included.
TEST_F(TAddonInstallerTest, ImpossibleDeclaredSizesRefuseTheRun)
{
    const TZipBuilderEntry huge{
        .Name = "Huge.u", .Data = "x", .DeclaredSize = std::numeric_limits<qint64>::max()};
    const QString archive = Archive(u"huge.zip"_s, TZipBuilder().Add("Good.u", "good").Add(huge));
    const QString plain = Plain(u"Plain.u"_s, QByteArray(2 * 1024 * 1024, 'p'));
    qint64 free = 1024 * 1024;
    FZip.SetFreeSpace([&](const QString&) { return free; });
    const QStringList before = FileTree(FGame.Root());
    TInstallSummary tight;
    ASSERT_FALSE(FRoad.InstallFileList({plain, archive}, tight, Confirm()));
    EXPECT_EQ(FileTree(FGame.Root()), before);

    free = qint64(1) << 40;
    TInstallSummary roomy;
    const TResult<void> refused = FRoad.InstallFileList({plain, archive}, roomy, Confirm());
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.Error().Message.contains(u"Huge.u"_s));
    EXPECT_EQ(FileTree(FGame.Root()), before);
}

// The file asked about at the cancel is kept, and what was not reached is listed as such.
TEST_F(TAddonInstallerTest, PlainFilesAcceptedBeforeACancelAreCopied)
{
    QStringList files;
    for (const char* name : {"One.u", "Two.u", "Three.u", "Four.u"}) {
        FGame.WriteFile(u"System/"_s + QLatin1String(name), "old");
        files << Plain(QLatin1String(name), "new");
    }
    TInstallSummary summary;
    FAnswers << 'y' << 'y' << 'c';
    ASSERT_TRUE(FRoad.InstallFileList(files, summary, Confirm()));

    EXPECT_EQ(FAsked.size(), 3);
    EXPECT_TRUE(summary.Aborted());
    EXPECT_EQ(Rows(summary),
              (QStringList{"One.u -> System/One.u +", "Two.u -> System/Two.u +",
                           "Three.u -> System/Three.u -", "Four.u -> System/Four.u -"}));
    EXPECT_EQ(summary.GetItem(2)->Outcome, TInstallOutcome::ioKept);
    EXPECT_EQ(summary.GetItem(3)->Outcome, TInstallOutcome::ioFailed);
    EXPECT_EQ(summary.GetItem(0)->SourceArchive, WithTrailingSeparator(FWork.path()));
    EXPECT_EQ(FGame.ReadFile(u"System/Two.u"_s), QByteArray("new"));
    EXPECT_EQ(FGame.ReadFile(u"System/Three.u"_s), QByteArray("old"));
    EXPECT_EQ(FGame.ReadFile(u"System/Four.u"_s), QByteArray("old"));
}

TEST_F(TAddonInstallerTest, ATargetTakenEarlierInTheRunIsAskedAbout)
{
    const QStringList files = {Plain(u"a/Foo.u"_s, "from a"), Plain(u"b/Foo.u"_s, "from b")};
    {
        TInstallSummary summary;
        FAnswers << 'n';
        ASSERT_TRUE(FRoad.InstallFileList(files, summary, Confirm()));
        EXPECT_EQ(FAsked, QStringList{"System/Foo.u"});
        EXPECT_EQ(Rows(summary),
                  (QStringList{"Foo.u -> System/Foo.u +", "Foo.u -> System/Foo.u -"}));
        EXPECT_EQ(FGame.ReadFile(u"System/Foo.u"_s), QByteArray("from a"));
    }
    ASSERT_TRUE(QFile::remove(FGame.Path(u"System/Foo.u"_s)));
    {
        // Yes: the later file takes the target, and only its row reads installed.
        TInstallSummary summary;
        FAnswers << 'y';
        ASSERT_TRUE(FRoad.InstallFileList(files, summary, Confirm()));
        EXPECT_EQ(Rows(summary),
                  (QStringList{"Foo.u -> System/Foo.u -", "Foo.u -> System/Foo.u +"}));
        EXPECT_EQ(FGame.ReadFile(u"System/Foo.u"_s), QByteArray("from b"));
    }
}

TEST_F(TAddonInstallerTest, AFileThatIsItsOwnTargetStaysAndRenameRulesNameTargets)
{
    const QString own = FGame.WriteFile(u"System/Own.u"_s, "own");
    const QString renamed = Plain(u"RenameMe.U"_s, "renamed");
    const QString inHelp = FGame.WriteFile(u"Help/Guide.txt"_s, "guide");
    TInstallSummary summary;
    ASSERT_TRUE(FRoad.InstallFileList({own, renamed, inHelp}, summary, Confirm()));

    EXPECT_TRUE(FAsked.isEmpty());
    EXPECT_FALSE(summary.Aborted());
    EXPECT_EQ(Rows(summary),
              (QStringList{"Own.u -> System/Own.u -", "RenameMe.U -> System/Renamed.u +",
                           "Guide.txt -> Help/Guide.txt -"}));
    EXPECT_EQ(FGame.ReadFile(u"System/Own.u"_s), QByteArray("own"));
    EXPECT_EQ(FGame.ReadFile(u"System/Renamed.u"_s), QByteArray("renamed"));
    EXPECT_EQ(FGame.ReadFile(u"Help/Guide.txt"_s), QByteArray("guide"));
}

} // namespace

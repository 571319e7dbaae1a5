#include "TUT2003Statistics.h"

#include "TGameFolder.h"
#include "TShippedSettings.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class StatisticsTest : public ::testing::Test
{
protected:
    void SetUp() override { FGame.WriteFile(u"System/xplayersL1.upl"_s, QByteArray()); }
    TKOVASettings* Settings()
    {
        if (!FSettings)
            FSettings = std::make_unique<TShippedSettings>(FGame.Root());
        return FSettings->Get();
    }

    void Write(const QString& relative, qint64 size)
    {
        FGame.WriteFile(relative, QByteArray(size, 'x'));
    }

    // Every regular file below the game folder, links not followed: what "all files" must give.
    TFileStatistics AllFilesOnDisk() const
    {
        TFileStatistics stats;
        QDirIterator it(FGame.Root(), QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            if (it.fileInfo().isSymLink())
                continue;
            ++stats.Count;
            stats.Size += it.fileInfo().size();
        }
        return stats;
    }

    TTempEnvironment FEnvironment;
    TGameFolder FGame;
    std::unique_ptr<TShippedSettings> FSettings;
};

} // namespace

TEST_F(StatisticsTest, CountsTheFiveGroupsOfAKnownTree)
{
    Write(u"System/Core.u"_s, 100);
    Write(u"System/Engine.U"_s, 50);
    Write(u"System/Folder.u/Inner.u"_s, 9); // a folder is no add-on
    Write(u"Maps/DM-Test.ut2"_s, 1000);
    Write(u"Maps/Sub/DM-Deep.ut2"_s, 10); // only in the all-files group
    Write(u"ScreenShots/Shot00001.bmp"_s, 30);
    Write(u"ScreenShots/Shot1.bmp"_s, 5);
    Write(u"Demos/a.demo4"_s, 7);
    Write(u"Demos/b.DEMO4"_s, 8);
    Write(u"Demos/c.txt"_s, 1);
    // A demo above 4 GiB counts with its full size (sparse: no disk space taken).
    QFile huge(FGame.Path(u"Demos/huge.demo4"_s));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    const qint64 hugeSize = 5 * (qint64(1) << 30);
    ASSERT_TRUE(huge.resize(hugeSize));
    huge.close();
    const TFileStatistics onDisk = AllFilesOnDisk();

    // A link back to the game folder must not loop, a link to a folder elsewhere is not
    // followed, and a link to a map counts it once.
    ASSERT_TRUE(QFile::link(FGame.Root(), FGame.Path(u"Maps/Loop"_s)));
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile(elsewhere.filePath(u"Big.ut2"_s)).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(elsewhere.path(), FGame.Path(u"Maps/Elsewhere"_s)));
    ASSERT_TRUE(QFile::link(FGame.Path(u"Maps/DM-Test.ut2"_s), FGame.Path(u"Maps/Link.ut2"_s)));

    TUT2003Statistics statistics(*Settings());
    TFileStatistics all, addOns, maps, shots, demos;
    int firstRun = -1;
    statistics.GetAll(all, addOns, maps, shots, demos, firstRun);
    EXPECT_EQ(all, onDisk);
    EXPECT_EQ(addOns, (TFileStatistics{2, 150}));
    EXPECT_EQ(maps, (TFileStatistics{1, 1000}));
    EXPECT_EQ(shots, (TFileStatistics{1, 30}));
    EXPECT_EQ(demos, (TFileStatistics{3, 15 + hugeSize}));
    EXPECT_EQ(firstRun, 3369);

    std::array<TFileStatistics, 5> records;
    records.fill(TFileStatistics{9, 9});
    statistics.Collect(TUT2003Statistics::KAddOns, records);
    EXPECT_EQ(records[0], TFileStatistics());
    EXPECT_EQ(records[1], addOns);
}

TEST_F(StatisticsTest, MissingFoldersAndVersionGiveZero)
{
    ASSERT_TRUE(QDir(FGame.Path(u"Demos"_s)).removeRecursively());
    FGame.WriteFile(u"System/UT2004.ini"_s, "[FirstRun]\r\nFirstRun=soon\r\n");
    TUT2003Statistics statistics(*Settings());
    TFileStatistics all, addOns, maps, shots, demos;
    int firstRun = -1;
    statistics.GetAll(all, addOns, maps, shots, demos, firstRun);
    EXPECT_EQ(demos, TFileStatistics());
    EXPECT_EQ(firstRun, 0);
}

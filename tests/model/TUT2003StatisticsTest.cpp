#include "TUT2003Statistics.h"

#include "TGameFolder.h"
#include "TKOVASettings.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class StatisticsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FGame.WriteFile(QStringLiteral("System/xplayersL1.upl"), QByteArray());
        QFile shipped(QStringLiteral(KOVA_SOURCE_DIR "/data/settings.xml"));
        ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
        QByteArray bytes = shipped.readAll();
        bytes.replace("<utdir></utdir>", "<utdir>" + FGame.Root().toUtf8() + "</utdir>");
        QFile file(FProgram.filePath(QStringLiteral("settings.xml")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    TKOVASettings* Settings()
    {
        if (!FSettings) {
            FSettings = std::make_unique<TKOVASettings>(
                FProgram.path(), FProgram.filePath(QStringLiteral("settings.xml")));
            if (const TResult<void> loaded = FSettings->LoadFromFile(); !loaded)
                ADD_FAILURE() << loaded.Error().Message.toStdString();
        }
        return FSettings.get();
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
    QTemporaryDir FProgram;
    std::unique_ptr<TKOVASettings> FSettings;
};

} // namespace

TEST_F(StatisticsTest, CountsTheFiveGroupsOfAKnownTree)
{
    Write(QStringLiteral("System/Core.u"), 100);
    Write(QStringLiteral("System/Engine.U"), 50);
    Write(QStringLiteral("System/Folder.u/Inner.u"), 9); // a folder is no add-on
    Write(QStringLiteral("Maps/DM-Test.ut2"), 1000);
    Write(QStringLiteral("Maps/Sub/DM-Deep.ut2"), 10); // only in the all-files group
    Write(QStringLiteral("ScreenShots/Shot00001.bmp"), 30);
    Write(QStringLiteral("ScreenShots/Shot1.bmp"), 5);
    Write(QStringLiteral("Demos/a.demo4"), 7);
    Write(QStringLiteral("Demos/b.DEMO4"), 8);
    Write(QStringLiteral("Demos/c.txt"), 1);
    // A demo above 4 GiB counts with its full size (sparse: no disk space taken).
    QFile huge(FGame.Path(QStringLiteral("Demos/huge.demo4")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    const qint64 hugeSize = 5 * (qint64(1) << 30);
    ASSERT_TRUE(huge.resize(hugeSize));
    huge.close();
    const TFileStatistics onDisk = AllFilesOnDisk();

    // A link back to the game folder must not loop, a link to a folder elsewhere is not
    // followed, and a link to a map counts it once.
    ASSERT_TRUE(QFile::link(FGame.Root(), FGame.Path(QStringLiteral("Maps/Loop"))));
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile(elsewhere.filePath(QStringLiteral("Big.ut2"))).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(elsewhere.path(), FGame.Path(QStringLiteral("Maps/Elsewhere"))));
    ASSERT_TRUE(QFile::link(FGame.Path(QStringLiteral("Maps/DM-Test.ut2")),
                            FGame.Path(QStringLiteral("Maps/Link.ut2"))));

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
    statistics.Collect(0, records);
    for (const TFileStatistics& record : records)
        EXPECT_EQ(record, TFileStatistics());
    statistics.Collect(TUT2003Statistics::KAddOns, records);
    EXPECT_EQ(records[0], TFileStatistics());
    EXPECT_EQ(records[1], addOns);
    EXPECT_EQ(records[2], TFileStatistics());
}

TEST_F(StatisticsTest, MissingFoldersAndVersionGiveZero)
{
    ASSERT_TRUE(QDir(FGame.Path(QStringLiteral("Demos"))).removeRecursively());
    FGame.WriteFile(QStringLiteral("System/UT2004.ini"), "[FirstRun]\r\nFirstRun=soon\r\n");
    TUT2003Statistics statistics(*Settings());
    TFileStatistics all, addOns, maps, shots, demos;
    int firstRun = -1;
    statistics.GetAll(all, addOns, maps, shots, demos, firstRun);
    EXPECT_EQ(demos, TFileStatistics());
    EXPECT_EQ(firstRun, 0);

    FGame.WriteFile(QStringLiteral("System/UT2004.ini"), "[Engine.Engine]\r\nLanguage=int\r\n");
    statistics.GetAll(all, addOns, maps, shots, demos, firstRun);
    EXPECT_EQ(firstRun, 0);
}

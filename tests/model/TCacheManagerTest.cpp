#include "TCacheManager.h"
#include "ScriptedShellUi.h"
#include "TFileProtection.h"
#include "TGameFolder.h"
#include "TShippedSettings.h"
#include "TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

using TOutcome = TCacheExtractOutcome;

// What an extraction run did; a test failure when it could not run at all.
TCacheExtractResult Ran(const TResult<TCacheExtractResult>& result)
{
    if (!result) {
        ADD_FAILURE() << result.Error().Message.toStdString();
        return {};
    }
    return *result;
}

int ExtractedCount(const TCacheExtractResult& result)
{
    return int(
        std::count_if(result.Items.begin(), result.Items.end(), [](const TCacheExtractItem& item) {
            return item.Outcome == TOutcome::ceoExtracted;
        }));
}

class TCacheTest : public ::testing::Test
{
protected:
    TCacheTest()
        : FSettings(FGame.Root())
    {}

    TSettingsRef Ref() const
    {
        return [this] { return FSettings.Get(); };
    }
    QString WriteIndex(const QByteArray& bytes) const
    {
        return FGame.WriteFile(u"Cache/cache.ini"_s, bytes);
    }
    QString WriteData(const QString& guid, const QByteArray& bytes = "data") const
    {
        return FGame.WriteFile(u"Cache/"_s + guid + u".uxx"_s, bytes);
    }
    QByteArray Index() const { return FGame.ReadFile(u"Cache/cache.ini"_s); }
    QStringList Guids(const TCacheManager& cache) const
    {
        QStringList guids;
        for (int i = 0; i < cache.GetCount(); ++i)
            guids.append(cache.GetItem(i)->GUID);
        return guids;
    }
    // Every file below the game folder (and its parent) named Name.
    QStringList FilesNamed(const QString& name) const
    {
        QStringList found;
        QDirIterator it(QFileInfo(FGame.Root()).absolutePath(), QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (QFileInfo(path).fileName() == name)
                found.append(path);
        }
        return found;
    }

    TTempEnvironment FEnvironment;
    TGameFolder FGame;
    TShippedSettings FSettings;
};

const QByteArray KIndex = "[Cache]\r\n"
                          "AAAA-1=Alpha.u\r\n"
                          "BBBB-1=Beta.utx\r\n"
                          "; the game never writes comments, but they stay\r\n"
                          "CCCC-2=DM-Gamma.ut2\r\n"
                          "\r\n"
                          "[Other]\r\n"
                          "AAAA-1=Alpha.u\r\n";

TEST_F(TCacheTest, ExtractAndPurgeRemoveOnlyTheirLinesFromTheIndex)
{
    WriteIndex(KIndex);
    WriteData("AAAA-1", "alpha");
    WriteData("cccc-2", "gamma"); // found without regard to letter case
    TCacheManager cache(Ref());
    ASSERT_EQ(Guids(cache), (QStringList{"AAAA-1", "BBBB-1", "CCCC-2"}));
    EXPECT_EQ(cache.GetItem(1)->FileName, "Beta.utx");

    // A copy leaves the data file without its key.
    TCacheExtractResult result = Ran(cache.Extract(0, false));
    ASSERT_EQ(result.Items.size(), 1);
    EXPECT_EQ(result.Items[0].Outcome, TOutcome::ceoExtracted);
    EXPECT_EQ(FGame.ReadFile("System/Alpha.u"), "alpha");
    EXPECT_TRUE(QFile::exists(FGame.Path("Cache/AAAA-1.uxx")));
    EXPECT_EQ(Index(), QByteArray(KIndex).replace("[Cache]\r\nAAAA-1=Alpha.u\r\n", "[Cache]\r\n"));
    EXPECT_EQ(Guids(cache), (QStringList{"BBBB-1", "CCCC-2"}));

    // A missing data file is skipped by Extract and dropped, key and all, by the purge.
    EXPECT_EQ(Ran(cache.Extract(0, true)).Items[0].Outcome, TOutcome::ceoNoFile);
    EXPECT_EQ(cache.PurgeMissing().ValueOr(-1), 1);
    EXPECT_EQ(Index(), "[Cache]\r\n"
                       "; the game never writes comments, but they stay\r\n"
                       "CCCC-2=DM-Gamma.ut2\r\n"
                       "\r\n"
                       "[Other]\r\n"
                       "AAAA-1=Alpha.u\r\n");
    EXPECT_EQ(cache.PurgeMissing().ValueOr(-1), 0);

    // A move takes the data file along.
    EXPECT_EQ(Ran(cache.Extract(0, true)).Items[0].Target, FGame.Path("Maps/DM-Gamma.ut2"));
    EXPECT_EQ(FGame.ReadFile("Maps/DM-Gamma.ut2"), "gamma");
    EXPECT_FALSE(QFile::exists(FGame.Path("Cache/cccc-2.uxx")));
    EXPECT_EQ(cache.GetCount(), 0);
    EXPECT_FALSE(Index().contains("CCCC-2"));
}

TEST_F(TCacheTest, ExtractAllSkipsWhatCannotGoAndKeepsItsKeys)
{
    WriteIndex("[Cache]\r\nMISS-1=First.u\r\nNOIN-1=Readme.xyz\r\nGOOD-1=Good.u\r\n"
               "TEXT-1=Good.utx\r\n");
    for (const char* guid : {"NOIN-1", "GOOD-1", "TEXT-1"})
        WriteData(guid);
    FSettings->SetInstallUnknownContent(
        TUnknownContentMode::ucmNoInstall); // ".xyz" has no folder now
    TCacheManager cache(Ref());
    const TCacheExtractResult result = Ran(cache.ExtractAll(true));
    ASSERT_EQ(result.Items.size(), 4);
    EXPECT_EQ(result.Items[0].Outcome, TOutcome::ceoNoFile);
    EXPECT_EQ(result.Items[1].Outcome, TOutcome::ceoNoInstall);
    EXPECT_EQ(ExtractedCount(result), 2);
    EXPECT_TRUE(QFile::exists(FGame.Path("System/Good.u")));
    EXPECT_TRUE(QFile::exists(FGame.Path("Textures/Good.utx")));
    EXPECT_EQ(Guids(cache), (QStringList{"MISS-1", "NOIN-1"}));
    EXPECT_EQ(Index(), "[Cache]\r\nMISS-1=First.u\r\nNOIN-1=Readme.xyz\r\n");
    EXPECT_TRUE(QFile::exists(FGame.Path("Cache/NOIN-1.uxx")));
}

TEST_F(TCacheTest, HostileRecordedNamesInstallNothingAnywhere)
{
    const QByteArray index = "[Cache]\n"
                             "EVIL-1=../evil.u\n"
                             "EVIL-2=..\\evil.u\n"
                             "EVIL-3=Maps/evil.u\n"
                             "EVIL-4=C:evil.u\n"
                             "EVIL-5=..\n"
                             "EVIL-6=\n"
                             "EVIL-7=evil\x01.u\n"
                             "../System/Core=Core.u\n"
                             "LINK-1=Linked.u\n";
    WriteIndex(index);
    for (int i = 1; i <= 7; ++i)
        WriteData(u"EVIL-%1"_s.arg(i), "evil");
    FGame.WriteFile("System/Core.uxx", "not a cache file");
    // The game's data files are plain files; a link would put what it points to in their place.
    const QString secret = FEnvironment.Root() + "/secret";
    {
        QFile file(secret);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("secret");
    }
    ASSERT_TRUE(QFile::link(secret, FGame.Path("Cache/LINK-1.uxx")));
    TCacheManager cache(Ref());
    ASSERT_EQ(cache.GetCount(), 9);
    EXPECT_FALSE(cache.GetItem(7)->CacheFileExists()); // its GUID points out of the folder

    const TCacheExtractResult copied = Ran(cache.Extract(8, false));
    ASSERT_EQ(copied.Items.size(), 1);
    EXPECT_EQ(copied.Items[0].Outcome, TOutcome::ceoNotPlainFile);
    EXPECT_TRUE(copied.Items[0].Error.contains("link")) << qPrintable(copied.Items[0].Error);
    const TCacheExtractResult result = Ran(cache.ExtractAll(true));
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(result.Items[i].Outcome, TOutcome::ceoBadName) << i;
    EXPECT_EQ(result.Items[7].Outcome, TOutcome::ceoNoFile);
    EXPECT_EQ(result.Items[8].Outcome, TOutcome::ceoNotPlainFile);
    EXPECT_FALSE(result.AnyFailed());
    EXPECT_EQ(cache.GetCount(), 9);
    EXPECT_EQ(Index(), index);
    EXPECT_EQ(FilesNamed("evil.u"), QStringList());
    EXPECT_EQ(FilesNamed("Core.u"), QStringList());
    EXPECT_EQ(FilesNamed("Linked.u"), QStringList());
    EXPECT_FALSE(QFileInfo(FGame.Path("System/Linked.u")).isSymLink());
    EXPECT_TRUE(QFile::exists(FGame.Path("Cache/EVIL-1.uxx")));
    EXPECT_TRUE(QFileInfo(FGame.Path("Cache/LINK-1.uxx")).isSymLink());
}

TEST_F(TCacheTest, ARefusedReplaceOrACancelKeepsKeyEntryAndFile)
{
    WriteIndex("[Cache]\r\nAAAA-1=Alpha.u\r\nBBBB-1=Beta.u\r\n");
    WriteData("AAAA-1", "new alpha");
    WriteData("BBBB-1", "new beta");
    FGame.WriteFile("System/Alpha.u", "old alpha");
    FGame.WriteFile("System/beta.u", "old beta"); // the same file to the game
    const QByteArray index = Index();
    TCacheManager cache(Ref());
    TScriptedShellUi ui;
    const auto asked = [&ui] {
        QStringList names;
        for (const QString& target : std::exchange(ui.ReplaceQuestions, {}))
            names << QFileInfo(target).fileName();
        return names;
    };
    const TCacheExtractResult declined = Ran(cache.ExtractAll(true));
    EXPECT_EQ(asked(), (QStringList{"Alpha.u", "beta.u"}));
    EXPECT_EQ(declined.Items[0].Outcome, TOutcome::ceoSkipped);
    EXPECT_EQ(declined.Items[1].Outcome, TOutcome::ceoSkipped);
    EXPECT_FALSE(declined.AnyFailed()); // the user's choice

    ui.ReplaceAnswer = TReplaceAnswer::raCancel;
    const TCacheExtractResult cancelled = Ran(cache.ExtractAll(false));
    EXPECT_TRUE(cancelled.Aborted);
    EXPECT_EQ(asked(), QStringList{"Alpha.u"}); // the run stops at the first question
    EXPECT_EQ(cancelled.Items[1].Outcome, TOutcome::ceoCancelled);
    EXPECT_EQ(Index(), index);
    EXPECT_EQ(cache.GetCount(), 2);
    EXPECT_EQ(FGame.ReadFile("System/Alpha.u"), "old alpha");
    EXPECT_EQ(FGame.ReadFile("Cache/AAAA-1.uxx"), "new alpha");

    ui.ReplaceAnswer = TReplaceAnswer::raYesToAll;
    EXPECT_EQ(ExtractedCount(Ran(cache.ExtractAll(true))), 2);
    EXPECT_EQ(asked().size(), 1);
    EXPECT_EQ(FGame.ReadFile("System/beta.u"), "new beta");
    EXPECT_FALSE(QFile::exists(FGame.Path("System/Beta.u")));
    EXPECT_EQ(Index(), "[Cache]\r\n");
}

TEST_F(TCacheTest, AnIndexThatCannotBeRewrittenIsReported)
{
    WriteIndex("[Cache]\r\nAAAA-1=Alpha.u\r\nDEAD-1=Dead.u\r\n");
    WriteData("AAAA-1");
    const QByteArray index = Index();
    TCacheManager cache(Ref());
    ASSERT_TRUE(SetMode(FGame.Path("Cache"), 0555));
    ASSERT_TRUE(SetMode(FGame.Path("System"), 0777));
    {
        TFileProtection protection(QFileInfo(FGame.Root()).absolutePath());
        const TCacheExtractResult result = Ran(cache.Extract(0, false));
        EXPECT_EQ(result.Items[0].Outcome, TOutcome::ceoIndexNotWritten);
        ASSERT_TRUE(result.IndexError);
        EXPECT_EQ(result.IndexError->FileName, FGame.Path("Cache/cache.ini"));
        EXPECT_TRUE(result.AnyFailed());
        EXPECT_FALSE(cache.PurgeMissing());
    }
    ASSERT_TRUE(SetMode(FGame.Path("Cache"), 0755));
    EXPECT_TRUE(QFile::exists(FGame.Path("System/Alpha.u")));
    EXPECT_EQ(Index(), index);
    EXPECT_EQ(Guids(cache), (QStringList{"AAAA-1", "DEAD-1"}));
}

TEST_F(TCacheTest, FoundByNameOrDataFileAndNothingRaisedWithoutIndexOrSettings)
{
    WriteIndex("[Cache]\nAAAA-1=Alpha.u\nBBBB-1=Beta.u\n");
    TCacheManager cache(Ref());
    EXPECT_EQ(cache.IndexOf("BETA.U"), 1);
    EXPECT_EQ(cache.IndexOf(FGame.Path("Cache\\bbbb-1.UXX")), 1);
    EXPECT_EQ(cache.IndexOf("Gamma.u"), -1);

    QFile::remove(FGame.Path("Cache/cache.ini"));
    cache.Load();
    EXPECT_EQ(cache.GetCount(), 0);
    EXPECT_EQ(cache.RemoveIniEntry(0).Error().Code, TErrorCode::ecNotFound);
    TCacheManager none([] { return nullptr; });
    EXPECT_EQ(none.ExtractAll(true).Error().Code, TErrorCode::ecNotFound);
}

} // namespace

#include "uKOVA_Misc.h"

#include "TGameFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// ---- File search

class FindFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name :
             {"b.ut2", "A.UT2", "c.Ut2", "README", "x.ut2/y.ut2", "Sub/z.ut2", "Sub/notes.txt"})
            FGame.WriteFile(QString("Maps/") + name, "x");
        Maps = FGame.Path("Maps") + "/";
    }
    TGameFolder FGame;
    QString Maps;
};

TEST_F(FindFilesTest, FilesOfOneFolderSortedWithoutRegardToCase)
{
    EXPECT_EQ(FindFiles(Maps, "*.ut2", false),
              QStringList({Maps + "A.UT2", Maps + "b.ut2", Maps + "c.Ut2"}));
    EXPECT_EQ(FindFiles(Maps, "*.*", false),
              QStringList({Maps + "A.UT2", Maps + "b.ut2", Maps + "c.Ut2", Maps + "README"}));
}

TEST_F(FindFilesTest, RecursiveSearchTakesFilesBeforeSubfoldersAndEndsInLinkLoops)
{
    ASSERT_TRUE(QFile::link(FGame.Path("Maps"), FGame.Path("Maps/x.ut2/Back")));
    EXPECT_EQ(FindFiles(Maps, "*.ut2", true),
              QStringList({Maps + "A.UT2", Maps + "b.ut2", Maps + "c.Ut2", Maps + "Sub/z.ut2",
                           Maps + "x.ut2/y.ut2"}));
}

TEST_F(FindFilesTest, FolderInAnotherCaseOrMissing)
{
    EXPECT_EQ(FindFiles(FGame.Root() + "\\MAPS\\SUB\\", "*.TXT", false),
              QStringList({Maps + "Sub/notes.txt"}));
    EXPECT_TRUE(FindFiles(FGame.Path("Nowhere/"), "*.*", true).isEmpty());
}

// ---- Sizes and existence

TEST(FileTestsTest, SizesBeyondFourGigabytes)
{
    QTemporaryDir temp;
    QFile big(temp.filePath("big.uxx"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    const qint64 fiveGiB = 5LL * 1073741824;
    if (!big.resize(fiveGiB))
        GTEST_SKIP() << "no sparse files here";
    big.close();
    qint64 size = -1;
    EXPECT_TRUE(TryGetFileSize(temp.filePath("BIG.UXX"), size));
    EXPECT_EQ(size, fiveGiB);
    EXPECT_EQ(GetFileSizeOf(temp.filePath("big.uxx")), fiveGiB);

    EXPECT_FALSE(TryGetFileSize(temp.path(), size));
    EXPECT_EQ(size, 0);
    EXPECT_EQ(GetFileSizeOf(temp.filePath("missing")), 0);
    EXPECT_EQ(FormatFileSizeOf(temp.filePath("missing")), "0 Byte");
    EXPECT_EQ(FormatFileSizeOf(temp.path()), "0 Byte");
}

TEST(FileTestsTest, FilesAndFolders)
{
    TGameFolder game;
    EXPECT_FALSE(AllFilesExist({}));
    EXPECT_TRUE(AllFilesExist({game.Path("System/UT2004.exe"), game.Path("system/core.dll")}));
    EXPECT_FALSE(AllFilesExist({game.Path("System/UT2004.exe"), game.Path("System")}));
    EXPECT_FALSE(AllFilesExist({game.Path("System/Missing.dll"), game.Path("System/Core.dll")}));
    EXPECT_TRUE(DirExists(game.Root() + "\\system\\"));
    EXPECT_TRUE(DirExistsA(game.Path("ScreenShots")));
    EXPECT_FALSE(DirExists(game.Path("System/Core.dll")));
    EXPECT_FALSE(DirExistsA(game.Path("Nowhere")));
}

TEST(FileTestsTest, TypeNamesComeFromTheDesktop)
{
    const QString zip = GetFileTypeName(".zip");
    ASSERT_FALSE(zip.isEmpty()) << "no MIME database: is shared-mime-info missing?";
    EXPECT_EQ(GetFileTypeName(".ZIP"), zip);
    EXPECT_TRUE(GetFileTypeName(".kova-no-such-type").isEmpty());
    EXPECT_TRUE(GetFileTypeName("").isEmpty());
}

// ---- Shell file operations

struct TUiLog
{
    QList<quint16> Flags;
    int ReplaceQuestions = 0;
    int DeleteQuestions = 0;
    int ProgressCalls = 0;
    int Errors = 0;
};

class ShellFileOperationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetShellOperationUi([this](TWindowHandle, quint16 flags) {
            Log.Flags << flags;
            TFileOpCallbacks callbacks;
            callbacks.AskReplace = [this](const QString&, const QString&) {
                ++Log.ReplaceQuestions;
                return TReplaceAnswer::raNo;
            };
            callbacks.ConfirmDelete = [this](const QStringList&, bool) {
                ++Log.DeleteQuestions;
                return true;
            };
            callbacks.Progress = [this](qint64, qint64) {
                ++Log.ProgressCalls;
                return true;
            };
            callbacks.ReportError = [this](const TFileOpItem&) { ++Log.Errors; };
            return callbacks;
        });
    }
    void TearDown() override { SetShellOperationUi({}); }

    TTempEnvironment FEnv;
    TGameFolder FGame;
    TUiLog Log;
};

TEST_F(ShellFileOperationTest, ReplaceIsAskedUnlessNoConfirmation)
{
    const QString profile = FGame.WriteFile("Profiles/Mine.ini", "[DefaultPlayer]\r\nName=Me\r\n");
    const QString user = FGame.Path("System/User.ini");
    const QByteArray original = FGame.ReadFile("System/User.ini");

    EXPECT_EQ(ShellFileOperationStr(nullptr, FO_COPY, profile, user, FOF_ALLOWUNDO), 0);
    EXPECT_EQ(Log.ReplaceQuestions, 1);
    EXPECT_EQ(FGame.ReadFile("System/User.ini"), original);
    EXPECT_GT(Log.ProgressCalls, 0);

    Log = {};
    EXPECT_EQ(
        ShellFileOperationStr(nullptr, FO_COPY, profile, user, FOF_SILENT | FOF_NOCONFIRMATION), 0);
    EXPECT_EQ(Log.ReplaceQuestions, 0);
    EXPECT_EQ(Log.ProgressCalls, 0);
    EXPECT_EQ(Log.Flags.value(0), FOF_SILENT | FOF_NOCONFIRMATION | FOF_MULTIDESTFILES);
    EXPECT_EQ(FGame.ReadFile("System/User.ini"), "[DefaultPlayer]\r\nName=Me\r\n");
}

TEST_F(ShellFileOperationTest, FailureGivesANonZeroResultAndKeepsTheFile)
{
    const QString ini = FGame.Path("System/UT2004.ini");
    bool aborted = true;
    const QStringList from{ini};
    EXPECT_NE(ShellFileOperationEx(nullptr, FO_COPY, from, &from, FOF_NOCONFIRMATION, aborted), 0);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(Log.Errors, 1);
    EXPECT_EQ(FGame.ReadFile("System/UT2004.ini"), SampleGameIni());

    Log = {};
    TFileOpResult result;
    EXPECT_NE(ShellFileOperationStr(nullptr, FO_COPY, ini, ini, FOF_NOERRORUI, &result), 0);
    EXPECT_EQ(Log.Errors, 0);
    ASSERT_EQ(result.Items.size(), 1);
    EXPECT_EQ(result.Items[0].Outcome, TFileOpOutcome::fooFailed);

    EXPECT_NE(ShellFileOperationStr(nullptr, 9, ini, ini, 0), 0);
}

TEST_F(ShellFileOperationTest, DeleteGoesToTheTrashOnlyWithAllowUndo)
{
    const QString shot = FGame.WriteFile("ScreenShots/Shot00001.bmp", "BM");
    EXPECT_EQ(ShellFileOperationStr(nullptr, FO_DELETE, shot, QString(), FOF_ALLOWUNDO), 0);
    EXPECT_EQ(Log.DeleteQuestions, 1);
    EXPECT_FALSE(Log.Flags.value(0) & FOF_MULTIDESTFILES);
    EXPECT_FALSE(QFileInfo::exists(shot));
    EXPECT_TRUE(QFileInfo::exists(FEnv.DataHome() + "/Trash/files/Shot00001.bmp"));

    const QString cache = FGame.WriteFile("cache.xml", "<cache/>");
    EXPECT_EQ(ShellFileOperationStr(nullptr, FO_DELETE, cache, QString(), FOF_NOCONFIRMATION), 0);
    EXPECT_EQ(Log.DeleteQuestions, 1);
    EXPECT_FALSE(QFileInfo::exists(cache));
    EXPECT_FALSE(QFileInfo::exists(FEnv.DataHome() + "/Trash/files/cache.xml"));
}

TEST_F(ShellFileOperationTest, FolderAsEveryTargetMeansIntoIt)
{
    const QString a = FGame.WriteFile("Demos/one.demo4", "1");
    const QString b = FGame.WriteFile("Demos/two.demo4", "2");
    QTemporaryDir out;
    const QStringList to{out.path(), out.path()};
    EXPECT_EQ(ShellFileOperation(nullptr, FO_COPY, {a, b}, &to, FOF_ALLOWUNDO), 0);
    EXPECT_TRUE(QFileInfo::exists(out.filePath("one.demo4")));
    EXPECT_TRUE(QFileInfo::exists(out.filePath("two.demo4")));

    // A move into the game folder, given in another letter case.
    const QStringList exact{FGame.Root() + "/DEMOS/Renamed.demo4"};
    EXPECT_EQ(
        ShellFileOperation(nullptr, FO_MOVE, {out.filePath("one.demo4")}, &exact, FOF_ALLOWUNDO),
        0);
    EXPECT_EQ(FGame.ReadFile("Demos/Renamed.demo4"), "1");
}

TEST_F(ShellFileOperationTest, RenameCanChangeTheLetterCase)
{
    const QString demo = FGame.WriteFile("Demos/match.demo4", "demo");
    EXPECT_EQ(ShellFileOperationStr(nullptr, FO_RENAME, demo, FGame.Root() + "/demos/MATCH.demo4",
                                    FOF_ALLOWUNDO),
              0);
    EXPECT_EQ(QDir(FGame.Path("Demos")).entryList(QDir::Files), QStringList({"MATCH.demo4"}));
}

TEST(ShellFileOperationDefaultsTest, WithoutUiReplaceIsAnsweredNo)
{
    TGameFolder game;
    const QString from = game.WriteFile("Maps/new.ut2", "new");
    const QString to = game.WriteFile("Maps/old.ut2", "old");
    bool aborted = true;
    const QStringList toList{to};
    EXPECT_EQ(ShellFileOperationEx(nullptr, FO_COPY, {from}, &toList, 0, aborted), 0);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(game.ReadFile("Maps/old.ut2"), "old");
}

// ---- Link time of an executable

void Put16(QByteArray& bytes, int offset, quint16 value)
{
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char(value >> 8);
}

void Put32(QByteArray& bytes, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char((value >> (8 * i)) & 0xFF);
}

// A 32-bit image: DOS header, PE header at 0x80, one ".rsrc" section at file offset 0x400
// holding the resource directory (address 0x1000) with the given MS-DOS date and time.
QByteArray SyntheticImage(quint32 stamp, quint32 resourceStamp, quint32 resourceAddress = 0x1000)
{
    QByteArray image(0x600, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, 0x80);
    const int pe = 0x80;
    image.replace(pe, 4, QByteArray("PE\0\0", 4));
    Put16(image, pe + 4, 0x14C);
    Put16(image, pe + 6, 1);
    Put32(image, pe + 8, stamp);
    Put16(image, pe + 20, 224);
    Put16(image, pe + 24, 0x10B);
    Put32(image, pe + 24 + 112, resourceAddress);
    Put32(image, pe + 24 + 116, 0x100);
    const int section = pe + 248;
    image.replace(section, 5, ".rsrc");
    Put32(image, section + 12, 0x1000);
    Put32(image, section + 16, 0x200);
    Put32(image, section + 20, 0x400);
    Put32(image, 0x400 + 4, resourceStamp);
    return image;
}

class LinkTimeTest : public ::testing::Test
{
protected:
    QString Write(const QByteArray& bytes)
    {
        const QString path = FTemp.filePath(QString("image%1.exe").arg(++FCount));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QTemporaryDir FTemp;
    int FCount = 0;
};

TEST_F(LinkTimeTest, PlainStampIsTheLinkTime)
{
    EXPECT_EQ(GetImageLinkTime(Write(SyntheticImage(1082024096, 0))), 1082024096u);
    // Without "MZ" the PE header is looked for at the start of the file.
    QByteArray bare = SyntheticImage(1234567890, 0).mid(0x80);
    EXPECT_EQ(GetImageLinkTime(Write(bare)), 1234567890u);
}

TEST_F(LinkTimeTest, FixedStampIsRefinedFromTheResourceDirectory)
{
    const quint16 date = quint16(((2004 - 1980) << 9) | (3 << 5) | 15);
    const quint16 time = quint16((12 << 11) | (34 << 5) | (56 / 2));
    const qint64 expected =
        QDateTime(QDate(2004, 3, 15), QTime(12, 34, 56), Qt::UTC).toSecsSinceEpoch();
    EXPECT_EQ(GetImageLinkTime(Write(SyntheticImage(0x2A425E19, (quint32(date) << 16) | time))),
              quint32(expected));

    // An impossible date, or a directory in no section, keeps the stamp.
    const quint16 badDate = quint16(((2004 - 1980) << 9) | (13 << 5) | 15);
    EXPECT_EQ(GetImageLinkTime(Write(SyntheticImage(0x2A425E19, (quint32(badDate) << 16) | time))),
              0x2A425E19u);
    EXPECT_EQ(GetImageLinkTime(Write(SyntheticImage(0x2A425E19, 0, 0x9000))), 0x2A425E19u);
}

TEST_F(LinkTimeTest, AnythingElseGivesZero)
{
    EXPECT_EQ(GetImageLinkTime(Write("[Engine.Engine]\r\nLanguage=int\r\n")), 0u);
    EXPECT_EQ(GetImageLinkTime(Write(SyntheticImage(1082024096, 0).left(0x100))), 0u);
    EXPECT_EQ(GetImageLinkTime(Write(QByteArray())), 0u);
    QByteArray farAway = SyntheticImage(1082024096, 0);
    Put32(farAway, 0x3C, 0xFFFFFFF0); // a negative offset of the new header
    EXPECT_EQ(GetImageLinkTime(Write(farAway)), 0u);
    EXPECT_EQ(GetImageLinkTime(FTemp.filePath("missing.exe")), 0u);
}

} // namespace

#include "uKOVA_Misc.h"

#include "TGameFolder.h"
#include "TestFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(FindFilesTest, SortedWithoutRegardToCaseFilesBeforeSubfoldersEndingInLinkLoops)
{
    TGameFolder game;
    for (const char* name :
         {"b.ut2", "A.UT2", "c.Ut2", "README", "x.ut2/y.ut2", "Sub/z.ut2", "Sub/notes.txt"})
        game.WriteFile(QString("Maps/") + name, "x");
    const QString maps = game.Path("Maps") + "/";
    EXPECT_EQ(FindFiles(maps, "*.*", false),
              QStringList({maps + "A.UT2", maps + "b.ut2", maps + "c.Ut2", maps + "README"}));
    ASSERT_TRUE(QFile::link(game.Path("Maps"), game.Path("Maps/x.ut2/Back")));
    EXPECT_EQ(FindFiles(maps, "*.ut2", true),
              QStringList({maps + "A.UT2", maps + "b.ut2", maps + "c.Ut2", maps + "Sub/z.ut2",
                           maps + "x.ut2/y.ut2"}));
    EXPECT_EQ(FindFiles(game.Root() + "\\MAPS\\SUB\\", "*.TXT", false),
              QStringList({maps + "Sub/notes.txt"}));
    EXPECT_TRUE(FindFiles(game.Path("Nowhere/"), "*.*", true).isEmpty());
}

// A name from an archive, the cache index or a folder is written only when it is a file name
// and shows as itself: no separator, dots alone, or character that shows as another or as
// nothing, inside the basic plane or beyond it. The summary writes those characters out.
TEST(SafeFileNameTest, RefusesNamesThatAreNoneOrShowAsAnother)
{
    const struct
    {
        const char32_t* Name;
        bool Safe;
    } names[] = {
        {U"DM-Foo.ut2", true},
        {U"\u00dcml\u00e4ut \u65e5\u672c.u", true},
        {U"sup\u2070.u", true},
        {U"comma\uFE10.u", true},
        {U"", false},
        {U".", false},
        {U"..", false},
        {U"a/b.u", false},
        {U"a\\b.u", false},
        {U"C:b.u", false},
        {U"bell\u0007.u", false},
        {U"evil\u202Egnp.u", false},
        {U"zero\u200Bwidth.u", false},
        {U"soft\u00ADhyphen.u", false},
        {U"line\u2028.u", false},
        {U"para\u2029.u", false},
        {U"cgj\u034F.u", false},
        {U"\u115F\u1160.u", false},
        {U"fill\u3164er.u", false},
        {U"half\uFFA0.u", false},
        {U"vs\uFE0F.u", false},
        {U"mongol\u180B\u180F.u", false},
        {U"tag\U000E0001.u", false},
        {U"vs\U000E0100.u", false},
        {U"music\U0001D173.u", false},
        {U"\U000E0FFF.u", false},
    };
    for (const auto& [name, safe] : names) {
        const QString text = QString::fromUcs4(name);
        EXPECT_EQ(SafeFileName(text), safe) << VisibleName(text).toStdString();
    }
    EXPECT_EQ(VisibleName(QString::fromUcs4(U"a\u3164b\u2028\U000E0100.u")),
              "a<U+3164>b<U+2028><U+E0100>.u");
}

TEST(FileTestsTest, SizesBeyondFourGigabytesAndDesktopTypeNames)
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
    EXPECT_FALSE(TryGetFileSize(temp.path(), size));
    EXPECT_EQ(size, 0);
    EXPECT_EQ(FormatFileSizeOf(temp.filePath("missing")), "0 Byte");
    EXPECT_FALSE(AllFilesExist({}));

    ASSERT_FALSE(GetFileTypeName(".ZIP").isEmpty())
        << "no MIME database: is shared-mime-info missing?";
    EXPECT_TRUE(GetFileTypeName(".kova-no-such-type").isEmpty());
}

// ---- Shell file operations over the platform's file operation: flags, targets and results

class ShellFileOperationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetShellOperationUi([this](TWindowHandle, quint16 flags) {
            Flags << flags;
            TFileOpCallbacks callbacks;
            callbacks.AskReplace = [this](const QString&, const QString&) {
                ++ReplaceQuestions;
                return TReplaceAnswer::raNo;
            };
            callbacks.ConfirmDelete = [this](const QStringList&, bool) {
                ++DeleteQuestions;
                return true;
            };
            callbacks.Progress = [this](qint64, qint64) {
                ++ProgressCalls;
                return true;
            };
            callbacks.ReportError = [this](const TFileOpItem&) { ++Errors; };
            return callbacks;
        });
    }
    void TearDown() override { SetShellOperationUi({}); }

    TTempEnvironment FEnv;
    TGameFolder FGame;
    QList<quint16> Flags;
    int ReplaceQuestions = 0, DeleteQuestions = 0, ProgressCalls = 0, Errors = 0;
};

TEST_F(ShellFileOperationTest, ReplaceIsAskedUnlessNoConfirmation)
{
    const QString profile = FGame.WriteFile("Profiles/Mine.ini", "[DefaultPlayer]\r\nName=Me\r\n");
    const QString user = FGame.Path("System/User.ini");
    const QByteArray original = FGame.ReadFile("System/User.ini");
    EXPECT_EQ(ShellFileOperationStr(nullptr, FO_COPY, profile, user, FOF_ALLOWUNDO), 0);
    EXPECT_EQ(ReplaceQuestions, 1);
    EXPECT_EQ(FGame.ReadFile("System/User.ini"), original);
    EXPECT_GT(ProgressCalls, 0);

    ProgressCalls = 0;
    EXPECT_EQ(
        ShellFileOperationStr(nullptr, FO_COPY, profile, user, FOF_SILENT | FOF_NOCONFIRMATION), 0);
    EXPECT_EQ(ReplaceQuestions, 1);
    EXPECT_EQ(ProgressCalls, 0);
    EXPECT_EQ(Flags.value(1), FOF_SILENT | FOF_NOCONFIRMATION | FOF_MULTIDESTFILES);
    EXPECT_EQ(FGame.ReadFile("System/User.ini"), "[DefaultPlayer]\r\nName=Me\r\n");

    // Without a user interface a replace is answered No.
    SetShellOperationUi({});
    const QStringList to{user};
    bool aborted = true;
    EXPECT_EQ(
        ShellFileOperationEx(nullptr, FO_COPY, {FGame.Path("System/UT2004.ini")}, &to, 0, aborted),
        0);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(FGame.ReadFile("System/User.ini"), "[DefaultPlayer]\r\nName=Me\r\n");
}

TEST_F(ShellFileOperationTest, FailureGivesANonZeroResultAndKeepsTheFile)
{
    const QString ini = FGame.Path("System/UT2004.ini");
    bool aborted = true;
    const QStringList from{ini};
    EXPECT_NE(ShellFileOperationEx(nullptr, FO_COPY, from, &from, FOF_NOCONFIRMATION, aborted), 0);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(Errors, 1);
    EXPECT_EQ(FGame.ReadFile("System/UT2004.ini"), SampleGameIni());

    TFileOpResult result;
    EXPECT_NE(ShellFileOperationStr(nullptr, FO_COPY, ini, ini, FOF_NOERRORUI, &result), 0);
    EXPECT_EQ(Errors, 1);
    ASSERT_EQ(result.Items.size(), 1);
    EXPECT_EQ(result.Items[0].Outcome, TFileOpOutcome::fooFailed);
    EXPECT_NE(ShellFileOperationStr(nullptr, 9, ini, ini, 0), 0);
}

TEST_F(ShellFileOperationTest, DeleteGoesToTheTrashOnlyWithAllowUndo)
{
    const QString shot = FGame.WriteFile("ScreenShots/Shot00001.bmp", "BM");
    EXPECT_EQ(ShellFileOperationStr(nullptr, FO_DELETE, shot, QString(), FOF_ALLOWUNDO), 0);
    EXPECT_EQ(DeleteQuestions, 1);
    EXPECT_TRUE(QFileInfo::exists(FEnv.Trashed("Shot00001.bmp")));

    const QString cache = FGame.WriteFile("cache.xml", "<cache/>");
    EXPECT_EQ(ShellFileOperationStr(nullptr, FO_DELETE, cache, QString(), FOF_NOCONFIRMATION), 0);
    EXPECT_EQ(DeleteQuestions, 1);
    EXPECT_FALSE(QFileInfo::exists(cache));
    EXPECT_FALSE(QFileInfo::exists(FEnv.Trashed("cache.xml")));
}

TEST_F(ShellFileOperationTest, TargetsAreFoldersOrFilesInAnyLetterCase)
{
    const QString a = FGame.WriteFile("Demos/one.demo4", "1");
    const QString b = FGame.WriteFile("Demos/two.demo4", "2");
    QTemporaryDir out;
    const QStringList to{out.path(), out.path()};
    EXPECT_EQ(ShellFileOperation(nullptr, FO_COPY, {a, b}, &to, FOF_ALLOWUNDO), 0);
    EXPECT_TRUE(QFileInfo::exists(out.filePath("two.demo4")));

    const QStringList exact{FGame.Root() + "/DEMOS/Renamed.demo4"};
    EXPECT_EQ(
        ShellFileOperation(nullptr, FO_MOVE, {out.filePath("one.demo4")}, &exact, FOF_ALLOWUNDO),
        0);
    EXPECT_EQ(FGame.ReadFile("Demos/Renamed.demo4"), "1");

    // A rename takes its new name as written, so it can change the letter case.
    EXPECT_EQ(ShellFileOperationStr(nullptr, FO_RENAME, FGame.Path("Demos/Renamed.demo4"),
                                    FGame.Root() + "/demos/RENAMED.demo4", FOF_ALLOWUNDO),
              0);
    EXPECT_EQ(QDir(FGame.Path("Demos")).entryList(QDir::Files),
              QStringList({"one.demo4", "RENAMED.demo4", "two.demo4"}));
}

// ---- Link time of an executable

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
    image.replace(0, 2, "MZ");
    Put32(image, 0x3C, 0x80);
    const int pe = 0x80;
    image.replace(pe, 4, QByteArray("PE\0\0", 4));
    Put32(image, pe + 4, 0x1014C); // machine, one section
    Put32(image, pe + 8, stamp);
    Put32(image, pe + 20, 224);
    Put32(image, pe + 24, 0x10B);
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

TEST(LinkTimeTest, StampRefinedFromTheResourceDirectoryAndZeroForAnythingElse)
{
    QTemporaryDir temp;
    int count = 0;
    const auto linkTime = [&](const QByteArray& bytes) {
        const QString path = temp.filePath(QString("image%1.exe").arg(++count));
        EXPECT_TRUE(WriteBytes(path, bytes));
        return GetImageLinkTime(path);
    };
    EXPECT_EQ(linkTime(SyntheticImage(1082024096, 0)), 1082024096u);
    // Without "MZ" the PE header is looked for at the start of the file.
    EXPECT_EQ(linkTime(SyntheticImage(1234567890, 0).mid(0x80)), 1234567890u);

    const quint16 date = quint16(((2004 - 1980) << 9) | (3 << 5) | 15);
    const quint16 time = quint16((12 << 11) | (34 << 5) | (56 / 2));
    const qint64 expected =
        QDateTime(QDate(2004, 3, 15), QTime(12, 34, 56), Qt::UTC).toSecsSinceEpoch();
    EXPECT_EQ(linkTime(SyntheticImage(0x2A425E19, (quint32(date) << 16) | time)),
              quint32(expected));
    // An impossible date, or a directory in no section, keeps the stamp.
    const quint16 badDate = quint16(((2004 - 1980) << 9) | (13 << 5) | 15);
    EXPECT_EQ(linkTime(SyntheticImage(0x2A425E19, (quint32(badDate) << 16) | time)), 0x2A425E19u);
    EXPECT_EQ(linkTime(SyntheticImage(0x2A425E19, 0, 0x9000)), 0x2A425E19u);

    EXPECT_EQ(linkTime("[Engine.Engine]\r\nLanguage=int\r\n"), 0u);
    EXPECT_EQ(linkTime(SyntheticImage(1082024096, 0).left(0x100)), 0u);
    QByteArray farAway = SyntheticImage(1082024096, 0);
    Put32(farAway, 0x3C, 0xFFFFFFF0); // a negative offset of the new header
    EXPECT_EQ(linkTime(farAway), 0u);
    EXPECT_EQ(GetImageLinkTime(temp.filePath("missing.exe")), 0u);
}

} // namespace

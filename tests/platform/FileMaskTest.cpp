#include "FileMask.h"

#include "FolderScan.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(FileMaskTest, MatchesAsWindowsDoes)
{
    struct TCase
    {
        const char* Name;
        const char* Mask;
        bool Expected;
    };
    const TCase cases[] = {
        {"README", "*.*", true},
        {"DM-Rankin.ut2", "*.*", true},
        {"Lang.int", "Lang.*", true},
        {"Lang", "Lang.*", true},
        {"Language.int", "Lang.*", false},
        {"Shot00042.bmp", "Shot?????.bmp", true},
        {"Shot0042.bmp", "Shot?????.bmp", false},
        {"Shot000042.bmp", "Shot?????.bmp", false},
        {"DM-RANKIN.UT2", "*.ut2", true},
        {"DM-Rankin.ut2.bak", "*.ut2", false},
        {"Makefile", "*.", true},
        {"notes.txt", "*.", false},
        {"xbyyc", "x*y*c", true},
        {"xbyyd", "x*y*c", false},
        {"\xc3\x89T\xc3\x89.UT2", "\xc3\xa9t\xc3\xa9.ut2", true}, // letter case beyond ASCII
        {"", "*", true},
        {"a", "", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(MatchesFileMask(QString::fromUtf8(c.Name), QString::fromUtf8(c.Mask)), c.Expected)
            << c.Name << " / " << c.Mask;
}

TEST(FileMaskTest, ManyStarsDoNotBlowUp)
{
    const QString name = QString(5000, QLatin1Char('a')) + "b";
    EXPECT_FALSE(MatchesFileMask(name, "*a*a*a*a*a*a*a*a*c"));
    EXPECT_TRUE(MatchesFileMask(name, "*a*a*a*a*a*a*a*a*b"));
}

class ListFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTemp.isValid());
        Dir = QDir(FTemp.path());
        for (const char* name : {"b.ut2", "A.UT2", "c.Ut2", "README", "a.ut2"})
            Touch(name);
        Dir.mkdir("x.ut2");
        Dir.mkdir("Sub");
        QFile::link(Dir.filePath("Sub"), Dir.filePath("LinkedFolder.ut2"));
        QFile::link(Dir.filePath("gone"), Dir.filePath("Dangling.ut2"));
    }
    void Touch(const QString& name)
    {
        QFile file(Dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QTemporaryDir FTemp;
    QDir Dir;
};

TEST_F(ListFolderTest, SortsWithoutRegardToCaseAndSeparatesKinds)
{
    EXPECT_EQ(ListFolder(Dir.path(), "*.ut2", TListKind::lkFiles),
              QStringList({"A.UT2", "a.ut2", "b.ut2", "c.Ut2"}));
    EXPECT_EQ(ListFolder(Dir.path(), "*.ut2", TListKind::lkFolders),
              QStringList({"LinkedFolder.ut2", "x.ut2"}));
    EXPECT_EQ(ListFolder(Dir.path(), "*.*", TListKind::lkAll),
              QStringList({"A.UT2", "a.ut2", "b.ut2", "c.Ut2", "LinkedFolder.ut2", "README", "Sub",
                           "x.ut2"}));
}

// The folder walks sort by keys made once per name; they must keep the order of a listing.
TEST(FileMaskTest, FolderEntriesSortAsListingsDo)
{
    const QStringList ascii = {"b.ut2", "A.UT2", "_x", "a.ut2", "a",
                               "B",     "Zz",    "z",  "[1]",   "a.UT2"};
    const QStringList mixed =
        ascii + QStringList{"\u00e9t\u00e9", "\u00c9T\u00c9", "\u00e4", "\u00df",
                            "\u0416uk",      "\U0001F600.u",  "e"};
    // Names that share a start, which the sort skips.
    const QStringList shared = {"mapFile-2.u", "MAPfile-10.u", "mapfile-1.u", "mapfile-",
                                "MapFile-1.U", "mapfile-1.u2", "mapfile-1.u"};
    const QStringList sharedMixed = shared + QStringList{"mapfile-\u00e9", "MAPFILE-\u00c9"};
    for (const QStringList& names : {ascii, mixed, shared, sharedMixed}) {
        QStringList expected = names;
        SortFileNames(expected);
        QVector<TFolderEntry> entries;
        TFolderNames block;
        for (const QString& name : names) {
            entries.append({name, false});
            block.Names.append({block.Text.size(), name.size(), false});
            block.Text += name;
        }
        SortFolderEntries(entries);
        SortFolderNames(block);
        QStringList sorted, sortedBlock;
        for (qsizetype i = 0; i < entries.size(); ++i) {
            sorted.append(entries[i].Name);
            sortedBlock.append(block.Name(i).toString());
        }
        EXPECT_EQ(sorted, expected);
        EXPECT_EQ(sortedBlock, expected);
    }
}

#include "TIniFile.h"

#include "TFileProtection.h"
#include "TGameFolder.h"
#include "TextCodec.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// A file in a fresh temporary folder.
class TIniFixture : public ::testing::Test
{
protected:
    QString Make(const QByteArray& bytes, const QString& name = u"Test.ini"_s)
    {
        const QString path = FDir.filePath(name);
        EXPECT_TRUE(WriteBytes(path, bytes));
        return path;
    }
    QTemporaryDir FDir;
};

using TIniRead = TIniFixture;

TEST_F(TIniRead, NamesMatchWithoutCaseAndTheFirstOccurrenceWins)
{
    const TIniFile ini(Make("[Engine.Engine]\r\nLanguage=int\r\nlanguage=det\r\n"
                            "[engine.engine]\r\nLanguage=frt\r\nOther=1\r\n"));
    EXPECT_EQ(ini.ReadString("ENGINE.engine", "LANGUAGE", "x"), "int");
    EXPECT_EQ(ini.ReadSections(), QStringList{"Engine.Engine"});
    EXPECT_EQ(ini.ReadSection("Engine.Engine"), (QStringList{"Language", "language"}));
    EXPECT_FALSE(ini.ValueExists("Engine.Engine", "Other")); // only the first section counts
}

TEST_F(TIniRead, ValuesLoseBlanksAndOnePairOfQuotes)
{
    const TIniFile ini(Make("[S]\n"
                            "Plain =  spaced value \t\n"
                            "Quoted=\"  inner  \"\n"
                            "Twice=\"\"x\"\"\n"
                            "Half=\"open\n"
                            "Single='kept'\n"
                            "Empty=\n"
                            "EmptyQuotes=\"\"\n"
                            "Eq=a=b=c\n"));
    EXPECT_EQ(ini.ReadString("S", "Plain", {}), "spaced value");
    EXPECT_EQ(ini.ReadString("S", "Quoted", {}), "  inner  ");
    EXPECT_EQ(ini.ReadString("S", "Twice", {}), "\"x\"");
    EXPECT_EQ(ini.ReadString("S", "Half", {}), "\"open");
    EXPECT_EQ(ini.ReadString("S", "Single", {}), "'kept'");
    EXPECT_EQ(ini.ReadString("S", "Eq", {}), "a=b=c");
    // A missing key and an empty value are told apart.
    EXPECT_EQ(ini.ReadValue("S", "Empty"), std::optional<QString>(QString()));
    EXPECT_EQ(ini.ReadValue("S", "EmptyQuotes"), std::optional<QString>(QString()));
    EXPECT_EQ(ini.ReadValue("S", "Missing"), std::nullopt);
    EXPECT_EQ(ini.ReadValue("Missing", "Plain"), std::nullopt);
    EXPECT_EQ(ini.ReadString("S", "Missing", "def"), "def");
}

TEST_F(TIniRead, LinesThatAreNoKeys)
{
    const TIniFile ini(Make("Orphan=above every section\n"
                            "[S] trailing text\n"
                            "; Comment=1\n"
                            "  ;Indented=2\n"
                            "NoEqualsSign\n"
                            "=blank key\n"
                            "  =also blank\n"
                            "[Unclosed=3\n"
                            "Servers=([A]=1,Name=\"[x]\")\n"
                            "  [ Spaced ]  ; note\n"
                            "  Key  = v\n"
                            "Last=no line ending"));
    EXPECT_EQ(ini.ReadSections(), (QStringList{"S", "Spaced"}));
    // The unclosed header is no header: the key below it stays in S.
    EXPECT_EQ(ini.ReadSection("S"), QStringList{"Servers"});
    EXPECT_EQ(ini.ReadString("S", "Servers", {}), "([A]=1,Name=\"[x]\")");
    EXPECT_FALSE(ini.ValueExists("S", "NoEqualsSign"));
    EXPECT_FALSE(ini.ValueExists("S", "; Comment"));
    EXPECT_FALSE(ini.ValueExists("S", ""));
    EXPECT_EQ(ini.ReadString("spaced", "key", {}), "v");
    EXPECT_EQ(ini.ReadString("Spaced", "Last", {}), "no line ending");
    EXPECT_EQ(ini.ReadSectionValues("Spaced"), (QStringList{"Key=v", "Last=no line ending"}));
}

TEST_F(TIniRead, SectionsWithoutKeysAndFilesWithoutSections)
{
    const TIniFile ini(Make("[Empty]\n; only a comment\n\n[Full]\nA=1\n"));
    EXPECT_FALSE(ini.SectionExists("Empty"));
    EXPECT_TRUE(ini.SectionExists("full"));
    EXPECT_EQ(ini.ReadSections(), (QStringList{"Empty", "Full"}));
    EXPECT_TRUE(TIniFile(Make({})).ReadSections().isEmpty());
    EXPECT_TRUE(TIniFile(FDir.filePath("Missing.ini")).ReadSections().isEmpty());
    EXPECT_TRUE(TIniFile(FDir.path()).ReadSections().isEmpty()); // a folder
    EXPECT_EQ(TIniFile(FDir.filePath("Missing.ini")).ReadString("A", "B", "d"), "d");
}

TEST_F(TIniRead, IntegersAndBooleans)
{
    const TIniFile ini(Make("[N]\nDec=-42\nHex=0x1F\nDollar=$ff\nAll=$FFFFFFFF\nBig=99999999999\n"
                            "Text=12abc\nTrue=True\nZero=0\nPlus=+7\n"));
    EXPECT_EQ(ini.ReadInteger("N", "Dec", 0), -42);
    EXPECT_EQ(ini.ReadInteger("N", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("N", "Dollar", 0), 255);
    EXPECT_EQ(ini.ReadInteger("N", "All", 0), -1);
    EXPECT_EQ(ini.ReadInteger("N", "Big", 5), 5);
    EXPECT_EQ(ini.ReadInteger("N", "Text", 5), 5);
    EXPECT_EQ(ini.ReadInteger("N", "Plus", 0), 7);
    EXPECT_EQ(ini.ReadInteger("N", "Missing", 9), 9);
    EXPECT_TRUE(ini.ReadBool("N", "Dec", false));
    EXPECT_FALSE(ini.ReadBool("N", "Zero", true));
    EXPECT_TRUE(ini.ReadBool("N", "True", true)); // not a number: the default
    EXPECT_FALSE(ini.ReadBool("N", "True", false));
}

TEST_F(TIniRead, Windows1252AndEscapeBytesInNamesAndValues)
{
    const TIniFile ini(Make(SampleGameIni(), "UT2004.ini"));
    const QString cafe = DecodeWindows1252("Caf\xe9 Server");
    EXPECT_TRUE(ini.ReadSections().contains(cafe));
    EXPECT_EQ(ini.ReadString(cafe.toUpper(), "ServerName", {}),
              DecodeWindows1252("Caf\xe9 \x1b\xff\x80\x80"
                                "Deathmatch"));
    EXPECT_EQ(ini.ReadString("Engine.GameEngine", "ServerPackages", {}), "Core");
    EXPECT_EQ(ini.ReadSection("Core.System").count("Paths"), 8);
}

TEST_F(TIniRead, Utf16FileWithByteOrderMark)
{
    const QByteArray bytes = "\xff\xfe" + EncodeUtf16LE(u"[Sect]\r\nName=\u0416uk\r\n"_s);
    const TIniFile ini(Make(bytes));
    EXPECT_EQ(ini.ReadString("sect", "name", {}), u"\u0416uk"_s);
}

using TIniWrite = TIniFixture;

TEST_F(TIniWrite, OneValueOfTheGameIniChangesOnlyItsLine)
{
    const QByteArray original = SampleGameIni();
    const QString path = Make(original, "UT2004.ini");
    TIniFile ini(path);

    ini.WriteString("engine.engine", "LANGUAGE", "det");
    const qsizetype at = original.indexOf("Language=int") + 9;
    EXPECT_EQ(ReadBytes(path), QByteArray(original).replace(at, 3, "det"));
    EXPECT_EQ(ini.ReadString("Engine.Engine", "Language", {}), "det");

    // A repeated key: the first line changes, the others and the commented one stay.
    ASSERT_TRUE(WriteBytes(path, original));
    ini.WriteString("Engine.GameEngine", "ServerPackages", "Caf\u00e9");
    const qsizetype first = original.indexOf("ServerPackages=Core") + 15;
    EXPECT_EQ(ReadBytes(path), QByteArray(original).replace(first, 4, "Caf\xe9"));

    // In the section whose name holds 0xE9, beside a value full of control bytes.
    ASSERT_TRUE(WriteBytes(path, original));
    ini.WriteString(DecodeWindows1252("Caf\xe9 Server"), "AdminName", "Admin");
    const qsizetype admin = original.indexOf("AdminName=Root") + 10;
    EXPECT_EQ(ReadBytes(path), QByteArray(original).replace(admin, 4, "Admin"));
}

// Hundreds of sections, as a mod-laden game INI has: each is found by its name in any letter
// case, the first of a repeated name wins, and a write touches its own line alone.
TEST_F(TIniWrite, ManySectionsAreFoundAndWrittenByName)
{
    QByteArray original;
    for (int i = 0; i < 700; ++i)
        original += "[Caf\xe9.Pkg" + QByteArray::number(i) +
                    ".Settings]\r\nValue=" + QByteArray::number(i) + "\r\n";
    original += "[caf\xc9.pkg350.settings]\r\nValue=late\r\n";
    const QString path = Make(original);
    TIniFile ini(path);
    for (const int i : {0, 350, 699})
        EXPECT_EQ(ini.ReadString(u"CAF\u00c9.PKG%1.SETTINGS"_s.arg(i), "value", {}),
                  QString::number(i));
    EXPECT_EQ(ini.ReadSections().size(), 700);
    ini.WriteString(u"caf\u00e9.pKG350.sEtTiNgS"_s, "Value", "new");
    EXPECT_EQ(ReadBytes(path), QByteArray(original).replace("Value=350\r\n", "Value=new\r\n"));
}

// Only the value part of a line changes; new keys go after the last non-blank line of their
// section, new sections at the end, each with the line ending the file already uses.
TEST_F(TIniWrite, WritesChangeOnlyWhatTheyMust)
{
    struct TCase
    {
        const char* Original; // nullptr: no file yet
        QList<TIniValue> Writes;
        QByteArray Expected;
    };
    const TCase cases[] = {
        {"[S]\r\n  MixedCase = \"old\"  \r\n",
         {{"s", "mixedcase", "new"}},
         "[S]\r\n  MixedCase =new\r\n"},
        {"[A]\nX=1\n;note\n\n\n[B]\nY=2\n",
         {{"a", "New", "v"}},
         "[A]\nX=1\n;note\nNew=v\n\n\n[B]\nY=2\n"},
        {"[Empty]\r\n\r\n[B]\r\n", {{"Empty", "K", "v"}}, "[Empty]\r\nK=v\r\n\r\n[B]\r\n"},
        {"[A]\nX=1", {{"A", "Y", "2"}}, "[A]\nX=1\nY=2"},
        {"[A]\nX=1",
         {{"A", "Y", "2"}, {"B", "Z", "3"}, {"A", "X", "one"}},
         "[A]\nX=one\nY=2\n\n[B]\nZ=3\n"},
        {"[A]\r\nX=1\r\n\r\n",
         {{"New Section", "K", "v"}},
         "[A]\r\nX=1\r\n\r\n[New Section]\r\nK=v\r\n"},
        {nullptr, {{"S", "K", "\u20ac"}}, "[S]\r\nK=\x80\r\n"},
        // Keys above the first section belong to none: a write makes the section.
        {"K=1\n", {{"S", "K", "2"}}, "K=1\n\n[S]\nK=2\n"},
    };
    for (const TCase& c : cases) {
        const QString path = FDir.filePath("Case.ini");
        QFile::remove(path);
        if (c.Original)
            Make(c.Original, "Case.ini");
        for (const TIniValue& value : c.Writes)
            TIniFile(path).WriteString(value.Section, value.Ident, value.Value);
        EXPECT_EQ(ReadBytes(path), c.Expected) << (c.Original ? c.Original : "(no file)");
    }
    const QString empty = Make({}, "Empty.ini");
    TIniFile(empty).WriteInteger("S", "N", -3);
    TIniFile(empty).WriteBool("S", "B", true);
    EXPECT_EQ(ReadBytes(empty), "[S]\r\nN=-3\r\nB=1\r\n");
}

// Each form a file may come in is read and edited in place in that form.
TEST_F(TIniWrite, EveryEncodingAndLineEndingStaysAsItWas)
{
    const auto le = [](const QString& text) { return EncodeUtf16LE(text); };
    const auto be = [](const QString& text) {
        QByteArray bytes = EncodeUtf16LE(text);
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
            std::swap(bytes[i], bytes[i + 1]);
        return bytes;
    };
    const auto cp = [](const QString& text) { return EncodeWindows1252(text); };
    struct TForm
    {
        const char* Name;
        std::function<QByteArray(const QString&)> Encode;
        QByteArray Head, Tail;
        QString Eol;
    };
    const TForm forms[] = {
        {"UTF-16LE with a mark and a stray odd byte", le, "\xff\xfe", QByteArray(1, 0), "\r\n"},
        {"UTF-16LE without a mark", le, {}, {}, "\r\n"},
        {"UTF-16BE with a mark", be, "\xfe\xff", {}, "\r\n"},
        {"UTF-16BE without a mark", be, {}, {}, "\n"},
        {"Windows-1252 with CR alone", cp, {}, {}, "\r"},
        {"UTF-16LE with CR alone", le, "\xff\xfe", {}, "\r"},
    };
    for (const TForm& form : forms) {
        SCOPED_TRACE(form.Name);
        const auto bytes = [&](QString text) {
            return form.Head + form.Encode(text.replace("\n", form.Eol)) + form.Tail;
        };
        const QString path = Make(bytes(u"[S]\nA=\u00e9\nB=2\n\n[T]\nX=1\n"_s));
        TIniFile ini(path);
        EXPECT_EQ(ini.ReadString("s", "a", {}), u"\u00e9"_s);
        EXPECT_EQ(ini.ReadSection("T"), QStringList({"X"}));
        ini.WriteString("S", "A", "\u00e9t\u00e9");
        ini.WriteString("S", "C", "3");
        EXPECT_EQ(ReadBytes(path), bytes(u"[S]\nA=\u00e9t\u00e9\nB=2\nC=3\n\n[T]\nX=1\n"_s));
    }

    // Zero bytes in no pattern of either byte order: no write, and a reason naming the file.
    const QByteArray unknown("[S]\r\nA=1\0\0\0\r\nB=2\r\n", 17);
    const QString path = Make(unknown, "Unknown.ini");
    try {
        TIniFile(path).WriteString("S", "A", "2");
        ADD_FAILURE() << "the write was not refused";
    } catch (const EIniFileException& error) {
        EXPECT_EQ(error.FileName(), path);
        EXPECT_TRUE(QString::fromLocal8Bit(error.what()).contains("Unknown.ini"));
    }
    EXPECT_THROW(TIniFile(path).DeleteKey("S", "B"), EIniFileException);
    EXPECT_EQ(ReadBytes(path), unknown);
}

TEST_F(TIniWrite, DeleteKeyAndEraseSection)
{
    const QByteArray original = "[A]\r\nK=1\r\nK=2\r\n\r\n[B]\r\nX=1\r\n\r\n[a]\r\nK=3\r\n";
    const QString path = Make(original);
    TIniFile ini(path);
    ini.DeleteKey("a", "k");
    EXPECT_EQ(ReadBytes(path), "[A]\r\nK=2\r\n\r\n[B]\r\nX=1\r\n\r\n[a]\r\nK=3\r\n");
    ini.EraseSection("B");
    EXPECT_EQ(ReadBytes(path), "[A]\r\nK=2\r\n\r\n[a]\r\nK=3\r\n");
    ini.EraseSection("A");
    EXPECT_EQ(ReadBytes(path), "[a]\r\nK=3\r\n");

    // Nothing to delete: the file is not touched, a missing one not made.
    ini.DeleteKey("a", "Missing");
    ini.EraseSection("Missing");
    EXPECT_EQ(ReadBytes(path), "[a]\r\nK=3\r\n");
    TIniFile(FDir.filePath("None.ini")).EraseSection("A");
    EXPECT_FALSE(QFile::exists(FDir.filePath("None.ini")));
}

// A run of removals written once gives the file that one removal at a time gives, whatever
// the order, repeated names and names that are missing.
TEST_F(TIniWrite, DeleteKeysMatchesOneDeleteKeyAtATime)
{
    const QByteArray lf = "; head\n[Cache]\nA-1=a.u\nB-1=b.u\n  b-1 = again.u\n;C-1=c.u\n"
                          "C-1=c.u\n\n[Other]\nA-1=x\n[cache]\nA-1=y\nD-1=d.u";
    const QByteArray utf16 =
        "\xff\xfe" + EncodeUtf16LE(u"[Cache]\r\nA-1=\u00e9.u\r\nB-1=b\r\n"_s) + "\x00";
    const QStringList idents{"D-1", "b-1", "Missing", "A-1", "B-1", "b-1", " C-1 "};
    for (const QByteArray& original : {lf, utf16}) {
        const QString one = Make(original, "One.ini");
        for (const QString& ident : idents)
            TIniFile(one).DeleteKey("Cache", ident);
        const QString run = Make(original, "Run.ini");
        TIniFile(run).DeleteKeys("CACHE", idents);
        EXPECT_EQ(ReadBytes(run), ReadBytes(one));
    }
    EXPECT_EQ(ReadBytes(FDir.filePath("Run.ini")),
              "\xff\xfe" + EncodeUtf16LE(u"[Cache]\r\n"_s) + "\x00");

    const QString path = Make(lf);
    EXPECT_EQ(TIniFile(path).DeleteKeys("Cache", {"Missing", "E-1"}), 0);
    EXPECT_EQ(TIniFile(path).DeleteKeys("Nowhere", {"A-1"}), 0);
    EXPECT_EQ(ReadBytes(path), lf);
}

TEST_F(TIniWrite, WriteStringsMatchesOneWriteStringAtATime)
{
    const QByteArray lf = "; head\n[Video]\nGamma=0.8\n\n[Gore]\nLevel=0";
    const QByteArray utf16 = "\xff\xfe" + EncodeUtf16LE(u"[Video]\r\nGamma=\u00e9\r\n"_s) + "\x00";
    const QList<TIniValue> values = {{"video", "Gamma", "1.1"},
                                     {"Video", "Contrast", "0.5"},
                                     {"Gore", "Level", "2"},
                                     {"New", "Key", "v"},
                                     {"VIDEO", " gamma ", "1.2"}};
    for (const QByteArray& original : {lf, utf16, QByteArray()}) {
        const QString one = Make(original, "One.ini");
        for (const TIniValue& value : values)
            TIniFile(one).WriteString(value.Section, value.Ident, value.Value);
        const QString run = Make(original, "Run.ini");
        TIniFile(run).WriteStrings(values);
        EXPECT_EQ(ReadBytes(run), ReadBytes(one));
    }

    // One value that cannot be written keeps the others out too.
    const QString path = Make(lf);
    EXPECT_THROW(TIniFile(path).WriteStrings({{"Video", "Gamma", "1"}, {"Video", "a=b", "x"}}),
                 EIniFileException);
    EXPECT_EQ(ReadBytes(path), lf);
}

// Repeated keys line by line: the n-th line of a name (without regard to case) is read,
// written and removed, values as they stand, every other byte kept.
TEST_F(TIniWrite, KeyLinesAreReadWrittenAndRemovedOneByOne)
{
    const QByteArray original = "[Engine.GameEngine]\r\n"
                                "ServerPackages = Core \r\n"
                                "; ServerPackages=Commented\r\n"
                                "serverpackages=\"Engine\"\r\n"
                                "Other=1\r\n"
                                "SERVERPACKAGES=\r\n"
                                "[engine.gameengine]\r\n"
                                "ServerPackages=Second section\r\n";
    const QString path = Make(original);
    TIniFile ini(path);
    const QList<TIniKeyLine> lines = ini.ReadKeyLines("ENGINE.GameEngine");
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[1].Name, "serverpackages");
    EXPECT_EQ(lines[1].Value, "\"Engine\"");
    EXPECT_EQ(lines[1].Occurrence, 1);
    EXPECT_EQ(lines[2].Occurrence, 0);
    EXPECT_EQ(lines[3].Occurrence, 2);
    EXPECT_EQ(ini.ReadValueAt("Engine.GameEngine", "ServerPackages", 0), "Core");
    EXPECT_EQ(ini.ReadValueAt("Engine.GameEngine", "ServerPackages", 2), "");
    EXPECT_EQ(ini.ReadValueAt("Engine.GameEngine", "ServerPackages", 3), std::nullopt);

    // Written back as read: not a byte changes. The blanks around a value stay.
    ini.WriteValueAt("Engine.GameEngine", "ServerPackages", 1, "\"Engine\"");
    ini.WriteValueAt("Engine.GameEngine", "ServerPackages", 0, "Core");
    EXPECT_EQ(ReadBytes(path), original);
    ini.WriteValueAt("Engine.GameEngine", "ServerPackages", 0, "Fire");
    ini.WriteValueAt("Engine.GameEngine", "serverPACKAGES", 2, "XGame");
    QByteArray expected = original;
    expected.replace("ServerPackages = Core \r\n", "ServerPackages = Fire \r\n")
        .replace("SERVERPACKAGES=\r\n", "SERVERPACKAGES=XGame\r\n");
    EXPECT_EQ(ReadBytes(path), expected);

    // A line that is not there is added to the section, as is a new line of a name it holds.
    ini.WriteValueAt("Engine.GameEngine", "ServerPackages", 5, "Added");
    ini.AddKeyLine("Engine.GameEngine", "Other", "");
    expected.replace("XGame\r\n", "XGame\r\nServerPackages=Added\r\nOther=\r\n");
    EXPECT_EQ(ReadBytes(path), expected);

    EXPECT_TRUE(ini.DeleteKeyAt("Engine.GameEngine", "ServerPackages", 1));
    EXPECT_FALSE(ini.DeleteKeyAt("Engine.GameEngine", "ServerPackages", 3));
    EXPECT_FALSE(ini.DeleteKeyAt("Missing", "ServerPackages", 0));
    expected.replace("serverpackages=\"Engine\"\r\n", "");
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_THROW(ini.WriteValueAt("Engine.GameEngine", "A=B", 0, "1"), EIniFileException);
    EXPECT_THROW(ini.AddKeyLine("Engine.GameEngine", "K", "1\n[Injected]"), EIniFileException);
    EXPECT_EQ(ReadBytes(path), expected);

    // A file in UTF-16 stays in it.
    const QString wide =
        Make("\xff\xfe" + EncodeUtf16LE(u"[S]\r\nK=1\r\nK=\u0416\r\n"_s), "Wide.ini");
    TIniFile(wide).WriteValueAt("S", "K", 1, u"\u00e9"_s);
    EXPECT_EQ(ReadBytes(wide), "\xff\xfe" + EncodeUtf16LE(u"[S]\r\nK=1\r\nK=\u00e9\r\n"_s));
}

TEST_F(TIniWrite, NamesAndValuesThatCannotBeKeptAreRefused)
{
    const QByteArray original = "[S]\r\nK=1\r\n";
    const QString path = Make(original);
    TIniFile ini(path);
    EXPECT_THROW(ini.WriteString("S", "K", "two\r\nInjected=1"), EIniFileException);
    EXPECT_THROW(ini.WriteString("S", "A=B", "1"), EIniFileException);
    EXPECT_THROW(ini.WriteString("S", " ", "1"), EIniFileException);
    EXPECT_THROW(ini.WriteString("S", ";K", "1"), EIniFileException);
    EXPECT_THROW(ini.WriteString("S]x", "K", "1"), EIniFileException);
    EXPECT_THROW(ini.WriteString("", "K", "1"), EIniFileException);
    EXPECT_EQ(ReadBytes(path), original);
}

TEST_F(TIniWrite, FailedWriteRaisesNamesTheFileAndLeavesItWhole)
{
    const QString folder = FDir.filePath("System");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray original = SampleGameIni();
    const QString path = folder + "/UT2004.ini";
    ASSERT_TRUE(WriteBytes(path, original));
    ASSERT_TRUE(SetMode(folder, 0555));
    {
        TFileProtection protection(FDir.path());
        TIniFile ini(path);
        try {
            ini.WriteString("Engine.Engine", "Language", "det");
            FAIL() << "a write into a read-only folder succeeded";
        } catch (const EIniFileException& e) {
            EXPECT_EQ(e.FileName(), path);
            EXPECT_TRUE(QString::fromLocal8Bit(e.what()).contains("UT2004.ini"));
        }
        EXPECT_EQ(ini.ReadString("Engine.Engine", "Language", {}), "int");
        EXPECT_THROW(ini.WriteString("New", "K", "v"), EIniFileException);
        EXPECT_THROW(ini.EraseSection("URL"), EIniFileException);
    }
    ASSERT_TRUE(SetMode(folder, 0755));
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"UT2004.ini"});
}

TEST_F(TIniWrite, ReadOnlyFileIsNotReplaced)
{
    const QByteArray original = "[S]\nK=1\n";
    const QString path = Make(original);
    ASSERT_TRUE(SetMode(FDir.path(), 0777));
    ASSERT_TRUE(SetMode(path, 0444));
    {
        TFileProtection protection(FDir.path());
        EXPECT_THROW(TIniFile(path).WriteString("S", "K", "2"), EIniFileException);
    }
    ASSERT_TRUE(SetMode(FDir.path(), 0700));
    EXPECT_EQ(ReadBytes(path), original);
}

TEST_F(TIniWrite, PermissionsAndLinksAreKept)
{
    const QString target = Make("[S]\nK=1\n", "Target.ini");
    ASSERT_TRUE(SetMode(target, 0640));
    const QString link = FDir.filePath("Link.ini");
    ASSERT_TRUE(QFile::link(target, link));
    TIniFile(link).WriteString("S", "K", "2");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadBytes(target), "[S]\nK=2\n");
    EXPECT_EQ(QFile::permissions(target), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                              QFile::WriteUser | QFile::ReadGroup);
}

// The parse cache: a change on disk is seen at the next read however it was made.
using TIniCache = TIniFixture;

void Overwrite(const QString& path, qint64 at, const QByteArray& bytes, const QDateTime& modified)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.seek(at);
    file.write(bytes);
    file.flush();
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
}

TEST_F(TIniCache, InPlaceChangeOfSameSizeAndTimeIsSeen)
{
    const QString path = Make("[S]\nK=aaaa\n");
    const TIniFile ini(path);
    ASSERT_EQ(ini.ReadString("S", "K", {}), "aaaa");
    Overwrite(path, 6, "bbbb", QFileInfo(path).lastModified());
    EXPECT_EQ(ini.ReadString("S", "K", {}), "bbbb");
}

TEST_F(TIniCache, ReplacedDeletedAndCreatedFilesAreSeen)
{
    const QString path = Make("[S]\nK=1\n");
    const TIniFile ini(path);
    ASSERT_EQ(ini.ReadString("S", "K", {}), "1");
    const QString other = Make("[S]\nK=2\n", "Other.ini");
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_EQ(ini.ReadValue("S", "K"), std::nullopt);
    ASSERT_TRUE(QFile::rename(other, path));
    EXPECT_EQ(ini.ReadString("S", "K", {}), "2");
    // Old bytes in a new file: the renamed file is another file even with equal size and time.
    ASSERT_TRUE(WriteBytes(other, "[S]\nK=3\n"));
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::rename(other, path));
    EXPECT_EQ(ini.ReadString("S", "K", {}), "3");
}

// Through a symbolic link the cache compares identity, size and times instead of relying on
// change reports; an old file's times are trusted, so this takes the cached path.
TEST_F(TIniCache, ChangesBehindALinkAreSeen)
{
    const QString first = Make("[S]\nK=aaaa\n", "First.ini");
    const QString second = Make("[S]\nK=cccc\n", "Second.ini");
    const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
    for (const QString& path : {first, second})
        Overwrite(path, 0, {}, old);
    const QString link = FDir.filePath("Link.ini");
    ASSERT_TRUE(QFile::link(first, link));
    const TIniFile ini(link);
    ASSERT_EQ(ini.ReadString("S", "K", {}), "aaaa");
    ASSERT_EQ(ini.ReadString("S", "K", {}), "aaaa");
    Overwrite(first, 6, "bbbbb\n", old);
    EXPECT_EQ(ini.ReadString("S", "K", {}), "bbbbb");
    ASSERT_TRUE(QFile::remove(link));
    ASSERT_TRUE(QFile::link(second, link));
    EXPECT_EQ(ini.ReadString("S", "K", {}), "cccc");
}

TEST_F(TIniCache, RelativePathsFollowTheCurrentFolder)
{
    QTemporaryDir other;
    ASSERT_TRUE(WriteBytes(FDir.filePath("Rel.ini"), "[S]\nK=here\n"));
    ASSERT_TRUE(WriteBytes(QDir(other.path()).filePath("Rel.ini"), "[S]\nK=there\n"));
    const QString saved = QDir::currentPath();
    QDir::setCurrent(FDir.path());
    const QString here = TIniFile("Rel.ini").ReadString("S", "K", {});
    QDir::setCurrent(other.path());
    const QString there = TIniFile("Rel.ini").ReadString("S", "K", {});
    QDir::setCurrent(saved);
    EXPECT_EQ(here, "here");
    EXPECT_EQ(there, "there");
}

TEST_F(TIniCache, ReadersOnOtherThreadsSeeWholeFiles)
{
    const QString path = Make("[S]\nK=0\n");
    std::atomic<bool> stop = false;
    std::atomic<int> bad = 0;
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            while (!stop) {
                const QString v = TIniFile(path).ReadString("S", "K", "missing");
                if (v == "missing" || v.toInt() < 0)
                    ++bad;
            }
        });
    }
    TIniFile ini(path);
    for (int i = 1; i <= 200; ++i)
        ini.WriteInteger("S", "K", i);
    stop = true;
    for (std::thread& t : readers)
        t.join();
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(ini.ReadInteger("S", "K", 0), 200);
}

} // namespace

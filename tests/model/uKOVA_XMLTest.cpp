#include "TXMLTextFile.h"
#include "uKOVA_Strings.h"
#include "uKOVA_XML.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString WriteTemp(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    EXPECT_TRUE(WriteBytes(dir.filePath(name), bytes));
    return dir.filePath(name);
}

} // namespace

TEST(SplitStringTest, EmptyPartsLimitsAndLongDelimiters)
{
    const QString semi = u";"_s;
    EXPECT_EQ(SplitString(semi, u".u;;.int;"_s), (QStringList{".u", "", ".int"}));
    EXPECT_TRUE(SplitString(semi, QString()).isEmpty());
    EXPECT_EQ(SplitString(semi, u"a;b;c"_s, 2), (QStringList{"a", "b;c"}));
    EXPECT_EQ(SplitString(u"Ab"_s, u"xAbyabz"_s), (QStringList{"x", "yabz"}));
}

TEST(XMLNodeReadTest, ValuesAreParsedStrictly)
{
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string("<r><i>12</i><bad>12abc</bad><blank> 12</blank><neg>-3</neg>"
                                "<t>TRUE</t><zero>0</zero><yes>yes</yes><e></e>"
                                "<mode>FIMRECURSIVE</mode><other>fimSideways</other>"
                                "<text> a &amp; b </text><big>99999999999</big></r>",
                                pugi::parse_default | pugi::parse_ws_pcdata));
    const pugi::xml_node r = doc.child("r");
    for (const auto& [name, value] : std::initializer_list<std::pair<const char*, int>>{
             {"i", 12}, {"bad", 7}, {"blank", 7}, {"neg", -3}, {"big", 7}, {"e", 7}})
        EXPECT_EQ(ReadXMLNodeInt(r, name, 7), value) << name;
    for (const auto& [name, value] : std::initializer_list<std::pair<const char*, bool>>{
             {"t", true}, {"big", true}, {"zero", false}, {"yes", false}, {"bad", false}})
        EXPECT_EQ(ReadXMLNodeBool(r, name, false), value) << name;
    EXPECT_TRUE(ReadXMLNodeBool(r, "e", true));

    const QStringList modes{"fimRecursive", "fimNonRecursive", "fimAsk"};
    EXPECT_EQ(ReadXMLNodeEnum(r, "mode", modes, 2), 0);
    EXPECT_EQ(ReadXMLNodeEnum(r, "other", modes, 2), -1);
    EXPECT_EQ(ReadXMLNodeEnum(r, "e", modes, 2), 2);
    EXPECT_EQ(ReadXMLNodeText(r, "text", "d"), " a & b ");
    EXPECT_EQ(ReadXMLNodeText(r, "missing", "d"), "d");
}

TEST(XMLNodeWriteTest, WritesAppendAndEscapeAndCreateXMLFileMakesTheSkeleton)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"cache.xml"_s);
    CreateXMLFile(path, u"kovacache"_s, {u"a"_s, u"b"_s});

    pugi::xml_document doc;
    LoadXMLDocument(path, doc);
    pugi::xml_node root = doc.document_element();
    ASSERT_STREQ(root.name(), "kovacache");
    EXPECT_TRUE(FindXMLChild(root, "a"));
    EXPECT_TRUE(FindXMLChild(root, "b"));

    WriteXMLNodeText(root, "a", u"x < y & \"z\""_s);
    WriteXMLNodeText(root, "c", u"Caf\u00e9"_s);
    WriteXMLNodeBool(root, "d", true);
    WriteXMLNodeText(pugi::xml_node(), "e", u"ignored"_s);
    SaveXMLDocument(doc, path);

    pugi::xml_document again;
    LoadXMLDocument(path, again);
    root = again.document_element();
    EXPECT_EQ(ReadXMLNodeText(root, "a", QString()), "x < y & \"z\"");
    EXPECT_EQ(ReadXMLNodeText(root, "c", QString()), u"Caf\u00e9"_s);
    EXPECT_EQ(ReadXMLNodeText(root, "d", QString()), "True");
    EXPECT_STREQ(root.first_child().next_sibling().name(), "b"); // new children come after it
}

TEST(XMLTextFileTest, UnchangedFileIsWrittenBackByteForByte)
{
    QTemporaryDir dir;
    const QByteArray bytes =
        "\xEF\xBB\xBF<?xml version='1.0'?>\r\n<!-- hand made -->\r\n<root  a='1' >\r\n"
        "\t<x></x><y  /><z>a&#65;&apos;<![CDATA[<raw>]]></z>\r\n</root>\r\n";
    const QString path = WriteTemp(dir, u"a.xml"_s, bytes);
    TXMLTextFile file(path);
    EXPECT_FALSE(file.Modified());
    EXPECT_EQ(file.Bytes(), bytes);
    EXPECT_EQ(XMLNodeText(FindXMLChild(file.Root(), "z")), "aA'<raw>");
}

TEST(XMLTextFileTest, SetTextChangesOnlyThatElement)
{
    QTemporaryDir dir;
    const QString path = WriteTemp(dir, u"a.xml"_s,
                                   "<root>\n  <x>old<!-- c --></x>\n  <y/>\n  <z  ></z>\n"
                                   "  <w><x>inner</x></w>\n</root>\n");
    TXMLTextFile file(path);
    const pugi::xml_node root = file.Root();
    file.SetText(FindXMLChild(root, "x"), u"a<b"_s);
    file.SetText(FindXMLChild(root, "y"), u"new"_s);
    file.SetText(FindXMLChild(root, "z"), u"zz"_s);
    file.SetText(FindXMLChild(FindXMLChild(root, "w"), "x"), u"in"_s);
    EXPECT_EQ(file.Bytes(), QByteArray("<root>\n  <x>a&lt;b</x>\n  <y>new</y>\n  <z  >zz</z>\n"
                                       "  <w><x>in</x></w>\n</root>\n"));
    file.Save();
    EXPECT_EQ(ReadBytes(path), file.Bytes());
    EXPECT_THROW(file.SetText(FindXMLChild(root, "x"), u"bell\a"_s), EXMLFileError);
}

TEST(XMLTextFileTest, AppendedChildrenFollowTheLayout)
{
    QTemporaryDir dir;
    const QString crlf = WriteTemp(dir, u"crlf.xml"_s,
                                   "<root>\r\n  <basic>\r\n    <a>1</a>\r\n  </basic>\r\n"
                                   "  <empty/>\r\n  <flat><a>1</a></flat>\r\n</root>");
    TXMLTextFile file(crlf);
    const pugi::xml_node root = file.Root();
    file.AppendChild(FindXMLChild(root, "basic"), u"b"_s, u"2"_s);
    file.AppendChild(FindXMLChild(root, "basic"), u"c"_s, u"3"_s);
    file.AppendChild(FindXMLChild(root, "empty"), u"d"_s, u"4"_s);
    file.AppendChild(FindXMLChild(root, "flat"), u"e"_s, u"5"_s);
    EXPECT_EQ(file.Bytes(),
              QByteArray("<root>\r\n  <basic>\r\n    <a>1</a>\r\n    <b>2</b>\r\n    <c>3</c>\r\n"
                         "  </basic>\r\n  <empty><d>4</d></empty>\r\n"
                         "  <flat><a>1</a><e>5</e></flat>\r\n</root>"));
}

TEST(XMLTextFileTest, KeepsTheFileEncoding)
{
    QTemporaryDir dir;
    // UTF-16LE with its byte-order mark.
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                                        "<root><name>Caf\u00e9</name></root>\r\n");
    QByteArray utf16("\xFF\xFE");
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const QString path16 = WriteTemp(dir, u"u16.xml"_s, utf16);
    {
        TXMLTextFile file(path16);
        const pugi::xml_node name = FindXMLChild(file.Root(), "name");
        EXPECT_EQ(XMLNodeText(name), u"Caf\u00e9"_s);
        EXPECT_EQ(file.Bytes(), utf16);
        file.SetText(name, u"Na\u00efve"_s);
        QString changed = text;
        changed.replace(u"Caf\u00e9"_s, u"Na\u00efve"_s);
        QByteArray expected("\xFF\xFE");
        expected.append(reinterpret_cast<const char*>(changed.utf16()), changed.size() * 2);
        EXPECT_EQ(file.Bytes(), expected);
    }
    // A single-byte encoding keeps its bytes; what it cannot hold becomes a reference.
    const QString pathLatin =
        WriteTemp(dir, u"latin.xml"_s,
                  "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><root><n>Caf\xE9</n><m/></root>");
    TXMLTextFile latin(pathLatin);
    EXPECT_EQ(XMLNodeText(FindXMLChild(latin.Root(), "n")), u"Caf\u00e9"_s);
    latin.SetText(FindXMLChild(latin.Root(), "m"), u"\u00e9\u20ac"_s);
    EXPECT_EQ(latin.Bytes(), QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><root>"
                                        "<n>Caf\xE9</n><m>&#233;&#8364;</m></root>"));
}

TEST(XMLTextFileTest, BrokenOrMissingFilesRaise)
{
    QTemporaryDir dir;
    try {
        TXMLTextFile file(WriteTemp(dir, u"bad.xml"_s, "<a>\n<b></c>\n</a>"));
        FAIL() << "a file that is not well-formed was accepted";
    } catch (const EXMLFileError& error) {
        EXPECT_NE(std::string(error.what()).find("line 2"), std::string::npos) << error.what();
    }
    EXPECT_THROW(TXMLTextFile(WriteTemp(dir, u"empty.xml"_s, "")), EXMLFileError);
    EXPECT_THROW(TXMLTextFile(dir.filePath(u"missing.xml"_s)), EXMLFileError);
    EXPECT_THROW(TXMLTextFile(WriteTemp(dir, u"enc.xml"_s,
                                        "<?xml version=\"1.0\" encoding=\"x-no-such\"?><a/>")),
                 EXMLFileError);
}

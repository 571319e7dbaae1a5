#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

namespace {

// A package whose export "Thing" (class Actor, inside myLevel) holds the given data.
class ObjectFixture : public testing::Test
{
protected:
    TUTObject& Load(const TBytes& Data, std::uint32_t Flags = 0x000F0004)
    {
        const std::int32_t Ref =
            Writer.AddExport(Writer.ImportClass("Engine", "Actor"), "Thing", Data, Level);
        Writer.Export(Ref).Flags = Flags;
        Package.LoadFromFile(Temp.Write("Objects.u", Writer.Build()));
        return Package.GetExport(Ref - 1)->GetUTObject();
    }
    void SetUp() override
    {
        Level = Writer.AddExport(Writer.ImportClass("Engine", "Level"), "myLevel", {1, 2, 3, 4});
    }

    TTempFolder Temp;
    TPackageWriter Writer;
    TUTPackage Package;
    std::int32_t Level = 0;
};

// Reads tags from raw bytes with a loaded package's name table.
std::vector<std::unique_ptr<TUTProperty>> ReadTags(TUTPackage& Package, const TBytes& Bytes,
                                                   std::int64_t* End = nullptr)
{
    TUTMemoryStream Stream(Bytes);
    std::vector<std::unique_ptr<TUTProperty>> Props;
    for (;;) {
        Props.push_back(std::make_unique<TUTProperty>());
        if (!Package.ReadProperty(*Props.back(), Stream)) {
            break;
        }
    }
    if (End != nullptr) {
        *End = Stream.GetPosition();
    }
    return Props;
}

} // namespace

TEST_F(ObjectFixture, TagsGiveSizesArrayIndexesAndStructNames)
{
    TPropertyWriter Props(Writer);
    Props.Tag("One", 1, {7}).Tag("Two", 2, TBytes(2, 1)).Tag("Four", 2, TBytes(4, 2));
    Props.Tag("Twelve", 11, TBytes(12, 3)).Tag("Sixteen", 10, TBytes(16, 4), -1, "Plane");
    Props.Tag("Byte", 14, TBytes(5, 5))
        .Tag("Word", 14, TBytes(300, 6))
        .Tag("Long", 14, TBytes(70000, 7));
    Props.Int("Skins", 1, 5).Int("Skins", 2, 513).Int("Skins", 3, 0x123456);
    TUTObject& Object = Load(Props.Bytes());
    Object.ReadObject(true);
    const TUTPropertyList& List = Object.GetProperties();
    const std::pair<const char*, std::size_t> Sizes[] = {
        {"One", 1},      {"Two", 2},  {"Four", 4},   {"Twelve", 12},
        {"Sixteen", 16}, {"Byte", 5}, {"Word", 300}, {"Long", 70000}};
    for (const auto& [Name, Size] : Sizes) {
        ASSERT_NE(List.GetPropertyByName(Name), nullptr) << Name;
        EXPECT_EQ(List.GetPropertyByName(Name)->Value().size(), Size) << Name;
    }
    EXPECT_EQ(List.GetPropertyByName("sixteen")->TypeName(), "Plane");
    EXPECT_EQ(List.GetPropertyByName("Skins[5]")->Value()[0], 1);
    EXPECT_EQ(List.GetPropertyByName("Skins[513]")->Value()[0], 2);
    EXPECT_EQ(List.GetPropertyByName("Skins[1193046]")->Value()[0], 3);
    const TUTProperty* Last = List.GetItem(List.Count() - 1);
    EXPECT_EQ(Last->Name(), "None");
    EXPECT_EQ(Last->PropertyType(), TUTPropertyType::ptNone);
    EXPECT_EQ(Last->ArrayIndex(), -1);
    EXPECT_TRUE(Last->Value().empty());
    EXPECT_EQ(Object.BytesLeft(), 0);
    Object.ReleaseObject();
}

TEST_F(ObjectFixture, BoolTagsCarryTheirValueInTheArrayFlag)
{
    Load({});
    const std::int32_t Flag = Writer.Name("bOn");
    const std::int32_t None = Writer.Name("None");
    TByteWriter Bytes;
    Bytes.Index(Flag).Byte(0x03);             // false
    Bytes.Index(Flag).Byte(0x83);             // true
    Bytes.Index(Flag).Byte(0x53).Byte(200);   // size code 5: the size byte is read, no value
    Bytes.Index(Flag).Byte(0x73).DWord(1000); // size code 7: four size bytes
    Bytes.Index(None);
    Package.LoadFromFile(Temp.Write("Bools.u", Writer.Build()));
    std::int64_t End = 0;
    const auto Props = ReadTags(Package, Bytes.Data(), &End);
    ASSERT_EQ(Props.size(), 5u);
    EXPECT_EQ(Props[0]->Value(), TBytes{0});
    EXPECT_EQ(Props[1]->Value(), TBytes{1});
    EXPECT_EQ(Props[0]->ArrayIndex(), -1);
    EXPECT_EQ(Props[1]->ArrayIndex(), -1);
    EXPECT_EQ(Props[2]->Value(), TBytes{0});
    EXPECT_EQ(End, static_cast<std::int64_t>(Bytes.Size()));
}

TEST_F(ObjectFixture, AnUntypedTagSkipsAtMost256Bytes)
{
    Load({});
    const std::int32_t Odd = Writer.Name("Odd");
    Package.LoadFromFile(Temp.Write("Odd.u", Writer.Build()));
    TUTMemoryStream Stream(
        TByteWriter().Index(Odd).Byte(0x60).Word(300).Bytes(TBytes(300, 9)).Data());
    TUTProperty Prop;
    EXPECT_TRUE(Package.ReadProperty(Prop, Stream));
    EXPECT_EQ(Prop.PropertyType(), TUTPropertyType::ptBuffer);
    EXPECT_EQ(Prop.TypeName(), "Unknown type 0x00");
    EXPECT_TRUE(Prop.Value().empty());
    EXPECT_EQ(Stream.GetPosition(), 1 + 1 + 2 + 256);
}

TEST_F(ObjectFixture, DamagedTagsFailWithThePropertyNameAndWhere)
{
    Load({});
    const std::int32_t Title = Writer.Name("Title");
    const std::int32_t Control = Writer.Name("Ti\x01tle");
    Package.LoadFromFile(Temp.Write("Bad.u", Writer.Build()));
    struct TCase
    {
        TBytes Bytes;
        std::string Message;
    };
    const TCase Cases[] = {
        {{}, "Exception reading property <unknown> at byte 2"},
        {EncodeCompactIndex(5000), "Exception reading property 5000 at byte 2"},
        {TByteWriter().Index(Title).Data(), "Exception reading property Title at byte 2"},
        // A 32-bit size far beyond the data, and a negative one.
        {TByteWriter().Index(Title).Byte(0x72).DWord(0x7FFFFFF0).Data(),
         "Exception reading property Title at byte 2"},
        {TByteWriter().Index(Title).Byte(0x72).DWord(0xFFFFFFF0).Data(),
         "Exception reading property Title at byte 2"},
        {TByteWriter().Index(Title).Byte(0xA2).Data(),
         "Exception reading property Title at byte 2"},
        {TByteWriter().Index(Title).Byte(0x0A).Index(7000).Data(),
         "Exception reading property Title at byte 2"},
        // A name of control bytes from a damaged file is shown escaped.
        {TByteWriter().Index(Control).Data(), "Exception reading property Ti\\x01tle at byte 2"},
    };
    for (const TCase& Case : Cases) {
        TUTMemoryStream Stream(TByteWriter().Byte(0).Byte(0).Bytes(Case.Bytes).Data());
        Stream.Seek(2);
        TUTProperty Prop;
        try {
            Package.ReadProperty(Prop, Stream);
            ADD_FAILURE() << Case.Message;
        } catch (const EReadingUTProperty& Error) {
            EXPECT_EQ(std::string(Error.what()), Case.Message);
        }
        EXPECT_FALSE(Prop.Valid());
    }
    // A property of an object names its export.
    TUTObject& Object = Load(TByteWriter().Index(Title).Byte(0x72).DWord(99).Data());
    try {
        Object.ReadObject(true);
        ADD_FAILURE() << "a damaged tag was read";
    } catch (const EReadingUTProperty& Error) {
        EXPECT_EQ(std::string(Error.what()),
                  "Exception reading property Title at byte 0 of export " +
                      std::to_string(Object.ExportIndex()) + " (Thing)");
    }
    Object.ReleaseObject();
}

TEST_F(ObjectFixture, StaticArrayElementZeroGetsItsIndex)
{
    TPropertyWriter Props(Writer);
    Props.Int("Skins", 10).Int("Skins", 11, 1).Int("paths", 1).Int("Paths", 2).Int("Alone", 3);
    TUTObject& Object = Load(Props.Bytes());
    Object.ReadObject(true);
    const TUTPropertyList& List = Object.GetProperties();
    EXPECT_EQ(List.GetItem(0)->ArrayIndex(), 0);
    EXPECT_EQ(List.GetItem(2)->ArrayIndex(), 0);  // "paths" is a known array
    EXPECT_EQ(List.GetItem(3)->ArrayIndex(), -1); // the known names are lower case
    EXPECT_EQ(List.GetPropertyByName("SKINS[0]"), List.GetItem(0));
    EXPECT_EQ(List.GetPropertyByName("skins[1]"), List.GetItem(1));
    EXPECT_EQ(List.GetPropertyByName("Skins"), nullptr);
    EXPECT_EQ(List.GetPropertyByName("Alone"), List.GetItem(4));
    EXPECT_EQ(List.GetPropertyByName("Skins[12"), List.GetItem(1)); // index text "1"
    EXPECT_EQ(List.GetPropertyByName("Skins[x]"), List.GetItem(0));
    EXPECT_EQ(List.GetPropertyByName("Skins["), List.GetItem(0));
    EXPECT_EQ(List.GetItem(99), nullptr);
    Object.ReleaseObject();
}

TEST_F(ObjectFixture, ReadersAreCountedAndTheDataFreedByTheLast)
{
    TUTObject& Object = Load(TPropertyWriter(Writer).Int("A", 1).Bytes());
    try {
        Object.GetProperties();
        FAIL() << "properties before ReadObject";
    } catch (const EAssertionFailed& Error) {
        EXPECT_EQ(
            std::string(Error.what()).rfind("Thing: ReadObject was not called for this object!", 0),
            0u);
    }
    Object.ReadObject(true);
    Object.ReadObject(true);
    EXPECT_EQ(Object.ReadCount(), 2);
    EXPECT_EQ(Package.StreamCount(), 0);
    Object.ReleaseObject();
    EXPECT_TRUE(Object.Loaded());
    EXPECT_EQ(Object.GetProperties().Count(), 2);
    Object.ReleaseObject();
    EXPECT_FALSE(Object.Loaded());
    EXPECT_THROW(Object.GetProperties(), EAssertionFailed);
    Object.ReleaseObject();
    EXPECT_EQ(Object.ReadCount(), -1);
    EXPECT_EQ(Object.GetPath(), "myLevel.Thing");
}

TEST_F(ObjectFixture, StateFramesClassesAndEmptyObjects)
{
    TByteWriter Framed;
    Framed.Index(3).Index(4).Int64(-1).DWord(7).Index(9); // node, state node, mask, action, offset
    Framed.Bytes(TPropertyWriter(Writer).Int("A", 1).Bytes());
    TUTObject& Object = Load(Framed.Data(), 0x02000000);
    std::vector<std::string> Fields;
    Package.NotifyReads = true;
    Package.OnReadField = [&](TUTReadFormat, TUTReadHint, std::int64_t, std::int64_t,
                              std::string_view Field) { Fields.emplace_back(Field); };
    Object.ReadObject(true);
    EXPECT_EQ(Object.GetProperties().Count(), 2);
    EXPECT_EQ(Fields,
              (std::vector<std::string>{"StateFrame.Node", "StateFrame.StateNode",
                                        "StateFrame.ProbeMask", "StateFrame.LatentAction",
                                        "(StateFrame.Node.)?Offset", "Property", "Property"}));
    Object.ReleaseObject();

    const std::int32_t Class = Writer.AddExport(0, "MyClass", {1, 2, 3});
    const std::int32_t Empty = Writer.AddExport(Writer.ImportClass("Engine", "Actor"), "Empty", {});
    Package.LoadFromFile(Temp.Write("More.u", Writer.Build()));
    TUTObject& ClassObject = Package.GetExport(Class - 1)->GetUTObject();
    ClassObject.ReadObject(true);
    EXPECT_TRUE(ClassObject.PropertiesRead());
    EXPECT_EQ(ClassObject.GetProperties().Count(), 0);
    ClassObject.ReleaseObject();
    TUTObject& EmptyObject = Package.GetExport(Empty - 1)->GetUTObject();
    EmptyObject.ReadObject(true);
    EXPECT_TRUE(EmptyObject.Loaded());
    EXPECT_EQ(EmptyObject.GetProperties().Count(), 0);
    EXPECT_EQ(EmptyObject.BytesLeft(), -1);
    EmptyObject.ReleaseObject();
}

TEST_F(ObjectFixture, AFailedParseStartsAgainFromTheFirstByte)
{
    TUTObject& Object = Load(TPropertyWriter(Writer).Int("A", 1).Int("B", 2).Int("C", 3).Bytes());
    int Calls = 0;
    Package.OnPropertyRead = [&](TUTPackage&) {
        if (++Calls == 2) {
            throw EReadError("interrupted");
        }
    };
    EXPECT_THROW(Object.ReadObject(true), EReadError);
    EXPECT_TRUE(Object.Loaded());
    EXPECT_FALSE(Object.PropertiesRead());
    Object.ReadObject(true);
    EXPECT_EQ(Calls, 2 + 4);
    ASSERT_EQ(Object.GetProperties().Count(), 4);
    EXPECT_EQ(Object.GetProperties().GetItem(0)->Name(), "A");
    Object.ReleaseObject();
    Object.ReleaseObject();
    EXPECT_FALSE(Object.Loaded());
}

TEST(MapPackages, GiveTheirSummaryTexts)
{
    TTempFolder Temp;
    TUTPackage Package;
    const auto Summary = [&](const TMapTexts& Texts) -> TUTObject* {
        Package.LoadFromFile(Temp.Write("DM-Test.ut2", MakeMapPackage(Texts)));
        const int Index = Package.FindObject(TUTFindKind::fkExport, TUTFindFields::ffObjectName, "",
                                             "LEVELSUMMARY", "", 0);
        return Index < 0 ? nullptr : &Package.GetExport(Index)->GetUTObject();
    };
    TMapTexts Texts;
    Texts.Title = "Caf\xe9";
    Texts.Author = "Me";
    TUTObject* Narrow = Summary(Texts);
    ASSERT_NE(Narrow, nullptr);
    Narrow->ReadObject(true);
    const TUTPropertyList& Props = Narrow->GetProperties();
    EXPECT_EQ(std::get<std::string>(Props.GetPropertyByName("title")->GetValue()), "Caf\xe9");
    EXPECT_EQ(Props.GetPropertyByName("Description"), nullptr);
    Narrow->ReleaseObject();

    Texts.Utf16 = true;
    Texts.Title = "\xd0\x9a\xd0\xb0\xd1\x80\xd1\x82\xd0\xb0 \xf0\x9f\x98\x80"; // Cyrillic, emoji
    TUTObject* Wide = Summary(Texts);
    ASSERT_NE(Wide, nullptr);
    Wide->ReadObject(true);
    const TUTProperty* Title = Wide->GetProperties().GetPropertyByName("Title");
    EXPECT_EQ(std::get<std::u16string>(Title->GetValue()),
              u"\u041a\u0430\u0440\u0442\u0430 \U0001F600");
    EXPECT_EQ(Title->GetValueAsString(), "\"????? ??\"");
    EXPECT_EQ(
        std::get<std::u16string>(Wide->GetProperties().GetPropertyByName("Author")->GetValue()),
        u"Me");
    Wide->ReleaseObject();

    Texts.WithLevelSummary = false;
    EXPECT_EQ(Summary(Texts), nullptr);
}

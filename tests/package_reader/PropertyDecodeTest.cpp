#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>

namespace {

using enum TUTPropertyType;

// A loaded package to decode against: names, an import class, exports (one of them a class).
class DecodeFixture : public testing::Test
{
protected:
    void SetUp() override
    {
        Level = Writer.AddExport(Writer.ImportClass("Engine", "Level"), "myLevel", {1});
        ClassExport = Writer.AddExport(0, "MyClass", {1});
        Thing = Writer.AddExport(ClassExport, "Thing", {1}, Level);
        for (const char* Name : {"Skins", "Location", "Odd"}) {
            Writer.Name(Name);
        }
    }
    void Reload(std::uint16_t Version = 128)
    {
        Writer.Version = Version;
        Package.LoadFromFile(Temp.Write("Decode.u", Writer.Build()));
    }
    TUTProperty& Make(TUTPropertyType Type, const TBytes& Raw, const std::string& TypeName = {},
                      std::int32_t ArrayIndex = -1, const std::string& Name = "Prop")
    {
        if (Package.GetNameCount() == 0) {
            Reload();
        }
        Props.push_back(std::make_unique<TUTProperty>());
        Props.back()->SetProperty(&Package, Name, ArrayIndex, Type, Raw.data(),
                                  static_cast<std::int32_t>(Raw.size()), TypeName);
        return *Props.back();
    }
    static TUTDecodedValue Decode(const TUTProperty& Prop, int Element = -1, int Member = -1)
    {
        return Prop.GetValueFull(Element, Member);
    }

    TTempFolder Temp;
    TPackageWriter Writer;
    TUTPackage Package;
    std::vector<std::unique_ptr<TUTProperty>> Props;
    std::int32_t Level = 0, ClassExport = 0, Thing = 0;
};

TBytes Floats(std::initializer_list<float> Values)
{
    TByteWriter W;
    for (const float V : Values) {
        W.Float(V);
    }
    return W.Data();
}

} // namespace

TEST_F(DecodeFixture, ScalarsDecodeToValueAndText)
{
    TUTDecodedValue D = Decode(Make(ptInt, {0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(std::get<std::int32_t>(D.Value), -1);
    EXPECT_EQ(D.Text, "-1");
    EXPECT_EQ(D.TypeText, "Int");
    D = Decode(Make(ptWord, {0xFF, 0xFF}));
    EXPECT_EQ(std::get<std::uint16_t>(D.Value), 65535);
    EXPECT_EQ(D.Text, "65535");
    D = Decode(Make(ptFloat, Floats({1.5f})));
    EXPECT_EQ(std::get<double>(D.Value), 1.5);
    EXPECT_EQ(D.Text, "1.50");
    EXPECT_EQ(Decode(Make(ptFloat, Floats({-1234567.125f}))).Text, "-1234567.12");
    EXPECT_EQ(Decode(Make(ptBool, {2})).Text, "True");
    EXPECT_TRUE(std::get<bool>(Decode(Make(ptBool, {2})).Value));
    EXPECT_EQ(Decode(Make(ptBool, {0})).Text, "False");
    EXPECT_EQ(Decode(Make(ptObject, {0})).Text, "None");
    EXPECT_EQ(Decode(Make(ptObject, EncodeCompactIndex(Thing))).Text, "MyClass'myLevel.Thing'");
    EXPECT_EQ(Decode(Make(ptObject, EncodeCompactIndex(ClassExport))).Text, "Class'MyClass'");
    EXPECT_EQ(Decode(Make(ptObject, EncodeCompactIndex(-2))).Text, "Class'Engine.Level'");
    EXPECT_EQ(std::get<std::int32_t>(Decode(Make(ptObject, EncodeCompactIndex(-2))).Value), -2);
    EXPECT_EQ(Decode(Make(ptObject, EncodeCompactIndex(5000))).Text, "Class''");
    EXPECT_EQ(Decode(Make(ptClass, EncodeCompactIndex(Level))).Text, "Class'myLevel'");
    D = Decode(Make(ptName, EncodeCompactIndex(Writer.Name("Skins"))));
    EXPECT_EQ(D.Text, "Skins");
    EXPECT_EQ(std::get<std::int32_t>(D.Value), Writer.Name("Skins"));
    EXPECT_THROW(Decode(Make(ptName, EncodeCompactIndex(9999))), EListError);
    D = Decode(Make(ptVector, {1, 2, 3}));
    EXPECT_EQ(std::get<std::vector<std::uint8_t>>(D.Value), (TBytes{1, 2, 3}));
    EXPECT_EQ(D.Text, "");
    D = Decode(Make(ptMap, {'a', 0, 'b'}));
    EXPECT_EQ(std::get<std::string>(D.Value), std::string("a\0b", 3));
    EXPECT_EQ(D.Text, "");
    D = Decode(Make(ptNone, {}));
    EXPECT_EQ(D.TypeText, "");
    EXPECT_EQ(std::get<std::uint8_t>(D.Value), 0);
}

TEST_F(DecodeFixture, BytesShowEnumerationValueNames)
{
    TUTDecodedValue D = Decode(Make(ptByte, {1}, "ESheerAxis"));
    EXPECT_EQ(D.Text, "SHEER_XY");
    EXPECT_EQ(D.TypeText, "ESheerAxis");
    EXPECT_EQ(std::get<std::uint8_t>(D.Value), 1);
    EXPECT_EQ(Decode(Make(ptByte, {20}, "esparktype")).Text, "SPARK_CustomCloud");
    D = Decode(Make(ptByte, {1}, "BYTE"));
    EXPECT_EQ(D.Text, "1");
    EXPECT_EQ(D.TypeText, "Byte");
    D = Decode(Make(ptByte, {3}, "EUnknown"));
    EXPECT_EQ(D.Text, "3");
    EXPECT_EQ(D.TypeText, "EUnknown");
    EXPECT_EQ(Decode(Make(ptByte, {9}, "ESheerAxis")).Text, "9");
    EXPECT_EQ(GetKnownEnumValue("ESheerAxis", -1), "-1");
    // A registration never replaces the names the reader knows.
    RegisterKnownEnumValues("ESheerAxis", {"Other"});
    EXPECT_EQ(GetKnownEnumValue("ESheerAxis", 0), "SHEER_None");
    EXPECT_FALSE(GetKnownStructElement("Rotator", 9, 128));
}

TEST_F(DecodeFixture, StringsOfBothForms)
{
    TUTDecodedValue D = Decode(Make(ptStr, {6, 'H', 'e', 'l', 'l', 'o', 0}));
    EXPECT_EQ(std::get<std::string>(D.Value), "Hello");
    EXPECT_EQ(D.Text, "\"Hello\"");
    D = Decode(Make(ptStr, {1, 0}));
    EXPECT_EQ(std::get<std::string>(D.Value), "");
    EXPECT_EQ(D.Text, "\"\"");
    EXPECT_EQ(std::get<std::string>(Decode(Make(ptStr, {0})).Value), "");
    EXPECT_EQ(std::get<std::string>(Decode(Make(ptStr, {3, 0xE9, 0, 0})).Value), "\xE9");
    // A negative length counts UTF-16LE code units.
    D = Decode(
        Make(ptStr, TByteWriter().Index(-4).Word(0x20AC).Word('a').Word(0x4E16).Word(0).Data()));
    EXPECT_EQ(std::get<std::u16string>(D.Value), u"\u20ACa\u4E16");
    EXPECT_EQ(D.Text, "\"\x80"
                      "a?\"");
    EXPECT_EQ(
        std::get<std::u16string>(Decode(Make(ptStr, TByteWriter().Index(-1).Word(0).Data())).Value),
        u"");
    // Lengths past the value fail; nothing outside it is read.
    EXPECT_THROW(Decode(Make(ptStr, {10, 'a'})), EReadError);
    EXPECT_THROW(Decode(Make(ptStr, TByteWriter().Index(-3).Word('a').Data())), EReadError);
    EXPECT_THROW(Decode(Make(ptStr, EncodeCompactIndex(INT32_MIN))), EReadError);
    EXPECT_THROW(Decode(Make(ptInt, {1, 2})), EReadError);
    EXPECT_THROW(Decode(Make(ptStr, {0x40})), EReadError);
    // Quoting goes through the hook.
    Package.OnQuoteString = [](const std::string& S) { return "'" + S + "'"; };
    EXPECT_EQ(Decode(Make(ptStr, {2, 'x', 0})).Text, "'x'");
}

TEST_F(DecodeFixture, Code7IsAStringOrADelegateByVersion)
{
    Reload(119);
    TUTDecodedValue D = Decode(Make(ptString, {3, 'a', 'b', 0}));
    EXPECT_EQ(D.TypeText, "String");
    EXPECT_EQ(D.Text, "\"ab\"");
    Reload(128);
    D = Decode(Make(ptString, TByteWriter().Index(Thing).Index(Writer.Name("Skins")).Data()));
    EXPECT_EQ(D.TypeText, "Delegate");
    EXPECT_EQ(std::get<std::string>(D.Value), "myLevel.Thing.Skins");
    EXPECT_EQ(D.Text, "\"myLevel.Thing.Skins\"");
}

TEST_F(DecodeFixture, KnownStructsListTheirMembers)
{
    TUTProperty& Location = Make(ptStruct, Floats({1, 2, 3}), "Vector", -1, "Location");
    TUTDecodedValue D = Decode(Location);
    EXPECT_EQ(D.Text, "(X=1.00,Y=2.00,Z=3.00)");
    EXPECT_EQ(std::get<std::string>(D.Value), D.Text);
    EXPECT_EQ(D.TypeText, "Vector");
    EXPECT_EQ(D.PropertyType, ptStruct);
    EXPECT_EQ(Location.GetDescription(), "Location (Vector) = (X=1.00,Y=2.00,Z=3.00)");
    D = Decode(Location, -1, 1);
    EXPECT_EQ(D.Name, "Y");
    EXPECT_EQ(D.Text, "2.00");
    EXPECT_EQ(D.TypeText, "Float");
    EXPECT_EQ(D.PropertyType, ptStruct);
    // Neither known nor found: the raw bytes.
    D = Decode(Make(ptStruct, {1, 2, 3}, "Mystery"));
    EXPECT_EQ(D.Text, "");
    EXPECT_EQ(D.PropertyType, ptBuffer);
    EXPECT_EQ(std::get<std::string>(D.Value), std::string("\x01\x02\x03"));
    EXPECT_EQ(
        Make(ptName, EncodeCompactIndex(Writer.Name("Skins")), "", 2, "Skins").GetDescription(),
        "Skins[2] (Name) = Skins");
    EXPECT_EQ(Make(ptNone, {}, "", -1, "None").GetDescription(), "None");
    TUTProperty Invalid;
    EXPECT_EQ(Invalid.GetDescription(), "");
    EXPECT_EQ(Invalid.GetValueAsString(), "0");
}

TEST_F(DecodeFixture, KnownStructsInTheFormTheirVersionStores)
{
    // As this game's files store them: colors B, G, R, A; regions, scales and planes as tagged
    // lists of their members, in any order and perhaps without some.
    const TBytes Region = TPropertyWriter(Writer)
                              .Object("Zone", Level)
                              .Int("iLeaf", -1)
                              .Byte("ZoneNumber", 0)
                              .Bytes();
    const TBytes Scale = TPropertyWriter(Writer)
                             .Struct("Scale", "Vector", Floats({1, 1, 1}))
                             .Float("SheerRate", 0)
                             .Byte("SheerAxis", 5)
                             .Bytes();
    const TBytes Plane = TPropertyWriter(Writer).Float("W", 4).Float("X", 1).Float("Z", 3).Bytes();
    const TBytes Misnamed = TPropertyWriter(Writer).Int("iLeaf", 1).Int("Leaf", 2).Bytes();
    TBytes Longer = Region;
    Longer.push_back(0);
    const TBytes BinaryRegion = TByteWriter().Index(0).DWord(7).Byte(2).Data();
    const TBytes BinaryScale = TByteWriter().Bytes(Floats({1, 1, 1, 0})).Byte(0).Data();
    const auto Text = [&](const TBytes& Bytes, const char* Struct) {
        return Decode(Make(ptStruct, Bytes, Struct)).Text;
    };
    Reload(128);
    EXPECT_EQ(Text({255, 0, 0, 0}, "Color"), "(B=255,G=0,R=0,A=0)");
    EXPECT_EQ(Text(Region, "PointRegion"), "(Zone=Level'myLevel',iLeaf=-1,ZoneNumber=0)");
    EXPECT_EQ(Text(Scale, "Scale"),
              "(Scale=(X=1.00,Y=1.00,Z=1.00),SheerRate=0.00,SheerAxis=SHEER_ZX)");
    TUTProperty& PlaneProp = Make(ptStruct, Plane, "Plane");
    EXPECT_EQ(Decode(PlaneProp).Text, "(X=1.00,Z=3.00,W=4.00)");
    const TUTDecodedValue Missing = Decode(PlaneProp, -1, 1);
    EXPECT_EQ(Missing.Name, "Y");
    EXPECT_EQ(Missing.Text, "");
    // Bytes that are not the form the version stores, or that do not end where the value
    // does, are raw bytes: never values the bytes contradict.
    for (const auto& [Bytes, Name] :
         std::vector<std::pair<TBytes, std::string>>{{BinaryRegion, "PointRegion"},
                                                     {BinaryScale, "Scale"},
                                                     {Misnamed, "PointRegion"},
                                                     {Longer, "PointRegion"},
                                                     {Region, "Scale"},
                                                     {Floats({1, 2}), "Vector"},
                                                     {Floats({1, 2, 3, 4}), "Vector"}}) {
        const TUTDecodedValue Raw = Decode(Make(ptStruct, Bytes, Name));
        EXPECT_EQ(Raw.PropertyType, ptBuffer) << Name << " " << Raw.Text;
        EXPECT_EQ(Raw.Text, "");
        EXPECT_EQ(std::get<std::string>(Raw.Value), std::string(Bytes.begin(), Bytes.end()));
    }
    // Versions whose files do not tell take whichever form fills the value exactly.
    Reload(118);
    EXPECT_EQ(Text(Region, "PointRegion"), "(Zone=Level'myLevel',iLeaf=-1,ZoneNumber=0)");
    EXPECT_EQ(Text(BinaryRegion, "PointRegion"), "(Zone=None,iLeaf=7,ZoneNumber=2)");
    // The older engines: members' bytes, colors R, G, B, A.
    Reload(69);
    EXPECT_EQ(Text({1, 2, 3, 255}, "color"), "(R=1,G=2,B=3,A=255)");
    EXPECT_EQ(Text(BinaryScale, "Scale"),
              "(Scale=(X=1.00,Y=1.00,Z=1.00),SheerRate=0.00,SheerAxis=SHEER_None)");
    EXPECT_EQ(Text(BinaryRegion, "PointRegion"), "(Zone=None,iLeaf=7,ZoneNumber=2)");
    EXPECT_EQ(Decode(Make(ptStruct, Region, "PointRegion")).PropertyType, ptBuffer);
}

TEST_F(DecodeFixture, ArraysWithoutDefinitionReadTaggedElements)
{
    const std::int32_t A = Writer.Name("A");
    const std::int32_t None = Writer.Name("None");
    Reload();
    TUTDecodedValue D = Decode(Make(ptArray, {0}, "", -1, "Items"));
    EXPECT_EQ(D.Text, "");
    EXPECT_EQ(std::get<std::string>(D.Value), "");
    EXPECT_EQ(D.TypeText, "Array of ?");
    TByteWriter Two;
    Two.Index(2).Index(A).Byte(0x22).DWord(1).Index(None).Index(A).Byte(0x22).DWord(2).Index(None);
    TUTProperty& Items = Make(ptArray, Two.Data(), "", -1, "Items");
    D = Decode(Items);
    EXPECT_EQ(D.Text, "[0]=(A (Int) = 1)\r\n[1]=(A (Int) = 2)");
    EXPECT_EQ(D.PropertyType, ptArray);
    D = Decode(Items, 1, 0);
    EXPECT_EQ(D.Name, "A");
    EXPECT_EQ(D.Text, "2");
    EXPECT_EQ(D.PropertyType, ptInt);
    EXPECT_EQ(D.TypeText, "Int");
    // Counts past the data, damaged elements and endless nesting end the elements quietly.
    EXPECT_EQ(Decode(Make(ptArray, TByteWriter().Index(0x7FFFFFFF).Data(), "", -1, "Items")).Text,
              "");
    EXPECT_EQ(
        Decode(Make(ptArray, TByteWriter().Index(3).Index(A).Byte(0x72).DWord(0x7FFFFFFF).Data(),
                    "", -1, "Items"))
            .Text,
        "");
    TByteWriter Deep;
    for (int I = 0; I < 2000; ++I) {
        Deep.Index(1).Index(A).Byte(0x79).DWord(static_cast<std::uint32_t>(5 * (2000 - I)));
    }
    EXPECT_NO_THROW(Decode(Make(ptArray, Deep.Data(), "", -1, "Items")));
}

namespace {

// Definition objects as an engine class registered for them would give them: an array
// property whose data are the reference of its inner property.
class TTestArrayProperty final : public TUTObject
{
public:
    using TUTObject::TUTObject;
    bool ProvidesDefinition() const override { return true; }
    std::int32_t GetInnerProperty() const override
    {
        const TBytes& Data = Buffer()->Data();
        return Data.size() >= 4 ? static_cast<std::int32_t>(Data[0] | (Data[1] << 8)) : 0;
    }

protected:
    void ReadProperties() override {}
};

class TRegistered final
{
public:
    TRegistered()
    {
        ClassRegistry().push_back({"arrayproperty", &CreateUTObject<TTestArrayProperty>});
    }
    ~TRegistered() { ClassRegistry().pop_back(); }
};

} // namespace

TEST(ArrayDefinitions, GiveTheElementType)
{
    TRegistered Registered;
    TTempFolder Temp;
    TPackageWriter Writer;
    const std::int32_t Inner = Writer.AddExport(Writer.ImportClass("Core", "IntProperty"), "Items",
                                                TPropertyWriter(Writer).Bytes());
    const std::int32_t Owner = Writer.AddExport(0, "Holder", {0});
    Writer.AddExport(Writer.ImportClass("Core", "ArrayProperty"), "Items",
                     TByteWriter().DWord(static_cast<std::uint32_t>(Inner)).Data(), Owner);
    const std::int32_t Thing =
        Writer.AddExport(Owner, "Thing",
                         TPropertyWriter(Writer)
                             .Tag("Items", 9, TByteWriter().Index(2).DWord(1).DWord(2).Data())
                             .Bytes());
    TUTPackage Package;
    Package.LoadFromFile(Temp.Write("Defs.u", Writer.Build()));
    TUTObject& Object = Package.GetExport(Thing - 1)->GetUTObject();
    Object.ReadObject(true);
    const TUTProperty* Items = Object.GetProperties().GetPropertyByName("Items");
    ASSERT_NE(Items, nullptr);
    TUTDecodedValue D = Items->GetValueFull(-1, -1);
    EXPECT_EQ(D.Text, "[0]=1\r\n[1]=2");
    EXPECT_EQ(D.TypeText, "Array of Int");
    D = Items->GetValueFull(1, -1);
    EXPECT_EQ(D.Text, "2");
    EXPECT_EQ(D.TypeText, "Int");
    EXPECT_EQ(D.PropertyType, ptInt);
    Object.ReleaseObject();
}

TEST_F(DecodeFixture, FloatsIgnoreTheProcessLocale)
{
    const std::string Saved = std::setlocale(LC_ALL, nullptr);
    // The set-up generates the locale.
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "locale de_DE.UTF-8 is missing";
    std::locale::global(std::locale("de_DE.UTF-8"));
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    const TUTDecodedValue D = Decode(Make(ptFloat, Floats({1.5f})));
    const std::string Vector = Decode(Make(ptStruct, Floats({1, 2, 3}), "Vector")).Text;
    const std::string Separator = std::localeconv()->decimal_point;
    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, Saved.c_str());
    EXPECT_EQ(D.Text, "1.50");
    EXPECT_EQ(Vector, "(X=1.00,Y=2.00,Z=3.00)");
    EXPECT_EQ(Separator, ",");
}

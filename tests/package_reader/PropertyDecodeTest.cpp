#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>

namespace {

struct TDecoded
{
    std::string Name;
    TUTValue Value;
    std::string Text;
    std::int32_t Type = 0;
    std::string TypeText;
};

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
        Package.LoadFromFile(Temp.Write("Decode.u", Writer.Build()), 0);
    }
    TUTProperty& Make(int Type, const TBytes& Raw, const std::string& TypeName = {},
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
    static TDecoded Decode(const TUTProperty& Prop, int Element = -1, int Member = -1)
    {
        TDecoded D;
        Prop.GetValueFull(Element, Member, D.Name, D.Value, D.Text, D.Type, D.TypeText);
        return D;
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
    TDecoded D = Decode(Make(2, {0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(std::get<std::int32_t>(D.Value), -1);
    EXPECT_EQ(D.Text, "-1");
    EXPECT_EQ(D.TypeText, "Int");
    D = Decode(Make(257, {0xFF, 0xFF}));
    EXPECT_EQ(std::get<std::uint16_t>(D.Value), 65535);
    EXPECT_EQ(D.Text, "65535");
    D = Decode(Make(4, Floats({1.5f})));
    EXPECT_EQ(std::get<double>(D.Value), 1.5);
    EXPECT_EQ(D.Text, "1.50");
    EXPECT_EQ(Decode(Make(4, Floats({-1234567.125f}))).Text, "-1234567.12");
    EXPECT_EQ(Decode(Make(3, {2})).Text, "True");
    EXPECT_TRUE(std::get<bool>(Decode(Make(3, {2})).Value));
    EXPECT_EQ(Decode(Make(3, {0})).Text, "False");
    EXPECT_EQ(Decode(Make(5, {0})).Text, "None");
    EXPECT_EQ(Decode(Make(5, EncodeCompactIndex(Thing))).Text, "MyClass'myLevel.Thing'");
    EXPECT_EQ(Decode(Make(5, EncodeCompactIndex(ClassExport))).Text, "Class'MyClass'");
    EXPECT_EQ(Decode(Make(5, EncodeCompactIndex(-2))).Text, "Class'Engine.Level'");
    EXPECT_EQ(std::get<std::int32_t>(Decode(Make(5, EncodeCompactIndex(-2))).Value), -2);
    EXPECT_EQ(Decode(Make(5, EncodeCompactIndex(5000))).Text, "Class''");
    EXPECT_EQ(Decode(Make(8, EncodeCompactIndex(Level))).Text, "Class'myLevel'");
    D = Decode(Make(6, EncodeCompactIndex(Writer.Name("Skins"))));
    EXPECT_EQ(D.Text, "Skins");
    EXPECT_EQ(std::get<std::int32_t>(D.Value), Writer.Name("Skins"));
    EXPECT_THROW(Decode(Make(6, EncodeCompactIndex(9999))), EListError);
    D = Decode(Make(11, {1, 2, 3}));
    EXPECT_EQ(std::get<std::vector<std::uint8_t>>(D.Value), (TBytes{1, 2, 3}));
    EXPECT_EQ(D.Text, "");
    D = Decode(Make(14, {'a', 0, 'b'}));
    EXPECT_EQ(std::get<std::string>(D.Value), std::string("a\0b", 3));
    EXPECT_EQ(D.Text, "");
    D = Decode(Make(0, {}));
    EXPECT_EQ(D.TypeText, "");
    EXPECT_EQ(std::get<std::uint8_t>(D.Value), 0);
}

TEST_F(DecodeFixture, BytesShowEnumerationValueNames)
{
    TDecoded D = Decode(Make(1, {1}, "ESheerAxis"));
    EXPECT_EQ(D.Text, "SHEER_XY");
    EXPECT_EQ(D.TypeText, "ESheerAxis");
    EXPECT_EQ(std::get<std::uint8_t>(D.Value), 1);
    EXPECT_EQ(Decode(Make(1, {20}, "esparktype")).Text, "SPARK_CustomCloud");
    D = Decode(Make(1, {1}, "BYTE"));
    EXPECT_EQ(D.Text, "1");
    EXPECT_EQ(D.TypeText, "Byte");
    D = Decode(Make(1, {3}, "EUnknown"));
    EXPECT_EQ(D.Text, "3");
    EXPECT_EQ(D.TypeText, "EUnknown");
    EXPECT_EQ(Decode(Make(1, {9}, "ESheerAxis")).Text, "9");
}

TEST_F(DecodeFixture, StringsOfBothForms)
{
    TDecoded D = Decode(Make(13, {6, 'H', 'e', 'l', 'l', 'o', 0}));
    EXPECT_EQ(std::get<std::string>(D.Value), "Hello");
    EXPECT_EQ(D.Text, "\"Hello\"");
    D = Decode(Make(13, {1, 0}));
    EXPECT_EQ(std::get<std::string>(D.Value), "");
    EXPECT_EQ(D.Text, "\"\"");
    EXPECT_EQ(std::get<std::string>(Decode(Make(13, {0})).Value), "");
    EXPECT_EQ(std::get<std::string>(Decode(Make(13, {3, 0xE9, 0, 0})).Value), "\xE9");
    // A negative length counts UTF-16LE code units.
    D = Decode(
        Make(13, TByteWriter().Index(-4).Word(0x20AC).Word('a').Word(0x4E16).Word(0).Data()));
    EXPECT_EQ(std::get<std::u16string>(D.Value), u"\u20ACa\u4E16");
    EXPECT_EQ(D.Text, "\"\x80"
                      "a?\"");
    EXPECT_EQ(
        std::get<std::u16string>(Decode(Make(13, TByteWriter().Index(-1).Word(0).Data())).Value),
        u"");
    // Lengths past the value fail; nothing outside it is read.
    EXPECT_THROW(Decode(Make(13, {10, 'a'})), EReadError);
    EXPECT_THROW(Decode(Make(13, TByteWriter().Index(-3).Word('a').Data())), EReadError);
    EXPECT_THROW(Decode(Make(13, EncodeCompactIndex(INT32_MIN))), EReadError);
    EXPECT_THROW(Decode(Make(2, {1, 2})), EReadError);
    EXPECT_THROW(Decode(Make(13, {0x40})), EReadError);
    // Quoting goes through the hook.
    Package.OnQuoteString = [](const std::string& S) { return "'" + S + "'"; };
    EXPECT_EQ(Decode(Make(13, {2, 'x', 0})).Text, "'x'");
}

TEST_F(DecodeFixture, Code7IsAStringOrADelegateByVersion)
{
    Reload(119);
    TDecoded D = Decode(Make(7, {3, 'a', 'b', 0}));
    EXPECT_EQ(D.TypeText, "String");
    EXPECT_EQ(D.Text, "\"ab\"");
    Reload(128);
    D = Decode(Make(7, TByteWriter().Index(Thing).Index(Writer.Name("Skins")).Data()));
    EXPECT_EQ(D.TypeText, "Delegate");
    EXPECT_EQ(std::get<std::string>(D.Value), "myLevel.Thing.Skins");
    EXPECT_EQ(D.Text, "\"myLevel.Thing.Skins\"");
}

TEST_F(DecodeFixture, KnownStructsListTheirMembers)
{
    TUTProperty& Location = Make(10, Floats({1, 2, 3}), "Vector", -1, "Location");
    TDecoded D = Decode(Location);
    EXPECT_EQ(D.Text, "(X=1.00,Y=2.00,Z=3.00)");
    EXPECT_EQ(std::get<std::string>(D.Value), D.Text);
    EXPECT_EQ(D.TypeText, "Vector");
    EXPECT_EQ(D.Type, 10);
    EXPECT_EQ(Location.GetDescription(), "Location (Vector) = (X=1.00,Y=2.00,Z=3.00)");
    D = Decode(Location, -1, 1);
    EXPECT_EQ(D.Name, "Y");
    EXPECT_EQ(D.Text, "2.00");
    EXPECT_EQ(D.TypeText, "Float");
    EXPECT_EQ(D.Type, 10);
    EXPECT_EQ(Decode(Make(10, {1, 2, 3, 255}, "color")).Text, "(R=1,G=2,B=3,A=255)");
    EXPECT_EQ(
        Decode(Make(10, TByteWriter().Bytes(Floats({1, 1, 1, 0})).Byte(0).Data(), "Scale")).Text,
        "(Scale=(X=1.00,Y=1.00,Z=1.00),SheerRate=0.00,SheerAxis=SHEER_None)");
    EXPECT_EQ(Decode(Make(10, TByteWriter().Index(0).DWord(7).Byte(2).Data(), "PointRegion")).Text,
              "(Zone=None,iLeaf=7,ZoneNumber=2)");
    EXPECT_THROW(Decode(Make(10, Floats({1, 2}), "Vector")), EReadError);
    // Neither known nor found: the raw bytes.
    D = Decode(Make(10, {1, 2, 3}, "Mystery"));
    EXPECT_EQ(D.Text, "");
    EXPECT_EQ(D.Type, 256);
    EXPECT_EQ(std::get<std::string>(D.Value), std::string("\x01\x02\x03"));
    EXPECT_EQ(Make(6, EncodeCompactIndex(Writer.Name("Skins")), "", 2, "Skins").GetDescription(),
              "Skins[2] (Name) = Skins");
    EXPECT_EQ(Make(0, {}, "", -1, "None").GetDescription(), "None");
    TUTProperty Invalid;
    EXPECT_EQ(Invalid.GetDescription(), "");
    EXPECT_EQ(Invalid.GetValueAsString(), "0");
}

TEST_F(DecodeFixture, ArraysWithoutDefinitionReadTaggedElements)
{
    const std::int32_t A = Writer.Name("A");
    const std::int32_t None = Writer.Name("None");
    Reload();
    TDecoded D = Decode(Make(9, {0}, "", -1, "Items"));
    EXPECT_EQ(D.Text, "");
    EXPECT_EQ(std::get<std::string>(D.Value), "");
    EXPECT_EQ(D.TypeText, "Array of ?");
    TByteWriter Two;
    Two.Index(2).Index(A).Byte(0x22).DWord(1).Index(None).Index(A).Byte(0x22).DWord(2).Index(None);
    TUTProperty& Items = Make(9, Two.Data(), "", -1, "Items");
    D = Decode(Items);
    EXPECT_EQ(D.Text, "[0]=(A (Int) = 1)\r\n[1]=(A (Int) = 2)");
    EXPECT_EQ(D.Type, 9);
    D = Decode(Items, 1, 0);
    EXPECT_EQ(D.Name, "A");
    EXPECT_EQ(D.Text, "2");
    EXPECT_EQ(D.Type, 2);
    EXPECT_EQ(D.TypeText, "Int");
    // Counts past the data, damaged elements and endless nesting end the elements quietly.
    EXPECT_EQ(Decode(Make(9, TByteWriter().Index(0x7FFFFFFF).Data(), "", -1, "Items")).Text, "");
    EXPECT_EQ(Decode(Make(9, TByteWriter().Index(3).Index(A).Byte(0x72).DWord(0x7FFFFFFF).Data(),
                          "", -1, "Items"))
                  .Text,
              "");
    TByteWriter Deep;
    for (int I = 0; I < 2000; ++I) {
        Deep.Index(1).Index(A).Byte(0x79).DWord(static_cast<std::uint32_t>(5 * (2000 - I)));
    }
    EXPECT_NO_THROW(Decode(Make(9, Deep.Data(), "", -1, "Items")));
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
    Package.LoadFromFile(Temp.Write("Defs.u", Writer.Build()), 0);
    TUTObject& Object = Package.GetExport(Thing - 1)->GetUTObject();
    Object.ReadObject(true);
    const TUTProperty* Items = Object.GetProperties().GetPropertyByName("Items");
    ASSERT_NE(Items, nullptr);
    TDecoded D;
    Items->GetValueFull(-1, -1, D.Name, D.Value, D.Text, D.Type, D.TypeText);
    EXPECT_EQ(D.Text, "[0]=1\r\n[1]=2");
    EXPECT_EQ(D.TypeText, "Array of Int");
    Items->GetValueFull(1, -1, D.Name, D.Value, D.Text, D.Type, D.TypeText);
    EXPECT_EQ(D.Text, "2");
    EXPECT_EQ(D.TypeText, "Int");
    EXPECT_EQ(D.Type, 2);
    Object.ReleaseObject();
}

TEST(KnownTypes, EnumerationsAndStructLayouts)
{
    EXPECT_EQ(GetKnownEnumValue("esheeraxis", 2), "SHEER_XZ");
    EXPECT_EQ(GetKnownEnumValue("ESheerAxis", 7), "7");
    EXPECT_EQ(GetKnownEnumValue("ENothing", 3), "3");
    EXPECT_EQ(GetKnownEnumValue("ESheerAxis", -1), "-1");
    EXPECT_EQ(GetKnownEnumValue("EDropType", 19), "DROP_DrippyTap");
    RegisterKnownEnumValues("ESheerAxis", {"Other"});
    EXPECT_EQ(GetKnownEnumValue("ESheerAxis", 0), "SHEER_None");
    EXPECT_EQ(KnownStructCount("VECTOR"), 3);
    EXPECT_EQ(KnownStructCount("Color"), 4);
    EXPECT_EQ(KnownStructCount("Box"), 0);
    EXPECT_FALSE(IsKnownStruct(""));
    TKnownStructElement Element;
    GetKnownStructElement("Scale", 0, Element);
    EXPECT_EQ(Element.Name, "Scale");
    EXPECT_EQ(Element.PropertyType, 10);
    EXPECT_EQ(Element.TypeName, "Vector");
    GetKnownStructElement("pointregion", 2, Element);
    EXPECT_EQ(Element.Name, "ZoneNumber");
    EXPECT_EQ(Element.PropertyType, 1);
    EXPECT_EQ(Element.TypeName, "");
    GetKnownStructElement("Rotator", 9, Element);
    EXPECT_EQ(Element.Name, "ZoneNumber");
    EXPECT_EQ(Element.PropertyType, 2);
}

TEST_F(DecodeFixture, FloatsIgnoreTheProcessLocale)
{
    const std::string Saved = std::setlocale(LC_ALL, nullptr);
    // The set-up generates the locale.
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "locale de_DE.UTF-8 is missing";
    std::locale::global(std::locale("de_DE.UTF-8"));
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    const TDecoded D = Decode(Make(4, Floats({1.5f})));
    const std::string Vector = Decode(Make(10, Floats({1, 2, 3}), "Vector")).Text;
    const std::string Separator = std::localeconv()->decimal_point;
    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, Saved.c_str());
    EXPECT_EQ(D.Text, "1.50");
    EXPECT_EQ(Vector, "(X=1.00,Y=2.00,Z=3.00)");
    EXPECT_EQ(Separator, ",");
}

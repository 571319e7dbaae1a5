#include "TUTProperty.h"

#include "TUTObject.h"
#include "TUTPackage.h"
#include "UTErrors.h"
#include "UTKnownTypes.h"
#include "UTText.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

// Nesting of arrays and structs in one value; deeper data are damaged, not a reason to
// exhaust the stack.
constexpr int MaxDecodeDepth = 32;
thread_local int DecodeDepth = 0;

class TDepthGuard
{
public:
    TDepthGuard()
    {
        if (DecodeDepth >= MaxDecodeDepth) {
            throw EReadError("Property value nested too deeply");
        }
        ++DecodeDepth;
    }
    ~TDepthGuard() { --DecodeDepth; }
    TDepthGuard(const TDepthGuard&) = delete;
    TDepthGuard& operator=(const TDepthGuard&) = delete;
};

// Holds one reader of an object for a scope.
class TReadGuard
{
public:
    TReadGuard(TUTObject& Object, bool ReadProperties) : FObject(Object)
    {
        try {
            Object.ReadObject(ReadProperties);
        } catch (...) {
            Object.ReleaseObject();
            throw;
        }
    }
    ~TReadGuard() { FObject.ReleaseObject(); }
    TReadGuard(const TReadGuard&) = delete;
    TReadGuard& operator=(const TReadGuard&) = delete;

private:
    TUTObject& FObject;
};

// N bytes of the raw value at Position; EReadError when they are not all there.
const std::uint8_t* Take(const TUTProperty& Prop, std::int32_t& Position, std::int64_t N)
{
    const std::vector<std::uint8_t>& Raw = Prop.Value();
    if (Position < 0 || N < 0 || N > static_cast<std::int64_t>(Raw.size()) - Position) {
        throw EReadError();
    }
    const std::uint8_t* Bytes = Raw.data() + Position;
    Position += static_cast<std::int32_t>(N);
    return Bytes;
}

std::int32_t TakeIndex(const TUTProperty& Prop, std::int32_t& Position)
{
    return ReadCompactIndexFromBuffer(Prop.Value(), Position);
}

std::uint32_t LoadDWord(const std::uint8_t* B)
{
    return static_cast<std::uint32_t>(B[0]) | (static_cast<std::uint32_t>(B[1]) << 8) |
           (static_cast<std::uint32_t>(B[2]) << 16) | (static_cast<std::uint32_t>(B[3]) << 24);
}

// Past the whole raw value, saturating instead of wrapping.
void SkipWhole(const TUTProperty& Prop, std::int32_t& Position)
{
    const std::int64_t End =
        static_cast<std::int64_t>(Position) + static_cast<std::int64_t>(Prop.Value().size());
    Position = static_cast<std::int32_t>(
        std::min<std::int64_t>(End, std::numeric_limits<std::int32_t>::max()));
}

std::string RawAsString(const TUTProperty& Prop)
{
    return std::string(Prop.Value().begin(), Prop.Value().end());
}

TUTPackage& RequirePackage(TUTPackage* Package)
{
    if (Package == nullptr) {
        throw EAssertionFailed("Property value decoded without its package");
    }
    return *Package;
}

// Fixed notation with two decimals and "." regardless of the process locale.
std::string FormatFloat(double Value)
{
    if (std::isnan(Value)) {
        return "NAN";
    }
    if (std::isinf(Value)) {
        return Value > 0 ? "INF" : "-INF";
    }
    char Buffer[400];
    const auto Result =
        std::to_chars(Buffer, Buffer + sizeof(Buffer), Value, std::chars_format::fixed, 2);
    return std::string(Buffer, Result.ptr);
}

std::int32_t TypeCodeOfPropertyClass(std::string_view ClassName)
{
    struct TEntry
    {
        std::string_view Name;
        std::int32_t Code;
    };
    static constexpr TEntry Table[] = {
        {"ByteProperty", 1},        {"IntProperty", 2},    {"BoolProperty", 3},
        {"FloatProperty", 4},       {"ObjectProperty", 5}, {"NameProperty", 6},
        {"StringProperty", 7},      {"ClassProperty", 8},  {"ArrayProperty", 9},
        {"StructProperty", 10},     {"StrProperty", 13},   {"MapProperty", 14},
        {"FixedArrayProperty", 15},
    };
    for (const TEntry& Entry : Table) {
        if (UTSameText(Entry.Name, ClassName)) {
            return Entry.Code;
        }
    }
    return 256;
}

bool RefersToType(std::int32_t Code)
{
    return Code == 5 || Code == 8 || Code == 10;
}

std::string ObjectReferenceText(TUTPackage& Package, std::int32_t Ref)
{
    std::string ClassName;
    if (Ref > 0) {
        if (const TUTExportTableObjectData* Export = Package.GetExport(Ref - 1)) {
            ClassName = Export->GetClassName();
        }
    } else if (Ref < 0) {
        const std::int64_t Index = -static_cast<std::int64_t>(Ref) - 1;
        if (Index <= std::numeric_limits<int>::max()) {
            if (const TUTImportTableObjectData* Import =
                    Package.GetImport(static_cast<int>(Index))) {
                ClassName = Import->GetClassName();
            }
        }
    }
    if (ClassName.empty()) {
        ClassName = "Class";
    }
    return ClassName + "'" + Package.GetObjectPath(-1, Ref) + "'";
}

void NotifyElement(TUTPackage* Package)
{
    if (Package != nullptr && Package->OnPropertyRead) {
        Package->OnPropertyRead(*Package);
    }
}

// The closing steps of a struct: the member list in parentheses unless one member was asked
// for, without a final comma.
void CloseStruct(const TUTProperty& Prop, int MemberIndex, std::string& Members, std::string& Text,
                 TUTValue& Value, std::int32_t& PropertyType)
{
    if (MemberIndex == -1) {
        if (!Members.empty()) {
            Members.pop_back();
        }
        Text += "(" + Members + "),";
    }
    if (!Text.empty() && Text.back() == ',') {
        Text.pop_back();
    }
    Value = Text;
    PropertyType = Prop.PropertyType();
}

void DecodeString(const TUTProperty& Prop, TUTPackage& Package, std::int32_t& Position,
                  std::string& Text, TUTValue& Value)
{
    const std::int32_t Length = TakeIndex(Prop, Position);
    if (Length >= 0) {
        const std::uint8_t* Bytes = Take(Prop, Position, Length);
        std::string S(reinterpret_cast<const char*>(Bytes), static_cast<std::size_t>(Length));
        while (!S.empty() && S.back() == '\0') {
            S.pop_back();
        }
        Text = Package.QuoteString(S);
        Value = std::move(S);
        return;
    }
    // A negative length counts UTF-16LE code units.
    const std::int64_t Units = -static_cast<std::int64_t>(Length);
    const std::uint8_t* Bytes = Take(Prop, Position, Units * 2);
    std::u16string S(static_cast<std::size_t>(Units), u'\0');
    for (std::int64_t I = 0; I < Units; ++I) {
        S[static_cast<std::size_t>(I)] =
            static_cast<char16_t>(Bytes[2 * I] | (Bytes[2 * I + 1] << 8));
    }
    while (!S.empty() && S.back() == u'\0') {
        S.pop_back();
    }
    Text = Package.QuoteString(UTUtf16ToWindows1252(S));
    Value = std::move(S);
}

void DecodeArray(const TUTProperty& Prop, TUTPackage* Package, TUTObject* Owner,
                 std::int32_t& Position, int ElementIndex, int MemberIndex, std::string& Name,
                 std::string& Text, TUTValue& Value, std::int32_t& PropertyType,
                 std::string& TypeText)
{
    TUTPackage& Pkg = RequirePackage(Package);
    TUTMemoryStream Stream(Prop.Value());
    TUTProperty Element;

    std::int32_t ElementType = 10;
    std::string ElementTypeName = "?";
    std::string ElementName = Name;
    // A temporary element property has no owner, hence no class to look the definition up in.
    if (Owner != nullptr) {
        TUTFoundObject Found;
        Pkg.FindObjectInPackages(1 | 4, "", Name, "arrayproperty", Owner->GetClassName(), Found);
        if (Found.Index >= 0) {
            TUTObject& Definition = Found.Package->GetExport(Found.Index)->GetUTObject();
            if (Definition.ProvidesDefinition()) {
                TReadGuard DefinitionRead(Definition, true);
                const std::int32_t InnerRef = Definition.GetInnerProperty();
                if (TUTExportTableObjectData* InnerExport =
                        InnerRef > 0 ? Found.Package->GetExport(InnerRef - 1) : nullptr) {
                    TUTObject& Inner = InnerExport->GetUTObject();
                    TReadGuard InnerRead(Inner, true);
                    ElementType = TypeCodeOfPropertyClass(Inner.GetClassName());
                    ElementTypeName =
                        RefersToType(ElementType)
                            ? Found.Package->GetObjectPath(1, Inner.GetPropertyClass())
                            : std::string();
                    ElementName = Inner.GetObjectName();
                }
            }
        }
    }
    if (ElementTypeName.empty()) {
        ElementTypeName = Prop.PropertyTypeName(ElementType);
    }
    TypeText = ElementIndex == -1 ? "Array of " + ElementTypeName : ElementTypeName;

    const std::string Before = Text;
    std::int32_t Current = ElementType;
    try {
        const std::int32_t Count = TakeIndex(Prop, Position);
        // Every element takes at least one byte; a larger count is damage.
        if (Count > static_cast<std::int64_t>(Prop.Value().size()) - Position) {
            throw EReadError();
        }
        for (std::int32_t I = 0; I < Count; ++I) {
            if (ElementIndex == -1) {
                Text += "[" + std::to_string(I) + "]=";
            } else {
                Text.clear();
            }
            if (Current == 5 || Current == 10) {
                Stream.Seek(Position);
                if (MemberIndex == -1 || I != ElementIndex) {
                    Text += "(";
                    for (;;) {
                        Pkg.ReadProperty(Element, Stream);
                        if (Element.PropertyType() == 0) {
                            break;
                        }
                        Text += Element.GetDescription() + ",";
                    }
                    if (Text.back() == ',') {
                        Text.pop_back();
                    }
                    Text += "),";
                } else {
                    Text.clear();
                    Current = 0;
                    for (int J = 0;; ++J) {
                        Pkg.ReadProperty(Element, Stream);
                        if (Element.PropertyType() == 0) {
                            break;
                        }
                        if (J == MemberIndex) {
                            Name = Element.Name();
                            Current = Element.PropertyType();
                            TypeText = Element.GetTypeName();
                            Text = Element.GetValueAsString() + ",";
                        }
                    }
                }
                Position = static_cast<std::int32_t>(Stream.GetPosition());
            } else if (MemberIndex == -1 || MemberIndex == 0) {
                std::string ItemName = ElementName;
                std::string ItemText;
                std::string ItemAux;
                std::string ItemTypeText;
                TUTValue ItemValue;
                std::int32_t ItemType = Current;
                DecodePropertyValue(Prop, Package, Owner, Position, -1, -1, ItemName, ItemText,
                                    ItemAux, ItemValue, ItemType, ItemTypeText, ElementTypeName);
                Current = ItemType;
                Text += ItemText + ",";
            } else {
                Current = 0;
                Text.clear();
            }
            if (!Text.empty()) {
                Text.pop_back();
            }
            Text += "\r\n";
            if (I == ElementIndex) {
                break;
            }
            NotifyElement(Package);
        }
        Text.resize(Text.size() >= 2 ? Text.size() - 2 : 0);
    } catch (const std::exception&) {
        Text = Before;
    }
    Value = Text;
    PropertyType = ElementIndex == -1 ? Prop.PropertyType() : Current;
}

// A struct by the definition found for it; false when the definition provides no layout.
bool DecodeStructByDefinition(const TUTProperty& Prop, TUTFoundObject& Found,
                              std::int32_t& Position, int MemberIndex, std::string& Name,
                              std::string& Text, std::string& AuxText, TUTValue& Value,
                              std::int32_t& PropertyType, std::string& TypeText)
{
    TUTPackage& DefinitionPackage = *Found.Package;
    TUTObject& Definition = DefinitionPackage.GetExport(Found.Index)->GetUTObject();
    if (!Definition.ProvidesDefinition()) {
        return false;
    }
    TReadGuard DefinitionRead(Definition, true);
    TypeText = Definition.GetStructName();
    Text.clear();
    // A struct of its own layout is decoded from the first byte of the value.
    Position = 0;
    std::string Members;
    int Member = 0;
    int Steps = 0;
    for (std::int32_t FieldRef = Definition.GetFirstChild();
         FieldRef > 0 && Steps <= DefinitionPackage.GetExportCount(); ++Steps) {
        TUTExportTableObjectData* FieldExport = DefinitionPackage.GetExport(FieldRef - 1);
        if (FieldExport == nullptr) {
            break;
        }
        TUTObject& Field = FieldExport->GetUTObject();
        TReadGuard FieldRead(Field, true);
        FieldRef = Field.GetNextField();
        if (!Field.IsPropertyDefinition()) {
            continue;
        }
        std::int32_t MemberType = TypeCodeOfPropertyClass(Field.GetClassName());
        const std::string MemberTypeName =
            RefersToType(MemberType) ? DefinitionPackage.GetObjectPath(1, Field.GetPropertyClass())
                                     : Field.GetOwnTypeName();
        std::string MemberName = Field.GetObjectName();
        std::string MemberText;
        std::string MemberAux;
        std::string MemberTypeText;
        TUTValue MemberValue;
        DecodePropertyValue(Prop, &DefinitionPackage, &Definition, Position, -1, -1, MemberName,
                            MemberText, MemberAux, MemberValue, MemberType, MemberTypeText,
                            MemberTypeName);
        if (Member == MemberIndex) {
            Name = MemberName;
            Text = MemberText;
            AuxText = MemberAux;
            TypeText = MemberTypeText;
            break;
        }
        Members += Field.GetObjectName() + "=" + MemberText + ",";
        ++Member;
    }
    CloseStruct(Prop, MemberIndex, Members, Text, Value, PropertyType);
    return true;
}

void DecodeStruct(const TUTProperty& Prop, TUTPackage* Package, TUTObject* Owner,
                  std::int32_t& Position, int MemberIndex, std::string& Name, std::string& Text,
                  std::string& AuxText, TUTValue& Value, std::int32_t& PropertyType,
                  std::string& TypeText, const std::string& TypeName)
{
    if (IsKnownStruct(TypeName)) {
        TypeText = TypeName;
        Text.clear();
        std::string Members;
        const int Count = KnownStructCount(TypeName);
        for (int J = 0; J < Count; ++J) {
            TKnownStructElement Element;
            GetKnownStructElement(TypeName, J, Element);
            const std::string MemberTypeName = Element.TypeName.empty()
                                                   ? Prop.PropertyTypeName(Element.PropertyType)
                                                   : Element.TypeName;
            std::string MemberName = Element.Name;
            std::string MemberText;
            std::string MemberAux;
            std::string MemberTypeText;
            TUTValue MemberValue;
            std::int32_t MemberType = Element.PropertyType;
            DecodePropertyValue(Prop, Package, Owner, Position, -1, -1, MemberName, MemberText,
                                MemberAux, MemberValue, MemberType, MemberTypeText, MemberTypeName);
            if (J == MemberIndex) {
                Name = MemberName;
                Text = MemberText;
                AuxText = MemberAux;
                TypeText = MemberTypeText;
                break;
            }
            Members += Element.Name + "=" + MemberText + ",";
            NotifyElement(Package);
        }
        CloseStruct(Prop, MemberIndex, Members, Text, Value, PropertyType);
        return;
    }
    if (Owner != nullptr && Package != nullptr) {
        TUTFoundObject Found;
        Package->FindObjectInPackages(1 | 4, "", TypeName, "struct", Owner->GetClassName(), Found);
        if (Found.Index >= 0 &&
            DecodeStructByDefinition(Prop, Found, Position, MemberIndex, Name, Text, AuxText, Value,
                                     PropertyType, TypeText)) {
            return;
        }
    }
    Value = RawAsString(Prop);
    SkipWhole(Prop, Position);
    PropertyType = 256;
    Text.clear();
}

} // namespace

TUTPropertyClass& PropertyClass()
{
    static TUTPropertyClass Class = []() -> std::unique_ptr<TUTProperty> {
        return std::make_unique<TUTProperty>();
    };
    return Class;
}

void TUTProperty::SetProperty(TUTPackage* Package, const std::string& Name, std::int32_t ArrayIndex,
                              std::int32_t PropertyType, const std::uint8_t* Data,
                              std::int32_t DataSize, const std::string& TypeName)
{
    FPackage = Package;
    FName = Name;
    FArrayIndex = ArrayIndex;
    FPropertyType = PropertyType;
    FTypeName = TypeName;
    if (DataSize > 0) {
        FValue.assign(Data, Data + DataSize);
    } else {
        FValue.clear();
    }
    FValid = true;
}

void TUTProperty::GetValueFull(int ElementIndex, int MemberIndex, std::string& Name,
                               TUTValue& Value, std::string& Text, std::int32_t& PropertyType,
                               std::string& TypeText) const
{
    if (!FValid) {
        Name.clear();
        Value = std::string("0");
        Text.assign(1, '0'); // assigning "0" trips a false -Wrestrict of GCC 12 at -O3
        PropertyType = 0;
        return;
    }
    Name = FName;
    Value = std::uint8_t(0);
    Text.clear();
    PropertyType = FPropertyType;
    std::int32_t Position = 0;
    std::string AuxText;
    DecodePropertyValue(*this, FPackage, FOwner, Position, ElementIndex, MemberIndex, Name, Text,
                        AuxText, Value, PropertyType, TypeText, FTypeName);
}

TUTValue TUTProperty::GetValue() const
{
    std::string Name;
    std::string Text;
    std::string TypeText;
    TUTValue Value;
    std::int32_t Type = 0;
    GetValueFull(-1, -1, Name, Value, Text, Type, TypeText);
    return Value;
}

std::string TUTProperty::GetValueAsString() const
{
    std::string Name;
    std::string Text;
    std::string TypeText;
    TUTValue Value;
    std::int32_t Type = 0;
    GetValueFull(-1, -1, Name, Value, Text, Type, TypeText);
    return Text;
}

std::string TUTProperty::GetTypeName() const
{
    return FTypeName.empty() ? PropertyTypeName(FPropertyType) : FTypeName;
}

std::string TUTProperty::GetDescription() const
{
    if (!FValid) {
        return {};
    }
    std::string Result = FName;
    if (FArrayIndex > -1) {
        Result += "[" + std::to_string(FArrayIndex) + "]";
    }
    if (FPropertyType != 0) {
        std::string Name;
        std::string Text;
        std::string TypeText;
        TUTValue Value;
        std::int32_t Type = 0;
        GetValueFull(-1, -1, Name, Value, Text, Type, TypeText);
        Result += " (" + TypeText + ") = " + Text;
    }
    return Result;
}

std::string TUTProperty::PropertyTypeName(std::int32_t Code) const
{
    switch (Code) {
    case 1:
        return "Byte";
    case 2:
        return "Int";
    case 3:
        return "Bool";
    case 4:
        return "Float";
    case 5:
        return "Object";
    case 6:
        return "Name";
    case 7:
        return (FPackage == nullptr || FPackage->Version() < 120) ? "String" : "Delegate";
    case 8:
        return "Class";
    case 9:
        return "Array";
    case 10:
        return "Struct";
    case 11:
        return "Vector";
    case 12:
        return "Rotator";
    case 13:
        return "Str";
    case 14:
        return "Map";
    case 15:
        return "FixedArray";
    case 256:
        return "Buffer";
    case 257:
        return "Word";
    default:
        return {};
    }
}

void DecodePropertyValue(const TUTProperty& Prop, TUTPackage* Package, TUTObject* Owner,
                         std::int32_t& Position, int ElementIndex, int MemberIndex,
                         std::string& Name, std::string& Text, std::string& AuxText,
                         TUTValue& Value, std::int32_t& PropertyType, std::string& TypeText,
                         const std::string& TypeName)
{
    TDepthGuard Depth;
    TypeText = Prop.PropertyTypeName(PropertyType);
    switch (PropertyType) {
    case 0:
        Value = std::uint8_t(0);
        break;
    case 1: {
        const std::uint8_t B = *Take(Prop, Position, 1);
        Value = B;
        if (!TypeName.empty() && !UTSameText(TypeName, "byte")) {
            TypeText = TypeName;
            AuxText = GetKnownEnumValue(TypeName, B);
        } else {
            AuxText.clear();
        }
        Text = AuxText.empty() ? std::to_string(B) : AuxText;
        break;
    }
    case 2: {
        const auto V = static_cast<std::int32_t>(LoadDWord(Take(Prop, Position, 4)));
        Value = V;
        Text = std::to_string(V);
        break;
    }
    case 3: {
        const bool V = *Take(Prop, Position, 1) != 0;
        Value = V;
        Text = V ? "True" : "False";
        break;
    }
    case 4: {
        const float V = std::bit_cast<float>(LoadDWord(Take(Prop, Position, 4)));
        Value = static_cast<double>(V);
        Text = FormatFloat(V);
        break;
    }
    case 5: {
        const std::int32_t Ref = TakeIndex(Prop, Position);
        Value = Ref;
        AuxText = Ref == 0 ? "None" : ObjectReferenceText(RequirePackage(Package), Ref);
        Text = AuxText;
        break;
    }
    case 6: {
        const std::int32_t Index = TakeIndex(Prop, Position);
        Value = Index;
        AuxText = RequirePackage(Package).GetNameChecked(Index);
        Text = AuxText;
        break;
    }
    case 7:
    case 13: {
        TUTPackage& Pkg = RequirePackage(Package);
        if (PropertyType == 7 && Pkg.Version() >= 120) {
            const std::int32_t Ref = TakeIndex(Prop, Position);
            const std::int32_t Index = TakeIndex(Prop, Position);
            std::string S =
                Pkg.GetObjectPath(-1, Ref) + "." + std::string(Pkg.GetNameChecked(Index));
            Text = Pkg.QuoteString(S);
            Value = std::move(S);
        } else {
            DecodeString(Prop, Pkg, Position, Text, Value);
        }
        break;
    }
    case 8: {
        const std::int32_t Ref = TakeIndex(Prop, Position);
        Value = Ref;
        AuxText =
            Ref == 0 ? "None" : "Class'" + RequirePackage(Package).GetObjectPath(-1, Ref) + "'";
        Text = AuxText;
        break;
    }
    case 9:
        DecodeArray(Prop, Package, Owner, Position, ElementIndex, MemberIndex, Name, Text, Value,
                    PropertyType, TypeText);
        break;
    case 10:
        DecodeStruct(Prop, Package, Owner, Position, MemberIndex, Name, Text, AuxText, Value,
                     PropertyType, TypeText, TypeName);
        break;
    case 14:
    case 15:
    case 256:
        Value = RawAsString(Prop);
        SkipWhole(Prop, Position);
        break;
    case 257: {
        const std::uint8_t* B = Take(Prop, Position, 2);
        const auto V = static_cast<std::uint16_t>(B[0] | (B[1] << 8));
        Value = V;
        Text = std::to_string(V);
        break;
    }
    default:
        Value = Prop.Value();
        break;
    }
}

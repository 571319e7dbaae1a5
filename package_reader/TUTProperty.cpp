#include "TUTProperty.h"

#include "TUTObject.h"
#include "TUTPackage.h"
#include "UTBytes.h"
#include "UTErrors.h"
#include "UTKnownTypes.h"
#include "UTText.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace {

using enum TUTPropertyType;

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
    TReadGuard(TUTObject& Object, bool ReadProperties)
        : FObject(Object)
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

// The property and its object, for failure messages.
std::string PropertyPlace(const TUTProperty& Prop)
{
    std::string Place = "Property " + UTEscapeControls(Prop.Name());
    if (const TUTObject* Owner = Prop.Owner()) {
        Place += " of export " + std::to_string(Owner->ExportIndex()) + " (" +
                 UTEscapeControls(Owner->GetObjectName()) + ")";
    }
    return Place;
}

[[noreturn]] void ValueEnds(const TUTProperty& Prop, std::int64_t Position)
{
    throw EReadError(PropertyPlace(Prop) + ": its value of " + std::to_string(Prop.Value().size()) +
                     " bytes ends inside the field at byte " + std::to_string(Position));
}

// N bytes of the raw value at Position; EReadError when they are not all there.
const std::uint8_t* Take(const TUTProperty& Prop, std::int32_t& Position, std::int64_t N)
{
    const std::vector<std::uint8_t>& Raw = Prop.Value();
    if (Position < 0 || N < 0 || N > static_cast<std::int64_t>(Raw.size()) - Position) {
        ValueEnds(Prop, Position);
    }
    const std::uint8_t* Bytes = Raw.data() + Position;
    Position += static_cast<std::int32_t>(N);
    return Bytes;
}

std::int32_t TakeIndex(const TUTProperty& Prop, std::int32_t& Position)
{
    try {
        return ReadCompactIndexFromBuffer(Prop.Value(), Position);
    } catch (const EReadError&) {
        ValueEnds(Prop, Position);
    }
}

// The name-table entry a value names; EListError naming the property when there is none.
std::string_view NameOf(const TUTProperty& Prop, const TUTPackage& Package, std::int32_t Index)
{
    if (Index < 0 || Index >= Package.GetNameCount()) {
        throw EListError(Index, PropertyPlace(Prop) + " names no entry of the name table");
    }
    return Package.GetName(Index);
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

TUTPropertyType TypeOfPropertyClass(std::string_view ClassName)
{
    struct TEntry
    {
        std::string_view Name;
        TUTPropertyType Type;
    };
    static constexpr TEntry Table[] = {
        {"ByteProperty", ptByte},
        {"IntProperty", ptInt},
        {"BoolProperty", ptBool},
        {"FloatProperty", ptFloat},
        {"ObjectProperty", ptObject},
        {"NameProperty", ptName},
        {"StringProperty", ptString},
        {"ClassProperty", ptClass},
        {"ArrayProperty", ptArray},
        {"StructProperty", ptStruct},
        {"StrProperty", ptStr},
        {"MapProperty", ptMap},
        {"FixedArrayProperty", ptFixedArray},
    };
    for (const TEntry& Entry : Table) {
        if (UTSameText(Entry.Name, ClassName)) {
            return Entry.Type;
        }
    }
    return ptBuffer;
}

bool RefersToType(TUTPropertyType Type)
{
    return Type == ptObject || Type == ptClass || Type == ptStruct;
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

// What every level of one decode shares: the property whose bytes are read, its package and
// owner, and the read position.
struct TDecodeContext
{
    const TUTProperty& Prop;
    TUTPackage* Package;
    TUTObject* Owner;
    std::int32_t& Position;
};

TUTDecodedValue DecodeNested(TDecodeContext& C, std::string_view Name, TUTPropertyType Type,
                             std::string_view TypeName)
{
    return DecodePropertyValue(C.Prop, C.Package, C.Owner, C.Position, -1, -1, Name, Type, TypeName,
                               -1);
}

// The closing steps of a struct: the member list in parentheses unless one member was asked
// for, without a final comma.
void CloseStruct(const TUTProperty& Prop, int MemberIndex, std::string& Members, TUTDecodedValue& R)
{
    if (MemberIndex == -1) {
        if (!Members.empty()) {
            Members.pop_back();
        }
        R.Text += "(" + Members + "),";
    }
    if (!R.Text.empty() && R.Text.back() == ',') {
        R.Text.pop_back();
    }
    R.Value = R.Text;
    R.PropertyType = Prop.PropertyType();
}

// The raw-bytes form of a struct that cannot be decoded.
void RawStruct(TDecodeContext& C, TUTDecodedValue& R)
{
    R.Value = RawAsString(C.Prop);
    SkipWhole(C.Prop, C.Position);
    R.PropertyType = ptBuffer;
    R.Text.clear();
}

void DecodeString(TDecodeContext& C, TUTPackage& Package, TUTDecodedValue& R)
{
    const std::int32_t Length = TakeIndex(C.Prop, C.Position);
    if (Length >= 0) {
        const std::uint8_t* Bytes = Take(C.Prop, C.Position, Length);
        std::string S(reinterpret_cast<const char*>(Bytes), static_cast<std::size_t>(Length));
        while (!S.empty() && S.back() == '\0') {
            S.pop_back();
        }
        R.Text = Package.QuoteString(S);
        R.Value = std::move(S);
        return;
    }
    // A negative length counts UTF-16LE code units.
    const std::int64_t Units = -static_cast<std::int64_t>(Length);
    const std::uint8_t* Bytes = Take(C.Prop, C.Position, Units * 2);
    std::u16string S(static_cast<std::size_t>(Units), u'\0');
    for (std::int64_t I = 0; I < Units; ++I) {
        S[static_cast<std::size_t>(I)] =
            static_cast<char16_t>(Bytes[2 * I] | (Bytes[2 * I + 1] << 8));
    }
    while (!S.empty() && S.back() == u'\0') {
        S.pop_back();
    }
    R.Text = Package.QuoteString(UTUtf16ToWindows1252(S));
    R.Value = std::move(S);
}

void DecodeArray(TDecodeContext& C, int ElementIndex, int MemberIndex, TUTDecodedValue& R)
{
    TUTPackage& Pkg = RequirePackage(C.Package);
    const TUTProperty& Prop = C.Prop;
    TUTMemoryStream Stream(Prop.Value());
    TUTProperty Element;

    TUTPropertyType ElementType = ptStruct;
    std::string ElementTypeName = "?";
    std::string ElementName = R.Name;
    // A temporary element property has no owner, hence no class to look the definition up in.
    if (C.Owner != nullptr) {
        const TUTFoundObject Found =
            Pkg.FindObjectInPackages(TUTFindFields::ffObjectName | TUTFindFields::ffClassName, "",
                                     R.Name, "arrayproperty", C.Owner->GetClassName());
        if (Found.Index >= 0) {
            TUTObject& Definition = Found.Package->GetExport(Found.Index)->GetUTObject();
            if (Definition.ProvidesDefinition()) {
                TReadGuard DefinitionRead(Definition, true);
                const std::int32_t InnerRef = Definition.GetInnerProperty();
                if (TUTExportTableObjectData* InnerExport =
                        InnerRef > 0 ? Found.Package->GetExport(InnerRef - 1) : nullptr) {
                    TUTObject& Inner = InnerExport->GetUTObject();
                    TReadGuard InnerRead(Inner, true);
                    ElementType = TypeOfPropertyClass(Inner.GetClassName());
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
    R.TypeText = ElementIndex == -1 ? "Array of " + ElementTypeName : ElementTypeName;

    std::string& Text = R.Text;
    TUTPropertyType Current = ElementType;
    try {
        const std::int32_t Count = TakeIndex(Prop, C.Position);
        // Every element takes at least one byte; a larger count is damage.
        if (Count > static_cast<std::int64_t>(Prop.Value().size()) - C.Position) {
            throw EReadError();
        }
        for (std::int32_t I = 0; I < Count; ++I) {
            if (ElementIndex == -1) {
                Text += "[" + std::to_string(I) + "]=";
            } else {
                Text.clear();
            }
            if (Current == ptObject || Current == ptStruct) {
                Stream.Seek(C.Position);
                if (MemberIndex == -1 || I != ElementIndex) {
                    Text += "(";
                    for (;;) {
                        Pkg.ReadProperty(Element, Stream);
                        if (Element.PropertyType() == ptNone) {
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
                    Current = ptNone;
                    for (int J = 0;; ++J) {
                        Pkg.ReadProperty(Element, Stream);
                        if (Element.PropertyType() == ptNone) {
                            break;
                        }
                        if (J == MemberIndex) {
                            R.Name = Element.Name();
                            Current = Element.PropertyType();
                            R.TypeText = Element.GetTypeName();
                            Text = Element.GetValueAsString() + ",";
                        }
                    }
                }
                C.Position = static_cast<std::int32_t>(Stream.GetPosition());
            } else if (MemberIndex == -1 || MemberIndex == 0) {
                const TUTDecodedValue Item = DecodeNested(C, ElementName, Current, ElementTypeName);
                Current = Item.PropertyType;
                Text += Item.Text + ",";
            } else {
                Current = ptNone;
                Text.clear();
            }
            if (!Text.empty()) {
                Text.pop_back();
            }
            Text += "\r\n";
            if (I == ElementIndex) {
                break;
            }
            NotifyElement(C.Package);
        }
        Text.resize(Text.size() >= 2 ? Text.size() - 2 : 0);
    } catch (const std::exception&) {
        // A damaged element ends the elements; the value is what came before the array.
        Text.clear();
    }
    R.Value = Text;
    R.PropertyType = ElementIndex == -1 ? Prop.PropertyType() : Current;
}

std::string MemberTypeName(const TUTProperty& Prop, const TKnownStructElement& Member)
{
    return Member.TypeName.empty() ? Prop.PropertyTypeName(Member.PropertyType)
                                   : std::string(Member.TypeName);
}

using TMembers = std::vector<std::optional<TUTDecodedValue>>;

// A known struct stored as its members' bytes; false when they do not fill its declared size
// exactly.
bool DecodeBinaryMembers(TDecodeContext& C, const TKnownStructLayout& Layout, std::int32_t End,
                         TMembers& Members)
{
    try {
        for (std::size_t J = 0; J < Layout.Members.size(); ++J) {
            const TKnownStructElement& Member = Layout.Members[J];
            TUTDecodedValue Value =
                DecodeNested(C, Member.Name, Member.PropertyType, MemberTypeName(C.Prop, Member));
            // A nested struct that fell back to its raw bytes did not fit either.
            if (Value.PropertyType == ptBuffer) {
                return false;
            }
            Members[J] = std::move(Value);
        }
    } catch (const EUTReaderError&) {
        return false;
    }
    return End < 0 || C.Position == End;
}

// A known struct stored as a tagged list of its members, each named as the layout names it, of
// its type, and decoded from exactly its own bytes; false for anything else.
bool DecodeTaggedMembers(TDecodeContext& C, const TKnownStructLayout& Layout, std::int32_t End,
                         TMembers& Members)
{
    const std::vector<std::uint8_t>& Raw = C.Prop.Value();
    const std::int32_t Limit = End >= 0 ? End : static_cast<std::int32_t>(Raw.size());
    if (C.Package == nullptr || C.Position < 0 || C.Position > Limit ||
        static_cast<std::size_t>(Limit) > Raw.size()) {
        return false;
    }
    TUTMemoryStream Stream(
        std::vector<std::uint8_t>(Raw.begin() + C.Position, Raw.begin() + Limit));
    TUTProperty Tag;
    try {
        for (std::size_t Tags = 0;; ++Tags) {
            C.Package->ReadProperty(Tag, Stream);
            if (Tag.PropertyType() == ptNone) {
                break;
            }
            std::size_t J = 0;
            while (J < Layout.Members.size() && !UTSameText(Layout.Members[J].Name, Tag.Name())) {
                ++J;
            }
            if (Tags >= Layout.Members.size() || J == Layout.Members.size() || Members[J] ||
                Tag.ArrayIndex() != -1) {
                return false;
            }
            const TKnownStructElement& Member = Layout.Members[J];
            if (Tag.PropertyType() != Member.PropertyType ||
                (Member.PropertyType == ptStruct && !UTSameText(Tag.TypeName(), Member.TypeName))) {
                return false;
            }
            const auto Size = static_cast<std::int32_t>(Tag.Value().size());
            std::int32_t At = 0;
            TUTDecodedValue Value =
                DecodePropertyValue(Tag, C.Package, C.Owner, At, -1, -1, Member.Name,
                                    Member.PropertyType, MemberTypeName(C.Prop, Member), Size);
            if (At != Size || Value.PropertyType == ptBuffer) {
                return false;
            }
            Members[J] = std::move(Value);
        }
    } catch (const EUTReaderError&) {
        return false;
    }
    C.Position += static_cast<std::int32_t>(Stream.GetPosition());
    return End < 0 || C.Position == End;
}

// A known struct in the form its package's version stores it; false when its bytes are not
// that form (the position is then where it was).
bool DecodeKnownStruct(TDecodeContext& C, const TKnownStructLayout& Layout, int MemberIndex,
                       std::string_view TypeName, std::int32_t End, TUTDecodedValue& R)
{
    const std::int32_t Start = C.Position;
    TMembers Members(Layout.Members.size());
    bool Decoded = false;
    if (Layout.Form != TKnownStructForm::ksfBinary) {
        Decoded = DecodeTaggedMembers(C, Layout, End, Members);
    }
    if (!Decoded && Layout.Form != TKnownStructForm::ksfTagged) {
        C.Position = Start;
        std::fill(Members.begin(), Members.end(), std::nullopt);
        Decoded = DecodeBinaryMembers(C, Layout, End, Members);
    }
    if (!Decoded) {
        C.Position = Start;
        return false;
    }
    R.TypeText = TypeName;
    R.Text.clear();
    std::string List;
    for (std::size_t J = 0; J < Layout.Members.size(); ++J) {
        const TKnownStructElement& Member = Layout.Members[J];
        if (static_cast<int>(J) == MemberIndex) {
            // A member a tagged list leaves out has no text.
            R.Name = Member.Name;
            R.Text = Members[J] ? Members[J]->Text : std::string();
            R.AuxText = Members[J] ? Members[J]->AuxText : std::string();
            R.TypeText = Members[J] ? Members[J]->TypeText : MemberTypeName(C.Prop, Member);
            break;
        }
        if (Members[J]) {
            List += std::string(Member.Name) + "=" + Members[J]->Text + ",";
            NotifyElement(C.Package);
        }
    }
    CloseStruct(C.Prop, MemberIndex, List, R);
    return true;
}

// A struct by the definition found for it; false when the definition provides no layout or
// its members do not fill the declared size exactly.
bool DecodeStructByDefinition(TDecodeContext& C, const TUTFoundObject& Found, int MemberIndex,
                              std::int32_t End, TUTDecodedValue& R)
{
    TUTPackage& DefinitionPackage = *Found.Package;
    TUTObject& Definition = DefinitionPackage.GetExport(Found.Index)->GetUTObject();
    if (!Definition.ProvidesDefinition()) {
        return false;
    }
    TReadGuard DefinitionRead(Definition, true);
    TUTDecodedValue Result = R;
    Result.TypeText = Definition.GetStructName();
    Result.Text.clear();
    // A struct of its own layout is decoded from the first byte of the value.
    const std::int32_t Start = C.Position;
    C.Position = 0;
    TDecodeContext Inner{C.Prop, &DefinitionPackage, &Definition, C.Position};
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
        const TUTPropertyType MemberType = TypeOfPropertyClass(Field.GetClassName());
        const std::string MemberTypeName =
            RefersToType(MemberType) ? DefinitionPackage.GetObjectPath(1, Field.GetPropertyClass())
                                     : Field.GetOwnTypeName();
        const TUTDecodedValue Value =
            DecodeNested(Inner, Field.GetObjectName(), MemberType, MemberTypeName);
        if (Member == MemberIndex) {
            Result.Name = Value.Name;
            Result.Text = Value.Text;
            Result.AuxText = Value.AuxText;
            Result.TypeText = Value.TypeText;
            break;
        }
        Members += Field.GetObjectName() + "=" + Value.Text + ",";
        ++Member;
    }
    if (MemberIndex == -1 && End >= 0 && C.Position != End) {
        C.Position = Start;
        return false;
    }
    CloseStruct(C.Prop, MemberIndex, Members, Result);
    R = std::move(Result);
    return true;
}

void DecodeStruct(TDecodeContext& C, int MemberIndex, std::string_view TypeName, std::int32_t End,
                  TUTDecodedValue& R)
{
    const std::uint16_t Version = C.Package != nullptr ? C.Package->Version() : 0;
    if (const std::optional<TKnownStructLayout> Layout = FindKnownStruct(TypeName, Version)) {
        if (!DecodeKnownStruct(C, *Layout, MemberIndex, TypeName, End, R)) {
            RawStruct(C, R);
        }
        return;
    }
    if (C.Owner != nullptr && C.Package != nullptr) {
        const TUTFoundObject Found = C.Package->FindObjectInPackages(
            TUTFindFields::ffObjectName | TUTFindFields::ffClassName, "", TypeName, "struct",
            C.Owner->GetClassName());
        if (Found.Index >= 0 && DecodeStructByDefinition(C, Found, MemberIndex, End, R)) {
            return;
        }
    }
    RawStruct(C, R);
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
                              TUTPropertyType PropertyType, const std::uint8_t* Data,
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

TUTDecodedValue TUTProperty::GetValueFull(int ElementIndex, int MemberIndex) const
{
    if (!FValid) {
        TUTDecodedValue Invalid;
        Invalid.Value = std::string("0");
        Invalid.Text.assign(1, '0'); // assigning "0" trips a false -Wrestrict of GCC 12 at -O3
        return Invalid;
    }
    std::int32_t Position = 0;
    return DecodePropertyValue(*this, FPackage, FOwner, Position, ElementIndex, MemberIndex, FName,
                               FPropertyType, FTypeName, static_cast<std::int32_t>(FValue.size()));
}

TUTValue TUTProperty::GetValue() const
{
    return GetValueFull(-1, -1).Value;
}

std::string TUTProperty::GetValueAsString() const
{
    return GetValueFull(-1, -1).Text;
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
    if (FPropertyType != ptNone) {
        const TUTDecodedValue Decoded = GetValueFull(-1, -1);
        Result += " (" + Decoded.TypeText + ") = " + Decoded.Text;
    }
    return Result;
}

std::string TUTProperty::PropertyTypeName(TUTPropertyType Code) const
{
    switch (Code) {
    case ptByte:
        return "Byte";
    case ptInt:
        return "Int";
    case ptBool:
        return "Bool";
    case ptFloat:
        return "Float";
    case ptObject:
        return "Object";
    case ptName:
        return "Name";
    case ptString:
        return (FPackage == nullptr || FPackage->Version() < 120) ? "String" : "Delegate";
    case ptClass:
        return "Class";
    case ptArray:
        return "Array";
    case ptStruct:
        return "Struct";
    case ptVector:
        return "Vector";
    case ptRotator:
        return "Rotator";
    case ptStr:
        return "Str";
    case ptMap:
        return "Map";
    case ptFixedArray:
        return "FixedArray";
    case ptBuffer:
        return "Buffer";
    case ptWord:
        return "Word";
    default:
        return {};
    }
}

TUTDecodedValue DecodePropertyValue(const TUTProperty& Prop, TUTPackage* Package, TUTObject* Owner,
                                    std::int32_t& Position, int ElementIndex, int MemberIndex,
                                    std::string_view Name, TUTPropertyType PropertyType,
                                    std::string_view TypeName, std::int32_t End)
{
    TDepthGuard Depth;
    TDecodeContext C{Prop, Package, Owner, Position};
    TUTDecodedValue R;
    R.Name = Name;
    R.Value = std::uint8_t(0);
    R.PropertyType = PropertyType;
    R.TypeText = Prop.PropertyTypeName(PropertyType);
    switch (PropertyType) {
    case ptNone:
        break;
    case ptByte: {
        const std::uint8_t B = *Take(Prop, Position, 1);
        R.Value = B;
        if (!TypeName.empty() && !UTSameText(TypeName, "byte")) {
            R.TypeText = TypeName;
            R.AuxText = GetKnownEnumValue(TypeName, B);
        }
        R.Text = R.AuxText.empty() ? std::to_string(B) : R.AuxText;
        break;
    }
    case ptInt: {
        const auto V = static_cast<std::int32_t>(LoadDWord(Take(Prop, Position, 4)));
        R.Value = V;
        R.Text = std::to_string(V);
        break;
    }
    case ptBool: {
        const bool V = *Take(Prop, Position, 1) != 0;
        R.Value = V;
        R.Text = V ? "True" : "False";
        break;
    }
    case ptFloat: {
        const float V = std::bit_cast<float>(LoadDWord(Take(Prop, Position, 4)));
        R.Value = static_cast<double>(V);
        R.Text = FormatFloat(V);
        break;
    }
    case ptObject: {
        const std::int32_t Ref = TakeIndex(Prop, Position);
        R.Value = Ref;
        R.AuxText = Ref == 0 ? "None" : ObjectReferenceText(RequirePackage(Package), Ref);
        R.Text = R.AuxText;
        break;
    }
    case ptName: {
        const std::int32_t Index = TakeIndex(Prop, Position);
        R.Value = Index;
        R.AuxText = NameOf(Prop, RequirePackage(Package), Index);
        R.Text = R.AuxText;
        break;
    }
    case ptString:
    case ptStr: {
        TUTPackage& Pkg = RequirePackage(Package);
        if (PropertyType == ptString && Pkg.Version() >= 120) {
            const std::int32_t Ref = TakeIndex(Prop, Position);
            const std::int32_t Index = TakeIndex(Prop, Position);
            std::string S =
                Pkg.GetObjectPath(-1, Ref) + "." + std::string(NameOf(Prop, Pkg, Index));
            R.Text = Pkg.QuoteString(S);
            R.Value = std::move(S);
        } else {
            DecodeString(C, Pkg, R);
        }
        break;
    }
    case ptClass: {
        const std::int32_t Ref = TakeIndex(Prop, Position);
        R.Value = Ref;
        R.AuxText =
            Ref == 0 ? "None" : "Class'" + RequirePackage(Package).GetObjectPath(-1, Ref) + "'";
        R.Text = R.AuxText;
        break;
    }
    case ptArray:
        DecodeArray(C, ElementIndex, MemberIndex, R);
        break;
    case ptStruct:
        DecodeStruct(C, MemberIndex, TypeName, End, R);
        break;
    case ptMap:
    case ptFixedArray:
    case ptBuffer:
        R.Value = RawAsString(Prop);
        SkipWhole(Prop, Position);
        break;
    case ptWord: {
        const std::uint8_t* B = Take(Prop, Position, 2);
        R.Value = LoadWord(B);
        R.Text = std::to_string(LoadWord(B));
        break;
    }
    default:
        R.Value = Prop.Value();
        break;
    }
    return R;
}

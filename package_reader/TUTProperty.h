#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class TUTObject;
class TUTPackage;

// A decoded property value. Strings come in two forms, which a caller must tell apart:
// - std::string: an 8-bit string exactly as stored (Windows-1252 in this game's files); the
//   reader never converts it;
// - std::u16string: a string the game stored as UTF-16LE (its length is negative in the file),
//   decoded to code units.
// The other kinds: Byte (uint8_t), Word (uint16_t), Int, Object, Name and Class references
// (int32_t), Float (double), Bool (bool), raw bytes (std::vector<uint8_t>). Array and struct
// values are their display text (std::string).
using TUTValue = std::variant<std::uint8_t, std::uint16_t, std::int32_t, double, bool, std::string,
                              std::u16string, std::vector<std::uint8_t>>;

// Type codes of properties: 0-15 as a tag gives them, and two the reader adds.
enum class TUTPropertyType : std::int32_t
{
    ptNone = 0, // the closing "None" tag
    ptByte = 1,
    ptInt = 2,
    ptBool = 3,
    ptFloat = 4,
    ptObject = 5,
    ptName = 6,
    ptString = 7, // a delegate from package version 120 on
    ptClass = 8,
    ptArray = 9,
    ptStruct = 10,
    ptVector = 11,
    ptRotator = 12,
    ptStr = 13,
    ptMap = 14,
    ptFixedArray = 15,
    ptBuffer = 256, // raw bytes: a tag of type 0, or a struct the reader cannot decode
    ptWord = 257,
};

// A decoded value, or one element or member of it.
struct TUTDecodedValue
{
    std::string Name; // the property's, or that of the element or member asked for
    TUTValue Value;
    std::string Text;
    std::string AuxText; // an enumeration value name, a reference's or a name's text
    TUTPropertyType PropertyType = TUTPropertyType::ptNone;
    std::string TypeText;
};

// One tagged property of an exported object: name, array index, type code, raw value bytes and
// extra type name, decoded on demand.
//
// Display texts (GetValueAsString, GetDescription, the Text of GetValueFull) are 8-bit
// Windows-1252 texts; a UTF-16 string appears in them converted to Windows-1252 with "?" for
// characters the code page lacks. Take a string's value from GetValue to keep every character.
// Floats are shown with two decimals and "." whatever the process locale. A struct whose bytes
// do not decode exactly as its known layout (stored as plain bytes or as a tagged list of its
// members, as the package's version has it) shows as raw bytes (ptBuffer), never as values the
// bytes contradict.
class TUTProperty
{
public:
    TUTProperty() = default;
    virtual ~TUTProperty() = default;
    TUTProperty(const TUTProperty&) = delete;
    TUTProperty& operator=(const TUTProperty&) = delete;

    bool Valid() const { return FValid; }
    TUTPackage* Package() const { return FPackage; }
    TUTObject* Owner() const { return FOwner; }
    const std::string& Name() const { return FName; }
    std::int32_t ArrayIndex() const { return FArrayIndex; }
    TUTPropertyType PropertyType() const { return FPropertyType; }
    const std::vector<std::uint8_t>& Value() const { return FValue; }
    const std::string& TypeName() const { return FTypeName; }

    // The one decoding entry point. ElementIndex -1 decodes every element of a dynamic array,
    // else only that one; MemberIndex -1 every member of a struct, else only that one. An
    // invalid property gives "0". A name index outside the name table fails with EListError,
    // a value that runs past its bytes with EReadError naming the property (inside a dynamic
    // array either just ends the elements).
    virtual TUTDecodedValue GetValueFull(int ElementIndex, int MemberIndex) const;
    // The parts of GetValueFull(-1, -1); they fail as it does.
    virtual TUTValue GetValue() const;
    virtual std::string GetValueAsString() const;
    // TypeName when set, else the name of the type code. Never fails.
    virtual std::string GetTypeName() const;
    // Name[index] (Type) = Text; empty for an invalid property. Fails as GetValueFull.
    virtual std::string GetDescription() const;
    // Display name of a type code ("Int", "Struct", ...); empty for an unknown code.
    virtual std::string PropertyTypeName(TUTPropertyType Code) const;

    virtual void SetProperty(TUTPackage* Package, const std::string& Name, std::int32_t ArrayIndex,
                             TUTPropertyType PropertyType, const std::uint8_t* Data,
                             std::int32_t DataSize, const std::string& TypeName);
    void SetOwner(TUTObject* Owner) { FOwner = Owner; }

private:
    friend class TUTPropertyList;
    bool FValid = false;
    TUTPackage* FPackage = nullptr;
    TUTObject* FOwner = nullptr;
    std::string FName;
    std::int32_t FArrayIndex = -1;
    TUTPropertyType FPropertyType = TUTPropertyType::ptNone;
    std::vector<std::uint8_t> FValue;
    std::string FTypeName;
};

// Makes the properties of property lists.
using TUTPropertyClass = std::unique_ptr<TUTProperty> (*)();
TUTPropertyClass& PropertyClass();

// The recursive value decoder behind GetValueFull: decodes Prop's raw bytes from Position on as
// a value of PropertyType (Name and TypeName as its tag or its definition give them) and moves
// Position past them. End is where a value whose size is declared must end (its struct is
// otherwise shown as raw bytes), -1 when nothing declares it. Fails as GetValueFull.
TUTDecodedValue DecodePropertyValue(const TUTProperty& Prop, TUTPackage* Package, TUTObject* Owner,
                                    std::int32_t& Position, int ElementIndex, int MemberIndex,
                                    std::string_view Name, TUTPropertyType PropertyType,
                                    std::string_view TypeName, std::int32_t End);

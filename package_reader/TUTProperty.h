#pragma once

#include <cstdint>
#include <memory>
#include <string>
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

// One tagged property of an exported object: name, array index, type code, raw value bytes and
// extra type name, decoded on demand.
//
// Display texts (GetValueAsString, GetDescription, the Text of GetValueFull) are 8-bit
// Windows-1252 texts; a UTF-16 string appears in them converted to Windows-1252 with "?" for
// characters the code page lacks. Take a string's value from GetValue to keep every character.
// Floats are shown with two decimals and "." whatever the process locale.
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
    std::int32_t PropertyType() const { return FPropertyType; }
    const std::vector<std::uint8_t>& Value() const { return FValue; }
    const std::string& TypeName() const { return FTypeName; }

    // The one decoding entry point. ElementIndex -1 decodes every element of a dynamic array,
    // else only that one; MemberIndex -1 every member of a struct, else only that one. An
    // invalid property gives "0". A name index outside the name table fails with EListError,
    // a value that runs past its bytes with EReadError (inside a dynamic array either just
    // ends the elements).
    virtual void GetValueFull(int ElementIndex, int MemberIndex, std::string& Name, TUTValue& Value,
                              std::string& Text, std::int32_t& PropertyType,
                              std::string& TypeText) const;
    // The parts of GetValueFull(-1, -1); they fail as it does.
    virtual TUTValue GetValue() const;
    virtual std::string GetValueAsString() const;
    // TypeName when set, else the name of the type code. Never fails.
    virtual std::string GetTypeName() const;
    // Name[index] (Type) = Text; empty for an invalid property. Fails as GetValueFull.
    virtual std::string GetDescription() const;
    // Display name of a type code ("Int", "Struct", ...); empty for an unknown code.
    virtual std::string PropertyTypeName(std::int32_t Code) const;

    virtual void SetProperty(TUTPackage* Package, const std::string& Name, std::int32_t ArrayIndex,
                             std::int32_t PropertyType, const std::uint8_t* Data,
                             std::int32_t DataSize, const std::string& TypeName);
    void SetOwner(TUTObject* Owner) { FOwner = Owner; }

private:
    friend class TUTPropertyList;
    bool FValid = false;
    TUTPackage* FPackage = nullptr;
    TUTObject* FOwner = nullptr;
    std::string FName;
    std::int32_t FArrayIndex = -1;
    std::int32_t FPropertyType = 0;
    std::vector<std::uint8_t> FValue;
    std::string FTypeName;
};

// Makes the properties of property lists.
using TUTPropertyClass = std::unique_ptr<TUTProperty> (*)();
TUTPropertyClass& PropertyClass();

// The recursive value decoder behind GetValueFull: decodes Prop's raw bytes from Position on,
// dispatching on PropertyType (which it may replace).
void DecodePropertyValue(const TUTProperty& Prop, TUTPackage* Package, TUTObject* Owner,
                         std::int32_t& Position, int ElementIndex, int MemberIndex,
                         std::string& Name, std::string& Text, std::string& AuxText,
                         TUTValue& Value, std::int32_t& PropertyType, std::string& TypeText,
                         const std::string& TypeName);

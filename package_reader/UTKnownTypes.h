#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Enumerations and struct layouts the value decoder knows without reading another package.
// Lookups ignore ASCII letter case.

// One registered enumeration: its name as registered and its value names by ordinal.
struct TKnownEnumValues
{
    std::string Name;
    std::vector<std::string> Values;
};

// One member of a known struct. TypeName is the struct name of a struct member or the
// enumeration name of a byte member, else empty; PropertyType is a property type code.
struct TKnownStructElement
{
    std::string Name;
    std::string TypeName;
    std::int32_t PropertyType = 0;
};

// The process-wide registry in registration order; it holds the three default enumerations
// from the first use on. Several entries may share a name: lookups take the first.
std::vector<TKnownEnumValues>& KnownEnumRegistry();

// Appends an enumeration; never replaces or merges an existing entry of the same name.
void RegisterKnownEnumValues(std::string_view EnumName, std::vector<std::string> ValueNames);
// Registers ESheerAxis, EDropType and ESparkType (done once before the registry's first use).
void RegisterDefaultKnownEnums();
// The value name of Index in the first enumeration named EnumName; Index in decimal when the
// enumeration is not registered or Index is outside its values. Never fails.
std::string GetKnownEnumValue(std::string_view EnumName, std::int32_t Index);

// Member count of a known struct ("color", "vector", "rotator", "plane", "sphere", "scale",
// "pointregion"); 0 for any other name.
int KnownStructCount(std::string_view StructName);
bool IsKnownStruct(std::string_view StructName);
// Fills Element with member Index of the named struct. An index outside the members leaves it
// unchanged, except that for the five structs of one member type that type is set and TypeName
// emptied; an unknown struct name leaves it unchanged. Never fails.
void GetKnownStructElement(std::string_view StructName, int Index, TKnownStructElement& Element);

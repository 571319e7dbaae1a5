#pragma once

#include "TUTProperty.h"

#include <cstdint>
#include <optional>
#include <span>
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
// enumeration name of a byte member, else empty.
struct TKnownStructElement
{
    std::string_view Name;
    std::string_view TypeName;
    TUTPropertyType PropertyType = TUTPropertyType::ptNone;
};

// How a package stores the values of a known struct.
enum class TKnownStructForm
{
    ksfBinary, // its members' bytes one after another
    ksfTagged, // a tagged property list of its members, ending with "None"
    ksfEither, // the files of that version do not tell: whichever takes up the bytes exactly
};

// A known struct as a package of one version stores it: its members in the order declared
// there, and its form.
struct TKnownStructLayout
{
    std::span<const TKnownStructElement> Members;
    TKnownStructForm Form = TKnownStructForm::ksfBinary;
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

// The known structs are "color", "vector", "rotator", "plane", "sphere", "scale" and
// "pointregion". Their layout in a package of Version; none for any other name. Never fails.
std::optional<TKnownStructLayout> FindKnownStruct(std::string_view StructName,
                                                  std::uint16_t Version);
// Member count of a known struct; 0 for any other name.
int KnownStructCount(std::string_view StructName);
bool IsKnownStruct(std::string_view StructName);
// Member Index of a known struct in a package of Version; none for an index outside its
// members or a name outside the table. Never fails.
std::optional<TKnownStructElement> GetKnownStructElement(std::string_view StructName, int Index,
                                                         std::uint16_t Version);

#include "UTKnownTypes.h"

#include "UTText.h"

namespace {

using enum TUTPropertyType;

// The forms the game's own files show, by package version:
// - colors are stored B, G, R, A in every file of this game that holds one, the oldest of them
//   of version 99 (textures named for their blue read blue so at 106 and 120); the engines
//   before stored R, G, B, A;
// - structs other than colors, vectors and rotators are stored as their members' bytes up to
//   version 115 (a matrix at 106, a static mesh's material list at 115) and as tagged lists
//   of their members from 121 on (the same lists at 121 and 125, every map's regions, scales
//   and planes at 126 to 128); no file of a version between tells.
constexpr std::uint16_t FirstBgraColorVersion = 99;
constexpr std::uint16_t LastBinaryStructVersion = 115;
constexpr std::uint16_t FirstTaggedStructVersion = 121;

constexpr TKnownStructElement ColorRgba[] = {
    {"R", "", ptByte}, {"G", "", ptByte}, {"B", "", ptByte}, {"A", "", ptByte}};
constexpr TKnownStructElement ColorBgra[] = {
    {"B", "", ptByte}, {"G", "", ptByte}, {"R", "", ptByte}, {"A", "", ptByte}};
constexpr TKnownStructElement Vector[] = {
    {"X", "", ptFloat}, {"Y", "", ptFloat}, {"Z", "", ptFloat}};
constexpr TKnownStructElement Rotator[] = {
    {"Pitch", "", ptInt}, {"Yaw", "", ptInt}, {"Roll", "", ptInt}};
constexpr TKnownStructElement Plane[] = {
    {"X", "", ptFloat}, {"Y", "", ptFloat}, {"Z", "", ptFloat}, {"W", "", ptFloat}};
constexpr TKnownStructElement Scale[] = {
    {"Scale", "Vector", ptStruct}, {"SheerRate", "", ptFloat}, {"SheerAxis", "ESheerAxis", ptByte}};
constexpr TKnownStructElement PointRegion[] = {
    {"Zone", "ZoneInfo", ptObject}, {"iLeaf", "", ptInt}, {"ZoneNumber", "", ptByte}};

struct TStructEntry
{
    std::string_view Name; // lower case
    std::span<const TKnownStructElement> Members;
    std::span<const TKnownStructElement> NewerMembers; // where the game reordered them
    bool AlwaysBinary;
};

constexpr TStructEntry Structs[] = {
    {"color", ColorRgba, ColorBgra, true},
    {"vector", Vector, {}, true},
    {"rotator", Rotator, {}, true},
    {"plane", Plane, {}, false},
    {"sphere", Plane, {}, false},
    {"scale", Scale, {}, false},
    {"pointregion", PointRegion, {}, false},
};

const TStructEntry* FindStruct(std::string_view StructName)
{
    const std::string Lower = UTLowerCase(StructName);
    for (const TStructEntry& Entry : Structs) {
        if (Entry.Name == Lower) {
            return &Entry;
        }
    }
    return nullptr;
}

} // namespace

static std::vector<TKnownEnumValues> DefaultKnownEnums()
{
    std::vector<TKnownEnumValues> Defaults;
    Defaults.push_back(
        {"ESheerAxis",
         {"SHEER_None", "SHEER_XY", "SHEER_XZ", "SHEER_YX", "SHEER_YZ", "SHEER_ZX", "SHEER_ZY"}});
    Defaults.push_back(
        {"EDropType", {"DROP_FixedDepth",    "DROP_PhaseSpot",     "DROP_ShallowSpot",
                       "DROP_HalfAmpl",      "DROP_RandomMover",   "DROP_FixedRandomMover",
                       "DROP_WhirlyThing",   "DROP_BigWhirly",     "DROP_HorizontalLine",
                       "DROP_VerticalLine",  "DROP_DiagonalLine1", "DROP_DiagonalLine2",
                       "DROP_HorizontalOsc", "DROP_VerticalOsc",   "DROP_DiagonalOsc1",
                       "DROP_DiagonalOsc2",  "DROP_RainDrops",     "DROP_AreaClamp",
                       "DROP_LeakyTap",      "DROP_DrippyTap"}});
    // The game's own list carries a stray comma before SPARK_CustomCloud; the value name
    // is shown without it.
    Defaults.push_back({"ESparkType", {"SPARK_Burn",          "SPARK_Sparkle",
                                       "SPARK_Pulse",         "SPARK_Signal",
                                       "SPARK_Blaze",         "SPARK_OzHasSpoken",
                                       "SPARK_Cone",          "SPARK_BlazeRight",
                                       "SPARK_BlazeLeft",     "SPARK_Cylinder",
                                       "SPARK_Cylinder3D",    "SPARK_Lissajous",
                                       "SPARK_Jugglers",      "SPARK_Emit",
                                       "SPARK_Fountain",      "SPARK_Flocks",
                                       "SPARK_Eels",          "SPARK_Organic",
                                       "SPARK_WanderOrganic", "SPARK_RandomCloud",
                                       "SPARK_CustomCloud",   "SPARK_LocalCloud",
                                       "SPARK_Starts",        "SPARK_LineLightning",
                                       "SPARK_RampLightning", "SPARK_SphereLightning",
                                       "SPARK_Wheel",         "SPARK_Gametes",
                                       "SPARK_Sprinkler"}});
    return Defaults;
}

std::vector<TKnownEnumValues>& KnownEnumRegistry()
{
    static std::vector<TKnownEnumValues> Registry = DefaultKnownEnums();
    return Registry;
}

void RegisterKnownEnumValues(std::string_view EnumName, std::vector<std::string> ValueNames)
{
    KnownEnumRegistry().push_back({std::string(EnumName), std::move(ValueNames)});
}

void RegisterDefaultKnownEnums()
{
    // The registry holds the defaults from its first use on; a further call appends them
    // again, which leaves the first entries in force.
    for (TKnownEnumValues& Entry : DefaultKnownEnums()) {
        KnownEnumRegistry().push_back(std::move(Entry));
    }
}

std::string GetKnownEnumValue(std::string_view EnumName, std::int32_t Index)
{
    const std::string Lower = UTLowerCase(EnumName);
    for (const TKnownEnumValues& Entry : KnownEnumRegistry()) {
        if (UTLowerCase(Entry.Name) == Lower) {
            if (Index >= 0 && static_cast<std::size_t>(Index) < Entry.Values.size()) {
                return Entry.Values[static_cast<std::size_t>(Index)];
            }
            break;
        }
    }
    return std::to_string(Index);
}

std::optional<TKnownStructLayout> FindKnownStruct(std::string_view StructName,
                                                  std::uint16_t Version)
{
    const TStructEntry* Entry = FindStruct(StructName);
    if (Entry == nullptr) {
        return std::nullopt;
    }
    TKnownStructLayout Layout;
    Layout.Members = !Entry->NewerMembers.empty() && Version >= FirstBgraColorVersion
                         ? Entry->NewerMembers
                         : Entry->Members;
    if (Entry->AlwaysBinary || Version <= LastBinaryStructVersion) {
        Layout.Form = TKnownStructForm::ksfBinary;
    } else if (Version >= FirstTaggedStructVersion) {
        Layout.Form = TKnownStructForm::ksfTagged;
    } else {
        Layout.Form = TKnownStructForm::ksfEither;
    }
    return Layout;
}

int KnownStructCount(std::string_view StructName)
{
    const TStructEntry* Entry = FindStruct(StructName);
    return Entry != nullptr ? static_cast<int>(Entry->Members.size()) : 0;
}

bool IsKnownStruct(std::string_view StructName)
{
    return KnownStructCount(StructName) > 0;
}

std::optional<TKnownStructElement> GetKnownStructElement(std::string_view StructName, int Index,
                                                         std::uint16_t Version)
{
    const std::optional<TKnownStructLayout> Layout = FindKnownStruct(StructName, Version);
    if (!Layout || Index < 0 || static_cast<std::size_t>(Index) >= Layout->Members.size()) {
        return std::nullopt;
    }
    return Layout->Members[static_cast<std::size_t>(Index)];
}

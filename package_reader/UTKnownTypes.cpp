#include "UTKnownTypes.h"

#include "UTText.h"

#include <array>

namespace {

struct TStructMember
{
    std::string_view Name;
    std::int32_t PropertyType;
    std::string_view TypeName;
};

struct TStructLayout
{
    std::string_view Name;
    std::vector<TStructMember> Members;
    std::int32_t UniformType; // member type of a struct whose members share one, else 0
};

const std::array<TStructLayout, 7>& StructLayouts()
{
    static const std::array<TStructLayout, 7> Layouts = {{
        {"color", {{"R", 1, ""}, {"G", 1, ""}, {"B", 1, ""}, {"A", 1, ""}}, 1},
        {"vector", {{"X", 4, ""}, {"Y", 4, ""}, {"Z", 4, ""}}, 4},
        {"rotator", {{"Pitch", 2, ""}, {"Yaw", 2, ""}, {"Roll", 2, ""}}, 2},
        {"plane", {{"X", 4, ""}, {"Y", 4, ""}, {"Z", 4, ""}, {"W", 4, ""}}, 4},
        {"sphere", {{"X", 4, ""}, {"Y", 4, ""}, {"Z", 4, ""}, {"W", 4, ""}}, 4},
        {"scale",
         {{"Scale", 10, "Vector"}, {"SheerRate", 4, ""}, {"SheerAxis", 1, "ESheerAxis"}},
         0},
        {"pointregion", {{"Zone", 5, "ZoneInfo"}, {"iLeaf", 2, ""}, {"ZoneNumber", 1, ""}}, 0},
    }};
    return Layouts;
}

const TStructLayout* FindLayout(std::string_view StructName)
{
    const std::string Lower = UTLowerCase(StructName);
    for (const TStructLayout& Layout : StructLayouts()) {
        if (Layout.Name == Lower) {
            return &Layout;
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

int KnownStructCount(std::string_view StructName)
{
    const TStructLayout* Layout = FindLayout(StructName);
    return Layout != nullptr ? static_cast<int>(Layout->Members.size()) : 0;
}

bool IsKnownStruct(std::string_view StructName)
{
    return KnownStructCount(StructName) > 0;
}

void GetKnownStructElement(std::string_view StructName, int Index, TKnownStructElement& Element)
{
    const TStructLayout* Layout = FindLayout(StructName);
    if (Layout == nullptr) {
        return;
    }
    if (Index >= 0 && static_cast<std::size_t>(Index) < Layout->Members.size()) {
        const TStructMember& Member = Layout->Members[static_cast<std::size_t>(Index)];
        Element.Name = Member.Name;
        Element.TypeName = Member.TypeName;
        Element.PropertyType = Member.PropertyType;
    } else if (Layout->UniformType != 0) {
        Element.TypeName.clear();
        Element.PropertyType = Layout->UniformType;
    }
}

#pragma once

// The one path the tool takes through a map: load it, take the first export named
// "LevelSummary" (any letter case), read its properties and take Title, Author and Description.

#include "UT_Packages.h"

#include <optional>
#include <string>

struct TMapTextValues
{
    std::optional<TUTValue> Title;
    std::optional<TUTValue> Author;
    std::optional<TUTValue> Description;
};

// Fails as the reader does; a map without LevelSummary, or a text it lacks, gives no value.
inline TMapTextValues ReadMapTexts(const std::string& File)
{
    TMapTextValues Result;
    TUTPackage Package;
    Package.LoadFromFile(File);
    const int Index = Package.FindObject(TUTFindKind::fkExport, TUTFindFields::ffObjectName, "",
                                         "LevelSummary", "", 0);
    if (Index < 0) {
        return Result;
    }
    TUTObject& Summary = Package.GetExport(Index)->GetUTObject();
    struct TRelease
    {
        TUTObject& Object;
        ~TRelease() { Object.ReleaseObject(); }
    } Release{Summary};
    Summary.ReadObject(true);
    const TUTPropertyList& Props = Summary.GetProperties();
    auto Take = [&](const char* Name) -> std::optional<TUTValue> {
        if (const TUTProperty* Prop = Props.GetPropertyByName(Name)) {
            return Prop->GetValue();
        }
        return std::nullopt;
    };
    Result.Title = Take("Title");
    Result.Author = Take("Author");
    Result.Description = Take("Description");
    return Result;
}

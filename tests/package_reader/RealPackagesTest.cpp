#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace {

struct TManifestPackage
{
    std::string File;
    int Names = 0;
    int Imports = 0;
    int Exports = 0;
    std::map<std::string, std::string> Summary; // the peer readers' LevelSummary values
};

// The package rows of the folder's MANIFEST.md.
std::vector<TManifestPackage> ManifestPackages(const std::string& Folder)
{
    std::ifstream In(Folder + "/MANIFEST.md");
    std::vector<TManifestPackage> Packages;
    for (std::string Line; std::getline(In, Line);) {
        const auto Counts = Line.find("n/i/e=");
        if (Line.rfind("| ", 0) != 0 || Counts == std::string::npos) {
            continue;
        }
        TManifestPackage Package;
        Package.File = Line.substr(2, Line.find(" |", 2) - 2);
        char Slash = 0;
        std::istringstream Numbers(Line.substr(Counts + 6));
        Numbers >> Package.Names >> Slash >> Package.Imports >> Slash >> Package.Exports;
        const std::string Rest = Line.substr(Counts);
        const std::string Marker = "LevelSummary (peer): ";
        if (const auto At = Rest.find(Marker); At != std::string::npos) {
            std::string Values = Rest.substr(At + Marker.size());
            Values = Values.substr(0, Values.rfind(" |"));
            std::size_t Start = 0;
            while (Start < Values.size()) {
                std::size_t End = Values.find("; ", Start);
                if (End == std::string::npos) {
                    End = Values.size();
                }
                const std::string Pair = Values.substr(Start, End - Start);
                if (const auto Equal = Pair.find('='); Equal != std::string::npos) {
                    Package.Summary[Pair.substr(0, Equal)] = Pair.substr(Equal + 1);
                }
                Start = End + 2;
            }
        }
        Packages.push_back(Package);
    }
    return Packages;
}

// The text of a property of the first export of that name; with Raw, its 8-bit string value.
std::string PropertyText(TUTPackage& Package, const char* Object, const char* Property,
                         bool Raw = false)
{
    const int Index =
        Package.FindObject(TUTFindKind::fkExport, TUTFindFields::ffObjectName, "", Object, "", 0);
    if (Index < 0) {
        return "<no object>";
    }
    TUTObject& Found = Package.GetExport(Index)->GetUTObject();
    Found.ReadObject(true);
    const TUTProperty* Prop = Found.GetProperties().GetPropertyByName(Property);
    std::string Text = Prop != nullptr ? Prop->GetValueAsString() : "<no property>";
    if (Prop != nullptr && Raw) {
        const TUTValue Value = Prop->GetValue();
        const auto* String = std::get_if<std::string>(&Value);
        Text = String != nullptr ? *String : "<not an 8-bit string>";
    }
    Found.ReleaseObject();
    return Text;
}

} // namespace

// Maps give the manifest's texts; every property decodes; every known struct, decoded without its
// declared size, ends exactly where its value does.
TEST(RealPackages, LoadWithTheManifestCountsAndDecodeEveryProperty)
{
    const std::string Folder = RealDataFolder();
    if (Folder.empty()) {
        GTEST_SKIP() << "no real game files on this machine";
    }
    const std::vector<TManifestPackage> Packages = ManifestPackages(Folder);
    ASSERT_EQ(Packages.size(), 57u);
    int Structs = 0, Maps = 0;
    for (const TManifestPackage& Expected : Packages) {
        SCOPED_TRACE(Expected.File);
        TUTPackage Package;
        ASSERT_NO_THROW(Package.LoadFromFile(Folder + "/" + Expected.File));
        EXPECT_EQ(Package.GetNameCount(), Expected.Names);
        EXPECT_EQ(Package.GetImportCount(), Expected.Imports);
        EXPECT_EQ(Package.GetExportCount(), Expected.Exports);
        EXPECT_EQ(Package.StreamCount(), 0);
        if (!Expected.Summary.empty()) {
            ++Maps;
            for (const char* Name : {"Title", "Author", "Description"}) {
                const auto Want = Expected.Summary.find(Name);
                EXPECT_EQ(PropertyText(Package, "LevelSummary", Name, true),
                          Want == Expected.Summary.end() ? "<no property>" : Want->second);
            }
        }
        for (int I = 0; I < Package.GetExportCount(); ++I) {
            TUTObject& Object = Package.GetExport(I)->GetUTObject();
            EXPECT_NO_THROW(Object.ReadObject(true)) << Object.GetObjectName();
            if (!Object.PropertiesRead()) {
                Object.ReleaseObject();
                continue;
            }
            for (const auto& Prop : Object.GetProperties().Items()) {
                EXPECT_NO_THROW(Prop->GetDescription()) << Prop->Name();
                if (Prop->PropertyType() != TUTPropertyType::ptStruct ||
                    !IsKnownStruct(Prop->TypeName())) {
                    continue;
                }
                ++Structs;
                std::int32_t Position = 0;
                const TUTDecodedValue Value =
                    DecodePropertyValue(*Prop, &Package, &Object, Position, -1, -1, Prop->Name(),
                                        TUTPropertyType::ptStruct, Prop->TypeName(), -1);
                EXPECT_EQ(Position, static_cast<std::int32_t>(Prop->Value().size()))
                    << Object.GetObjectName() << "." << Prop->Name();
                EXPECT_EQ(Value.PropertyType, TUTPropertyType::ptStruct);
            }
            Object.ReleaseObject();
        }
    }
    EXPECT_GT(Structs, 8000);
    EXPECT_EQ(Maps, 10);
}

TEST(RealPackages, FilesTheReaderCannotDecodeAreRefused)
{
    const std::string Folder = RealDataFolder();
    if (Folder.empty()) {
        GTEST_SKIP() << "no real game files on this machine";
    }
    int Refused = 0;
    for (const auto& Entry : std::filesystem::directory_iterator(Folder + "/kf1-cache/Cache")) {
        if (Entry.path().extension() != ".uxx") {
            continue;
        }
        TUTPackage Package;
        EXPECT_THROW(Package.LoadFromFile(Entry.path().string()), EInvalidUTPackage);
        ++Refused;
    }
    EXPECT_EQ(Refused, 8);

    // A texture package of this game with the flag that, for the game its header then names,
    // marks tables the reader cannot decode: an error, not a package without names.
    std::ifstream In(Folder + "/Textures/AW-Generic.utx", std::ios::binary);
    TBytes Flagged((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
    ASSERT_GT(Flagged.size(), 12u);
    Flagged[8] |= 0x20;
    TTempFolder Temp;
    TUTPackage Package;
    EXPECT_THROW(Package.LoadFromFile(Temp.Write("AW-Generic.utx", Flagged)), EProcessingUTPackage);
}

TEST(RealPackages, KnownStructsDecodeAsTheFilesStoreThem)
{
    const std::string Folder = RealDataFolder();
    if (Folder.empty()) {
        GTEST_SKIP() << "no real game files on this machine";
    }
    TUTPackage Auto0;
    Auto0.LoadFromFile(Folder + "/Maps/Auto0.ut2");
    EXPECT_EQ(PropertyText(Auto0, "LevelInfo0", "Region"),
              "(Zone=LevelInfo'LevelInfo0',iLeaf=-1,ZoneNumber=0)");
    EXPECT_EQ(PropertyText(Auto0, "Brush0", "MainScale"),
              "(Scale=(X=1.00,Y=1.00,Z=1.00),SheerRate=0.00,SheerAxis=SHEER_ZX)");
    TUTPackage Example;
    Example.LoadFromFile(Folder + "/Maps/AS-LevelConfigManagerExample.ut2");
    EXPECT_EQ(PropertyText(Example, "LevelInfo0", "DistanceFogColor"), "(B=255,G=0,R=0,A=0)");
    EXPECT_EQ(PropertyText(Example, "RedFloorIndicator", "Color"), "(B=0,G=0,R=255,A=255)");
}

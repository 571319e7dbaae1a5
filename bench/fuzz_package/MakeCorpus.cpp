// Writes the fuzzer's seed corpus: small synthetic packages of every header form, with tagged
// properties of every kind. Usage: fuzz_package_corpus FOLDER
#include "TPackageWriter.h"

#include <cstdio>
#include <string>

namespace {

TBytes PropertyZoo(std::uint16_t Version, std::uint16_t Licensee, bool Marker)
{
    TPackageWriter Writer;
    Writer.Version = Version;
    Writer.LicenseeMode = Licensee;
    Writer.WithMarker = Marker;
    const std::int32_t Level =
        Writer.AddExport(Writer.ImportClass("Engine", "Level"), "myLevel", {1, 2, 3, 4});
    TPropertyWriter Props(Writer);
    Props.Str("Title", "Zoo")
        .UnicodeStr("Author", "\xc3\xa9t\xc3\xa9")
        .Int("Count", -1)
        .Float("Scale", 1.5f);
    Props.Bool("bOn", true).Byte("Axis", 2).NameValue("Tag", "Level").Object("Owner", Level);
    Props.Int("Skins", 7, 1).Int("Skins", 8, 300).Int("Skins", 9, 70000);
    Props.Struct("Location", "Vector", TByteWriter().Float(1).Float(2).Float(3).Data());
    Props.Struct("Color", "Color", {1, 2, 3, 4});
    // Regions and scales as the version stores them: tagged lists of their members from 121 on.
    if (Version >= 121) {
        Props.Struct("Region", "PointRegion",
                     TPropertyWriter(Writer)
                         .Object("Zone", Level)
                         .Int("iLeaf", 5)
                         .Byte("ZoneNumber", 6)
                         .Bytes());
        Props.Struct("MainScale", "Scale",
                     TPropertyWriter(Writer)
                         .Struct("Scale", "Vector", TByteWriter().Float(1).Float(1).Float(1).Data())
                         .Float("SheerRate", 0)
                         .Byte("SheerAxis", 5)
                         .Bytes());
    } else {
        Props.Struct("Region", "PointRegion", TByteWriter().Index(Level).DWord(5).Byte(6).Data());
    }
    Props.Struct("Other", "MyStruct", {9, 9, 9});
    Props.Tag("Items", 9,
              TByteWriter()
                  .Index(1)
                  .Index(Writer.Name("Count"))
                  .Byte(0x22)
                  .DWord(5)
                  .Index(Writer.Name("None"))
                  .Data());
    Props.Tag("Raw", 14, {1, 2, 3}).Tag("Delegate", 7, TByteWriter().Index(Level).Index(0).Data());
    Props.Tag("Odd", 0, TBytes(5, 0));
    Writer.AddExport(Writer.ImportClass("Engine", "LevelSummary"), "LevelSummary", Props.Bytes(),
                     Level);
    const std::int32_t Class = Writer.AddExport(0, "MyClass", {0, 0, 0});
    Writer.Export(Class).Flags |= 0x02000000;
    return Writer.Build();
}

} // namespace

int main(int Argc, char** Argv)
{
    if (Argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", Argv[0]);
        return 2;
    }
    const std::string Folder = Argv[1];
    TMapTexts Texts;
    Texts.Title = "Seed";
    Texts.Author = "Writer";
    Texts.Description = "A map";
    WritePackageFile(Folder + "/map.ut2", MakeMapPackage(Texts));
    Texts.Utf16 = true;
    WritePackageFile(Folder + "/map-utf16.ut2", MakeMapPackage(Texts));
    WritePackageFile(Folder + "/zoo-128.u", PropertyZoo(128, 29, false));
    WritePackageFile(Folder + "/zoo-100-marker.u", PropertyZoo(100, 5, true));
    WritePackageFile(Folder + "/zoo-61.u", PropertyZoo(61, 0, false));
    WritePackageFile(Folder + "/zoo-119.u", PropertyZoo(119, 0, false));
    TPackageWriter Champ;
    Champ.Version = 119;
    Champ.LicenseeMode = 30;
    Champ.SecondLengthByte = true;
    Champ.AddExport(Champ.ImportClass("Engine", "Actor"), "Thing",
                    TPropertyWriter(Champ).Int("A", 1).Bytes());
    WritePackageFile(Folder + "/champ.u", Champ.Build());
    return 0;
}

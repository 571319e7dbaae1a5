#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Writers of synthetic package files for tests and benchmarks (plain C++). Files are laid out
// as the game lays out its own: header, name table, object data, import table, export table.

using TBytes = std::vector<std::uint8_t>;

// Little-endian byte builder.
class TByteWriter final
{
public:
    TByteWriter& Byte(std::uint8_t Value);
    TByteWriter& Word(std::uint16_t Value);
    TByteWriter& DWord(std::uint32_t Value);
    TByteWriter& Int64(std::int64_t Value);
    TByteWriter& Float(float Value);
    TByteWriter& Index(std::int32_t Value); // compact index
    TByteWriter& Bytes(const TBytes& Value);
    TByteWriter& Chars(std::string_view Value);
    const TBytes& Data() const { return FData; }
    std::size_t Size() const { return FData.size(); }

private:
    TBytes FData;
};

TBytes EncodeCompactIndex(std::int32_t Value);

struct TWriterImport
{
    std::string ClassPackage;
    std::string ClassName;
    std::int32_t PackageRef = 0;
    std::string ObjectName;
};

struct TWriterExport
{
    std::int32_t Class = 0;
    std::int32_t Super = 0;
    std::int32_t Group = 0;
    std::string ObjectName;
    std::uint32_t Flags = 0x000F0004;
    TBytes Data;
    // Damage: table values written in place of the true ones.
    std::optional<std::int32_t> SerialSizeOverride;
    std::optional<std::int32_t> SerialOffsetOverride;
};

// A package built in memory. References: 0 none, r > 0 export r - 1, r < 0 import -r - 1.
class TPackageWriter final
{
public:
    std::uint16_t Version = 128;
    std::uint16_t LicenseeMode = 29;
    std::uint32_t Flags = 0x00000001;
    bool WithMarker = false;       // the optional DE AD F0 0F ... FF marker (version 68 and up)
    int ExtraGenerations = 0;      // generation records besides the one for the current counts
    bool SecondLengthByte = false; // names as game 19 writes them

    // Index of Name in the name table, added when missing (exact match).
    int Name(std::string_view Name);
    std::int32_t AddImport(std::string_view ClassPackage, std::string_view ClassName,
                           std::int32_t PackageRef, std::string_view ObjectName);
    // An import of a package ("Core.Package"), or the existing one.
    std::int32_t ImportPackage(std::string_view PackageName);
    // An import of a class of PackageName ("Core.Class"), or the existing one.
    std::int32_t ImportClass(std::string_view PackageName, std::string_view ClassName);
    std::int32_t AddExport(std::int32_t Class, std::string_view ObjectName, TBytes Data,
                           std::int32_t Group = 0);
    TWriterExport& Export(std::int32_t Ref) { return FExports[static_cast<std::size_t>(Ref - 1)]; }
    std::size_t ExportCount() const { return FExports.size(); }

    // The file's bytes; adds the name "None" when it is missing.
    TBytes Build();

private:
    std::vector<std::string> FNames;
    std::unordered_map<std::string, int> FNameIndex;
    std::vector<TWriterImport> FImports;
    std::vector<TWriterExport> FExports;
};

// Tagged properties of one object, ending with "None" when Bytes() is called.
class TPropertyWriter final
{
public:
    explicit TPropertyWriter(TPackageWriter& Package)
        : FPackage(Package)
    {}

    // A tag of any type with Value as its value bytes; the size code is the smallest that
    // holds the size.
    TPropertyWriter& Tag(std::string_view Name, int Type, const TBytes& Value,
                         std::int32_t ArrayIndex = -1, std::string_view StructName = {});
    TPropertyWriter& Int(std::string_view Name, std::int32_t Value, std::int32_t ArrayIndex = -1);
    TPropertyWriter& Float(std::string_view Name, float Value);
    TPropertyWriter& Bool(std::string_view Name, bool Value);
    TPropertyWriter& Byte(std::string_view Name, std::uint8_t Value);
    // An 8-bit string (type 13) with its terminating zero.
    TPropertyWriter& Str(std::string_view Name, std::string_view Value);
    // A UTF-16LE string (negative length) with its terminating zero; Value is UTF-8.
    TPropertyWriter& UnicodeStr(std::string_view Name, std::string_view Utf8Value);
    TPropertyWriter& NameValue(std::string_view Name, std::string_view Value);
    TPropertyWriter& Object(std::string_view Name, std::int32_t Ref);
    TPropertyWriter& Struct(std::string_view Name, std::string_view StructName,
                            const TBytes& Value);
    TBytes Bytes();

private:
    TPackageWriter& FPackage;
    TByteWriter FOut;
};

// A map's LevelSummary texts. An absent text is left out of the object; Utf16 stores the texts
// (given as UTF-8) as the game's UTF-16LE strings.
struct TMapTexts
{
    std::optional<std::string> Title;
    std::optional<std::string> Author;
    std::optional<std::string> Description;
    bool WithLevelSummary = true;
    bool Utf16 = false;
};

// A small map package (".ut2") with a "LevelSummary" export holding the given texts.
TBytes MakeMapPackage(const TMapTexts& Texts);
// A map of realistic size: about Names names, Exports exports with DataBytes of object data in
// all, and the LevelSummary export in the middle of the export table.
TBytes MakeLargeMapPackage(const TMapTexts& Texts, int Names, int Exports, std::size_t DataBytes);
// A package with Count names and Count exports of small data (table-reading benchmarks).
TBytes MakeTablePackage(int Count);

// Writes Bytes to Path; false when that fails.
bool WritePackageFile(const std::string& Path, const TBytes& Bytes);

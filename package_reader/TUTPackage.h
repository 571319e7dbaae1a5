#pragma once

#include "TUTExportTableObjectData.h"
#include "TUTImportTableObjectData.h"
#include "TUTStream.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TUTObject;
class TUTProperty;

using TUTGuid = std::array<std::uint8_t, 16>;

struct TUTGenerationInfo
{
    std::int32_t ExportCount = 0;
    std::int32_t NameCount = 0;
};

// A byte range of the file that no header, table or export's data covers.
struct TUTRegion
{
    std::uint64_t Start = 0;
    std::uint64_t Length = 0;
    bool operator==(const TUTRegion&) const = default;
};

// A native function of a game's code; nothing in the tool fills these tables.
struct TNativeFunction
{
    std::int32_t Index = 0;
    std::int32_t Flags = 0;
    std::string Name;
};
using TNativeFunctions = std::vector<TNativeFunction>;

struct TRegisteredNativeFunctionArray
{
    std::uint8_t Game = 0;
    TNativeFunctions Functions;
};

// Native-function tables by game; empty unless a caller registers one.
std::vector<TRegisteredNativeFunctionArray>& RegisteredNativeFunctions();

// Names of the game codes of TUTPackage::Game(), indexed by code.
inline constexpr std::array<std::string_view, 27> GameNames = {
    "Unknown",
    "Unreal",
    "Unreal Tournament",
    "The Wheel of Time",
    "Klingon Honor Guard",
    "Rune",
    "Clive Barker's Undying",
    "Deus Ex",
    "XCom Enforcer",
    "Star Trek: Deep Space Nine",
    "Nerf Arena Blast",
    "Unreal Tournament 2003",
    "Army Operations",
    "Harry Potter and the Sorcerer's Stone",
    "Harry Potter and the Chamber of Secrets",
    "Unreal 2",
    "Splinter Cell",
    "Devastation",
    "Rainbow Six RavenShield",
    "Unreal Championship",
    "Lineage 2",
    "Postal 2",
    "Unreal Engine 2 Runtime",
    "Deus Ex: Invisible War",
    "Desert Thunder",
    "Unreal Tournament 2004",
    "XIII",
};

// Decodes a compact index from Buffer at Position and moves Position past it. EReadError when
// the index runs past the end of the buffer (Position is then unchanged).
std::int32_t ReadCompactIndexFromBuffer(std::span<const std::uint8_t> Buffer,
                                        std::int32_t& Position);

// The result of TUTPackage::FindObjectInPackages. Package is the package holding the object:
// the searching one, or a sibling package that Owned then keeps alive.
struct TUTFoundObject
{
    TUTPackage* Package = nullptr;
    std::int32_t Index = -1;
    std::unique_ptr<TUTPackage> Owned;
};

// One package file of the game's engine family, opened read-only: header, name, export, import
// and heritage tables, the game that wrote it, field readers and object searches.
//
// The file is open only while something reads (the header and tables at load time, an object's
// data when the object is read), so any number of packages can exist at once. Every count,
// size and offset taken from the file is checked against the file before anything is allocated
// or read, so a damaged file fails with an exception in time and memory bounded by its size.
//
// Object references: 0 is none, r > 0 is export r - 1, r < 0 is import -r - 1.
class TUTPackage final
{
public:
    TUTPackage();
    ~TUTPackage();
    TUTPackage(const TUTPackage&) = delete;
    TUTPackage& operator=(const TUTPackage&) = delete;

    // A package opened on behalf of Other (a sibling search): loaded with Other's game when
    // FileName is not empty, then given Other's search option, quote, lookup and read-field
    // hooks. Fails as LoadFromFile.
    static std::unique_ptr<TUTPackage> CreateLinked(const std::string& FileName,
                                                    const TUTPackage& Other);

    // Reads a package's header and tables into this object; Game 0 asks for detection.
    // Fails with EInvalidUTPackage when the file is not a package of this family and with
    // EProcessingUTPackage for any other failure (entries read before it stay in the tables).
    void LoadFromFile(const std::string& FileName, std::uint8_t Game);

    // Hooks, all unassigned by default. OnReadField is told of each top-level field read while
    // NotifyReads is set; OnPropertyRead after each property tag an object reads and per
    // decoded array element or struct member.
    std::function<void(TUTPackage& Sender, int Percent)> OnProgress;
    std::function<std::string(const std::string& S)> OnQuoteString;
    std::function<void(std::string& FileName)> OnFindPackage;
    std::function<void(std::uint8_t Format, std::uint8_t Hint, std::int64_t Position,
                       std::int64_t Size, std::string_view FieldName)>
        OnReadField;
    std::function<void(TUTPackage& Sender, std::uint8_t& Game)> OnDetectGame;
    std::function<void(TUTPackage& Sender)> OnPropertyRead;
    bool SearchOtherPackages = true;
    bool NotifyReads = false;

    // Header and state.
    const std::string& FileName() const { return FFileName; }
    std::uint16_t Version() const { return FVersion; }
    std::uint16_t LicenseeMode() const { return FLicenseeMode; }
    std::uint32_t Flags() const { return FFlags; }
    std::uint8_t Game() const { return FGame; }
    std::int64_t FileSize() const { return FFileSize; }
    int StreamCount() const { return FStreamCount; }
    TUTStream* Stream() const { return FStream.get(); }
    const TNativeFunctions& NativeFunctions() const { return FNativeFunctions; }
    const std::vector<TUTGuid>& HeritageTable() const { return FHeritageTable; }
    const std::vector<TUTGenerationInfo>& GenerationInfo() const { return FGenerationInfo; }
    // Ascending and disjoint.
    const std::vector<TUTRegion>& UnreadRegions() const { return FUnreadRegions; }

    // Tables. Accessors never fail: an index outside a table gives an empty name or none.
    int GetNameCount() const { return static_cast<int>(FNameCount); }
    std::string GetName(int Index) const { return std::string(GetNameView(Index)); }
    std::string_view GetNameView(int Index) const
    {
        if (Index < 0 || static_cast<std::size_t>(Index) >= FNameCount) {
            return {};
        }
        const TNameEntry& Entry = FNames[static_cast<std::size_t>(Index)];
        return std::string_view(FNameChars.get() + Entry.Offset, Entry.Length);
    }
    std::uint32_t GetNameFlags(int Index) const;
    // The name, or EListError when Index is outside the name table.
    std::string_view GetNameChecked(int Index) const;
    TUTExportTableObjectData* GetExport(int Index);
    const TUTExportTableObjectData* GetExport(int Index) const;
    TUTImportTableObjectData* GetImport(int Index);
    const TUTImportTableObjectData* GetImport(int Index) const;
    int GetExportCount() const { return static_cast<int>(FExportTable.size()); }
    int GetImportCount() const { return static_cast<int>(FImportTable.size()); }

    // Dotted path of a reference, Depth parts from the object outwards (negative: all). An
    // invalid reference on the way, or a parent chain that loops, gives the empty text.
    std::string GetObjectPath(int Depth, std::int32_t Ref) const;
    // First entry at or after StartIndex that matches, -1 when none. Kind 0 names, 1 exports,
    // 2 imports. Fields: 1 object name, 2 package path, 4 class name; comparisons ignore case.
    int FindObject(std::uint8_t Kind, std::uint8_t Fields, std::string_view PackagePath,
                   std::string_view ObjectName, std::string_view ClassName, int StartIndex) const;
    // Export search here and, through imports, in sibling ".u" files found without regard to
    // letter case. Found is written only on a hit. Failures of a package opened for a matching
    // import are swallowed; those of one opened for OwnerClass reach the caller.
    void FindObjectInPackages(std::uint8_t Fields, std::string_view PackagePath,
                              std::string_view ObjectName, std::string_view ClassName,
                              std::string_view OwnerClass, TUTFoundObject& Found);
    bool ImportsPackage(std::string_view Name) const;
    std::string QuoteString(const std::string& S) const;

    // Counted open and close of the file. OpenStream fails with EFOpenError.
    void OpenStream();
    void CloseStream();
    void Seek(std::int64_t Position);
    std::int64_t GetPosition() const;
    // Copies Size bytes at Position of the file to the end of Dest; EReadError (before
    // anything is allocated) when they are not all in the file.
    std::int64_t CopyObjectData(TUTMemoryStream& Dest, std::int64_t Position, std::int64_t Size);

    // Field readers: read from Stream (the package's own when none) at its position, telling
    // OnReadField first. They fail with EReadError when the stream holds too few bytes.
    void ReadBuffer(void* Buffer, std::size_t Count, TUTStream* Stream = nullptr,
                    std::string_view FieldName = {});
    std::string ReadZString(TUTStream* Stream = nullptr, std::string_view FieldName = {});
    std::uint8_t ReadByte(TUTStream* Stream = nullptr, std::uint8_t Hint = 1,
                          std::string_view FieldName = {});
    std::uint16_t ReadWord(TUTStream* Stream = nullptr, std::uint8_t Hint = 1,
                           std::string_view FieldName = {});
    std::int32_t ReadInt(TUTStream* Stream = nullptr, std::uint8_t Hint = 1,
                         std::string_view FieldName = {});
    std::uint32_t ReadDWord(TUTStream* Stream = nullptr, std::uint8_t Hint = 1,
                            std::string_view FieldName = {});
    std::int64_t ReadInt64(TUTStream* Stream = nullptr, std::uint8_t Hint = 1,
                           std::string_view FieldName = {});
    std::int32_t ReadIndex(TUTStream* Stream = nullptr, std::uint8_t Hint = 1,
                           std::string_view FieldName = {});
    void ReadGUID(TUTStream* Stream, std::string_view FieldName, TUTGuid& Guid);
    std::string ReadName(TUTStream* Stream = nullptr, std::string_view FieldName = {});

    // Reads one property tag and its value from Stream into Prop: false for the closing
    // "None" tag. EReadingUTProperty when the tag cannot be read (Prop is then unchanged).
    bool ReadProperty(TUTProperty& Prop, TUTStream& Stream);

    // Takes [Start, Start + Length) out of the unread regions.
    void MarkRegionRead(std::uint64_t Start, std::uint64_t Length);
    void ClearUnreadRegions() { FUnreadRegions.clear(); }

    // Game detection stages; each is meant to run while Game() is 0.
    void DetectGameByExtension();
    void DetectGameByVersion();
    void DetectGameByImports();

private:
    friend class TUTExportTableObjectData;
    struct TNameEntry
    {
        std::size_t Offset;
        std::uint32_t Length;
        std::uint32_t Flags;
    };
    class TNotifyScope;
    // The union of the exports' data ranges, gathered while the exports are read.
    struct TDataUnion
    {
        std::vector<TUTRegion> Pieces; // ascending and disjoint while InOrder
        bool InOrder = true;           // the ranges came in the order of their starts
        std::int32_t LastStart = 0;
        void Add(std::int32_t Offset, std::int32_t Size);
    };

    void ReadHeader();
    void ReadHeaderFields(std::int64_t& Done, std::int64_t& Total);
    void ReleaseAllObjects();
    std::unique_ptr<TUTObject>& ObjectSlot(std::int32_t ExportIndex);
    void ClearTables();
    void DoProgress(std::int64_t Done, std::int64_t Total);
    void SelectNativeFunctions();
    void SetNativeFunctions(const TNativeFunctions& Functions);
    void MarkExportDataRead(const TDataUnion& Data);
    void CheckTable(std::uint64_t Count, std::uint64_t Offset, std::uint64_t MinEntrySize,
                    const char* What) const;
    TUTStream& Source(TUTStream* Stream);
    std::int32_t ReadIndexRaw(TUTStream& S);
    void ReadNameInto(TUTStream& S, std::string& Dest);
    void ReadTableName(TUTStream& S);
    void ReserveNameChars(std::size_t Count);
    void AppendNameChars(const char* Chars, std::size_t Count, std::size_t Readable);
    // Bulk decoding of the tables, from the file's bytes in memory.
    template <class TEntry>
    void WalkTable(std::uint64_t Count, std::size_t MaxEntry, std::size_t Guess, std::int64_t& Done,
                   std::int64_t Total, TEntry&& Entry);
    void ReadNameTable(std::uint64_t Count, std::int64_t& Done, std::int64_t Total);
    void ReadExportTable(std::uint64_t Count, std::int64_t& Done, std::int64_t Total,
                         TDataUnion& Data);
    void ReadImportTable(std::uint64_t Count, std::int64_t& Done, std::int64_t Total);
    void FindObjectInPackagesImpl(std::uint8_t Fields, std::string_view PackagePath,
                                  std::string_view ObjectName, std::string_view ClassName,
                                  std::string_view OwnerClass, TUTFoundObject& Found,
                                  std::vector<std::string>& Visited);
    void SearchLinked(int ImportIndex, std::uint8_t Fields, std::string_view PackagePath,
                      std::string_view ObjectName, std::string_view ClassName,
                      TUTFoundObject& Found, std::vector<std::string>& Visited);
    std::string SiblingFileName(int ImportIndex) const;

    std::unique_ptr<TUTFileStream> FStream;
    std::string FFileName;
    std::uint16_t FVersion = 0;
    std::uint16_t FLicenseeMode = 0;
    std::uint32_t FFlags = 0;
    int FStreamCount = 0;
    std::unique_ptr<char[]> FNameChars; // every name's bytes, back to back, with slack at the end
    std::size_t FNameCapacity = 0;
    std::size_t FNameUsed = 0;
    std::unique_ptr<TNameEntry[]> FNames; // room for the header's count
    std::size_t FNameCount = 0;
    std::vector<TUTImportTableObjectData> FImportTable;
    std::vector<TUTExportTableObjectData> FExportTable;
    // The objects made for exports, by export index; most packages have few.
    std::unordered_map<std::int32_t, std::unique_ptr<TUTObject>> FObjects;
    std::vector<TUTGuid> FHeritageTable;
    std::vector<TUTGenerationInfo> FGenerationInfo;
    std::uint8_t FGame = 0;
    TNativeFunctions FNativeFunctions;
    std::vector<TUTRegion> FUnreadRegions;
    std::int64_t FFileSize = 0;
};

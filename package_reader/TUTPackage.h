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

// The games whose packages the reader recognises; GameNames gives their names.
enum class TUTGame : std::uint8_t
{
    ugUnknown = 0,
    ugUnreal = 1,
    ugUnrealTournament = 2,
    ugWheelOfTime = 3,
    ugKlingonHonorGuard = 4,
    ugRune = 5,
    ugUndying = 6,
    ugDeusEx = 7,
    ugXComEnforcer = 8,
    ugDeepSpaceNine = 9,
    ugNerfArenaBlast = 10,
    ugUnrealTournament2003 = 11,
    ugArmyOperations = 12,
    ugHarryPotter1 = 13,
    ugHarryPotter2 = 14,
    ugUnreal2 = 15,
    ugSplinterCell = 16,
    ugDevastation = 17,
    ugRavenShield = 18,
    ugUnrealChampionship = 19,
    ugLineage2 = 20,
    ugPostal2 = 21,
    ugUnrealEngine2Runtime = 22,
    ugDeusExInvisibleWar = 23,
    ugDesertThunder = 24,
    ugUnrealTournament2004 = 25,
    ugXIII = 26,
};

// Names of the games, indexed by their codes.
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

// The name of a game; "Unknown" for a code outside the table.
constexpr std::string_view GameName(TUTGame Game)
{
    const auto Code = static_cast<std::size_t>(Game);
    return Code < GameNames.size() ? GameNames[Code] : GameNames[0];
}

// The tables TUTPackage::FindObject searches.
enum class TUTFindKind : std::uint8_t
{
    fkName = 0,
    fkExport = 1,
    fkImport = 2,
};

// The fields an export or import search compares; any combination, none matching every entry.
enum class TUTFindFields : std::uint8_t
{
    ffAny = 0,
    ffObjectName = 1,
    ffPackagePath = 2,
    ffClassName = 4,
};

constexpr TUTFindFields operator|(TUTFindFields A, TUTFindFields B)
{
    return static_cast<TUTFindFields>(static_cast<std::uint8_t>(A) | static_cast<std::uint8_t>(B));
}

constexpr bool HasFindField(TUTFindFields Fields, TUTFindFields Field)
{
    return (static_cast<std::uint8_t>(Fields) & static_cast<std::uint8_t>(Field)) != 0;
}

// What a field reader reads, as OnReadField is told.
enum class TUTReadFormat : std::uint8_t
{
    rfBuffer = 0,
    rfZString = 1,
    rfIndex = 4,
    rfByte = 5,
    rfWord = 6,
    rfInt = 7,
    rfDWord = 8,
    rfInt64 = 9,
    rfGuid = 13,
    rfName = 14,
    rfProperty = 15,
};

// What a field means to its caller, passed on to OnReadField; the reader gives it no meaning.
enum class TUTReadHint : std::uint8_t
{
    rhPart = 0,      // a piece of a larger read
    rhValue = 1,     // a count or a plain value
    rhReference = 2, // a name index or an object reference
    rhFlags = 4,
    rhOffset = 5, // a file offset
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
    TUTGame Game = TUTGame::ugUnknown;
    TNativeFunctions Functions;
};

// Native-function tables by game; empty unless a caller registers one.
std::vector<TRegisteredNativeFunctionArray>& RegisteredNativeFunctions();

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

    // Reads a package's header and tables into this object; ugUnknown asks for detection.
    // Fails with EInvalidUTPackage when the file is not a package of this family and with
    // EProcessingUTPackage, saying where, for any other failure, including a package whose
    // tables are kept in a form the reader cannot decode (entries read before a failure stay
    // in the tables).
    void LoadFromFile(const std::string& FileName, TUTGame Game = TUTGame::ugUnknown);

    // Hooks, all unassigned by default. OnReadField is told of each top-level field read while
    // NotifyReads is set; OnPropertyRead after each property tag an object reads and per
    // decoded array element or struct member.
    std::function<void(TUTPackage& Sender, int Percent)> OnProgress;
    std::function<std::string(const std::string& S)> OnQuoteString;
    std::function<void(std::string& FileName)> OnFindPackage;
    std::function<void(TUTReadFormat Format, TUTReadHint Hint, std::int64_t Position,
                       std::int64_t Size, std::string_view FieldName)>
        OnReadField;
    std::function<void(TUTPackage& Sender, TUTGame& Game)> OnDetectGame;
    std::function<void(TUTPackage& Sender)> OnPropertyRead;
    bool SearchOtherPackages = true;
    bool NotifyReads = false;

    // Header and state.
    const std::string& FileName() const { return FFileName; }
    std::uint16_t Version() const { return FVersion; }
    std::uint16_t LicenseeMode() const { return FLicenseeMode; }
    std::uint32_t Flags() const { return FFlags; }
    TUTGame Game() const { return FGame; }
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
    // Entry Index of the name table, valid while the tables are: until the next load.
    std::string_view GetName(int Index) const
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
    // First entry of the table Kind at or after StartIndex whose Fields match, -1 when none;
    // comparisons ignore letter case. A name search compares the name with ObjectName.
    int FindObject(TUTFindKind Kind, TUTFindFields Fields, std::string_view PackagePath,
                   std::string_view ObjectName, std::string_view ClassName, int StartIndex) const;
    // Export search here and, through imports, in sibling ".u" files found without regard to
    // letter case; Index -1 when nothing is found. Failures of a package opened for a matching
    // import are swallowed; those of one opened for OwnerClass reach the caller.
    TUTFoundObject FindObjectInPackages(TUTFindFields Fields, std::string_view PackagePath,
                                        std::string_view ObjectName, std::string_view ClassName,
                                        std::string_view OwnerClass);
    bool ImportsPackage(std::string_view Name) const;
    std::string QuoteString(const std::string& S) const;

    // Counted open and close of the file. OpenStream fails with EFOpenError.
    void OpenStream();
    void CloseStream();
    void Seek(std::int64_t Position);
    std::int64_t GetPosition() const;
    // Copies Size bytes at Position of the file to the end of Dest; EReadError naming the range
    // (before anything is allocated) when they are not all in the file.
    std::int64_t CopyObjectData(TUTMemoryStream& Dest, std::int64_t Position, std::int64_t Size);

    // Field readers: read from Stream (the package's own when none) at its position, telling
    // OnReadField first. They fail with EReadError when the stream holds too few bytes.
    void ReadBuffer(void* Buffer, std::size_t Count, TUTStream* Stream = nullptr,
                    std::string_view FieldName = {});
    std::string ReadZString(TUTStream* Stream = nullptr, std::string_view FieldName = {});
    std::uint8_t ReadByte(TUTStream* Stream = nullptr, TUTReadHint Hint = TUTReadHint::rhValue,
                          std::string_view FieldName = {});
    std::uint16_t ReadWord(TUTStream* Stream = nullptr, TUTReadHint Hint = TUTReadHint::rhValue,
                           std::string_view FieldName = {});
    std::int32_t ReadInt(TUTStream* Stream = nullptr, TUTReadHint Hint = TUTReadHint::rhValue,
                         std::string_view FieldName = {});
    std::uint32_t ReadDWord(TUTStream* Stream = nullptr, TUTReadHint Hint = TUTReadHint::rhValue,
                            std::string_view FieldName = {});
    std::int64_t ReadInt64(TUTStream* Stream = nullptr, TUTReadHint Hint = TUTReadHint::rhValue,
                           std::string_view FieldName = {});
    std::int32_t ReadIndex(TUTStream* Stream = nullptr, TUTReadHint Hint = TUTReadHint::rhValue,
                           std::string_view FieldName = {});
    TUTGuid ReadGUID(TUTStream* Stream = nullptr, std::string_view FieldName = {});
    std::string ReadName(TUTStream* Stream = nullptr, std::string_view FieldName = {});

    // Reads one property tag and its value from Stream into Prop: false for the closing
    // "None" tag. EReadingUTProperty naming the property, its offset and, when Prop has an
    // owner, its object, when the tag cannot be read (Prop is then unchanged).
    bool ReadProperty(TUTProperty& Prop, TUTStream& Stream);

    // Takes [Start, Start + Length) out of the unread regions.
    void MarkRegionRead(std::uint64_t Start, std::uint64_t Length);
    void ClearUnreadRegions() { FUnreadRegions.clear(); }

    // Game detection stages; each is meant to run while Game() is ugUnknown.
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
    class TNameSink;
    class TFieldReader;
    // The union of the exports' data ranges, gathered while the exports are read.
    struct TDataUnion
    {
        std::vector<TUTRegion> Pieces; // ascending and disjoint while InOrder
        bool InOrder = true;           // the ranges came in the order of their starts
        std::int32_t LastStart = 0;
        void Add(std::int32_t Offset, std::int32_t Size);
    };
    // Where the tables are, as the header gives them.
    struct TTableCounts
    {
        std::uint64_t NameCount = 0;
        std::uint64_t NameOffset = 0;
        std::uint64_t ExportCount = 0;
        std::uint64_t ExportOffset = 0;
        std::uint64_t ImportCount = 0;
        std::uint64_t ImportOffset = 0;
        std::uint64_t HeritageCount = 0;
        std::uint64_t HeritageOffset = 0;
    };
    // Progress over all tables of a load.
    struct TProgress
    {
        std::int64_t Done = 0;
        std::int64_t Total = 100;
    };

    void ReadHeader();
    void ReadHeaderFields(TProgress& Progress);
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
    void ReadNameInto(TUTStream& S, std::string& Dest);
    void ReserveNameChars(std::size_t Count);
    // One function per table; each decodes its entries in bulk from the file's bytes in memory
    // or, while single fields are reported, field by field, with the same entry decoder.
    void ReadGenerations(std::uint64_t Count, bool Bulk);
    void ReadNames(const TTableCounts& Tables, bool Bulk, TProgress& Progress);
    void ReadExports(const TTableCounts& Tables, bool Bulk, TProgress& Progress);
    void ReadImports(const TTableCounts& Tables, bool Bulk, TProgress& Progress);
    void ReadHeritage(const TTableCounts& Tables, const TUTGuid& HeaderGuid, bool Bulk,
                      TProgress& Progress);
    // The entry decoders of the export and import tables, for any byte source.
    template <class TSource> static void DecodeExport(TSource& S, TUTExportTableObjectData& Export);
    template <class TSource> static void DecodeImport(TSource& S, TUTImportTableObjectData& Import);
    template <class TEntry>
    void ReadEntries(const char* Table, const char* FieldTable, std::uint64_t First,
                     std::uint64_t Count, bool Bulk, std::size_t MaxEntry, std::size_t Guess,
                     TProgress* Progress, TEntry&& Entry);
    template <class TEntry>
    void ReadFieldByField(const char* FieldTable, std::uint64_t First, std::uint64_t Count,
                          TProgress* Progress, std::uint64_t& Current, std::int64_t& EntryOffset,
                          TEntry& Entry);
    template <class TEntry>
    void WalkTable(std::uint64_t Count, std::size_t MaxEntry, std::size_t Guess,
                   TProgress* Progress, std::uint64_t& Current, TEntry&& Entry);
    TUTFoundObject FindObjectInPackagesImpl(TUTFindFields Fields, std::string_view PackagePath,
                                            std::string_view ObjectName, std::string_view ClassName,
                                            std::string_view OwnerClass,
                                            std::vector<std::string>& Visited);
    TUTFoundObject SearchLinked(int ImportIndex, TUTFindFields Fields, std::string_view PackagePath,
                                std::string_view ObjectName, std::string_view ClassName,
                                std::vector<std::string>& Visited);
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
    TUTGame FGame = TUTGame::ugUnknown;
    TNativeFunctions FNativeFunctions;
    std::vector<TUTRegion> FUnreadRegions;
    std::int64_t FFileSize = 0;
};

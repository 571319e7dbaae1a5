#include "TUTPackage.h"

#include "TUTObject.h"
#include "TUTProperty.h"
#include "UTErrors.h"
#include "UTText.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace {

constexpr std::uint32_t PackageSignature = 0x9E2A83C1;
constexpr std::uint32_t HeaderMarker = 0x0FF0ADDE;

// Table entries at their largest (compact indexes of five bytes) and as the game's files
// mostly have them, for sizing the reads of the tables.
constexpr std::uint64_t MaxExportEntry = 5 + 5 + 4 + 5 + 4 + 5 + 5;
constexpr std::uint64_t MaxImportEntry = 5 + 5 + 4 + 5;
constexpr std::uint64_t ExportEntryGuess = 20;
// Reads of table bytes: large enough that a read's fixed cost is small against its copying,
// small enough that the window stays in the caches and in memory the allocator reuses.
constexpr std::uint64_t MinTableRead = 4 * 1024;
constexpr std::uint64_t MaxTableRead = 128 * 1024;
// Names up to this length are copied with one fixed-size copy.
constexpr std::size_t NameCopy = 32;

// Field names of table entries for the read notification, built only when someone listens.
class TEntryField
{
public:
    TEntryField(const char* Table, bool Named) : FTable(Table), FNamed(Named) {}
    std::string_view operator()(std::int64_t Entry, const char* Field)
    {
        return FNamed ? Build(Entry, Field) : std::string_view();
    }

private:
    std::string_view Build(std::int64_t Entry, const char* Field)
    {
        FText = std::string(FTable) + "[" + std::to_string(Entry) + "]." + Field;
        return FText;
    }

    const char* FTable;
    bool FNamed;
    std::string FText;
};

std::uint16_t LoadWord(const std::uint8_t* B)
{
    return static_cast<std::uint16_t>(B[0] | (B[1] << 8));
}

std::uint32_t LoadDWord(const std::uint8_t* B)
{
    return static_cast<std::uint32_t>(B[0]) | (static_cast<std::uint32_t>(B[1]) << 8) |
           (static_cast<std::uint32_t>(B[2]) << 16) | (static_cast<std::uint32_t>(B[3]) << 24);
}

std::uint16_t RawWord(TUTStream& S)
{
    std::uint8_t B[2];
    S.ReadExact(B, 2);
    return LoadWord(B);
}

std::uint32_t RawDWord(TUTStream& S)
{
    std::uint8_t B[4];
    S.ReadExact(B, 4);
    return LoadDWord(B);
}

// Regions (ascending, disjoint) without the union of the ranges Next gives in ascending order
// of their starts.
template <class TNext>
std::vector<TUTRegion> SubtractAscending(const std::vector<TUTRegion>& Regions, TNext&& Next)
{
    std::vector<TUTRegion> Result;
    Result.reserve(Regions.size() + 1);
    TUTRegion Range;
    bool HaveRange = Next(Range);
    // The current piece of the union: [UnionStart, UnionEnd).
    std::uint64_t UnionStart = 0;
    std::uint64_t UnionEnd = 0;
    auto NextPiece = [&]() {
        if (!HaveRange) {
            return false;
        }
        UnionStart = Range.Start;
        UnionEnd = Range.Start + Range.Length;
        while ((HaveRange = Next(Range)) && Range.Start <= UnionEnd) {
            UnionEnd = std::max(UnionEnd, Range.Start + Range.Length);
        }
        return true;
    };
    bool HavePiece = NextPiece();
    for (const TUTRegion& Region : Regions) {
        const std::uint64_t RegionEnd = Region.Start + Region.Length;
        std::uint64_t Cur = Region.Start;
        while (HavePiece && UnionEnd <= Cur) {
            HavePiece = NextPiece();
        }
        while (HavePiece && UnionStart < RegionEnd) {
            if (UnionStart > Cur) {
                Result.push_back({Cur, UnionStart - Cur});
            }
            Cur = std::max(Cur, UnionEnd);
            if (UnionEnd > RegionEnd) {
                // The piece reaches into the next region.
                break;
            }
            HavePiece = NextPiece();
        }
        if (Cur < RegionEnd) {
            Result.push_back({Cur, RegionEnd - Cur});
        }
    }
    return Result;
}

bool IsRegularFile(const std::string& Name)
{
    std::error_code Error;
    return std::filesystem::is_regular_file(Name, Error);
}

// The file itself when it exists, else the one entry of its folder whose name matches without
// regard to letter case; empty when there is none.
std::string ResolveFileNoCase(const std::string& Name)
{
    if (Name.empty()) {
        return {};
    }
    if (IsRegularFile(Name)) {
        return Name;
    }
    const std::filesystem::path Path(Name);
    std::filesystem::path Folder = Path.parent_path();
    if (Folder.empty()) {
        Folder = ".";
    }
    const std::string Wanted = Path.filename().string();
    std::error_code Error;
    std::filesystem::directory_iterator It(Folder, Error);
    for (; !Error && It != std::filesystem::directory_iterator(); It.increment(Error)) {
        const std::filesystem::path& Candidate = It->path();
        if (UTSameText(Candidate.filename().string(), Wanted) &&
            IsRegularFile(Candidate.string())) {
            return Candidate.string();
        }
    }
    return {};
}

std::string SearchKey(const std::string& FileName)
{
    std::error_code Error;
    const std::filesystem::path Canonical = std::filesystem::weakly_canonical(FileName, Error);
    return Error ? FileName : Canonical.string();
}

} // namespace

std::vector<TRegisteredNativeFunctionArray>& RegisteredNativeFunctions()
{
    static std::vector<TRegisteredNativeFunctionArray> Registered;
    return Registered;
}

std::int32_t ReadCompactIndexFromBuffer(std::span<const std::uint8_t> Buffer,
                                        std::int32_t& Position)
{
    if (Position < 0) {
        throw EReadError();
    }
    std::size_t P = static_cast<std::size_t>(Position);
    auto Next = [&]() -> std::uint8_t {
        if (P >= Buffer.size()) {
            throw EReadError();
        }
        return Buffer[P++];
    };
    const std::uint8_t B0 = Next();
    std::uint32_t Value = B0 & 0x3F;
    if (B0 & 0x40) {
        const std::uint8_t B1 = Next();
        Value |= static_cast<std::uint32_t>(B1 & 0x7F) << 6;
        if (B1 & 0x80) {
            const std::uint8_t B2 = Next();
            Value |= static_cast<std::uint32_t>(B2 & 0x7F) << 13;
            if (B2 & 0x80) {
                const std::uint8_t B3 = Next();
                Value |= static_cast<std::uint32_t>(B3 & 0x7F) << 20;
                if (B3 & 0x80) {
                    Value |= static_cast<std::uint32_t>(Next()) << 27;
                }
            }
        }
    }
    if (B0 & 0x80) {
        Value = 0u - Value;
    }
    Position = static_cast<std::int32_t>(P);
    return static_cast<std::int32_t>(Value);
}

// Tells OnReadField of one top-level read and keeps the notification off for the reads it
// is made of.
class TUTPackage::TNotifyScope
{
public:
    TNotifyScope(TUTPackage& Package, std::uint8_t Format, std::uint8_t Hint, TUTStream& S,
                 std::int64_t Size, std::string_view FieldName)
        : FPackage(Package), FSaved(Package.NotifyReads)
    {
        Package.NotifyReads = false;
        if (FSaved && Package.OnReadField) {
            try {
                Package.OnReadField(Format, Hint, S.GetPosition(), Size, FieldName);
            } catch (...) {
                Package.NotifyReads = FSaved;
                throw;
            }
        }
    }
    ~TNotifyScope() { FPackage.NotifyReads = FSaved; }
    TNotifyScope(const TNotifyScope&) = delete;
    TNotifyScope& operator=(const TNotifyScope&) = delete;

private:
    TUTPackage& FPackage;
    bool FSaved;
};

TUTPackage::TUTPackage() = default;

TUTPackage::~TUTPackage()
{
    CloseStream();
    // Objects go before the tables they read from.
    FObjects.clear();
    FExportTable.clear();
}

std::unique_ptr<TUTPackage> TUTPackage::CreateLinked(const std::string& FileName,
                                                     const TUTPackage& Other)
{
    auto Package = std::make_unique<TUTPackage>();
    if (!FileName.empty()) {
        Package->LoadFromFile(FileName, Other.FGame);
    }
    Package->SearchOtherPackages = Other.SearchOtherPackages;
    Package->OnQuoteString = Other.OnQuoteString;
    Package->OnFindPackage = Other.OnFindPackage;
    Package->NotifyReads = Other.NotifyReads;
    Package->OnReadField = Other.OnReadField;
    return Package;
}

void TUTPackage::LoadFromFile(const std::string& FileName, std::uint8_t Game)
{
    ReleaseAllObjects();
    CloseStream();
    ClearTables();
    FGame = Game;
    FFileName = FileName;
    if (FGame == 0) {
        DetectGameByExtension();
    }
    if (OnDetectGame) {
        OnDetectGame(*this, FGame);
    }
    ReadHeader();
    if (FGame == 0) {
        DetectGameByImports();
    }
    SelectNativeFunctions();
}

void TUTPackage::ReleaseAllObjects()
{
    for (const auto& [Index, Object] : FObjects) {
        if (Object != nullptr && Object->Loaded()) {
            Object->ReleaseObject();
        }
    }
}

std::unique_ptr<TUTObject>& TUTPackage::ObjectSlot(std::int32_t ExportIndex)
{
    return FObjects[ExportIndex];
}

void TUTPackage::ClearTables()
{
    FObjects.clear();
    FExportTable.clear();
    FImportTable.clear();
    FNames.reset();
    FNameCount = 0;
    FNameUsed = 0;
    FHeritageTable.clear();
    FGenerationInfo.clear();
}

void TUTPackage::DoProgress(std::int64_t Done, std::int64_t Total)
{
    if (OnProgress) {
        OnProgress(*this, Total == 0 ? 0 : static_cast<int>(Done * 100 / Total));
    }
}

void TUTPackage::SelectNativeFunctions()
{
    FNativeFunctions.clear();
    for (const TRegisteredNativeFunctionArray& Entry : RegisteredNativeFunctions()) {
        if (Entry.Game == FGame) {
            SetNativeFunctions(Entry.Functions);
            break;
        }
    }
}

void TUTPackage::SetNativeFunctions(const TNativeFunctions& Functions)
{
    FNativeFunctions = Functions;
}

void TUTPackage::ReadHeader()
{
    std::int64_t Total = 100;
    std::int64_t Done = 0;
    DoProgress(0, 100);
    try {
        ReadHeaderFields(Done, Total);
    } catch (const EInvalidUTPackage&) {
        CloseStream();
        DoProgress(Total, Total);
        throw;
    } catch (const std::exception& Error) {
        CloseStream();
        DoProgress(Total, Total);
        throw EProcessingUTPackage(FFileName, Error.what());
    }
    CloseStream();
    DoProgress(Total, Total);
}

void TUTPackage::CheckTable(std::uint64_t Count, std::uint64_t Offset, std::uint64_t MinEntrySize,
                            const char* What) const
{
    const auto Size = static_cast<std::uint64_t>(FFileSize);
    if (Count != 0 && (Offset > Size || Count > (Size - Offset) / MinEntrySize)) {
        throw EReadError(std::string(What) + " of " + std::to_string(Count) +
                         " entries at offset " + std::to_string(Offset) +
                         " runs past the end of the file");
    }
}

inline void TUTPackage::TDataUnion::Add(std::int32_t Offset, std::int32_t Size)
{
    if (Size <= 0 || Offset < 0 || !InOrder) {
        return;
    }
    if (Offset < LastStart) {
        // Not as the game writes them: the ranges are sorted when they are taken out.
        InOrder = false;
        Pieces.clear();
        return;
    }
    LastStart = Offset;
    const auto Start = static_cast<std::uint64_t>(Offset);
    const std::uint64_t End = Start + static_cast<std::uint64_t>(Size);
    if (!Pieces.empty() && Start <= Pieces.back().Start + Pieces.back().Length) {
        TUTRegion& Last = Pieces.back();
        Last.Length = std::max(Last.Start + Last.Length, End) - Last.Start;
    } else {
        Pieces.push_back({Start, End - Start});
    }
}

void TUTPackage::ReadHeaderFields(std::int64_t& Done, std::int64_t& Total)
{
    OpenStream();
    TUTStream& S = *FStream;
    ClearUnreadRegions();
    if (FFileSize > 0) {
        FUnreadRegions.push_back({0, static_cast<std::uint64_t>(FFileSize)});
    }
    if (FFileSize < 4) {
        throw EInvalidUTPackage();
    }
    if (ReadDWord(nullptr, 1, "PackageId") != PackageSignature) {
        throw EInvalidUTPackage();
    }
    FVersion = ReadWord(nullptr, 1, "Version");
    FLicenseeMode = ReadWord(nullptr, 1, "LicenseeMode");
    FFlags = ReadDWord(nullptr, 4, "Flags");
    DetectGameByVersion();
    FNames.reset();
    FNameCount = 0;
    FNameUsed = 0;
    FObjects.clear();
    FExportTable.clear();
    FImportTable.clear();
    const std::uint64_t NameCount = ReadDWord(nullptr, 1, "NameTableCount");
    const std::uint64_t NameOffset = ReadDWord(nullptr, 5, "NameTableOffset");
    const std::uint64_t ExportCount = ReadDWord(nullptr, 1, "ExportTableCount");
    const std::uint64_t ExportOffset = ReadDWord(nullptr, 5, "ExportTableOffset");
    const std::uint64_t ImportCount = ReadDWord(nullptr, 1, "ImportTableCount");
    const std::uint64_t ImportOffset = ReadDWord(nullptr, 5, "ImportTableOffset");
    FHeritageTable.clear();
    MarkRegionRead(0, static_cast<std::uint64_t>(S.GetPosition()));

    // Such packages of that game keep nothing past this point that we can read.
    if ((FFlags & 0x20) != 0 && FGame == 6) {
        return;
    }

    std::uint64_t HeritageCount = 0;
    std::uint64_t HeritageOffset = 0;
    // Without a listener for single fields the tables are decoded in bulk from the file's bytes
    // in memory; with one, field by field, so that each field can be reported.
    const bool Bulk = !(NotifyReads && OnReadField);
    TUTGuid HeaderGuid{};
    if (FVersion < 68) {
        HeritageCount = ReadDWord(nullptr, 1, "HeritageTableCount");
        HeritageOffset = ReadDWord(nullptr, 5, "HeritageTableOffset");
    } else {
        if (static_cast<std::uint32_t>(ReadInt(nullptr, 1, {})) == HeaderMarker) {
            while (ReadByte(nullptr, 0, {}) != 0xFF) {
            }
            if (FGame == 0) {
                FGame = 16;
            }
        } else if (FGame != 23) {
            S.Seek(S.GetPosition() - 4);
        }
        HeritageCount = 1;
        HeritageOffset = static_cast<std::uint64_t>(S.GetPosition());
        ReadGUID(nullptr, "GUID", HeaderGuid);
        const std::uint64_t GenerationCount = ReadDWord(nullptr, 1, "GenerationInfoCount");
        CheckTable(GenerationCount, static_cast<std::uint64_t>(S.GetPosition()), 8,
                   "Generation table");
        FGenerationInfo.resize(GenerationCount);
        TEntryField Field("GenerationInfo", NotifyReads && OnReadField);
        for (std::uint64_t I = 0; I < GenerationCount; ++I) {
            const auto Entry = static_cast<std::int64_t>(I);
            FGenerationInfo[I].ExportCount = ReadInt(nullptr, 1, Field(Entry, "ExportCount"));
            FGenerationInfo[I].NameCount = ReadInt(nullptr, 1, Field(Entry, "NameCount"));
        }
    }
    Total = static_cast<std::int64_t>(NameCount + ExportCount + ImportCount + HeritageCount);
    MarkRegionRead(0, static_cast<std::uint64_t>(S.GetPosition()));

    // Names.
    CheckTable(NameCount, NameOffset, 5, "Name table");
    S.Seek(static_cast<std::int64_t>(NameOffset));
    if (NameCount > 0) {
        FNames = std::make_unique_for_overwrite<TNameEntry[]>(NameCount);
    }
    // Room for names of 23 characters on average, reserved but not written: longer names rarely
    // make the characters move.
    ReserveNameChars(NameCount * 24 + 64);
    if (Bulk && FVersion >= 64) {
        ReadNameTable(NameCount, Done, Total);
    } else {
        TEntryField NameField("NameTable", NotifyReads && OnReadField);
        for (std::uint64_t I = 1; I <= NameCount; ++I) {
            const auto Entry = static_cast<std::int64_t>(I);
            TNameEntry Name{FNameUsed, 0, 0};
            if (NotifyReads) {
                const std::string Text = ReadName(nullptr, NameField(Entry, "Name"));
                AppendNameChars(Text.data(), Text.size(), Text.size());
            } else {
                ReadTableName(S);
            }
            Name.Length = static_cast<std::uint32_t>(FNameUsed - Name.Offset);
            Name.Flags = ReadDWord(nullptr, 4, NameField(Entry, "Flags"));
            FNames[FNameCount++] = Name;
            DoProgress(++Done, Total);
        }
    }
    MarkRegionRead(NameOffset, static_cast<std::uint64_t>(S.GetPosition()) - NameOffset);

    // Exports; their data ranges are taken out of the unread regions in one pass, also those
    // of the entries read before a failure. An entry that fails half-way is dropped.
    CheckTable(ExportCount, ExportOffset, 12, "Export table");
    if (Bulk && ImportCount > 0 && ImportOffset < ExportOffset &&
        ExportOffset - ImportOffset <= ImportCount * MaxImportEntry) {
        // The import table may end where the export table starts, as the game writes them:
        // one read brings in both.
        S.Seek(static_cast<std::int64_t>(ImportOffset));
        FStream->ReadAhead(static_cast<std::size_t>(std::min<std::uint64_t>(
            ExportOffset - ImportOffset + ExportCount * ExportEntryGuess + MaxExportEntry,
            MaxTableRead)));
    }
    S.Seek(static_cast<std::int64_t>(ExportOffset));
    FExportTable.reserve(ExportCount);
    TEntryField ExportField("ExportTable", NotifyReads && OnReadField);
    std::size_t Complete = 0;
    TDataUnion Data;
    try {
        if (Bulk) {
            ReadExportTable(ExportCount, Done, Total, Data);
        }
        for (std::uint64_t I = 1; I <= ExportCount && !Bulk; ++I) {
            const auto Entry = static_cast<std::int64_t>(I);
            TUTExportTableObjectData& Export =
                FExportTable.emplace_back(this, static_cast<std::int32_t>(I - 1));
            Export.FClass = ReadIndex(nullptr, 2, ExportField(Entry, "Class"));
            Export.FSuper = ReadIndex(nullptr, 2, ExportField(Entry, "Super"));
            Export.FGroup = ReadInt(nullptr, 2, ExportField(Entry, "Group"));
            Export.FObject = ReadIndex(nullptr, 2, ExportField(Entry, "Object"));
            Export.FFlags = ReadDWord(nullptr, 4, ExportField(Entry, "Flags"));
            Export.FSerialSize = ReadIndex(nullptr, 1, ExportField(Entry, "SerialSize"));
            if (Export.FSerialSize > 0) {
                Export.FSerialOffset = ReadIndex(nullptr, 1, ExportField(Entry, "SerialOffset"));
            }
            Data.Add(Export.FSerialOffset, Export.FSerialSize);
            ++Complete;
            DoProgress(++Done, Total);
        }
    } catch (...) {
        if (!Bulk && FExportTable.size() > Complete) {
            FExportTable.pop_back();
        }
        MarkExportDataRead(Data);
        throw;
    }
    MarkExportDataRead(Data);
    MarkRegionRead(ExportOffset, static_cast<std::uint64_t>(S.GetPosition()) - ExportOffset);

    // Imports.
    CheckTable(ImportCount, ImportOffset, 7, "Import table");
    S.Seek(static_cast<std::int64_t>(ImportOffset));
    FImportTable.reserve(ImportCount);
    if (Bulk) {
        ReadImportTable(ImportCount, Done, Total);
    } else {
        TEntryField ImportField("ImportTable", NotifyReads && OnReadField);
        for (std::uint64_t I = 1; I <= ImportCount; ++I) {
            const auto Entry = static_cast<std::int64_t>(I);
            TUTImportTableObjectData Import(this);
            Import.FClassPackage = ReadIndex(nullptr, 2, ImportField(Entry, "ClassPackage"));
            Import.FClass = ReadIndex(nullptr, 2, ImportField(Entry, "Class"));
            Import.FPackageRef = ReadInt(nullptr, 2, ImportField(Entry, "Package"));
            Import.FObject = ReadIndex(nullptr, 2, ImportField(Entry, "Object"));
            FImportTable.push_back(Import);
            DoProgress(++Done, Total);
        }
    }
    MarkRegionRead(ImportOffset, static_cast<std::uint64_t>(S.GetPosition()) - ImportOffset);

    // Heritage. The one GUID of a later version is the header's, read already.
    CheckTable(HeritageCount, HeritageOffset, 16, "Heritage table");
    FHeritageTable.resize(HeritageCount);
    if (Bulk && FVersion >= 68) {
        FHeritageTable[0] = HeaderGuid;
        S.Seek(static_cast<std::int64_t>(HeritageOffset + 16));
        DoProgress(++Done, Total);
    } else {
        S.Seek(static_cast<std::int64_t>(HeritageOffset));
        if (Bulk) {
            FStream->ReadAhead(static_cast<std::size_t>(
                std::min<std::uint64_t>(HeritageCount * 16, MaxTableRead)));
        }
        TEntryField HeritageField("HeritageTable", NotifyReads && OnReadField);
        for (std::uint64_t I = 0; I < HeritageCount; ++I) {
            ReadGUID(nullptr, HeritageField(static_cast<std::int64_t>(I), "GUID"),
                     FHeritageTable[I]);
            DoProgress(++Done, Total);
        }
    }
    MarkRegionRead(HeritageOffset, static_cast<std::uint64_t>(S.GetPosition()) - HeritageOffset);
}

// Bulk table decoding --------------------------------------------------------------------------

namespace {

// The unread part of a table's bytes in memory.
struct TTableCursor
{
    const std::uint8_t* P;
    const std::uint8_t* End;
};

// Decoders of table fields. Checked ones fail as the stream's reads do when the bytes run out;
// unchecked ones are used only where a whole entry of the largest size is in memory.
template <bool Checked>
[[gnu::always_inline]] inline void Need(const TTableCursor& C, std::size_t Count)
{
    if constexpr (Checked) {
        if (static_cast<std::size_t>(C.End - C.P) < Count) {
            throw EReadError();
        }
    }
}

template <bool Checked> [[gnu::always_inline]] inline std::uint8_t TakeByte(TTableCursor& C)
{
    Need<Checked>(C, 1);
    return *C.P++;
}

template <bool Checked> [[gnu::always_inline]] inline std::uint32_t TakeDWord(TTableCursor& C)
{
    Need<Checked>(C, 4);
    const std::uint32_t Value = LoadDWord(C.P);
    C.P += 4;
    return Value;
}

template <bool Checked> [[gnu::always_inline]] inline std::int32_t TakeIndex(TTableCursor& C)
{
    const std::uint8_t B0 = TakeByte<Checked>(C);
    std::uint32_t Value = B0 & 0x3F;
    if (B0 & 0x40) {
        const std::uint8_t B1 = TakeByte<Checked>(C);
        Value |= static_cast<std::uint32_t>(B1 & 0x7F) << 6;
        if (B1 & 0x80) {
            const std::uint8_t B2 = TakeByte<Checked>(C);
            Value |= static_cast<std::uint32_t>(B2 & 0x7F) << 13;
            if (B2 & 0x80) {
                const std::uint8_t B3 = TakeByte<Checked>(C);
                Value |= static_cast<std::uint32_t>(B3 & 0x7F) << 20;
                if (B3 & 0x80) {
                    Value |= static_cast<std::uint32_t>(TakeByte<Checked>(C)) << 27;
                }
            }
        }
    }
    return static_cast<std::int32_t>((B0 & 0x80) ? 0u - Value : Value);
}

} // namespace

// Decodes Count entries with Entry from the stream's position on. The bytes come in reads sized
// to what is left of the table; an entry is decoded unchecked while the window holds MaxEntry
// bytes, checked only where the file ends within them.
template <class TEntry>
void TUTPackage::WalkTable(std::uint64_t Count, std::size_t MaxEntry, std::size_t Guess,
                           std::int64_t& Done, std::int64_t Total, TEntry&& Entry)
{
    TUTFileStream& S = *FStream;
    const std::int64_t Start = S.GetPosition();
    TTableCursor C{S.WindowData(), S.WindowData() + S.WindowLeft()};
    for (std::uint64_t I = 0; I < Count; ++I) {
        bool NearEnd = false;
        if (static_cast<std::size_t>(C.End - C.P) < MaxEntry) {
            // The rest of the table, as far as the entries so far let us guess it, in one read;
            // reads are bounded so that the window stays small.
            S.TakeFromWindow(static_cast<std::size_t>(C.P - S.WindowData()));
            const std::uint64_t Used = static_cast<std::uint64_t>(S.GetPosition() - Start);
            // Later entries tend to be longer (names with larger numbers): an eighth more.
            const std::uint64_t Each = I > 0 ? Used * 9 / 8 / I + 1 : Guess;
            const std::uint64_t Left = Count - I;
            const std::uint64_t Want =
                Left > MaxTableRead / Each ? MaxTableRead : Left * Each + MaxEntry;
            S.ReadAhead(static_cast<std::size_t>(std::max<std::uint64_t>(Want, MinTableRead)));
            C = {S.WindowData(), S.WindowData() + S.WindowLeft()};
            // Else the file ends within reach: this entry may not be all there.
            NearEnd = static_cast<std::size_t>(C.End - C.P) < MaxEntry;
        }
        if (NearEnd) {
            Entry(C, std::true_type());
        } else {
            Entry(C, std::false_type());
        }
        ++Done;
        if (OnProgress) {
            // The listener sees the stream where the entry ends; the walk goes on from wherever
            // it leaves it.
            S.TakeFromWindow(static_cast<std::size_t>(C.P - S.WindowData()));
            DoProgress(Done, Total);
            C = {S.WindowData(), S.WindowData() + S.WindowLeft()};
        }
    }
    S.TakeFromWindow(static_cast<std::size_t>(C.P - S.WindowData()));
}

// The table readers are flattened: a call per entry would cost more than its decoding.
[[gnu::flatten]] void TUTPackage::ReadNameTable(std::uint64_t Count, std::int64_t& Done,
                                                std::int64_t Total)
{
    // A length byte (two in one game's files, the second one more), the characters with their
    // terminating zero, the flags.
    const bool ExtraByte = FGame == 19;
    const std::size_t MaxEntry = ExtraByte ? 2 + 256 + 4 : 1 + 255 + 4;
    // The table's state in locals, as the stores of the characters could change any member;
    // the members follow every entry, so that the table is whole whenever the walk stops.
    TNameEntry* const Entries = FNames.get();
    std::size_t Named = FNameCount;
    char* Chars = FNameChars.get();
    std::size_t Used = FNameUsed;
    std::size_t Capacity = FNameCapacity;
    WalkTable(Count, MaxEntry, 24, Done, Total, [&](TTableCursor& C, auto Checked) {
        constexpr bool Check = decltype(Checked)::value;
        std::size_t Length = TakeByte<Check>(C);
        if (ExtraByte) {
            TakeByte<Check>(C);
            ++Length;
        }
        Need<Check>(C, Length + 4);
        const std::size_t Size = Length > 0 ? Length - 1 : 0;
        if (Capacity - Used < Size + NameCopy) {
            ReserveNameChars(Size + NameCopy);
            Chars = FNameChars.get();
            Capacity = FNameCapacity;
        }
        // Most names are short: one copy of a fixed size, whose excess lands in the slack, is
        // cheaper than one of a variable size.
        if (Size <= NameCopy && static_cast<std::size_t>(C.End - C.P) >= NameCopy) {
            std::memcpy(Chars + Used, C.P, NameCopy);
        } else if (Size > 0) {
            std::memcpy(Chars + Used, C.P, Size);
        }
        Entries[Named] = {Used, static_cast<std::uint32_t>(Size), LoadDWord(C.P + Length)};
        C.P += Length + 4;
        Used += Size;
        ++Named;
        FNameUsed = Used;
        FNameCount = Named;
    });
}

[[gnu::flatten]] void TUTPackage::ReadExportTable(std::uint64_t Count, std::int64_t& Done,
                                                  std::int64_t Total, TDataUnion& Data)
{
    WalkTable(
        Count, MaxExportEntry, ExportEntryGuess, Done, Total, [&](TTableCursor& C, auto Checked) {
            constexpr bool Check = decltype(Checked)::value;
            const std::int32_t Class = TakeIndex<Check>(C);
            const std::int32_t Super = TakeIndex<Check>(C);
            const auto Group = static_cast<std::int32_t>(TakeDWord<Check>(C));
            const std::int32_t Object = TakeIndex<Check>(C);
            const std::uint32_t Flags = TakeDWord<Check>(C);
            const std::int32_t SerialSize = TakeIndex<Check>(C);
            std::int32_t SerialOffset = 0;
            if (SerialSize > 0) {
                SerialOffset = TakeIndex<Check>(C);
            }
            TUTExportTableObjectData& Export =
                FExportTable.emplace_back(this, static_cast<std::int32_t>(FExportTable.size()));
            Export.FClass = Class;
            Export.FSuper = Super;
            Export.FGroup = Group;
            Export.FObject = Object;
            Export.FFlags = Flags;
            Export.FSerialSize = SerialSize;
            Export.FSerialOffset = SerialOffset;
            Data.Add(SerialOffset, SerialSize);
        });
}

[[gnu::flatten]] void TUTPackage::ReadImportTable(std::uint64_t Count, std::int64_t& Done,
                                                  std::int64_t Total)
{
    WalkTable(Count, MaxImportEntry, 12, Done, Total, [&](TTableCursor& C, auto Checked) {
        constexpr bool Check = decltype(Checked)::value;
        TUTImportTableObjectData Import(this);
        Import.FClassPackage = TakeIndex<Check>(C);
        Import.FClass = TakeIndex<Check>(C);
        Import.FPackageRef = static_cast<std::int32_t>(TakeDWord<Check>(C));
        Import.FObject = TakeIndex<Check>(C);
        FImportTable.push_back(Import);
    });
}

// Tables -------------------------------------------------------------------------------------

std::uint32_t TUTPackage::GetNameFlags(int Index) const
{
    if (Index < 0 || static_cast<std::size_t>(Index) >= FNameCount) {
        return 0;
    }
    return FNames[static_cast<std::size_t>(Index)].Flags;
}

std::string_view TUTPackage::GetNameChecked(int Index) const
{
    if (Index < 0 || static_cast<std::size_t>(Index) >= FNameCount) {
        throw EListError(Index);
    }
    return GetNameView(Index);
}

TUTExportTableObjectData* TUTPackage::GetExport(int Index)
{
    if (Index < 0 || static_cast<std::size_t>(Index) >= FExportTable.size()) {
        return nullptr;
    }
    return &FExportTable[static_cast<std::size_t>(Index)];
}

const TUTExportTableObjectData* TUTPackage::GetExport(int Index) const
{
    return const_cast<TUTPackage*>(this)->GetExport(Index);
}

TUTImportTableObjectData* TUTPackage::GetImport(int Index)
{
    if (Index < 0 || static_cast<std::size_t>(Index) >= FImportTable.size()) {
        return nullptr;
    }
    return &FImportTable[static_cast<std::size_t>(Index)];
}

const TUTImportTableObjectData* TUTPackage::GetImport(int Index) const
{
    return const_cast<TUTPackage*>(this)->GetImport(Index);
}

std::string TUTPackage::GetObjectPath(int Depth, std::int32_t Ref) const
{
    if (Depth == 0) {
        return {};
    }
    std::vector<std::string_view> Parts;
    // A chain longer than the tables has entries must loop.
    const std::size_t Bound = FExportTable.size() + FImportTable.size();
    int Left = Depth;
    while (Ref != 0 && Left != 0) {
        if (Parts.size() >= Bound) {
            return {};
        }
        std::int32_t Parent = 0;
        if (Ref < 0) {
            const std::int64_t Index = -static_cast<std::int64_t>(Ref) - 1;
            if (Index >= static_cast<std::int64_t>(FImportTable.size())) {
                return {};
            }
            const TUTImportTableObjectData& Import = FImportTable[static_cast<std::size_t>(Index)];
            Parts.push_back(GetNameView(Import.FObject));
            Parent = Import.FPackageRef;
        } else {
            const std::int64_t Index = static_cast<std::int64_t>(Ref) - 1;
            if (Index >= static_cast<std::int64_t>(FExportTable.size())) {
                return {};
            }
            const TUTExportTableObjectData& Export = FExportTable[static_cast<std::size_t>(Index)];
            Parts.push_back(GetNameView(Export.FObject));
            Parent = Export.FGroup;
        }
        if (Left > 0) {
            --Left;
        }
        if (Parent == Ref) {
            break;
        }
        Ref = Parent;
    }
    std::string Result;
    for (auto It = Parts.rbegin(); It != Parts.rend(); ++It) {
        if (!Result.empty() || It != Parts.rbegin()) {
            Result += '.';
        }
        Result += *It;
    }
    return Result;
}

int TUTPackage::FindObject(std::uint8_t Kind, std::uint8_t Fields, std::string_view PackagePath,
                           std::string_view ObjectName, std::string_view ClassName,
                           int StartIndex) const
{
    const std::size_t Start = StartIndex > 0 ? static_cast<std::size_t>(StartIndex) : 0;
    // The own name of a reference: the one-part path.
    auto OwnName = [this](std::int32_t Ref) -> std::string_view {
        if (Ref < 0) {
            const std::int64_t Index = -static_cast<std::int64_t>(Ref) - 1;
            return Index < static_cast<std::int64_t>(FImportTable.size())
                       ? GetNameView(FImportTable[static_cast<std::size_t>(Index)].FObject)
                       : std::string_view();
        }
        if (Ref > 0 && static_cast<std::size_t>(Ref) <= FExportTable.size()) {
            return GetNameView(FExportTable[static_cast<std::size_t>(Ref) - 1].FObject);
        }
        return {};
    };
    switch (Kind) {
    case 0:
        for (std::size_t I = Start; I < FNameCount; ++I) {
            if (UTSameText(GetNameView(static_cast<int>(I)), ObjectName)) {
                return static_cast<int>(I);
            }
        }
        return -1;
    case 1:
        for (std::size_t I = Start; I < FExportTable.size(); ++I) {
            const TUTExportTableObjectData& Export = FExportTable[I];
            if ((Fields & 1) && !UTSameText(GetNameView(Export.FObject), ObjectName)) {
                continue;
            }
            if ((Fields & 4) && !UTSameText(OwnName(Export.FClass), ClassName)) {
                continue;
            }
            if ((Fields & 2) && !UTSameText(GetObjectPath(-1, Export.FGroup), PackagePath)) {
                continue;
            }
            return static_cast<int>(I);
        }
        return -1;
    case 2:
        for (std::size_t I = Start; I < FImportTable.size(); ++I) {
            const TUTImportTableObjectData& Import = FImportTable[I];
            if ((Fields & 1) && !UTSameText(GetNameView(Import.FObject), ObjectName)) {
                continue;
            }
            if ((Fields & 4) && !UTSameText(GetNameView(Import.FClass), ClassName)) {
                continue;
            }
            if ((Fields & 2) && !UTSameText(GetObjectPath(-1, Import.FPackageRef), PackagePath)) {
                continue;
            }
            return static_cast<int>(I);
        }
        return -1;
    default:
        return -1;
    }
}

void TUTPackage::FindObjectInPackages(std::uint8_t Fields, std::string_view PackagePath,
                                      std::string_view ObjectName, std::string_view ClassName,
                                      std::string_view OwnerClass, TUTFoundObject& Found)
{
    std::vector<std::string> Visited{SearchKey(FFileName)};
    FindObjectInPackagesImpl(Fields, PackagePath, ObjectName, ClassName, OwnerClass, Found,
                             Visited);
}

void TUTPackage::FindObjectInPackagesImpl(std::uint8_t Fields, std::string_view PackagePath,
                                          std::string_view ObjectName, std::string_view ClassName,
                                          std::string_view OwnerClass, TUTFoundObject& Found,
                                          std::vector<std::string>& Visited)
{
    const int Local = FindObject(1, Fields, PackagePath, ObjectName, ClassName, 0);
    if (Local >= 0) {
        Found.Package = this;
        Found.Index = Local;
        Found.Owned.reset();
        return;
    }
    if (!SearchOtherPackages) {
        return;
    }
    const int Import = FindObject(2, Fields, PackagePath, ObjectName, ClassName, 0);
    if (Import >= 0) {
        try {
            SearchLinked(Import, Fields, PackagePath, ObjectName, ClassName, Found, Visited);
        } catch (const std::exception&) {
            // A sibling that cannot be read simply does not hold the object.
        }
    }
    if (Found.Index == -1) {
        const int Owner = FindObject(2, 1 | 4, "", OwnerClass, "Class", 0);
        if (Owner >= 0) {
            SearchLinked(Owner, Fields, PackagePath, ObjectName, ClassName, Found, Visited);
        }
    }
}

std::string TUTPackage::SiblingFileName(int ImportIndex) const
{
    const TUTImportTableObjectData* Import = GetImport(ImportIndex);
    if (Import == nullptr) {
        return {};
    }
    std::string Name = Import->GetPackageName();
    if (const auto Dot = Name.find('.'); Dot != std::string::npos) {
        Name.resize(Dot);
    }
    // Only a plain file name may lead to a file beside this package.
    if (Name.empty() || Name == "." || Name == ".." ||
        Name.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos) {
        return {};
    }
    const std::string Folder = std::filesystem::path(FFileName).parent_path().string();
    return Folder.empty() ? Name + ".u" : Folder + "/" + Name + ".u";
}

void TUTPackage::SearchLinked(int ImportIndex, std::uint8_t Fields, std::string_view PackagePath,
                              std::string_view ObjectName, std::string_view ClassName,
                              TUTFoundObject& Found, std::vector<std::string>& Visited)
{
    std::string Name = SiblingFileName(ImportIndex);
    if (Name.empty()) {
        return;
    }
    if (OnFindPackage) {
        OnFindPackage(Name);
    }
    const std::string Resolved = ResolveFileNoCase(Name);
    if (Resolved.empty()) {
        return;
    }
    std::string Key = SearchKey(Resolved);
    if (std::find(Visited.begin(), Visited.end(), Key) != Visited.end()) {
        return;
    }
    Visited.push_back(std::move(Key));
    std::unique_ptr<TUTPackage> Linked = CreateLinked(Resolved, *this);
    Linked->FindObjectInPackagesImpl(Fields, PackagePath, ObjectName, ClassName, "", Found,
                                     Visited);
    if (Found.Package == Linked.get()) {
        Found.Owned = std::move(Linked);
    }
}

bool TUTPackage::ImportsPackage(std::string_view Name) const
{
    return FindObject(2, 1 | 4, "", Name, "Package", 0) != -1;
}

std::string TUTPackage::QuoteString(const std::string& S) const
{
    if (OnQuoteString) {
        return OnQuoteString(S);
    }
    return "\"" + S + "\"";
}

// Game detection -----------------------------------------------------------------------------

void TUTPackage::DetectGameByExtension()
{
    if (FGame != 0) {
        return;
    }
    // The extension of the file name: from its last dot, unless that starts the name.
    std::string_view Name(FFileName);
    if (const auto Slash = Name.rfind('/'); Slash != std::string_view::npos) {
        Name.remove_prefix(Slash + 1);
    }
    const auto Dot = Name.rfind('.');
    const std::string Ext =
        UTLowerCase(Dot == std::string_view::npos || Dot == 0 || Name == ".." ? std::string_view()
                                                                              : Name.substr(Dot));
    struct TRule
    {
        std::string_view Ext;
        std::uint8_t Game;
    };
    static constexpr TRule Rules[] = {
        {".sac", 6},  {".sav", 6},  {".run", 5},  {".rsa", 5},  {".xcm", 8},  {".nrf", 10},
        {".wot", 3},  {".ut2", 11}, {".aao", 12}, {".un2", 15}, {".ugx", 15}, {".scl", 16},
        {".dvs", 17}, {".rsm", 18}, {".d2u", 23}, {".gmp", 23}, {".dt", 24},  {".dta", 24},
        {".dtt", 24}, {".dtm", 24}, {".dts", 24},
    };
    for (const TRule& Rule : Rules) {
        if (Ext == Rule.Ext) {
            FGame = Rule.Game;
            return;
        }
    }
}

void TUTPackage::DetectGameByVersion()
{
    if (FGame != 0) {
        return;
    }
    const std::uint16_t V = FVersion;
    const std::uint16_t L = FLicenseeMode;
    if (L == 0) {
        if (V == 126) {
            FGame = 24;
        } else if (V == 76) {
            FGame = 13;
        } else if (V == 79) {
            FGame = 14;
        } else if (V >= 83) {
            FGame = 6;
        } else if (FFlags & 0x20) {
            FGame = 6;
        } else if (V >= 68) {
            FGame = 2;
        } else {
            FGame = 1;
        }
    } else if (L >= 25 && L <= 29) {
        FGame = V >= 122 ? 25 : 11;
    } else if (L == 2481 || L == 1331 || L == 1585 || L == 635 || L == 763) {
        FGame = 15;
    } else if (V == 118 && (L == 8 || L == 9 || (L >= 16 && L <= 19))) {
        FGame = 12;
    } else if (L == 20 && V == 123) {
        FGame = 20;
    } else if (L == 8 && V == 120) {
        FGame = 17;
    } else if (L == 30 && V == 119) {
        FGame = 19;
    }
}

void TUTPackage::DetectGameByImports()
{
    if (FGame != 0) {
        return;
    }
    const std::string Own = UTLowerCase(std::filesystem::path(FFileName).stem().string());
    struct TCandidate
    {
        std::string_view Name;
        std::uint8_t Game;
    };
    static constexpr TCandidate Candidates[] = {
        {"Enforcer", 8}, {"RuneI", 5}, {"Aeons", 6},  {"Botpack", 2},
        {"NerfI", 10},   {"WoT", 3},   {"R6SFX", 18}, {"DTEngine", 24},
    };
    for (const TCandidate& Candidate : Candidates) {
        if (UTSameText(Candidate.Name, Own) || ImportsPackage(Candidate.Name)) {
            FGame = Candidate.Game;
            return;
        }
    }
}

// Stream and field readers -------------------------------------------------------------------

void TUTPackage::OpenStream()
{
    if (FStreamCount == 0) {
        if (OnFindPackage && !IsRegularFile(FFileName)) {
            OnFindPackage(FFileName);
        }
        FStream = std::make_unique<TUTFileStream>(FFileName);
        FFileSize = FStream->GetSize();
    }
    ++FStreamCount;
}

void TUTPackage::CloseStream()
{
    if (FStreamCount > 0 && --FStreamCount == 0) {
        FStream.reset();
    }
}

void TUTPackage::Seek(std::int64_t Position)
{
    if (FStream) {
        FStream->Seek(Position);
    }
}

std::int64_t TUTPackage::GetPosition() const
{
    return FStream ? FStream->GetPosition() : 0;
}

std::int64_t TUTPackage::CopyObjectData(TUTMemoryStream& Dest, std::int64_t Position,
                                        std::int64_t Size)
{
    if (Size <= 0) {
        return 0;
    }
    if (!FStream) {
        throw EReadError("The package file is not open");
    }
    if (Position < 0 || Position > FStream->GetSize() || Size > FStream->GetSize() - Position) {
        throw EReadError();
    }
    FStream->ReadDirect(Position, Dest.Append(static_cast<std::size_t>(Size)),
                        static_cast<std::size_t>(Size));
    return Size;
}

TUTStream& TUTPackage::Source(TUTStream* Stream)
{
    if (Stream != nullptr) {
        return *Stream;
    }
    if (!FStream) {
        throw EReadError("The package file is not open");
    }
    return *FStream;
}

std::int32_t TUTPackage::ReadIndexRaw(TUTStream& S)
{
    // Decoded in place when the window holds the longest form.
    if (S.WindowLeft() >= 5) {
        const std::uint8_t* P = S.WindowData();
        std::uint32_t Value = P[0] & 0x3F;
        std::size_t Used = 1;
        if (P[0] & 0x40) {
            Value |= static_cast<std::uint32_t>(P[1] & 0x7F) << 6;
            Used = 2;
            if (P[1] & 0x80) {
                Value |= static_cast<std::uint32_t>(P[2] & 0x7F) << 13;
                Used = 3;
                if (P[2] & 0x80) {
                    Value |= static_cast<std::uint32_t>(P[3] & 0x7F) << 20;
                    Used = 4;
                    if (P[3] & 0x80) {
                        Value |= static_cast<std::uint32_t>(P[4]) << 27;
                        Used = 5;
                    }
                }
            }
        }
        S.TakeFromWindow(Used);
        return static_cast<std::int32_t>((P[0] & 0x80) ? 0u - Value : Value);
    }
    const std::uint8_t B0 = S.ReadUInt8();
    std::uint32_t Value = B0 & 0x3F;
    if (B0 & 0x40) {
        const std::uint8_t B1 = S.ReadUInt8();
        Value |= static_cast<std::uint32_t>(B1 & 0x7F) << 6;
        if (B1 & 0x80) {
            const std::uint8_t B2 = S.ReadUInt8();
            Value |= static_cast<std::uint32_t>(B2 & 0x7F) << 13;
            if (B2 & 0x80) {
                const std::uint8_t B3 = S.ReadUInt8();
                Value |= static_cast<std::uint32_t>(B3 & 0x7F) << 20;
                if (B3 & 0x80) {
                    // The fifth byte's top bits fall off in 32-bit arithmetic.
                    Value |= static_cast<std::uint32_t>(S.ReadUInt8()) << 27;
                }
            }
        }
    }
    if (B0 & 0x80) {
        Value = 0u - Value;
    }
    return static_cast<std::int32_t>(Value);
}

void TUTPackage::ReadNameInto(TUTStream& S, std::string& Dest)
{
    if (FVersion < 64) {
        for (std::uint8_t B = S.ReadUInt8(); B != 0; B = S.ReadUInt8()) {
            Dest += static_cast<char>(B);
        }
        return;
    }
    std::size_t Length = S.ReadUInt8();
    if (FGame == 19) {
        S.ReadUInt8();
        ++Length;
    }
    if (Length == 0) {
        return;
    }
    // The last byte is the terminating zero.
    if (const std::uint8_t* Bytes = S.TakeFromWindow(Length)) {
        Dest.append(reinterpret_cast<const char*>(Bytes), Length - 1);
        return;
    }
    const std::size_t Old = Dest.size();
    Dest.resize(Old + Length);
    S.ReadExact(Dest.data() + Old, Length);
    Dest.pop_back();
}

void TUTPackage::ReadTableName(TUTStream& S)
{
    if (FVersion >= 64 && FGame != 19) {
        const std::size_t Length = S.ReadUInt8();
        if (Length > 0) {
            if (const std::size_t Readable = S.WindowLeft(); Readable >= Length) {
                AppendNameChars(reinterpret_cast<const char*>(S.WindowData()), Length - 1,
                                Readable);
                S.TakeFromWindow(Length);
                return;
            }
            std::string Text(Length, '\0');
            S.ReadExact(Text.data(), Length);
            AppendNameChars(Text.data(), Length - 1, Length);
        }
        return;
    }
    std::string Text;
    ReadNameInto(S, Text);
    AppendNameChars(Text.data(), Text.size(), Text.size());
}

void TUTPackage::ReserveNameChars(std::size_t Count)
{
    if (FNameCapacity - FNameUsed >= Count) {
        return;
    }
    const std::size_t Capacity = std::max(FNameCapacity * 2, FNameUsed + Count);
    auto Bigger = std::make_unique_for_overwrite<char[]>(Capacity);
    if (FNameUsed > 0) {
        std::memcpy(Bigger.get(), FNameChars.get(), FNameUsed);
    }
    FNameChars = std::move(Bigger);
    FNameCapacity = Capacity;
}

void TUTPackage::AppendNameChars(const char* Chars, std::size_t Count, std::size_t Readable)
{
    constexpr std::size_t Chunk = NameCopy;
    if (FNameCapacity - FNameUsed < Count + Chunk) {
        ReserveNameChars(Count + Chunk);
    }
    char* Out = FNameChars.get() + FNameUsed;
    // As in ReadNameTable.
    if (Count <= Chunk && Readable >= Chunk) {
        std::memcpy(Out, Chars, Chunk);
    } else if (Count > 0) {
        std::memcpy(Out, Chars, Count);
    }
    FNameUsed += Count;
}

void TUTPackage::ReadBuffer(void* Buffer, std::size_t Count, TUTStream* Stream,
                            std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    TNotifyScope Scope(*this, 0, 1, S, static_cast<std::int64_t>(Count), FieldName);
    if (Count > 0) {
        std::memset(Buffer, 0, Count);
    }
    S.ReadExact(Buffer, Count);
}

std::string TUTPackage::ReadZString(TUTStream* Stream, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    TNotifyScope Scope(*this, 1, 1, S, -1, FieldName);
    std::string Result;
    for (std::uint8_t B = S.ReadUInt8(); B != 0; B = S.ReadUInt8()) {
        Result += static_cast<char>(B);
    }
    return Result;
}

std::uint8_t TUTPackage::ReadByte(TUTStream* Stream, std::uint8_t Hint, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    if (NotifyReads) {
        TNotifyScope Scope(*this, 5, Hint, S, -1, FieldName);
        return S.ReadUInt8();
    }
    return S.ReadUInt8();
}

std::uint16_t TUTPackage::ReadWord(TUTStream* Stream, std::uint8_t Hint, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    if (NotifyReads) {
        TNotifyScope Scope(*this, 6, Hint, S, -1, FieldName);
        return RawWord(S);
    }
    return RawWord(S);
}

std::int32_t TUTPackage::ReadInt(TUTStream* Stream, std::uint8_t Hint, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    if (NotifyReads) {
        TNotifyScope Scope(*this, 7, Hint, S, -1, FieldName);
        return static_cast<std::int32_t>(RawDWord(S));
    }
    return static_cast<std::int32_t>(RawDWord(S));
}

std::uint32_t TUTPackage::ReadDWord(TUTStream* Stream, std::uint8_t Hint,
                                    std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    if (NotifyReads) {
        TNotifyScope Scope(*this, 8, Hint, S, -1, FieldName);
        return RawDWord(S);
    }
    return RawDWord(S);
}

std::int64_t TUTPackage::ReadInt64(TUTStream* Stream, std::uint8_t Hint, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    TNotifyScope Scope(*this, 9, Hint, S, -1, FieldName);
    const std::uint64_t Low = RawDWord(S);
    const std::uint64_t High = RawDWord(S);
    return static_cast<std::int64_t>(Low | (High << 32));
}

std::int32_t TUTPackage::ReadIndex(TUTStream* Stream, std::uint8_t Hint, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    if (NotifyReads) {
        TNotifyScope Scope(*this, 4, Hint, S, -1, FieldName);
        return ReadIndexRaw(S);
    }
    return ReadIndexRaw(S);
}

void TUTPackage::ReadGUID(TUTStream* Stream, std::string_view FieldName, TUTGuid& Guid)
{
    TUTStream& S = Source(Stream);
    TNotifyScope Scope(*this, 13, 1, S, -1, FieldName);
    S.ReadExact(Guid.data(), Guid.size());
}

std::string TUTPackage::ReadName(TUTStream* Stream, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    TNotifyScope Scope(*this, 14, 1, S, -1, FieldName);
    std::string Result;
    ReadNameInto(S, Result);
    return Result;
}

bool TUTPackage::ReadProperty(TUTProperty& Prop, TUTStream& S)
{
    // How far the tag's name got, for the failure's text.
    enum class TNameState
    {
        None,
        Index,
        Name
    } State = TNameState::None;
    std::int32_t NameIndex = 0;
    std::string Name;
    TNotifyScope Scope(*this, 15, 1, S, -1, "Property");
    try {
        NameIndex = ReadIndexRaw(S);
        State = TNameState::Index;
        Name = GetNameChecked(NameIndex);
        State = TNameState::Name;
        if (UTSameText(Name, "none")) {
            Prop.SetProperty(this, Name, -1, 0, nullptr, 0, "");
            return false;
        }
        const std::uint8_t Info = S.ReadUInt8();
        const int Type = Info & 0x0F;
        const int SizeCode = (Info >> 4) & 0x07;
        const bool ArrayFlag = (Info & 0x80) != 0;
        std::string StructName;
        if (Type == 10) {
            StructName = GetNameChecked(ReadIndexRaw(S));
        }
        std::int64_t Size = 0;
        switch (SizeCode) {
        case 0:
            Size = 1;
            break;
        case 1:
            Size = 2;
            break;
        case 2:
            Size = 4;
            break;
        case 3:
            Size = 12;
            break;
        case 4:
            Size = 16;
            break;
        case 5:
            Size = S.ReadUInt8();
            break;
        case 6:
            Size = RawWord(S);
            break;
        default:
            Size = static_cast<std::int32_t>(RawDWord(S));
            break;
        }
        std::int32_t ArrayIndex = -1;
        if (ArrayFlag && Type != 3) {
            const std::uint8_t B0 = S.ReadUInt8();
            if ((B0 & 0x80) == 0) {
                ArrayIndex = B0;
            } else if ((B0 & 0xC0) == 0x80) {
                ArrayIndex = ((B0 & 0x7F) << 8) | S.ReadUInt8();
            } else {
                std::uint8_t B[3];
                S.ReadExact(B, 3);
                ArrayIndex = ((B0 & 0x3F) << 24) | (B[0] << 16) | (B[1] << 8) | B[2];
            }
        }
        if (Size < 0) {
            throw EReadError();
        }
        if (Type == 3) {
            const std::uint8_t Value = ArrayFlag ? 1 : 0;
            Prop.SetProperty(this, Name, -1, 3, &Value, 1, "");
        } else if (Type == 0) {
            std::uint8_t Skipped[256];
            S.ReadExact(Skipped, static_cast<std::size_t>(std::min<std::int64_t>(Size, 256)));
            Prop.SetProperty(this, Name, ArrayIndex, 256, nullptr, 0, "Unknown type 0x00");
        } else {
            if (Size > S.Remaining()) {
                throw EReadError();
            }
            // Straight from the stream's bytes where it holds them in memory.
            if (const std::uint8_t* Bytes = S.TakeFromWindow(static_cast<std::size_t>(Size))) {
                Prop.SetProperty(this, Name, ArrayIndex, Type, Bytes,
                                 static_cast<std::int32_t>(Size), StructName);
                return true;
            }
            std::vector<std::uint8_t> Value(static_cast<std::size_t>(Size));
            S.ReadExact(Value.data(), Value.size());
            Prop.SetProperty(this, Name, ArrayIndex, Type, Value.data(),
                             static_cast<std::int32_t>(Size), StructName);
        }
        return true;
    } catch (const std::exception&) {
        switch (State) {
        case TNameState::None:
            throw EReadingUTProperty("<unknown>");
        case TNameState::Index:
            throw EReadingUTProperty(std::to_string(NameIndex));
        default:
            throw EReadingUTProperty(Name);
        }
    }
}

// Unread regions -----------------------------------------------------------------------------

void TUTPackage::MarkRegionRead(std::uint64_t Start, std::uint64_t Length)
{
    if (Length == 0) {
        return;
    }
    const std::uint64_t End = Start + Length < Start ? UINT64_MAX : Start + Length;
    auto It =
        std::partition_point(FUnreadRegions.begin(), FUnreadRegions.end(),
                             [Start](const TUTRegion& R) { return R.Start + R.Length <= Start; });
    while (It != FUnreadRegions.end() && It->Start < End) {
        const std::uint64_t RS = It->Start;
        const std::uint64_t RE = It->Start + It->Length;
        if (RS < Start && RE > End) {
            It->Length = Start - RS;
            FUnreadRegions.insert(It + 1, TUTRegion{End, RE - End});
            return;
        }
        if (RS >= Start && RE <= End) {
            It = FUnreadRegions.erase(It);
            continue;
        }
        if (RS >= Start) {
            It->Start = End;
            It->Length = RE - End;
            return;
        }
        It->Length = Start - RS;
        ++It;
    }
}

void TUTPackage::MarkExportDataRead(const TDataUnion& Data)
{
    if (FUnreadRegions.empty()) {
        return;
    }
    std::vector<TUTRegion> Sorted;
    if (!Data.InOrder) {
        for (const TUTExportTableObjectData& Export : FExportTable) {
            if (Export.FSerialSize > 0 && Export.FSerialOffset >= 0) {
                Sorted.push_back({static_cast<std::uint64_t>(Export.FSerialOffset),
                                  static_cast<std::uint64_t>(Export.FSerialSize)});
            }
        }
        std::sort(Sorted.begin(), Sorted.end(),
                  [](const TUTRegion& A, const TUTRegion& B) { return A.Start < B.Start; });
    }
    const std::vector<TUTRegion>& Ranges = Data.InOrder ? Data.Pieces : Sorted;
    auto It = Ranges.cbegin();
    FUnreadRegions = SubtractAscending(FUnreadRegions, [&](TUTRegion& Range) {
        if (It == Ranges.cend()) {
            return false;
        }
        Range = *It++;
        return true;
    });
}

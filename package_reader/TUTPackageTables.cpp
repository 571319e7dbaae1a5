// The header and the tables of a package: one entry decoder per table, fed either by the bulk
// byte source (the table's bytes in memory) or, while single fields are reported, by the field
// reader that reads and reports field by field. Both give the same tables and failures.
#include "TUTPackage.h"

#include "UTBytes.h"
#include "UTErrors.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint32_t PackageSignature = 0x9E2A83C1;
constexpr std::uint32_t HeaderMarker = 0x0FF0ADDE;
// Package flag that, in one game's files, stands for tables this reader cannot decode.
constexpr std::uint32_t UndecodableFlag = 0x20;

// Table entries at their largest (compact indexes of five bytes) and as the game's files
// mostly have them, for sizing the reads of the tables.
constexpr std::size_t MaxExportEntry = 5 + 5 + 4 + 5 + 4 + 5 + 5;
constexpr std::size_t MaxImportEntry = 5 + 5 + 4 + 5;
constexpr std::size_t ExportEntryGuess = 20;
constexpr std::size_t ImportEntryGuess = 12;
constexpr std::size_t NameEntryGuess = 24;
// Reads of table bytes: large enough that a read's fixed cost is small against its copying,
// small enough that the window stays in the caches and in memory the allocator reuses.
constexpr std::uint64_t MinTableRead = 4 * 1024;
constexpr std::uint64_t MaxTableRead = 128 * 1024;
// Names up to this length are copied with one fixed-size copy.
constexpr std::size_t NameCopy = 32;

std::string PastTheEnd(const std::string& What, std::int64_t Offset, std::int64_t FileSize)
{
    return What + " at offset " + std::to_string(Offset) + " runs past the end of the file (" +
           std::to_string(FileSize) + " bytes)";
}

// A table's bytes in memory. Checked: fails as the stream's reads do when the bytes run out;
// unchecked only where a whole entry of the largest size is in memory. Hints and field names
// are for the field reader; here they cost nothing.
template <bool Checked> struct TTableBytes
{
    const std::uint8_t* P;
    const std::uint8_t* End;

    [[gnu::always_inline]] void Need(std::size_t Count) const
    {
        if constexpr (Checked) {
            if (static_cast<std::size_t>(End - P) < Count) {
                throw EReadError();
            }
        }
    }
    [[gnu::always_inline]] std::uint8_t Byte()
    {
        Need(1);
        return *P++;
    }
    [[gnu::always_inline]] std::uint32_t DWord(TUTReadHint, const char*)
    {
        Need(4);
        const std::uint32_t Value = LoadDWord(P);
        P += 4;
        return Value;
    }
    [[gnu::always_inline]] std::int32_t Int(TUTReadHint Hint, const char* Field)
    {
        return static_cast<std::int32_t>(DWord(Hint, Field));
    }
    [[gnu::always_inline]] std::int32_t Index(TUTReadHint, const char*)
    {
        return DecodeCompactIndex([this] { return Byte(); });
    }
    TUTGuid Guid(const char*)
    {
        Need(16);
        TUTGuid Guid;
        std::memcpy(Guid.data(), P, Guid.size());
        P += Guid.size();
        return Guid;
    }
    // A name string of version 64 on, into the sink; its length.
    template <class TSink> [[gnu::always_inline]] std::size_t Name(TSink& Sink, const char*)
    {
        std::size_t Length = Byte();
        if (Sink.ExtraLengthByte()) {
            Byte();
            ++Length;
        }
        Need(Length);
        // The last byte is the terminating zero.
        const std::size_t Size = Length > 0 ? Length - 1 : 0;
        char* Out = Sink.Room(Size);
        // Most names are short: one copy of a fixed size, whose excess lands in the slack, is
        // cheaper than one of a variable size.
        if (Size <= NameCopy && static_cast<std::size_t>(End - P) >= NameCopy) {
            std::memcpy(Out, P, NameCopy);
        } else if (Size > 0) {
            std::memcpy(Out, P, Size);
        }
        P += Length;
        return Size;
    }
};

} // namespace

// The name table being filled. Its state is held here, in what the compiler can keep in
// registers, as the stores of the characters could change any member of the package; the
// package's members follow every entry, so that the table is whole whenever a read stops.
class TUTPackage::TNameSink
{
public:
    explicit TNameSink(TUTPackage& Package)
        : FPackage(Package)
        , FChars(Package.FNameChars.get())
        , FUsed(Package.FNameUsed)
        , FCapacity(Package.FNameCapacity)
        , FEntries(Package.FNames.get())
        , FCount(Package.FNameCount)
        , FExtraLengthByte(Package.FGame == TUTGame::ugUnrealChampionship)
    {}

    bool ExtraLengthByte() const { return FExtraLengthByte; }
    // Where Count characters go, with the slack of a fixed-size copy after them.
    [[gnu::always_inline]] char* Room(std::size_t Count)
    {
        if (FCapacity - FUsed < Count + NameCopy) {
            FPackage.ReserveNameChars(Count + NameCopy);
            FChars = FPackage.FNameChars.get();
            FCapacity = FPackage.FNameCapacity;
        }
        return FChars + FUsed;
    }
    // Adds the name whose Length characters Room's place holds.
    [[gnu::always_inline]] void Add(std::size_t Length, std::uint32_t Flags)
    {
        FEntries[FCount++] = {FUsed, static_cast<std::uint32_t>(Length), Flags};
        FUsed += Length;
        FPackage.FNameUsed = FUsed;
        FPackage.FNameCount = FCount;
    }

private:
    TUTPackage& FPackage;
    char* FChars;
    std::size_t FUsed;
    std::size_t FCapacity;
    TNameEntry* FEntries;
    std::size_t FCount;
    bool FExtraLengthByte;
};

// Reads an entry's fields one by one through the package's field readers, so that each is
// reported to OnReadField under its name ("ExportTable[3].Class"), built only when someone
// listens.
class TUTPackage::TFieldReader
{
public:
    TFieldReader(TUTPackage& Package, const char* Table, std::uint64_t Entry)
        : FPackage(Package)
        , FTable(Table)
        , FEntry(Entry)
        , FNamed(Package.NotifyReads && Package.OnReadField)
    {}

    std::uint32_t DWord(TUTReadHint Hint, const char* Field)
    {
        return FPackage.ReadDWord(nullptr, Hint, FieldName(Field));
    }
    std::int32_t Int(TUTReadHint Hint, const char* Field)
    {
        return FPackage.ReadInt(nullptr, Hint, FieldName(Field));
    }
    std::int32_t Index(TUTReadHint Hint, const char* Field)
    {
        return FPackage.ReadIndex(nullptr, Hint, FieldName(Field));
    }
    TUTGuid Guid(const char* Field) { return FPackage.ReadGUID(nullptr, FieldName(Field)); }
    template <class TSink> std::size_t Name(TSink& Sink, const char* Field)
    {
        const std::string Text = FPackage.ReadName(nullptr, FieldName(Field));
        if (!Text.empty()) {
            std::memcpy(Sink.Room(Text.size()), Text.data(), Text.size());
        }
        return Text.size();
    }

private:
    std::string_view FieldName(const char* Field)
    {
        if (!FNamed) {
            return {};
        }
        FText = std::string(FTable) + "[" + std::to_string(FEntry) + "]." + Field;
        return FText;
    }

    TUTPackage& FPackage;
    const char* FTable;
    std::uint64_t FEntry;
    bool FNamed;
    std::string FText;
};

namespace {

// The entry decoders, one per table, for any byte source.

template <class TSource, class TSink>
[[gnu::always_inline]] inline void DecodeName(TSource& S, TSink& Sink)
{
    const std::size_t Length = S.Name(Sink, "Name");
    Sink.Add(Length, S.DWord(TUTReadHint::rhFlags, "Flags"));
}

template <class TSource> TUTGenerationInfo DecodeGeneration(TSource& S)
{
    TUTGenerationInfo G;
    G.ExportCount = S.Int(TUTReadHint::rhValue, "ExportCount");
    G.NameCount = S.Int(TUTReadHint::rhValue, "NameCount");
    return G;
}

} // namespace

template <class TSource>
[[gnu::always_inline]] inline void TUTPackage::DecodeExport(TSource& S,
                                                            TUTExportTableObjectData& Export)
{
    Export.FClass = S.Index(TUTReadHint::rhReference, "Class");
    Export.FSuper = S.Index(TUTReadHint::rhReference, "Super");
    Export.FGroup = S.Int(TUTReadHint::rhReference, "Group");
    Export.FObject = S.Index(TUTReadHint::rhReference, "Object");
    Export.FFlags = S.DWord(TUTReadHint::rhFlags, "Flags");
    Export.FSerialSize = S.Index(TUTReadHint::rhValue, "SerialSize");
    // No offset field when there are no data.
    Export.FSerialOffset =
        Export.FSerialSize > 0 ? S.Index(TUTReadHint::rhValue, "SerialOffset") : 0;
}

template <class TSource>
[[gnu::always_inline]] inline void TUTPackage::DecodeImport(TSource& S,
                                                            TUTImportTableObjectData& Import)
{
    Import.FClassPackage = S.Index(TUTReadHint::rhReference, "ClassPackage");
    Import.FClass = S.Index(TUTReadHint::rhReference, "Class");
    Import.FPackageRef = S.Int(TUTReadHint::rhReference, "Package");
    Import.FObject = S.Index(TUTReadHint::rhReference, "Object");
}

void TUTPackage::ReadHeader()
{
    TProgress Progress;
    DoProgress(0, 100);
    try {
        ReadHeaderFields(Progress);
    } catch (const EInvalidUTPackage&) {
        CloseStream();
        DoProgress(Progress.Total, Progress.Total);
        throw;
    } catch (const std::exception& Error) {
        CloseStream();
        DoProgress(Progress.Total, Progress.Total);
        throw EProcessingUTPackage(FFileName, Error.what());
    }
    CloseStream();
    DoProgress(Progress.Total, Progress.Total);
}

void TUTPackage::ReadHeaderFields(TProgress& Progress)
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
    const TUTReadHint Value = TUTReadHint::rhValue;
    const TUTReadHint Offset = TUTReadHint::rhOffset;
    TTableCounts Tables;
    TUTGuid HeaderGuid{};
    std::uint64_t GenerationCount = 0;
    try {
        if (ReadDWord(nullptr, Value, "PackageId") != PackageSignature) {
            throw EInvalidUTPackage();
        }
        FVersion = ReadWord(nullptr, Value, "Version");
        FLicenseeMode = ReadWord(nullptr, Value, "LicenseeMode");
        FFlags = ReadDWord(nullptr, TUTReadHint::rhFlags, "Flags");
        DetectGameByVersion();
        ClearTables();
        Tables.NameCount = ReadDWord(nullptr, Value, "NameTableCount");
        Tables.NameOffset = ReadDWord(nullptr, Offset, "NameTableOffset");
        Tables.ExportCount = ReadDWord(nullptr, Value, "ExportTableCount");
        Tables.ExportOffset = ReadDWord(nullptr, Offset, "ExportTableOffset");
        Tables.ImportCount = ReadDWord(nullptr, Value, "ImportTableCount");
        Tables.ImportOffset = ReadDWord(nullptr, Offset, "ImportTableOffset");
        MarkRegionRead(0, static_cast<std::uint64_t>(S.GetPosition()));

        if ((FFlags & UndecodableFlag) != 0 && FGame == TUTGame::ugUndying) {
            throw EUTReaderError("Package flag 0x20 of a " +
                                 std::string(GameName(TUTGame::ugUndying)) +
                                 " package: its tables are kept in a form this reader cannot "
                                 "decode");
        }
        if (FVersion < 68) {
            Tables.HeritageCount = ReadDWord(nullptr, Value, "HeritageTableCount");
            Tables.HeritageOffset = ReadDWord(nullptr, Offset, "HeritageTableOffset");
        } else {
            if (static_cast<std::uint32_t>(ReadInt(nullptr, Value, {})) == HeaderMarker) {
                while (ReadByte(nullptr, TUTReadHint::rhPart, {}) != 0xFF) {
                }
                if (FGame == TUTGame::ugUnknown) {
                    FGame = TUTGame::ugSplinterCell;
                }
            } else if (FGame != TUTGame::ugDeusExInvisibleWar) {
                S.Seek(S.GetPosition() - 4);
            }
            // The GUID is the package's one heritage entry.
            Tables.HeritageCount = 1;
            Tables.HeritageOffset = static_cast<std::uint64_t>(S.GetPosition());
            HeaderGuid = ReadGUID(nullptr, "GUID");
            GenerationCount = ReadDWord(nullptr, Value, "GenerationInfoCount");
        }
    } catch (const EReadError&) {
        throw EReadError(PastTheEnd("The header", S.GetPosition(), FFileSize));
    }
    // Without a listener for single fields the tables are decoded in bulk from the file's bytes
    // in memory; with one, field by field, so that each field can be reported.
    const bool Bulk = !(NotifyReads && OnReadField);
    if (FVersion >= 68) {
        ReadGenerations(GenerationCount, Bulk);
    }
    Progress.Total = static_cast<std::int64_t>(Tables.NameCount + Tables.ExportCount +
                                               Tables.ImportCount + Tables.HeritageCount);
    MarkRegionRead(0, static_cast<std::uint64_t>(S.GetPosition()));

    ReadNames(Tables, Bulk && FVersion >= 64, Progress);
    ReadExports(Tables, Bulk, Progress);
    ReadImports(Tables, Bulk, Progress);
    ReadHeritage(Tables, HeaderGuid, Bulk, Progress);
}

void TUTPackage::CheckTable(std::uint64_t Count, std::uint64_t Offset, std::uint64_t MinEntrySize,
                            const char* What) const
{
    const auto Size = static_cast<std::uint64_t>(FFileSize);
    if (Count != 0 && (Offset > Size || Count > (Size - Offset) / MinEntrySize)) {
        throw EReadError(std::string(What) + " of " + std::to_string(Count) +
                         " entries at offset " + std::to_string(Offset) +
                         " runs past the end of the file (" + std::to_string(Size) + " bytes)");
    }
}

// Decodes Count entries with Entry from the stream's position on, in bulk or field by field
// (whose field names number the entries from First). A failure names the table, the index of
// the entry (the count of entries the table keeps) and its offset, the same on both ways.
template <class TEntry>
void TUTPackage::ReadEntries(const char* Table, const char* FieldTable, std::uint64_t First,
                             std::uint64_t Count, bool Bulk, std::size_t MaxEntry,
                             std::size_t Guess, TProgress* Progress, TEntry&& Entry)
{
    std::uint64_t Current = 0;
    std::int64_t EntryOffset = FStream->GetPosition();
    try {
        if (Bulk) {
            WalkTable(Count, MaxEntry, Guess, Progress, Current, Entry);
            return;
        }
        ReadFieldByField(FieldTable, First, Count, Progress, Current, EntryOffset, Entry);
    } catch (const EReadError&) {
        if (Bulk) {
            // The bulk walk leaves the stream where the failed entry starts.
            EntryOffset = FStream->GetPosition();
        }
        throw EReadError(PastTheEnd(std::string(Table) + " entry " + std::to_string(Current),
                                    EntryOffset, FFileSize));
    }
}

// The field by field walk. Current is the entry being read, EntryOffset where it starts.
template <class TEntry>
[[gnu::noinline]] void TUTPackage::ReadFieldByField(const char* FieldTable, std::uint64_t First,
                                                    std::uint64_t Count, TProgress* Progress,
                                                    std::uint64_t& Current,
                                                    std::int64_t& EntryOffset, TEntry& Entry)
{
    for (; Current < Count; ++Current) {
        EntryOffset = FStream->GetPosition();
        TFieldReader Fields(*this, FieldTable, First + Current);
        Entry(Fields);
        if (Progress != nullptr) {
            DoProgress(++Progress->Done, Progress->Total);
        }
    }
}

// The bulk walk, flattened: a call per entry would cost more than its decoding. The bytes come in
// reads sized to what is left of the table; an entry is decoded unchecked while the window holds
// MaxEntry bytes, checked only where the file ends within them. Current is the entry being decoded;
// after a failure the stream is where it starts.
template <class TEntry>
[[gnu::flatten]] void TUTPackage::WalkTable(std::uint64_t Count, std::size_t MaxEntry,
                                            std::size_t Guess, TProgress* Progress,
                                            std::uint64_t& Current, TEntry&& Entry)
{
    TUTFileStream& S = *FStream;
    const std::int64_t Start = S.GetPosition();
    const std::uint8_t* P = S.WindowData();
    const std::uint8_t* End = P + S.WindowLeft();
    const std::uint8_t* EntryStart = P;
    // Counted here and told where someone listens; the walk's state stays in registers.
    const bool Report = Progress != nullptr && OnProgress;
    try {
        for (std::uint64_t I = 0; I < Count; ++I) {
            bool NearEnd = false;
            if (static_cast<std::size_t>(End - P) < MaxEntry) {
                // The rest of the table, as far as the entries so far let us guess it, in one
                // read; reads are bounded so that the window stays small.
                S.TakeFromWindow(static_cast<std::size_t>(P - S.WindowData()));
                const auto Used = static_cast<std::uint64_t>(S.GetPosition() - Start);
                // Later entries tend to be longer (names with larger numbers): an eighth more.
                const std::uint64_t Each = I > 0 ? Used * 9 / 8 / I + 1 : Guess;
                const std::uint64_t Left = Count - I;
                const std::uint64_t Want =
                    Left > MaxTableRead / Each ? MaxTableRead : Left * Each + MaxEntry;
                S.ReadAhead(static_cast<std::size_t>(std::max<std::uint64_t>(Want, MinTableRead)));
                P = S.WindowData();
                End = P + S.WindowLeft();
                // Else the file ends within reach: this entry may not be all there.
                NearEnd = static_cast<std::size_t>(End - P) < MaxEntry;
            }
            if (NearEnd) {
                // Only such an entry can fail.
                Current = I;
                EntryStart = P;
                TTableBytes<true> Bytes{P, End};
                Entry(Bytes);
                P = Bytes.P;
            } else {
                TTableBytes<false> Bytes{P, End};
                Entry(Bytes);
                P = Bytes.P;
            }
            if (Report) {
                // The listener sees the stream where the entry ends; the walk goes on from
                // wherever it leaves it.
                S.TakeFromWindow(static_cast<std::size_t>(P - S.WindowData()));
                DoProgress(Progress->Done + static_cast<std::int64_t>(I) + 1, Progress->Total);
                P = S.WindowData();
                End = P + S.WindowLeft();
            }
        }
    } catch (const EReadError&) {
        S.TakeFromWindow(static_cast<std::size_t>(EntryStart - S.WindowData()));
        if (Progress != nullptr) {
            Progress->Done += static_cast<std::int64_t>(Current);
        }
        throw;
    }
    S.TakeFromWindow(static_cast<std::size_t>(P - S.WindowData()));
    if (Progress != nullptr) {
        Progress->Done += static_cast<std::int64_t>(Count);
    }
}

void TUTPackage::ReadGenerations(std::uint64_t Count, bool Bulk)
{
    CheckTable(Count, static_cast<std::uint64_t>(FStream->GetPosition()), 8, "Generation table");
    FGenerationInfo.reserve(Count);
    ReadEntries("Generation table", "GenerationInfo", 0, Count, Bulk, 8, 8, nullptr,
                [&](auto& Source) { FGenerationInfo.push_back(DecodeGeneration(Source)); });
}

void TUTPackage::ReadNames(const TTableCounts& Tables, bool Bulk, TProgress& Progress)
{
    const std::uint64_t Count = Tables.NameCount;
    CheckTable(Count, Tables.NameOffset, 5, "Name table");
    FStream->Seek(static_cast<std::int64_t>(Tables.NameOffset));
    if (Count > 0) {
        FNames = std::make_unique_for_overwrite<TNameEntry[]>(Count);
    }
    // Room for names of 23 characters on average, reserved but not written: longer names rarely
    // make the characters move.
    ReserveNameChars(Count * NameEntryGuess + 64);
    TNameSink Sink(*this);
    // A length byte (two in one game's files, the second one more), the characters with their
    // terminating zero, the flags.
    const std::size_t MaxEntry = Sink.ExtraLengthByte() ? 2 + 256 + 4 : 1 + 255 + 4;
    ReadEntries("Name table", "NameTable", 1, Count, Bulk, MaxEntry, NameEntryGuess, &Progress,
                [&](auto& Source) { DecodeName(Source, Sink); });
    MarkRegionRead(Tables.NameOffset,
                   static_cast<std::uint64_t>(FStream->GetPosition()) - Tables.NameOffset);
}

void TUTPackage::ReadExports(const TTableCounts& Tables, bool Bulk, TProgress& Progress)
{
    TUTFileStream& S = *FStream;
    const std::uint64_t Count = Tables.ExportCount;
    CheckTable(Count, Tables.ExportOffset, 12, "Export table");
    if (Bulk && Tables.ImportCount > 0 && Tables.ImportOffset < Tables.ExportOffset &&
        Tables.ExportOffset - Tables.ImportOffset <= Tables.ImportCount * MaxImportEntry) {
        // The import table may end where the export table starts, as the game writes them:
        // one read brings in both.
        S.Seek(static_cast<std::int64_t>(Tables.ImportOffset));
        S.ReadAhead(static_cast<std::size_t>(std::min<std::uint64_t>(
            Tables.ExportOffset - Tables.ImportOffset + Count * ExportEntryGuess + MaxExportEntry,
            MaxTableRead)));
    }
    S.Seek(static_cast<std::int64_t>(Tables.ExportOffset));
    FExportTable.reserve(Count);
    // Their data ranges are taken out of the unread regions in one pass, also those of the
    // entries read before a failure; an entry that fails half-way is not added.
    TDataUnion Data;
    try {
        ReadEntries("Export table", "ExportTable", 1, Count, Bulk, MaxExportEntry, ExportEntryGuess,
                    &Progress, [&](auto& Source) {
                        // Added only once whole.
                        TUTExportTableObjectData Export(
                            this, static_cast<std::int32_t>(FExportTable.size()));
                        DecodeExport(Source, Export);
                        Data.Add(Export.FSerialOffset, Export.FSerialSize);
                        FExportTable.push_back(std::move(Export));
                    });
    } catch (...) {
        MarkExportDataRead(Data);
        throw;
    }
    MarkExportDataRead(Data);
    MarkRegionRead(Tables.ExportOffset,
                   static_cast<std::uint64_t>(S.GetPosition()) - Tables.ExportOffset);
}

void TUTPackage::ReadImports(const TTableCounts& Tables, bool Bulk, TProgress& Progress)
{
    const std::uint64_t Count = Tables.ImportCount;
    CheckTable(Count, Tables.ImportOffset, 7, "Import table");
    FStream->Seek(static_cast<std::int64_t>(Tables.ImportOffset));
    FImportTable.reserve(Count);
    ReadEntries("Import table", "ImportTable", 1, Count, Bulk, MaxImportEntry, ImportEntryGuess,
                &Progress, [&](auto& Source) {
                    TUTImportTableObjectData Import(this);
                    DecodeImport(Source, Import);
                    FImportTable.push_back(Import);
                });
    MarkRegionRead(Tables.ImportOffset,
                   static_cast<std::uint64_t>(FStream->GetPosition()) - Tables.ImportOffset);
}

void TUTPackage::ReadHeritage(const TTableCounts& Tables, const TUTGuid& HeaderGuid, bool Bulk,
                              TProgress& Progress)
{
    TUTFileStream& S = *FStream;
    const std::uint64_t Count = Tables.HeritageCount;
    CheckTable(Count, Tables.HeritageOffset, 16, "Heritage table");
    FHeritageTable.reserve(Count);
    if (Bulk && FVersion >= 68) {
        // The one GUID of these versions is the header's, read already.
        FHeritageTable.push_back(HeaderGuid);
        S.Seek(static_cast<std::int64_t>(Tables.HeritageOffset + 16));
        DoProgress(++Progress.Done, Progress.Total);
    } else {
        S.Seek(static_cast<std::int64_t>(Tables.HeritageOffset));
        ReadEntries("Heritage table", "HeritageTable", 0, Count, Bulk, 16, 16, &Progress,
                    [&](auto& Source) { FHeritageTable.push_back(Source.Guid("GUID")); });
    }
    MarkRegionRead(Tables.HeritageOffset,
                   static_cast<std::uint64_t>(S.GetPosition()) - Tables.HeritageOffset);
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

#include "TUTPackage.h"

#include "TUTObject.h"
#include "TUTProperty.h"
#include "UTBytes.h"
#include "UTErrors.h"
#include "UTText.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace {

// A compact index at a stream's position.
std::int32_t ReadStreamIndex(TUTStream& S)
{
    return DecodeCompactIndex([&S] { return S.ReadUInt8(); });
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
    const std::int32_t Value = DecodeCompactIndex([&]() -> std::uint8_t {
        if (P >= Buffer.size()) {
            throw EReadError();
        }
        return Buffer[P++];
    });
    Position = static_cast<std::int32_t>(P);
    return Value;
}

// Tells OnReadField of one top-level read and keeps the notification off for the reads it
// is made of.
class TUTPackage::TNotifyScope
{
public:
    TNotifyScope(TUTPackage& Package, TUTReadFormat Format, TUTReadHint Hint, TUTStream& S,
                 std::int64_t Size, std::string_view FieldName)
        : FPackage(Package)
        , FSaved(Package.NotifyReads)
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

void TUTPackage::LoadFromFile(const std::string& FileName, TUTGame Game)
{
    ReleaseAllObjects();
    CloseStream();
    ClearTables();
    FGame = Game;
    FFileName = FileName;
    if (FGame == TUTGame::ugUnknown) {
        DetectGameByExtension();
    }
    if (OnDetectGame) {
        OnDetectGame(*this, FGame);
    }
    ReadHeader();
    if (FGame == TUTGame::ugUnknown) {
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
    return GetName(Index);
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
            Parts.push_back(GetName(Import.FObject));
            Parent = Import.FPackageRef;
        } else {
            const std::int64_t Index = static_cast<std::int64_t>(Ref) - 1;
            if (Index >= static_cast<std::int64_t>(FExportTable.size())) {
                return {};
            }
            const TUTExportTableObjectData& Export = FExportTable[static_cast<std::size_t>(Index)];
            Parts.push_back(GetName(Export.FObject));
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

int TUTPackage::FindObject(TUTFindKind Kind, TUTFindFields Fields, std::string_view PackagePath,
                           std::string_view ObjectName, std::string_view ClassName,
                           int StartIndex) const
{
    const std::size_t Start = StartIndex > 0 ? static_cast<std::size_t>(StartIndex) : 0;
    // The own name of a reference: the one-part path.
    auto OwnName = [this](std::int32_t Ref) -> std::string_view {
        if (Ref < 0) {
            const std::int64_t Index = -static_cast<std::int64_t>(Ref) - 1;
            return Index < static_cast<std::int64_t>(FImportTable.size())
                       ? GetName(FImportTable[static_cast<std::size_t>(Index)].FObject)
                       : std::string_view();
        }
        if (Ref > 0 && static_cast<std::size_t>(Ref) <= FExportTable.size()) {
            return GetName(FExportTable[static_cast<std::size_t>(Ref) - 1].FObject);
        }
        return {};
    };
    const bool ByName = HasFindField(Fields, TUTFindFields::ffObjectName);
    const bool ByPath = HasFindField(Fields, TUTFindFields::ffPackagePath);
    const bool ByClass = HasFindField(Fields, TUTFindFields::ffClassName);
    switch (Kind) {
    case TUTFindKind::fkName:
        for (std::size_t I = Start; I < FNameCount; ++I) {
            if (UTSameText(GetName(static_cast<int>(I)), ObjectName)) {
                return static_cast<int>(I);
            }
        }
        return -1;
    case TUTFindKind::fkExport:
        for (std::size_t I = Start; I < FExportTable.size(); ++I) {
            const TUTExportTableObjectData& Export = FExportTable[I];
            if (ByName && !UTSameText(GetName(Export.FObject), ObjectName)) {
                continue;
            }
            if (ByClass && !UTSameText(OwnName(Export.FClass), ClassName)) {
                continue;
            }
            if (ByPath && !UTSameText(GetObjectPath(-1, Export.FGroup), PackagePath)) {
                continue;
            }
            return static_cast<int>(I);
        }
        return -1;
    case TUTFindKind::fkImport:
        for (std::size_t I = Start; I < FImportTable.size(); ++I) {
            const TUTImportTableObjectData& Import = FImportTable[I];
            if (ByName && !UTSameText(GetName(Import.FObject), ObjectName)) {
                continue;
            }
            if (ByClass && !UTSameText(GetName(Import.FClass), ClassName)) {
                continue;
            }
            if (ByPath && !UTSameText(GetObjectPath(-1, Import.FPackageRef), PackagePath)) {
                continue;
            }
            return static_cast<int>(I);
        }
        return -1;
    default:
        return -1;
    }
}

TUTFoundObject TUTPackage::FindObjectInPackages(TUTFindFields Fields, std::string_view PackagePath,
                                                std::string_view ObjectName,
                                                std::string_view ClassName,
                                                std::string_view OwnerClass)
{
    std::vector<std::string> Visited{SearchKey(FFileName)};
    return FindObjectInPackagesImpl(Fields, PackagePath, ObjectName, ClassName, OwnerClass,
                                    Visited);
}

TUTFoundObject
TUTPackage::FindObjectInPackagesImpl(TUTFindFields Fields, std::string_view PackagePath,
                                     std::string_view ObjectName, std::string_view ClassName,
                                     std::string_view OwnerClass, std::vector<std::string>& Visited)
{
    TUTFoundObject Found;
    const int Local =
        FindObject(TUTFindKind::fkExport, Fields, PackagePath, ObjectName, ClassName, 0);
    if (Local >= 0) {
        Found.Package = this;
        Found.Index = Local;
        return Found;
    }
    if (!SearchOtherPackages) {
        return Found;
    }
    const int Import =
        FindObject(TUTFindKind::fkImport, Fields, PackagePath, ObjectName, ClassName, 0);
    if (Import >= 0) {
        try {
            Found = SearchLinked(Import, Fields, PackagePath, ObjectName, ClassName, Visited);
        } catch (const std::exception&) {
            // A sibling that cannot be read simply does not hold the object.
        }
    }
    if (Found.Index == -1) {
        const int Owner = FindObject(TUTFindKind::fkImport,
                                     TUTFindFields::ffObjectName | TUTFindFields::ffClassName, "",
                                     OwnerClass, "Class", 0);
        if (Owner >= 0) {
            Found = SearchLinked(Owner, Fields, PackagePath, ObjectName, ClassName, Visited);
        }
    }
    return Found;
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

TUTFoundObject TUTPackage::SearchLinked(int ImportIndex, TUTFindFields Fields,
                                        std::string_view PackagePath, std::string_view ObjectName,
                                        std::string_view ClassName,
                                        std::vector<std::string>& Visited)
{
    std::string Name = SiblingFileName(ImportIndex);
    if (Name.empty()) {
        return {};
    }
    if (OnFindPackage) {
        OnFindPackage(Name);
    }
    const std::string Resolved = ResolveFileNoCase(Name);
    if (Resolved.empty()) {
        return {};
    }
    std::string Key = SearchKey(Resolved);
    if (std::find(Visited.begin(), Visited.end(), Key) != Visited.end()) {
        return {};
    }
    Visited.push_back(std::move(Key));
    std::unique_ptr<TUTPackage> Linked = CreateLinked(Resolved, *this);
    TUTFoundObject Found =
        Linked->FindObjectInPackagesImpl(Fields, PackagePath, ObjectName, ClassName, "", Visited);
    if (Found.Package == Linked.get()) {
        Found.Owned = std::move(Linked);
    }
    return Found;
}

bool TUTPackage::ImportsPackage(std::string_view Name) const
{
    return FindObject(TUTFindKind::fkImport,
                      TUTFindFields::ffObjectName | TUTFindFields::ffClassName, "", Name, "Package",
                      0) != -1;
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
    if (FGame != TUTGame::ugUnknown) {
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
    using enum TUTGame;
    struct TRule
    {
        std::string_view Ext;
        TUTGame Game;
    };
    static constexpr TRule Rules[] = {
        {".sac", ugUndying},
        {".sav", ugUndying},
        {".run", ugRune},
        {".rsa", ugRune},
        {".xcm", ugXComEnforcer},
        {".nrf", ugNerfArenaBlast},
        {".wot", ugWheelOfTime},
        {".ut2", ugUnrealTournament2003},
        {".aao", ugArmyOperations},
        {".un2", ugUnreal2},
        {".ugx", ugUnreal2},
        {".scl", ugSplinterCell},
        {".dvs", ugDevastation},
        {".rsm", ugRavenShield},
        {".d2u", ugDeusExInvisibleWar},
        {".gmp", ugDeusExInvisibleWar},
        {".dt", ugDesertThunder},
        {".dta", ugDesertThunder},
        {".dtt", ugDesertThunder},
        {".dtm", ugDesertThunder},
        {".dts", ugDesertThunder},
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
    if (FGame != TUTGame::ugUnknown) {
        return;
    }
    using enum TUTGame;
    const std::uint16_t V = FVersion;
    const std::uint16_t L = FLicenseeMode;
    if (L == 0) {
        if (V == 126) {
            FGame = ugDesertThunder;
        } else if (V == 76) {
            FGame = ugHarryPotter1;
        } else if (V == 79) {
            FGame = ugHarryPotter2;
        } else if (V >= 83 || (FFlags & 0x20) != 0) {
            FGame = ugUndying;
        } else if (V >= 68) {
            FGame = ugUnrealTournament;
        } else {
            FGame = ugUnreal;
        }
    } else if (L >= 25 && L <= 29) {
        FGame = V >= 122 ? ugUnrealTournament2004 : ugUnrealTournament2003;
    } else if (L == 2481 || L == 1331 || L == 1585 || L == 635 || L == 763) {
        FGame = ugUnreal2;
    } else if (V == 118 && (L == 8 || L == 9 || (L >= 16 && L <= 19))) {
        FGame = ugArmyOperations;
    } else if (L == 20 && V == 123) {
        FGame = ugLineage2;
    } else if (L == 8 && V == 120) {
        FGame = ugDevastation;
    } else if (L == 30 && V == 119) {
        FGame = ugUnrealChampionship;
    }
}

void TUTPackage::DetectGameByImports()
{
    if (FGame != TUTGame::ugUnknown) {
        return;
    }
    const std::string Own = UTLowerCase(std::filesystem::path(FFileName).stem().string());
    using enum TUTGame;
    struct TCandidate
    {
        std::string_view Name;
        TUTGame Game;
    };
    static constexpr TCandidate Candidates[] = {
        {"Enforcer", ugXComEnforcer}, {"RuneI", ugRune},
        {"Aeons", ugUndying},         {"Botpack", ugUnrealTournament},
        {"NerfI", ugNerfArenaBlast},  {"WoT", ugWheelOfTime},
        {"R6SFX", ugRavenShield},     {"DTEngine", ugDesertThunder},
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
    const std::int64_t FileSize = FStream->GetSize();
    if (Position < 0 || Position > FileSize || Size > FileSize - Position) {
        throw EReadError("Data of " + std::to_string(Size) + " bytes at offset " +
                         std::to_string(Position) + " run past the end of the file (" +
                         std::to_string(FileSize) + " bytes)");
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

void TUTPackage::ReadNameInto(TUTStream& S, std::string& Dest)
{
    if (FVersion < 64) {
        for (std::uint8_t B = S.ReadUInt8(); B != 0; B = S.ReadUInt8()) {
            Dest += static_cast<char>(B);
        }
        return;
    }
    std::size_t Length = S.ReadUInt8();
    if (FGame == TUTGame::ugUnrealChampionship) {
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

void TUTPackage::ReadBuffer(void* Buffer, std::size_t Count, TUTStream* Stream,
                            std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    TNotifyScope Scope(*this, TUTReadFormat::rfBuffer, TUTReadHint::rhValue, S,
                       static_cast<std::int64_t>(Count), FieldName);
    if (Count > 0) {
        std::memset(Buffer, 0, Count);
    }
    S.ReadExact(Buffer, Count);
}

std::string TUTPackage::ReadZString(TUTStream* Stream, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    TNotifyScope Scope(*this, TUTReadFormat::rfZString, TUTReadHint::rhValue, S, -1, FieldName);
    std::string Result;
    for (std::uint8_t B = S.ReadUInt8(); B != 0; B = S.ReadUInt8()) {
        Result += static_cast<char>(B);
    }
    return Result;
}

// The notice costs a scope only while someone may listen.
std::uint8_t TUTPackage::ReadByte(TUTStream* Stream, TUTReadHint Hint, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    if (NotifyReads) {
        TNotifyScope Scope(*this, TUTReadFormat::rfByte, Hint, S, -1, FieldName);
        return S.ReadUInt8();
    }
    return S.ReadUInt8();
}

std::uint16_t TUTPackage::ReadWord(TUTStream* Stream, TUTReadHint Hint, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    if (NotifyReads) {
        TNotifyScope Scope(*this, TUTReadFormat::rfWord, Hint, S, -1, FieldName);
        return RawWord(S);
    }
    return RawWord(S);
}

std::int32_t TUTPackage::ReadInt(TUTStream* Stream, TUTReadHint Hint, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    if (NotifyReads) {
        TNotifyScope Scope(*this, TUTReadFormat::rfInt, Hint, S, -1, FieldName);
        return static_cast<std::int32_t>(RawDWord(S));
    }
    return static_cast<std::int32_t>(RawDWord(S));
}

std::uint32_t TUTPackage::ReadDWord(TUTStream* Stream, TUTReadHint Hint, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    if (NotifyReads) {
        TNotifyScope Scope(*this, TUTReadFormat::rfDWord, Hint, S, -1, FieldName);
        return RawDWord(S);
    }
    return RawDWord(S);
}

std::int64_t TUTPackage::ReadInt64(TUTStream* Stream, TUTReadHint Hint, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    TNotifyScope Scope(*this, TUTReadFormat::rfInt64, Hint, S, -1, FieldName);
    const std::uint64_t Low = RawDWord(S);
    const std::uint64_t High = RawDWord(S);
    return static_cast<std::int64_t>(Low | (High << 32));
}

std::int32_t TUTPackage::ReadIndex(TUTStream* Stream, TUTReadHint Hint, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    if (NotifyReads) {
        TNotifyScope Scope(*this, TUTReadFormat::rfIndex, Hint, S, -1, FieldName);
        return ReadStreamIndex(S);
    }
    return ReadStreamIndex(S);
}

TUTGuid TUTPackage::ReadGUID(TUTStream* Stream, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    TNotifyScope Scope(*this, TUTReadFormat::rfGuid, TUTReadHint::rhValue, S, -1, FieldName);
    TUTGuid Guid;
    S.ReadExact(Guid.data(), Guid.size());
    return Guid;
}

std::string TUTPackage::ReadName(TUTStream* Stream, std::string_view FieldName)
{
    TUTStream& S = Source(Stream);
    TNotifyScope Scope(*this, TUTReadFormat::rfName, TUTReadHint::rhValue, S, -1, FieldName);
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
    const std::int64_t TagOffset = S.GetPosition();
    TNotifyScope Scope(*this, TUTReadFormat::rfProperty, TUTReadHint::rhValue, S, -1, "Property");
    try {
        NameIndex = ReadStreamIndex(S);
        State = TNameState::Index;
        Name = GetNameChecked(NameIndex);
        State = TNameState::Name;
        if (UTSameText(Name, "none")) {
            Prop.SetProperty(this, Name, -1, TUTPropertyType::ptNone, nullptr, 0, "");
            return false;
        }
        const std::uint8_t Info = S.ReadUInt8();
        const auto Type = static_cast<TUTPropertyType>(Info & 0x0F);
        const int SizeCode = (Info >> 4) & 0x07;
        const bool ArrayFlag = (Info & 0x80) != 0;
        std::string StructName;
        if (Type == TUTPropertyType::ptStruct) {
            StructName = GetNameChecked(ReadStreamIndex(S));
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
        if (ArrayFlag && Type != TUTPropertyType::ptBool) {
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
        if (Type == TUTPropertyType::ptBool) {
            const std::uint8_t Value = ArrayFlag ? 1 : 0;
            Prop.SetProperty(this, Name, -1, Type, &Value, 1, "");
        } else if (Type == TUTPropertyType::ptNone) {
            std::uint8_t Skipped[256];
            S.ReadExact(Skipped, static_cast<std::size_t>(std::min<std::int64_t>(Size, 256)));
            Prop.SetProperty(this, Name, ArrayIndex, TUTPropertyType::ptBuffer, nullptr, 0,
                             "Unknown type 0x00");
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
        std::string Where = "at byte " + std::to_string(TagOffset);
        if (const TUTObject* Owner = Prop.Owner()) {
            Where += " of export " + std::to_string(Owner->ExportIndex()) + " (" +
                     UTEscapeControls(Owner->GetObjectName()) + ")";
        }
        switch (State) {
        case TNameState::None:
            throw EReadingUTProperty("<unknown>", Where);
        case TNameState::Index:
            throw EReadingUTProperty(std::to_string(NameIndex), Where);
        default:
            throw EReadingUTProperty(UTEscapeControls(Name), Where);
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

#include "ReaderTestSupport.h"
#include "ReadEverything.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

namespace {

TBytes SamplePackage()
{
    TPackageWriter Writer;
    const std::int32_t Level =
        Writer.AddExport(Writer.ImportClass("Engine", "Level"), "myLevel", {1, 2, 3, 4});
    TPropertyWriter Props(Writer);
    Props.Str("Title", "Damage")
        .Int("Count", 3)
        .Struct("Location", "Vector", TByteWriter().Float(1).Float(2).Float(3).Data());
    Props.Tag("Items", 9,
              TByteWriter()
                  .Index(2)
                  .Index(Writer.Name("A"))
                  .Byte(0x22)
                  .DWord(1)
                  .Index(Writer.Name("None"))
                  .Index(Writer.Name("None"))
                  .Data());
    Writer.AddExport(Writer.ImportClass("Engine", "LevelSummary"), "LevelSummary", Props.Bytes(),
                     Level);
    return Writer.Build();
}

// Everything a load leaves in a package, and how it failed.
struct TLoadState
{
    std::string Error;
    TUTGame Game = TUTGame::ugUnknown;
    std::vector<std::pair<std::string, std::uint32_t>> Names;
    std::vector<std::array<std::int64_t, 8>> Exports;
    std::vector<std::array<std::int32_t, 4>> Imports;
    std::vector<TUTGuid> Heritage;
    std::vector<std::pair<std::int32_t, std::int32_t>> Generations;
    std::vector<TUTRegion> Unread;
    bool operator==(const TLoadState&) const = default;
};

// Loads File with the tables decoded in bulk, or field by field as while fields are reported.
TLoadState LoadState(const std::string& File, bool FieldByField)
{
    TLoadState State;
    TUTPackage Package;
    if (FieldByField) {
        Package.NotifyReads = true;
        Package.OnReadField = [](TUTReadFormat, TUTReadHint, std::int64_t, std::int64_t,
                                 std::string_view) {};
    }
    try {
        Package.LoadFromFile(File);
    } catch (const EUTReaderError& Error) {
        State.Error = Error.what();
    }
    State.Game = Package.Game();
    for (int I = 0; I < Package.GetNameCount(); ++I) {
        State.Names.emplace_back(Package.GetName(I), Package.GetNameFlags(I));
    }
    for (int I = 0; I < Package.GetExportCount(); ++I) {
        const TUTExportTableObjectData& E = *Package.GetExport(I);
        State.Exports.push_back({E.Class(), E.Super(), E.Group(), E.Object(), E.Flags(),
                                 E.SerialSize(), E.SerialOffset(), E.ExportIndex()});
    }
    for (int I = 0; I < Package.GetImportCount(); ++I) {
        const TUTImportTableObjectData& Import = *Package.GetImport(I);
        State.Imports.push_back(
            {Import.ClassPackage(), Import.Class(), Import.PackageRef(), Import.Object()});
    }
    State.Heritage = Package.HeritageTable();
    for (const TUTGenerationInfo& Generation : Package.GenerationInfo()) {
        State.Generations.emplace_back(Generation.ExportCount, Generation.NameCount);
    }
    State.Unread = Package.UnreadRegions();
    return State;
}

// Tables large enough that their bytes come in several reads, in every header form.
std::vector<std::pair<std::string, TBytes>> TablePackages()
{
    std::vector<std::pair<std::string, TBytes>> Result;
    auto Make = [&](const std::string& Name, std::uint16_t Version, std::uint16_t Licensee,
                    bool SecondLengthByte, int Exports) {
        TPackageWriter Writer;
        Writer.Version = Version;
        Writer.LicenseeMode = Licensee;
        Writer.SecondLengthByte = SecondLengthByte;
        Writer.WithMarker = Version >= 68 && Exports % 2 == 1;
        const std::int32_t Class = Writer.ImportClass("Engine", "StaticMeshActor");
        const std::int32_t Group = Writer.AddExport(Class, "myLevel", {1, 2, 3});
        for (int I = 0; I < Exports; ++I) {
            // Names of every length up to the longest a length byte allows.
            const std::string Name = "Actor" + std::to_string(I) +
                                     std::string(static_cast<std::size_t>(I * 7 % 240), 'x');
            Writer.AddExport(Class, Name, TBytes(static_cast<std::size_t>(I % 5), 7),
                             I % 3 == 0 ? Group : 0);
        }
        Result.emplace_back(Name, Writer.Build());
    };
    Make("Big.ut2", 128, 29, false, 1500);
    Make("Odd.ut2", 128, 29, false, 301);
    Make("Champ.u", 119, 30, true, 700);
    Make("Old.u", 61, 0, false, 400);
    return Result;
}

} // namespace

TEST(DamagedPackage, BulkAndFieldByFieldTableReadersAgree)
{
    TTempFolder Temp;
    std::mt19937 Random(20261208);
    for (const auto& [Name, Good] : TablePackages()) {
        const std::string File = Temp.Write(Name, Good);
        const TLoadState Whole = LoadState(File, false);
        ASSERT_TRUE(Whole.Error.empty()) << Name << ": " << Whole.Error;
        ASSERT_EQ(Whole, LoadState(File, true)) << Name;
        // Cuts near the end, where entries run out, and anywhere else; then damage.
        std::vector<std::size_t> Lengths;
        for (std::size_t Cut = 0; Cut < 300 && Cut < Good.size(); ++Cut) {
            Lengths.push_back(Good.size() - Cut);
        }
        for (int I = 0; I < 100; ++I) {
            Lengths.push_back(Random() % Good.size());
        }
        for (const std::size_t Length : Lengths) {
            Temp.Write(Name,
                       TBytes(Good.begin(), Good.begin() + static_cast<std::ptrdiff_t>(Length)));
            ASSERT_EQ(LoadState(File, false), LoadState(File, true))
                << Name << " cut at " << Length;
        }
        for (int Round = 0; Round < 150; ++Round) {
            TBytes Bad = Good;
            for (int I = 0; I < 3; ++I) {
                // Mostly in the tables, which lie at both ends of the file.
                const std::size_t Span = std::min<std::size_t>(Bad.size(), 4096);
                const std::size_t At =
                    Random() % 2 == 0 ? Random() % Span : Bad.size() - 1 - Random() % Span;
                Bad[At] = static_cast<std::uint8_t>(Random());
            }
            Temp.Write(Name, Bad);
            ASSERT_EQ(LoadState(File, false), LoadState(File, true)) << Name << " round " << Round;
        }
    }
}

TEST(DamagedPackage, NonPackagesAreRefused)
{
    TTempFolder Temp;
    TUTPackage Package;
    EXPECT_THROW(Package.LoadFromFile(Temp.Write("Three.u", {0xC1, 0x83, 0x2A})),
                 EInvalidUTPackage);
    EXPECT_THROW(Package.LoadFromFile(Temp.Write("Big.u", {0x9E, 0x2A, 0x83, 0xC1, 0, 0, 0, 0})),
                 EInvalidUTPackage);
    EXPECT_THROW(
        Package.LoadFromFile(Temp.Write("Cache.uxx", {0xC2, 0x83, 0x2A, 0x9E, 0, 0, 0, 0})),
        EInvalidUTPackage);
    try {
        Package.LoadFromFile(Temp.Write("Four.u", {0xC1, 0x83, 0x2A, 0x9E}));
        FAIL() << "a lone signature loaded";
    } catch (const EProcessingUTPackage& Error) {
        EXPECT_EQ(std::string(Error.what()),
                  "Exception processing package " + Temp.Path("Four.u") +
                      "\r\nThe header at offset 4 runs past the end of the file (4 bytes)");
    }
    EXPECT_THROW(Package.LoadFromFile(Temp.Path("")), EProcessingUTPackage);
    try {
        Package.LoadFromFile(Temp.Path("Missing.u"));
        ADD_FAILURE() << "a missing file loaded";
    } catch (const EProcessingUTPackage& Error) {
        EXPECT_NE(std::string(Error.what()).find("Cannot open file"), std::string::npos);
    }
    EXPECT_EQ(Package.StreamCount(), 0);
}

TEST(DamagedPackage, HugeCountsAndOffsetsFailBeforeAnyAllocation)
{
    TTempFolder Temp;
    const TBytes Good = SamplePackage();
    struct TCase
    {
        std::size_t Offset;
        std::uint32_t Value;
    };
    // Counts and offsets of the header, then the generation count.
    const TCase Cases[] = {{12, 0xFFFFFFFF}, {12, 0x7FFFFFFF}, {16, 0xFFFFFFF0}, {20, 0xFFFFFFFF},
                           {24, 0x80000000}, {28, 0x40000000}, {32, 0xFFFFFFFF}, {52, 0xFFFFFFFF}};
    for (const TCase& Case : Cases) {
        TBytes Bad = Good;
        PutDWord(Bad, Case.Offset, Case.Value);
        TUTPackage Package;
        int LastProgress = -1;
        Package.OnProgress = [&](TUTPackage&, int Percent) { LastProgress = Percent; };
        EXPECT_THROW(Package.LoadFromFile(Temp.Write("Bad.u", Bad)), EProcessingUTPackage)
            << Case.Offset;
        EXPECT_EQ(LastProgress, 100);
        EXPECT_EQ(Package.StreamCount(), 0);
    }
    // Entries read before the failure stay.
    TBytes Bad = Good;
    PutDWord(Bad, 20, 0xFFFFFFFF);
    TUTPackage Package;
    EXPECT_THROW(Package.LoadFromFile(Temp.Write("Bad.u", Bad)), EProcessingUTPackage);
    EXPECT_GT(Package.GetNameCount(), 0);
    EXPECT_EQ(Package.GetExportCount(), 0);
}

TEST(DamagedPackage, ObjectDataOutsideTheFileIsAReadError)
{
    TTempFolder Temp;
    for (const auto& [Size, Offset] : std::vector<std::pair<std::int32_t, std::int32_t>>{
             {0x7FFFFFFF, 40}, {100, 0x7FFFFFF0}, {100, -50}, {-5, 40}}) {
        TPackageWriter Writer;
        const std::int32_t Ref = Writer.AddExport(Writer.ImportClass("Engine", "Actor"), "A", {0});
        Writer.Export(Ref).SerialSizeOverride = Size;
        Writer.Export(Ref).SerialOffsetOverride = Offset;
        TUTPackage Package;
        Package.LoadFromFile(Temp.Write("Far.u", Writer.Build()));
        TUTObject& Object = Package.GetExport(0)->GetUTObject();
        if (Size <= 0) {
            EXPECT_NO_THROW(Object.ReadObject(true));
            EXPECT_EQ(Object.GetProperties().Count(), 0);
        } else {
            EXPECT_THROW(Object.ReadObject(true), EReadError);
            EXPECT_THROW(Object.GetProperties(), EAssertionFailed);
        }
        Object.ReleaseObject();
        EXPECT_EQ(Package.StreamCount(), 0);
    }
}

TEST(DamagedPackage, EveryTruncationFailsSayingWhere)
{
    TTempFolder Temp;
    const TBytes Good = SamplePackage();
    for (std::size_t Length = 4; Length < Good.size(); ++Length) {
        SCOPED_TRACE("cut at " + std::to_string(Length));
        TUTPackage Package;
        try {
            Package.LoadFromFile(Temp.Write(
                "Cut.u", TBytes(Good.begin(), Good.begin() + static_cast<std::ptrdiff_t>(Length))));
            ReadEverything(Package);
        } catch (const EProcessingUTPackage& Error) {
            // The table entry that failed is the first one the table does not keep.
            const std::string Text = Error.what();
            EXPECT_NE(Text.find(" at offset "), std::string::npos) << Text;
            const std::pair<const char*, int> Tables[] = {
                {"Name table entry ", Package.GetNameCount()},
                {"Export table entry ", Package.GetExportCount()},
                {"Import table entry ", Package.GetImportCount()}};
            for (const auto& [Table, Kept] : Tables) {
                if (const auto At = Text.find(Table); At != std::string::npos) {
                    EXPECT_EQ(std::stoi(Text.substr(At + std::string(Table).size())), Kept);
                }
            }
        }
        EXPECT_EQ(Package.StreamCount(), 0);
    }
}

namespace {

// Per export: its properties' descriptions, or the failure that reading them gave.
std::vector<std::string> ObjectTexts(const std::string& File)
{
    TUTPackage Package;
    Package.LoadFromFile(File);
    std::vector<std::string> Texts;
    for (int I = 0; I < Package.GetExportCount(); ++I) {
        TUTObject& Object = Package.GetExport(I)->GetUTObject();
        std::string Text;
        try {
            Object.ReadObject(true);
            for (const auto& Prop : Object.GetProperties().Items()) {
                Text += Prop->GetDescription() + "\n";
            }
        } catch (const EUTReaderError& Error) {
            Text += "!" + std::string(Error.what());
        }
        Object.ReleaseObject();
        Texts.push_back(Text);
    }
    EXPECT_EQ(Package.StreamCount(), 0);
    return Texts;
}

} // namespace

TEST(DamagedPackage, RandomDamageGivesWhatItsPlaceDemands)
{
    // Damage to the signature is a refusal. Damage only to objects' data leaves the tables of
    // the good file and every other object's values as they were. Any other damage gives
    // tables or a load failure that says where. Every failure says where it happened.
    TTempFolder Temp;
    const TBytes Good = SamplePackage();
    const std::string GoodFile = Temp.Write("Good.u", Good);
    const TLoadState GoodState = LoadState(GoodFile, false);
    ASSERT_TRUE(GoodState.Error.empty());
    const std::vector<std::string> GoodTexts = ObjectTexts(GoodFile);
    std::vector<std::pair<std::size_t, std::size_t>> Data; // per export: [start, end)
    for (const auto& Export : GoodState.Exports) {
        Data.emplace_back(static_cast<std::size_t>(Export[6]),
                          static_cast<std::size_t>(Export[6] + Export[5]));
    }
    const auto DataOf = [&](std::size_t At) {
        for (std::size_t I = 0; I < Data.size(); ++I) {
            if (At >= Data[I].first && At < Data[I].second) {
                return static_cast<int>(I);
            }
        }
        return -1;
    };
    const auto SaysWhere = [](const std::string& Text) {
        return Text.find("export ") != std::string::npos ||
               Text.find("Export ") != std::string::npos;
    };
    std::mt19937 Random(20261207);
    int Refused = 0, DataOnly = 0, Failed = 0;
    for (int Round = 0; Round < 1500; ++Round) {
        TBytes Bad = Good;
        bool Signature = false;
        bool Tables = false;
        std::vector<bool> Touched(Data.size(), false);
        const int Changes = 1 + static_cast<int>(Random() % 4);
        for (int I = 0; I < Changes; ++I) {
            const std::size_t At = Random() % Bad.size();
            const auto Byte = static_cast<std::uint8_t>(Random());
            if (Bad[At] == Byte) {
                continue;
            }
            Bad[At] = Byte;
            Signature = Signature || At < 4;
            const int Object = DataOf(At);
            Tables = Tables || Object < 0;
            if (Object >= 0) {
                Touched[static_cast<std::size_t>(Object)] = true;
            }
        }
        const std::string File = Temp.Write("Bad.u", Bad);
        SCOPED_TRACE("round " + std::to_string(Round));
        if (Signature) {
            TUTPackage Package;
            EXPECT_THROW(Package.LoadFromFile(File), EInvalidUTPackage);
            ++Refused;
            continue;
        }
        const TLoadState State = LoadState(File, false);
        if (!Tables) {
            ++DataOnly;
            EXPECT_EQ(State, GoodState);
        } else if (!State.Error.empty()) {
            ++Failed;
            EXPECT_EQ(State.Error.rfind("Exception processing package " + File + "\r\n", 0), 0u)
                << State.Error;
            EXPECT_TRUE(State.Error.find(" at offset ") != std::string::npos ||
                        State.Error.find("flag 0x20") != std::string::npos)
                << State.Error;
            continue;
        }
        const std::vector<std::string> Texts = ObjectTexts(File);
        for (std::size_t I = 0; I < Texts.size(); ++I) {
            if (!Tables && !Touched[I]) {
                EXPECT_EQ(Texts[I], GoodTexts[I]) << "export " << I;
            }
            if (const auto Failure = Texts[I].find('!'); Failure != std::string::npos) {
                EXPECT_TRUE(SaysWhere(Texts[I].substr(Failure))) << Texts[I];
            }
        }
    }
    // Each kind of damage came up often enough to count.
    EXPECT_GT(Refused, 20);
    EXPECT_GT(DataOnly, 50);
    EXPECT_GT(Failed, 100);
}

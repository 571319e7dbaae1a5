#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

namespace {

// A package of one export; Tweak sets the writer's header fields first.
TBytes SmallPackage(std::uint16_t Version, std::uint16_t Licensee,
                    const std::function<void(TPackageWriter&)>& Tweak = {})
{
    TPackageWriter Writer;
    Writer.Version = Version;
    Writer.LicenseeMode = Licensee;
    if (Tweak) {
        Tweak(Writer);
    }
    Writer.AddExport(Writer.ImportClass("Engine", "Actor"), "Thing", {0});
    return Writer.Build();
}

std::int32_t DecodeIndex(const TBytes& Bytes, std::int32_t& Position)
{
    return ReadCompactIndexFromBuffer(Bytes, Position);
}

} // namespace

TEST(CompactIndex, DecodesTheDocumentedVectors)
{
    struct TCase
    {
        TBytes Bytes;
        std::int32_t Value;
        std::int32_t Length;
    };
    const TCase Cases[] = {
        {{0x05}, 5, 1},
        {{0x85}, -5, 1},
        {{0x45, 0x01}, 69, 2},
        {{0x40, 0x80, 0x01}, 8192, 3},
        {{0x05, 0xFF, 0xFF}, 5, 1}, // bit 6 clear ends the index whatever follows
        {{0x00}, 0, 1},
        // The fifth byte's top three bits fall off in 32-bit arithmetic.
        {{0x7F, 0xFF, 0xFF, 0xFF, 0xFF}, -1, 5},
    };
    for (const TCase& Case : Cases) {
        std::int32_t Position = 0;
        EXPECT_EQ(DecodeIndex(Case.Bytes, Position), Case.Value);
        EXPECT_EQ(Position, Case.Length);
    }
}

TEST(CompactIndex, RoundTripsTheExtremes)
{
    for (const std::int32_t Value : {INT_MIN, INT_MIN + 1, -8192, -64, -63, 63, 64, 8191, 8192,
                                     (1 << 20), (1 << 27) - 1, (1 << 27), INT_MAX}) {
        const TBytes Bytes = EncodeCompactIndex(Value);
        std::int32_t Position = 0;
        EXPECT_EQ(DecodeIndex(Bytes, Position), Value) << Value;
        EXPECT_EQ(Position, static_cast<std::int32_t>(Bytes.size()));
    }
}

TEST(CompactIndex, RefusesToReadPastTheBuffer)
{
    const TBytes Cut = {0x40, 0x80};
    std::int32_t Position = 0;
    EXPECT_THROW(DecodeIndex(Cut, Position), EReadError);
    EXPECT_EQ(Position, 0);
    Position = 2;
    EXPECT_THROW(DecodeIndex(Cut, Position), EReadError);
    Position = -1;
    EXPECT_THROW(DecodeIndex(Cut, Position), EReadError);

    TUTPackage Package;
    TUTMemoryStream Stream(Cut);
    EXPECT_THROW(Package.ReadIndex(&Stream), EReadError);
}

TEST(NameStrings, FollowThePackageVersionAndGame)
{
    TTempFolder Temp;
    TUTPackage Package;
    Package.LoadFromFile(Temp.Write("New.u", SmallPackage(128, 29)));
    TUTMemoryStream Counted(TBytes{5, 'a', 'b', 'c', 'd', 0, 0});
    EXPECT_EQ(Package.ReadName(&Counted), "abcd");
    EXPECT_EQ(Package.ReadName(&Counted), "");
    TUTMemoryStream Short(TBytes{9, 'a'});
    EXPECT_THROW(Package.ReadName(&Short), EReadError);

    Package.LoadFromFile(Temp.Write("Old.u", SmallPackage(61, 0)));
    ASSERT_EQ(Package.GetName(2), "Engine");
    TUTMemoryStream Terminated(TBytes{'x', 'y', 0, 'z'});
    EXPECT_EQ(Package.ReadName(&Terminated), "xy");
    EXPECT_THROW(Package.ReadZString(&Terminated), EReadError);
}

TEST(NameStrings, SkipTheSecondLengthByteOfGame19)
{
    TTempFolder Temp;
    TUTPackage Package;
    Package.LoadFromFile(Temp.Write(
        "Champ.u", SmallPackage(119, 30, [](TPackageWriter& W) { W.SecondLengthByte = true; })));
    ASSERT_EQ(Package.Game(), TUTGame::ugUnrealChampionship);
    EXPECT_EQ(Package.GetExport(0)->GetObjectName(), "Thing");
    TUTMemoryStream Stream(TBytes{4, 0xEE, 'a', 'b', 'c', 'd', 0});
    EXPECT_EQ(Package.ReadName(&Stream), "abcd");
    EXPECT_EQ(Stream.GetPosition(), 7);
}

TEST(Header, ReadsEveryVersionForm)
{
    TTempFolder Temp;
    {
        TUTPackage Package;
        Package.LoadFromFile(Temp.Write("Old.u", SmallPackage(61, 0)));
        EXPECT_EQ(Package.Version(), 61);
        EXPECT_EQ(Package.GetNameCount(), 7);
        EXPECT_EQ(Package.GetExportCount(), 1);
        EXPECT_EQ(Package.GetImportCount(), 2);
        ASSERT_EQ(Package.HeritageTable().size(), 1u);
        EXPECT_EQ(Package.HeritageTable()[0][0], 0xB0);
        EXPECT_TRUE(Package.GenerationInfo().empty());
    }
    {
        TUTPackage Package;
        Package.LoadFromFile(Temp.Write(
            "Gen.u", SmallPackage(128, 29, [](TPackageWriter& W) { W.ExtraGenerations = 2; })));
        ASSERT_EQ(Package.GenerationInfo().size(), 3u);
        EXPECT_EQ(Package.GenerationInfo()[2].ExportCount, 1);
        EXPECT_EQ(Package.GenerationInfo()[2].NameCount, Package.GetNameCount());
        ASSERT_EQ(Package.HeritageTable().size(), 1u);
        EXPECT_EQ(Package.HeritageTable()[0][0], 0xA0);
        EXPECT_EQ(Package.HeritageTable()[0][15], 0xAF);
    }
    {
        // The optional marker before the GUID; it names game 16 when nothing else did.
        TUTPackage Package;
        Package.LoadFromFile(Temp.Write(
            "Marked.u", SmallPackage(100, 5, [](TPackageWriter& W) { W.WithMarker = true; })));
        EXPECT_EQ(Package.Game(), TUTGame::ugSplinterCell);
        EXPECT_EQ(Package.HeritageTable()[0][0], 0xA0);
        EXPECT_EQ(Package.GetExport(0)->GetObjectName(), "Thing");
    }
}

TEST(GameDetection, RunsItsStagesInOrder)
{
    TTempFolder Temp;
    using enum TUTGame;
    struct TCase
    {
        const char* File;
        std::uint16_t Version;
        std::uint16_t Licensee;
        TUTGame Game;
    };
    const TCase Cases[] = {
        {"Map.ut2", 128, 29, ugUnrealTournament2003},
        {"Map2.UT2", 61, 0, ugUnrealTournament2003},
        {"Code.u", 128, 29, ugUnrealTournament2004},
        {"Code.u", 121, 25, ugUnrealTournament2003},
        {"A.u", 69, 0, ugUnrealTournament},
        {"B.u", 61, 0, ugUnreal},
        {"C.u", 85, 0, ugUndying},
        {"D.u", 126, 0, ugDesertThunder},
        {"E.u", 118, 17, ugArmyOperations},
        {"F.u", 123, 20, ugLineage2},
        {"G.u", 120, 8, ugDevastation},
        {"H.u", 100, 2481, ugUnreal2},
        {"I.u", 118, 10, ugUnknown},
        {"Botpack.u", 118, 10, ugUnrealTournament},
        {"Save.sav", 128, 29, ugUndying},
    };
    for (const TCase& Case : Cases) {
        TUTPackage Package;
        Package.LoadFromFile(Temp.Write(Case.File, SmallPackage(Case.Version, Case.Licensee)));
        EXPECT_EQ(Package.Game(), Case.Game) << Case.File << " " << Case.Version;
    }

    // The import stage: a package that imports Botpack is a game 2 package.
    TPackageWriter Writer;
    Writer.Version = 118;
    Writer.LicenseeMode = 10;
    Writer.AddExport(Writer.ImportClass("Botpack", "Bot"), "Thing", {0});
    TUTPackage Importer;
    Importer.LoadFromFile(Temp.Write("Mod.u", Writer.Build()));
    EXPECT_EQ(Importer.Game(), ugUnrealTournament);
    EXPECT_TRUE(Importer.ImportsPackage("botpack"));
    EXPECT_FALSE(Importer.ImportsPackage("Bot"));

    // The hook comes after the extension stage and may override; a given game is kept.
    TUTPackage Hooked;
    TUTGame Seen = ugXIII;
    Hooked.OnDetectGame = [&](TUTPackage&, TUTGame& Game) {
        Seen = Game;
        Game = ugDeusEx;
    };
    Hooked.LoadFromFile(Temp.Path("Map.ut2"));
    EXPECT_EQ(Seen, ugUnrealTournament2003);
    EXPECT_EQ(Hooked.Game(), ugDeusEx);
    // A package whose tables the reader cannot decode is a failure that says so, never an
    // empty package; its header stays.
    TUTPackage Undying;
    try {
        Undying.LoadFromFile(Temp.Write(
            "Save.sac", SmallPackage(128, 29, [](TPackageWriter& W) { W.Flags = 0x21; })));
        ADD_FAILURE() << "loaded nothing without an error";
    } catch (const EProcessingUTPackage& Error) {
        EXPECT_NE(std::string(Error.what()).find("flag 0x20"), std::string::npos) << Error.what();
    }
    EXPECT_EQ(Undying.Game(), ugUndying);
    EXPECT_EQ(Undying.Flags(), 0x21u);
    EXPECT_EQ(Undying.StreamCount(), 0);

    TUTPackage Given;
    Given.LoadFromFile(Temp.Path("Map.ut2"), ugUnrealTournament2004);
    EXPECT_EQ(Given.Game(), ugUnrealTournament2004);
    EXPECT_EQ(GameName(ugUnrealTournament2004), "Unreal Tournament 2004");
    EXPECT_EQ(GameName(ugUnknown), "Unknown");
    EXPECT_EQ(GameName(static_cast<TUTGame>(200)), "Unknown");
}

class PackageTables : public testing::Test
{
protected:
    void SetUp() override
    {
        TPackageWriter Writer;
        const std::int32_t LevelClass = Writer.ImportClass("Engine", "Level");
        const std::int32_t Door = Writer.ImportClass("Engine", "Door");
        Level = Writer.AddExport(LevelClass, "Level", {1, 2, 3, 4});
        DoorRef = Writer.AddExport(Door, "Door", {5, 6}, Level);
        Self = Writer.AddExport(Door, "Self", {7}, 0);
        Writer.Export(Self).Group = Self;
        LoopA = Writer.AddExport(Door, "LoopA", {8}, 0);
        LoopB = Writer.AddExport(Door, "LoopB", {9}, LoopA);
        Writer.Export(LoopA).Group = LoopB;
        Bad = Writer.AddExport(Door, "Bad", {10}, 1000);
        Writer.AddExport(0, "MyClass", {11});
        File = Temp.Write("Tables.u", Writer.Build());
        Package.LoadFromFile(File);
    }

    TTempFolder Temp;
    std::string File;
    TUTPackage Package;
    std::int32_t Level = 0, DoorRef = 0, Self = 0, LoopA = 0, LoopB = 0, Bad = 0;
};

TEST_F(PackageTables, GiveEntriesAndNames)
{
    EXPECT_EQ(Package.GetExportCount(), 7);
    EXPECT_EQ(Package.GetImportCount(), 3);
    const TUTExportTableObjectData* Door = Package.GetExport(DoorRef - 1);
    ASSERT_NE(Door, nullptr);
    EXPECT_EQ(Door->GetObjectName(), "Door");
    EXPECT_EQ(Door->GetClassName(), "Door");
    EXPECT_EQ(Door->GetPackageName(), "Level");
    EXPECT_EQ(Door->SerialSize(), 2);
    EXPECT_EQ(Package.GetExport(6)->GetClassName(), "");
    const TUTImportTableObjectData* Import = Package.GetImport(1);
    ASSERT_NE(Import, nullptr);
    EXPECT_EQ(Import->GetObjectName(), "Level");
    EXPECT_EQ(Import->GetClassName(), "Class");
    EXPECT_EQ(Import->GetPackageName(), "Engine");
    EXPECT_EQ(Package.GetExport(7), nullptr);
    EXPECT_EQ(Package.GetExport(-1), nullptr);
    EXPECT_EQ(Package.GetImport(3), nullptr);
    EXPECT_EQ(Package.GetName(-1), "");
    EXPECT_EQ(Package.GetName(Package.GetNameCount()), "");
    EXPECT_THROW(Package.GetNameChecked(Package.GetNameCount()), EListError);
    EXPECT_EQ(Package.GetNameFlags(0), 0x00070010u);
}

TEST_F(PackageTables, BuildObjectPaths)
{
    EXPECT_EQ(Package.GetObjectPath(-1, DoorRef), "Level.Door");
    EXPECT_EQ(Package.GetObjectPath(1, DoorRef), "Door");
    EXPECT_EQ(Package.GetObjectPath(0, DoorRef), "");
    EXPECT_EQ(Package.GetObjectPath(-1, Self), "Self");
    EXPECT_EQ(Package.GetObjectPath(-1, -2), "Engine.Level");
    EXPECT_EQ(Package.GetObjectPath(-1, Bad), "");
    EXPECT_EQ(Package.GetObjectPath(-1, 100), "");
    EXPECT_EQ(Package.GetObjectPath(-1, INT_MIN), "");
    // A parent chain through two entries loops: stopped, and empty.
    EXPECT_EQ(Package.GetObjectPath(-1, LoopA), "");
    EXPECT_EQ(Package.GetObjectPath(3, LoopA), "LoopA.LoopB.LoopA");
}

TEST_F(PackageTables, FindObjects)
{
    using enum TUTFindKind;
    const TUTFindFields Name = TUTFindFields::ffObjectName;
    const TUTFindFields Path = TUTFindFields::ffPackagePath;
    const TUTFindFields Class = TUTFindFields::ffClassName;
    const TUTFindFields Any = TUTFindFields::ffAny;
    EXPECT_EQ(Package.FindObject(fkName, Any, "", "DOOR", "", 0),
              Package.FindObject(fkName, Any, "", "door", "", 0));
    EXPECT_GE(Package.FindObject(fkName, Any, "", "door", "", 0), 0);
    EXPECT_EQ(Package.FindObject(fkExport, Name, "", "door", "", 0), DoorRef - 1);
    EXPECT_EQ(Package.FindObject(fkExport, Name | Path, "level", "door", "", 0), DoorRef - 1);
    EXPECT_EQ(Package.FindObject(fkExport, Name | Path, "", "door", "", 0), -1);
    EXPECT_EQ(Package.FindObject(fkExport, Class, "", "", "door", 0), DoorRef - 1);
    EXPECT_EQ(Package.FindObject(fkExport, Class, "", "", "door", DoorRef), Self - 1);
    EXPECT_EQ(Package.FindObject(fkExport, Any, "", "", "", 3), 3);
    EXPECT_EQ(Package.FindObject(fkExport, Any, "", "", "", 7), -1);
    EXPECT_EQ(Package.FindObject(fkImport, Name | Path | Class, "engine", "door", "class", 0), 2);
    EXPECT_EQ(Package.FindObject(static_cast<TUTFindKind>(3), Any, "", "", "", 0), -1);
}

TEST_F(PackageTables, ReadAtRestWithTheFileClosed)
{
    EXPECT_EQ(Package.StreamCount(), 0);
    EXPECT_EQ(Package.Stream(), nullptr);
    TUTMemoryStream Copy;
    Package.OpenStream();
    Package.OpenStream();
    EXPECT_EQ(Package.StreamCount(), 2);
    EXPECT_EQ(Package.CopyObjectData(Copy, Package.GetExport(0)->SerialOffset(), 4), 4);
    EXPECT_EQ(Copy.Data(), (TBytes{1, 2, 3, 4}));
    EXPECT_THROW(Package.CopyObjectData(Copy, Package.FileSize() - 2, 4), EReadError);
    Package.CloseStream();
    Package.CloseStream();
    Package.CloseStream();
    EXPECT_EQ(Package.StreamCount(), 0);
    EXPECT_EQ(Package.Stream(), nullptr);
}

TEST(UnreadRegions, CoverWhatNoTableOrDataReads)
{
    TTempFolder Temp;
    TPackageWriter Writer;
    const std::int32_t Class = Writer.ImportClass("Engine", "Actor");
    Writer.AddExport(Class, "A", {1, 2, 3, 4});
    const std::int32_t B = Writer.AddExport(Class, "B", {5, 6, 7, 8, 9, 10});
    TUTPackage Package;
    Package.LoadFromFile(Temp.Write("Full.u", Writer.Build()));
    EXPECT_TRUE(Package.UnreadRegions().empty());

    // Two bytes of B's data that its size leaves out.
    Writer.Export(B).SerialSizeOverride = 4;
    Package.LoadFromFile(Temp.Write("Gap.u", Writer.Build()));
    const std::uint64_t GapStart =
        static_cast<std::uint64_t>(Package.GetExport(1)->SerialOffset()) + 4;
    ASSERT_EQ(Package.UnreadRegions().size(), 1u);
    EXPECT_EQ(Package.UnreadRegions()[0], (TUTRegion{GapStart, 2}));

    Package.MarkRegionRead(GapStart + 1, 0);
    EXPECT_EQ(Package.UnreadRegions().size(), 1u);
    Package.MarkRegionRead(GapStart, 1);
    EXPECT_EQ(Package.UnreadRegions()[0], (TUTRegion{GapStart + 1, 1}));
    Package.ClearUnreadRegions();
    EXPECT_TRUE(Package.UnreadRegions().empty());

    // A range inside a region splits it.
    Writer.Export(B).SerialSizeOverride = 1;
    Package.LoadFromFile(Temp.Write("Gap.u", Writer.Build()));
    ASSERT_EQ(Package.UnreadRegions().size(), 1u);
    Package.MarkRegionRead(GapStart - 2, 2);
    ASSERT_EQ(Package.UnreadRegions().size(), 2u);
    EXPECT_EQ(Package.UnreadRegions()[0], (TUTRegion{GapStart - 3, 1}));
    EXPECT_EQ(Package.UnreadRegions()[1], (TUTRegion{GapStart, 2}));
    Package.MarkRegionRead(0, UINT64_MAX);
    EXPECT_TRUE(Package.UnreadRegions().empty());
}

TEST(UnreadRegions, TakeDataRangesOutOfOrder)
{
    TTempFolder Temp;
    TPackageWriter Writer;
    const std::int32_t Class = Writer.ImportClass("Engine", "Actor");
    const std::int32_t A = Writer.AddExport(Class, "A", TBytes(4, 1));
    const std::int32_t B = Writer.AddExport(Class, "B", TBytes(4, 2));
    const std::int32_t C = Writer.AddExport(Class, "C", TBytes(4, 3));
    TUTPackage Package;
    Package.LoadFromFile(Temp.Write("InOrder.u", Writer.Build()));
    const std::int32_t Data = Package.GetExport(0)->SerialOffset();
    // A covers the last four bytes, B the first two, C the four between: two bytes left.
    Writer.Export(A).SerialOffsetOverride = Data + 8;
    Writer.Export(B).SerialOffsetOverride = Data;
    Writer.Export(B).SerialSizeOverride = 2;
    Writer.Export(C).SerialOffsetOverride = Data + 4;
    Package.LoadFromFile(Temp.Write("Shuffled.u", Writer.Build()));
    ASSERT_EQ(Package.UnreadRegions().size(), 1u);
    EXPECT_EQ(Package.UnreadRegions()[0], (TUTRegion{static_cast<std::uint64_t>(Data) + 2, 2}));
}

TEST(LoadNotifications, ReportProgressAndEveryTopLevelField)
{
    TTempFolder Temp;
    TUTPackage Package;
    std::vector<int> Progress;
    std::vector<std::string> Fields;
    std::vector<TUTReadFormat> Formats;
    Package.OnProgress = [&](TUTPackage&, int Percent) { Progress.push_back(Percent); };
    Package.NotifyReads = true;
    Package.OnReadField = [&](TUTReadFormat Format, TUTReadHint, std::int64_t, std::int64_t,
                              std::string_view Field) {
        Formats.push_back(Format);
        Fields.emplace_back(Field);
    };
    Package.LoadFromFile(Temp.Write("A.u", SmallPackage(128, 29)));
    EXPECT_TRUE(Package.NotifyReads);
    ASSERT_FALSE(Progress.empty());
    EXPECT_EQ(Progress.front(), 0);
    EXPECT_EQ(Progress.back(), 100);
    EXPECT_EQ(Fields.front(), "PackageId");
    const auto Has = [&](const char* Name) {
        return std::find(Fields.begin(), Fields.end(), Name) != Fields.end();
    };
    EXPECT_TRUE(Has("NameTable[1].Name"));
    EXPECT_TRUE(Has("ExportTable[1].SerialOffset"));
    EXPECT_TRUE(Has("ImportTable[2].Package"));
    EXPECT_TRUE(Has("HeritageTable[0].GUID"));
    EXPECT_TRUE(Has("GenerationInfo[0].NameCount"));
    // One notice per table field, none for the bytes a compact index or a name is made of.
    const std::size_t Expected = 10 + 2 /*marker check, GUID*/ + 1 + 2 +
                                 2 * static_cast<std::size_t>(Package.GetNameCount()) + 7 + 4 * 2 +
                                 1;
    EXPECT_EQ(Fields.size(), Expected);

    // A package whose four counts are 0 reports 0 at its start and at its end.
    TBytes Empty(44, 0);
    PutDWord(Empty, 0, 0x9E2A83C1);
    PutDWord(Empty, 4, 61);
    for (std::size_t Offset : {16u, 24u, 32u, 40u}) {
        PutDWord(Empty, Offset, 44);
    }
    TUTPackage Bare;
    std::vector<int> BareProgress;
    Bare.OnProgress = [&](TUTPackage&, int Percent) { BareProgress.push_back(Percent); };
    Bare.LoadFromFile(Temp.Write("Empty.utx", Empty));
    EXPECT_EQ(BareProgress, (std::vector<int>{0, 0}));
    EXPECT_TRUE(Bare.HeritageTable().empty());
}

TEST(SiblingSearch, FindsPackagesWithoutRegardToCaseAndStopsOnCycles)
{
    TTempFolder Temp;
    // The sibling holds the object; its file name differs in letter case.
    TPackageWriter Sibling;
    Sibling.AddExport(Sibling.ImportClass("Core", "Struct"), "Target", {0});
    Temp.Write("mYpKg.U", Sibling.Build());

    TPackageWriter Map;
    const std::int32_t MyPkg = Map.ImportPackage("MyPkg");
    Map.AddImport("Core", "Struct", MyPkg, "Target");
    // Imports whose package names must not lead anywhere but to a plain file beside the map,
    // although files of those names exist.
    Map.AddImport("Core", "Struct", Map.ImportPackage(".."), "Dots");
    Map.AddImport("Core", "Struct", Map.ImportPackage("a/b"), "Slash");
    const std::string MapFile = Temp.Write("Map.ut2", Map.Build());
    for (const char* Name : {"Dots", "Slash"}) {
        TPackageWriter Trap;
        Trap.AddExport(Trap.ImportClass("Core", "Struct"), Name, {0});
        std::filesystem::create_directories(Temp.Path("a"));
        Temp.Write(std::string(Name) == "Dots" ? "...u" : "a/b.u", Trap.Build());
    }

    TUTPackage Package;
    Package.LoadFromFile(MapFile);
    const TUTFindFields NameAndClass = TUTFindFields::ffObjectName | TUTFindFields::ffClassName;
    const TUTFoundObject Found =
        Package.FindObjectInPackages(NameAndClass, "", "Target", "Struct", "");
    ASSERT_EQ(Found.Index, 0);
    ASSERT_NE(Found.Package, &Package);
    EXPECT_EQ(Found.Owned.get(), Found.Package);
    EXPECT_EQ(Found.Package->GetExport(0)->GetObjectName(), "Target");

    for (const char* Name : {"Dots", "Slash"}) {
        const TUTFoundObject Trapped =
            Package.FindObjectInPackages(NameAndClass, "", Name, "Struct", "");
        EXPECT_EQ(Trapped.Index, -1) << Name;
    }

    Package.SearchOtherPackages = false;
    const TUTFoundObject NotSearched =
        Package.FindObjectInPackages(NameAndClass, "", "Target", "Struct", "");
    EXPECT_EQ(NotSearched.Index, -1);
    EXPECT_EQ(NotSearched.Package, nullptr);

    // Two packages that each send the search to the other.
    TPackageWriter A;
    A.AddImport("Core", "Struct", A.ImportPackage("CycleB"), "Missing");
    A.AddImport("Core", "Class", A.ImportPackage("CycleB"), "Owner");
    Temp.Write("CycleA.u", A.Build());
    TPackageWriter B;
    B.AddImport("Core", "Struct", B.ImportPackage("CycleA"), "Missing");
    B.AddImport("Core", "Class", B.ImportPackage("CycleA"), "Owner");
    Temp.Write("CycleB.u", B.Build());
    TUTPackage Cycle;
    Cycle.LoadFromFile(Temp.Path("CycleA.u"));
    std::vector<std::string> Looked;
    Cycle.OnFindPackage = [&](std::string& Name) { Looked.push_back(Name); };
    const TUTFoundObject None =
        Cycle.FindObjectInPackages(NameAndClass, "", "Missing", "Struct", "Owner");
    EXPECT_EQ(None.Index, -1);
    EXPECT_LE(Looked.size(), 4u);
}

#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Reads everything a caller could ask of a package: tables, paths, every object's properties
// and every property's text. Only reader failures may come out.
void ReadEverything(TUTPackage& Package)
{
    for (int I = 0; I < Package.GetExportCount(); ++I) {
        TUTExportTableObjectData* Export = Package.GetExport(I);
        Package.GetObjectPath(-1, I + 1);
        Export->GetClassName();
        TUTObject& Object = Export->GetUTObject();
        try {
            Object.ReadObject(true);
            for (const auto& Prop : Object.GetProperties().Items()) {
                try {
                    Prop->GetDescription();
                } catch (const EUTReaderError&) {
                }
            }
        } catch (const EUTReaderError&) {
        }
        Object.ReleaseObject();
    }
    for (int I = 0; I < Package.GetImportCount(); ++I) {
        Package.GetObjectPath(-1, -I - 1);
    }
}

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

} // namespace

TEST(DamagedPackage, NonPackagesAreRefused)
{
    TTempFolder Temp;
    TUTPackage Package;
    EXPECT_THROW(Package.LoadFromFile(Temp.Write("Three.u", {0xC1, 0x83, 0x2A}), 0),
                 EInvalidUTPackage);
    EXPECT_THROW(Package.LoadFromFile(Temp.Write("Big.u", {0x9E, 0x2A, 0x83, 0xC1, 0, 0, 0, 0}), 0),
                 EInvalidUTPackage);
    EXPECT_THROW(
        Package.LoadFromFile(Temp.Write("Cache.uxx", {0xC2, 0x83, 0x2A, 0x9E, 0, 0, 0, 0}), 0),
        EInvalidUTPackage);
    try {
        Package.LoadFromFile(Temp.Write("Four.u", {0xC1, 0x83, 0x2A, 0x9E}), 0);
        FAIL() << "a lone signature loaded";
    } catch (const EProcessingUTPackage& Error) {
        EXPECT_EQ(std::string(Error.what()),
                  "Exception processing package " + Temp.Path("Four.u") + "\r\nStream read error");
    }
    EXPECT_THROW(Package.LoadFromFile(Temp.Path("Missing.u"), 0), EProcessingUTPackage);
    EXPECT_THROW(Package.LoadFromFile(Temp.Path(""), 0), EProcessingUTPackage);
    EXPECT_EQ(Package.StreamCount(), 0);
    try {
        Package.LoadFromFile(Temp.Path("Missing.u"), 0);
    } catch (const EProcessingUTPackage& Error) {
        EXPECT_NE(std::string(Error.what()).find("Cannot open file"), std::string::npos);
    }
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
        EXPECT_THROW(Package.LoadFromFile(Temp.Write("Bad.u", Bad), 0), EProcessingUTPackage)
            << Case.Offset;
        EXPECT_EQ(LastProgress, 100);
        EXPECT_EQ(Package.StreamCount(), 0);
    }
    // Entries read before the failure stay.
    TBytes Bad = Good;
    PutDWord(Bad, 20, 0xFFFFFFFF);
    TUTPackage Package;
    EXPECT_THROW(Package.LoadFromFile(Temp.Write("Bad.u", Bad), 0), EProcessingUTPackage);
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
        Package.LoadFromFile(Temp.Write("Far.u", Writer.Build()), 0);
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

TEST(DamagedPackage, EveryTruncationFailsCleanly)
{
    TTempFolder Temp;
    const TBytes Good = SamplePackage();
    for (std::size_t Length = 0; Length < Good.size(); ++Length) {
        TUTPackage Package;
        try {
            Package.LoadFromFile(
                Temp.Write("Cut.u", TBytes(Good.begin(),
                                           Good.begin() + static_cast<std::ptrdiff_t>(Length))),
                0);
            ReadEverything(Package);
        } catch (const EUTReaderError&) {
        }
        EXPECT_EQ(Package.StreamCount(), 0);
    }
}

TEST(DamagedPackage, RandomDamageFailsCleanly)
{
    TTempFolder Temp;
    const TBytes Good = SamplePackage();
    std::mt19937 Random(20261207);
    for (int Round = 0; Round < 1500; ++Round) {
        TBytes Bad = Good;
        const int Changes = 1 + static_cast<int>(Random() % 4);
        for (int I = 0; I < Changes; ++I) {
            Bad[Random() % Bad.size()] = static_cast<std::uint8_t>(Random());
        }
        TUTPackage Package;
        try {
            Package.LoadFromFile(Temp.Write("Bad.u", Bad), 0);
            ReadEverything(Package);
        } catch (const EUTReaderError&) {
        }
    }
}

// libFuzzer entry: the input is a package file. Loading it, and reading every object and
// value it holds, may fail only with the reader's own exceptions; and the bulk table reader
// leaves the same tables, regions and failure as the field-by-field one behind read notices.
#include "UT_Packages.h"
#include "ReadEverything.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

const std::string& InputFile()
{
    static const std::string File = [] {
        const auto Folder =
            std::filesystem::temp_directory_path() / ("kova-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(Folder);
        return (Folder / "Input.ut2").string();
    }();
    return File;
}

// The tables and the failure of a load, as text.
std::string Tables(TUTPackage& Package, const std::string& Error)
{
    std::string Text = Error + "\n";
    for (int I = 0; I < Package.GetNameCount(); ++I) {
        Text +=
            std::string(Package.GetName(I)) + " " + std::to_string(Package.GetNameFlags(I)) + "\n";
    }
    for (int I = 0; I < Package.GetExportCount(); ++I) {
        const TUTExportTableObjectData& E = *Package.GetExport(I);
        for (const std::int64_t Field :
             {std::int64_t(E.Class()), std::int64_t(E.Super()), std::int64_t(E.Group()),
              std::int64_t(E.Object()), std::int64_t(E.Flags()), std::int64_t(E.SerialSize()),
              std::int64_t(E.SerialOffset()), std::int64_t(E.ExportIndex())}) {
            Text += std::to_string(Field) + " ";
        }
        Text += "\n";
    }
    for (int I = 0; I < Package.GetImportCount(); ++I) {
        const TUTImportTableObjectData& M = *Package.GetImport(I);
        Text += std::to_string(M.ClassPackage()) + " " + std::to_string(M.Class()) + " " +
                std::to_string(M.PackageRef()) + " " + std::to_string(M.Object()) + "\n";
    }
    for (const TUTGuid& Guid : Package.HeritageTable()) {
        Text += std::string(Guid.begin(), Guid.end());
    }
    for (const TUTGenerationInfo& Generation : Package.GenerationInfo()) {
        Text += std::to_string(Generation.ExportCount) + " " +
                std::to_string(Generation.NameCount) + "\n";
    }
    for (const TUTRegion& Region : Package.UnreadRegions()) {
        Text += std::to_string(Region.Start) + "+" + std::to_string(Region.Length) + "\n";
    }
    return Text + std::string(GameName(Package.Game()));
}

void CompareTableReaders(TUTPackage& Package, const std::string& Error)
{
    TUTPackage Notified;
    Notified.NotifyReads = true;
    Notified.OnReadField = [](TUTReadFormat, TUTReadHint, std::int64_t, std::int64_t,
                              std::string_view) {};
    std::string NotifiedError;
    try {
        Notified.LoadFromFile(InputFile());
    } catch (const EUTReaderError& Failure) {
        NotifiedError = Failure.what();
    }
    if (Tables(Package, Error) != Tables(Notified, NotifiedError)) {
        std::fprintf(stderr, "The table readers disagree\n");
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    std::FILE* Out = std::fopen(InputFile().c_str(), "wb");
    if (Out == nullptr) {
        return 0;
    }
    std::fwrite(Data, 1, Size, Out);
    std::fclose(Out);

    TUTPackage Package;
    try {
        Package.LoadFromFile(InputFile());
    } catch (const EUTReaderError& Error) {
        CompareTableReaders(Package, Error.what());
        return 0;
    }
    CompareTableReaders(Package, {});
    Package.FindObject(TUTFindKind::fkExport,
                       TUTFindFields::ffObjectName | TUTFindFields::ffPackagePath |
                           TUTFindFields::ffClassName,
                       "mylevel", "levelsummary", "levelsummary", 0);
#ifdef KOVA_FUZZ_TABLES_ONLY
    for (int I = 0; I < Package.GetImportCount(); ++I) {
        Package.GetObjectPath(-1, -I - 1);
        Package.GetImport(I)->GetClassName();
    }
#else
    ReadEverything(Package);
#endif
    return 0;
}

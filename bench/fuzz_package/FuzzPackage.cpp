// libFuzzer entry: the input is a package file. Loading it, and reading every object and
// value it holds, may fail only with the reader's own exceptions.
#include "UT_Packages.h"

#include <cstdio>
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

#ifndef KOVA_FUZZ_TABLES_ONLY
void ReadObjects(TUTPackage& Package)
{
    for (int I = 0; I < Package.GetExportCount(); ++I) {
        TUTExportTableObjectData* Export = Package.GetExport(I);
        Export->GetPackageName();
        TUTObject& Object = Export->GetUTObject();
        try {
            Object.ReadObject(true);
            for (const auto& Prop : Object.GetProperties().Items()) {
                try {
                    Prop->GetDescription();
                    Prop->GetValue();
                } catch (const EUTReaderError&) {
                }
            }
        } catch (const EUTReaderError&) {
        }
        Object.ReleaseObject();
    }
}
#endif

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
        Package.LoadFromFile(InputFile(), 0);
    } catch (const EUTReaderError&) {
        return 0;
    }
    for (int I = 0; I < Package.GetImportCount(); ++I) {
        Package.GetObjectPath(-1, -I - 1);
        Package.GetImport(I)->GetClassName();
    }
    Package.FindObject(1, 1 | 2 | 4, "mylevel", "levelsummary", "levelsummary", 0);
#ifndef KOVA_FUZZ_TABLES_ONLY
    ReadObjects(Package);
#endif
    return 0;
}

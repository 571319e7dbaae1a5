#pragma once

#include "TPackageWriter.h"
#include "UT_Packages.h"

#include <filesystem>
#include <random>
#include <string>

// A fresh temporary folder, removed with its content when the object goes.
class TTempFolder final
{
public:
    TTempFolder()
    {
        std::random_device Random;
        FPath = std::filesystem::temp_directory_path() /
                ("kova-reader-" + std::to_string(Random()) + std::to_string(Random()));
        std::filesystem::create_directories(FPath);
    }
    ~TTempFolder()
    {
        std::error_code Error;
        std::filesystem::remove_all(FPath, Error);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    std::string Path(const std::string& Name) const { return (FPath / Name).string(); }
    std::string Write(const std::string& Name, const TBytes& Bytes) const
    {
        const std::string File = Path(Name);
        WritePackageFile(File, Bytes);
        return File;
    }

private:
    std::filesystem::path FPath;
};

// The folder of the real game files, or empty when it is not on this machine.
inline std::string RealDataFolder()
{
    const std::filesystem::path Folder(KOVA_REALDATA_DIR);
    std::error_code Error;
    return std::filesystem::is_directory(Folder / "Maps", Error) ? Folder.string() : std::string();
}

inline void PutDWord(TBytes& Bytes, std::size_t Offset, std::uint32_t Value)
{
    for (int I = 0; I < 4; ++I) {
        Bytes[Offset + static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(Value >> (8 * I));
    }
}

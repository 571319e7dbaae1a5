#pragma once

// Shared by the package reader's benchmarks: temporary files and the plain read that a
// package read is measured against.

#include <cstdint>
#include <cstdio>
#include <random>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// A temporary folder for generated packages, removed at exit.
class TBenchFolder final
{
public:
    TBenchFolder()
        : FPath(std::filesystem::temp_directory_path() /
                ("kova-bench-" + std::to_string(std::random_device()())))
    {
        std::filesystem::create_directories(FPath);
    }
    ~TBenchFolder()
    {
        std::error_code Error;
        std::filesystem::remove_all(FPath, Error);
    }
    std::string Path(const std::string& Name) const { return (FPath / Name).string(); }

private:
    std::filesystem::path FPath;
};

using TByteRanges = std::vector<std::pair<std::int64_t, std::int64_t>>; // offset, length

// Opens the file, reads the ranges as a plain program would, closes it; the byte count read.
inline std::int64_t PlainRead(const std::string& File, const TByteRanges& Ranges,
                              std::vector<char>& Buffer)
{
    std::FILE* In = std::fopen(File.c_str(), "rb");
    if (In == nullptr) {
        return 0;
    }
    std::setvbuf(In, nullptr, _IONBF, 0);
    std::int64_t Total = 0;
    for (const auto& [Offset, Length] : Ranges) {
        if (Buffer.size() < static_cast<std::size_t>(Length)) {
            Buffer.resize(static_cast<std::size_t>(Length));
        }
        std::fseek(In, static_cast<long>(Offset), SEEK_SET);
        Total += static_cast<std::int64_t>(
            std::fread(Buffer.data(), 1, static_cast<std::size_t>(Length), In));
    }
    std::fclose(In);
    return Total;
}

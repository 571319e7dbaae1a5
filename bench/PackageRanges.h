#pragma once

// The bytes the package reader must touch, for the benchmarks that measure it against a plain
// read of them.

#include "BenchFiles.h"
#include "UT_Packages.h"

#include <algorithm>
#include <cstdio>

// Header, name table and the import and export tables of a loaded package, as the game lays
// them out: the names right after the header, both other tables at the end of the file.
inline TByteRanges TableRanges(const std::string& File, const TUTPackage& Package)
{
    std::int64_t FirstData = Package.FileSize();
    for (int I = 0; I < Package.GetExportCount(); ++I) {
        const TUTExportTableObjectData* Export = Package.GetExport(I);
        if (Export->SerialSize() > 0) {
            FirstData = std::min<std::int64_t>(FirstData, Export->SerialOffset());
        }
    }
    std::FILE* In = std::fopen(File.c_str(), "rb");
    std::uint32_t Header[9] = {};
    if (In != nullptr) {
        if (std::fread(Header, 4, 9, In) != 9) {
            Header[6] = Header[8] = 0;
        }
        std::fclose(In);
    }
    const std::int64_t Tables = std::min<std::int64_t>(Header[6], Header[8]);
    return {{0, FirstData}, {Tables, Package.FileSize() - Tables}};
}

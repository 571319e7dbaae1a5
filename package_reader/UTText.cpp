#include "UTText.h"

namespace {

// The code points of bytes 0x80-0x9F in Windows-1252; 0 where the code page has none.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

std::string UTEscapeControls(std::string_view S)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string Result;
    Result.reserve(S.size());
    for (const char C : S) {
        const auto B = static_cast<unsigned char>(C);
        if (B < 0x20 || B == 0x7F) {
            Result += "\\x";
            Result += Hex[B >> 4];
            Result += Hex[B & 0x0F];
        } else {
            Result += C;
        }
    }
    return Result;
}

std::string UTUtf16ToWindows1252(std::u16string_view S)
{
    std::string Result;
    Result.reserve(S.size());
    for (const char16_t Unit : S) {
        if (Unit < 0x80 || (Unit >= 0xA0 && Unit <= 0xFF)) {
            Result += static_cast<char>(Unit);
            continue;
        }
        char Byte = '?';
        for (int I = 0; I < 32; ++I) {
            if (Windows1252High[I] != 0 && Windows1252High[I] == Unit) {
                Byte = static_cast<char>(0x80 + I);
                break;
            }
        }
        Result += Byte;
    }
    return Result;
}

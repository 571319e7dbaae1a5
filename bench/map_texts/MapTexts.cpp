// Prints "file<TAB>title<TAB>author<TAB>description" for each map named on the command line
// ("?" for a missing text, texts in UTF-8), and the time each took on standard error.
#include "MapTextsRead.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace {

// Code points of bytes 0x80-0x9F in Windows-1252 (0: unassigned, kept as the byte's value).
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void PutUtf8(std::string& Out, char32_t Code)
{
    // Line structure of the output is ours: control characters become spaces.
    if (Code < 0x20 || Code == 0x7F) {
        Out += ' ';
    } else if (Code < 0x80) {
        Out += static_cast<char>(Code);
    } else if (Code < 0x800) {
        Out += static_cast<char>(0xC0 | (Code >> 6));
        Out += static_cast<char>(0x80 | (Code & 0x3F));
    } else if (Code < 0x10000) {
        Out += static_cast<char>(0xE0 | (Code >> 12));
        Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (Code & 0x3F));
    } else {
        Out += static_cast<char>(0xF0 | (Code >> 18));
        Out += static_cast<char>(0x80 | ((Code >> 12) & 0x3F));
        Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (Code & 0x3F));
    }
}

std::string AsUtf8(const std::optional<TUTValue>& Value)
{
    if (!Value) {
        return "?";
    }
    std::string Out;
    if (const auto* Bytes = std::get_if<std::string>(&*Value)) {
        for (const char C : *Bytes) {
            const auto B = static_cast<unsigned char>(C);
            const char16_t Mapped = (B >= 0x80 && B < 0xA0) ? Windows1252High[B - 0x80] : 0;
            PutUtf8(Out, Mapped != 0 ? Mapped : B);
        }
    } else if (const auto* Units = std::get_if<std::u16string>(&*Value)) {
        for (std::size_t I = 0; I < Units->size(); ++I) {
            char32_t Code = (*Units)[I];
            if (Code >= 0xD800 && Code < 0xDC00 && I + 1 < Units->size() &&
                (*Units)[I + 1] >= 0xDC00 && (*Units)[I + 1] < 0xE000) {
                Code = 0x10000 + ((Code - 0xD800) << 10) + ((*Units)[++I] - 0xDC00);
            }
            PutUtf8(Out, Code);
        }
    } else {
        return "?";
    }
    return Out;
}

} // namespace

int main(int Argc, char** Argv)
{
    using TClock = std::chrono::steady_clock;
    const auto Start = TClock::now();
    int Failed = 0;
    for (int I = 1; I < Argc; ++I) {
        const auto FileStart = TClock::now();
        const std::string Name = std::filesystem::path(Argv[I]).filename().string();
        try {
            const TMapTextValues Texts = ReadMapTexts(Argv[I]);
            std::printf("%s\t%s\t%s\t%s\n", Name.c_str(), AsUtf8(Texts.Title).c_str(),
                        AsUtf8(Texts.Author).c_str(), AsUtf8(Texts.Description).c_str());
        } catch (const std::exception& Error) {
            std::printf("%s\t?\t?\t?\n", Name.c_str());
            std::fprintf(stderr, "%s: %s\n", Argv[I], Error.what());
            ++Failed;
        }
        const std::chrono::duration<double, std::micro> Took = TClock::now() - FileStart;
        std::fprintf(stderr, "%s: %.1f us\n", Name.c_str(), Took.count());
    }
    const std::chrono::duration<double, std::milli> Total = TClock::now() - Start;
    std::fprintf(stderr, "%d file(s) in %.3f ms\n", Argc - 1, Total.count());
    return Failed == 0 ? 0 : 1;
}

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text helpers of the reader. Package texts are 8-bit; letter case is folded for ASCII only,
// as the game does.

inline char UTLowerChar(char C)
{
    return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C;
}

inline std::string UTLowerCase(std::string_view S)
{
    std::string Result(S);
    for (char& C : Result) {
        C = UTLowerChar(C);
    }
    return Result;
}

inline bool UTSameText(std::string_view A, std::string_view B)
{
    if (A.size() != B.size()) {
        return false;
    }
    for (std::size_t I = 0; I < A.size(); ++I) {
        if (UTLowerChar(A[I]) != UTLowerChar(B[I])) {
            return false;
        }
    }
    return true;
}

// S with its control characters written as "\xNN", for texts from a file shown in messages.
std::string UTEscapeControls(std::string_view S);

// Windows-1252 bytes for UTF-16 code units; a code unit the code page lacks becomes "?".
std::string UTUtf16ToWindows1252(std::u16string_view S);

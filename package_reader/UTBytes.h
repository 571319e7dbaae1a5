#pragma once

// The reader's decoders of the file's number forms, each written once and shared by every byte
// source: the tables in memory, the file and memory streams, a property's value bytes.

#include <cstdint>

inline std::uint16_t LoadWord(const std::uint8_t* B)
{
    return static_cast<std::uint16_t>(B[0] | (B[1] << 8));
}

inline std::uint32_t LoadDWord(const std::uint8_t* B)
{
    return static_cast<std::uint32_t>(B[0]) | (static_cast<std::uint32_t>(B[1]) << 8) |
           (static_cast<std::uint32_t>(B[2]) << 16) | (static_cast<std::uint32_t>(B[3]) << 24);
}

// A compact index from the bytes Next gives one at a time (Next fails as its source does when
// the bytes run out). Byte 0: sign (bit 7), more (bit 6), value bits 0-5; each further byte but
// the fifth: more (bit 7), the next 7 value bits; a fifth byte: bits 27 and up, whose top three
// bits fall off in 32-bit arithmetic.
template <class TNext> [[gnu::always_inline]] inline std::int32_t DecodeCompactIndex(TNext&& Next)
{
    const std::uint8_t B0 = Next();
    std::uint32_t Value = B0 & 0x3F;
    if (B0 & 0x40) {
        const std::uint8_t B1 = Next();
        Value |= static_cast<std::uint32_t>(B1 & 0x7F) << 6;
        if (B1 & 0x80) {
            const std::uint8_t B2 = Next();
            Value |= static_cast<std::uint32_t>(B2 & 0x7F) << 13;
            if (B2 & 0x80) {
                const std::uint8_t B3 = Next();
                Value |= static_cast<std::uint32_t>(B3 & 0x7F) << 20;
                if (B3 & 0x80) {
                    Value |= static_cast<std::uint32_t>(Next()) << 27;
                }
            }
        }
    }
    return static_cast<std::int32_t>((B0 & 0x80) ? 0u - Value : Value);
}

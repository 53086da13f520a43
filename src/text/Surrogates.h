#pragma once

#include <cstdint>

namespace plentor {

// UTF-16 surrogates: how a character above U+FFFF is split into a high and a
// low unit and joined again.
class Surrogates {
public:
    static constexpr uint32_t kFirstAstral = 0x10000;     // the first character that needs a pair
    static constexpr uint32_t kLastCodePoint = 0x10FFFF;

    static constexpr bool IsHigh(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
    static constexpr bool IsLow(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
    static constexpr bool IsSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDFFF; }

    // The character a high and a low unit stand for.
    static constexpr uint32_t Combine(uint32_t high, uint32_t low)
    {
        return kFirstAstral + ((high - 0xD800) << 10) + (low - 0xDC00);
    }
    // The units of a character from kFirstAstral to kLastCodePoint.
    static constexpr uint32_t High(uint32_t c) { return 0xD800 + ((c - kFirstAstral) >> 10); }
    static constexpr uint32_t Low(uint32_t c) { return 0xDC00 + ((c - kFirstAstral) & 0x3FF); }
};

} // namespace plentor

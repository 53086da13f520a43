#pragma once

#include <array>
#include <cstdint>

namespace plentor {

// Byte -> UTF-16 table of a single-byte code page: 256 code units, 0 meaning
// unmapped. Byte 0x00 reads as U+0000, so mapped bytes are also flagged apart.
class UnicodeLookup {
public:
    // Records that the byte reads as the unit.
    void Set(uint8_t byte, char16_t unit);

    // The unit of a byte, 0 when the byte is unmapped (or reads as U+0000).
    char16_t Unit(uint8_t byte) const { return units_[byte]; }

    // True when the byte has a mapping (U+0000 included).
    bool IsMapped(uint8_t byte) const { return mapped_[byte]; }

    // Number of mapped bytes.
    unsigned Count() const;

private:
    std::array<char16_t, 256> units_{};
    std::array<bool, 256> mapped_{};
};

} // namespace plentor

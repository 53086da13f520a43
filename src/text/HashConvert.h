#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace plentor {

// Maps between the byte sequences of a code page and UTF-16 code units: the
// whole table of a double-byte code page, or the reverse direction of a
// single-byte one. A sequence is held as a code: the byte itself for a single
// byte, lead * 256 + trail for a pair. Both directions are flat arrays indexed
// by code and by unit, so a conversion costs one lookup per character.
class HashConvert {
public:
    static constexpr uint16_t kNoCode = 0xFFFF;   // lead 0xFF + trail 0xFF is never a character
    static constexpr char16_t kNoUnit = 0xFFFF;   // U+FFFF is a noncharacter, never in a table

    // Adds a sequence that reads as the unit. The first sequence added for a
    // unit is the one written for it, until SetPreferred says otherwise.
    // A code above 0xFF makes its high byte a lead byte.
    void AddSequence(uint16_t code, char16_t unit);

    enum class Reverse { kKeepFirst, kReplace };

    // Adds only the writing direction: the unit is written as code. With
    // kKeepFirst a unit that already has a sequence keeps it.
    void AddReverse(char16_t unit, uint16_t code, Reverse mode = Reverse::kKeepFirst);

    // Chooses which of the sequences reading as the unit is written for it.
    // False when code is not a sequence reading as the unit.
    bool SetPreferred(char16_t unit, uint16_t code);

    // True when the byte starts a two-byte sequence.
    bool IsLeadByte(uint8_t byte) const { return leadBytes_[byte]; }

    // The unit a sequence reads as; false when unmapped.
    bool ToUnicode(uint16_t code, char16_t& unit) const;

    // The sequence written for a unit; false when the unit has none.
    bool FromUnicode(char16_t unit, uint16_t& code) const;

    // Number of sequences added with AddSequence.
    unsigned SequenceCount() const { return sequenceCount_; }

private:
    static constexpr unsigned kTableSize = 0x10000;

    std::vector<char16_t> toUnicode_;     // indexed by code; empty until a sequence is added
    std::vector<uint16_t> fromUnicode_;   // indexed by unit; empty until a unit is added
    std::array<bool, 256> leadBytes_{};
    unsigned sequenceCount_ = 0;
};

} // namespace plentor

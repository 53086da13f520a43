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

    // The unit a sequence reads as; false when unmapped. Inline: the
    // converters look up every character.
    bool ToUnicode(uint16_t code, char16_t& unit) const
    {
        if (toUnicode_.empty() || toUnicode_[code] == kNoUnit)
            return false;
        unit = toUnicode_[code];
        return true;
    }

    // The sequence written for a unit; false when the unit has none.
    bool FromUnicode(char16_t unit, uint16_t& code) const
    {
        if (fromUnicode_.empty() || fromUnicode_[unit] == kNoCode)
            return false;
        code = fromUnicode_[unit];
        return true;
    }

    // The writing direction as a flat array indexed by unit, kNoCode where a
    // unit has none; null when the table writes nothing. For encoders, whose
    // byte stores could alias the table's own fields and force a reload of
    // them for every unit.
    const uint16_t* CodesByUnit() const { return fromUnicode_.empty() ? nullptr : fromUnicode_.data(); }

    // Records whether 7-bit text converts as itself (KeepsAscii); called
    // once the table is complete. Adding to the table clears it.
    void NoteAsciiIdentity();

    // True when every unit below 0x80 is written as the byte of the same
    // value, and each such byte is no lead byte and, in a table that reads,
    // reads as that unit: runs of 7-bit text may be copied without lookups.
    bool KeepsAscii() const { return keepsAscii_; }

    // Number of sequences added with AddSequence.
    unsigned SequenceCount() const { return sequenceCount_; }

private:
    static constexpr unsigned kTableSize = 0x10000;

    std::vector<char16_t> toUnicode_;     // indexed by code; empty until a sequence is added
    std::vector<uint16_t> fromUnicode_;   // indexed by unit; empty until a unit is added
    std::array<bool, 256> leadBytes_{};
    unsigned sequenceCount_ = 0;
    bool keepsAscii_ = false;
};

} // namespace plentor

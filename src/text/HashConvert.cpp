#include "text/HashConvert.h"

namespace plentor {

void HashConvert::AddSequence(uint16_t code, char16_t unit)
{
    if (code == kNoCode || unit == kNoUnit)
        return;
    if (toUnicode_.empty())
        toUnicode_.assign(kTableSize, kNoUnit);
    if (toUnicode_[code] == kNoUnit)
        ++sequenceCount_;
    keepsAscii_ = false;
    toUnicode_[code] = unit;
    if (code > 0xFF)
        leadBytes_[code >> 8] = true;
    AddReverse(unit, code);
}

void HashConvert::AddReverse(char16_t unit, uint16_t code, Reverse mode)
{
    if (code == kNoCode || unit == kNoUnit)
        return;
    if (fromUnicode_.empty())
        fromUnicode_.assign(kTableSize, kNoCode);
    if (mode == Reverse::kReplace || fromUnicode_[unit] == kNoCode)
        fromUnicode_[unit] = code;
    keepsAscii_ = false;
}

bool HashConvert::SetPreferred(char16_t unit, uint16_t code)
{
    char16_t reads;
    if (!ToUnicode(code, reads) || reads != unit)
        return false;
    AddReverse(unit, code, Reverse::kReplace);
    return true;
}

void HashConvert::NoteAsciiIdentity()
{
    keepsAscii_ = false;
    for (char16_t c = 0; c < 0x80; ++c) {
        uint16_t code;
        char16_t unit;
        if (!FromUnicode(c, code) || code != c || leadBytes_[c])
            return;
        if (!toUnicode_.empty() && (!ToUnicode(c, unit) || unit != c))
            return;
    }
    keepsAscii_ = true;
}

} // namespace plentor

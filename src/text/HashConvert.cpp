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
}

bool HashConvert::SetPreferred(char16_t unit, uint16_t code)
{
    char16_t reads;
    if (!ToUnicode(code, reads) || reads != unit)
        return false;
    AddReverse(unit, code, Reverse::kReplace);
    return true;
}

bool HashConvert::ToUnicode(uint16_t code, char16_t& unit) const
{
    if (toUnicode_.empty() || toUnicode_[code] == kNoUnit)
        return false;
    unit = toUnicode_[code];
    return true;
}

bool HashConvert::FromUnicode(char16_t unit, uint16_t& code) const
{
    if (fromUnicode_.empty() || fromUnicode_[unit] == kNoCode)
        return false;
    code = fromUnicode_[unit];
    return true;
}

} // namespace plentor

#include "http/CacheEntry.h"

namespace plentor {

namespace {

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t Get32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

void CacheEntry::EncodeFixed(const Fixed& fixed, uint8_t out[kFixedSize])
{
    Put32(out, fixed.auxCrc);
    Put32(out + 4, fixed.bodyCrc);
    out[8] = fixed.negative;
    out[9] = fixed.flags;
    out[10] = fixed.reserved1;
    out[11] = fixed.reserved2;
    for (int i = 0; i < 4; ++i) {
        out[12 + i] = fixed.storedAt[i];
        out[16 + i] = fixed.secondStamp[i];
    }
    Put32(out + 20, fixed.keyLength);
    Put32(out + 24, fixed.headerBlockLength);
    Put32(out + 28, fixed.bodyBlockLength);
}

CacheEntry::Fixed CacheEntry::DecodeFixed(const uint8_t* bytes)
{
    Fixed fixed;
    fixed.auxCrc = Get32(bytes);
    fixed.bodyCrc = Get32(bytes + 4);
    fixed.negative = bytes[8];
    fixed.flags = bytes[9];
    fixed.reserved1 = bytes[10];
    fixed.reserved2 = bytes[11];
    for (int i = 0; i < 4; ++i) {
        fixed.storedAt[i] = bytes[12 + i];
        fixed.secondStamp[i] = bytes[16 + i];
    }
    fixed.keyLength = Get32(bytes + 20);
    fixed.headerBlockLength = Get32(bytes + 24);
    fixed.bodyBlockLength = Get32(bytes + 28);
    return fixed;
}

} // namespace plentor

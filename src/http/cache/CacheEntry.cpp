#include "http/cache/CacheEntry.h"
#include "text/LittleEndian.h"

namespace plentor {

namespace {

} // namespace

void CacheEntry::EncodeFixed(const Fixed& fixed, uint8_t out[kFixedSize])
{
    LittleEndian::Put32(out, fixed.auxCrc);
    LittleEndian::Put32(out + 4, fixed.bodyCrc);
    out[8] = fixed.negative;
    out[9] = fixed.flags;
    out[10] = fixed.reserved1;
    out[11] = fixed.reserved2;
    for (int i = 0; i < 4; ++i) {
        out[12 + i] = fixed.storedAt[i];
        out[16 + i] = fixed.secondStamp[i];
    }
    LittleEndian::Put32(out + 20, fixed.keyLength);
    LittleEndian::Put32(out + 24, fixed.headerBlockLength);
    LittleEndian::Put32(out + 28, fixed.bodyBlockLength);
}

CacheEntry::Fixed CacheEntry::DecodeFixed(const uint8_t* bytes)
{
    Fixed fixed;
    fixed.auxCrc = LittleEndian::Get32(bytes);
    fixed.bodyCrc = LittleEndian::Get32(bytes + 4);
    fixed.negative = bytes[8];
    fixed.flags = bytes[9];
    fixed.reserved1 = bytes[10];
    fixed.reserved2 = bytes[11];
    for (int i = 0; i < 4; ++i) {
        fixed.storedAt[i] = bytes[12 + i];
        fixed.secondStamp[i] = bytes[16 + i];
    }
    fixed.keyLength = LittleEndian::Get32(bytes + 20);
    fixed.headerBlockLength = LittleEndian::Get32(bytes + 24);
    fixed.bodyBlockLength = LittleEndian::Get32(bytes + 28);
    return fixed;
}

} // namespace plentor

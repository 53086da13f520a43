#include "text/Crc32.h"

#include <zlib.h>

namespace plentor {

namespace {

// zlib's crc32 takes a 32-bit length; longer input is fed in pieces of this size.
constexpr size_t kMaxPiece = 1u << 30;

} // namespace

uint32_t Crc32::Update(uint32_t crc, const void* bytes, size_t n)
{
    const auto* p = static_cast<const Bytef*>(bytes);
    uLong value = crc;
    while (n > 0) {
        size_t piece = n < kMaxPiece ? n : kMaxPiece;
        value = crc32(value, p, static_cast<uInt>(piece));
        p += piece;
        n -= piece;
    }
    return static_cast<uint32_t>(value);
}

} // namespace plentor

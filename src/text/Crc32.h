#pragma once

#include <cstddef>
#include <cstdint>

namespace plentor {

// CRC-32 of zip and ISO 3309 (reflected polynomial 0xEDB88320, initial value
// 0xFFFFFFFF, final complement), computed by zlib.
class Crc32 {
public:
    // CRC of one buffer.
    static uint32_t Compute(const void* bytes, size_t n) { return Update(0, bytes, n); }

    // Continues a CRC over more bytes; start with 0.
    static uint32_t Update(uint32_t crc, const void* bytes, size_t n);
};

} // namespace plentor

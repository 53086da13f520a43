#pragma once

#include <cstdint>

namespace plentor {

// Little-endian integers in byte arrays (file formats and containers),
// independent of the machine's own byte order.
class LittleEndian {
public:
    static constexpr uint16_t Get16(const uint8_t* p)
    {
        return static_cast<uint16_t>(p[0] | (p[1] << 8));
    }

    static constexpr uint32_t Get32(const uint8_t* p)
    {
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
               (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    }

    static constexpr void Put32(uint8_t* p, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
};

} // namespace plentor

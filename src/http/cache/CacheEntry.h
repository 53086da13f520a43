#pragma once

#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <cstdint>

namespace plentor {

// One entry of an HttpCache ".caf" file as read back: the fixed part, the
// key, the header text and the body.
class CacheEntry {
public:
    // Size of the fixed part that starts every entry in a ".caf" file.
    static constexpr unsigned kFixedSize = 32;

    // The fixed part, field for field as stored (integers little-endian).
    struct Fixed {
        uint32_t auxCrc = 0;            // CRC-32 of the auxiliary text
        uint32_t bodyCrc = 0;           // CRC-32 of the uncompressed body
        uint8_t negative = 0;           // 1 for a negative entry
        uint8_t flags = 0;              // kFlagCompressed when the body block is bzip2
        uint8_t reserved1 = 0;
        uint8_t reserved2 = 0;
        uint8_t storedAt[4] = {};       // UTC year - 2000, month, day, hour
        uint8_t secondStamp[4] = {};    // as storedAt; all zero for a negative entry
        uint32_t keyLength = 0;         // key text including its NUL
        uint32_t headerBlockLength = 0; // bzip2 of the header text plus a NUL
        uint32_t bodyBlockLength = 0;
    };

    static constexpr uint8_t kFlagCompressed = 0x02;

    // The fixed part as bytes, and back. Decode reads kFixedSize bytes.
    static void EncodeFixed(const Fixed& fixed, uint8_t out[kFixedSize]);
    static Fixed DecodeFixed(const uint8_t* bytes);

    StringBuffer key;
    uint32_t keyCrc = 0;                // recomputed from the key text read back
    StringBuffer header;
    DataBuffer body;
    Fixed fixed;
};

} // namespace plentor

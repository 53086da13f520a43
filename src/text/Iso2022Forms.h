#pragma once

#include <cstddef>
#include <cstdint>

namespace plentor {

class DataBuffer;

// The stateful 7-bit forms ISO-2022-JP (code pages 50220 to 50222) and
// ISO-2022-KR (50225). Each is converted through the double-byte page behind
// it: Shift_JIS (932) and Unified Hangul Code (949).
class Iso2022Forms {
public:
    // The double-byte page behind an ISO-2022 form, or 0 for any other code page.
    static int TablePageBehind(int codePage);
    // Reads the form into the bytes of the page behind it; false when some
    // of it has no form there (dropped; the rest is converted).
    static bool Decode(int codePage, const uint8_t* p, size_t n, DataBuffer& out);
    // Writes text of the page behind the form in the form; false when some
    // of it has no 7-bit form (dropped; the rest is converted).
    static bool Encode(int codePage, const uint8_t* p, size_t n, DataBuffer& out);
};

} // namespace plentor

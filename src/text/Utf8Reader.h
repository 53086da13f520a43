#pragma once

#include <cstddef>
#include <cstdint>

namespace plentor {

// The loop that reads the common run of UTF-8 text (7-bit runs, two-byte
// sequences and three-byte sequences with leads 0xE1 to 0xEF) into a sink,
// shared by the decoder into UTF-16 and the table pages' encoders that read
// UTF-8 directly. Inline and templated: it is the inner loop of both.
//
// A sink has
//   bool HasRoom() const;                               room for one more character
//   size_t PutAscii(const uint8_t* p, size_t n);       takes the 7-bit run at p, returns its length
//   bool Put(char16_t unit);                            false when it cannot take the unit
class Utf8Reader {
public:
    static bool IsContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

    // Reads from p[0..n) until a byte that starts no common sequence, a unit
    // the sink refuses, the end, or a full sink; returns the bytes read (whole
    // sequences only). Lead 0xE0 (which needs the overlong check), four-byte
    // sequences and malformed bytes are left to the caller.
    template <class Sink>
    static size_t ReadCommon(const uint8_t* p, size_t n, Sink& sink)
    {
        size_t i = 0;
        while (i < n && sink.HasRoom()) {
            unsigned lead = p[i];
            size_t left = n - i;
            if (lead < 0x80) {
                i += sink.PutAscii(p + i, left);
                continue;
            }
            char16_t unit;
            size_t length;
            if (left >= 3 && IsCommonThreeByte(p + i)) {
                unit = static_cast<char16_t>((lead & 0x0Fu) << 12 | (p[i + 1] & 0x3Fu) << 6 | (p[i + 2] & 0x3Fu));
                length = 3;
            } else if (lead >= 0xC2 && lead < 0xE0 && left >= 2 && IsContinuation(p[i + 1])) {
                unit = static_cast<char16_t>((lead & 0x1Fu) << 6 | (p[i + 1] & 0x3Fu));
                length = 2;
            } else {
                break;
            }
            if (!sink.Put(unit))
                break;
            i += length;
        }
        return i;
    }

private:
    // Lead 0xE1 to 0xEF and two continuation bytes, tested at once: Japanese
    // and Chinese text is made of such sequences.
    static bool IsCommonThreeByte(const uint8_t* p)
    {
        uint32_t bytes = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
        return (bytes & 0xC0C0F0u) == 0x8080E0u && p[0] != 0xE0;
    }
};

} // namespace plentor

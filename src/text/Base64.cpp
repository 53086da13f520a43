#include "text/Base64.h"

#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <array>
#include <cstdint>
#include <limits>

namespace plentor {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';
constexpr uint8_t kNotInAlphabet = 0xFF;

// Value of each byte in the alphabet, kNotInAlphabet for every other byte.
constexpr std::array<uint8_t, 256> MakeDecodeTable()
{
    std::array<uint8_t, 256> table {};
    for (auto& v : table)
        v = kNotInAlphabet;
    for (uint8_t i = 0; i < 64; ++i)
        table[static_cast<uint8_t>(kAlphabet[i])] = i;
    return table;
}

constexpr std::array<uint8_t, 256> kDecode = MakeDecodeTable();

// Writes the four characters of one group of up to three bytes (n = 1..3).
void EncodeGroup(const uint8_t* p, unsigned n, char* out)
{
    uint32_t v = static_cast<uint32_t>(p[0]) << 16;
    if (n > 1)
        v |= static_cast<uint32_t>(p[1]) << 8;
    if (n > 2)
        v |= p[2];
    out[0] = kAlphabet[(v >> 18) & 0x3F];
    out[1] = kAlphabet[(v >> 12) & 0x3F];
    out[2] = n > 1 ? kAlphabet[(v >> 6) & 0x3F] : kPad;
    out[3] = n > 2 ? kAlphabet[v & 0x3F] : kPad;
}

// Length of the encoding, or -1 when it exceeds what a StringBuffer can count.
int EncodedSize(unsigned n)
{
    uint64_t size = (static_cast<uint64_t>(n) + 2) / 3 * 4;
    return size <= static_cast<uint64_t>(std::numeric_limits<int>::max()) ? static_cast<int>(size) : -1;
}

} // namespace

void Base64::Encode(const void* bytes, unsigned n, StringBuffer& out)
{
    // Encoded in chunks so that a large input is appended with few calls.
    constexpr unsigned kGroupsPerChunk = 256;
    const auto* p = static_cast<const uint8_t*>(bytes);
    int total = EncodedSize(n);
    if (total > 0)
        out.Reserve(total);
    char chunk[kGroupsPerChunk * 4];
    while (n > 0) {
        unsigned used = 0;
        while (n > 0 && used < sizeof chunk) {
            unsigned take = n < 3 ? n : 3;
            EncodeGroup(p, take, chunk + used);
            used += 4;
            p += take;
            n -= take;
        }
        out.AppendBytes(chunk, static_cast<int>(used));
    }
}

bool Base64::Decode(const char* text, unsigned n, DataBuffer& out)
{
    unsigned start = out.Size();
    out.Reserve(n / 4 * 3 + 3);
    uint32_t bits = 0;
    unsigned held = 0;  // characters collected in the current group
    for (unsigned i = 0; i < n; ++i) {
        char c = text[i];
        if (c == kPad || c == '\0')
            break;
        uint8_t v = kDecode[static_cast<uint8_t>(c)];
        if (v == kNotInAlphabet)
            continue;
        bits = (bits << 6) | v;
        if (++held == 4) {
            uint8_t group[3] = {static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 8),
                                static_cast<uint8_t>(bits)};
            out.AppendBytes(group, 3);
            bits = 0;
            held = 0;
        }
    }
    if (held == 1) {
        // Six bits cannot make a byte: the text was cut short.
        out.DropLast(out.Size() - start);
        return false;
    }
    if (held == 2) {
        out.AppendByte(static_cast<uint8_t>(bits >> 4));
    } else if (held == 3) {
        uint8_t tail[2] = {static_cast<uint8_t>(bits >> 10), static_cast<uint8_t>(bits >> 2)};
        out.AppendBytes(tail, 2);
    }
    return true;
}

} // namespace plentor

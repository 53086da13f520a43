#include "text/Md5.h"

#include <cstring>

namespace plentor {

namespace {

// Per-step shift amounts, four per round (RFC 1321, section 3.4).
constexpr uint32_t kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// T[i] = floor(2^32 * |sin(i + 1)|).
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t RotateLeft(uint32_t x, uint32_t n) { return (x << n) | (x >> (32 - n)); }

uint32_t LoadLittleEndian(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void StoreLittleEndian(uint32_t v, uint8_t* p)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The round function and message word of step i (0..63).
uint32_t RoundFunction(unsigned i, uint32_t b, uint32_t c, uint32_t d, unsigned& word)
{
    switch (i / 16) {
    case 0: word = i; return (b & c) | (~b & d);
    case 1: word = (5 * i + 1) % 16; return (b & d) | (c & ~d);
    case 2: word = (3 * i + 5) % 16; return b ^ c ^ d;
    default: word = (7 * i) % 16; return c ^ (b | ~d);
    }
}

} // namespace

void Md5::Reset()
{
    state_[0] = 0x67452301;
    state_[1] = 0xefcdab89;
    state_[2] = 0x98badcfe;
    state_[3] = 0x10325476;
    totalBytes_ = 0;
    pendingSize_ = 0;
}

void Md5::Transform(const uint8_t block[kBlockSize])
{
    uint32_t x[16];
    for (unsigned i = 0; i < 16; ++i)
        x[i] = LoadLittleEndian(block + 4 * i);
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    for (unsigned i = 0; i < 64; ++i) {
        unsigned word = 0;
        uint32_t f = RoundFunction(i, b, c, d, word);
        uint32_t sum = a + f + kSine[i] + x[word];
        a = d;
        d = c;
        c = b;
        b += RotateLeft(sum, kShift[i / 16][i % 4]);
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void Md5::Update(const void* bytes, size_t n)
{
    if (n == 0)
        return;
    const auto* p = static_cast<const uint8_t*>(bytes);
    totalBytes_ += n;
    if (pendingSize_ > 0) {
        size_t take = kBlockSize - pendingSize_ < n ? kBlockSize - pendingSize_ : n;
        std::memcpy(pending_ + pendingSize_, p, take);
        pendingSize_ += static_cast<unsigned>(take);
        p += take;
        n -= take;
        if (pendingSize_ < kBlockSize)
            return;
        Transform(pending_);
        pendingSize_ = 0;
    }
    for (; n >= kBlockSize; p += kBlockSize, n -= kBlockSize)
        Transform(p);
    if (n > 0) {
        std::memcpy(pending_, p, n);
        pendingSize_ = static_cast<unsigned>(n);
    }
}

void Md5::Final(uint8_t out[kDigestSize])
{
    // Padding: one 0x80 byte, zeros up to 56 mod 64, then the bit length (64 bits, little-endian).
    uint64_t bitLength = totalBytes_ * 8;
    static constexpr uint8_t kPadding[kBlockSize] = {0x80};
    unsigned padSize = pendingSize_ < 56 ? 56 - pendingSize_ : 120 - pendingSize_;
    Update(kPadding, padSize);
    uint8_t trailer[8];
    StoreLittleEndian(static_cast<uint32_t>(bitLength), trailer);
    StoreLittleEndian(static_cast<uint32_t>(bitLength >> 32), trailer + 4);
    Update(trailer, sizeof trailer);
    for (unsigned i = 0; i < 4; ++i)
        StoreLittleEndian(state_[i], out + 4 * i);
    Reset();
}

void Md5::Digest(const void* bytes, size_t n, uint8_t out[kDigestSize])
{
    Md5 md5;
    md5.Update(bytes, n);
    md5.Final(out);
}

} // namespace plentor

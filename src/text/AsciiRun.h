#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plentor {

// Runs of 7-bit characters, the bulk of markup and of Latin text, found,
// widened to UTF-16 code units and narrowed back several at a time: sixteen
// with SSE2, else eight bytes or four units to a 64-bit word. The
// word-at-a-time forms are always built (and tested), being what a compiler
// without SSE2 uses. The converters' inner loops call these for every run,
// so they are inline.
class AsciiRun {
public:
    // Length of the run of bytes below 0x80 that starts p[0..n).
    static size_t Length(const uint8_t* p, size_t n);
    static size_t LengthByWords(const uint8_t* p, size_t n);

    // Copies the run of bytes below 0x80 that starts p[0..n) to dst and
    // returns its length. dst has room for n bytes; those after the run may
    // be overwritten.
    static size_t Copy(const uint8_t* p, size_t n, uint8_t* dst);
    static size_t CopyByWords(const uint8_t* p, size_t n, uint8_t* dst);

    // Writes the run of bytes below 0x80 that starts p[0..n) to dst as code
    // units and returns its length. dst has room for n units; those after the
    // run may be overwritten.
    static size_t Widen(const uint8_t* p, size_t n, char16_t* dst);
    static size_t WidenByWords(const uint8_t* p, size_t n, char16_t* dst);

    // Writes the run of units below 0x80 that starts units[0..n) to dst as
    // bytes and returns its length. dst has room for n bytes; those after the
    // run may be overwritten.
    static size_t Narrow(const char16_t* units, size_t n, uint8_t* dst);
    static size_t NarrowByWords(const char16_t* units, size_t n, uint8_t* dst);

private:
    static constexpr uint64_t kByteHighBits = 0x8080808080808080u;   // bit 7 of each byte
    static constexpr uint64_t kUnitHighBits = 0xFF80FF80FF80FF80u;   // bits 7-15 of each unit
    static constexpr size_t kWordBytes = sizeof(uint64_t);
    static constexpr size_t kWordUnits = sizeof(uint64_t) / sizeof(char16_t);

    static uint64_t Load(const void* p)
    {
        uint64_t word;
        std::memcpy(&word, p, sizeof word);
        return word;
    }

    // Copy and Widen a word at a time: Out is uint8_t or char16_t.
    template <class Out>
    static size_t SpreadByWords(const uint8_t* p, size_t n, Out* dst)
    {
        size_t i = 0;
        for (; i + kWordBytes <= n; i += kWordBytes) {
            // A local copy: stores to dst could otherwise alias the input bytes.
            uint8_t bytes[kWordBytes];
            std::memcpy(bytes, p + i, kWordBytes);
            for (size_t k = 0; k < kWordBytes; ++k)
                dst[i + k] = bytes[k];
            uint64_t high = Load(bytes) & kByteHighBits;
            if (high != 0)
                return i + FirstMarkedLane(high, 8);
        }
        for (; i < n && p[i] < 0x80; ++i)
            dst[i] = p[i];
        return i;
    }

    // Index of the first lane (of laneBits bits, in memory order) holding a
    // bit of marked, which is not zero.
    static size_t FirstMarkedLane(uint64_t marked, int laneBits)
    {
        int bit = std::endian::native == std::endian::little ? std::countr_zero(marked) : std::countl_zero(marked);
        return static_cast<size_t>(bit / laneBits);
    }
};

inline size_t AsciiRun::LengthByWords(const uint8_t* p, size_t n)
{
    size_t i = 0;
    for (; i + kWordBytes <= n; i += kWordBytes) {
        uint64_t high = Load(p + i) & kByteHighBits;
        if (high != 0)
            return i + FirstMarkedLane(high, 8);
    }
    while (i < n && p[i] < 0x80)
        ++i;
    return i;
}

inline size_t AsciiRun::CopyByWords(const uint8_t* p, size_t n, uint8_t* dst) { return SpreadByWords(p, n, dst); }

inline size_t AsciiRun::WidenByWords(const uint8_t* p, size_t n, char16_t* dst) { return SpreadByWords(p, n, dst); }

inline size_t AsciiRun::NarrowByWords(const char16_t* units, size_t n, uint8_t* dst)
{
    size_t i = 0;
    for (; i + kWordUnits <= n; i += kWordUnits) {
        char16_t word[kWordUnits];
        std::memcpy(word, units + i, sizeof word);
        for (size_t k = 0; k < kWordUnits; ++k)
            dst[i + k] = static_cast<uint8_t>(word[k]);
        uint64_t high = Load(word) & kUnitHighBits;
        if (high != 0)
            return i + FirstMarkedLane(high, 16);
    }
    for (; i < n && units[i] < 0x80; ++i)
        dst[i] = static_cast<uint8_t>(units[i]);
    return i;
}

#if defined(__SSE2__)

inline size_t AsciiRun::Length(const uint8_t* p, size_t n)
{
    size_t i = 0;
    for (; i + sizeof(__m128i) <= n; i += sizeof(__m128i)) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        auto high = static_cast<unsigned>(_mm_movemask_epi8(block));
        if (high != 0)
            return i + static_cast<size_t>(std::countr_zero(high));
    }
    return i + LengthByWords(p + i, n - i);
}

inline size_t AsciiRun::Copy(const uint8_t* p, size_t n, uint8_t* dst)
{
    size_t i = 0;
    for (; i + sizeof(__m128i) <= n; i += sizeof(__m128i)) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), block);
        auto high = static_cast<unsigned>(_mm_movemask_epi8(block));
        if (high != 0)
            return i + static_cast<size_t>(std::countr_zero(high));
    }
    return i + CopyByWords(p + i, n - i, dst + i);
}

inline size_t AsciiRun::Widen(const uint8_t* p, size_t n, char16_t* dst)
{
    const __m128i zero = _mm_setzero_si128();
    size_t i = 0;
    for (; i + sizeof(__m128i) <= n; i += sizeof(__m128i)) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi8(block, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 8), _mm_unpackhi_epi8(block, zero));
        auto high = static_cast<unsigned>(_mm_movemask_epi8(block));
        if (high != 0)
            return i + static_cast<size_t>(std::countr_zero(high));
    }
    return i + WidenByWords(p + i, n - i, dst + i);
}

inline size_t AsciiRun::Narrow(const char16_t* units, size_t n, uint8_t* dst)
{
    // Adding 0x7F80 with unsigned saturation sets bit 15 exactly in the units
    // from 0x80 up; the signed pack keeps that bit as the byte's sign.
    const __m128i bias = _mm_set1_epi16(0x7F80);
    size_t i = 0;
    for (; i + sizeof(__m128i) <= n; i += sizeof(__m128i)) {
        __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
        __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i + 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(first, second));
        __m128i flags = _mm_packs_epi16(_mm_adds_epu16(first, bias), _mm_adds_epu16(second, bias));
        auto high = static_cast<unsigned>(_mm_movemask_epi8(flags));
        if (high != 0)
            return i + static_cast<size_t>(std::countr_zero(high));
    }
    return i + NarrowByWords(units + i, n - i, dst + i);
}

#else

inline size_t AsciiRun::Length(const uint8_t* p, size_t n) { return LengthByWords(p, n); }

inline size_t AsciiRun::Copy(const uint8_t* p, size_t n, uint8_t* dst) { return CopyByWords(p, n, dst); }

inline size_t AsciiRun::Widen(const uint8_t* p, size_t n, char16_t* dst) { return WidenByWords(p, n, dst); }

inline size_t AsciiRun::Narrow(const char16_t* units, size_t n, uint8_t* dst)
{
    return NarrowByWords(units, n, dst);
}

#endif

} // namespace plentor

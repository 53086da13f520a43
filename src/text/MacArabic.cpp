#include "text/MacArabic.h"

#include <algorithm>
#include <array>

namespace plentor {

namespace {

// Bytes of Mac Arabic that read right to left: the Arabic letters, harakat
// and Arabic-only punctuation (0xC0 to 0xFF, 0x8B, 0xA5, 0xAC, 0xBB, 0xBF),
// and the right-to-left copies of the ASCII punctuation and space (0xA0 to
// 0xAF, 0xBA to 0xBE, 0xDB to 0xDF, 0xFB to 0xFD, and 0x81, 0x8C, 0x93, 0x98,
// 0x9B). A run of them stored in display order is reversed into reading
// order. The Arabic-Indic digits (0xB0 to 0xB9) are not marked: numbers read
// left to right inside Arabic text too, so their digits keep their order and
// end a run. Latin letters and ASCII never take part.
constexpr std::array<bool, 256> MakeMacArabicRtl()
{
    std::array<bool, 256> rtl{};
    for (unsigned b : {0x81u, 0x8Bu, 0x8Cu, 0x93u, 0x98u, 0x9Bu})
        rtl[b] = true;
    for (unsigned b = 0xA0; b <= 0xAF; ++b)
        rtl[b] = true;
    for (unsigned b = 0xBA; b <= 0xFF; ++b)
        rtl[b] = true;
    return rtl;
}

constexpr std::array<bool, 256> kMacArabicRtl = MakeMacArabicRtl();

// Where the fix-up sends a byte after the runs are reversed: Arabic-Indic
// digits to ASCII digits, the no-break space to 0xA0 and the right-to-left
// punctuation to its ASCII form.
constexpr std::array<uint8_t, 256> MakeMacArabicFold()
{
    std::array<uint8_t, 256> fold{};
    for (unsigned b = 0; b < 256; ++b)
        fold[b] = static_cast<uint8_t>(b);
    for (unsigned b = 0xB0; b <= 0xB9; ++b)
        fold[b] = static_cast<uint8_t>(b - 0x80);
    fold[0x81] = 0xA0;
    for (unsigned b : {0xA0u, 0xA1u, 0xA2u, 0xA3u, 0xA4u, 0xA6u, 0xA7u, 0xA8u, 0xA9u, 0xAAu, 0xABu, 0xADu, 0xAEu,
                       0xAFu, 0xBAu, 0xBCu, 0xBDu, 0xBEu, 0xDBu, 0xDCu, 0xDDu, 0xDEu, 0xDFu, 0xFBu, 0xFCu, 0xFDu})
        fold[b] = static_cast<uint8_t>(b & 0x7F);
    return fold;
}

constexpr std::array<uint8_t, 256> kMacArabicFold = MakeMacArabicFold();

// Shortest run of right-to-left bytes that the fix-up reverses.
constexpr size_t kMinReversedRun = 2;

} // namespace

void MacArabic::FixUp(uint8_t* p, size_t n)
{
    for (size_t i = 0; i < n;) {
        size_t end = i;
        while (end < n && kMacArabicRtl[p[end]])
            ++end;
        if (end - i >= kMinReversedRun)
            std::reverse(p + i, p + end);
        i = end > i ? end : i + 1;
    }
    for (size_t i = 0; i < n; ++i)
        p[i] = kMacArabicFold[p[i]];
}

} // namespace plentor

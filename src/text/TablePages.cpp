#include "text/TablePages.h"

#include "text/CodePageTables.h"
#include "text/HashConvert.h"
#include "text/TextCodec.h"
#include "text/UnicodeLookup.h"

#include <algorithm>
#include <tuple>

namespace plentor {

namespace {

using DecodeResult = TextCodec::DecodeResult;
using EncodeResult = TextCodec::EncodeResult;
// Units below this have their codes in a codec's lowCodes.
constexpr unsigned kLowUnits = std::tuple_size_v<TablePages::LowCodes>;

// Input length from which the codes of a target table's units below 0x100
// are copied into a small array first: the copy costs less than converting
// this many bytes gains from it.
constexpr size_t kLowCodesMinBytes = 4096;

DecodeResult DecodeSingleByte(const TextCodec& codec, const uint8_t* p, size_t n, char16_t* dst, size_t room)
{
    const UnicodeLookup& table = *codec.byteUnits;
    DecodeResult r;
    size_t limit = std::min(n, room);
    for (; r.consumed < limit; ++r.consumed) {
        uint8_t b = p[r.consumed];
        if (!table.IsMapped(b)) {
            r.badBytes = 1;
            r.badCode = b;
            break;
        }
        dst[r.consumed] = table.Unit(b);
    }
    r.written = r.consumed;
    return r;
}

// The code written for a unit by a table page: from the codec's copy for
// units below 0x100 (the bulk of Latin text), else from the table.
inline bool TableCode(const HashConvert& table, const uint16_t* lowCodes, char16_t unit, uint16_t& code)
{
    if (lowCodes == nullptr || unit >= kLowUnits)
        return table.FromUnicode(unit, code);
    code = lowCodes[unit];
    return code != HashConvert::kNoCode;
}

EncodeResult EncodeSingleByte(const TextCodec& codec, const char16_t* units, size_t count, uint8_t* dst)
{
    // Copied: the byte stores below could otherwise alias the codec.
    const HashConvert& table = *codec.table;
    const uint16_t* lowCodes = codec.lowCodes;
    size_t i = 0;
    for (uint16_t code; i < count && TableCode(table, lowCodes, units[i], code); ++i)
        dst[i] = static_cast<uint8_t>(code);
    return {i, i, i < count};
}

// Bytes an unreadable pair at p covers: a trail byte in the 7-bit range is
// left to be read again as a character of its own, so a damaged lead byte
// does not swallow the ASCII text after it.
unsigned BadPairLength(const uint8_t* p, size_t n)
{
    return n >= 2 && p[1] >= 0x80 ? 2 : 1;
}

DecodeResult DecodeDoubleByte(const TextCodec& codec, const uint8_t* p, size_t n, char16_t* dst, size_t room)
{
    const HashConvert& table = *codec.table;
    DecodeResult r;
    while (r.consumed < n && r.written < room) {
        uint8_t lead = p[r.consumed];
        bool pair = table.IsLeadByte(lead) && r.consumed + 1 < n;
        uint16_t code = pair ? static_cast<uint16_t>(lead << 8 | p[r.consumed + 1]) : lead;
        char16_t unit;
        if ((!pair && table.IsLeadByte(lead)) || !table.ToUnicode(code, unit)) {
            r.badBytes = pair ? BadPairLength(p + r.consumed, n - r.consumed) : 1;
            r.badCode = lead;
            break;
        }
        dst[r.written++] = unit;
        r.consumed += pair ? 2 : 1;
    }
    return r;
}

EncodeResult EncodeDoubleByte(const TextCodec& codec, const char16_t* units, size_t count, uint8_t* dst)
{
    const HashConvert& table = *codec.table;
    const uint16_t* lowCodes = codec.lowCodes;
    uint8_t* start = dst;
    size_t i = 0;
    for (uint16_t code; i < count && TableCode(table, lowCodes, units[i], code); ++i) {
        if (code > 0xFF)
            *dst++ = static_cast<uint8_t>(code >> 8);
        *dst++ = static_cast<uint8_t>(code);
    }
    return {i, static_cast<size_t>(dst - start), i < count};
}

} // namespace

bool TablePages::IsTablePage(int codePage)
{
    return CodePageTables::IsSingleBytePage(codePage) || CodePageTables::IsDoubleBytePage(codePage);
}

bool TablePages::Load(int codePage, LogBase& log)
{
    if (CodePageTables::IsSingleBytePage(codePage))
        return CodePageTables::SingleByte(codePage, log) != nullptr;
    return CodePageTables::DoubleByte(codePage, log) != nullptr;
}

bool TablePages::MakeCodec(int codePage, TextCodec& codec, LogBase& log)
{
    if (CodePageTables::IsSingleBytePage(codePage)) {
        const CodePageTables::SingleByteTable* table = CodePageTables::SingleByte(codePage, log);
        if (table == nullptr)
            return false;
        codec = {codePage, DecodeSingleByte, EncodeSingleByte, 1, &table->toUnicode, &table->fromUnicode};
        return true;
    }
    const HashConvert* table = CodePageTables::DoubleByte(codePage, log);
    if (table == nullptr)
        return false;
    codec = {codePage, DecodeDoubleByte, EncodeDoubleByte, 2, nullptr, table};
    return true;
}

void TablePages::UseLowCodes(TextCodec& target, size_t inputBytes, LowCodes& codes)
{
    if (target.table == nullptr || inputBytes < kLowCodesMinBytes)
        return;
    for (unsigned unit = 0; unit < kLowUnits; ++unit) {
        if (!target.table->FromUnicode(static_cast<char16_t>(unit), codes[unit]))
            codes[unit] = HashConvert::kNoCode;
    }
    target.lowCodes = codes.data();
}

} // namespace plentor

#include "text/TablePages.h"

#include "text/AsciiRun.h"
#include "text/CodePageTables.h"
#include "text/HashConvert.h"
#include "text/TextCodec.h"
#include "text/UnicodeLookup.h"
#include "text/Utf8Reader.h"

#include <algorithm>
#include <cstring>

namespace plentor {

namespace {

using DecodeResult = TextCodec::DecodeResult;
using EncodeResult = TextCodec::EncodeResult;

DecodeResult DecodeSingleByte(const TextCodec& codec, const uint8_t* p, size_t n, char16_t* dst, size_t room)
{
    const UnicodeLookup& table = *codec.byteUnits;
    const bool keepsAscii = codec.keepsAscii;
    DecodeResult r;
    size_t limit = std::min(n, room);
    size_t i = 0;
    while (i < limit) {
        uint8_t b = p[i];
        if (keepsAscii && b < 0x80) {
            i += AsciiRun::Widen(p + i, limit - i, dst + i);
            continue;
        }
        if (!table.IsMapped(b)) {
            r.badBytes = 1;
            r.badCode = b;
            break;
        }
        dst[i++] = table.Unit(b);
    }
    r.consumed = i;
    r.written = i;
    return r;
}

EncodeResult EncodeSingleByte(const TextCodec& codec, const char16_t* units, size_t count, uint8_t* dst)
{
    // Copied: the byte stores below could otherwise alias the codec.
    const uint16_t* codes = codec.table->CodesByUnit();
    const bool keepsAscii = codec.keepsAscii;
    if (codes == nullptr)
        return {0, 0, count > 0};
    size_t i = 0;
    while (i < count) {
        if (keepsAscii && units[i] < 0x80) {
            i += AsciiRun::Narrow(units + i, count - i, dst + i);
            continue;
        }
        uint16_t code = codes[units[i]];
        if (code == HashConvert::kNoCode)
            break;
        dst[i++] = static_cast<uint8_t>(code);
    }
    return {i, i, i < count};
}

// Bytes a single-byte page's decoder to UTF-8 gives the table after a 7-bit
// run, whatever they are: in Latin text the runs are a word or two long, and
// a fixed stretch of lookups keeps the loop free of data-dependent branches.
constexpr size_t kTableStretch = 16;

DecodeResult DecodeSingleByteToUtf8(const TextCodec& codec, const uint8_t* p, size_t n, uint8_t* dst)
{
    const TextCodec::Utf8Form* forms = codec.utf8Forms;
    const bool keepsAscii = codec.keepsAscii;
    uint8_t* d = dst;
    size_t i = 0;
    DecodeResult r;
    while (i < n) {
        if (keepsAscii) {
            size_t run = AsciiRun::Copy(p + i, n - i, d);
            i += run;
            d += run;
        }
        size_t stretchEnd = std::min(n, i + kTableStretch);
        for (; i < stretchEnd; ++i) {
            const TextCodec::Utf8Form& form = forms[p[i]];
            if (form.length == 0) {
                r.badBytes = 1;
                r.badCode = p[i];
                break;
            }
            std::memcpy(d, &form, sizeof form);
            d += form.length;
        }
        if (r.badBytes > 0)
            break;
    }
    r.consumed = i;
    r.written = static_cast<size_t>(d - dst);
    return r;
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
    const bool keepsAscii = codec.keepsAscii;
    size_t i = 0;        // bytes read
    size_t written = 0;
    DecodeResult r;
    while (i < n && written < room) {
        uint8_t lead = p[i];
        char16_t unit;
        // Pairs and single bytes take separate branches: the next position
        // then waits on a predicted branch, not on the lead byte lookup.
        if (keepsAscii && lead < 0x80) {
            size_t run = AsciiRun::Widen(p + i, std::min(n - i, room - written), dst + written);
            i += run;
            written += run;
        } else if (table.IsLeadByte(lead)) {
            if (i + 1 == n || !table.ToUnicode(static_cast<uint16_t>(lead << 8 | p[i + 1]), unit)) {
                r.badBytes = BadPairLength(p + i, n - i);
                r.badCode = lead;
                break;
            }
            dst[written++] = unit;
            i += 2;
        } else {
            if (!table.ToUnicode(lead, unit)) {
                r.badBytes = 1;
                r.badCode = lead;
                break;
            }
            dst[written++] = unit;
            i += 1;
        }
    }
    r.consumed = i;
    r.written = written;
    return r;
}

EncodeResult EncodeDoubleByte(const TextCodec& codec, const char16_t* units, size_t count, uint8_t* dst)
{
    const uint16_t* codes = codec.table->CodesByUnit();
    const bool keepsAscii = codec.keepsAscii;
    if (codes == nullptr)
        return {0, 0, count > 0};
    uint8_t* start = dst;
    size_t i = 0;
    while (i < count) {
        if (keepsAscii && units[i] < 0x80) {
            size_t run = AsciiRun::Narrow(units + i, count - i, dst);
            i += run;
            dst += run;
            continue;
        }
        uint16_t code = codes[units[i]];
        if (code == HashConvert::kNoCode)
            break;
        if (code > 0xFF)
            *dst++ = static_cast<uint8_t>(code >> 8);
        *dst++ = static_cast<uint8_t>(code);
        ++i;
    }
    return {i, static_cast<size_t>(dst - start), i < count};
}

// Takes UTF-8 text read by Utf8Reader straight into a table page's codes.
class CodeSink {
public:
    CodeSink(const uint16_t* codes, uint8_t* dst) : codes_(codes), next_(dst) {}

    // The caller gives room for a byte per input byte, which no character
    // exceeds.
    bool HasRoom() const { return true; }

    size_t PutAscii(const uint8_t* p, size_t n)
    {
        size_t run = AsciiRun::Copy(p, n, next_);
        next_ += run;
        return run;
    }

    bool Put(char16_t unit)
    {
        uint16_t code = codes_[unit];
        if (code == HashConvert::kNoCode)
            return false;
        if (code > 0xFF)
            *next_++ = static_cast<uint8_t>(code >> 8);
        *next_++ = static_cast<uint8_t>(code);
        return true;
    }

    uint8_t* Next() const { return next_; }

private:
    const uint16_t* codes_;
    uint8_t* next_;
};

EncodeResult EncodeFromUtf8(const TextCodec& codec, const uint8_t* p, size_t n, uint8_t* dst)
{
    const uint16_t* codes = codec.table->CodesByUnit();
    if (codes == nullptr)
        return {0, 0, n > 0};
    CodeSink sink(codes, dst);
    size_t consumed = Utf8Reader::ReadCommon(p, n, sink);
    return {consumed, static_cast<size_t>(sink.Next() - dst), consumed < n};
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
        codec.keepsAscii = table->keepsAscii;
        codec.decodeToUtf8 = DecodeSingleByteToUtf8;
        codec.utf8Forms = table->utf8.data();
        codec.encodeFromUtf8 = codec.keepsAscii ? EncodeFromUtf8 : nullptr;
        return true;
    }
    const HashConvert* table = CodePageTables::DoubleByte(codePage, log);
    if (table == nullptr)
        return false;
    codec = {codePage, DecodeDoubleByte, EncodeDoubleByte, 2, nullptr, table};
    codec.keepsAscii = table->KeepsAscii();
    codec.encodeFromUtf8 = codec.keepsAscii ? EncodeFromUtf8 : nullptr;
    return true;
}

} // namespace plentor

#include "text/EncodingConvert.h"

#include "base/LogBase.h"
#include "base/LogNull.h"
#include "text/CharsetNames.h"
#include "text/CodePageTables.h"
#include "text/HashConvert.h"
#include "text/UnicodeLookup.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace plentor {

namespace {

// ---- codec interface ------------------------------------------------------

// What a decoder did: it stops when dst is full, at the end of the input, or
// before the first sequence it cannot read (reported in badBytes / badCode).
struct DecodeResult {
    size_t consumed = 0;         // input bytes turned into units
    size_t written = 0;          // units written
    unsigned badBytes = 0;       // length of the unreadable sequence after the consumed bytes
    uint32_t badCode = 0;        // its code point when badIsCharacter, else its first byte
    bool badIsCharacter = false; // a character the decoder reads but cannot give as one unit
};

// What an encoder did: it stops at the end of the units or before the first
// unit the code page cannot hold. dst has room for maxBytesPerUnit per unit.
struct EncodeResult {
    size_t consumed = 0;       // units written out
    size_t written = 0;        // bytes written
    bool failed = false;       // units[consumed] cannot be written
};

bool IsHighSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
bool IsSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDFFF; }

uint32_t CombineSurrogates(uint32_t high, uint32_t low) { return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00); }

constexpr uint32_t kFirstAstral = 0x10000;
constexpr uint32_t kLastCodePoint = 0x10FFFF;

} // namespace

struct EncodingConvert::Codec {
    using Decoder = DecodeResult (*)(const Codec&, const uint8_t* p, size_t n, char16_t* dst, size_t room);
    using Encoder = EncodeResult (*)(const Codec&, const char16_t* units, size_t count, uint8_t* dst);

    int codePage = 0;
    Decoder decode = nullptr;
    Encoder encode = nullptr;
    unsigned maxBytesPerUnit = 0;
    const UnicodeLookup* byteUnits = nullptr;   // single-byte pages: byte -> unit
    const HashConvert* table = nullptr;         // single-byte pages: unit -> byte; double-byte pages: both ways
    const uint16_t* lowCodes = nullptr;         // table codes of units below 0x100, when worth making
};

struct EncodingConvert::Offending {
    uint32_t code = 0;           // the character, or the first undecodable byte
    bool isCharacter = false;
    const uint8_t* raw = nullptr;   // the undecodable source bytes (none for a unit the target lacks)
    unsigned rawLength = 0;
};

namespace {

using Codec = EncodingConvert::Codec;

// ---- batched byte output ----------------------------------------------------

// Collects the bytes of the byte-at-a-time passes (ISO-2022, UTF-7, UTF-32)
// and appends them to the output in blocks. The pass calls Flush when done:
// appending may fail (std::bad_alloc), which a destructor must not do.
class ByteWriter {
public:
    explicit ByteWriter(DataBuffer& out) : out_(out) {}
    ByteWriter(const ByteWriter&) = delete;
    ByteWriter& operator=(const ByteWriter&) = delete;

    void Put(uint8_t b)
    {
        if (used_ == block_.size())
            Flush();
        block_[used_++] = b;
    }

    void Put(uint8_t a, uint8_t b)
    {
        Put(a);
        Put(b);
    }

    void PutUnit(uint32_t unit)   // one UTF-16LE code unit
    {
        Put(static_cast<uint8_t>(unit & 0xFF), static_cast<uint8_t>(unit >> 8));
    }

    void Flush()
    {
        out_.AppendBytes(block_.data(), static_cast<unsigned>(used_));
        used_ = 0;
    }

private:
    static constexpr size_t kBlockBytes = 8192;
    DataBuffer& out_;
    std::array<uint8_t, kBlockBytes> block_;
    size_t used_ = 0;
};

// ---- UTF-16 ---------------------------------------------------------------

enum class ByteOrder { kLittle, kBig };

template <ByteOrder order>
DecodeResult DecodeUtf16(const Codec&, const uint8_t* p, size_t n, char16_t* dst, size_t room)
{
    DecodeResult r;
    size_t units = std::min(n / 2, room);
    for (size_t i = 0; i < units; ++i, p += 2) {
        unsigned first = p[0], second = p[1];
        dst[i] = static_cast<char16_t>(order == ByteOrder::kLittle ? first | second << 8 : first << 8 | second);
    }
    r.consumed = units * 2;
    r.written = units;
    if (units < room && n - r.consumed == 1) {   // a dangling odd byte
        r.badBytes = 1;
        r.badCode = *p;
    }
    return r;
}

template <ByteOrder order>
EncodeResult EncodeUtf16(const Codec&, const char16_t* units, size_t count, uint8_t* dst)
{
    for (size_t i = 0; i < count; ++i) {
        auto low = static_cast<uint8_t>(units[i] & 0xFF);
        auto high = static_cast<uint8_t>(units[i] >> 8);
        *dst++ = order == ByteOrder::kLittle ? low : high;
        *dst++ = order == ByteOrder::kLittle ? high : low;
    }
    return {count, count * 2, false};
}

// ---- UTF-8 ----------------------------------------------------------------

bool IsContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

// Length of a well-formed four-byte sequence at p (0 when there is none),
// with its code point. Such characters lie outside the code units this
// converter handles; they are reported whole so an error action sees one
// character, not four stray bytes.
unsigned FourByteSequence(const uint8_t* p, size_t n, uint32_t& code)
{
    if (n < 4 || p[0] < 0xF0 || p[0] > 0xF4 || !IsContinuation(p[1]) || !IsContinuation(p[2]) ||
        !IsContinuation(p[3]))
        return 0;
    if ((p[0] == 0xF0 && p[1] < 0x90) || (p[0] == 0xF4 && p[1] >= 0x90))
        return 0;   // overlong, or beyond U+10FFFF
    code = (p[0] & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
    return 4;
}

// Reads one sequence of one to three bytes into unit; returns its length, or
// 0 when the bytes at p do not start one.
inline unsigned ReadUtf8Unit(const uint8_t* p, size_t n, char16_t& unit)
{
    uint8_t lead = p[0];
    if (lead < 0x80) {
        unit = lead;
        return 1;
    }
    if (lead < 0xC2)
        return 0;   // a stray continuation byte, or the overlong leads C0 and C1
    if (lead < 0xE0) {
        if (n < 2 || !IsContinuation(p[1]))
            return 0;
        unit = static_cast<char16_t>((lead & 0x1Fu) << 6 | (p[1] & 0x3Fu));
        return 2;
    }
    if (lead < 0xF0) {
        if (n < 3 || !IsContinuation(p[1]) || !IsContinuation(p[2]) || (lead == 0xE0 && p[1] < 0xA0))
            return 0;
        unit = static_cast<char16_t>((lead & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu));
        return 3;
    }
    return 0;
}

// Bytes of input looked at together when skimming 7-bit text.
constexpr size_t kAsciiBlock = 8;

// True when the block of kAsciiBlock bytes at p is all 7-bit.
bool IsAsciiBlock(const uint8_t* p)
{
    uint64_t block;
    std::memcpy(&block, p, sizeof block);
    return (block & 0x8080808080808080u) == 0;
}

DecodeResult DecodeUtf8(const Codec&, const uint8_t* p, size_t n, char16_t* dst, size_t room)
{
    const uint8_t* s = p;
    const uint8_t* end = p + n;
    char16_t* d = dst;
    char16_t* dstEnd = dst + room;
    while (s < end && d < dstEnd) {
        unsigned lead = *s;
        size_t left = static_cast<size_t>(end - s);
        if (lead < 0x80) {
            // 7-bit text: whole blocks while they last, then byte by byte.
            while (left >= kAsciiBlock && static_cast<size_t>(dstEnd - d) >= kAsciiBlock && IsAsciiBlock(s)) {
                for (size_t i = 0; i < kAsciiBlock; ++i)
                    d[i] = s[i];
                s += kAsciiBlock;
                d += kAsciiBlock;
                left -= kAsciiBlock;
            }
            while (s < end && d < dstEnd && *s < 0x80)
                *d++ = *s++;
        } else if (lead >= 0xE1 && lead <= 0xEF && left >= 3 && IsContinuation(s[1]) && IsContinuation(s[2])) {
            // The common three-byte case (lead 0xE0 needs the overlong check).
            *d++ = static_cast<char16_t>((lead & 0x0Fu) << 12 | (s[1] & 0x3Fu) << 6 | (s[2] & 0x3Fu));
            s += 3;
        } else {
            unsigned length = ReadUtf8Unit(s, left, *d);
            if (length == 0)
                break;
            s += length;
            ++d;
        }
    }
    DecodeResult r;
    r.consumed = static_cast<size_t>(s - p);
    r.written = static_cast<size_t>(d - dst);
    if (s < end && d < dstEnd) {   // stopped before a sequence it cannot read
        size_t left = static_cast<size_t>(end - s);
        r.badBytes = FourByteSequence(s, left, r.badCode);
        r.badIsCharacter = r.badBytes > 0;
        if (r.badBytes == 0) {
            r.badBytes = 1;
            r.badCode = *s;
        }
    }
    return r;
}

// Every code unit, surrogates included, becomes one to three bytes.
EncodeResult EncodeUtf8(const Codec&, const char16_t* units, size_t count, uint8_t* dst)
{
    uint8_t* start = dst;
    for (size_t i = 0; i < count; ++i) {
        unsigned u = units[i];
        if (u < 0x80) {
            *dst++ = static_cast<uint8_t>(u);
        } else if (u < 0x800) {
            *dst++ = static_cast<uint8_t>(0xC0 | u >> 6);
            *dst++ = static_cast<uint8_t>(0x80 | (u & 0x3F));
        } else {
            *dst++ = static_cast<uint8_t>(0xE0 | u >> 12);
            *dst++ = static_cast<uint8_t>(0x80 | (u >> 6 & 0x3F));
            *dst++ = static_cast<uint8_t>(0x80 | (u & 0x3F));
        }
    }
    return {count, static_cast<size_t>(dst - start), false};
}

// ---- table-driven code pages --------------------------------------------------

// Units below this have their codes in a codec's lowCodes.
constexpr unsigned kLowUnits = 0x100;

DecodeResult DecodeSingleByte(const Codec& codec, const uint8_t* p, size_t n, char16_t* dst, size_t room)
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

EncodeResult EncodeSingleByte(const Codec& codec, const char16_t* units, size_t count, uint8_t* dst)
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

DecodeResult DecodeDoubleByte(const Codec& codec, const uint8_t* p, size_t n, char16_t* dst, size_t room)
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

EncodeResult EncodeDoubleByte(const Codec& codec, const char16_t* units, size_t count, uint8_t* dst)
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

// ---- the code pages -------------------------------------------------------

bool IsIso2022Jp(int codePage)
{
    return codePage >= EncodingConvert::kIso2022Jp && codePage <= EncodingConvert::kIso2022JpLast;
}

bool IsUtf32(int codePage) { return codePage == EncodingConvert::kUtf32Le || codePage == EncodingConvert::kUtf32Be; }

// The code pages converted by algorithm alone, without a table.
bool IsAlgorithmic(int codePage)
{
    switch (codePage) {
    case EncodingConvert::kUtf16Le:
    case EncodingConvert::kUtf16Be:
    case EncodingConvert::kUtf7:
    case EncodingConvert::kUtf8:
    case EncodingConvert::kUtf32Le:
    case EncodingConvert::kUtf32Be:
        return true;
    default:
        return false;
    }
}

// The double-byte page a stateful 7-bit form is converted through, or 0.
int TablePageBehind(int codePage)
{
    if (IsIso2022Jp(codePage))
        return EncodingConvert::kShiftJis;
    if (codePage == EncodingConvert::kIso2022Kr)
        return EncodingConvert::kKorean;
    return 0;
}

// Loads the tables a code page needs; false when it has none (or they are
// damaged), with a log line.
bool LoadTables(int codePage, LogBase& log)
{
    if (IsAlgorithmic(codePage))
        return true;
    int page = TablePageBehind(codePage) != 0 ? TablePageBehind(codePage) : codePage;
    if (CodePageTables::IsSingleBytePage(page))
        return CodePageTables::SingleByte(page, log) != nullptr;
    if (CodePageTables::IsDoubleBytePage(page))
        return CodePageTables::DoubleByte(page, log) != nullptr;
    log.LogError("Unsupported code page");
    log.LogDataLong("codePage", codePage);
    return false;
}

// The codec of a code page read or written by the core conversion (UTF-16,
// UTF-8 or a table page; LoadTables has succeeded for it).
bool MakeCodec(int codePage, Codec& codec, LogBase& log)
{
    switch (codePage) {
    case EncodingConvert::kUtf16Le:
        codec = {codePage, DecodeUtf16<ByteOrder::kLittle>, EncodeUtf16<ByteOrder::kLittle>, 2, nullptr, nullptr};
        return true;
    case EncodingConvert::kUtf16Be:
        codec = {codePage, DecodeUtf16<ByteOrder::kBig>, EncodeUtf16<ByteOrder::kBig>, 2, nullptr, nullptr};
        return true;
    case EncodingConvert::kUtf8:
        codec = {codePage, DecodeUtf8, EncodeUtf8, 3, nullptr, nullptr};
        return true;
    default:
        break;
    }
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

// Input length from which the codes of a target table's units below 0x100
// are copied into a small array first: the copy costs less than converting
// this many bytes gains from it.
constexpr size_t kLowCodesMinBytes = 4096;

void CopyLowCodes(const HashConvert& table, std::array<uint16_t, kLowUnits>& codes)
{
    for (unsigned unit = 0; unit < kLowUnits; ++unit) {
        if (!table.FromUnicode(static_cast<char16_t>(unit), codes[unit]))
            codes[unit] = HashConvert::kNoCode;
    }
}

// Length of the byte-order mark that starts the input, if any.
size_t ByteOrderMarkLength(int codePage, const uint8_t* p, size_t n)
{
    if (codePage == EncodingConvert::kUtf16Le || codePage == EncodingConvert::kUtf16Be) {
        bool mark = n >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF));
        return mark ? 2 : 0;
    }
    if (codePage == EncodingConvert::kUtf8)
        return n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF ? 3 : 0;
    return 0;
}

// Units decoded per step: the input is converted in slices of this size, so
// the intermediate UTF-16 text never needs more than a small stack buffer.
constexpr size_t kChunkUnits = 4096;

// Makes room for n more bytes in out, growing by at least half of its size
// so that repeated small requests stay linear.
void EnsureRoom(DataBuffer& out, size_t n)
{
    if (out.Capacity() - out.Size() >= n && !out.IsBorrowed())
        return;
    size_t grow = std::max(n, static_cast<size_t>(out.Size() / 2));
    if (uint64_t{out.Size()} + grow > UINT32_MAX)
        grow = n;   // near the size limit only what is needed; Reserve reports overflow
    out.Reserve(static_cast<unsigned>(std::min<size_t>(grow, UINT32_MAX)));
}

// The text "&#x", the code in upper-case hex and ";".
size_t FormatHexEntity(uint32_t code, char16_t* text)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    size_t n = 0;
    text[n++] = u'&';
    text[n++] = u'#';
    text[n++] = u'x';
    int shift = 28;
    while (shift > 0 && (code >> shift) == 0)
        shift -= 4;
    for (; shift >= 0; shift -= 4)
        text[n++] = static_cast<char16_t>(kDigits[(code >> shift) & 0xF]);
    text[n++] = u';';
    return n;
}

// Kind bytes of marked errors.
constexpr uint8_t kHexEntityKind = 5;
constexpr uint8_t kCopyByteKind = 1;

// ---- Mac Arabic fix-up ------------------------------------------------------

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

void FixUpMacArabic(uint8_t* p, size_t n)
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

// ---- ISO 2022 escape sequences --------------------------------------------

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kShiftOut = 0x0E;
constexpr uint8_t kShiftIn = 0x0F;
constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kLf = 0x0A;

// An escape sequence: ESC, intermediate bytes 0x20 to 0x2F, a final byte
// 0x30 to 0x7E. Both stateful 7-bit forms use only short ones.
struct EscapeSequence {
    uint8_t intermediates[2] = {};
    unsigned intermediateCount = 0;
    uint8_t final = 0;
    size_t length = 0;           // bytes from ESC through the final byte
    bool complete = false;       // false: the input ended, or a byte broke the syntax
};

// ESC and up to this many intermediates; anything longer is no designation
// these forms know and is skipped as far as its syntax reaches.
constexpr unsigned kMaxIntermediates = 2;

EscapeSequence ReadEscape(const uint8_t* p, size_t n)
{
    EscapeSequence e;
    size_t i = 1;
    while (i < n && p[i] >= 0x20 && p[i] <= 0x2F) {
        if (e.intermediateCount < kMaxIntermediates)
            e.intermediates[e.intermediateCount] = p[i];
        ++e.intermediateCount;
        ++i;
    }
    if (i < n && p[i] >= 0x30 && p[i] <= 0x7E) {
        e.final = p[i++];
        e.complete = e.intermediateCount <= kMaxIntermediates;
    }
    e.length = i;
    return e;
}

bool IsEscape(const EscapeSequence& e, const char* text)   // text: the intermediates and the final byte
{
    unsigned count = 0;
    for (; text[count + 1] != 0; ++count)
        if (count >= e.intermediateCount || e.intermediates[count] != static_cast<uint8_t>(text[count]))
            return false;
    return e.complete && count == e.intermediateCount && e.final == static_cast<uint8_t>(text[count]);
}

bool IsGraphic7(uint8_t b) { return b >= 0x21 && b <= 0x7E; }

// ---- ISO-2022-JP <-> Shift_JIS ----------------------------------------------

// A JIS X 0208 pair (each byte 0x21..0x7E) in its Shift_JIS form.
void JisToShiftJis(uint8_t j1, uint8_t j2, uint8_t& s1, uint8_t& s2)
{
    unsigned lead = (j1 + 1u) / 2 + 0x70;
    s1 = static_cast<uint8_t>(lead >= 0xA0 ? lead + 0x40 : lead);
    if (j1 & 1)
        s2 = static_cast<uint8_t>(j2 + (j2 >= 0x60 ? 0x20 : 0x1F));
    else
        s2 = static_cast<uint8_t>(j2 + 0x7E);
}

bool IsShiftJisLead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF); }
bool IsShiftJisTrail(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
// Leads of the user-defined and IBM extension rows of code page 932, which
// have no JIS X 0208 form.
bool IsShiftJisExtensionLead(uint8_t b) { return b >= 0xF0 && b <= 0xFC; }

// A Shift_JIS pair (lead and trail as above) as JIS X 0208 bytes.
uint16_t ShiftJisToJis(uint8_t s1, uint8_t s2)
{
    unsigned lead = s1 >= 0xE0 ? s1 - 0x40u : s1;
    unsigned row = (lead - 0x70) * 2;
    if (s2 >= 0x9F)
        return static_cast<uint16_t>(row << 8 | (s2 - 0x7Eu));
    return static_cast<uint16_t>((row - 1) << 8 | (s2 - (s2 >= 0x80 ? 0x20u : 0x1Fu)));
}

constexpr uint8_t kFirstHalfWidthKana = 0xA1;
constexpr uint8_t kLastHalfWidthKana = 0xDF;
constexpr uint8_t kVoicedMark = 0xDE;
constexpr uint8_t kSemiVoicedMark = 0xDF;

bool IsHalfWidthKana(uint8_t b) { return b >= kFirstHalfWidthKana && b <= kLastHalfWidthKana; }

// The JIS X 0208 character of each half-width katakana byte 0xA1..0xDF:
// punctuation in row 1, katakana in row 5, the sound marks as the spacing
// marks of row 1.
constexpr uint16_t kFullWidthKana[] = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523,   // A1 .. A8
    0x2525, 0x2527, 0x2529, 0x2563, 0x2565, 0x2567, 0x2543, 0x213C,   // A9 .. B0
    0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D, 0x252F,   // B1 .. B8
    0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F,   // B9 .. C0
    0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D,   // C1 .. C8
    0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E, 0x255F,   // C9 .. D0
    0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569, 0x256A,   // D1 .. D8
    0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,           // D9 .. DF
};
static_assert(std::size(kFullWidthKana) == kLastHalfWidthKana - kFirstHalfWidthKana + 1);

constexpr uint16_t kFullWidthVu = 0x2574;
constexpr uint8_t kHalfWidthU = 0xB3;

// The full-width kana for a half-width kana followed by a sound mark, or 0
// when JIS X 0208 has no such combined kana. The voiced kana follow their
// plain kana (KA..TO, HA..HO); the semi-voiced ones come one later (HA..HO).
uint16_t CombinedKana(uint8_t kana, uint8_t mark)
{
    uint16_t plain = kFullWidthKana[kana - kFirstHalfWidthKana];
    bool ka = kana >= 0xB6 && kana <= 0xC4;
    bool ha = kana >= 0xCA && kana <= 0xCE;
    if (mark == kVoicedMark) {
        if (kana == kHalfWidthU)
            return kFullWidthVu;
        return ka || ha ? static_cast<uint16_t>(plain + 1) : 0;
    }
    return ha ? static_cast<uint16_t>(plain + 2) : 0;
}

// Writes Shift_JIS text as ISO-2022-JP; false when some of it has no
// JIS X 0208 or ASCII form (dropped).
class Iso2022JpEncoder {
public:
    explicit Iso2022JpEncoder(DataBuffer& out) : out_(out) {}

    bool Encode(const uint8_t* p, size_t n)
    {
        bool ok = true;
        for (size_t i = 0; i < n;)
            i += EncodeOne(p + i, n - i, ok);
        SwitchToAscii();
        out_.Flush();
        return ok;
    }

private:
    // Writes the character at p; returns the bytes it took.
    size_t EncodeOne(const uint8_t* p, size_t n, bool& ok)
    {
        uint8_t b = p[0];
        if (b < 0x80) {
            SwitchToAscii();
            out_.Put(b);
            return 1;
        }
        if (IsHalfWidthKana(b))
            return WriteKana(p, n);
        bool lead = IsShiftJisLead(b) || IsShiftJisExtensionLead(b);
        bool pair = lead && n >= 2 && IsShiftJisTrail(p[1]);
        if (pair && IsShiftJisLead(b)) {
            WriteJis(ShiftJisToJis(b, p[1]));
            return 2;
        }
        ok = false;   // an extension row, a broken pair or a single byte with no 7-bit form
        return pair ? 2 : 1;
    }

    size_t WriteKana(const uint8_t* p, size_t n)
    {
        if (n >= 2 && (p[1] == kVoicedMark || p[1] == kSemiVoicedMark)) {
            uint16_t combined = CombinedKana(p[0], p[1]);
            if (combined != 0) {
                WriteJis(combined);
                return 2;
            }
        }
        WriteJis(kFullWidthKana[p[0] - kFirstHalfWidthKana]);
        return 1;
    }

    void WriteJis(uint16_t jis)
    {
        if (!inJis_) {
            out_.Put(kEsc);
            out_.Put('$', 'B');
            inJis_ = true;
        }
        out_.Put(static_cast<uint8_t>(jis >> 8), static_cast<uint8_t>(jis & 0xFF));
    }

    void SwitchToAscii()
    {
        if (!inJis_)
            return;
        out_.Put(kEsc);
        out_.Put('(', 'B');
        inJis_ = false;
    }

    ByteWriter out_;
    bool inJis_ = false;
};

// Reads ISO-2022-JP into Shift_JIS. Besides the JIS X 0208 and ASCII/Roman
// designations it reads the half-width katakana set (ESC "(" "I", or SO/SI)
// into the Shift_JIS half-width bytes; other two-byte sets (JIS X 0212,
// GB 2312, KS C 5601 of the extended forms) have no Shift_JIS form and are
// dropped. Bytes above 0x7F are passed on for the Shift_JIS reader.
class Iso2022JpDecoder {
public:
    explicit Iso2022JpDecoder(DataBuffer& out) : out_(out) {}

    bool Decode(const uint8_t* p, size_t n)
    {
        ok_ = true;
        for (size_t i = 0; i < n;)
            i += DecodeOne(p + i, n - i);
        out_.Flush();
        return ok_;
    }

private:
    enum class Mode { kAscii, kJis, kKana, kOtherDouble };

    size_t DecodeOne(const uint8_t* p, size_t n)
    {
        uint8_t b = p[0];
        if (b == kEsc)
            return Designate(p, n);
        if (b == kCr || b == kLf) {   // a line starts in ASCII
            mode_ = Mode::kAscii;
            shiftedOut_ = false;
            out_.Put(b);
            return 1;
        }
        if (b == kShiftOut || b == kShiftIn) {
            shiftedOut_ = b == kShiftOut;
            return 1;
        }
        if (IsGraphic7(b) && (mode_ == Mode::kJis || mode_ == Mode::kOtherDouble))
            return DecodePair(p, n);
        if (b >= 0x21 && b <= 0x5F && (mode_ == Mode::kKana || shiftedOut_)) {
            out_.Put(static_cast<uint8_t>(b + 0x80));
            return 1;
        }
        out_.Put(b);
        return 1;
    }

    size_t DecodePair(const uint8_t* p, size_t n)
    {
        if (n < 2 || !IsGraphic7(p[1])) {
            ok_ = false;   // half a character
            return 1;
        }
        if (mode_ == Mode::kOtherDouble) {
            ok_ = false;
            return 2;
        }
        uint8_t s1, s2;
        JisToShiftJis(p[0], p[1], s1, s2);
        out_.Put(s1, s2);
        return 2;
    }

    size_t Designate(const uint8_t* p, size_t n)
    {
        EscapeSequence e = ReadEscape(p, n);
        if (IsEscape(e, "$@") || IsEscape(e, "$B") || IsEscape(e, "$(@") || IsEscape(e, "$(B"))
            mode_ = Mode::kJis;
        else if (IsEscape(e, "(I"))
            mode_ = Mode::kKana;
        else if (e.complete && e.intermediateCount == 1 && e.intermediates[0] == '(')
            mode_ = Mode::kAscii;   // ASCII, JIS X 0201 Roman and other 94-character sets
        else if (IsEscape(e, "$A") || (e.complete && e.intermediateCount == 2 && e.intermediates[0] == '$' &&
                                       e.intermediates[1] == '('))
            mode_ = Mode::kOtherDouble;   // GB 2312, JIS X 0212, KS C 5601 and other two-byte sets
        return e.length;   // anything else is skipped
    }

    ByteWriter out_;
    Mode mode_ = Mode::kAscii;
    bool shiftedOut_ = false;
    bool ok_ = true;
};

// ---- ISO-2022-KR <-> code page 949 --------------------------------------------

bool IsKsX1001Byte(uint8_t b) { return b >= 0xA1 && b <= 0xFE; }

// Writes code page 949 text as ISO-2022-KR. Only the KS X 1001 part of the
// page (both bytes 0xA1..0xFE) has a 7-bit form; the extended Hangul of
// code page 949 is dropped.
bool EncodeIso2022Kr(const uint8_t* p, size_t n, DataBuffer& out)
{
    if (n == 0)
        return true;
    ByteWriter w(out);
    static constexpr uint8_t kDesignator[] = {kEsc, '$', ')', 'C'};
    for (uint8_t b : kDesignator)
        w.Put(b);
    bool ok = true;
    bool shifted = false;
    for (size_t i = 0; i < n;) {
        uint8_t b = p[i];
        if (b < 0x80) {
            if (shifted)
                w.Put(kShiftIn);
            shifted = false;
            w.Put(b);
            ++i;
        } else if (i + 1 < n && IsKsX1001Byte(b) && IsKsX1001Byte(p[i + 1])) {
            if (!shifted)
                w.Put(kShiftOut);
            shifted = true;
            w.Put(static_cast<uint8_t>(b & 0x7F), static_cast<uint8_t>(p[i + 1] & 0x7F));
            i += 2;
        } else {
            ok = false;
            i += i + 1 < n && p[i + 1] >= 0x41 ? 2 : 1;   // a code page 949 pair, or a stray byte
        }
    }
    if (shifted)
        w.Put(kShiftIn);   // the text ends in the one-byte state
    w.Flush();
    return ok;
}

// Reads ISO-2022-KR into code page 949. A line starts in the one-byte state,
// so CR and LF also end the two-byte state.
bool DecodeIso2022Kr(const uint8_t* p, size_t n, DataBuffer& out)
{
    ByteWriter w(out);
    bool ok = true;
    bool shifted = false;
    for (size_t i = 0; i < n;) {
        uint8_t b = p[i];
        if (b == kEsc) {
            i += ReadEscape(p + i, n - i).length;   // the designator, or an escape of no meaning here
        } else if (b == kShiftOut || b == kShiftIn) {
            shifted = b == kShiftOut;
            ++i;
        } else if (shifted && IsGraphic7(b)) {
            if (i + 1 < n && IsGraphic7(p[i + 1])) {
                w.Put(static_cast<uint8_t>(b | 0x80), static_cast<uint8_t>(p[i + 1] | 0x80));
                i += 2;
            } else {
                ok = false;   // half a character
                ++i;
            }
        } else {
            if (b == kCr || b == kLf)
                shifted = false;
            w.Put(b);
            ++i;
        }
    }
    w.Flush();
    return ok;
}

// ---- UTF-7 --------------------------------------------------------------------

constexpr char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kNotBase64 = -1;

constexpr std::array<int8_t, 128> MakeBase64Values()
{
    std::array<int8_t, 128> values{};
    for (auto& v : values)
        v = kNotBase64;
    for (int i = 0; i < 64; ++i)
        values[static_cast<uint8_t>(kBase64Digits[i])] = static_cast<int8_t>(i);
    return values;
}

constexpr std::array<int8_t, 128> kBase64Values = MakeBase64Values();

int Base64Value(uint8_t b) { return b < 0x80 ? kBase64Values[b] : kNotBase64; }

// The characters UTF-7 writes as themselves: RFC 2152's set D, space, tab,
// CR and LF. Its optional direct characters are encoded, which every reader
// accepts.
bool IsUtf7Direct(char16_t u)
{
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9'))
        return true;
    switch (u) {
    case '\'': case '(': case ')': case ',': case '-': case '.': case '/': case ':': case '?':
    case ' ': case '\t': case '\r': case '\n':
        return true;
    default:
        return false;
    }
}

class Utf7Encoder {
public:
    explicit Utf7Encoder(DataBuffer& out) : out_(out) {}

    // units: UTF-16LE bytes (an odd last byte is ignored; the core never
    // writes one).
    void Encode(const uint8_t* p, size_t n)
    {
        size_t i = 0;
        if (n >= 2 && UnitAt(p, 0) == 0xFEFF)
            i = 2;   // a leading byte-order mark is not written
        for (; i + 1 < n; i += 2)
            EncodeUnit(UnitAt(p, i));
        EndRun();
        out_.Flush();
    }

private:
    static char16_t UnitAt(const uint8_t* p, size_t i) { return static_cast<char16_t>(p[i] | p[i + 1] << 8); }

    void EncodeUnit(char16_t u)
    {
        if (IsUtf7Direct(u) || u == '+') {
            EndRun();
            out_.Put(static_cast<uint8_t>(u));
            if (u == '+')
                out_.Put('-');
            return;
        }
        if (!inRun_) {
            out_.Put('+');
            inRun_ = true;
        }
        bits_ = bits_ << 16 | u;
        bitCount_ += 16;
        while (bitCount_ >= 6) {
            bitCount_ -= 6;
            out_.Put(static_cast<uint8_t>(kBase64Digits[(bits_ >> bitCount_) & 0x3F]));
        }
        bits_ &= (1u << bitCount_) - 1;
    }

    void EndRun()
    {
        if (!inRun_)
            return;
        if (bitCount_ > 0)
            out_.Put(static_cast<uint8_t>(kBase64Digits[(bits_ << (6 - bitCount_)) & 0x3F]));
        out_.Put('-');
        inRun_ = false;
        bits_ = 0;
        bitCount_ = 0;
    }

    ByteWriter out_;
    bool inRun_ = false;
    uint32_t bits_ = 0;        // bits not yet written, at most 20
    unsigned bitCount_ = 0;
};

// Reads UTF-7 into UTF-16LE. False when a run yields no character, leaves
// bits that are not zero, or the text has bytes above 0x7F (dropped); the
// rest is still converted.
class Utf7Decoder {
public:
    explicit Utf7Decoder(DataBuffer& out) : out_(out) {}

    bool Decode(const uint8_t* p, size_t n)
    {
        bool ok = true;
        for (size_t i = 0; i < n;) {
            uint8_t b = p[i++];
            if (b >= 0x80) {
                ok = false;
            } else if (b != '+') {
                out_.PutUnit(b);
            } else if (i < n && p[i] == '-') {
                out_.PutUnit('+');
                ++i;
            } else {
                i = DecodeRun(p, n, i, ok);
            }
        }
        out_.Flush();
        return ok;
    }

private:
    // Reads the Base64 run starting at i; returns the position after it
    // (after its closing "-", which belongs to the run).
    size_t DecodeRun(const uint8_t* p, size_t n, size_t i, bool& ok)
    {
        uint32_t bits = 0;
        unsigned bitCount = 0;
        size_t units = 0;
        for (; i < n && Base64Value(p[i]) != kNotBase64; ++i) {
            bits = bits << 6 | static_cast<uint32_t>(Base64Value(p[i]));
            bitCount += 6;
            if (bitCount >= 16) {
                bitCount -= 16;
                out_.PutUnit((bits >> bitCount) & 0xFFFF);
                ++units;
            }
            bits &= (1u << bitCount) - 1;
        }
        if (units == 0 || bits != 0)
            ok = false;
        if (i < n && p[i] == '-')
            ++i;
        return i;
    }

    ByteWriter out_;
};

// ---- UTF-32 -------------------------------------------------------------------

ByteOrder Utf32Order(int codePage)
{
    return codePage == EncodingConvert::kUtf32Le ? ByteOrder::kLittle : ByteOrder::kBig;
}

// Reads UTF-32 into UTF-16LE: characters above U+FFFF become surrogate
// pairs. Surrogate code points, values above U+10FFFF and a partial last
// unit are dropped and make the result false.
bool DecodeUtf32(ByteOrder order, const uint8_t* p, size_t n, DataBuffer& out)
{
    ByteWriter w(out);
    bool ok = n % 4 == 0;
    for (size_t i = 0; i + 4 <= n; i += 4) {
        uint32_t c = order == ByteOrder::kLittle
            ? uint32_t{p[i]} | uint32_t{p[i + 1]} << 8 | uint32_t{p[i + 2]} << 16 | uint32_t{p[i + 3]} << 24
            : uint32_t{p[i + 3]} | uint32_t{p[i + 2]} << 8 | uint32_t{p[i + 1]} << 16 | uint32_t{p[i]} << 24;
        if (IsSurrogate(c) || c > kLastCodePoint) {
            ok = false;
        } else if (c >= kFirstAstral) {
            w.PutUnit(0xD800 + ((c - kFirstAstral) >> 10));
            w.PutUnit(0xDC00 + ((c - kFirstAstral) & 0x3FF));
        } else {
            w.PutUnit(c);
        }
    }
    w.Flush();
    return ok;
}

void PutUtf32(ByteWriter& w, ByteOrder order, uint32_t c)
{
    for (int i = 0; i < 4; ++i) {
        int shift = order == ByteOrder::kLittle ? 8 * i : 8 * (3 - i);
        w.Put(static_cast<uint8_t>(c >> shift));
    }
}

// Reads the UTF-8 character at p for UTF-32; returns its length (0 when
// none starts there). Besides the one- to three-byte sequences it reads
// four-byte sequences, and a high and a low surrogate written as two
// three-byte sequences (as this converter writes characters above U+FFFF)
// as the one character they stand for. A lone surrogate reads as nothing.
size_t ReadUtf8CodePoint(const uint8_t* p, size_t n, uint32_t& code)
{
    char16_t unit;
    unsigned length = ReadUtf8Unit(p, n, unit);
    if (length == 0)
        return FourByteSequence(p, n, code);
    code = unit;
    if (!IsSurrogate(unit))
        return length;
    char16_t low;
    if (IsHighSurrogate(unit) && length < n && ReadUtf8Unit(p + length, n - length, low) == 3 && IsLowSurrogate(low)) {
        code = CombineSurrogates(unit, low);
        return 6;
    }
    code = 0;
    return 0;
}

// Writes UTF-8 text as UTF-32; bytes that do not read as a character are
// dropped and make the result false.
bool EncodeUtf32FromUtf8(ByteOrder order, const uint8_t* p, size_t n, DataBuffer& out)
{
    ByteWriter w(out);
    bool ok = true;
    for (size_t i = 0; i < n;) {
        uint32_t code = 0;
        size_t length = ReadUtf8CodePoint(p + i, n - i, code);
        if (length == 0) {
            ok = false;
            char16_t unit;
            unsigned skip = ReadUtf8Unit(p + i, n - i, unit);   // a lone surrogate's three bytes
            i += skip > 0 ? skip : 1;
            continue;
        }
        PutUtf32(w, order, code);
        i += length;
    }
    w.Flush();
    return ok;
}

} // namespace

// ---- EncodingConvert ------------------------------------------------------------

bool EncodingConvert::SetSubstitute(const void* bytes, unsigned n)
{
    if (n > kMaxSubstituteBytes)
        return false;
    substitute_.Clear();
    substitute_.AppendBytes(bytes, n);
    return true;
}

bool EncodingConvert::IsSupported(int codePage)
{
    return IsAlgorithmic(codePage) || TablePageBehind(codePage) != 0 ||
           CodePageTables::IsSingleBytePage(codePage) || CodePageTables::IsDoubleBytePage(codePage);
}

bool EncodingConvert::ConvertByName(const char* fromName, const char* toName, const void* bytes, unsigned n,
                                    DataBuffer& out, LogBase& log)
{
    int from = CharsetNames::CodePageFromName(fromName);
    int to = CharsetNames::CodePageFromName(toName);
    if (from != 0 && to != 0)
        return Convert(from, to, bytes, n, out, log);
    // An unknown target would otherwise read as 0, "copy unchanged".
    const char* unknown = from == 0 ? fromName : toName;
    log.LogError("Unknown charset");
    log.LogData("charset", unknown != nullptr ? unknown : "");
    fromCodePage_ = from;
    toCodePage_ = to;
    return false;
}

bool EncodingConvert::Convert(int fromCodePage, int toCodePage, const void* bytes, unsigned n, DataBuffer& out,
                              LogBase& log)
{
    fromCodePage_ = fromCodePage;
    toCodePage_ = toCodePage;
    const auto* p = static_cast<const uint8_t*>(bytes);
    if (p == nullptr)
        n = 0;
    try {
        if (toCodePage == 0 || toCodePage == fromCodePage) {
            out.AppendBytes(p, n);
            return true;
        }
        if (!LoadTables(fromCodePage, log) || !LoadTables(toCodePage, log))
            return false;
        if (errorAction == kAltCodePage && altCodePage != 0 && !LoadTables(altCodePage, log))
            log.LogInfo("Characters the target cannot hold are dropped");
        return ConvertFromSource(fromCodePage, toCodePage, p, n, out, log);
    } catch (const std::bad_alloc&) {
        log.LogError("Conversion output is too large");
        return false;
    }
}

// Source forms read by a pass of their own before the core conversion.
bool EncodingConvert::ConvertFromSource(int from, int to, const uint8_t* p, size_t n, DataBuffer& out, LogBase& log)
{
    DataBuffer decoded;
    bool ok = true;
    if (from == kMacArabic) {
        decoded.AppendBytes(p, static_cast<unsigned>(n));
        FixUpMacArabic(decoded.Data(), decoded.Size());
    } else if (IsIso2022Jp(from)) {
        ok = Iso2022JpDecoder(decoded).Decode(p, n);
        from = kShiftJis;
    } else if (from == kIso2022Kr) {
        ok = DecodeIso2022Kr(p, n, decoded);
        from = kKorean;
    } else if (from == kUtf7) {
        ok = Utf7Decoder(decoded).Decode(p, n);
        from = kUtf16Le;
    } else if (IsUtf32(from)) {
        ok = DecodeUtf32(Utf32Order(from), p, n, decoded);
        from = kUtf16Le;
    } else {
        return ConvertToTarget(from, to, p, n, out, log);
    }
    return ConvertToTarget(from, to, decoded.Data(), decoded.Size(), out, log) && ok;
}

// Target forms written by a pass of their own after the core conversion.
bool EncodingConvert::ConvertToTarget(int from, int to, const uint8_t* p, size_t n, DataBuffer& out, LogBase& log)
{
    int core = TablePageBehind(to);
    if (core == 0 && to == kUtf7)
        core = kUtf16Le;
    if (core == 0 && IsUtf32(to))
        core = kUtf8;
    if (core == 0)
        return ConvertCore(from, to, p, n, out, log);

    DataBuffer staged;
    const uint8_t* text = p;
    size_t length = n;
    bool ok = true;
    if (from == kUtf8 && core == kUtf8) {
        // UTF-8 goes to UTF-32 whole, four-byte sequences included.
        size_t mark = ByteOrderMarkLength(from, p, n);
        text += mark;
        length -= mark;
    } else {
        ok = ConvertCore(from, core, p, n, staged, log);
        text = staged.Data();
        length = staged.Size();
    }
    if (IsIso2022Jp(to))
        return Iso2022JpEncoder(out).Encode(text, length) && ok;
    if (to == kIso2022Kr)
        return EncodeIso2022Kr(text, length, out) && ok;
    if (to == kUtf7) {
        Utf7Encoder(out).Encode(text, length);
        return ok;
    }
    return EncodeUtf32FromUtf8(Utf32Order(to), text, length, out) && ok;
}

// Source -> UTF-16LE -> target, for UTF-16, UTF-8 and the table pages.
bool EncodingConvert::ConvertCore(int from, int to, const uint8_t* p, size_t n, DataBuffer& out, LogBase& log)
{
    size_t skip = ByteOrderMarkLength(from, p, n);
    p += skip;
    n -= skip;
    if (from == to) {
        out.AppendBytes(p, static_cast<unsigned>(n));
        return true;
    }
    Codec source, target;
    if (!MakeCodec(from, source, log) || !MakeCodec(to, target, log))
        return false;
    std::array<uint16_t, kLowUnits> lowCodes;
    if (target.table != nullptr && n >= kLowCodesMinBytes) {
        CopyLowCodes(*target.table, lowCodes);
        target.lowCodes = lowCodes.data();
    }
    return Transcode(source, target, p, n, out);
}

bool EncodingConvert::Transcode(const Codec& from, const Codec& to, const uint8_t* p, size_t n, DataBuffer& out)
{
    char16_t units[kChunkUnits];
    size_t carried = 0;   // a high surrogate kept back to meet its low half in the next slice
    bool ok = true;
    size_t pos = 0;
    while (pos < n) {
        DecodeResult r = from.decode(from, p + pos, n - pos, units + carried, kChunkUnits - carried);
        size_t count = carried + r.written;
        pos += r.consumed;
        carried = 0;
        if (count > 0 && IsHighSurrogate(units[count - 1]) && pos < n && r.badBytes == 0) {
            carried = 1;
            --count;
        }
        ok &= EncodeUnits(to, units, count, out, OnError::kApplyAction);
        if (carried > 0)
            units[0] = units[count];
        if (r.badBytes > 0) {
            ok = false;
            Offending bad{r.badCode, r.badIsCharacter, p + pos, r.badBytes};
            EmitError(to, bad, out);
            pos += r.badBytes;
        }
    }
    if (carried > 0)
        ok &= EncodeUnits(to, units, carried, out, OnError::kApplyAction);
    return ok;
}

bool EncodingConvert::EncodeUnits(const Codec& to, const char16_t* units, size_t count, DataBuffer& out,
                                  OnError onError)
{
    bool ok = true;
    size_t i = 0;
    while (i < count) {
        EnsureRoom(out, (count - i) * to.maxBytesPerUnit);
        EncodeResult r = to.encode(to, units + i, count - i, out.Data() + out.Size());
        out.SetSize(out.Size() + static_cast<unsigned>(r.written));
        i += r.consumed;
        if (!r.failed)
            continue;
        ok = false;
        // A surrogate pair the target cannot hold is one character.
        Offending bad{units[i], true, nullptr, 0};
        size_t length = 1;
        if (IsHighSurrogate(units[i]) && i + 1 < count && IsLowSurrogate(units[i + 1])) {
            bad.code = CombineSurrogates(units[i], units[i + 1]);
            length = 2;
        }
        if (onError == OnError::kApplyAction)
            EmitError(to, bad, out);
        i += length;
    }
    return ok;
}

// Writes what errorAction says for one unit the conversion could not carry.
void EncodingConvert::EmitError(const Codec& to, const Offending& bad, DataBuffer& out)
{
    switch (errorAction) {
    case kSubstitute:
        if (substitute_.Size() > 0) {
            Mark(static_cast<uint8_t>(substitute_.Size()), out);
            out.AppendBuffer(substitute_);
        }
        break;
    case kHexEntity: {
        char16_t text[16];
        size_t length = FormatHexEntity(bad.code, text);
        Mark(kHexEntityKind, out);
        EncodeUnits(to, text, length, out, OnError::kDrop);
        break;
    }
    case kCopyByte:
        if (bad.rawLength > 0) {
            Mark(kCopyByteKind, out);
            out.AppendBytes(bad.raw, bad.rawLength);
        }
        break;
    case kAltCodePage:
        ConvertToAltCodePage(bad, out);
        break;
    default:
        break;
    }
}

// Error action 6: the character alone, converted to altCodePage (or to the
// target of the whole conversion) with its own errors dropped. Undecodable
// bytes are no character and are dropped.
void EncodingConvert::ConvertToAltCodePage(const Offending& bad, DataBuffer& out) const
{
    if (!bad.isCharacter)
        return;
    uint8_t utf16[4];
    unsigned length = 0;
    auto put = [&](uint32_t unit) {
        utf16[length++] = static_cast<uint8_t>(unit & 0xFF);
        utf16[length++] = static_cast<uint8_t>(unit >> 8);
    };
    if (bad.code >= kFirstAstral) {
        put(0xD800 + ((bad.code - kFirstAstral) >> 10));
        put(0xDC00 + ((bad.code - kFirstAstral) & 0x3FF));
    } else {
        put(bad.code);
    }
    EncodingConvert single;
    LogNull quiet;   // an unsupported alternative was logged once by Convert
    single.Convert(kUtf16Le, altCodePage != 0 ? altCodePage : toCodePage_, utf16, length, out, quiet);
}

void EncodingConvert::Mark(uint8_t kind, DataBuffer& out) const
{
    if (!markErrors)
        return;
    const uint8_t mark[] = {kMarkByte1, kMarkByte2, kind};
    out.AppendBytes(mark, sizeof mark);
}

} // namespace plentor

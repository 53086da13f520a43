#include "text/EncodingConvert.h"

#include "log/LogBase.h"

#include <algorithm>
#include <array>

namespace plentor {

namespace {

// ---- single-byte tables ---------------------------------------------------

// Byte -> UTF-16 unit; 0 marks an unmapped byte (byte 0x00 itself reads as U+0000).
using ByteTable = std::array<char16_t, 256>;

struct ReverseEntry {
    char16_t unit;
    uint8_t byte;
};

// UTF-16 unit -> byte, sorted by unit (then byte, so the lowest byte wins
// where two bytes read as the same unit).
struct ReverseTable {
    std::array<ReverseEntry, 256> entries{};
    unsigned count = 0;
};

constexpr bool IsMapped(const ByteTable& table, unsigned byte) { return byte == 0 || table[byte] != 0; }

constexpr ReverseTable MakeReverse(const ByteTable& table)
{
    ReverseTable r;
    for (unsigned b = 0; b < 256; ++b)
        if (IsMapped(table, b))
            r.entries[r.count++] = {table[b], static_cast<uint8_t>(b)};
    // Insertion sort: it runs once, at compile time, on 256 entries.
    for (unsigned i = 1; i < r.count; ++i) {
        ReverseEntry e = r.entries[i];
        unsigned j = i;
        for (; j > 0 && r.entries[j - 1].unit > e.unit; --j)
            r.entries[j] = r.entries[j - 1];
        r.entries[j] = e;
    }
    return r;
}

constexpr ByteTable MakeTable(unsigned mappedBelow)
{
    ByteTable t{};
    for (unsigned b = 0; b < mappedBelow; ++b)
        t[b] = static_cast<char16_t>(b);
    return t;
}

constexpr ByteTable kUsAsciiTable = MakeTable(0x80);
constexpr ByteTable kLatin1Table = MakeTable(0x100);

// windows-1252; 0x81, 0x8D, 0x8F, 0x90 and 0x9D are undefined.
constexpr ByteTable kWindows1252Table = {
    0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0005, 0x0006, 0x0007, 0x0008, 0x0009, 0x000A, 0x000B, 0x000C, 0x000D, 0x000E, 0x000F,  // 00
    0x0010, 0x0011, 0x0012, 0x0013, 0x0014, 0x0015, 0x0016, 0x0017, 0x0018, 0x0019, 0x001A, 0x001B, 0x001C, 0x001D, 0x001E, 0x001F,  // 10
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027, 0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,  // 20
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 30
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047, 0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,  // 40
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057, 0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,  // 50
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067, 0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  // 60
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077, 0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x007F,  // 70
    0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x0000, 0x017D, 0x0000,  // 80
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178,  // 90
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,  // A0
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,  // B0
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,  // C0
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,  // D0
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,  // E0
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7, 0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,  // F0
};

struct SingleBytePage {
    const ByteTable& toUnicode;
    const ReverseTable& fromUnicode;
};

constexpr ReverseTable kUsAsciiReverse = MakeReverse(kUsAsciiTable);
constexpr ReverseTable kLatin1Reverse = MakeReverse(kLatin1Table);
constexpr ReverseTable kWindows1252Reverse = MakeReverse(kWindows1252Table);

constexpr SingleBytePage kUsAsciiPage{kUsAsciiTable, kUsAsciiReverse};
constexpr SingleBytePage kLatin1Page{kLatin1Table, kLatin1Reverse};
constexpr SingleBytePage kWindows1252Page{kWindows1252Table, kWindows1252Reverse};

bool LookupByte(const ReverseTable& table, char16_t unit, uint8_t& byte)
{
    const ReverseEntry* end = table.entries.data() + table.count;
    const ReverseEntry* at = std::lower_bound(table.entries.data(), end, unit,
                                              [](const ReverseEntry& e, char16_t u) { return e.unit < u; });
    if (at == end || at->unit != unit)
        return false;
    byte = at->byte;
    return true;
}

// ---- codec interface ------------------------------------------------------

// What a decoder did: it stops when dst is full, at the end of the input, or
// before the first sequence it cannot read (reported in badBytes / badCode).
struct DecodeResult {
    size_t consumed = 0;       // input bytes turned into units
    size_t written = 0;        // units written
    unsigned badBytes = 0;     // length of the unreadable sequence after the consumed bytes
    uint32_t badCode = 0;      // its code point when it is one, else its first byte
};

// What an encoder did: it stops at the end of the units or before the first
// unit the code page cannot hold. dst has room for maxBytesPerUnit per unit.
struct EncodeResult {
    size_t consumed = 0;       // units written out
    size_t written = 0;        // bytes written
    bool failed = false;       // units[consumed] cannot be written
};

} // namespace

struct EncodingConvert::Codec {
    using Decoder = DecodeResult (*)(const Codec&, const uint8_t* p, size_t n, char16_t* dst, size_t room);
    using Encoder = EncodeResult (*)(const Codec&, const char16_t* units, size_t count, uint8_t* dst);

    int codePage;
    Decoder decode;
    Encoder encode;
    unsigned maxBytesPerUnit;
    const SingleBytePage* page;   // for table-driven code pages
};

namespace {

using Codec = EncodingConvert::Codec;

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
unsigned ReadUtf8Unit(const uint8_t* p, size_t n, char16_t& unit)
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

DecodeResult DecodeUtf8(const Codec&, const uint8_t* p, size_t n, char16_t* dst, size_t room)
{
    DecodeResult r;
    while (r.consumed < n && r.written < room) {
        unsigned length = ReadUtf8Unit(p + r.consumed, n - r.consumed, dst[r.written]);
        if (length == 0) {
            r.badBytes = FourByteSequence(p + r.consumed, n - r.consumed, r.badCode);
            if (r.badBytes == 0) {
                r.badBytes = 1;
                r.badCode = p[r.consumed];
            }
            break;
        }
        r.consumed += length;
        ++r.written;
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

// ---- single-byte code pages -----------------------------------------------

DecodeResult DecodeSingleByte(const Codec& codec, const uint8_t* p, size_t n, char16_t* dst, size_t room)
{
    const ByteTable& table = codec.page->toUnicode;
    DecodeResult r;
    size_t limit = std::min(n, room);
    for (; r.consumed < limit; ++r.consumed) {
        uint8_t b = p[r.consumed];
        if (!IsMapped(table, b)) {
            r.badBytes = 1;
            r.badCode = b;
            break;
        }
        dst[r.consumed] = table[b];
    }
    r.written = r.consumed;
    return r;
}

EncodeResult EncodeSingleByte(const Codec& codec, const char16_t* units, size_t count, uint8_t* dst)
{
    EncodeResult r;
    for (; r.consumed < count; ++r.consumed) {
        if (!LookupByte(codec.page->fromUnicode, units[r.consumed], dst[r.consumed])) {
            r.failed = true;
            break;
        }
    }
    r.written = r.consumed;
    return r;
}

// ---- the code pages -------------------------------------------------------

// Bytes per unit of the widest encoder (UTF-8 writes up to three).
constexpr unsigned kMaxBytesPerUnit = 3;

constexpr Codec kCodecs[] = {
    {EncodingConvert::kUtf16Le, DecodeUtf16<ByteOrder::kLittle>, EncodeUtf16<ByteOrder::kLittle>, 2, nullptr},
    {EncodingConvert::kUtf16Be, DecodeUtf16<ByteOrder::kBig>, EncodeUtf16<ByteOrder::kBig>, 2, nullptr},
    {EncodingConvert::kUtf8, DecodeUtf8, EncodeUtf8, 3, nullptr},
    {EncodingConvert::kUsAscii, DecodeSingleByte, EncodeSingleByte, 1, &kUsAsciiPage},
    {EncodingConvert::kLatin1, DecodeSingleByte, EncodeSingleByte, 1, &kLatin1Page},
    {EncodingConvert::kWindows1252, DecodeSingleByte, EncodeSingleByte, 1, &kWindows1252Page},
};

static_assert(std::all_of(std::begin(kCodecs), std::end(kCodecs),
                          [](const Codec& c) { return c.maxBytesPerUnit <= kMaxBytesPerUnit; }));

const Codec* FindCodec(int codePage)
{
    for (const Codec& c : kCodecs)
        if (c.codePage == codePage)
            return &c;
    return nullptr;
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
    out.Reserve(static_cast<unsigned>(std::max(n, static_cast<size_t>(out.Size() / 2))));
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

} // namespace

bool EncodingConvert::SetSubstitute(const void* bytes, unsigned n)
{
    if (n > kMaxSubstituteBytes)
        return false;
    substitute_.Clear();
    substitute_.AppendBytes(bytes, n);
    return true;
}

bool EncodingConvert::Convert(int fromCodePage, int toCodePage, const void* bytes, unsigned n, DataBuffer& out,
                              LogBase& log)
{
    fromCodePage_ = fromCodePage;
    toCodePage_ = toCodePage;
    const auto* p = static_cast<const uint8_t*>(bytes);
    if (p == nullptr)
        n = 0;
    if (toCodePage == 0 || toCodePage == fromCodePage) {
        out.AppendBytes(p, n);
        return true;
    }
    const Codec* from = FindCodec(fromCodePage);
    const Codec* to = FindCodec(toCodePage);
    if (from == nullptr || to == nullptr) {
        log.LogError("Unsupported code page");
        log.LogDataLong("codePage", from == nullptr ? fromCodePage : toCodePage);
        return false;
    }
    size_t skip = ByteOrderMarkLength(fromCodePage, p, n);
    return Transcode(*from, *to, p + skip, n - skip, out);
}

bool EncodingConvert::Transcode(const Codec& from, const Codec& to, const uint8_t* p, size_t n, DataBuffer& out)
{
    char16_t units[kChunkUnits];
    bool ok = true;
    size_t pos = 0;
    while (pos < n) {
        DecodeResult r = from.decode(from, p + pos, n - pos, units, kChunkUnits);
        ok &= EncodeUnits(to, units, r.written, out, OnError::kApplyAction);
        pos += r.consumed;
        if (r.badBytes > 0) {
            ok = false;
            EmitError(to, r.badCode, p + pos, r.badBytes, out);
            pos += r.badBytes;
        }
    }
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
        if (r.failed) {
            ok = false;
            if (onError == OnError::kApplyAction)
                EmitError(to, units[i], nullptr, 0, out);
            ++i;
        }
    }
    return ok;
}

// Writes what errorAction says for one unit the conversion could not carry:
// code is the character (or the undecodable byte), raw the undecodable
// source bytes (none when the target could not hold a decoded unit).
void EncodingConvert::EmitError(const Codec& to, uint32_t code, const uint8_t* raw, unsigned rawLength,
                                DataBuffer& out)
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
        size_t length = FormatHexEntity(code, text);
        Mark(kHexEntityKind, out);
        EncodeUnits(to, text, length, out, OnError::kDrop);
        break;
    }
    case kCopyByte:
        if (rawLength > 0) {
            Mark(kCopyByteKind, out);
            out.AppendBytes(raw, rawLength);
        }
        break;
    case kAltCodePage:
        // Converting through altCodePage needs the other code pages' tables;
        // until then the unit is dropped, as with kDrop.
    default:
        break;
    }
}

void EncodingConvert::Mark(uint8_t kind, DataBuffer& out) const
{
    if (!markErrors)
        return;
    const uint8_t mark[] = {kMarkByte1, kMarkByte2, kind};
    out.AppendBytes(mark, sizeof mark);
}

} // namespace plentor

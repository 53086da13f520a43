#include "text/UnicodeForms.h"

#include "text/AsciiRun.h"
#include "text/Base64Digits.h"
#include "text/ByteWriter.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"
#include "text/Surrogates.h"
#include "text/TextCodec.h"
#include "text/Utf8Reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace plentor {

namespace {

using DecodeResult = TextCodec::DecodeResult;
using EncodeResult = TextCodec::EncodeResult;

// ---- UTF-16 ---------------------------------------------------------------

enum class ByteOrder { kLittle, kBig };

// The byte order in which a unit's bytes can be copied as they are.
constexpr ByteOrder kMachineOrder = std::endian::native == std::endian::little ? ByteOrder::kLittle : ByteOrder::kBig;

template <ByteOrder order>
DecodeResult DecodeUtf16(const TextCodec&, const uint8_t* p, size_t n, char16_t* dst, size_t room)
{
    DecodeResult r;
    size_t units = std::min(n / 2, room);
    if constexpr (order == kMachineOrder) {
        std::memcpy(dst, p, units * 2);
        p += units * 2;
    } else {
        for (size_t i = 0; i < units; ++i, p += 2)
            dst[i] = static_cast<char16_t>(p[0] << 8 | p[1]);
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
EncodeResult EncodeUtf16(const TextCodec&, const char16_t* units, size_t count, uint8_t* dst)
{
    if constexpr (order == kMachineOrder) {
        std::memcpy(dst, units, count * 2);
    } else {
        for (size_t i = 0; i < count; ++i) {
            dst[2 * i] = static_cast<uint8_t>(units[i] >> 8);
            dst[2 * i + 1] = static_cast<uint8_t>(units[i] & 0xFF);
        }
    }
    return {count, count * 2, false};
}

// ---- UTF-8 ----------------------------------------------------------------

bool IsContinuation(uint8_t b) { return Utf8Reader::IsContinuation(b); }

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

// Takes decoded text into UTF-16 code units.
class UnitSink {
public:
    UnitSink(char16_t* dst, size_t room) : next_(dst), end_(dst + room) {}

    bool HasRoom() const { return next_ < end_; }

    size_t PutAscii(const uint8_t* p, size_t n)
    {
        size_t run = AsciiRun::Widen(p, std::min(n, static_cast<size_t>(end_ - next_)), next_);
        next_ += run;
        return run;
    }

    bool Put(char16_t unit)
    {
        *next_++ = unit;
        return true;
    }

    char16_t* Next() const { return next_; }
    void Advance() { ++next_; }

private:
    char16_t* next_;
    char16_t* end_;
};

DecodeResult DecodeUtf8(const TextCodec&, const uint8_t* p, size_t n, char16_t* dst, size_t room)
{
    UnitSink sink(dst, room);
    size_t i = 0;
    for (;;) {
        i += Utf8Reader::ReadCommon(p + i, n - i, sink);
        if (i == n || !sink.HasRoom())
            break;
        // Lead 0xE0, or a sequence that does not read as one unit.
        unsigned length = ReadUtf8Unit(p + i, n - i, *sink.Next());
        if (length == 0)
            break;
        i += length;
        sink.Advance();
    }
    DecodeResult r;
    r.consumed = i;
    r.written = static_cast<size_t>(sink.Next() - dst);
    if (i < n && sink.HasRoom()) {   // stopped before a sequence it cannot read
        r.badBytes = FourByteSequence(p + i, n - i, r.badCode);
        r.badIsCharacter = r.badBytes > 0;
        if (r.badBytes == 0) {
            r.badBytes = 1;
            r.badCode = p[i];
        }
    }
    return r;
}

// Every code unit, surrogates included, becomes one to three bytes.
EncodeResult EncodeUtf8(const TextCodec&, const char16_t* units, size_t count, uint8_t* dst)
{
    uint8_t* start = dst;
    size_t i = 0;
    while (i < count) {
        unsigned u = units[i];
        if (u < 0x80) {
            size_t run = AsciiRun::Narrow(units + i, count - i, dst);
            i += run;
            dst += run;
            continue;
        }
        // Two or three bytes, chosen without a branch (Latin text mixes
        // both): all three are stored, each unit having room for three, and
        // a two-byte form's third is overwritten by what follows.
        bool three = u >= 0x800;
        dst[0] = static_cast<uint8_t>(three ? 0xE0 | u >> 12 : 0xC0 | u >> 6);
        dst[1] = static_cast<uint8_t>(0x80 | ((three ? u >> 6 : u) & 0x3F));
        dst[2] = static_cast<uint8_t>(0x80 | (u & 0x3F));
        dst += three ? 3 : 2;
        ++i;
    }
    return {count, static_cast<size_t>(dst - start), false};
}

// ---- UTF-7 --------------------------------------------------------------------

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
            out_.Put(static_cast<uint8_t>(Base64Digits::kAlphabet[(bits_ >> bitCount_) & 0x3F]));
        }
        bits_ &= (1u << bitCount_) - 1;
    }

    void EndRun()
    {
        if (!inRun_)
            return;
        if (bitCount_ > 0)
            out_.Put(static_cast<uint8_t>(Base64Digits::kAlphabet[(bits_ << (6 - bitCount_)) & 0x3F]));
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
        for (; i < n && Base64Digits::Value(p[i]) != Base64Digits::kNotDigit; ++i) {
            bits = bits << 6 | static_cast<uint32_t>(Base64Digits::Value(p[i]));
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
bool ReadUtf32(ByteOrder order, const uint8_t* p, size_t n, DataBuffer& out)
{
    ByteWriter w(out);
    bool ok = n % 4 == 0;
    for (size_t i = 0; i + 4 <= n; i += 4) {
        uint32_t c = order == ByteOrder::kLittle
            ? uint32_t{p[i]} | uint32_t{p[i + 1]} << 8 | uint32_t{p[i + 2]} << 16 | uint32_t{p[i + 3]} << 24
            : uint32_t{p[i + 3]} | uint32_t{p[i + 2]} << 8 | uint32_t{p[i + 1]} << 16 | uint32_t{p[i]} << 24;
        if (Surrogates::IsSurrogate(c) || c > Surrogates::kLastCodePoint) {
            ok = false;
        } else if (c >= Surrogates::kFirstAstral) {
            w.PutUnit(Surrogates::High(c));
            w.PutUnit(Surrogates::Low(c));
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
    if (!Surrogates::IsSurrogate(unit))
        return length;
    char16_t low;
    if (Surrogates::IsHigh(unit) && length < n && ReadUtf8Unit(p + length, n - length, low) == 3 && Surrogates::IsLow(low)) {
        code = Surrogates::Combine(unit, low);
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

bool UnicodeForms::IsUnicodeForm(int codePage)
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

bool UnicodeForms::IsUtf32(int codePage)
{
    return codePage == EncodingConvert::kUtf32Le || codePage == EncodingConvert::kUtf32Be;
}

bool UnicodeForms::MakeCodec(int codePage, TextCodec& codec)
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
        codec.keepsAscii = true;
        return true;
    default:
        return false;
    }
}

size_t UnicodeForms::ByteOrderMarkLength(int codePage, const uint8_t* p, size_t n)
{
    if (codePage == EncodingConvert::kUtf16Le || codePage == EncodingConvert::kUtf16Be) {
        bool mark = n >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF));
        return mark ? 2 : 0;
    }
    if (codePage == EncodingConvert::kUtf8)
        return n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF ? 3 : 0;
    return 0;
}

bool UnicodeForms::DecodeUtf7(const uint8_t* p, size_t n, DataBuffer& out)
{
    return Utf7Decoder(out).Decode(p, n);
}

void UnicodeForms::EncodeUtf7(const uint8_t* p, size_t n, DataBuffer& out)
{
    Utf7Encoder(out).Encode(p, n);
}

bool UnicodeForms::DecodeUtf32(int codePage, const uint8_t* p, size_t n, DataBuffer& out)
{
    return ReadUtf32(Utf32Order(codePage), p, n, out);
}

bool UnicodeForms::EncodeUtf32(int codePage, const uint8_t* p, size_t n, DataBuffer& out)
{
    return EncodeUtf32FromUtf8(Utf32Order(codePage), p, n, out);
}

} // namespace plentor

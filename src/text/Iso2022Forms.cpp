#include "text/Iso2022Forms.h"

#include "text/ByteWriter.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"

#include <iterator>

namespace plentor {

namespace {

bool IsIso2022Jp(int codePage)
{
    return codePage >= EncodingConvert::kIso2022Jp && codePage <= EncodingConvert::kIso2022JpLast;
}

// ---- ISO 2022 escape sequences --------------------------------------------

// The control bytes the 7-bit forms give a meaning.
enum ControlByte : uint8_t { kEsc = 0x1B, kShiftOut = 0x0E, kShiftIn = 0x0F, kCr = 0x0D, kLf = 0x0A };

// ESC, SO and SI in the text have no 7-bit form: written as they are, they
// would switch the reader's state and garble what follows.
bool IsControlFunction(uint8_t b) { return b == kEsc || b == kShiftOut || b == kShiftIn; }

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
        if (IsControlFunction(b)) {
            ok = false;
            return 1;
        }
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
        if (IsControlFunction(b)) {
            ok = false;
            ++i;
        } else if (b < 0x80) {
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

} // namespace

int Iso2022Forms::TablePageBehind(int codePage)
{
    if (IsIso2022Jp(codePage))
        return EncodingConvert::kShiftJis;
    if (codePage == EncodingConvert::kIso2022Kr)
        return EncodingConvert::kKorean;
    return 0;
}

bool Iso2022Forms::Decode(int codePage, const uint8_t* p, size_t n, DataBuffer& out)
{
    return IsIso2022Jp(codePage) ? Iso2022JpDecoder(out).Decode(p, n) : DecodeIso2022Kr(p, n, out);
}

bool Iso2022Forms::Encode(int codePage, const uint8_t* p, size_t n, DataBuffer& out)
{
    return IsIso2022Jp(codePage) ? Iso2022JpEncoder(out).Encode(p, n) : EncodeIso2022Kr(p, n, out);
}

} // namespace plentor

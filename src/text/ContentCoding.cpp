#include "text/ContentCoding.h"

#include "base/LogNull.h"
#include "text/AsciiChars.h"
#include "text/Base64Digits.h"
#include "text/CharsetNames.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"
#include "text/HexDigits.h"
#include "text/StringBuffer.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <string_view>

namespace plentor {

namespace {

constexpr const char* kBase64Alphabet = Base64Digits::kAlphabet;

// StringBuffer lengths are ints; encoders refuse output that would not fit.
constexpr uint64_t kMaxStringLength = INT_MAX - 64;

// Decoded header text is copied back into a StringBuffer, and comma
// protection and charset conversion can make it several times longer than
// its input: stop well before an int length could overflow.
constexpr size_t kMaxDecodedLength = size_t{1} << 30;

// EncodeWord looks this far into the text for an encoded word that is
// already there ("?Q?" or "?B?").
constexpr size_t kEncodedMarkerWindow = 100;

// A charset name inside an encoded word longer than this is not looked up.
constexpr size_t kMaxWordCharsetLength = 64;

// Charsets whose encoded words customarily use the B form.
constexpr std::string_view kBFormCharsets[] = {
    "shift_jis",   "shift-jis",  "iso-2022-jp", "euc-jp",       "euc-kr",       "iso-2022-kr", "gb2312",
    "hz-gb-2312",  "euc-cn",     "cp-936",      "euc-tw",       "big5",         "cp-950",      "cp-932",
    "tis-620",     "windows-874", "iso-8859-9", "windows-1254", "iso-8859-6",   "windows-1256", "cp-1256",
};

enum class WordForm { Q, B };

// Single-word limit and piece size of the long-word encoders, in bytes of the
// text (single word) and of its UTF-16 form (pieces).
struct LongWordLimits {
    unsigned singleWord;
    unsigned pieceBytes;
};
constexpr LongWordLimits kLongWordQ = {34, 34};
constexpr LongWordLimits kLongWordB = {23, 24};

constexpr char kWordSeparator[] = "\r\n\t";
constexpr char kCommaMarker[] = "_COMMA_";

// ---- character classes -------------------------------------------------

constexpr int8_t kB64Skip = -1;   // white space between characters
constexpr int8_t kB64Stop = -2;   // "=" padding or NUL: end of the data
constexpr int8_t kB64Bad = -3;    // not in the alphabet

constexpr std::array<int8_t, 256> MakeBase64Table()
{
    std::array<int8_t, 256> table{};
    for (auto& v : table)
        v = kB64Bad;
    for (int i = 0; i < 64; ++i)
        table[static_cast<uint8_t>(kBase64Alphabet[i])] = static_cast<int8_t>(i);
    table[' '] = table['\t'] = table['\r'] = table['\n'] = kB64Skip;
    table['='] = table[0] = kB64Stop;
    return table;
}
constexpr auto kBase64Table = MakeBase64Table();


int UpperHexValue(char c) { return (c >= 'a' && c <= 'f') ? -1 : HexDigits::Value(c); }

bool IsQLiteral(uint8_t b)
{
    return (b >= '!' && b <= '<') || b == '>' || (b >= '@' && b <= '^') || (b >= '`' && b <= '~');
}

bool IsDroppedInQ(uint8_t b) { return b <= 32 || b == '?' || b == 127 || (b >= 0x80 && b <= 0x9F); }


// ---- output sinks ------------------------------------------------------
// Each appends one byte; callers reserve room for the largest output first.

struct RawSink {
    uint8_t* at;
    size_t size = 0;
    void Put(uint8_t b) { at[size++] = b; }
};

struct DataSink {
    DataBuffer& out;
    void Put(uint8_t b) { out.AppendByte(b); }
};

struct StringSink {
    StringBuffer& out;
    void Put(uint8_t b) { out.AppendChar(static_cast<char>(b)); }
};

template <typename Sink>
void PutHex(uint8_t b, Sink& out)
{
    out.Put(static_cast<uint8_t>(HexDigits::kUpper[b >> 4]));
    out.Put(static_cast<uint8_t>(HexDigits::kUpper[b & 15]));
}

ByteBlock AllocateBlock(size_t n) { return ByteBlock(static_cast<uint8_t*>(std::malloc(n + 1))); }

// ---- Base64 ------------------------------------------------------------

enum class Base64Mode { Lenient, Strict };

uint64_t Base64Length(uint64_t n) { return (n + 2) / 3 * 4; }

template <typename Sink>
void EncodeBase64To(const uint8_t* p, size_t n, Sink& out)
{
    auto put = [&out](uint32_t sextet) { out.Put(static_cast<uint8_t>(kBase64Alphabet[sextet & 63])); };
    size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        uint32_t group = uint32_t{p[i]} << 16 | uint32_t{p[i + 1]} << 8 | p[i + 2];
        put(group >> 18), put(group >> 12), put(group >> 6), put(group);
    }
    if (n - i == 1) {
        uint32_t group = uint32_t{p[i]} << 16;
        put(group >> 18), put(group >> 12), out.Put('='), out.Put('=');
    } else if (n - i == 2) {
        uint32_t group = uint32_t{p[i]} << 16 | uint32_t{p[i + 1]} << 8;
        put(group >> 18), put(group >> 12), put(group >> 6), out.Put('=');
    }
}

// False at the first character outside the alphabet in strict mode.
template <typename Sink>
bool DecodeBase64To(const char* text, size_t n, Base64Mode mode, Sink& out)
{
    uint32_t bits = 0;
    int count = 0;
    for (size_t i = 0; i < n; ++i) {
        int v = kBase64Table[static_cast<uint8_t>(text[i])];
        if (v == kB64Skip)
            continue;
        if (v == kB64Stop)
            break;
        if (v == kB64Bad) {
            if (mode == Base64Mode::Strict)
                return false;
            v = 62;   // as if it were "+"
        }
        bits = bits << 6 | static_cast<uint32_t>(v);
        if (++count == 4) {
            out.Put(static_cast<uint8_t>(bits >> 16));
            out.Put(static_cast<uint8_t>(bits >> 8));
            out.Put(static_cast<uint8_t>(bits));
            bits = 0;
            count = 0;
        }
    }
    // A lone leftover character carries fewer than eight bits: no byte, and
    // in strict mode a sign that the text was cut short.
    if (count == 1 && mode == Base64Mode::Strict)
        return false;
    if (count == 2) {
        out.Put(static_cast<uint8_t>(bits >> 4));
    } else if (count == 3) {
        out.Put(static_cast<uint8_t>(bits >> 10));
        out.Put(static_cast<uint8_t>(bits >> 2));
    }
    return true;
}

size_t Base64DecodedMax(size_t n) { return n / 4 * 3 + 3; }

// ---- quoted-printable --------------------------------------------------

// "=FFFFFFxx": a byte written by an encoder that sign-extended it.
bool IsSignExtendedEscape(const char* p)
{
    for (int i = 0; i < 6; ++i)
        if (p[i] != 'F' && p[i] != 'f')
            return false;
    return HexDigits::Value(p[6]) >= 0 && HexDigits::Value(p[7]) >= 0;
}

uint8_t LooseHexByte(const char* p)
{
    int hi = HexDigits::Value(p[0]);
    int lo = HexDigits::Value(p[1]);
    return static_cast<uint8_t>((hi < 0 ? 0 : hi) << 4 | (lo < 0 ? 0 : lo));
}

// Decodes one line without its trailing white space. True when the line ends
// in a soft break.
template <typename Sink>
bool DecodeQpLine(const char* p, size_t n, Sink& out)
{
    size_t i = 0;
    while (i < n) {
        if (p[i] != '=') {
            out.Put(static_cast<uint8_t>(p[i++]));
            continue;
        }
        size_t rest = n - i - 1;
        if (rest == 0)
            return true;
        if (rest >= 8 && IsSignExtendedEscape(p + i + 1)) {
            out.Put(LooseHexByte(p + i + 7));
            i += 9;
        } else if (rest >= 2) {
            out.Put(LooseHexByte(p + i + 1));
            i += 3;
        } else {
            // "=" and a single character: too short for an escape, kept as is.
            out.Put('=');
            out.Put(static_cast<uint8_t>(p[i + 1]));
            i += 2;
        }
    }
    return false;
}

size_t CountByte(const char* p, size_t n, char c)
{
    size_t count = 0;
    for (const char* at = p; (at = static_cast<const char*>(std::memchr(at, c, n - (at - p)))); ++at)
        ++count;
    return count;
}

// ---- Q form --------------------------------------------------------------

template <typename Sink>
void EncodeQTo(const uint8_t* p, size_t n, Sink& out)
{
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = p[i];
        if (IsQLiteral(b)) {
            out.Put(b);
        } else if (b == ' ') {
            out.Put('_');
        } else {
            out.Put('=');
            PutHex(b, out);
        }
    }
}

template <typename Sink>
void DecodeQTo(const char* p, size_t n, Sink& out)
{
    for (size_t i = 0; i < n; ++i) {
        uint8_t c = static_cast<uint8_t>(p[i]);
        if (c == '_') {
            out.Put(' ');
        } else if (c == '=' && i + 2 < n && UpperHexValue(p[i + 1]) >= 0 && UpperHexValue(p[i + 2]) >= 0) {
            out.Put(static_cast<uint8_t>(UpperHexValue(p[i + 1]) << 4 | UpperHexValue(p[i + 2])));
            i += 2;
        } else if (!IsDroppedInQ(c)) {
            out.Put(c);
        }
    }
}

// ---- encoded words -------------------------------------------------------

bool UsesBForm(const char* charset)
{
    for (std::string_view name : kBFormCharsets)
        if (AsciiChars::EqualsNoCase(name, charset))
            return true;
    return false;
}

bool HoldsEncodedWordMarker(const uint8_t* p, size_t n)
{
    size_t window = n < kEncodedMarkerWindow ? n : kEncodedMarkerWindow;
    for (size_t i = 0; i + 2 < window; ++i) {
        char kind = AsciiChars::ToLower(static_cast<char>(p[i + 1]));
        if (p[i] == '?' && p[i + 2] == '?' && (kind == 'q' || kind == 'b'))
            return true;
    }
    return false;
}

// Appends "=?charset?X?data?=". False when it would not fit.
bool AppendWord(const uint8_t* p, size_t n, const char* charset, WordForm form, StringBuffer& out)
{
    uint64_t dataLength = form == WordForm::B ? Base64Length(n) : uint64_t{n} * 3;
    uint64_t total = dataLength + std::strlen(charset) + 7;
    if (total + static_cast<uint64_t>(out.GetLength()) > kMaxStringLength)
        return false;
    out.Reserve(static_cast<int>(total));
    out.Append("=?");
    out.Append(charset);
    out.Append(form == WordForm::B ? "?B?" : "?Q?");
    StringSink sink{out};
    if (form == WordForm::B)
        EncodeBase64To(p, n, sink);
    else
        EncodeQTo(p, n, sink);
    out.Append("?=");
    return true;
}

// Cuts bytes that could not be converted into pieces without regard to
// characters, so that at least nothing is lost.
bool AppendRawPieces(const uint8_t* p, size_t n, const char* charset, WordForm form, unsigned pieceBytes,
                     StringBuffer& out)
{
    for (size_t at = 0; at < n; at += pieceBytes) {
        if (at > 0)
            out.Append(kWordSeparator);
        size_t length = n - at < pieceBytes ? n - at : pieceBytes;
        if (!AppendWord(p + at, length, charset, form, out))
            return false;
    }
    return true;
}

// Length of the next piece of UTF-16LE text: pieceBytes, shortened so that a
// surrogate pair is never split between two words.
size_t NextPieceLength(const uint8_t* units, size_t remaining, unsigned pieceBytes)
{
    if (remaining <= pieceBytes)
        return remaining;
    size_t length = pieceBytes;
    unsigned last = units[length - 2] | unsigned{units[length - 1]} << 8;
    if (last >= 0xD800 && last <= 0xDBFF)
        length -= 2;
    return length;
}

bool EncodeLongWord(const void* bytes, unsigned n, const char* charset, WordForm form,
                    const LongWordLimits& limits, StringBuffer& out)
{
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    if (!charset || !*charset) {
        out.AppendBytes(p, static_cast<int>(n));
        return false;
    }
    if (n <= limits.singleWord)
        return AppendWord(p, n, charset, form, out);

    int codePage = CharsetNames::CodePageFromName(charset);
    if (codePage == 0)
        codePage = EncodingConvert::kUtf8;
    LogNull log;
    EncodingConvert convert;
    DataBuffer units;
    if (!convert.Convert(codePage, EncodingConvert::kUtf16Le, p, n, units, log)) {
        AppendRawPieces(p, n, charset, form, limits.pieceBytes, out);
        return false;
    }
    DataBuffer piece;
    bool ok = true;
    for (size_t at = 0; at < units.Size();) {
        size_t length = NextPieceLength(units.Data() + at, units.Size() - at, limits.pieceBytes);
        piece.Clear();
        ok &= convert.Convert(EncodingConvert::kUtf16Le, codePage, units.Data() + at, static_cast<unsigned>(length),
                              piece, log);
        if (at > 0)
            out.Append(kWordSeparator);
        ok &= AppendWord(piece.Data(), piece.Size(), charset, form, out);
        at += length;
    }
    return ok;
}

// Position of the first "ab" at or after from, or npos.
size_t FindPair(const char* text, size_t n, size_t from, char a, char b)
{
    while (from + 1 < n) {
        const void* hit = std::memchr(text + from, a, n - 1 - from);
        if (!hit)
            return std::string_view::npos;
        size_t at = static_cast<size_t>(static_cast<const char*>(hit) - text);
        if (text[at + 1] == b)
            return at;
        from = at + 1;
    }
    return std::string_view::npos;
}

enum class WordCharsets { ConvertToUtf8, KeepBytes };
enum class WordCommas { Keep, Protect };

// Walks header text once, copying plain text and replacing each encoded word
// by its decoded bytes. Scratch buffers are reused from word to word.
class WordDecoder {
public:
    WordDecoder(WordCharsets charsets, WordCommas commas, DataBuffer& out)
        : charsets_(charsets), commas_(commas), out_(out) {}

    // False when a word was malformed or the output grew too long.
    bool Run(const char* text, size_t n);
    bool CommasProtected() const { return commasProtected_; }
    bool Overflowed() const { return overflowed_; }

private:
    enum class Step { Decoded, Malformed, RestIsPlain };

    Step DecodeAt(const char* text, size_t n, size_t start, size_t& next);
    void DecodeData(std::string_view charset, char kind, std::string_view data);
    int CodePageOf(std::string_view charset) const;
    void AppendDecoded(const uint8_t* p, size_t n);
    void Append(const void* p, size_t n);

    WordCharsets charsets_;
    WordCommas commas_;
    DataBuffer& out_;
    DataBuffer raw_;
    DataBuffer converted_;
    EncodingConvert convert_;
    LogNull log_;
    bool commasProtected_ = false;
    bool overflowed_ = false;
};

bool WordDecoder::Run(const char* text, size_t n)
{
    bool wellFormed = true;
    size_t pos = 0;
    while (pos < n && !overflowed_) {
        size_t start = FindPair(text, n, pos, '=', '?');
        if (start == std::string_view::npos)
            break;
        Append(text + pos, start - pos);
        size_t next = 0;
        Step step = DecodeAt(text, n, start, next);
        if (step == Step::RestIsPlain) {
            wellFormed = false;
            pos = start;
            break;
        }
        if (step == Step::Malformed) {
            // Keep the "=?" as text and look for a word after it.
            wellFormed = false;
            Append(text + start, 2);
            next = start + 2;
        }
        pos = next;
    }
    if (pos < n)
        Append(text + pos, n - pos);
    return wellFormed && !overflowed_;
}

// Decodes the word at text[start] ("=?"). When no closing "?" or "?=" follows,
// no later word can be complete either, so the rest is plain text.
WordDecoder::Step WordDecoder::DecodeAt(const char* text, size_t n, size_t start, size_t& next)
{
    size_t charsetBegin = start + 2;
    const void* q = std::memchr(text + charsetBegin, '?', n - charsetBegin);
    if (!q)
        return Step::RestIsPlain;
    size_t kindAt = static_cast<size_t>(static_cast<const char*>(q) - text) + 1;
    if (kindAt + 1 >= n || text[kindAt + 1] != '?')
        return Step::Malformed;
    size_t dataBegin = kindAt + 2;
    size_t end = FindPair(text, n, dataBegin, '?', '=');
    if (end == std::string_view::npos)
        return Step::RestIsPlain;
    if (end > dataBegin)
        DecodeData(std::string_view(text + charsetBegin, kindAt - 1 - charsetBegin), text[kindAt],
                   std::string_view(text + dataBegin, end - dataBegin));
    next = end + 2;
    return Step::Decoded;
}

void WordDecoder::DecodeData(std::string_view charset, char kind, std::string_view data)
{
    raw_.Clear();
    raw_.Reserve(static_cast<unsigned>(data.size()));
    DataSink sink{raw_};
    if (kind == 'B' || kind == 'b')
        DecodeBase64To(data.data(), data.size(), Base64Mode::Lenient, sink);
    else
        DecodeQTo(data.data(), data.size(), sink);

    int codePage = charsets_ == WordCharsets::ConvertToUtf8 ? CodePageOf(charset) : 0;
    if (codePage == 0 || codePage == EncodingConvert::kUtf8 || raw_.IsEmpty()) {
        AppendDecoded(raw_.Data(), raw_.Size());
        return;
    }
    converted_.Clear();
    bool ok = convert_.Convert(codePage, EncodingConvert::kUtf8, raw_.Data(), raw_.Size(), converted_, log_);
    // A code page that cannot be converted at all yields nothing: keep the
    // bytes rather than lose the word.
    if (!ok && converted_.IsEmpty())
        AppendDecoded(raw_.Data(), raw_.Size());
    else
        AppendDecoded(converted_.Data(), converted_.Size());
}

int WordDecoder::CodePageOf(std::string_view charset) const
{
    if (charset.size() > kMaxWordCharsetLength)
        return 0;
    if (AsciiChars::EqualsNoCase(charset, "8bit"))
        return EncodingConvert::kUtf8;
    char name[kMaxWordCharsetLength + 1];
    std::memcpy(name, charset.data(), charset.size());
    name[charset.size()] = '\0';
    return CharsetNames::CodePageFromName(name);
}

void WordDecoder::AppendDecoded(const uint8_t* p, size_t n)
{
    if (commas_ == WordCommas::Keep) {
        Append(p, n);
        return;
    }
    const uint8_t* end = p + n;
    while (p < end) {
        const void* comma = std::memchr(p, ',', static_cast<size_t>(end - p));
        const uint8_t* stop = comma ? static_cast<const uint8_t*>(comma) : end;
        Append(p, static_cast<size_t>(stop - p));
        if (!comma)
            break;
        Append(kCommaMarker, sizeof kCommaMarker - 1);
        commasProtected_ = true;
        p = stop + 1;
    }
}

void WordDecoder::Append(const void* p, size_t n)
{
    if (n == 0 || overflowed_)
        return;
    if (out_.Size() + n > kMaxDecodedLength) {
        overflowed_ = true;
        return;
    }
    out_.AppendBytes(p, static_cast<unsigned>(n));
}

// Decodes the words of text and, unless the output overflowed, replaces text
// by the result.
bool DecodeWordsInPlace(StringBuffer& text, WordCommas commas, bool& commasProtected)
{
    DataBuffer out;
    out.Reserve(static_cast<unsigned>(text.GetLength()));
    WordDecoder decoder(WordCharsets::ConvertToUtf8, commas, out);
    bool ok = decoder.Run(text.GetString(), static_cast<size_t>(text.GetLength()));
    commasProtected = decoder.CommasProtected();
    if (decoder.Overflowed())
        return false;
    text.Clear();
    if (!out.IsEmpty())
        text.AppendBytes(out.Data(), static_cast<int>(out.Size()));
    return ok;
}

// Number of hex digits in text, or -1 when it holds anything but hex digits
// in pairs separated by white space.
int64_t CountHexDigits(const char* text, size_t n)
{
    int64_t digits = 0;
    for (size_t i = 0; i < n; ++i) {
        if (AsciiChars::IsSpace(text[i])) {
            if (digits % 2 != 0)
                return -1;   // white space inside a pair
            continue;
        }
        if (HexDigits::Value(text[i]) < 0)
            return -1;
        ++digits;
    }
    return digits % 2 == 0 ? digits : -1;
}

} // namespace

// ---- ContentCoding -------------------------------------------------------

bool ContentCoding::EncodeBase64(const void* bytes, unsigned n, StringBuffer& out)
{
    uint64_t length = Base64Length(n);
    if (length + static_cast<uint64_t>(out.GetLength()) > kMaxStringLength)
        return false;
    out.Reserve(static_cast<int>(length));
    StringSink sink{out};
    EncodeBase64To(static_cast<const uint8_t*>(bytes), n, sink);
    return true;
}

ByteBlock ContentCoding::EncodeBase64Block(const void* bytes, unsigned n)
{
    uint64_t length = Base64Length(n);
    if (length > kMaxStringLength)
        return nullptr;
    ByteBlock block = AllocateBlock(static_cast<size_t>(length));
    if (!block)
        return nullptr;
    RawSink sink{block.get()};
    EncodeBase64To(static_cast<const uint8_t*>(bytes), n, sink);
    block[sink.size] = 0;
    return block;
}

ByteBlock ContentCoding::DecodeBase64(const char* text, unsigned n, unsigned& outLength)
{
    outLength = 0;
    if (!text || n == 0)
        return nullptr;
    ByteBlock block = AllocateBlock(Base64DecodedMax(n));
    if (!block)
        return nullptr;
    RawSink sink{block.get()};
    DecodeBase64To(text, n, Base64Mode::Lenient, sink);
    block[sink.size] = 0;
    outLength = static_cast<unsigned>(sink.size);
    return block;
}

bool ContentCoding::DecodeBase64Strict(const char* text, unsigned n, DataBuffer& out)
{
    if (!text)
        return n == 0;
    // Validate first so that a failure leaves out untouched.
    struct Discard {
        void Put(uint8_t) {}
    } discard;
    if (!DecodeBase64To(text, n, Base64Mode::Strict, discard))
        return false;
    out.Reserve(static_cast<unsigned>(Base64DecodedMax(n)));
    DataSink sink{out};
    return DecodeBase64To(text, n, Base64Mode::Strict, sink);
}

bool ContentCoding::DecodeQuotedPrintable(const char* text, unsigned n, DataBuffer& out)
{
    if (!text)
        return false;
    const void* nul = std::memchr(text, '\0', n);
    size_t end = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : n;
    if (end == 0)
        return false;
    out.Reserve(static_cast<unsigned>(end + CountByte(text, end, '\n')));
    DataSink sink{out};
    for (size_t pos = 0; pos < end;) {
        const void* lf = std::memchr(text + pos, '\n', end - pos);
        size_t lineEnd = lf ? static_cast<size_t>(static_cast<const char*>(lf) - text) + 1 : end;
        size_t contentEnd = lineEnd;
        while (contentEnd > pos && AsciiChars::IsSpace(text[contentEnd - 1]))
            --contentEnd;
        bool softBreak = DecodeQpLine(text + pos, contentEnd - pos, sink);
        if (lf && !softBreak) {
            sink.Put('\r');
            sink.Put('\n');
        }
        pos = lineEnd;
    }
    return true;
}

ByteBlock ContentCoding::EncodeQ(const void* bytes, unsigned n, unsigned& outLength)
{
    outLength = 0;
    ByteBlock block = AllocateBlock(size_t{n} * 3);
    if (!block)
        return nullptr;
    RawSink sink{block.get()};
    EncodeQTo(static_cast<const uint8_t*>(bytes), n, sink);
    block[sink.size] = 0;
    outLength = static_cast<unsigned>(sink.size);
    return block;
}

ByteBlock ContentCoding::DecodeQ(const char* text, int n, unsigned& outLength)
{
    outLength = 0;
    if (!text)
        return nullptr;
    return DecodeQCounted(text, n > 0 ? static_cast<size_t>(n) : std::strlen(text), outLength);
}

ByteBlock ContentCoding::DecodeQCounted(const char* text, size_t length, unsigned& outLength)
{
    outLength = 0;
    if (!text)
        return nullptr;
    ByteBlock block = AllocateBlock(length);
    if (!block)
        return nullptr;
    RawSink sink{block.get()};
    DecodeQTo(text, length, sink);
    block[sink.size] = 0;
    outLength = static_cast<unsigned>(sink.size);
    return block;
}

bool ContentCoding::EncodeWord(const void* bytes, unsigned n, const char* charset, StringBuffer& out)
{
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    if (!charset || !*charset) {
        out.AppendBytes(p, static_cast<int>(n));
        return false;
    }
    if (HoldsEncodedWordMarker(p, n)) {
        out.AppendBytes(p, static_cast<int>(n));
        return true;
    }
    return AppendWord(p, n, charset, UsesBForm(charset) ? WordForm::B : WordForm::Q, out);
}

bool ContentCoding::EncodeLongWordQ(const void* bytes, unsigned n, const char* charset, StringBuffer& out)
{
    return EncodeLongWord(bytes, n, charset, WordForm::Q, kLongWordQ, out);
}

bool ContentCoding::EncodeLongWordB(const void* bytes, unsigned n, const char* charset, StringBuffer& out)
{
    return EncodeLongWord(bytes, n, charset, WordForm::B, kLongWordB, out);
}

bool ContentCoding::DecodeWords(StringBuffer& text)
{
    bool commasProtected = false;
    return DecodeWordsInPlace(text, WordCommas::Keep, commasProtected);
}

bool ContentCoding::DecodeWordsProtectCommas(StringBuffer& text, bool& commasProtected)
{
    return DecodeWordsInPlace(text, WordCommas::Protect, commasProtected);
}

bool ContentCoding::DecodeWordsRaw(const StringBuffer& text, DataBuffer& out)
{
    WordDecoder decoder(WordCharsets::KeepBytes, WordCommas::Keep, out);
    return decoder.Run(text.GetString(), static_cast<size_t>(text.GetLength()));
}

void ContentCoding::AppendHexDump(const void* bytes, unsigned n, StringBuffer& out)
{
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    out.Reserve(static_cast<int>(std::min<uint64_t>(uint64_t{n} * 3, kMaxStringLength)));
    StringSink sink{out};
    for (unsigned i = 0; i < n; ++i) {
        PutHex(p[i], sink);
        if ((i + 1) % 16 == 0)
            sink.Put('\n');
        else if ((i + 1) % 2 == 0)
            sink.Put(' ');
    }
}

bool ContentCoding::DecodeHexInto(const char* text, unsigned n, DataBuffer& out)
{
    if (!text)
        return n == 0;
    int64_t digits = CountHexDigits(text, n);
    if (digits < 0)
        return false;
    out.Reserve(static_cast<unsigned>(digits / 2));
    int high = -1;
    for (unsigned i = 0; i < n; ++i) {
        int v = HexDigits::Value(text[i]);
        if (v < 0)
            continue;
        if (high < 0) {
            high = v;
        } else {
            out.AppendByte(static_cast<uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    return true;
}

} // namespace plentor

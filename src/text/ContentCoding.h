#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace plentor {

class DataBuffer;
class StringBuffer;

// Releases a block that was allocated with std::malloc.
struct MallocFree {
    void operator()(void* p) const { std::free(p); }
};

// A zero-terminated byte block made with std::malloc (DataBuffer::Adopt takes
// such blocks after release()).
using ByteBlock = std::unique_ptr<uint8_t[], MallocFree>;

// The byte-to-text encodings shared by the HTTP and MIME code: Base64,
// quoted-printable, the Q form and RFC 2047 encoded words, and hex. All work
// on raw bytes; charsets are converted only where a function says so.
class ContentCoding {
public:
    virtual ~ContentCoding() = default;

    // Appends the Base64 text of the bytes, without line breaks. False (and
    // nothing appended) when the text would not fit in a StringBuffer.
    static bool EncodeBase64(const void* bytes, unsigned n, StringBuffer& out);

    // The Base64 text of the bytes in a new zero-terminated block; null when
    // it would be too large.
    static ByteBlock EncodeBase64Block(const void* bytes, unsigned n);

    // Lenient Base64 decoding into a new zero-terminated block; null for empty
    // input. White space is skipped, "=" or NUL ends the data, any other
    // character outside the alphabet counts as "+".
    static ByteBlock DecodeBase64(const char* text, unsigned n, unsigned& outLength);

    // As DecodeBase64 but appends to out; false (nothing appended) when the
    // text holds a character outside the alphabet.
    static bool DecodeBase64Strict(const char* text, unsigned n, DataBuffer& out);

    // Appends the decoded quoted-printable text, lines ending in CR LF. False
    // only for empty input.
    static bool DecodeQuotedPrintable(const char* text, unsigned n, DataBuffer& out);

    // The Q form of RFC 2047: "_" for space, "=XX" for every byte that may not
    // stand for itself.
    static ByteBlock EncodeQ(const void* bytes, unsigned n, unsigned& outLength);

    // Decodes Q text; n <= 0 means up to the terminating NUL.
    static ByteBlock DecodeQ(const char* text, int n, unsigned& outLength);
    // Decodes exactly n bytes of Q text, which need not end in a NUL: the
    // form for counted buffers, where a length of 0 is empty text.
    static ByteBlock DecodeQCounted(const char* text, size_t n, unsigned& outLength);

    // Appends one encoded word for bytes in the named charset (B form for the
    // charsets that customarily use it, Q otherwise). Text that already holds
    // an encoded word is appended unchanged, and so is text with no charset
    // name (then the result is false).
    static bool EncodeWord(const void* bytes, unsigned n, const char* charset, StringBuffer& out);

    // Appends one or more Q (or B) words joined by "\r\n\t", cutting long text
    // between characters. False when the text could not be converted to
    // UTF-16 for cutting; it is then cut between bytes, so nothing is lost.
    static bool EncodeLongWordQ(const void* bytes, unsigned n, const char* charset, StringBuffer& out);
    static bool EncodeLongWordB(const void* bytes, unsigned n, const char* charset, StringBuffer& out);

    // Replaces the encoded words in header text by their text in UTF-8. A
    // malformed word is kept as it stands and the result is false.
    static bool DecodeWords(StringBuffer& text);

    // As DecodeWords; in the decoded text of each word "," becomes "_COMMA_",
    // so that address lists can be split on the commas of the header itself.
    // commasProtected tells whether any was replaced.
    static bool DecodeWordsProtectCommas(StringBuffer& text, bool& commasProtected);

    // As DecodeWords but appends the decoded bytes to out without converting
    // their charset.
    static bool DecodeWordsRaw(const StringBuffer& text, DataBuffer& out);

    // Appends upper-case hex: a space after every second byte, a line feed
    // instead after every sixteenth.
    static void AppendHexDump(const void* bytes, unsigned n, StringBuffer& out);

    // Appends the bytes that pairs of hex digits (either case) stand for;
    // white space between pairs is skipped, so a hex dump reads back. False
    // (nothing appended) for any other character or an odd digit at the end.
    static bool DecodeHexInto(const char* text, unsigned n, DataBuffer& out);
};

} // namespace plentor

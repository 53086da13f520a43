// The byte-to-text encodings: Base64, quoted-printable, the Q form, encoded
// words and hex. What an encoder writes decodes back to the same bytes.

#include "FuzzInput.h"

#include "text/ContentCoding.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <cstring>
#include <iterator>

using namespace plentor;
using namespace plentor::fuzz;

namespace {

enum class Mode { Base64, QuotedPrintable, QForm, Words, Hex, Count };

constexpr const char* kCharsets[] = {"utf-8", "iso-8859-1", "windows-1252", "shift_jis", "euc-kr", "gb2312",
                                     "big5", "iso-2022-jp", "koi8-r", "utf-7", "bogus", ""};

void Base64(std::string_view bytes)
{
    const auto n = static_cast<unsigned>(bytes.size());
    StringBuffer encoded;
    Require(ContentCoding::EncodeBase64(bytes.data(), n, encoded));
    DataBuffer decoded;
    Require(ContentCoding::DecodeBase64Strict(encoded.GetString(), static_cast<unsigned>(encoded.GetLength()), decoded));
    Require(decoded.Equals(bytes.data(), n));
    ByteBlock block = ContentCoding::EncodeBase64Block(bytes.data(), n);
    Require(block && std::strcmp(reinterpret_cast<const char*>(block.get()), encoded.GetString()) == 0);
    // Arbitrary text read as Base64, leniently and strictly.
    unsigned length = 0;
    ContentCoding::DecodeBase64(bytes.data(), n, length);
    DataBuffer strict;
    ContentCoding::DecodeBase64Strict(bytes.data(), n, strict);
}

void QuotedPrintable(std::string_view text)
{
    DataBuffer out;
    ContentCoding::DecodeQuotedPrintable(text.data(), static_cast<unsigned>(text.size()), out);
}

void QForm(std::string_view bytes)
{
    unsigned length = 0;
    ByteBlock encoded = ContentCoding::EncodeQ(bytes.data(), static_cast<unsigned>(bytes.size()), length);
    if (encoded && !bytes.empty() && bytes.find('\0') == std::string_view::npos) {
        unsigned decodedLength = 0;
        ByteBlock decoded =
            ContentCoding::DecodeQCounted(reinterpret_cast<const char*>(encoded.get()), length, decodedLength);
        Require(decoded && decodedLength == bytes.size() && std::memcmp(decoded.get(), bytes.data(), bytes.size()) == 0);
    }
    // The counted form: the input has no terminating NUL and may be empty.
    unsigned n = 0;
    ContentCoding::DecodeQCounted(bytes.data(), bytes.size(), n);
}

void Words(FuzzInput& in)
{
    const char* charset = kCharsets[in.Pick(std::size(kCharsets))];
    const std::string_view bytes = in.Rest();
    const auto n = static_cast<unsigned>(bytes.size());
    StringBuffer out;
    ContentCoding::EncodeWord(bytes.data(), n, charset, out);
    ContentCoding::EncodeLongWordQ(bytes.data(), n, charset, out);
    ContentCoding::EncodeLongWordB(bytes.data(), n, charset, out);
    ContentCoding::DecodeWords(out);
    StringBuffer header(bytes.data(), static_cast<int>(n));
    DataBuffer raw;
    ContentCoding::DecodeWordsRaw(header, raw);
    bool commas = false;
    ContentCoding::DecodeWordsProtectCommas(header, commas);
}

void Hex(std::string_view bytes)
{
    const auto n = static_cast<unsigned>(bytes.size());
    StringBuffer dump;
    ContentCoding::AppendHexDump(bytes.data(), n, dump);
    DataBuffer back;
    Require(ContentCoding::DecodeHexInto(dump.GetString(), static_cast<unsigned>(dump.GetLength()), back));
    Require(back.Equals(bytes.data(), n));
    DataBuffer any;
    ContentCoding::DecodeHexInto(bytes.data(), n, any);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    switch (static_cast<Mode>(in.Pick(static_cast<unsigned>(Mode::Count)))) {
    case Mode::Base64:
        Base64(in.Rest());
        break;
    case Mode::QuotedPrintable:
        QuotedPrintable(in.Rest());
        break;
    case Mode::QForm:
        QForm(in.Rest());
        break;
    case Mode::Words:
        Words(in);
        break;
    default:
        Hex(in.Rest());
        break;
    }
    return 0;
}

// Charset conversion between a representative set of code pages with every
// error action. The first bytes pick source, target, error action and its
// options; the rest is the text.

#include "FuzzInput.h"

#include "base/LogNull.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"

#include <iterator>

using namespace plentor;
using namespace plentor::fuzz;

namespace {

constexpr int kCodePages[] = {
    EncodingConvert::kUtf8,   EncodingConvert::kUtf16Le, EncodingConvert::kUtf16Be,  EncodingConvert::kUtf7,
    EncodingConvert::kUtf32Le, EncodingConvert::kUtf32Be, EncodingConvert::kUsAscii, 1252,
    1250,  1251,  932,   51932, 949,   51949, 936,   950,
    50220, 50221, 50222, 50225, 20866, 21866, 10004, 437,
    28591, 28592, 28593, 28594, 28595, 28596, 28597, 28598,
    28599, 28603, 28605, 874,   1255,  1256,  20932, 0,
};

constexpr int kErrorActions[] = {
    EncodingConvert::kDrop,       EncodingConvert::kSubstitute, EncodingConvert::kHexEntity,
    EncodingConvert::kAltCodePage, EncodingConvert::kCopyByte,
};

int PickCodePage(FuzzInput& in) { return kCodePages[in.Pick(std::size(kCodePages))]; }

// Valid UTF-8 survives the trip through UTF-16 unchanged.
void Utf8RoundTrip(const void* bytes, unsigned n, LogBase& log)
{
    EncodingConvert conv;
    DataBuffer utf16;
    if (!conv.Convert(EncodingConvert::kUtf8, EncodingConvert::kUtf16Le, bytes, n, utf16, log))
        return;
    DataBuffer back;
    Require(conv.Convert(EncodingConvert::kUtf16Le, EncodingConvert::kUtf8, utf16.Data(), utf16.Size(), back, log));
    Require(back.Equals(bytes, n));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int from = PickCodePage(in);
    const int to = PickCodePage(in);
    const uint8_t options = in.Byte();
    const int altCodePage = PickCodePage(in);
    const std::string_view text = in.Rest();
    const auto n = static_cast<unsigned>(text.size());

    LogNull log;
    EncodingConvert conv;
    conv.errorAction = kErrorActions[options % std::size(kErrorActions)];
    conv.altCodePage = altCodePage;
    conv.markErrors = (options & 0x80) != 0;
    if (options & 0x40)
        conv.SetSubstitute("?", 1);
    else if (options & 0x20)
        conv.SetSubstitute("\xEF\xBF\xBD", 3);
    DataBuffer out;
    conv.Convert(from, to, text.data(), n, out, log);
    // Converting the output back exercises the target side as a source.
    DataBuffer back;
    conv.Convert(to, from, out.Data(), out.Size(), back, log);
    if (options & 0x10)
        Utf8RoundTrip(text.data(), n, log);
    return 0;
}

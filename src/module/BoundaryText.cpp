#include "module/BoundaryText.h"

#include "base/LogNull.h"
#include "platform/CodePage.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <cstdint>

namespace plentor {

namespace {

// What the platform's conversions put in place of a character the target
// code page has no room for.
constexpr char kAnsiReplacement[] = "?";
constexpr uint8_t kUtf16Replacement[] = {0xFD, 0xFF};   // U+FFFD, little-endian

// One conversion with replacement characters; the output is appended to out.
void Convert(int from, int to, const void* bytes, unsigned n, const void* replacement, unsigned replacementBytes,
             DataBuffer& out)
{
    if (n == 0)
        return;
    EncodingConvert conv;
    conv.errorAction = EncodingConvert::kSubstitute;
    conv.SetSubstitute(replacement, replacementBytes);
    LogNull log;
    conv.Convert(from, to, bytes, n, out, log);
}

// The converter drops a byte-order mark at the start of its input; text
// from the host or a client that begins with one must keep it, so such text
// goes in behind a mark of our own for the converter to drop instead.
constexpr uint8_t kUtf16LeMark[] = {0xFF, 0xFE};
constexpr uint8_t kUtf8Mark[] = {0xEF, 0xBB, 0xBF};

bool BeginsWithUtf8Mark(const StringBuffer& text)
{
    const auto* p = reinterpret_cast<const uint8_t*>(text.GetString());
    return text.GetLength() >= 3 && p[0] == kUtf8Mark[0] && p[1] == kUtf8Mark[1] && p[2] == kUtf8Mark[2];
}

std::u16string Utf16FromBytes(int codePage, const StringBuffer& text)
{
    StringBuffer marked;
    const StringBuffer* input = &text;
    if (codePage == EncodingConvert::kUtf8 && BeginsWithUtf8Mark(text)) {
        marked.AppendBytes(kUtf8Mark, sizeof kUtf8Mark);
        marked.AppendBuffer(text);
        input = &marked;
    }
    DataBuffer out;
    Convert(codePage, EncodingConvert::kUtf16Le, input->GetString(), static_cast<unsigned>(input->GetLength()),
            kUtf16Replacement, sizeof kUtf16Replacement, out);
    std::u16string result;
    result.reserve(out.Size() / 2);
    const uint8_t* p = out.Data();
    for (unsigned i = 0; i + 1 < out.Size(); i += 2)
        result.push_back(static_cast<char16_t>(p[i] | (p[i + 1] << 8)));
    return result;
}

} // namespace

int BoundaryText::AnsiCodePage()
{
    const int codePage = platform::ActiveAnsiCodePage();
    return EncodingConvert::IsSupported(codePage) ? codePage : EncodingConvert::kUtf8;
}

void BoundaryText::ToAnsi(HostString text, StringBuffer& out)
{
    out.Clear();
    const std::u16string_view units = text.View();
    if (units.empty())
        return;
    // Where the system converts, its rendering of what the page cannot hold
    // (its own replacement or best-fit character) is what the host expects.
    std::string system;
    if (platform::SystemUtf16ToAnsi(units, system)) {
        out.Append(system);
        return;
    }
    // Always behind a mark, so a mark the host's text begins with survives.
    std::string bytes(sizeof kUtf16LeMark + units.size() * 2, '\0');
    bytes[0] = static_cast<char>(kUtf16LeMark[0]);
    bytes[1] = static_cast<char>(kUtf16LeMark[1]);
    for (size_t i = 0; i < units.size(); ++i) {
        bytes[2 + 2 * i] = static_cast<char>(units[i] & 0xFF);
        bytes[2 + 2 * i + 1] = static_cast<char>(units[i] >> 8);
    }
    DataBuffer converted;
    Convert(EncodingConvert::kUtf16Le, AnsiCodePage(), bytes.data(), static_cast<unsigned>(bytes.size()),
            kAnsiReplacement, 1, converted);
    out.AppendDataBuffer(converted);
}

StringBuffer BoundaryText::ToAnsi(HostString text)
{
    StringBuffer out;
    ToAnsi(text, out);
    return out;
}

XString BoundaryText::ToUnicode(HostString text)
{
    XString value;
    const std::u16string_view units = text.View();
    value.SetUtf16(units.data(), static_cast<int>(units.size()));
    return value;
}

std::u16string BoundaryText::FromAnsi(const StringBuffer& text)
{
    std::u16string system;
    if (platform::SystemAnsiToUtf16(std::string_view(text.GetString(), static_cast<size_t>(text.GetLength())), system))
        return system;
    return Utf16FromBytes(AnsiCodePage(), text);
}

std::u16string BoundaryText::FromUtf8(const StringBuffer& text)
{
    return Utf16FromBytes(EncodingConvert::kUtf8, text);
}

} // namespace plentor

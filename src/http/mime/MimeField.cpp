#include "http/mime/MimeField.h"

#include "base/LogNull.h"
#include "text/CharsetNames.h"
#include "text/ContentCoding.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"

#include <string_view>
#include <vector>

namespace plentor {

namespace {

// A folded value is broken after a ";" once its line has grown past this
// many bytes: short values like "text/html; charset=utf-8" stay on one line.
constexpr int kFoldAfter = 20;
// Address lists longer than this are also broken after their commas.
constexpr int kLongAddressList = 60;
// Characters of a received field name that become '-'.
constexpr const char* kNameReplaced = " <>\"'";
// Encoded parameter values are broken so that no line piece grows past this.
constexpr int kMaxEncodedPiece = 64;

constexpr char kFold[] = "\r\n\t";
constexpr char kCommaMarker[] = "_COMMA_";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimView(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool HasEncodedWords(const StringBuffer& value)
{
    // Both markers start with '?', which most values never hold.
    return value.HasChar('?') && (value.ContainsNoCase("?Q?") || value.ContainsNoCase("?B?"));
}

bool IsAddressField(const StringBuffer& name)
{
    return name.EqualsNoCase("to") || name.EqualsNoCase("cc") || name.EqualsNoCase("from");
}

bool IsAscii(std::string_view s)
{
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Splits an address list at the commas outside double quotes and angle
// brackets; empty pieces are left out.
std::vector<std::string_view> SplitAddresses(std::string_view text)
{
    std::vector<std::string_view> pieces;
    bool quoted = false;
    bool inAngle = false;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        char c = i < text.size() ? text[i] : ',';
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == '<')
            inAngle = true;
        else if (!quoted && c == '>')
            inAngle = false;
        else if (c == ',' && ((!quoted && !inAngle) || i == text.size())) {
            std::string_view piece = TrimView(text.substr(start, i - start));
            if (!piece.empty())
                pieces.push_back(piece);
            start = i + 1;
        }
    }
    return pieces;
}

// Appends one address as display name + " <" + address + ">", the name in
// double quotes when it holds a comma or a space.
void AppendAddress(std::string_view piece, StringBuffer& out)
{
    std::string_view display;
    std::string_view address = piece;
    size_t lt = piece.rfind('<');
    if (lt != std::string_view::npos) {
        display = TrimView(piece.substr(0, lt));
        address = piece.substr(lt + 1);
        address = TrimView(address.substr(0, address.find('>')));
        if (display.size() >= 2 && display.front() == '"' && display.back() == '"')
            display = display.substr(1, display.size() - 2);
    }
    StringBuffer name(display.data(), static_cast<int>(display.size()));
    name.ReplaceAll(kCommaMarker, ",");
    StringBuffer addr(address.data(), static_cast<int>(address.size()));
    addr.ReplaceAll(kCommaMarker, ",");
    if (!name.IsEmpty()) {
        bool quote = name.HasChar(',') || name.HasChar(' ');
        if (quote)
            out.AppendChar('"');
        out.AppendBuffer(name);
        if (quote)
            out.AppendChar('"');
        out.AppendChar(' ');
    }
    out.AppendChar('<');
    out.AppendBuffer(addr);
    out.AppendChar('>');
}

// Decodes the encoded words of an address list and rewrites it in a
// canonical form.
void DecodeAddressList(StringBuffer& value)
{
    bool commasProtected = false;
    ContentCoding::DecodeWordsProtectCommas(value, commasProtected);
    std::string text = value.ToStdString();
    StringBuffer rewritten;
    for (std::string_view piece : SplitAddresses(text)) {
        if (!rewritten.IsEmpty())
            rewritten.AppendChar(',');
        AppendAddress(piece, rewritten);
    }
    value = std::move(rewritten);
}

// Appends the text as encoded words in the code page's charset; UTF-8 when
// the text does not convert. False when nothing could be encoded.
bool AppendEncodedText(std::string_view utf8, int codePage, StringBuffer& out)
{
    const char* charset = CharsetNames::CanonicalNameOf(codePage);
    DataBuffer converted;
    if (charset && codePage != EncodingConvert::kUtf8) {
        LogNull quiet;
        EncodingConvert conv;
        if (!conv.Convert(EncodingConvert::kUtf8, codePage, utf8.data(), static_cast<unsigned>(utf8.size()),
                          converted, quiet)) {
            charset = nullptr;
            converted.Clear();
        }
    } else {
        charset = nullptr;
    }
    if (!charset) {
        charset = "utf-8";
        converted.AppendBytes(utf8.data(), static_cast<unsigned>(utf8.size()));
    }
    int before = out.GetLength();
    ContentCoding::EncodeWord(converted.Data(), converted.Size(), charset, out);
    return out.GetLength() > before;
}

// Appends one piece of a structured value: ASCII as it is, other text encoded.
void AppendPiece(std::string_view text, int codePage, StringBuffer& out)
{
    if (IsAscii(text) || !AppendEncodedText(text, codePage, out))
        out.AppendBytes(text.data(), static_cast<int>(text.size()));
}

} // namespace

MimeField::MimeField(const char* name, const char* value) : name_(name), value_(value)
{
    DecodeValue();
    noFold_ = name_.EqualsNoCase("user-agent") || name_.EqualsNoCase("accept") || name_.EqualsNoCase("accept-charset");
}

bool MimeField::ParseReceived(const char* text, int n)
{
    std::string_view line(text, static_cast<size_t>(n));
    size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return false;
    std::string_view name = TrimView(line.substr(0, colon));
    if (name.empty())
        return false;
    std::string_view value = line.substr(colon + 1);
    if (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    value = TrimView(value);

    // Into the buffers the field has already: a response header parses
    // every field of every response, and a temporary per part was two more
    // allocations and copies each.
    name_.Clear();
    name_.AppendBytes(name.data(), static_cast<int>(name.size()));
    if (name.find_first_of(kNameReplaced) != std::string_view::npos) name_.ReplaceAnyOf(kNameReplaced, '-');
    value_.Clear();
    value_.AppendBytes(value.data(), static_cast<int>(value.size()));
    DecodeValue();
    noFold_ = name_.EqualsNoCase("user-agent");
    return true;
}

void MimeField::DecodeValue()
{
    if (HasEncodedWords(value_)) {
        if (IsAddressField(name_))
            DecodeAddressList(value_);
        else
            ContentCoding::DecodeWords(value_);
    }
    if (value_.HasChar('\n')) {
        value_.ReplaceAll("\r\n\t", "");
        value_.ReplaceAll("\r\n ", "");
    }
}

void MimeField::WriteTo(StringBuffer& out, int codePage) const
{
    out.AppendBuffer(name_);
    out.Append(": ");
    if (value_.IsAscii7() || codePage == EncodingConvert::kUsAscii)
        WriteFolded(out, name_.GetLength() + 2);
    else
        WriteEncoded(out, codePage);
}

void MimeField::WriteFolded(StringBuffer& out, int lineLength) const
{
    const char* p = value_.GetString();
    const int n = value_.GetLength();
    if (noFold_) {
        out.AppendBytes(p, n);
        return;
    }
    const bool commaBreaks = n > kLongAddressList && value_.HasChar('@') && value_.HasChar(',');
    int count = lineLength;
    int start = 0;
    bool quoted = false;
    for (int i = 0; i < n; ++i) {
        ++count;
        char c = p[i];
        if (c == '"')
            quoted = !quoted;
        bool breakHere = !quoted && count > kFoldAfter && (c == ';' || (commaBreaks && c == ','));
        if (breakHere) {
            out.AppendBytes(p + start, i + 1 - start);
            out.Append(kFold);
            start = i + 1;
            count = 0;
        }
    }
    out.AppendBytes(p + start, n - start);
}

void MimeField::WriteEncoded(StringBuffer& out, int codePage) const
{
    const int cp = codePage != 0 ? codePage : EncodingConvert::kUtf8;
    const std::string_view value(value_.GetString(), static_cast<size_t>(value_.GetLength()));
    if (!value_.Contains("; ")) {
        if (!AppendEncodedText(value, cp, out))
            out.AppendBuffer(value_);
        return;
    }
    // "type; name=value; ..." keeps its structure: the parameter values are
    // encoded one by one and written in double quotes.
    std::vector<StringBuffer> pieces;
    value_.Split(pieces, ';', StringBuffer::SplitGuard::QuotesAndBackslash);
    int lineLength = name_.GetLength() + 2;
    for (size_t i = 0; i < pieces.size(); ++i) {
        StringBuffer piece;
        StringBuffer text(pieces[i]);
        text.Trim();
        if (i == 0 || !text.HasChar('=')) {
            AppendPiece(std::string_view(text.GetString(), static_cast<size_t>(text.GetLength())), cp, piece);
        } else {
            StringBuffer name, paramValue;
            text.SplitNameValue(name, paramValue);
            piece.AppendBuffer(name);
            piece.Append("=\"");
            AppendPiece(std::string_view(paramValue.GetString(), static_cast<size_t>(paramValue.GetLength())), cp,
                        piece);
            piece.AppendChar('"');
        }
        if (i > 0) {
            out.AppendChar(';');
            bool wrap = lineLength + 2 + piece.GetLength() > kMaxEncodedPiece;
            out.Append(wrap ? kFold : " ");
            lineLength = wrap ? 1 : lineLength + 2;
        }
        out.AppendBuffer(piece);
        lineLength += piece.GetLength();
    }
}

} // namespace plentor

#include "markup/XmlRepair.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace plentor {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";   // U+FFFD in UTF-8

// Bytes below 0x20 other than tab, LF and CR: XML 1.0 has no place for them.
bool IsBadControl(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

// Length of the well-formed UTF-8 sequence of an XML character at the start
// of s (at least one byte, below 0x80), or 0. Overlong forms, surrogates,
// U+FFFE and U+FFFF are not characters XML allows.
size_t Utf8CharLength(std::string_view s, char32_t& c)
{
    const auto b = [&s](size_t i) { return static_cast<unsigned char>(s[i]); };
    const auto cont = [&](size_t i) { return i < s.size() && (b(i) & 0xC0) == 0x80; };
    const unsigned char lead = b(0);
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    size_t n;
    unsigned char lo = 0x80, hi = 0xBF;   // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (s.size() < n || b(1) < lo || b(1) > hi)
        return 0;
    for (size_t i = 2; i < n; ++i)
        if (!cont(i))
            return 0;
    c = lead & (0xFF >> (n + 1));
    for (size_t i = 1; i < n; ++i)
        c = (c << 6) | (b(i) & 0x3F);
    if (c == 0xFFFE || c == 0xFFFF)
        return 0;
    return n;
}

// The end of the run from i of bytes 0x20 to 0x7F, taken eight at a time;
// it may stop early, never late.
size_t PlainAsciiRun(std::string_view s, size_t i)
{
    constexpr uint64_t kHigh = 0x8080808080808080u;
    constexpr uint64_t kSpaces = 0x2020202020202020u;
    while (i + sizeof(uint64_t) <= s.size()) {
        uint64_t x;
        std::memcpy(&x, s.data() + i, sizeof x);
        // A byte of 0x80 or more, or below 0x20 (its subtraction borrows), ends the run.
        if ((x & kHigh) != 0 || ((x - kSpaces) & ~x & kHigh) != 0)
            break;
        i += sizeof x;
    }
    return i;
}

// Length of the bytes at the start of s that may stay as they are.
size_t GoodPrefix(std::string_view s, XmlRepair::Encoding encoding)
{
    size_t i = 0;
    while (i < s.size()) {
        i = PlainAsciiRun(s, i);
        if (i == s.size())
            break;
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c < 0x80) {
            ++i;
            continue;
        }
        if (IsBadControl(c))
            return i;
        if (c < 0x80 || encoding == XmlRepair::Encoding::Ansi) {
            ++i;
            continue;
        }
        char32_t ignored;
        const size_t n = Utf8CharLength(s.substr(i), ignored);
        if (n == 0)
            return i;
        i += n;
    }
    return i;
}

bool IsNameStart(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsNameChar(unsigned char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

// Whether a code point is a character XML 1.0 allows.
bool IsXmlChar(uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// Length of the good character reference at the start of s ("&#...;"), or 0.
// HTML also writes a hexadecimal one "&#X...;", which XML reads only with a
// small "x": upperX tells the caller to write it so.
size_t GoodReferenceLength(std::string_view s, bool& upperX)
{
    size_t i = 2;   // after "&#"
    const bool hex = i < s.size() && (s[i] == 'x' || s[i] == 'X');
    upperX = hex && s[i] == 'X';
    if (hex)
        ++i;
    const size_t digitsStart = i;
    uint32_t value = 0;
    for (; i < s.size() && s[i] != ';'; ++i) {
        const char c = s[i];
        uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<uint32_t>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<uint32_t>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<uint32_t>(c - 'A' + 10);
        else
            return 0;
        value = value * (hex ? 16 : 10) + digit;
        if (value > 0x10FFFF)
            return 0;
    }
    if (i == s.size() || i == digitsStart || !IsXmlChar(value))
        return 0;
    return i + 1;
}

constexpr std::string_view kAmpersandReference = "&#38;";

} // namespace

bool XmlRepair::HasOnlyGoodReferences(std::string_view value)
{
    bool upperX = false;
    for (size_t at = value.find("&#"); at != std::string_view::npos; at = value.find("&#", at + 1))
        if (GoodReferenceLength(value.substr(at), upperX) == 0 || upperX)
            return false;
    return true;
}

bool XmlRepair::RepairReferences(std::string& value)
{
    if (HasOnlyGoodReferences(value))
        return false;
    std::string fixed;
    size_t done = 0;
    for (size_t at = value.find("&#"); at != std::string::npos; at = value.find("&#", at + 1)) {
        bool upperX = false;
        const size_t good = GoodReferenceLength(std::string_view(value).substr(at), upperX);
        if (good > 0) {
            if (upperX) {
                fixed.append(value, done, at + 2 - done);
                fixed.push_back('x');
                done = at + 3;
            }
            at += good - 1;
            continue;
        }
        fixed.append(value, done, at - done);
        fixed.append(kAmpersandReference);
        done = at + 1;
    }
    fixed.append(value, done);
    value = std::move(fixed);
    return true;
}

bool XmlRepair::RepairText(std::string_view text, Encoding encoding, std::string& out)
{
    size_t good = GoodPrefix(text, encoding);
    if (good == text.size())
        return false;
    out.clear();
    out.reserve(text.size() + text.size() / 8);
    while (good < text.size()) {
        out.append(text.substr(0, good));
        const unsigned char c = static_cast<unsigned char>(text[good]);
        if (IsBadControl(c))
            out.push_back(' ');
        else
            out.append(kReplacement);
        text.remove_prefix(good + 1);
        good = GoodPrefix(text, encoding);
    }
    out.append(text);
    return true;
}

bool XmlRepair::IsName(std::string_view name)
{
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (i == 0 ? !IsNameStart(c) : !IsNameChar(c))
            return false;
    }
    return true;
}

bool XmlRepair::RepairName(std::string& name, Encoding encoding)
{
    if (IsName(name))
        return false;
    std::string fixed;
    if (!IsNameStart(static_cast<unsigned char>(name[0])) && IsNameChar(static_cast<unsigned char>(name[0])))
        fixed.push_back('_');
    for (size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        size_t n = 1;
        if (c >= 0x80 && encoding == Encoding::Utf8) {
            char32_t ignored;
            n = std::max<size_t>(1, Utf8CharLength(std::string_view(name).substr(i), ignored));
        }
        fixed.push_back(IsNameChar(c) ? static_cast<char>(c) : '_');
        i += n;
    }
    name = std::move(fixed);
    return true;
}

} // namespace plentor

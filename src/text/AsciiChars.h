#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace plentor {

// ASCII character classes from one table, and the case-blind comparisons
// and trimming built on them. Bytes above 0x7F belong to no class and have
// no case: they compare as themselves.
class AsciiChars {
public:
    enum Class : uint8_t {
        kSpace = 1,       // space, tab, CR, LF: the white space of headers and markup
        kCSpace = 2,      // those plus vertical tab and form feed (C's isspace)
        kUpper = 4,
        kLower = 8,
        kDigit = 16,
        kHexLetter = 32,  // a-f and A-F
    };

    static constexpr bool Is(char c, uint8_t classes) { return (kTable[static_cast<uint8_t>(c)] & classes) != 0; }
    static constexpr bool IsSpace(char c) { return Is(c, kSpace); }
    static constexpr bool IsCSpace(char c) { return Is(c, kCSpace); }
    static constexpr bool IsAlpha(char c) { return Is(c, kUpper | kLower); }
    static constexpr bool IsDigit(char c) { return Is(c, kDigit); }
    static constexpr bool IsAlnum(char c) { return Is(c, kUpper | kLower | kDigit); }

    static constexpr char ToLower(char c) { return static_cast<char>(kLowerCase[static_cast<uint8_t>(c)]); }
    static constexpr char ToUpper(char c) { return Is(c, kLower) ? static_cast<char>(c - ('a' - 'A')) : c; }

    static constexpr bool EqualsNoCase(std::string_view a, std::string_view b)
    {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i) {
            if (ToLower(a[i]) != ToLower(b[i]))
                return false;
        }
        return true;
    }

    static constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix)
    {
        return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
    }

    // text without the kSpace characters at either end.
    static constexpr std::string_view Trim(std::string_view text)
    {
        while (!text.empty() && IsSpace(text.front()))
            text.remove_prefix(1);
        while (!text.empty() && IsSpace(text.back()))
            text.remove_suffix(1);
        return text;
    }

private:
    static const std::array<uint8_t, 256> kTable;
    static const std::array<uint8_t, 256> kLowerCase;   // every byte, A-Z folded
};

namespace ascii_detail {

constexpr std::array<uint8_t, 256> MakeAsciiTable()
{
    std::array<uint8_t, 256> table{};
    for (char c : {' ', '\t', '\r', '\n'})
        table[static_cast<uint8_t>(c)] |= AsciiChars::kSpace | AsciiChars::kCSpace;
    table['\v'] |= AsciiChars::kCSpace;
    table['\f'] |= AsciiChars::kCSpace;
    for (int c = 'A'; c <= 'Z'; ++c)
        table[c] |= AsciiChars::kUpper;
    for (int c = 'a'; c <= 'z'; ++c)
        table[c] |= AsciiChars::kLower;
    for (int c = '0'; c <= '9'; ++c)
        table[c] |= AsciiChars::kDigit;
    for (int c = 'a'; c <= 'f'; ++c) {
        table[c] |= AsciiChars::kHexLetter;
        table[c - 'a' + 'A'] |= AsciiChars::kHexLetter;
    }
    return table;
}

constexpr std::array<uint8_t, 256> MakeLowerCaseTable()
{
    std::array<uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[static_cast<size_t>(i)] = static_cast<uint8_t>(i >= 'A' && i <= 'Z' ? i + ('a' - 'A') : i);
    return table;
}

} // namespace ascii_detail

inline constexpr std::array<uint8_t, 256> AsciiChars::kTable = ascii_detail::MakeAsciiTable();
inline constexpr std::array<uint8_t, 256> AsciiChars::kLowerCase = ascii_detail::MakeLowerCaseTable();

} // namespace plentor

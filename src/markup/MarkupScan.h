#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace plentor {

// Byte-level scanning shared by the XML parser and the HTML readers: the
// whitespace class, ASCII case folding, case-insensitive search and the
// search for the end of a tag that honours quoted stretches.
class MarkupScan {
public:
    static constexpr size_t npos = std::string_view::npos;

    // Space, tab, CR and LF.
    static bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    static bool IsSpace(char c) { return IsSpace(static_cast<unsigned char>(c)); }

    // ASCII A-Z to a-z; every other byte unchanged.
    static char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

    static bool EqualsNoCase(std::string_view a, std::string_view b);
    static bool StartsWithNoCase(std::string_view text, std::string_view prefix);

    // Position of needle in text at or after from, ASCII letters compared
    // without case; npos when absent or when needle is empty.
    static size_t FindNoCase(std::string_view text, std::string_view needle, size_t from = 0);

    // Drops leading and trailing space, tab, CR and LF.
    static std::string_view Trim(std::string_view text);

    // How a quote inside a tag is treated when looking for the tag's end.
    enum class QuoteRule {
        Always,          // every double or single quote outside a stretch opens one
        NotAfterClose,   // a quote directly after a closing quote is an ordinary byte
    };

    // A forward scan for the ">" that ends a tag beginning at start: end =
    // the first ">" outside quoted stretches, npos when the text ends inside
    // a stretch or has no such ">". Each byte looked at takes one from
    // budget; false, end unset, when the budget runs out first.
    static bool ScanTagEnd(std::string_view text, size_t start, QuoteRule rule, size_t& budget, size_t& end);

    // For tag texts beginning at the ascending positions starts, the position
    // of the ">" that ends each: the first ">" outside quoted stretches (a
    // stretch runs from a quote to the next quote of the same kind); when the
    // text ends inside a stretch, the first ">" regardless of quotes; when
    // there is no ">" at all, text.size(). One backward pass over the text,
    // however many tags there are and however their quotes are balanced.
    static void FindTagEnds(std::string_view text, const std::vector<size_t>& starts, QuoteRule rule,
                            std::vector<size_t>& ends);

    // Every position of needle in text (ASCII case folded), ascending.
    static void FindAllNoCase(std::string_view text, std::string_view needle, std::vector<size_t>& out);
};

} // namespace plentor

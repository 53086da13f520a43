#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace plentor {

// Byte-level scanning shared by the XML parser and the HTML readers:
// case-insensitive search and the search for the end of a tag that honours
// quoted stretches. The character classes, case folding and trimming are
// AsciiChars'.
class MarkupScan {
public:
    static constexpr size_t npos = std::string_view::npos;

    // Position of needle in text at or after from, ASCII letters compared
    // without case; npos when absent or when needle is empty.
    static size_t FindNoCase(std::string_view text, std::string_view needle, size_t from = 0);

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

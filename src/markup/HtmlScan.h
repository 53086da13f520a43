#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace plentor {

// The searches of the HTML converter over one page. The converter only moves
// forward, so each search either consumes what it scans or remembers its
// answer for the next search of the same kind: no byte is scanned more than
// a fixed number of times, however many unclosed comments, scripts or quotes
// a page holds.
class HtmlScan {
public:
    static constexpr size_t npos = std::string_view::npos;

    // text must outlive the scan.
    explicit HtmlScan(std::string_view text);

    // A "<" followed by a letter, "/", "!" or "?" begins markup; any other
    // "<" (as in "a < b") is text, as a browser reads it. The first such
    // "<" at or after from; the page's length when there is none.
    size_t NextMarkup(size_t from) const;

    // The ">" that ends the tag starting at start: the first one outside
    // quoted stretches (a double or single quote opens a stretch that the same
    // quote closes; a quote directly after a closing one is an ordinary
    // byte) or, when the page ends inside a stretch, the first one at all;
    // npos when the page has none. Starts must not decrease from call to call.
    size_t TagEnd(size_t start);

    // The first ">" at or after from; npos when there is none.
    size_t Gt(size_t from);
    // The first "-->" at or after from; npos when there is none.
    size_t CommentEnd(size_t from);
    // The first "</script" (any case) at or after from that is followed by
    // whitespace, "/", ">" or the end of the page; the page's length when
    // there is none.
    size_t ScriptEnd(size_t from);

private:
    // The answer of the last search of one kind.
    struct Memo {
        bool valid = false;
        size_t from = 0;
        size_t found = npos;
    };

    template <typename Search>
    size_t Remember(Memo& memo, size_t from, Search search);

    size_t ScanQuotedTagEnd(size_t start) const;
    void MapUnendingTags(size_t from);

    std::string_view text_;
    Memo gt_;
    Memo commentEnd_;
    Memo scriptEnd_;
    // Once a tag runs into the end of the page inside quotes, later tags may
    // too: from mapFrom_ on, whether a quoted scan starting at each position would.
    size_t mapFrom_ = npos;
    std::vector<bool> unending_;
};

} // namespace plentor

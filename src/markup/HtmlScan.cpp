#include "markup/HtmlScan.h"

#include "markup/MarkupScan.h"
#include "text/AsciiChars.h"

#include <cstdint>
#include <cstring>

namespace plentor {

namespace {

constexpr std::string_view kCommentClose = "-->";
constexpr std::string_view kScriptClose = "</script";

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool BeginsMarkup(std::string_view text, size_t at)
{
    if (at + 1 >= text.size())
        return false;
    const char next = text[at + 1];
    return IsAsciiLetter(next) || next == '/' || next == '!' || next == '?';
}

// Quote states of a tag scan.
enum QuoteState { kOutside, kJustClosed, kInDouble, kInSingle, kQuoteStates };

} // namespace

HtmlScan::HtmlScan(std::string_view text) : text_(text) {}

size_t HtmlScan::NextMarkup(size_t from) const
{
    while (from < text_.size()) {
        const void* lt = std::memchr(text_.data() + from, '<', text_.size() - from);
        if (!lt)
            return text_.size();
        const size_t at = static_cast<size_t>(static_cast<const char*>(lt) - text_.data());
        if (BeginsMarkup(text_, at))
            return at;
        from = at + 1;
    }
    return text_.size();
}

// A search that starts at or before the answer of the previous one of its
// kind (and not before that one's start) has the same answer.
template <typename Search>
size_t HtmlScan::Remember(Memo& memo, size_t from, Search search)
{
    if (memo.valid && from >= memo.from && (memo.found == npos || from <= memo.found))
        return memo.found;
    memo = {true, from, search(from)};
    return memo.found;
}

size_t HtmlScan::Gt(size_t from)
{
    return Remember(gt_, from, [this](size_t f) { return text_.find('>', f); });
}

size_t HtmlScan::CommentEnd(size_t from)
{
    return Remember(commentEnd_, from, [this](size_t f) { return text_.find(kCommentClose, f); });
}

size_t HtmlScan::ScriptEnd(size_t from)
{
    return Remember(scriptEnd_, from, [this](size_t f) {
        for (size_t at = MarkupScan::FindNoCase(text_, kScriptClose, f); at != npos;
             at = MarkupScan::FindNoCase(text_, kScriptClose, at + 1)) {
            const size_t after = at + kScriptClose.size();
            if (after == text_.size() || AsciiChars::IsSpace(text_[after]) || text_[after] == '/' ||
                text_[after] == '>')
                return at;
        }
        return text_.size();
    });
}

// A quoted scan either ends its tag (and the converter moves past it) or runs
// to the end of the page once; after that, the map answers which later tags
// would run out too, and those end at their first ">".
size_t HtmlScan::TagEnd(size_t start)
{
    if (mapFrom_ == npos || start < mapFrom_) {
        const size_t end = ScanQuotedTagEnd(start);
        if (end != npos)
            return end;
        MapUnendingTags(start);
    }
    if (!unending_[start - mapFrom_])
        return ScanQuotedTagEnd(start);
    return Gt(start);
}

size_t HtmlScan::ScanQuotedTagEnd(size_t start) const
{
    size_t unlimited = SIZE_MAX;
    size_t end = npos;
    MarkupScan::ScanTagEnd(text_, start, MarkupScan::QuoteRule::NotAfterClose, unlimited, end);
    return end;
}

// For every position from on, whether ScanQuotedTagEnd started there would
// reach the end of the page: one backward pass, each position depending only
// on the next.
void HtmlScan::MapUnendingTags(size_t from)
{
    mapFrom_ = from;
    unending_.assign(text_.size() - from, false);
    bool r[kQuoteStates] = {true, true, true, true};   // at the end of the page every scan has run out
    for (size_t p = text_.size(); p-- > from;) {
        const char c = text_[p];
        bool s[kQuoteStates];
        s[kOutside] = c == '>' ? false : c == '"' ? r[kInDouble] : c == '\'' ? r[kInSingle] : r[kOutside];
        s[kJustClosed] = c == '>' ? false : r[kOutside];
        s[kInDouble] = c == '"' ? r[kJustClosed] : r[kInDouble];
        s[kInSingle] = c == '\'' ? r[kJustClosed] : r[kInSingle];
        std::memcpy(r, s, sizeof r);
        unending_[p - from] = r[kOutside];
    }
}

} // namespace plentor

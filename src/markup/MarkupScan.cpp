#include "markup/MarkupScan.h"

#include "text/AsciiChars.h"

#include <array>
#include <cstring>

namespace plentor {

namespace {

unsigned char Fold(char c) { return static_cast<unsigned char>(AsciiChars::ToLower(c)); }

// Scan states of FindTagEnds.
enum State { kOutside, kJustClosed, kInDouble, kInSingle, kStateCount };

} // namespace

size_t MarkupScan::FindNoCase(std::string_view text, std::string_view needle, size_t from)
{
    if (needle.empty() || from > text.size() || text.size() - from < needle.size())
        return npos;
    const unsigned char first = Fold(needle[0]);
    const unsigned char other = static_cast<unsigned char>(
        first >= 'a' && first <= 'z' ? first - ('a' - 'A') : first);
    const char* base = text.data();
    const size_t last = text.size() - needle.size();
    size_t i = from;
    while (i <= last) {
        // memchr finds candidates for the first byte far faster than a byte loop.
        const void* a = std::memchr(base + i, first, last - i + 1);
        const void* b = other != first ? std::memchr(base + i, other, last - i + 1) : nullptr;
        const char* hit = static_cast<const char*>(a);
        if (!hit || (b && static_cast<const char*>(b) < hit))
            hit = static_cast<const char*>(b);
        if (!hit)
            return npos;
        i = static_cast<size_t>(hit - base);
        size_t k = 1;
        while (k < needle.size() && Fold(base[i + k]) == Fold(needle[k]))
            ++k;
        if (k == needle.size())
            return i;
        ++i;
    }
    return npos;
}

void MarkupScan::FindAllNoCase(std::string_view text, std::string_view needle, std::vector<size_t>& out)
{
    for (size_t at = FindNoCase(text, needle); at != npos; at = FindNoCase(text, needle, at + 1))
        out.push_back(at);
}

namespace {

// Dynamic programming from the end: r[s] is where a scan that is in state s
// just before position p stops. Each position depends only on the one after
// it, so four numbers carry the whole table and overlapping or unbalanced
// tags cost no rescans.
void FindTagEndsBackward(std::string_view text, const std::vector<size_t>& starts, MarkupScan::QuoteRule rule,
                         std::vector<size_t>& ends)
{
    const size_t n = text.size();
    ends.assign(starts.size(), n);
    if (starts.empty())
        return;
    size_t r[kStateCount] = {MarkupScan::npos, MarkupScan::npos, MarkupScan::npos, MarkupScan::npos};
    size_t nextGt = MarkupScan::npos;
    size_t k = starts.size();
    const bool reopenAfterClose = rule == MarkupScan::QuoteRule::Always;
    for (size_t p = n; p-- > starts.front();) {
        const char c = text[p];
        size_t s[kStateCount];
        if (c == '>') {
            s[kOutside] = s[kJustClosed] = p;
            nextGt = p;
        } else if (c == '"' || c == '\'') {
            const size_t opened = c == '"' ? r[kInDouble] : r[kInSingle];
            s[kOutside] = opened;
            s[kJustClosed] = reopenAfterClose ? opened : r[kOutside];
        } else {
            s[kOutside] = s[kJustClosed] = r[kOutside];
        }
        s[kInDouble] = c == '"' ? r[kJustClosed] : r[kInDouble];
        s[kInSingle] = c == '\'' ? r[kJustClosed] : r[kInSingle];
        std::memcpy(r, s, sizeof r);
        while (k > 0 && starts[k - 1] == p) {
            --k;
            ends[k] = r[kOutside] != MarkupScan::npos ? r[kOutside] : (nextGt != MarkupScan::npos ? nextGt : n);
        }
    }
}

} // namespace

bool MarkupScan::ScanTagEnd(std::string_view text, size_t start, QuoteRule rule, size_t& budget, size_t& end)
{
    const bool reopenAfterClose = rule == QuoteRule::Always;
    const size_t n = text.size();
    if (start >= n) {
        end = npos;
        return true;
    }
    const size_t stop = budget < n - start ? start + budget : n;   // the bytes the budget allows
    bool justClosed = false;
    size_t p = start;
    while (p < stop) {
        const char c = text[p];
        if (c == '>') {
            budget -= p + 1 - start;
            end = p;
            return true;
        }
        if ((c == '"' || c == '\'') && (!justClosed || reopenAfterClose)) {
            // A quoted stretch runs to the next quote of its kind.
            const void* close = std::memchr(text.data() + p + 1, c, stop - p - 1);
            if (!close) {
                p = stop;
                break;
            }
            p = static_cast<size_t>(static_cast<const char*>(close) - text.data()) + 1;
            justClosed = true;
            continue;
        }
        justClosed = false;
        ++p;
    }
    budget -= stop - start;
    if (stop < n)
        return false;
    end = npos;
    return true;
}

// Most tags end soon after they start: each is scanned forward, within a
// budget of a few passes over the text in all. A tag that runs to the end
// of the text inside quotes, or a text that uses up the budget, is left to
// the backward pass, which answers every start at once.
void MarkupScan::FindTagEnds(std::string_view text, const std::vector<size_t>& starts, QuoteRule rule,
                             std::vector<size_t>& ends)
{
    const size_t n = text.size();
    ends.assign(starts.size(), n);
    size_t budget = 2 * n + 4096;
    for (size_t i = 0; i < starts.size(); ++i) {
        size_t end = npos;
        if (!ScanTagEnd(text, starts[i], rule, budget, end) || end == npos) {
            FindTagEndsBackward(text, starts, rule, ends);
            return;
        }
        ends[i] = end;
    }
}

} // namespace plentor

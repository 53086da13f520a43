#include "services/WordList.h"

#include "services/ParseEngine.h"
#include "text/Crc32.h"
#include "text/StringBuffer.h"

#include <algorithm>
#include <array>
#include <climits>
#include <functional>
#include <initializer_list>
#include <iterator>

namespace plentor {

namespace {

constexpr ParseEngine::ByteSet kBlanks(" \t\r\n");
constexpr ParseEngine::ByteSet kStripped("\"'*-/@");

// The pending index starts this small and doubles; it stays at most half full
// so that a probe ends quickly.
constexpr size_t kInitialSlots = 64;

using LowerTable = std::array<uint8_t, 256>;

constexpr uint32_t Bits(std::initializer_list<int> bytes)
{
    uint32_t mask = 0;
    for (int b : bytes)
        mask |= 1u << (b - 0xC0);
    return mask;
}

// How lower-casing treats one code page. keep holds one bit per byte
// 0xC0-0xDF that is left alone: there the byte 0x20 higher is not the
// lower-case form of the byte (a multiplication sign, a sharp s, a letter
// already in lower case, a combining mark, or a byte the code page does not
// use). The byte rule was made for Western pages; without these exceptions
// it would turn half the Cyrillic alphabet of ISO-8859-5 into other letters.
// extra lowers capitals the rule does not reach, where leaving them would
// split an alphabet in two (ISO-8859-5 has its capitals at 0xA1-0xCF).
struct CaseRange {
    int first;
    int last;
    int raise;
};

struct CaseRule {
    int codePage;
    uint32_t keep;
    CaseRange extra[3];
};

constexpr uint32_t kCyrillicLowerHalf = 0xFFFF0000u;   // 0xD0-0xDF

constexpr CaseRule kCaseRules[] = {
    {1250, Bits({0xD7, 0xDF}), {}},
    {1251, 0, {}},
    {1252, Bits({0xD7, 0xDF}), {}},
    {1253, Bits({0xC0, 0xD2, 0xDC, 0xDD, 0xDE, 0xDF}), {}},
    {1254, Bits({0xD7, 0xDD, 0xDF}), {}},
    {1257, Bits({0xD7, 0xDF}), {}},
    {1258, Bits({0xCC, 0xD2, 0xD7, 0xDE, 0xDF}), {}},
    {28591, Bits({0xD7, 0xDF}), {}},
    {28592, Bits({0xD7, 0xDF}), {}},
    {28593, Bits({0xD7, 0xDF}), {}},
    {28594, Bits({0xD7, 0xDF}), {}},
    {28595, kCyrillicLowerHalf, {{0xA1, 0xAC, 0x50}, {0xAE, 0xAF, 0x50}, {0xB0, 0xBF, 0x20}}},
    {28597, Bits({0xC0, 0xD2, 0xDC, 0xDD, 0xDE, 0xDF}), {}},
    {28599, Bits({0xD7, 0xDD, 0xDF}), {}},
    {28605, Bits({0xD7, 0xDF}), {}},
};

constexpr LowerTable MakeLowerTable(const CaseRule& rule)
{
    LowerTable table{};
    for (int b = 0; b < 256; ++b) {
        int lower = b;
        if (b >= 'A' && b <= 'Z')
            lower = b + 0x20;
        else if (b >= 0xC0 && b <= 0xDF && (rule.keep & (1u << (b - 0xC0))) == 0)
            lower = b + 0x20;
        for (const CaseRange& r : rule.extra)
            if (r.raise != 0 && b >= r.first && b <= r.last)
                lower = b + r.raise;
        table[static_cast<size_t>(b)] = static_cast<uint8_t>(lower);
    }
    return table;
}

constexpr auto MakeAllTables()
{
    std::array<LowerTable, std::size(kCaseRules)> tables{};
    for (size_t i = 0; i < tables.size(); ++i)
        tables[i] = MakeLowerTable(kCaseRules[i]);
    return tables;
}

constexpr LowerTable kPlainLower = MakeLowerTable(CaseRule{0, 0, {}});
constexpr auto kCodePageLower = MakeAllTables();

const LowerTable& LowerTableFor(int codePage)
{
    for (size_t i = 0; i < std::size(kCaseRules); ++i)
        if (kCaseRules[i].codePage == codePage)
            return kCodePageLower[i];
    return kPlainLower;
}

bool HasAsciiDigit(std::string_view token)
{
    return std::any_of(token.begin(), token.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view TrimBy(std::string_view word, const ParseEngine::ByteSet& set)
{
    while (!word.empty() && set.Has(word.front()))
        word.remove_prefix(1);
    while (!word.empty() && set.Has(word.back()))
        word.remove_suffix(1);
    return word;
}

} // namespace

// ---- normalising -----------------------------------------------------------

uint32_t WordList::HashOf(std::string_view word)
{
    return Crc32::Compute(word.data(), word.size()) & kHashMask;
}

void WordList::LowerCase(char* bytes, size_t n, int codePage)
{
    const LowerTable& table = LowerTableFor(codePage);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<char>(table[static_cast<unsigned char>(bytes[i])]);
}

std::string WordList::Normalise(std::string_view word, int codePage)
{
    std::string out(TrimBy(TrimBy(word, kBlanks), kStripped));
    LowerCase(out.data(), out.size(), codePage);
    return out;
}

std::string_view WordList::NormaliseInto(std::string_view word, std::string& scratch) const
{
    const std::string_view core = TrimBy(TrimBy(word, kBlanks), kStripped);
    scratch.assign(core.data(), core.size());
    LowerCase(scratch.data(), scratch.size(), codePage_);
    return scratch;
}

// ---- lookup ----------------------------------------------------------------

bool WordList::Before(const Entry& a, const Entry& b) const
{
    if (a.hash != b.hash)
        return a.hash < b.hash;
    return TextOf(a) < TextOf(b);
}

const WordList::Entry* WordList::FindMerged(uint32_t hash, std::string_view word) const
{
    auto it = std::lower_bound(merged_.begin(), merged_.end(), hash,
                               [](const Entry& e, uint32_t h) { return e.hash < h; });
    for (; it != merged_.end() && it->hash == hash; ++it)
        if (TextOf(*it) == word)
            return &*it;
    return nullptr;
}

WordList::Entry* WordList::FindMerged(uint32_t hash, std::string_view word)
{
    return const_cast<Entry*>(static_cast<const WordList*>(this)->FindMerged(hash, word));
}

const WordList::Entry* WordList::FindPending(uint32_t hash, std::string_view word) const
{
    if (slots_.empty())
        return nullptr;
    const size_t mask = slots_.size() - 1;
    for (size_t s = hash & mask; slots_[s] != 0; s = (s + 1) & mask) {
        const Entry& e = pending_[slots_[s] - 1];
        if (e.hash == hash && TextOf(e) == word)
            return &e;
    }
    return nullptr;
}

WordList::Entry* WordList::FindPending(uint32_t hash, std::string_view word)
{
    return const_cast<Entry*>(static_cast<const WordList*>(this)->FindPending(hash, word));
}

bool WordList::Contains(const char* word) const
{
    return Contains(word ? std::string_view(word) : std::string_view());
}

bool WordList::Contains(std::string_view word) const
{
    std::string scratch;
    return ContainsToken(word, scratch);
}

bool WordList::ContainsToken(std::string_view token, std::string& scratch) const
{
    const std::string_view word = NormaliseInto(token, scratch);
    const uint32_t hash = HashOf(word);
    return FindMerged(hash, word) != nullptr || FindPending(hash, word) != nullptr;
}

std::string_view WordList::GetWord(int index, int& count) const
{
    if (index < 0 || index >= Count()) {
        count = 0;
        return {};
    }
    const Entry& e = merged_[static_cast<size_t>(index)];
    count = e.count;
    return TextOf(e);
}

// ---- counting --------------------------------------------------------------

void WordList::AddWords(const char* text, const WordList* stopList, int initialCount)
{
    if (text)
        AddWords(std::string_view(text), stopList, initialCount);
}

void WordList::AddWords(std::string_view text, const WordList* stopList, int initialCount)
{
    if (text.empty())
        return;
    ParseEngine engine(text);
    std::string scratch;
    std::string stopScratch;
    for (;;) {
        engine.Skip(kBlanks);
        if (engine.AtEnd())
            break;
        CountToken(engine.ReadUntil(kBlanks), stopList, initialCount, scratch, stopScratch);
    }
    MergePending();
}

void WordList::CountToken(std::string_view token, const WordList* stopList, int initialCount, std::string& scratch,
                          std::string& stopScratch)
{
    if (minLength_ > 0 && token.size() < static_cast<size_t>(minLength_))
        return;
    if (token.find('@') != std::string_view::npos)
        return;
    while (!token.empty() && token.back() == '.')
        token.remove_suffix(1);
    if (skipDigits_ && HasAsciiDigit(token))
        return;
    // The stop list normalises with its own code page, which may differ.
    if (stopList && stopList->ContainsToken(token, stopScratch))
        return;

    const std::string_view word = NormaliseInto(token, scratch);
    const uint32_t hash = HashOf(word);
    Entry* e = FindMerged(hash, word);
    if (!e)
        e = FindPending(hash, word);
    if (!e)
        AddPending(hash, word, initialCount);
    else if (e->count < INT_MAX)
        ++e->count;
}

void WordList::AddPending(uint32_t hash, std::string_view word, int count)
{
    if ((pending_.size() + 1) * 2 > slots_.size())
        GrowSlots();
    const size_t offset = store_.size();
    store_.append(word.data(), word.size());
    pending_.push_back(Entry{hash, count, offset, word.size()});

    const size_t mask = slots_.size() - 1;
    size_t s = hash & mask;
    while (slots_[s] != 0)
        s = (s + 1) & mask;
    slots_[s] = static_cast<uint32_t>(pending_.size());
}

void WordList::GrowSlots()
{
    const size_t size = slots_.empty() ? kInitialSlots : slots_.size() * 2;
    slots_.assign(size, 0);
    const size_t mask = size - 1;
    for (size_t i = 0; i < pending_.size(); ++i) {
        size_t s = pending_[i].hash & mask;
        while (slots_[s] != 0)
            s = (s + 1) & mask;
        slots_[s] = static_cast<uint32_t>(i + 1);
    }
}

void WordList::MergePending()
{
    if (pending_.empty())
        return;
    auto before = [this](const Entry& a, const Entry& b) { return Before(a, b); };
    std::sort(pending_.begin(), pending_.end(), before);
    const auto middle = static_cast<std::ptrdiff_t>(merged_.size());
    merged_.insert(merged_.end(), pending_.begin(), pending_.end());
    std::inplace_merge(merged_.begin(), merged_.begin() + middle, merged_.end(), before);
    pending_.clear();
    slots_.clear();
}

// ---- selection -------------------------------------------------------------

void WordList::TopWords(StringBuffer& out, int maxCount) const
{
    out.Clear();
    if (maxCount <= 0)
        return;
    // The empty word (a token of stripped characters only) would show as a
    // doubled space, so it is never a candidate.
    std::vector<const Entry*> candidates;
    candidates.reserve(merged_.size());
    for (const Entry& e : merged_)
        if (e.length > 0)
            candidates.push_back(&e);

    const size_t k = static_cast<size_t>(maxCount);
    auto emit = [&out, this](const Entry& e) {
        if (!out.IsEmpty())
            out.AppendChar(' ');
        const std::string_view text = TextOf(e);
        out.AppendBytes(text.data(), static_cast<int>(text.size()));
    };
    if (candidates.size() <= k) {
        for (const Entry* e : candidates)
            emit(*e);
        return;
    }

    // The smallest t >= 2 with fewer than k counts above it is the larger of
    // 2 and the k-th largest count; words above t - 1 come first.
    std::vector<int> counts;
    counts.reserve(candidates.size());
    for (const Entry* e : candidates)
        counts.push_back(e->count);
    std::nth_element(counts.begin(), counts.begin() + static_cast<std::ptrdiff_t>(k - 1), counts.end(),
                     std::greater<int>());
    const int threshold = std::max(2, counts[k - 1]) - 1;

    size_t taken = 0;
    for (auto it = candidates.begin(); it != candidates.end() && taken < k; ++it)
        if ((*it)->count > threshold) {
            emit(**it);
            ++taken;
        }
    for (auto it = candidates.begin(); it != candidates.end() && taken < k; ++it)
        if ((*it)->count == threshold) {
            emit(**it);
            ++taken;
        }
}

} // namespace plentor

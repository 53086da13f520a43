#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plentor {

class StringBuffer;

// A multiset of words with counts, kept in the ascending order of the words'
// 28-bit hashes (the low bits of their CRC-32). Words seen for the first time
// during one AddWords call wait in a pending list and are merged with one
// sort when the call ends, so counting costs one hash and one or two lookups
// per token. Serves as the stop list and as the counter of a page's words.
class WordList {
public:
    // Words are ordered and looked up by the CRC-32 of their bytes cut to
    // these bits; equal hashes are told apart by the bytes.
    static constexpr uint32_t kHashMask = 0x0FFFFFFFu;

    // A token containing an ASCII digit is ignored (default off).
    void SetSkipDigits(bool skip) { skipDigits_ = skip; }
    bool SkipDigits() const { return skipDigits_; }

    // A token shorter than this many bytes, as read, is ignored (0: no minimum).
    void SetMinLength(int bytes) { minLength_ = bytes < 0 ? 0 : bytes; }
    int MinLength() const { return minLength_; }

    // The single-byte code page the words are in; it decides which bytes
    // 0xC0-0xDF lower-casing may raise (see LowerCase). 0, the default,
    // raises all of them.
    void SetCodePage(int codePage) { codePage_ = codePage; }
    int CodePage() const { return codePage_; }

    // Counts every word of the text: tokens are separated by spaces, tabs,
    // CR and LF; a token shorter than MinLength, holding "@", holding a digit
    // (with SkipDigits) or, after its trailing dots are cut, on the stop list
    // is skipped; the rest are normalised and counted, a new word starting
    // at initialCount. A null or empty text does nothing.
    void AddWords(const char* text, const WordList* stopList, int initialCount);
    void AddWords(std::string_view text, const WordList* stopList, int initialCount);

    // Whether the normalised form of word is in the list (null counts as empty).
    bool Contains(const char* word) const;
    bool Contains(std::string_view word) const;

    // The word at index in hash order and its count; empty with count 0 when
    // the index is out of range. The view is valid until the next AddWords.
    std::string_view GetWord(int index, int& count) const;
    int Count() const { return static_cast<int>(merged_.size()); }

    // out = at most maxCount words, in hash order, separated by single
    // spaces: the earliest words above a frequency threshold, topped up with
    // words at the threshold (see the definition for the exact rule).
    void TopWords(StringBuffer& out, int maxCount) const;

    // The hash of a word already normalised.
    static uint32_t HashOf(std::string_view word);

    // The form in which a word is counted and looked up: spaces, tabs, CR and
    // LF trimmed from both ends, then the characters " ' * - / @ stripped
    // from both ends, then lower-cased for the code page.
    static std::string Normalise(std::string_view word, int codePage = 0);

    // Lower-cases bytes in place: A-Z become a-z and bytes 0xC0-0xDF are
    // raised by 0x20, except, for a known single-byte code page, the bytes
    // whose partner 0x20 higher is not their lower-case letter (so "\xDF"
    // sharp s, Greek accented letters and the small Cyrillic letters of
    // ISO-8859-5 stay as they are); in ISO-8859-5 the Cyrillic capitals
    // below 0xC0 are lowered too.
    static void LowerCase(char* bytes, size_t n, int codePage);

private:
    struct Entry {
        uint32_t hash;
        int count;
        size_t offset;   // of the word's bytes in store_
        size_t length;
    };

    std::string_view TextOf(const Entry& e) const { return std::string_view(store_).substr(e.offset, e.length); }
    bool Before(const Entry& a, const Entry& b) const;

    void CountToken(std::string_view token, const WordList* stopList, int initialCount, std::string& scratch,
                    std::string& stopScratch);
    bool ContainsToken(std::string_view token, std::string& scratch) const;
    std::string_view NormaliseInto(std::string_view word, std::string& scratch) const;

    const Entry* FindMerged(uint32_t hash, std::string_view word) const;
    Entry* FindMerged(uint32_t hash, std::string_view word);
    const Entry* FindPending(uint32_t hash, std::string_view word) const;
    Entry* FindPending(uint32_t hash, std::string_view word);
    void AddPending(uint32_t hash, std::string_view word, int count);
    void GrowSlots();
    void MergePending();

    std::vector<Entry> merged_;     // ascending by hash, then by bytes
    std::vector<Entry> pending_;    // new words of the AddWords call under way
    std::vector<uint32_t> slots_;   // open-addressing index of pending_: position + 1, 0 = free
    std::string store_;             // the bytes of every word, back to back
    bool skipDigits_ = false;
    int minLength_ = 0;
    int codePage_ = 0;
};

} // namespace plentor

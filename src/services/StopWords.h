#pragma once

#include "text/StringBuffer.h"

#include <string>
#include <string_view>

namespace plentor {

class LogBase;
class WordList;

// The built-in stop-word text: unpacked from its stored form at construction,
// with a few fixed entries appended. AddTo turns it into a stop list.
class StopWords {
public:
    // Entries that are appended to the stored list.
    static constexpr const char* kTail = " will well llc copyright inc reserved rights down";
    // Entries added after the plurals: their plurals are not wanted.
    static constexpr const char* kExtra = "previous next starting always";

    // Unpacks the stored list. Failure (a damaged build) is logged; the text
    // then holds only the fixed entries.
    StopWords();
    explicit StopWords(LogBase& log);

    // Whether the stored list was unpacked.
    bool Unpacked() const { return unpacked_; }
    // The unpacked entries (separated by CR LF) followed by kTail.
    const StringBuffer& Text() const { return text_; }

    // Fills list as a stop list: every token of the text as a word (digits
    // and short tokens kept), then the English plural of every word then in
    // the list, then kExtra. Sets SkipDigits off and MinLength 0 on list.
    void AddTo(WordList& list) const;

    // The English plural of a lower-case word, by its last bytes: "fe" or
    // "f" become "ves"; "ch", "sh", "x", "z" take "es"; "s" stays; "y" after
    // a consonant letter becomes "ies"; anything else takes "s".
    static std::string PluralOf(std::string_view word);

private:
    void Unpack(LogBase& log);

    StringBuffer text_;
    bool unpacked_ = false;
};

} // namespace plentor

#include "services/StopWords.h"

#include "base/LogBase.h"
#include "base/LogNull.h"
#include "services/StopWordsData.h"
#include "services/WordList.h"
#include "text/CompressedContainer.h"
#include "text/DataBuffer.h"

namespace plentor {

namespace {

bool EndsWith(std::string_view word, std::string_view ending)
{
    return word.size() >= ending.size() && word.substr(word.size() - ending.size()) == ending;
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsVowel(char c)
{
    return std::string_view("aeiou").find(c) != std::string_view::npos;
}

} // namespace

StopWords::StopWords()
{
    LogNull quiet;
    Unpack(quiet);
}

StopWords::StopWords(LogBase& log)
{
    Unpack(log);
}

void StopWords::Unpack(LogBase& log)
{
    DataBuffer unpacked;
    unpacked_ = CompressedContainer::Unpack(StopWordsData::kBase64, StopWordsData::kBase64Length, unpacked, log);
    if (unpacked_)
        text_.AppendDataBuffer(unpacked);
    else
        log.LogError("Failed to unpack the stop-word list");
    text_.Append(kTail);
}

std::string StopWords::PluralOf(std::string_view word)
{
    std::string plural(word);
    if (EndsWith(word, "fe")) {
        plural.resize(plural.size() - 2);
        plural += "ves";
    } else if (EndsWith(word, "f")) {
        plural.pop_back();
        plural += "ves";
    } else if (EndsWith(word, "ch") || EndsWith(word, "sh") || EndsWith(word, "x") || EndsWith(word, "z")) {
        plural += "es";
    } else if (EndsWith(word, "s")) {
        // already a plural form
    } else if (word.size() >= 2 && word.back() == 'y' && IsAsciiLetter(word[word.size() - 2]) &&
               !IsVowel(word[word.size() - 2])) {
        plural.pop_back();
        plural += "ies";
    } else {
        plural += "s";
    }
    return plural;
}

void StopWords::AddTo(WordList& list) const
{
    list.SetSkipDigits(false);
    list.SetMinLength(0);
    list.AddWords(std::string_view(text_.GetString(), static_cast<size_t>(text_.GetLength())), nullptr, 1);

    std::string plurals;
    int count = 0;
    for (int i = 0; i < list.Count(); ++i) {
        plurals += PluralOf(list.GetWord(i, count));
        plurals += ' ';
    }
    list.AddWords(plurals, nullptr, 1);
    list.AddWords(kExtra, nullptr, 1);
}

} // namespace plentor

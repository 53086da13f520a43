// Tag suggestion: page text, meta tags and the stop list, the cleaning of
// text in the working code page and the word counter.

#include "FuzzInput.h"

#include "base/LogNull.h"
#include "services/KeywordExtractor.h"
#include "services/StopWords.h"
#include "services/WordList.h"
#include "text/StringBuffer.h"

#include <iterator>
#include <string>

using namespace plentor;
using namespace plentor::fuzz;

namespace {

constexpr const char* kCharsets[] = {"utf-8", "iso-8859-1", "iso-8859-5", "iso-8859-7", "windows-1251",
                                     "windows-1252", "koi8-r", "shift_jis", "bogus", nullptr};

const WordList& StopList()
{
    static const WordList list = [] {
        WordList l;
        StopWords().AddTo(l);
        return l;
    }();
    return list;
}

// At most maxTags words separated by single spaces.
void RequireTags(const StringBuffer& tags, int maxTags)
{
    const std::string text = tags.ToStdString();
    if (text.empty())
        return;
    Require(text.front() != ' ' && text.back() != ' ' && text.find("  ") == std::string::npos);
    int words = 1;
    for (char c : text)
        words += c == ' ';
    Require(words <= maxTags);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t mode = in.Byte();
    const int maxTags = 1 + in.Pick(20);
    const char* charset = kCharsets[in.Pick(std::size(kCharsets))];
    const std::string_view text = in.Rest();
    LogNull log;
    StringBuffer tags;
    switch (mode % 3) {
    case 0:
        KeywordExtractor::SuggestTagsFromHtml(text, StopList(), maxTags, tags, log);
        RequireTags(tags, maxTags);
        break;
    case 1:
        KeywordExtractor::ExtractKeywords(charset, text, StopList(), maxTags, tags);
        RequireTags(tags, maxTags);
        break;
    default: {
        std::string cleaned(text);
        KeywordExtractor::CleanText(cleaned, KeywordExtractor::ChooseCodePage(charset, text));
        WordList words;
        words.SetSkipDigits(mode & 8);
        words.SetMinLength(mode >> 4);
        words.AddWords(cleaned, &StopList(), 1);
        words.AddWords(text, nullptr, 2);
        words.TopWords(tags, maxTags);
        int count = 0;
        for (int i = 0; i < words.Count(); ++i)
            Require(words.Contains(words.GetWord(i, count)));
        break;
    }
    }
    return 0;
}

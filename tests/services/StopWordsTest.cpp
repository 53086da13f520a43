#include "services/StopWords.h"

#include "log/Logger.h"
#include "services/WordList.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace plentor {
namespace {

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const WordList& BuiltInStopList()
{
    static const WordList list = [] {
        WordList l;
        StopWords().AddTo(l);
        return l;
    }();
    return list;
}

TEST(StopWordsTest, UnpacksToTheTrackedListPlusTheFixedTail)
{
    const std::string listFile = ReadBytes(std::string(PLENTOR_SOURCE_DIR) + "/tools/stopwords/stopwords.txt");
    ASSERT_FALSE(listFile.empty());
    Logger log;
    StopWords words(log);
    ASSERT_TRUE(words.Unpacked());
    EXPECT_EQ(words.Text().ToStdString(), listFile + " will well llc copyright inc reserved rights down");
}

TEST(StopWordsTest, StopListHoldsEntriesTheirPluralsAndTheExtras)
{
    struct Case {
        const char* word;
        bool expected;
    } cases[] = {
        // entries of every kind
        {"the", true}, {"because", true}, {"yourselves", true}, {"cheapest", true}, {"award-winning", true},
        {"homepage", true}, {".com", true}, {"nbsp", true}, {"thurs", true}, {"p.m", true}, {"1985", true},
        {"000+", true}, {"votre", true}, {"und", true}, {"keyword10", true}, {"untitled", true}, {"br", true},
        {"x", true}, {"~", true}, {"\xBB", true}, {"\xE0", true}, {"\x96", true},
        // a token of marks only normalises to the empty word, which "-" put there
        {"***", true}, {"", true},
        // the fixed tail and the extras
        {"llc", true}, {"reserved", true}, {"starting", true}, {"previous", true},
        // plurals: ves, es, ies, s; a word ending in s is its own plural
        {"links", true}, {"keywords", true}, {"directories", true}, {"indexes", true}, {"yesterdays", true},
        {"copyrights", true}, {"llcs", true}, {"wells", true},
        // case and quoting do not matter
        {"The", true}, {"\"HOMEPAGE\"", true},
        // the extras get no plural; ordinary words are not stop words
        {"startings", false}, {"python", false}, {"garden", false}, {"recipes", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuiltInStopList().Contains(c.word), c.expected) << c.word;
}

TEST(StopWordsTest, AddToKeepsDigitsAndShortTokensWhateverTheListsSettings)
{
    WordList list;
    list.SetSkipDigits(true);
    list.SetMinLength(5);
    StopWords().AddTo(list);
    EXPECT_FALSE(list.SkipDigits());
    EXPECT_EQ(list.MinLength(), 0);
    EXPECT_TRUE(list.Contains("1999"));
    EXPECT_TRUE(list.Contains("a"));
}

TEST(StopWordsTest, PluralOf)
{
    struct Case {
        const char* word;
        const char* plural;
    } cases[] = {
        {"knife", "knives"}, {"leaf", "leaves"}, {"church", "churches"}, {"wish", "wishes"}, {"box", "boxes"},
        {"quiz", "quizes"},  {"bus", "bus"},     {"city", "cities"},     {"day", "days"},    {"key", "keys"},
        {"y", "ys"},         {"1y", "1ys"},      {"-y", "-ys"},          {"word", "words"},  {"", "s"},
        {"\xBB", "\xBBs"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StopWords::PluralOf(c.word), c.plural) << c.word;
}

} // namespace
} // namespace plentor

#include "services/WordList.h"

#include "services/ParseEngine.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace plentor {
namespace {

// Hash order of the fruit words used below, lowest first:
// mango fig pear peach quince grape apple cherry berry date plum kiwi lemon olive elder.

using Counts = std::map<std::string, int>;

Counts CountsOf(const WordList& list)
{
    Counts counts;
    for (int i = 0; i < list.Count(); ++i) {
        int count = 0;
        const std::string_view word = list.GetWord(i, count);
        counts[std::string(word)] = count;
    }
    return counts;
}

std::vector<std::string> WordsInOrder(const WordList& list)
{
    std::vector<std::string> words;
    int count = 0;
    for (int i = 0; i < list.Count(); ++i)
        words.emplace_back(list.GetWord(i, count));
    return words;
}

std::string Top(const WordList& list, int k)
{
    StringBuffer out("left over");
    list.TopWords(out, k);
    return out.ToStdString();
}

TEST(WordListTest, HashIsCrc32CutTo28Bits)
{
    EXPECT_EQ(WordList::HashOf("hello"), 0x3610A686u & WordList::kHashMask);   // CRC-32 of "hello"
    EXPECT_EQ(WordList::HashOf(""), 0u);
}

TEST(WordListTest, Normalise)
{
    struct Case {
        const char* word;
        int codePage;
        std::string expected;
    } cases[] = {
        {"  Hello\t\r\n", 0, "hello"},
        {"\"quoted\"", 0, "quoted"},
        {"'*-/@core@/-*'", 0, "core"},
        {"a-b/c", 0, "a-b/c"},                     // only the ends are stripped
        {"end.", 0, "end."},                       // dots are cut by the tokenizer, not here
        {"***", 0, ""},
        {"- spaced", 0, " spaced"},                // white space is trimmed before the marks only
        {"\xC0\xD7\xDF", 0, "\xE0\xF7\xFF"},       // the plain byte rule
        {"\xC0\xD7\xDF", 28591, "\xE0\xD7\xDF"},   // Latin-1 keeps the sign and the sharp s
        {"\xB0\xC0\xD0", 28595, "\xD0\xE0\xD0"},   // Cyrillic: all capitals lowered, small letters kept
        {"\xC0\xDF", 1251, "\xE0\xFF"},
        {"\xC1\xDC", 28597, "\xE1\xDC"},           // Greek alpha lowered, accented alpha kept
    };
    for (const Case& c : cases)
        EXPECT_EQ(WordList::Normalise(c.word, c.codePage), c.expected) << c.word << " in " << c.codePage;
}

TEST(WordListTest, CountsTokensByTheirRules)
{
    struct Case {
        const char* text;
        bool skipDigits;
        int minLength;
        Counts expected;
    } cases[] = {
        {"one two  three\tfour\r\nfive", false, 0, {{"one", 1}, {"two", 1}, {"three", 1}, {"four", 1}, {"five", 1}}},
        {"  \t\r\n ", false, 0, {}},
        {"a ab abc abcd", false, 3, {{"abc", 1}, {"abcd", 1}}},
        {"ab. ab", false, 3, {{"ab", 1}}},                           // the length is taken before the dot goes
        {"me@example.com @ mail", false, 0, {{"mail", 1}}},
        {"end... end. end", false, 0, {{"end", 3}}},
        {"abc1 a2c abc", true, 0, {{"abc", 1}}},
        {"abc1 a2c abc", false, 0, {{"abc1", 1}, {"a2c", 1}, {"abc", 1}}},
        {"x\xBD\xBE y", true, 0, {{"x\xBD\xBE", 1}, {"y", 1}}},      // only ASCII digits count
        {"Word WORD \"word\" word.", false, 0, {{"word", 4}}},
        {"*** - //", false, 0, {{"", 3}}},
        {"...", false, 0, {{"", 1}}},
    };
    for (const Case& c : cases) {
        WordList list;
        list.SetSkipDigits(c.skipDigits);
        list.SetMinLength(c.minLength);
        list.AddWords(c.text, nullptr, 1);
        EXPECT_EQ(CountsOf(list), c.expected) << c.text;
    }
}

TEST(WordListTest, NullAndEmptyTextDoNothing)
{
    WordList list;
    list.AddWords(static_cast<const char*>(nullptr), nullptr, 1);
    list.AddWords("", nullptr, 1);
    list.AddWords(std::string_view(), nullptr, 1);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(Top(list, 10), "");
}

TEST(WordListTest, InitialCountStartsNewWordsAndLaterCallsAddOne)
{
    WordList list;
    list.AddWords("kiwi kiwi", nullptr, 5);
    list.AddWords("kiwi lemon", nullptr, 1);
    EXPECT_EQ(CountsOf(list), (Counts{{"kiwi", 7}, {"lemon", 1}}));
}

TEST(WordListTest, StopListDropsTokensInAnyCase)
{
    WordList stop;
    stop.AddWords("the and -", nullptr, 1);
    WordList list;
    list.AddWords("The the. THE and cat \"and\" ***", &stop, 1);
    EXPECT_EQ(CountsOf(list), (Counts{{"cat", 1}}));
}

TEST(WordListTest, ContainsNormalisesTheWord)
{
    WordList list;
    list.AddWords("hello", nullptr, 1);
    struct Case {
        const char* word;
        bool expected;
    } cases[] = {
        {"hello", true}, {"HELLO", true}, {"\"Hello\"", true}, {" hello\r\n", true},
        {"hell", false}, {"hello.", false}, {"", false},     {nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(list.Contains(c.word), c.expected) << (c.word ? c.word : "(null)");

    list.AddWords("-", nullptr, 1);
    EXPECT_TRUE(list.Contains("***"));
    EXPECT_TRUE(list.Contains(nullptr));
}

TEST(WordListTest, WordsStayInHashOrderAcrossMerges)
{
    WordList list;
    list.AddWords("elder apple", nullptr, 1);
    list.AddWords("mango olive", nullptr, 1);
    list.AddWords("fig apple date", nullptr, 1);
    EXPECT_EQ(WordsInOrder(list), (std::vector<std::string>{"mango", "fig", "apple", "date", "olive", "elder"}));
    int count = 0;
    EXPECT_EQ(list.GetWord(2, count), "apple");
    EXPECT_EQ(count, 2);
}

TEST(WordListTest, GetWordOutOfRange)
{
    WordList list;
    list.AddWords("fig", nullptr, 3);
    for (int index : {-1, 1, 1000}) {
        int count = 99;
        EXPECT_EQ(list.GetWord(index, count), "") << index;
        EXPECT_EQ(count, 0) << index;
    }
}

TEST(WordListTest, WordsWithTheSameHashAreKeptApartInAFixedOrder)
{
    // "gquay" and "mgdxbw" share the 28-bit hash 0x9B6A27C.
    ASSERT_EQ(WordList::HashOf("gquay"), WordList::HashOf("mgdxbw"));
    for (const char* text : {"gquay mgdxbw mgdxbw", "mgdxbw gquay mgdxbw"}) {
        WordList list;
        list.AddWords(text, nullptr, 1);
        EXPECT_EQ(CountsOf(list), (Counts{{"gquay", 1}, {"mgdxbw", 2}})) << text;
        EXPECT_EQ(WordsInOrder(list), (std::vector<std::string>{"gquay", "mgdxbw"})) << text;
        EXPECT_TRUE(list.Contains("gquay"));
        EXPECT_TRUE(list.Contains("mgdxbw"));
    }
    // One of them merged earlier, the other pending: still two words.
    WordList list;
    list.AddWords("mgdxbw", nullptr, 1);
    list.AddWords("gquay mgdxbw", nullptr, 1);
    EXPECT_EQ(CountsOf(list), (Counts{{"gquay", 1}, {"mgdxbw", 2}}));
    EXPECT_EQ(WordsInOrder(list), (std::vector<std::string>{"gquay", "mgdxbw"}));
}

TEST(WordListTest, TopWordsSelection)
{
    struct Case {
        const char* what;
        const char* text;
        int k;
        const char* expected;
    } cases[] = {
        {"no more words than places: all, in hash order", "plum plum plum fig apple", 3, "fig apple plum"},
        {"threshold 2: words seen twice, topped up with words seen once",
         "elder elder elder olive olive date date mango fig pear", 4, "date olive elder mango"},
        {"the first pass stops at k", "elder elder olive olive date date mango", 2, "date olive"},
        {"all seen once: the earliest in hash order", "elder quince peach pear fig mango", 2, "mango fig"},
        {"threshold 3: only words seen three times or more", "elder elder elder apple apple apple fig fig fig "
                                                             "mango mango pear pear",
         2, "fig apple"},
        {"a word seen more often loses its place to earlier words",
         "elder elder elder elder elder apple apple apple apple fig fig fig fig mango mango mango pear", 2,
         "fig apple"},
        {"no places", "fig apple", 0, ""},
        {"negative places", "fig apple", -3, ""},
    };
    for (const Case& c : cases) {
        WordList list;
        list.AddWords(c.text, nullptr, 1);
        EXPECT_EQ(Top(list, c.k), c.expected) << c.what;
    }
}

TEST(WordListTest, TopWordsNeverListsTheEmptyWord)
{
    WordList list;
    list.AddWords("*** *** *** fig", nullptr, 1);
    EXPECT_EQ(Top(list, 10), "fig");
    EXPECT_EQ(Top(list, 1), "fig");
}

TEST(WordListTest, SameWordsInAnyOrderGiveTheSameTags)
{
    const std::vector<std::string> texts = {
        "elder apple fig apple kiwi lemon olive mango fig plum date",
        "date plum fig mango olive lemon kiwi apple fig apple elder",
    };
    std::vector<std::string> tags;
    for (const std::string& text : texts) {
        WordList list;
        list.AddWords(text, nullptr, 1);
        tags.push_back(Top(list, 4));
    }
    EXPECT_EQ(tags[0], "fig apple mango date");
    EXPECT_EQ(tags[1], tags[0]);
}

TEST(WordListTest, LowerCaseByCodePage)
{
    struct Case {
        int codePage;
        std::string in;
        std::string expected;
    } cases[] = {
        {0, "ABC xyz \xC0\xD7\xDF \xE0\x80\xBF", "abc xyz \xE0\xF7\xFF \xE0\x80\xBF"},
        {1252, "\xC9T\xC9 \xD7 \xDF", "\xE9t\xE9 \xD7 \xDF"},
        {28595, "\xCF\xD0\xDF\xB0 \xA1\xAD\xAE", "\xEF\xD0\xDF\xD0 \xF1\xAD\xFE"},
        {1251, "\xC0\xDF", "\xE0\xFF"},
        {99999, "\xDF", "\xFF"},   // an unknown code page follows the plain rule
    };
    for (const Case& c : cases) {
        std::string text = c.in;
        WordList::LowerCase(text.data(), text.size(), c.codePage);
        EXPECT_EQ(text, c.expected) << c.codePage;
    }
}

// The tokenizer the list reads its text with.
TEST(WordListTest, ParseEngineReadsTokensAndFindsText)
{
    constexpr ParseEngine::ByteSet kBlanks(" \t");
    ParseEngine engine(std::string_view("  one\ttwo \0three  ", 18));
    std::vector<std::string> tokens;
    for (engine.Skip(kBlanks); !engine.AtEnd(); engine.Skip(kBlanks))
        tokens.emplace_back(engine.ReadUntil(kBlanks));
    EXPECT_EQ(tokens, (std::vector<std::string>{"one", "two", std::string("\0three", 6)}));

    struct Case {
        const char* needle;
        bool found;
        size_t position;
    } cases[] = {
        {"TWO", true, 6}, {"wO", true, 7}, {"", false, 0}, {"three  and more", false, 0}, {"a", false, 0},
    };
    for (const Case& c : cases) {
        engine.Rewind();
        EXPECT_EQ(engine.SeekNoCase(c.needle), c.found) << c.needle;
        EXPECT_EQ(engine.Position(), c.position) << c.needle;
    }
    engine.Rewind();
    ASSERT_TRUE(engine.SeekNoCase("O"));
    EXPECT_EQ(engine.Position(), 2u);
    EXPECT_EQ(engine.ReadUntil(kBlanks), "one");
    EXPECT_TRUE(engine.SeekNoCase("o"));   // from the cursor on
    EXPECT_EQ(engine.Position(), 8u);
}

} // namespace
} // namespace plentor

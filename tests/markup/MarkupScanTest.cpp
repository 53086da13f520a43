#include "markup/MarkupScan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace plentor {
namespace {

// The plain forward scan the one-pass version must agree with.
size_t NaiveTagEnd(std::string_view text, size_t start, MarkupScan::QuoteRule rule)
{
    char open = 0;
    bool justClosed = false;
    for (size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        if (open) {
            if (c == open) {
                open = 0;
                justClosed = true;
            }
            continue;
        }
        if (c == '>')
            return i;
        if ((c == '"' || c == '\'') && !(justClosed && rule == MarkupScan::QuoteRule::NotAfterClose))
            open = c;
        justClosed = false;
    }
    const size_t gt = text.find('>', start);
    return gt == std::string_view::npos ? text.size() : gt;
}

// FindTagEnds for every "<" of text, under both rules, against NaiveTagEnd.
void ExpectTagEndsOfEveryLessThan(const std::string& text)
{
    std::vector<size_t> starts;
    MarkupScan::FindAllNoCase(text, "<", starts);
    for (auto rule : {MarkupScan::QuoteRule::Always, MarkupScan::QuoteRule::NotAfterClose}) {
        std::vector<size_t> ends;
        MarkupScan::FindTagEnds(text, starts, rule, ends);
        ASSERT_EQ(ends.size(), starts.size());
        for (size_t k = 0; k < starts.size(); ++k)
            ASSERT_EQ(ends[k], NaiveTagEnd(text, starts[k], rule)) << text.substr(0, 80) << " at " << starts[k];
    }
}

TEST(MarkupScanTest, TagEndsMatchForwardScanOnRandomText)
{
    std::mt19937 random(7);
    const char alphabet[] = {'<', '>', '"', '\'', 'a', ' '};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i)
            text.push_back(alphabet[random() % sizeof alphabet]);
        ExpectTagEndsOfEveryLessThan(text);
        if (testing::Test::HasFailure())
            return;
    }
}

// Tags that all end at one far ">" (and a text ending inside quotes) are
// more than a scan per tag can afford: the answers must stay the same.
TEST(MarkupScanTest, TagEndsOfManyOverlappingTags)
{
    std::string nested;
    for (int i = 0; i < 3000; ++i)
        nested += "<a ";
    nested += ">";
    const std::string unending = "<a x=\"1\"> <b y='2'> <c z=\"never closed > ";
    for (const std::string& text : {nested, unending, unending + nested, nested + unending})
        ExpectTagEndsOfEveryLessThan(text);
}

TEST(MarkupScanTest, FindNoCase)
{
    EXPECT_EQ(MarkupScan::FindNoCase("xx<TiTlE>", "<title>"), 2u);
    EXPECT_EQ(MarkupScan::FindNoCase("<title><title>", "<TITLE>", 1), 7u);
    EXPECT_EQ(MarkupScan::FindNoCase("<titl", "<title"), MarkupScan::npos);
    EXPECT_EQ(MarkupScan::FindNoCase("abc", ""), MarkupScan::npos);
    EXPECT_EQ(MarkupScan::FindNoCase("abc", "c", 5), MarkupScan::npos);
    EXPECT_EQ(MarkupScan::FindNoCase(std::string("a\0B", 3), "b"), 2u);
}

} // namespace
} // namespace plentor

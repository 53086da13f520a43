#include "markup/HtmlTagTable.h"

#include <gtest/gtest.h>

namespace plentor {
namespace {

using K = HtmlTagKind;

// The kind of a name comes from its first letters, tried in a fixed order.
TEST(HtmlTagTableTest, KindsComeFromTheFirstLetters)
{
    struct Case {
        const char* name;
        HtmlTagKind kind;
    };
    const Case cases[] = {
        // "exactly" names and the longer names that share their letter
        {"a", K::A}, {"abbr", K::Unknown}, {"b", K::B}, {"bdo", K::Unknown}, {"i", K::I}, {"in", K::Unknown},
        {"p", K::P}, {"path", K::Unknown}, {"s", K::S}, {"samp", K::Unknown}, {"u", K::U}, {"ul", K::Ul},
        // a rule with an exception, and the rule that takes the exception
        {"base", K::Base}, {"basefont", K::Basefont}, {"col", K::Col}, {"colgroup", K::Colgroup},
        {"em", K::Em}, {"emphasis", K::Em}, {"embed", K::Embed}, {"frame", K::Frame}, {"frameset", K::Frameset},
        {"li", K::Li}, {"link", K::Link}, {"th", K::Th}, {"thead", K::Thead},
        // prefixes take longer names
        {"spacer", K::Span}, {"span", K::Span}, {"header", K::Head}, {"details", K::Del}, {"keygen", K::Kbd},
        {"track", K::Tr}, {"mark", K::Marquee}, {"menuitem", K::Menu}, {"wbr", K::Wbr}, {"h1", K::H1},
        {"h6", K::H6}, {"h7", K::Unknown}, {"iframe", K::Iframe}, {"isindex", K::Isindex}, {"ins", K::Ins},
        {"optgroup", K::Optgroup}, {"option", K::Option}, {"strong", K::Strong}, {"strike", K::Strike},
        {"style", K::Style}, {"script", K::Script}, {"select", K::Select}, {"sub", K::Sub}, {"sup", K::Sup},
        {"textarea", K::Textarea}, {"tfoot", K::Tfoot}, {"title", K::Title}, {"tt", K::Tt},
        // no rule
        {"tbody", K::Unknown}, {"section", K::Unknown}, {"nav", K::Unknown}, {"", K::Unknown},
        {"?xml", K::Unknown}, {"1a", K::Unknown}, {"zzz", K::Unknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HtmlTagTable::Lookup(c.name), c.kind) << c.name;
}

TEST(HtmlTagTableTest, ClassesAndFlags)
{
    for (HtmlTagKind k : {K::B, K::I, K::U, K::S, K::Em, K::Strong, K::Font, K::Big, K::Small, K::Tt, K::Strike,
                          K::Sub, K::Sup, K::Center, K::Br})
        EXPECT_TRUE(HtmlTagTable::IsDropped(k)) << HtmlTagTable::Info(k).name;
    for (HtmlTagKind k : {K::Address, K::Blockquote, K::Center, K::Div, K::P, K::H1, K::H6, K::Pre, K::Form})
        EXPECT_TRUE(HtmlTagTable::Has(k, kHtmlBlock)) << HtmlTagTable::Info(k).name;
    for (HtmlTagKind k : {K::Br, K::Base, K::Center, K::Font, K::Img, K::Input})
        EXPECT_TRUE(HtmlTagTable::Has(k, kHtmlUntracked)) << HtmlTagTable::Info(k).name;
    for (HtmlTagKind k : {K::Body, K::Table, K::Tr, K::Td, K::Html})
        EXPECT_TRUE(HtmlTagTable::Has(k, kHtmlClosesByName)) << HtmlTagTable::Info(k).name;
    EXPECT_FALSE(HtmlTagTable::IsContainer(K::Unknown));
    EXPECT_FALSE(HtmlTagTable::IsContainer(K::Span));
    EXPECT_TRUE(HtmlTagTable::IsContainer(K::Script));
}

} // namespace
} // namespace plentor

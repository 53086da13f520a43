// The page text read straight from the converter must be what the page's
// XML document gives: the reference for every case is the same page through
// ClsHtmlToXml, ClsXml::LoadXml and GetTextOfTag.
#include "markup/HtmlPageText.h"

#include "base/LogNull.h"
#include "markup/ClsHtmlToXml.h"
#include "markup/ClsXml.h"
#include "text/StringBuffer.h"

#include "support/CaseName.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace plentor {
namespace {

constexpr const char* kExclude = "script|style";

std::string ThroughXml(std::string_view page)
{
    ClsHtmlToXml converter;
    converter.SetHtml(page);
    StringBuffer xml;
    EXPECT_TRUE(converter.ToXml(xml));
    ClsXml document;
    EXPECT_TRUE(document.LoadXml(xml));
    StringBuffer text;
    document.GetTextOfTag("text", text, kExclude);
    return text.ToStdString();
}

std::string Collected(std::string_view page)
{
    StringBuffer text;
    LogNull log;
    EXPECT_TRUE(HtmlPageText::Collect(page, kExclude, text, log));
    return text.ToStdString();
}

struct Case {
    const char* name;
    const char* page;
    const char* text;
};

class HtmlPageTextCases : public testing::TestWithParam<Case> {};

TEST_P(HtmlPageTextCases, MatchesTheXmlDocument)
{
    const Case& c = GetParam();
    EXPECT_EQ(Collected(c.page), c.text);
    EXPECT_EQ(ThroughXml(c.page), c.text);
}

const Case kCases[] = {
    {"Empty", "", ""},
    {"NoMarkup", "just text", "just text"},
    {"TextBeforeTheFirstMarkupIsNoElements", "a<b>b</b>c", "b c"},
    // Breadth first: the top level's text before any nested text.
    {"BreadthFirst", "<div><p>deep</p></div>top<ul><li>one<li>two</ul>", "top deep one two"},
    {"ScriptAndStyleLeftOut", "<p>a<script>var x;</script>b<style>p{}</style><div><script>c</script>d</div>",
     "a b d"},
    // A dt left open keeps its text until the page ends; the table's text
    // comes after it all the same, as in the document.
    {"ElementLeftOpenKeepsItsPlace", "<dt> world </style><table>\"<body></select>&#X41;", "world \" &#X41;"},
    {"OpenElementsAtTheEnd", "<div><div><div>deepest<p>para", "deepest para"},
    // "<a>" ends a link, so "after" sits one level up.
    {"BareAnchorEndsALink", "<p><a href=x>link<a>after", "after link"},
    {"ReferencesAndQuotes", "<p>&amp; &lt;b&gt; \"q\" 'a' &nbsp;x &bogus; &#65; a&b</p>",
     "&amp; &lt;b&gt; \"q\" 'a'  x &bogus; &#65; a&b"},
    {"CdataKeepsItsEndMarkerAndSpaces", "<pre> a]]>b </pre>", "a]]>b "},
    {"RunsJoinAnElementNamedText", "<p>a<text>b</text>c", "a b c"},
    {"TableCellsGetARow", "<table><td>cell<td>next</table>", "cell next"},
    {"CommentsAndDoctypeAreNotText", "<!DOCTYPE html><!-- note --><p>a</p><!x>", "a"},
};

INSTANTIATE_TEST_SUITE_P(Cases, HtmlPageTextCases, testing::ValuesIn(kCases), testsupport::ByCaseName());

// Each part is handed over as soon as it is finished; the text of pages with
// many levels, long sibling lists and elements closed out of order still
// comes out in the document's breadth-first order.
TEST(HtmlPageTextTest, LargePagesMatchTheXmlDocument)
{
    std::string nested;
    for (int i = 0; i < 20000; ++i)
        nested += "<div>level" + std::to_string(i % 7) + (i % 3 == 0 ? "<p>para" : "");
    std::string soup;
    const char* const kParts[] = {"<td>", "</div>", "<li>", "word ", "<table>", "</p>", "<dd>", "x&amp;y ",
                                  "<script>s</script>", "<div>", "</td>", "<dl>", "</ul>", "<ul>", "<a>"};
    for (unsigned i = 0, seed = 7; i < 30000; ++i) {
        seed = seed * 1103515245u + 12345u;
        soup += kParts[(seed >> 16) % std::size(kParts)];
    }
    for (const std::string& page : {nested, soup}) {
        const std::string expected = ThroughXml(page);
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(Collected(page), expected);
    }
}

TEST(HtmlPageTextTest, AppendsToWhatTheBufferHolds)
{
    StringBuffer text("before:");
    LogNull log;
    ASSERT_TRUE(HtmlPageText::Collect("<p>one</p><p>two</p>", kExclude, text, log));
    EXPECT_EQ(text.ToStdString(), "before:one two");
}

} // namespace
} // namespace plentor

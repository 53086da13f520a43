#include "markup/HtmlHelp.h"

#include "log/Logger.h"
#include "text/StringBuffer.h"

#include "support/CaseName.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace plentor {
namespace {

struct TitleCase {
    const char* html;
    const char* title;
};

TEST(HtmlHelpTest, GetTitle)
{
    const TitleCase cases[] = {
        {"<html><head><title>Hello</title></head>", "Hello"},
        {"<TITLE>Upper</Title>", "Upper"},
        {"<title lang=\"en\">With attribute</title>", "With attribute"},
        {"<title> a &amp; b\n</title>", " a &amp; b\n"},
        {"<title>No end tag", ""},
        {"<title lang=en", ""},
        {"<p>no title</p>", ""},
    };
    for (const TitleCase& c : cases) {
        StringBuffer out("kept:");
        HtmlHelp::GetTitle(c.html, out);
        EXPECT_EQ(out.ToStdString(), std::string("kept:") + c.title) << c.html;
    }
}

struct MetaCase {
    const char* html;
    const char* name;
    const char* content;
};

TEST(HtmlHelpTest, GetMetaContent)
{
    const MetaCase cases[] = {
        {"<meta name=\"description\" content=\"About us\">", "description", "About us"},
        {"<META NAME=\"Keywords\" CONTENT=\"k1, k2\">", "keywords", "k1, k2"},
        {"<meta name=description content=Bare>", "description", "Bare"},
        {"<meta http-equiv=\"Refresh\" content=\"5\">", "refresh", "5"},
        {"<meta name=\"description\" content=\"\"><meta name=\"description\" content=\"second\">", "description",
         "second"},
        {"<meta name=\"description\" content=\"a > b\">", "description", "a > b"},
        {"<meta\r\nname='description'\r\ncontent='multi\r\nline'>", "description", "multi line"},
        {"<meta name=\"keywords\" content=\"k\">", "description", ""},
        {"<p>no meta</p>", "description", ""},
    };
    for (const MetaCase& c : cases) {
        StringBuffer out("stale");
        HtmlHelp::GetMetaContent(c.html, c.name, out);
        EXPECT_EQ(out.ToStdString(), c.content) << c.html;
    }
}

TEST(HtmlHelpTest, GetMetaCharset)
{
    const TitleCase cases[] = {
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">", "UTF-8"},
        {"<META HTTP-EQUIV=content-type CONTENT='text/html;CHARSET=windows-1252;x'>", "windows-1252"},
        {"<meta http-equiv=\"content-type\" content=\"text/html; charset=koi8-r extra\">", "koi8-r"},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html\" charset=\"iso-8859-2\">", "iso-8859-2"},
        // The first content-type tag decides, even without a charset.
        {"<meta http-equiv=\"Content-Type\" content=\"text/html\"><meta http-equiv=\"Content-Type\" "
         "content=\"text/html; charset=big5\">",
         ""},
        {"<meta http-equiv=\"Content-Type\" content=\"\"><meta http-equiv=\"Content-Type\" "
         "content=\"text/html; charset=big5\">",
         "big5"},
    };
    for (const TitleCase& c : cases) {
        StringBuffer out("stale");
        HtmlHelp::GetMetaCharset(c.html, out);
        EXPECT_EQ(out.ToStdString(), c.title) << c.html;
    }
    for (const char* html : {"<meta charset=\"utf-8\">", "<p>none</p>", "<meta name=\"x\" content=\"charset=y\">"}) {
        StringBuffer out("untouched");
        HtmlHelp::GetMetaCharset(html, out);
        EXPECT_EQ(out.ToStdString(), "untouched") << html;
    }
}

TEST(HtmlHelpTest, GetMetaCharsetAttribute)
{
    const TitleCase cases[] = {
        {"<meta charset=\"utf-8\">", "utf-8"},
        {"<META CHARSET=windows-1251>", "windows-1251"},
        {"<meta name=\"viewport\" content=\"width=device-width\"><meta charset='koi8-r' />", "koi8-r"},
        // The content of an http-equiv tag is not the attribute.
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">", "untouched"},
        {"<meta content=\"x charset=y\">", "untouched"},
        {"<p charset=\"utf-8\">", "untouched"},
    };
    for (const TitleCase& c : cases) {
        StringBuffer out("untouched");
        HtmlHelp::GetMetaCharsetAttribute(c.html, out);
        EXPECT_EQ(out.ToStdString(), c.title) << c.html;
    }
}

TEST(HtmlHelpTest, GetAttribute)
{
    const MetaCase cases[] = {
        {"<a href=\"x\">", "href", "x"},
        {"<a HREF='y'>", "href", "y"},
        {"<a href=\" \\dir\\file \">", "href", "/dir/file"},
        {"<a data-href=\"z\">", "href", "z"},
        {"<a href=\"unterminated>", "href", ""},
        {"<a href=bare>", "href", ""},
        {"<a title='t' href=\"d\">", "href", "d"},
    };
    for (const MetaCase& c : cases) {
        StringBuffer out("stale");
        HtmlHelp::GetAttribute(c.html, c.name, out);
        EXPECT_EQ(out.ToStdString(), c.content) << c.html;
    }
}

struct CleanCase {
    const char* name;
    std::string tag;
    std::string cleaned;
    const char* exit;
};

void PrintTo(const CleanCase& c, std::ostream* os)
{
    *os << c.name << ": " << testing::PrintToString(c.tag) << " cleaned to " << testing::PrintToString(c.cleaned)
        << " at " << c.exit;
}

class HtmlHelpCleanTag : public testing::TestWithParam<CleanCase> {};

TEST_P(HtmlHelpCleanTag, RewritesAndRecordsExit)
{
    Logger log;
    StringBuffer out("stale");
    HtmlHelp::CleanTag(GetParam().tag, out, &log);
    EXPECT_EQ(out.ToStdString(), GetParam().cleaned);
    StringBuffer xml;
    log.GetXml(xml);
    EXPECT_TRUE(xml.Contains("<cleaning_tag>")) << xml.GetString();
    EXPECT_TRUE(xml.Contains((std::string("<") + GetParam().exit + ">").c_str())) << xml.GetString();
}

std::string Repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

const CleanCase kCleanCases[] = {
    {"NoTag", "no tag here", "", "clean_tag_1"},
    {"NameOnly", "<br >", "<br>", "clean_tag_2"},
    {"TextBeforeTagDropped", "junk<b>", "<b>", "clean_tag_3"},
    {"SlashAfterNameKept", "<p/>", "<p/>", "clean_tag_3"},
    {"DigitEndsTag", "<a b 1>", "<a>", "clean_tag_3"},
    {"BareValueQuoted", "<a href=x>", "<a href=\"x\">", "clean_tag_4"},
    {"LineBreaksBecomeSpaces", "<a\r\nhref='x\ny'\r\n>", "<a href='x y'>", "clean_tag_4"},
    {"BareValueWithQuotesInApostrophes", "<a title=say\"hi\">", "<a title='say\"hi\"'>", "clean_tag_4"},
    {"EscapedQuotesDropped", "<a href=\\\"x\\\">", "<a href=\"x\">", "clean_tag_4"},
    {"SpacesAroundEqualsDropped", "<a  href = \"x\"  title=\"y\" >", "<a href=\"x\" title=\"y\">", "clean_tag_4"},
    {"SlashAfterValueKept", "<img src=\"a.png\" />", "<img src=\"a.png\" />", "clean_tag_6"},
    {"BareValueTakesSlash", "<img src=a.png/>", "<img src=\"a.png/\">", "clean_tag_4"},
    {"NamesWithoutValues", "<input checked disabled>", "<input checked disabled>", "clean_tag_6"},
    {"NameWithoutValueLast", "<a t=\"1\nx\" b>", "<a t=\"1 x\" b>", "clean_tag_6"},
    {"ValuedAttributesPastLimitCut", "<a" + Repeat(" x=1", 102) + ">", "<a" + Repeat(" x=\"1\"", 101),
     "clean_tag_5"},
    {"ValuedAttributesUpToLimitKept", "<a" + Repeat(" x=1", 101) + ">", "<a" + Repeat(" x=\"1\"", 101) + ">",
     "clean_tag_4"},
};

INSTANTIATE_TEST_SUITE_P(Cases, HtmlHelpCleanTag, testing::ValuesIn(kCleanCases), testsupport::ByCaseName());

TEST(HtmlHelpTest, CleanTagWithoutLog)
{
    StringBuffer out;
    HtmlHelp::CleanTag("<a href=x>", out);
    EXPECT_EQ(out.ToStdString(), "<a href=\"x\">");
}

} // namespace
} // namespace plentor

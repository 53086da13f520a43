#include "markup/Html.h"

#include "markup/HtmlHelp.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace plentor {
namespace {

std::vector<std::string> Strings(const std::vector<StringBuffer>& list)
{
    std::vector<std::string> out;
    for (const StringBuffer& s : list)
        out.push_back(s.ToStdString());
    return out;
}

TEST(HtmlTest, GetLinks)
{
    struct Case {
        const char* html;
        std::vector<std::string> links;
    } cases[] = {
        {"<a href=\"one\">1</a><A HREF=\"two\">2</A><a\nhref=\"skipped\">3</a><a name=\"x\">n</a><a href='four' >",
         {"one", "two", "four"}},
        {"<a href=bare>x</a><a href=\" \\up\\dir \">y</a>", {"bare", "/up/dir"}},
        // An anchor inside the text of another is part of that tag, not a second one.
        {"<a title=\"<a href=inner>\" href=outer>", {"outer"}},
        // An unbalanced quote ends the tag at its first ">", and the next anchor is still found.
        {"<a href=\"x>text</a> <a href=y>", {"x", "y"}},
        {"no anchors <abbr title=x>", {}},
    };
    for (const Case& c : cases) {
        Html html;
        html.SetHtml(c.html);
        std::vector<StringBuffer> links;
        html.GetLinks(links);
        EXPECT_EQ(Strings(links), c.links) << c.html;
    }
}

TEST(HtmlTest, GetTagsRawAndCleaned)
{
    Html html;
    html.SetHtml("<img src=a.png alt='x'><IMG src=\"b\"><Img src=c><img\tsrc=d>");
    std::vector<StringBuffer> raw;
    html.GetTags("img", Html::TagForm::Raw, raw);
    EXPECT_EQ(Strings(raw), (std::vector<std::string>{"<img src=a.png alt='x'", "<img src=\"b\"", "<Img src=c"}));
    std::vector<StringBuffer> cleaned;
    html.GetTags("img", Html::TagForm::Cleaned, cleaned);
    EXPECT_EQ(Strings(cleaned),
              (std::vector<std::string>{"<img src=\"a.png\" alt='x'>", "<img src=\"b\">", "<Img src=\"c\">"}));
}

TEST(HtmlTest, QuoteRightAfterClosingQuoteOpensNoStretch)
{
    Html html;
    html.SetHtml("<a href=\"x\"\"> mid\" tail>");
    std::vector<StringBuffer> raw;
    html.GetTags("a", Html::TagForm::Raw, raw);
    EXPECT_EQ(Strings(raw), (std::vector<std::string>{"<a href=\"x\"\""}));
}

// Random markup: every tag found starts with the wanted name, the tag texts
// never overlap, and the readers stay inside the text.
TEST(HtmlTest, RandomMarkupKeepsTagsWellFormed)
{
    const char* tokens[] = {"<a ", "<A ", "<meta ", "href=", "name=description ", "content=", "\"", "'", ">",
                            "\\", " ", "x", "\r\n", "<title>", "</title>", "=", "/"};
    std::mt19937 random(5);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i)
            text += tokens[random() % std::size(tokens)];
        Html html;
        html.SetHtml(text);
        std::vector<StringBuffer> raw;
        html.GetTags("a", Html::TagForm::Raw, raw);
        size_t total = 0;
        for (const StringBuffer& tag : raw) {
            ASSERT_TRUE(tag.BeginsWith("<a ")) << text;
            total += static_cast<size_t>(tag.GetLength());
        }
        ASSERT_LE(total, text.size()) << text;
        std::vector<StringBuffer> links;
        html.GetLinks(links);
        StringBuffer out;
        HtmlHelp::GetMetaContent(text, "description", out);
        HtmlHelp::GetMetaCharset(text, out);
        HtmlHelp::GetTitle(text, out);
        HtmlHelp::CleanTag(text, out);
        if (!out.IsEmpty()) {
            ASSERT_EQ(out.CharAt(0), '<') << text;
        }
    }
}

} // namespace
} // namespace plentor

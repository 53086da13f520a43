#include "markup/ClsHtmlToXml.h"

#include "base/LogNull.h"
#include "log/Logger.h"
#include "markup/AttributeSet.h"
#include "markup/ClsXml.h"
#include "markup/HtmlParse.h"
#include "markup/TreeInfo.h"
#include "markup/XmlParser.h"
#include "support/LogText.h"
#include "support/ScopedCodePage.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

namespace plentor {
namespace {

// A compact form of a tree as an XML reader sees it: a "text" element is
// its content in quotes (C"..." when it came from a CDATA section); any
// other element is its tag, [attributes], ="content" and (children).
void Render(const TreeNode& node, std::string& out)
{
    const std::string cdata = node.IsCdata() ? "C" : "";
    const std::string content = cdata + "\"" + std::string(node.Content()) + "\"";
    if (node.Tag() == "text" && !node.Attributes() && !node.FirstChild()) {
        out += content;
        return;
    }
    out += node.Tag();
    if (const AttributeSet* attributes = node.Attributes()) {
        out += "[";
        for (const AttributeSet::Entry& a : *attributes) {
            out += out.back() == '[' ? "" : " ";
            out += std::string(a.name) + "=" + std::string(a.value);
        }
        out += "]";
    }
    if (node.HasContent() || node.IsCdata())
        out += "=" + content;
    if (node.FirstChild()) {
        out += "(";
        for (const TreeNode* c = node.FirstChild(); c; c = c->NextSibling()) {
            Render(*c, out);
            out += c->NextSibling() ? " " : "";
        }
        out += ")";
    }
}

// The children of the XML's root, rendered; the XML must also load into a ClsXml.
std::string Children(const std::string& xml)
{
    ClsXml facade;
    EXPECT_TRUE(facade.LoadXml(xml.c_str())) << xml;
    LogNull quiet;
    TreeNodePtr doc = XmlParser::Parse(xml, {}, quiet);
    if (!doc)
        return "<no document>";
    EXPECT_EQ(doc->Tag(), "root");
    std::string out;
    for (const TreeNode* c = doc->FirstChild(); c; c = c->NextSibling()) {
        Render(*c, out);
        out += c->NextSibling() ? " " : "";
    }
    return out;
}

std::string ToXml(const std::string& html, ClsHtmlToXml::TextForm form = ClsHtmlToXml::TextForm::Utf8)
{
    ClsHtmlToXml converter;
    converter.SetHtml(html, form);
    StringBuffer out;
    EXPECT_TRUE(converter.ToXml(out)) << html;
    return out.ToStdString();
}

struct PageCase {
    const char* html;
    const char* tree;   // rendered children of "root"
};

void ExpectTrees(const PageCase* begin, const PageCase* end)
{
    for (const PageCase* c = begin; c != end; ++c)
        EXPECT_EQ(Children(ToXml(c->html)), c->tree) << c->html;
}

template <size_t N>
void ExpectTrees(const PageCase (&cases)[N])
{
    ExpectTrees(cases, cases + N);
}

TEST(ClsHtmlToXmlTest, TextRuns)
{
    const PageCase cases[] = {
        {"lost<p>kept</p>after", "p(\"kept\") \"after\""},
        {"  no markup &eacute; at all ", "\"no markup é at all\""},
        {"", ""},
        // Dropped inline tags vanish; the words around them join with spaces.
        {"<p>a <b>bold</b> and <i>it</i> c</p>", "p(\"a  bold and  it c\")"},
        {"<p>x<br>y<font color=red>z</font><center>w</center></p>", "p(\"x y z\") \"w\""},
        {"<h1>T<em>e</em><strong>s</strong><tt>t</tt></h1>", "h1(\"T e s t\")"},
        // A "<" that begins no tag is text.
        {"<p>if a < b and c > d, 1<2</p>", "p(\"if a < b and c > d, 1<2\")"},
        {"<p>a & b &amp; c &lt;d&gt; \"q\" 'a'</p>", "p(\"a & b & c <d> \"q\" 'a'\")"},
        // Leading whitespace of a run goes, inner line breaks stay.
        {"<p>\r\n\t line one\nline two</p>", "p(\"line one\nline two\")"},
    };
    ExpectTrees(cases);
}

TEST(ClsHtmlToXmlTest, ImpliedAndStrayEndTags)
{
    const PageCase cases[] = {
        {"<p>one<p>two", "p(\"one\") p(\"two\")"},
        {"<p>para<div>block</div>after", "p(\"para\") div(\"block\") \"after\""},
        {"<p>para<h2>head</h2>", "p(\"para\") h2(\"head\")"},
        {"<ul><li>one<li>two</ul>x", "ul(li(\"one\") li(\"two\")) \"x\""},
        {"<dl><dt>term<dd>def<dt>t2</dl>x", "dl(dt(\"term\") dd(\"def\") dt(\"t2\")) \"x\""},
        {"<select><option>a<option>b</select>x", "select(option(\"a\") option(\"b\")) \"x\""},
        // Stray end tags at the top change nothing; a stray end tag of a
        // void kind closes nothing.
        {"</div></p></html><p>x</span>y</p>z", "p(\"x y\") \"z\""},
        // body, table, tr, td and html close only an element of their name.
        {"<html><body><div>x</body>y</html>z", "html(body(div(\"x y z\")))"},
        {"<table><tr><td><div>x</td>y</table>", "table(tr(td(div(\"x y\"))))"},
        // An end tag with an open nobr on top only closes one level.
        {"<div><nobr>x</div>y", "div(nobr \"x\") \"y\""},
        // A "</form>" that matches nothing is held until the form is on top.
        {"<form>a</form>b", "form(\"a\") \"b\""},
        {"<div><form><p>x</form></p>y</div>z", "div(form(p(\"x\") \"y\")) \"z\""},
        {"</>x", "\"x\""},
    };
    ExpectTrees(cases);
}

TEST(ClsHtmlToXmlTest, Tables)
{
    const PageCase cases[] = {
        {"<table><td>a</td><td>b</td></table>", "table(tr(td(\"a\") td(\"b\")))"},
        {"<table><td>a<td>b</table>", "table(tr(td(\"a\") td(\"b\")))"},
        {"<table><tr><td>a</td><td>b</td><tr><td>c</td></table>", "table(tr(td(\"a\") td(\"b\")) tr(td(\"c\")))"},
        {"<table><tr><td>a</td></tr><tr><td>b</td></tr></table>", "table(tr(td(\"a\")) tr(td(\"b\")))"},
        {"<TABLE BORDER=1><TR><TD>A</TD></TR></TABLE>", "table[BORDER=1](tr(td(\"A\")))"},
    };
    ExpectTrees(cases);
}

TEST(ClsHtmlToXmlTest, ElementsAndAttributes)
{
    const PageCase cases[] = {
        {"<a href=\"x\">one<a>two", "a[href=x](\"one\") \"two\""},
        {"<A>x<div class=\"a\" class=\"b\" id=c>y</div>", "\"x\" div[class=b id=c](\"y\")"},
        {"<img src=a.png alt='it\"s'><input type=text>", "img[src=a.png alt=it\"s] input[type=text]"},
        {"<p/>x<hr/>y", "p \"x\" hr \"y\""},
        // Unknown tags are kept as childless elements; tbody is unknown.
        {"<foo bar=1>x</foo><tbody>y", "foo[bar=1] \"x\" tbody \"y\""},
        // Names XML cannot hold are repaired; colons go too.
        {"<o:p x:y=\"1\" 1a=\"2\" b\xe2\x80\x9d=3>", "o_p[x_y=1 _1a=2 b_=3]"},
        {"<spacer type=block><emphasis>x</emphasis>", "spacer[type=block] \"x\""},
        // A quote left open ends at the next ">" rather than swallowing the page.
        {"<a title=\"x>link</a><p>more</p>", "a[title=x>](\"link\") p(\"more\")"},
        {"<p>a<img src=\"x", "p(\"a\")"},
        {"<?xml version=\"1.0\"?><p>x</p>", "p(\"x\")"},
        // Markup inside a tag's name leaves only the name.
        {"<p'<b>x</b>'>y", "p_b \"y\""},
        // An "&#" in a value that is no character reference gets its "&" as
        // "&#38;", so an XML reader sees the value as written.
        {"<a href=\"x&#y\" title=\"&#169;&#0;&#x41;\">", "a[href=x&#38;#y title=&#169;&#38;#0;&#x41;]"},
        // HTML's "&#X41;" is XML's "&#x41;".
        {"<a title=\"&#X41;&#X20AC;\">", "a[title=&#x41;&#x20AC;]"},
        // Tags read in place and tags read as a document of their own agree.
        {"<div id=a/><div id=b / class=c>x", "div[id=a/](div[id=b class=c](\"x\"))"},
        {"<td\xc3\xa9 a=1>x<p b=\"&quot;&amp;\">", "td_[a=1](\"x\" p[b=\"&])"},
    };
    ExpectTrees(cases);
}

TEST(ClsHtmlToXmlTest, ScriptPreCommentsAndDoctype)
{
    const PageCase cases[] = {
        {"<script>if (a<b) x();</script>y", "script(C\"if (a<b) x();\") \"y\""},
        {"<SCRIPT>a</b>c</Script >y", "script(C\"a</b>c\") \"y\""},
        {"<script>\n<!-- x(); // -->\n</script>", "script=C\"<!-- x(); // -->\n\""},
        {"<script src=\"x.js\"/><p>y</p>", "script[src=x.js] p(\"y\")"},
        {"<script>never ends <p>x", "script(C\"never ends <p>x\")"},
        {"<pre>a &lt; b\n  c</pre>d &lt; e", "pre(C\"a &lt; b\n  c\") \"d < e\""},
        {"<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01//EN\">", "doctype=\"html PUBLIC \"-//W3C//DTD HTML 4.01//EN\"\""},
        {"<!-- a\ncomment --><!-- x & y --><!---->", "comment=C\"a\ncomment\" comment=C\"x & y\" comment"},
        {"<!-- open <p>x</p>", "comment=\"open <p>\" \"x\""},
        // A bogus comment ends at its own ">", not at a later "-->".
        {"<![if !IE]>x<![endif]><!-- y -->", "comment=\"[if !IE]>\" \"x\" comment=\"[endif]>\" comment=\"y\""},
        {"<p>a]]>b <!-- ]]> --></p>", "p(\"a]]>b\" comment=\"]]>\")"},
    };
    ExpectTrees(cases);
}

TEST(ClsHtmlToXmlTest, CharacterReferences)
{
    const PageCase cases[] = {
        {"<p>caf&eacute;&nbsp;&copy;&AElig;&Aelig;&aElig;&yuml;</p>", "p(\"café ©ÆÆæÿ\")"},
        {"<p>&euro;&dagger;&Dagger;&circ;&OElig;&oelig;&Yuml;&ndash;&mdash;&tilde;&trade;&rdquo;</p>",
         "p(\"€†‡ˆŒœŸ–—˜™”\")"},
        {"<p>a&ensp;b&emsp;c</p>", "p(\"a b c\")"},
        // Left as written: two Latin-1 names, unknown names, names without ";".
        {"<p>&brvbar;&laquo;&bogus;&eacute &NBSP; &bull;</p>", "p(\"&brvbar;&laquo;&bogus;&eacute &NBSP; &bull;\")"},
        // A numeric reference stays as written inside a CDATA section.
        {"<p>&#169; 2024 &#x20AC;</p>", "p(C\"&#169; 2024 &#x20AC;\")"},
        {"<p>&eacute; then <b>x</b> &#38;</p>", "p(C\"é then  x &#38;\")"},
        {"&#65;", "C\"&#65;\""},
    };
    ExpectTrees(cases);
}

TEST(ClsHtmlToXmlTest, BytesXmlCannotHoldAreReplaced)
{
    using namespace std::string_view_literals;
    struct Case {
        std::string_view html;
        const char* tree;
    };
    const Case cases[] = {
        {"<p>a\x01" "b\x0c" "c\x00" "d\te</p>"sv, "p(\"a b c d\te\")"},
        // Invalid UTF-8, an encoded surrogate and U+FFFE each become U+FFFD per byte.
        {"<p>caf\xe9 \xc3\xa9 \xed\xa0\x80 \xef\xbf\xbe</p>"sv,
         "p(\"caf\xef\xbf\xbd \xc3\xa9 \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\")"},
        {"<p title=\"a\x02\">\xf0\x9f\x98\x80</p>"sv, "p[title=a ](\"\xf0\x9f\x98\x80\")"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Children(ToXml(std::string(c.html))), c.tree) << c.html;
}

// The references are written in the code page of the text; a character the
// code page lacks stays as written, in a CDATA section.
TEST(ClsHtmlToXmlTest, ReferencesGoIntoTheOutputCodePage)
{
    struct Case {
        int codePage;
        const char* html;
        const char* content;
        bool cdata;
    };
    const Case cases[] = {
        {65001, "&eacute;&euro;", "\xc3\xa9\xe2\x82\xac", false},
        {1252, "&eacute;&euro;&mdash;", "\xe9\x80\x97", false},
        {28591, "&eacute;&euro;", "\xe9&euro;", true},
        {20127, "&eacute;&nbsp;x", "\xe9 x", false},
        {1251, "&copy;&eacute;", "\xa9&eacute;", true},
    };
    for (const Case& c : cases) {
        HtmlParse parser;
        Logger log;
        TreeNodePtr root = parser.Convert(std::string("<p>") + c.html, c.codePage, log);
        ASSERT_TRUE(root);
        const TreeNode* text = root->FirstChild() ? root->FirstChild()->FirstChild() : nullptr;
        ASSERT_TRUE(text) << c.html;
        EXPECT_EQ(text->Content(), c.content) << c.codePage << " " << c.html;
        EXPECT_EQ(text->IsCdata(), c.cdata) << c.codePage << " " << c.html;
    }
}

std::string DeclaredEncoding(const std::string& xml)
{
    LogNull quiet;
    TreeNodePtr doc = XmlParser::Parse(xml, {}, quiet);
    std::string_view encoding;
    if (!doc || !doc->Document()->Declaration() || !doc->Document()->Declaration()->AttrValue("encoding", encoding))
        return "<none>";
    return std::string(encoding);
}

TEST(ClsHtmlToXmlTest, DeclarationNamesTheEncodingOfTheText)
{
    struct Case {
        const char* html;
        const char* charset;   // SetCharset, or null
        ClsHtmlToXml::TextForm form;
        const char* acp;       // the process's ANSI code page
        const char* encoding;
    };
    const auto utf8 = ClsHtmlToXml::TextForm::Utf8;
    const auto ansi = ClsHtmlToXml::TextForm::Ansi;
    const char* metaUtf8 = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Utf-8\"><p>x";
    const char* metaLatin1 = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\"><p>x";
    const Case cases[] = {
        {"<p>x", nullptr, utf8, "65001", "utf-8"},
        {metaUtf8, nullptr, utf8, "65001", "Utf-8"},
        // The text is UTF-8 whatever the page said it was before conversion.
        {metaLatin1, nullptr, utf8, "65001", "utf-8"},
        {"<p>x", "windows-1250", utf8, "65001", "windows-1250"},
        {"<p>x", "", utf8, "65001", "utf-8"},
        {"<p>x", nullptr, ansi, "1252", "windows-1252"},
        {metaLatin1, nullptr, ansi, "20127", "iso-8859-1"},
        {metaLatin1, nullptr, ansi, "28591", "iso-8859-1"},
        {metaUtf8, nullptr, ansi, "1251", "windows-1251"},
    };
    for (const Case& c : cases) {
        testsupport::ScopedCodePage acp(c.acp);
        if (!acp.Active())
            continue;   // Windows runs the rows of its own code page
        ClsHtmlToXml converter;
        converter.SetHtml(c.html, c.form);
        if (c.charset)
            converter.SetCharset(c.charset);
        StringBuffer out;
        ASSERT_TRUE(converter.ToXml(out));
        EXPECT_EQ(DeclaredEncoding(out.ToStdString()), c.encoding) << c.html << " acp " << c.acp;
    }
}

// A meta charset that only matches a known name up to a zero byte or holds
// bytes a name cannot is not copied into the declaration: the declaration
// would no longer be XML.
TEST(ClsHtmlToXmlTest, DeclarationNeverCopiesAMalformedMetaCharset)
{
    using namespace std::string_literals;
    for (const std::string& charset : {"utf-8\0\0"s, "utf-8\0\" x=\""s}) {
        const std::string html = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + charset + "\"><p>x";
        ClsHtmlToXml converter;
        converter.SetHtml(html);
        StringBuffer out;
        ASSERT_TRUE(converter.ToXml(out));
        const std::string xml = out.ToStdString();
        EXPECT_EQ(xml.find('\0'), std::string::npos);
        EXPECT_EQ(DeclaredEncoding(xml), "utf-8");
    }
}

// Saved as a file, the XML reads back with the same characters: the
// declaration does not claim the charset the page had before conversion.
TEST(ClsHtmlToXmlTest, SavedXmlReadsBackWithItsCharacters)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "plentor-html2xml-test";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "page.xml").string();
    const std::string xml = ToXml("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
                                  "<p>caf\xc3\xa9 &euro;</p>");
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(xml.data(), 1, xml.size(), f);
    std::fclose(f);

    ClsXml loaded;
    ASSERT_TRUE(loaded.LoadXmlFile(path.c_str()));
    StringBuffer text;
    loaded.GetTextOfTag("text", text, "");
    EXPECT_EQ(text.ToStdString(), "caf\xc3\xa9 \xe2\x82\xac");
    std::filesystem::remove_all(dir);
}

TEST(ClsHtmlToXmlTest, TooLargeAPageFailsWithALogLine)
{
    ClsHtmlToXml converter;
    converter.SetHtml(std::string(HtmlParse::kMaxHtmlBytes + 1, 'x'));
    StringBuffer out("stale");
    EXPECT_FALSE(converter.ToXml(out));
    EXPECT_TRUE(out.IsEmpty());
    const std::string log = testsupport::LogText(converter.GetLog());
    EXPECT_NE(log.find("Failed to parse HTML"), std::string::npos) << log;
    EXPECT_NE(log.find("ToXml"), std::string::npos) << log;
}

// Nesting far deeper than any call stack could follow.
TEST(ClsHtmlToXmlTest, DeepNestingNeedsNoStack)
{
    constexpr int kDepth = 200000;
    std::string html;
    for (int i = 0; i < kDepth; ++i)
        html += "<div>";
    html += "deep";
    const std::string xml = ToXml(html);
    ClsXml facade;
    ASSERT_TRUE(facade.LoadXml(xml.c_str()));
    int depth = 0;
    while (facade.MoveToFirstChild())
        ++depth;
    EXPECT_EQ(depth, kDepth + 1);   // the divs and the text
    EXPECT_EQ(facade.Content().ToStdString(), "deep");
}

// Pages built to make a naive converter rescan the rest of the page for
// every tag: each must convert in one pass (a quadratic converter would take
// hours on these) and still give well-formed XML.
TEST(ClsHtmlToXmlTest, HostilePagesConvertInOnePass)
{
    struct Case {
        const char* unit;
        size_t repeats;
    };
    const Case cases[] = {
        {"<!--", 500000},                    // comments that never close
        {"<!x", 500000},                     // bogus comments without ">"
        {"<a title=\"x> ", 100000},          // quotes that never close
        {"<a b='\"'> <c d=\"'\"", 100000},    // quotes of both kinds, unbalanced
        {"<script>x</scriptx ", 200000},     // script ends that are not ends
        {"</form></nobr></table>", 100000},  // end tags that match nothing
        {"<<<<//!!??", 200000},
        {"<p><td><li><dd><option>", 20000},  // implied end tags at every step
    };
    for (const Case& c : cases) {
        std::string html;
        html.reserve(std::strlen(c.unit) * c.repeats);
        for (size_t i = 0; i < c.repeats; ++i)
            html += c.unit;
        const std::string xml = ToXml(html);
        ClsXml facade;
        EXPECT_TRUE(facade.LoadXml(xml.c_str())) << c.unit;
    }
}

} // namespace
} // namespace plentor

#include "markup/XmlParser.h"

#include "log/Logger.h"
#include "markup/AttributeSet.h"
#include "markup/TreeInfo.h"
#include "markup/TreeNode.h"
#include "text/StringBuffer.h"

#include "support/CaseName.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>

namespace plentor {
namespace {

// Expected texts below are written with "\n" for the writer's CR LF.
std::string Crlf(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

std::string Written(const TreeNode& node)
{
    StringBuffer out;
    node.GetXml(out);
    return out.ToStdString();
}

TreeNodePtr Parse(std::string_view text, XmlParser::TextMode mode, Logger& log)
{
    XmlParser::Options options;
    options.textMode = mode;
    return XmlParser::Parse(text, options, log);
}

struct RoundTripCase {
    const char* name;
    const char* input;
    const char* written;   // "\n" stands for CR LF
};

void PrintTo(const RoundTripCase& c, std::ostream* os)
{
    *os << c.name << ": " << testing::PrintToString(c.input) << " written " << testing::PrintToString(c.written);
}

class XmlParserRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(XmlParserRoundTrip, WritesExpectedDocument)
{
    Logger log;
    TreeNodePtr root = Parse(GetParam().input, XmlParser::TextMode::Trim, log);
    ASSERT_TRUE(root);
    EXPECT_EQ(Written(*root), Crlf(GetParam().written));
}

const RoundTripCase kRoundTrips[] = {
    {"RunsAroundChildJoined", "<a>one<b/>two</a>", "\n<a>one two\n<b></b>\n</a>\n"},
    {"ClosingTagNameIgnored", "<a><b>x</c>y</a>", "\n<a>y\n<b>x</b>\n</a>\n"},
    {"UnclosedAtEndClosedImplicitly", "<a>t1<b>t2", "\n<a>t1\n<b>t2</b>\n</a>\n"},
    {"LastTopLevelElementWins", "<a/><b>x</b>", "\n<b>x</b>\n"},
    {"OpenElementAfterCompleteOneDropped", "<a></a><b>", "\n<a></a>\n"},
    {"StrayTextAroundRootDropped", "junk<a>x</a>more", "\n<a>x</a>\n"},
    {"StrayClosingTagAtTopIgnored", "</x><a/>", "\n<a></a>\n"},
    {"FiveEntitiesDecodedNbspKept", "<a>&lt;&amp;&nbsp;&gt;</a>", "\n<a>&lt;&amp;&nbsp;&gt;</a>\n"},
    {"OtherReferencesStayAsWritten", "<a>&copy; &#169; &bogus;</a>", "\n<a>&copy; &#169; &amp;bogus;</a>\n"},
    {"ColonInAttributeNameBecomesUnderscore", "<a x:y=\"1\"/>", "\n<a x_y=\"1\"></a>\n"},
    {"AttributeQuotingForms", "<a 'q'=1 b='x\"y' c=z/>", "\n<a q=\"1\" b=\"x&quot;y\" c=\"z\"></a>\n"},
    {"BareValueStopsAtSpace", "<a href=/x/y title=t>v</a>", "\n<a href=\"/x/y\" title=\"t\">v</a>\n"},
    {"AttributeWithoutValue", "<input checked>", "\n<input checked=\"\"></input>\n"},
    {"AttributeValueDecoded", "<a t=\"&lt;&amp;#38;\"/>", "\n<a t=\"&lt;&#38;\"></a>\n"},
    {"RepeatedAttributesKept", "<a x=\"1\" x=\"2\"/>", "\n<a x=\"1\" x=\"2\"></a>\n"},
    {"CdataSectionsJoinedTextBetweenSkipped", "<a><![CDATA[<x>&]]> skipped <![CDATA[y]]></a>",
     "\n<a><![CDATA[<x>&y]]></a>\n"},
    {"CdataEndInContentSplit", "<a><![CDATA[p]]]]><![CDATA[>q]]></a>", "\n<a><![CDATA[p]]]]><![CDATA[>q]]></a>\n"},
    {"CommentSkipped", "<a><!-- <b> -->x</a>", "\n<a>x</a>\n"},
    {"OtherBangMarkupSkipped", "<a><!ENTITY x>y</a>", "\n<a>y</a>\n"},
    {"SpaceAfterLessThan", "< a>x</ a>", "\n<a>x</a>\n"},
    {"LessThanRemovedFromTagName", "<a<b>x</a>", "\n<ab>x</ab>\n"},
    {"NamelessElementWrittenAsNothing", "<>x</>", "\n<nothing>x</nothing>\n"},
    {"SiblingsAndNesting", "<r><a><b/></a><c/></r>", "\n<r>\n<a>\n<b></b>\n</a>\n<c></c>\n</r>\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, XmlParserRoundTrip, testing::ValuesIn(kRoundTrips), testsupport::ByCaseName());

TEST(XmlParserTest, InputWithoutElementFails)
{
    for (const char* text : {"", "just text", "<!-- only a comment -->", "<?pi x?>", "<", "< "}) {
        Logger log;
        EXPECT_FALSE(Parse(text, XmlParser::TextMode::Trim, log)) << text;
        StringBuffer logText;
        log.GetText(logText);
        EXPECT_TRUE(logText.Contains("No element in XML text")) << text;
    }
}

TEST(XmlParserTest, TrimAndKeepModes)
{
    struct Case {
        const char* input;
        XmlParser::TextMode mode;
        const char* content;
    } cases[] = {
        {"<a>  x \r\n<b/>\t y </a>", XmlParser::TextMode::Trim, "x y"},
        {"<a>  x <b/> y </a>", XmlParser::TextMode::Keep, "  x   y "},
        {"<a> <b/>\n</a>", XmlParser::TextMode::Keep, ""},
        {"<a>&amp;lt;<b/>x</a>", XmlParser::TextMode::Trim, "&lt; x"},   // decoded once, not twice
        {"<a><![CDATA[&amp;]]><b/>&amp;</a>", XmlParser::TextMode::Trim, "&amp; &"},
    };
    for (const Case& c : cases) {
        Logger log;
        TreeNodePtr root = Parse(c.input, c.mode, log);
        ASSERT_TRUE(root) << c.input;
        EXPECT_EQ(root->Content(), c.content) << c.input;
    }
}

TEST(XmlParserTest, PrologPartsAttachedToDocument)
{
    Logger log;
    TreeNodePtr root = Parse("<?xml version=\"1.0\" standalone='yes' encoding=\"utf-8\"?>"
                             "<?xml-stylesheet type=\"text/xsl\" href=\"s.xsl\"?>"
                             "<!DOCTYPE a [<!ELEMENT a ANY>]><?pi data?><a/>",
                             XmlParser::TextMode::Trim, log);
    ASSERT_TRUE(root);
    const TreeInfo& info = *root->Document();
    ASSERT_TRUE(info.Declaration());
    EXPECT_EQ(info.Declaration()->Tag(), "xml");
    ASSERT_EQ(info.Stylesheets().size(), 1u);
    ASSERT_TRUE(info.Prolog());
    EXPECT_EQ(info.Prolog()->ToStdString(), "<!DOCTYPE a [<!ELEMENT a ANY>]>\n<?pi data?>\n");
    EXPECT_EQ(Written(*root),
              "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>\r\n"
              "<?xml-stylesheet type=\"text/xsl\" href=\"s.xsl\" ?>\r\n"
              "<!DOCTYPE a [<!ELEMENT a ANY>]>\n<?pi data?>\n\r\n"
              "\r\n<a></a>\r\n");
    // Below the root, only the element itself is written.
    TreeNode* child = root->AppendNewChild("c");
    EXPECT_EQ(Written(*child), "\r\n<c></c>\r\n");
}

TEST(XmlParserTest, LaterDeclarationReplacesEarlierAndSurvivesLastElementRule)
{
    Logger log;
    TreeNodePtr root = Parse("<?xml version=\"1.0\"?><a/><?xml version=\"1.1\"?><b/>", XmlParser::TextMode::Trim, log);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->Tag(), "b");
    std::string_view version;
    ASSERT_TRUE(root->Document()->Declaration());
    EXPECT_TRUE(root->Document()->Declaration()->AttrValue("version", version));
    EXPECT_EQ(version, "1.1");
}

TEST(XmlParserTest, MalformedMarkupIsLogged)
{
    struct Case {
        const char* input;
        const char* logged;
        const char* written;
    } cases[] = {
        {"<a>x<!-- y</a>", "Unclosed comment", "\n<a>x</a>\n"},
        {"<a><b></b<c/></a>", "Error in closing tag", "\n<a>\n<b></b>\n<c></c>\n</a>\n"},
        {"<a><!DOCTYPE x [<y>", "Failed to parse DTD", "\n<a></a>\n"},
        {"<a>x<?pi", "Unclosed processing instruction", "\n<a>x</a>\n"},
    };
    for (const Case& c : cases) {
        Logger log;
        TreeNodePtr root = Parse(c.input, XmlParser::TextMode::Trim, log);
        ASSERT_TRUE(root) << c.input;
        EXPECT_EQ(Written(*root), Crlf(c.written)) << c.input;
        StringBuffer logText;
        log.GetText(logText);
        EXPECT_TRUE(logText.Contains(c.logged)) << logText.GetString();
    }
    Logger log;
    Parse("<a><b></b<c/></a>", XmlParser::TextMode::Trim, log);
    StringBuffer xml;
    log.GetXml(xml);
    EXPECT_TRUE(xml.Contains("<error_tag>b</error_tag>")) << xml.GetString();
}

TEST(XmlParserTest, ReplaceDuplicatesKeepsLastValueOfEachName)
{
    XmlParser::Options options;
    options.duplicates = XmlParser::DuplicateAttributes::KeepLast;
    Logger log;
    TreeNodePtr root = XmlParser::Parse("<a x=\"1\" y=\"2\" x=\"3\" z x='4'/>", options, log);
    ASSERT_TRUE(root);
    EXPECT_EQ(Written(*root), "\r\n<a y=\"2\" z=\"\" x=\"4\"></a>\r\n");
}

// Reading a start tag's attributes into an element that already exists
// must give what Parse makes of the tag with its end tag appended, and say
// whether the tag ended right at its last byte.
TEST(XmlParserTest, StartTagAttributesReadAsParseReadsThem)
{
    struct Case {
        const char* tag;
        bool endsAtLastByte;
    };
    const Case cases[] = {
        {"<a href=\"x\" title='y'>", true},
        {"<a>", true},
        {"<br/>", true},
        {"<a x=\"1\" y=2 x='3' z>", true},            // the last value of a name wins
        {"<a v=\"&lt;&amp;lt;&quot;\" w='a\"b'>", true}, // the five references decoded once
        {"<a x:y=1 \"q\"=2 'r'=3 <s=4>", true},         // names lose quotes and "<", ":" becomes "_"
        {"<a b=1 / c=2>", true},                        // a "/" closes the element but not the tag
        {"<a b=x/>", true},
        {"<a t=\"x > y\">", true},                     // a ">" inside a value does not end the tag
        {"<a b=\"x>", false},                           // the value runs to the end
        {"<a b=\"1\">tail>", false},                    // text after the tag
        {"<a b=\"1\"", false},
    };
    XmlParser::Options options;
    options.duplicates = XmlParser::DuplicateAttributes::KeepLast;
    for (const Case& c : cases) {
        const std::string tag = c.tag;
        const size_t nameEnd = tag.find_first_of(" />", 1);
        TreeNodePtr element = TreeNode::CreateRoot(tag.substr(1, nameEnd - 1));
        EXPECT_EQ(XmlParser::ReadStartTagAttributes(tag, nameEnd, options, *element), c.endsAtLastByte) << tag;
        if (!c.endsAtLastByte)
            continue;
        Logger log;
        TreeNodePtr parsed = XmlParser::Parse(tag + "</" + std::string(element->Tag()) + ">", options, log);
        ASSERT_TRUE(parsed) << tag;
        EXPECT_EQ(Written(*element), Written(*parsed)) << tag;
    }
}

// Input-controlled depth must cost no stack: parse, write and delete loop.
TEST(XmlParserTest, DeepNestingNeedsNoRecursion)
{
    constexpr int kDepth = 100000;
    std::string text;
    for (int i = 0; i < kDepth; ++i)
        text += "<e>";
    text += "x";
    Logger log;
    TreeNodePtr root = Parse(text, XmlParser::TextMode::Trim, log);
    ASSERT_TRUE(root);
    int depth = 1;
    for (const TreeNode* n = root.get(); n->FirstChild(); n = n->FirstChild())
        ++depth;
    EXPECT_EQ(depth, kDepth);
    std::string written = Written(*root);
    EXPECT_EQ(written.size(), static_cast<size_t>(kDepth) * (2 + 3 + 6) + 1);
}

// Whatever the parser accepts, the writer's text parses back to itself, and
// nothing in between crashes or leaks.
TEST(XmlParserTest, WrittenTextOfRandomMarkupParsesToItself)
{
    const char* tokens[] = {"<", ">", "/", "a", "b:c", " ", "=", "\"", "'", "&amp;", "&lt;", "&#1;", "&nbsp;",
                            "<![CDATA[", "]]>", "<!--", "-->", "<?xml ", "<?xml-stylesheet ", "?>", "<!DOCTYPE",
                            "<!", "\r\n", "x", "<a>", "</a>", "<b/>", "encoding=\"utf-8\""};
    std::mt19937 random(11);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 30);
        for (int i = 0; i < count; ++i)
            text += tokens[random() % std::size(tokens)];
        for (auto mode : {XmlParser::TextMode::Trim, XmlParser::TextMode::Keep}) {
            Logger log;
            TreeNodePtr root = Parse(text, mode, log);
            if (!root)
                continue;
            const std::string written = Written(*root);
            if (mode == XmlParser::TextMode::Keep)
                continue;   // the writer's line breaks become part of kept text
            TreeNodePtr again = Parse(written, mode, log);
            ASSERT_TRUE(again) << text;
            ASSERT_EQ(Written(*again), written) << text;
        }
    }
}

} // namespace
} // namespace plentor

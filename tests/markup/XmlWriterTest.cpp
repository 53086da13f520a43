#include "markup/XmlWriter.h"

#include "markup/XmlEntities.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

struct EscapeCase {
    const char* text;
    const char* content;   // written as element content
    const char* value;     // written as attribute value
};

TEST(XmlWriterTest, EscapesContentAndAttributeValues)
{
    const EscapeCase cases[] = {
        {"\"'<>&", "&quot;&apos;&lt;&gt;&amp;", "&quot;&apos;&lt;&gt;&amp;"},
        {"&#169; &#x20AC;", "&#169; &#x20AC;", "&#169; &#x20AC;"},
        {"&nbsp; &frac12; &AElig; &yuml;", "&nbsp; &frac12; &AElig; &yuml;",
         "&amp;nbsp; &amp;frac12; &amp;AElig; &amp;yuml;"},
        // Names outside the list, names in the wrong case and names without ";" are escaped.
        {"&times; &Ntilde; &laquo; &NBSP; &nbsp &amp", "&amp;times; &amp;Ntilde; &amp;laquo; &amp;NBSP; &amp;nbsp &amp;amp",
         "&amp;times; &amp;Ntilde; &amp;laquo; &amp;NBSP; &amp;nbsp &amp;amp"},
        {"&lt; & &", "&lt; &amp; &amp;", "&amp;lt; &amp; &amp;"},
        {"plain text", "plain text", "plain text"},
        {"&", "&amp;", "&amp;"},
        {"&#", "&#", "&#"},
    };
    for (const EscapeCase& c : cases) {
        std::string content;
        XmlWriter::AppendEscapedContent(c.text, content);
        EXPECT_EQ(content, c.content) << c.text;
        std::string value;
        XmlWriter::AppendEscapedValue(c.text, value);
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(XmlEntitiesTest, KnownNamesAreExactlyTheWritersList)
{
    for (const char* name : {"AElig", "Aacute", "ETH", "OElig", "THORN", "Utilde", "amp", "apos", "brkbar", "frac34",
                             "hibar", "lt", "gt", "quot", "micro", "sup1", "uml", "yuml"})
        EXPECT_TRUE(XmlEntities::IsKnownName(name)) << name;
    for (const char* name : {"Ntilde", "brvbar", "divide", "laquo", "macr", "times", "aelig2", "Amp", "", "nbsp;"})
        EXPECT_FALSE(XmlEntities::IsKnownName(name)) << name;
}

TEST(XmlEntitiesTest, DecodesOnlyThePredefinedFiveOnce)
{
    std::string out;
    XmlEntities::AppendDecoded("&lt;&apos;&gt;&quot;&amp; &amp;lt; &nbsp; &#60; &lt", out);
    EXPECT_EQ(out, "<'>\"& &lt; &nbsp; &#60; &lt");
}

} // namespace
} // namespace plentor

#include "markup/HtmlEntities.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

// What the UTF-8 decoder makes of references, good and bad: a reference it
// does not decode stays exactly as written.
TEST(HtmlEntitiesTest, AppendDecodedUtf8)
{
    const struct {
        const char* text;
        const char* decoded;
    } cases[] = {
        {"a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos;", "a & b <c> \"d\" 'e'"},
        {"&eacute;&copy;&nbsp;&euro;&mdash;", "\xC3\xA9\xC2\xA9 \xE2\x82\xAC\xE2\x80\x94"},
        {"&#65;&#x42;&#X43;&#0000068;", "ABCD"},
        {"&#xE9; &#233; &#x20AC; &#x1F600; &#1114111;", "\xC3\xA9 \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"},
        {"&#0; &#xD800; &#xDFFF; &#x110000; &#1114112;", "&#0; &#xD800; &#xDFFF; &#x110000; &#1114112;"},
        {"&#; &#x; &#12a; &#xG1; &#12345678; &#x0000041;", "&#; &#x; &#12a; &#xG1; &#12345678; &#x0000041;"},
        {"&bogus; &AMP; &amp &;amp; & alone &", "&bogus; &AMP; &amp &;amp; & alone &"},
        {"&amp;amp; &amp;#65;", "&amp; &#65;"},
        {"&brvbar;&laquo;", "&brvbar;&laquo;"},
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string out = "kept:";
        HtmlEntities::AppendDecodedUtf8(c.text, out);
        EXPECT_EQ(out, std::string("kept:") + c.decoded) << c.text;
    }
}

} // namespace
} // namespace plentor

#include "markup/XmlRepair.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace plentor {
namespace {

using namespace std::string_view_literals;
using Encoding = XmlRepair::Encoding;

TEST(XmlRepairTest, RepairText)
{
    struct Case {
        std::string_view text;
        Encoding encoding;
        std::string repaired;   // empty: no change needed
    };
    constexpr std::string_view kFffd = "\xef\xbf\xbd";
    const std::string two = std::string(kFffd) + std::string(kFffd);
    const std::string three = two + std::string(kFffd);
    const Case cases[] = {
        {"plain\ttext\r\n"sv, Encoding::Utf8, ""},
        {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf\xef\xbf\xbd"sv, Encoding::Utf8, ""},
        {"a\x00" "b\x1f" "c\x7f"sv, Encoding::Utf8, "a b c\x7f"},
        {"\xc0\x80"sv, Encoding::Utf8, two},                 // overlong NUL
        {"\xe0\x80\x80"sv, Encoding::Utf8, three},           // overlong
        {"\xed\xa0\x80"sv, Encoding::Utf8, three},           // surrogate
        {"\xf4\x90\x80\x80"sv, Encoding::Utf8, std::string(two) + two},   // beyond U+10FFFF
        {"\xef\xbf\xbf"sv, Encoding::Utf8, three},           // U+FFFF
        {"ab\xe2\x82"sv, Encoding::Utf8, std::string("ab") + two},        // cut at the end
        {"\xe9t\xe9"sv, Encoding::Utf8, std::string(kFffd) + "t" + std::string(kFffd)},
        {"\xe9t\xe9\x80"sv, Encoding::Ansi, ""},
        {"\xe9\x01"sv, Encoding::Ansi, "\xe9 "},
    };
    for (const Case& c : cases) {
        std::string out = "untouched";
        const bool changed = XmlRepair::RepairText(c.text, c.encoding, out);
        EXPECT_EQ(changed, !c.repaired.empty()) << c.text;
        EXPECT_EQ(out, changed ? c.repaired : "untouched") << c.text;
    }
}

// Long plain stretches are checked several bytes at a time: a bad byte at
// any position of them, next to any neighbour, must still be found.
TEST(XmlRepairTest, RepairTextFindsABadByteAtEveryPosition)
{
    const std::string plain = "0123456789abcdefghijklmnopqrstuv";
    struct Bad {
        std::string_view bytes;
        Encoding encoding;
        std::string_view replacement;
    };
    const Bad bads[] = {
        {"\x01"sv, Encoding::Utf8, " "},
        {"\x1f"sv, Encoding::Ansi, " "},
        {"\x00"sv, Encoding::Utf8, " "},
        {"\xff"sv, Encoding::Utf8, "\xef\xbf\xbd"},
    };
    for (const Bad& bad : bads) {
        for (size_t at = 0; at <= plain.size(); ++at) {
            for (char neighbour : {' ', '\x7f', '\n'}) {
                std::string text = plain.substr(0, at) + std::string(bad.bytes) + neighbour + plain.substr(at);
                const std::string expected =
                    plain.substr(0, at) + std::string(bad.replacement) + neighbour + plain.substr(at);
                std::string out;
                ASSERT_TRUE(XmlRepair::RepairText(text, bad.encoding, out)) << at;
                EXPECT_EQ(out, expected) << at;
            }
        }
    }
    std::string out = "untouched";
    EXPECT_FALSE(XmlRepair::RepairText(plain + "\t\r\n\x7f" + plain, Encoding::Utf8, out));
    EXPECT_EQ(out, "untouched");
}

TEST(XmlRepairTest, RepairName)
{
    struct Case {
        const char* name;
        Encoding encoding;
        const char* repaired;
    };
    const Case cases[] = {
        {"div", Encoding::Utf8, "div"},
        {"data-x.y_z9", Encoding::Utf8, "data-x.y_z9"},
        {"o:p", Encoding::Utf8, "o_p"},
        {"1a", Encoding::Utf8, "_1a"},
        {"-a", Encoding::Utf8, "_-a"},
        {"\"a'", Encoding::Utf8, "_a_"},
        {"caf\xc3\xa9", Encoding::Utf8, "caf_"},          // one "_" per character
        {"a\xe2\x80\x9d", Encoding::Utf8, "a_"},
        {"caf\xe9", Encoding::Ansi, "caf_"},
        {"\xe9", Encoding::Utf8, "_"},                    // a stray byte
        {"", Encoding::Utf8, ""},
    };
    for (const Case& c : cases) {
        std::string name = c.name;
        EXPECT_EQ(XmlRepair::RepairName(name, c.encoding), std::string(c.name) != c.repaired) << c.name;
        EXPECT_EQ(name, c.repaired) << c.name;
        EXPECT_TRUE(XmlRepair::IsName(name)) << c.name;
    }
}

TEST(XmlRepairTest, RepairReferences)
{
    struct Case {
        const char* value;
        const char* repaired;
    };
    const Case cases[] = {
        {"a &#169; &#x20AC; &#10; b", "a &#169; &#x20AC; &#10; b"},
        // HTML's capital X is no reference to an XML reader: written with a small one
        {"a &#X41; &#X20ac; &#XZ;", "a &#x41; &#x20ac; &#38;#XZ;"},
        {"&#", "&#38;#"},
        {"x&#y", "x&#38;#y"},
        {"&#0; &#x1F; &#xD800; &#xFFFE; &#1114112; &#x110000;", "&#38;#0; &#38;#x1F; &#38;#xD800; &#38;#xFFFE; &#38;#1114112; &#38;#x110000;"},
        {"&#;&#x;&#12", "&#38;#;&#38;#x;&#38;#12"},
        {"&#99999999999999999999;", "&#38;#99999999999999999999;"},
        {"&amp; &lt; no references", "&amp; &lt; no references"},
    };
    for (const Case& c : cases) {
        std::string value = c.value;
        EXPECT_EQ(XmlRepair::HasOnlyGoodReferences(c.value), std::string(c.value) == c.repaired) << c.value;
        EXPECT_EQ(XmlRepair::RepairReferences(value), std::string(c.value) != c.repaired) << c.value;
        EXPECT_EQ(value, c.repaired) << c.value;
    }
}

} // namespace
} // namespace plentor

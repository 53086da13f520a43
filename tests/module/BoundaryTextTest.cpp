#include "module/BoundaryText.h"

#include "services/ServiceWire.h"
#include "support/ScopedCodePage.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

using testsupport::ScopedCodePage;
using testsupport::ScopedEnv;

struct ToAnsiCase {
    const char* name;
    const char* codePage;       // PLENTOR_ACP
    const char16_t* host;       // may be null
    size_t units;               // of host, so embedded zeros and lone halves can be given
    std::string bytes;          // what the clients receive
};

TEST(BoundaryTextTest, HostTextReachesTheClientsInTheAnsiCodePage)
{
    const ToAnsiCase cases[] = {
        {"null is empty", "1252", nullptr, 0, ""},
        {"ASCII unchanged", "1252", u"http://example.org/?a=1", 23, "http://example.org/?a=1"},
        {"Latin letter in 1252", "1252", u"Caf\u00e9", 4, "Caf\xE9"},
        {"euro sign has a place in 1252", "1252", u"\u20ac5", 2, "\x80" "5"},
        {"no place in 1252: replaced, not dropped", "1252", u"a\u4e2db", 3, "a?b"},
        {"a pair outside the BMP is one character", "1252", u"a\U0001F600b", 4, "a?b"},
        {"lone surrogate half", "1252", u"a\xD800" "b", 3, "a?b"},
        {"UTF-8 page holds everything", "65001", u"Caf\u00e9 \u4e2d", 6, "Caf\xC3\xA9 \xE4\xB8\xAD"},
        {"leading U+FEFF is text, not a mark", "65001", u"\uFEFFx", 2, "\xEF\xBB\xBFx"},
        {"Cyrillic in 1251", "1251", u"\u0416", 1, "\xC6"},
        {"unknown code page falls back to UTF-8", "59999", u"\u00e9", 1, "\xC3\xA9"},
    };
    for (const ToAnsiCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedCodePage acp(c.codePage);
        if (!acp.Active())
            continue;   // Windows runs the rows of its own code page
        const HostString host =
            c.host == nullptr ? HostString(nullptr) : HostString(std::u16string_view(c.host, c.units));
        EXPECT_EQ(BoundaryText::ToAnsi(host).ToStdString(), c.bytes);
    }
}

TEST(BoundaryTextTest, ToAnsiReplacesThePreviousValue)
{
    ScopedEnv acp("PLENTOR_ACP", "1252");
    StringBuffer out("old value");
    BoundaryText::ToAnsi(u"new", out);
    EXPECT_EQ(out.ToStdString(), "new");
    BoundaryText::ToAnsi(nullptr, out);
    EXPECT_EQ(out.ToStdString(), "");
}

struct FromBytesCase {
    const char* name;
    const char* codePage;
    std::string bytes;
    std::u16string host;
};

TEST(BoundaryTextTest, AnsiBytesReachTheHostAsUtf16)
{
    const FromBytesCase cases[] = {
        {"empty", "1252", "", u""},
        {"Latin letter in 1252", "1252", "Caf\xE9", u"Caf\u00e9"},
        {"UTF-8 page", "65001", "Caf\xC3\xA9", u"Caf\u00e9"},
        {"malformed UTF-8 becomes U+FFFD", "65001", "a\xFF" "b", u"a\uFFFDb"},
        {"a leading mark is kept", "65001", "\xEF\xBB\xBFx", u"\uFEFFx"},
    };
    for (const FromBytesCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedCodePage acp(c.codePage);
        if (!acp.Active())
            continue;   // Windows runs the rows of its own code page
        EXPECT_EQ(BoundaryText::FromAnsi(StringBuffer(c.bytes.data(), static_cast<int>(c.bytes.size()))), c.host);
    }
}

TEST(BoundaryTextTest, Utf8ReadsTheSameWhateverTheAnsiCodePage)
{
    ScopedEnv acp("PLENTOR_ACP", "1252");
    EXPECT_EQ(BoundaryText::FromUtf8(StringBuffer("Caf\xC3\xA9 \xE4\xB8\xAD")), u"Caf\u00e9 \u4e2d");
    EXPECT_EQ(BoundaryText::FromUtf8(StringBuffer("\xEF\xBB\xBFx")), u"\uFEFFx");
}

TEST(BoundaryTextTest, UnicodeFormKeepsEveryCharacter)
{
    ScopedEnv acp("PLENTOR_ACP", "1252");
    XString text = BoundaryText::ToUnicode(u"Caf\u00e9 \u4e2d");
    EXPECT_STREQ(text.GetUtf8(), "Caf\xC3\xA9 \xE4\xB8\xAD");
    XString none = BoundaryText::ToUnicode(nullptr);
    EXPECT_STREQ(none.GetUtf8(), "");
}

} // namespace
} // namespace plentor

#include "text/XString.h"

#include "support/ScopedCodePage.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

// Runs each test on the windows-1252 ANSI code page; a test may switch to
// another (the POSIX build only: Windows keeps the system's page, and the
// Windows test main leaves those tests out).
class XStringTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!codePage_.Active())
            GTEST_SKIP() << codePage_.Why();
    }

    void SetAcp(const char* codePage) { codePage_.SetAnsi(codePage); }

    testsupport::ScopedCodePage codePage_{"1252"};
};

TEST_F(XStringTest, EmptyValueHasAllFormsEmpty)
{
    XString x;
    EXPECT_STREQ(x.GetAnsi(), "");
    EXPECT_STREQ(x.GetUtf8(), "");
    EXPECT_EQ(std::u16string(x.GetUtf16()), u"");
    EXPECT_TRUE(x.IsAnsiExact());
    EXPECT_EQ(x.Length(), 0);

    x.SetUtf8("abc");
    x.SetUtf8(nullptr);
    EXPECT_EQ(std::u16string(x.GetUtf16()), u"");
    x.SetUtf16(u"abc", 0);
    EXPECT_STREQ(x.GetAnsi(), "");
}

TEST_F(XStringTest, Utf8EAcuteIsExactE9InWindows1252)
{
    XString x;
    x.SetUtf8("\xC3\xA9");
    EXPECT_STREQ(x.GetAnsi(), "\xE9");
    EXPECT_TRUE(x.IsAnsiExact());
}

TEST_F(XStringTest, EveryFormConvertsFromEverySetter)
{
    const std::u16string unicode = u"caf\u00E9 \u20AC";
    const std::string utf8 = "caf\xC3\xA9 \xE2\x82\xAC";
    const std::string ansi = "caf\xE9 \x80";
    for (int setter = 0; setter < 4; ++setter) {
        XString x;
        switch (setter) {
        case 0: x.SetAnsi(ansi.c_str()); break;
        case 1: x.SetUtf8(utf8.c_str()); break;
        case 2: x.SetUtf16z(unicode.c_str()); break;
        case 3: x.SetSystemString(unicode.c_str()); break;
        }
        EXPECT_EQ(std::u16string(x.GetUtf16()), unicode) << "setter " << setter;
        EXPECT_EQ(std::string(x.GetUtf8()), utf8) << "setter " << setter;
        EXPECT_EQ(std::string(x.GetAnsi()), ansi) << "setter " << setter;
        EXPECT_TRUE(x.IsAnsiExact()) << "setter " << setter;
        EXPECT_EQ(x.GetUtf8Buffer().ToStdString(), utf8);
    }
}

TEST_F(XStringTest, SetUtf16TakesCountUnits)
{
    XString x;
    x.SetUtf16(u"abc", 2);
    EXPECT_STREQ(x.GetUtf8(), "ab");
    EXPECT_EQ(std::u16string(x.GetUtf16()), u"ab");
}

TEST_F(XStringTest, SettingOneFormReplacesTheOthers)
{
    XString x;
    x.SetUtf8("first");
    EXPECT_STREQ(x.GetAnsi(), "first");
    EXPECT_EQ(std::u16string(x.GetUtf16()), u"first");
    x.SetUtf16z(u"second");
    EXPECT_STREQ(x.GetAnsi(), "second");
    EXPECT_STREQ(x.GetUtf8(), "second");
    x.SetAnsi("third");
    EXPECT_STREQ(x.GetUtf8(), "third");
    EXPECT_EQ(std::u16string(x.GetUtf16()), u"third");
}

TEST_F(XStringTest, CharacterOutsideTheCodePageMakesAnsiLossy)
{
    XString x;
    x.SetUtf16z(u"a\u03A9b");
    EXPECT_STREQ(x.GetAnsi(), "ab");
    EXPECT_FALSE(x.IsAnsiExact());
    EXPECT_EQ(std::u16string(x.GetUtf16()), u"a\u03A9b");   // the source form is kept

    x.SetUtf8("plain");
    EXPECT_TRUE(x.IsAnsiExact());
}

TEST_F(XStringTest, UnsupportedCodePageGivesEmptyLossyAnsi)
{
    SetAcp("12345");
    XString x;
    x.SetUtf8("abc");
    EXPECT_STREQ(x.GetAnsi(), "");
    EXPECT_FALSE(x.IsAnsiExact());
    EXPECT_STREQ(x.GetUtf8(), "abc");
}

TEST_F(XStringTest, Utf8CodePageMakesAnsiTheUtf8Bytes)
{
    SetAcp("65001");
    XString x;
    x.SetUtf16z(u"\u03A9");
    EXPECT_STREQ(x.GetAnsi(), "\xCE\xA9");
    EXPECT_TRUE(x.IsAnsiExact());
}

// Any code page with a table can be the active one, double-byte pages too.
TEST_F(XStringTest, AnsiFormUsesTheActiveCodePageTable)
{
    struct Case {
        const char* acp;
        std::u16string unicode;
        std::string ansi;
    };
    const Case kCases[] = {
        {"1251", u"\u041F\u0440\u0438\u0432\u0435\u0442", "\xCF\xF0\xE8\xE2\xE5\xF2"},   // Привет
        {"932", u"\u65E5\u672C\uFF76", "\x93\xFA\x96\x7B\xB6"},                          // 日本ｶ
        {"20866", u"\u041F", "\xF0"},                                                    // KOI8-R
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.acp);
        SetAcp(c.acp);
        XString fromUnicode;
        fromUnicode.SetUtf16z(c.unicode.c_str());
        EXPECT_EQ(std::string(fromUnicode.GetAnsi()), c.ansi);
        EXPECT_TRUE(fromUnicode.IsAnsiExact());

        XString fromAnsi;
        fromAnsi.SetAnsi(c.ansi.c_str());
        EXPECT_EQ(std::u16string(fromAnsi.GetUtf16()), c.unicode);
        XString roundTrip;
        roundTrip.SetUtf8(fromAnsi.GetUtf8());
        EXPECT_EQ(std::string(roundTrip.GetAnsi()), c.ansi);
    }
    SetAcp("1251");
    XString latin;
    latin.SetUtf16z(u"caf\u00E9");   // é is not in windows-1251
    EXPECT_STREQ(latin.GetAnsi(), "caf");
    EXPECT_FALSE(latin.IsAnsiExact());
}

// A remembered form is not recomputed, so switching the code page between
// calls shows which forms a change invalidated.
TEST_F(XStringTest, FormsAreRememberedUntilTheValueChanges)
{
    XString x;
    x.SetUtf8("\xC3\xA9");
    EXPECT_STREQ(x.GetAnsi(), "\xE9");
    SetAcp("65001");
    EXPECT_STREQ(x.GetAnsi(), "\xE9");

    x.TrimUtf8();                       // nothing to trim
    EXPECT_EQ(x.ReplaceAllUtf8("x", "y"), 0);
    EXPECT_STREQ(x.GetAnsi(), "\xE9");

    EXPECT_EQ(x.ReplaceAllUtf8("\xC3\xA9", "\xC3\xA8"), 1);
    EXPECT_STREQ(x.GetAnsi(), "\xC3\xA8");
}

TEST_F(XStringTest, TrimUtf8)
{
    XString x;
    x.SetUtf16z(u" \t\u00E9\r\n");
    x.TrimUtf8();
    EXPECT_EQ(std::u16string(x.GetUtf16()), u"\u00E9");
    EXPECT_STREQ(x.GetAnsi(), "\xE9");
    EXPECT_TRUE(x.EqualsUtf8("\xC3\xA9"));
    EXPECT_FALSE(x.EqualsUtf8("e"));
}

TEST_F(XStringTest, AppendMakesItsFormValidFirst)
{
    XString x;
    x.SetUtf16z(u"\u00E9");
    x.AppendAnsi("\xE8");
    EXPECT_STREQ(x.GetUtf8(), "\xC3\xA9\xC3\xA8");
    EXPECT_TRUE(x.IsAnsiExact());

    x.AppendUtf8("\xCE\xA9");   // not in windows-1252
    EXPECT_EQ(std::u16string(x.GetUtf16()), u"\u00E9\u00E8\u03A9");
    EXPECT_FALSE(x.IsAnsiExact());
    EXPECT_STREQ(x.GetAnsi(), "\xE9\xE8");

    XString empty;
    empty.AppendUtf8("a");
    EXPECT_STREQ(empty.GetAnsi(), "a");
}

TEST_F(XStringTest, LengthCountsAnsiBytesOrUtf16Units)
{
    SetAcp("65001");
    XString x;
    x.SetUtf16z(u"\u03A9\u00E9");
    EXPECT_EQ(x.Length(), 2);       // only the UTF-16 form is valid
    EXPECT_EQ(x.AnsiLength(), 4);   // computes the ANSI (UTF-8) form
    EXPECT_EQ(x.Length(), 4);

    x.Clear();
    EXPECT_EQ(x.Length(), 0);
    EXPECT_EQ(x.AnsiLength(), 0);
}

TEST_F(XStringTest, CopyKeepsTheValue)
{
    XString x;
    x.SetUtf8("\xC3\xA9");
    XString y(x);
    x.SetUtf8("other");
    EXPECT_EQ(std::u16string(y.GetUtf16()), u"\u00E9");
}

} // namespace
} // namespace plentor

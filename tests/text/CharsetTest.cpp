#include "text/Charset.h"
#include "text/CharsetNames.h"

#include "support/ScopedCodePage.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

struct NameCase {
    const char* name;
    int codePage;
};

TEST(CharsetNamesTest, CodePageFromNameNormalisesThenMatchesWholeName)
{
    const NameCase cases[] = {
        {"utf-8", 65001},
        {"UTF_8", 65001},
        {" Utf-8 ", 65001},
        {"\tLATIN1\r\n", 28591},
        {"l3", 28593},
        {"us", 20127},
        {"ISO_8859-1:1987", 28591},
        {"iso-8859-8 visual", 28598},   // the inner space is part of the name
        {"asmo-708", 708},              // first row of the table
        {"x-x-big5", 950},              // last row
        {"Shift_JIS", 932},
        {"ebcdic-latin9--euro", 20924},
        // Unknown, however short or close.
        {"l", 0},
        {"u", 0},
        {"l33", 0},
        {"utf8", 0},
        {"utf-8x", 0},
        {"xutf-8", 0},
        {"iso-8859-8  visual", 0},
        {"", 0},
        {"   ", 0},
        {"ansi", 0},
        {"default", 0},
    };
    for (const NameCase& c : cases)
        EXPECT_EQ(CharsetNames::CodePageFromName(c.name), c.codePage) << '"' << c.name << '"';
    EXPECT_EQ(CharsetNames::CodePageFromName(nullptr), 0);
}

TEST(CharsetNamesTest, LongNamesAreRejectedButLongPaddingIsTrimmed)
{
    std::string padded = std::string(500, ' ') + "koi8-r" + std::string(500, '\t');
    EXPECT_EQ(CharsetNames::CodePageFromName(padded.c_str()), 20866);
    std::string tooLong = "x-ebcdic-japaneseanduscanada" + std::string(1, 'x');
    EXPECT_EQ(CharsetNames::CodePageFromName("x-ebcdic-japaneseanduscanada"), 50931);
    EXPECT_EQ(CharsetNames::CodePageFromName(tooLong.c_str()), 0);
    EXPECT_EQ(CharsetNames::CodePageFromName(std::string(100000, 'a').c_str()), 0);
}

TEST(CharsetNamesTest, IsKnownCharset)
{
    EXPECT_TRUE(CharsetNames::IsKnownCharset("Windows-1252"));
    EXPECT_TRUE(CharsetNames::IsKnownCharset("x-user-defined"));
    EXPECT_FALSE(CharsetNames::IsKnownCharset("windows-1252x"));
    EXPECT_FALSE(CharsetNames::IsKnownCharset(nullptr));
}

TEST(CharsetNamesTest, CanonicalName)
{
    struct Case {
        int codePage;
        const char* name;   // null: none
    };
    const Case cases[] = {
        {28591, "iso-8859-1"}, {65001, "utf-8"}, {932, "shift_jis"},   {949, "ks_c_5601-1987"},
        {1200, "unicode"},     {20932, "euc-jp"}, {50222, "iso-2022-jp"}, {57011, "x-iscii-pa"},
        {709, nullptr},        {50930, nullptr},  {51950, nullptr},       {0, nullptr},
        {-1, nullptr},         {99999, nullptr},
    };
    for (const Case& c : cases) {
        StringBuffer out("previous");
        EXPECT_EQ(CharsetNames::CanonicalName(c.codePage, out), c.name != nullptr) << c.codePage;
        EXPECT_STREQ(out.GetString(), c.name ? c.name : "") << c.codePage;
    }
}

// Catches a typo in either table: every canonical name must be a name the
// lookup knows.
TEST(CharsetNamesTest, EveryCanonicalNameIsAKnownName)
{
    for (int codePage = 0; codePage <= 65535; ++codePage) {
        const char* name = CharsetNames::CanonicalNameOf(codePage);
        if (name) {
            EXPECT_NE(CharsetNames::CodePageFromName(name), 0) << codePage << " " << name;
        }
    }
}

struct SetByNameCase {
    const char* name;
    int codePage;
    const char* canonical;
};

TEST(CharsetTest, SetByNameStoresCodePageAndCanonicalName)
{
    const SetByNameCase cases[] = {
        {"latin1", 28591, "iso-8859-1"},
        {"UTF_8", 65001, "utf-8"},
        {"sjis", 932, "shift_jis"},
        {"cp819", 28591, "iso-8859-1"},
        {"asmo-449", 709, ""},            // a code page with names but no canonical name
        {"cp930", 50930, ""},
        {"X-User-Defined", 50000, ""},    // only the exact spelling is special
        {"nonsense", 0, ""},
        {"", 0, ""},
        {"default", 0, ""},
        {"x-user-defined", 0, ""},
        {"Default", 0, ""},               // not special and not a known name
    };
    for (const SetByNameCase& c : cases) {
        Charset cs;
        cs.SetByName("koi8-r");
        cs.SetByName(c.name);
        EXPECT_EQ(cs.GetCodePage(), c.codePage) << c.name;
        EXPECT_STREQ(cs.GetName().GetString(), c.canonical) << c.name;
    }
}

TEST(CharsetTest, SetByNameNullChangesNothing)
{
    Charset cs;
    cs.SetByName("latin2");
    cs.SetByName(nullptr);
    EXPECT_EQ(cs.GetCodePage(), 28592);
    EXPECT_STREQ(cs.GetName().GetString(), "iso-8859-2");
}

TEST(CharsetTest, SetByCodePage)
{
    Charset cs;
    cs.SetByCodePage(1252);
    EXPECT_EQ(cs.GetCodePage(), 1252);
    EXPECT_STREQ(cs.GetName().GetString(), "windows-1252");
    cs.SetByCodePage(709);   // no canonical name: cleared
    EXPECT_EQ(cs.GetCodePage(), 0);
    EXPECT_STREQ(cs.GetName().GetString(), "");
}

// "ANSI" and "OEM" name the system's code pages, whichever they are. Windows
// keeps its own pair, so there the row with its pages runs.
TEST(CharsetTest, AnsiAndOemSelectTheSystemCodePages)
{
    struct SystemPages {
        const char* ansi;
        const char* oem;
        SetByNameCase cases[3];
    };
    const SystemPages systems[] = {
        {"1251", "850", {{"ANSI", 1251, "windows-1251"}, {"ansi", 1251, "windows-1251"}, {"Oem", 850, "ibm850"}}},
        {"1252", "437", {{"ANSI", 1252, "windows-1252"}, {"ansi", 1252, "windows-1252"}, {"Oem", 437, "ibm437"}}},
    };
    int ran = 0;
    for (const SystemPages& system : systems) {
        testsupport::ScopedCodePage pages(system.ansi, system.oem);
        if (!pages.Active())
            continue;
        ++ran;
        for (const SetByNameCase& c : system.cases) {
            Charset cs;
            cs.SetByName(c.name);
            EXPECT_EQ(cs.GetCodePage(), c.codePage) << c.name;
            EXPECT_STREQ(cs.GetName().GetString(), c.canonical) << c.name;
        }
    }
    if (ran == 0)
        GTEST_SKIP() << "no row for this system's code pages";
}

TEST(CharsetTest, AnsiCodePageWithoutCanonicalNameClears)
{
    testsupport::ScopedCodePage acp("709");
    Charset cs;
    cs.SetByName("latin1");
    cs.SetByName("ansi");
    EXPECT_EQ(cs.GetCodePage(), 0);
    EXPECT_STREQ(cs.GetName().GetString(), "");
}

} // namespace
} // namespace plentor

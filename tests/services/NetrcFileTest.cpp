#include "services/NetrcFile.h"

#include "platform/Files.h"
#include "support/CaseName.h"
#include "support/ScopedEnv.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

using testsupport::ScopedEnv;
using testsupport::TempDirectory;

// One lookup in one file: what Find answers for host (and login).
struct LookupCase {
    const char* name;
    std::string text;
    const char* host;
    const char* login;        // "" for any
    bool found;
    const char* wantLogin;    // expected when found
    const char* wantPassword;
};

void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.name; }

class NetrcLookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(NetrcLookupTest, FindsTheAccount)
{
    const LookupCase& c = GetParam();
    NetrcFile netrc;
    std::string why;
    ASSERT_TRUE(netrc.Parse(c.text, why)) << why;
    NetrcFile::Account account;
    ASSERT_EQ(netrc.Find(c.host, c.login, account), c.found);
    if (!c.found) return;
    EXPECT_EQ(account.login, c.wantLogin);
    EXPECT_EQ(account.password, c.wantPassword);
    EXPECT_TRUE(account.hasLogin);
    EXPECT_TRUE(account.hasPassword);
}

const LookupCase kLookups[] = {
    {"OneLine", "machine api.example.org login me password secret\n", "api.example.org", "", true, "me", "secret"},
    {"OneTokenPerLine", "machine\napi.example.org\nlogin\nme\npassword\nsecret", "api.example.org", "", true, "me",
     "secret"},
    {"TabsAndCrLf", "machine\tapi.example.org\r\n\tlogin me\r\n\tpassword secret\r\n", "api.example.org", "", true,
     "me", "secret"},
    {"PasswordBeforeLogin", "machine h password p login l", "h", "", true, "l", "p"},
    {"HostWithoutCase", "machine API.Example.ORG login me password secret", "api.example.org", "", true, "me",
     "secret"},
    {"KeywordsWithoutCase", "MACHINE h LOGIN l PASSWORD p", "h", "", true, "l", "p"},
    {"SecondMachine", "machine a login la password pa\nmachine b login lb password pb", "b", "", true, "lb", "pb"},
    {"FirstOfTwoEntriesForAHost", "machine h login one password p1\nmachine h login two password p2", "h", "", true,
     "one", "p1"},
    {"EntryOfTheGivenLogin", "machine h login one password p1\nmachine h login two password p2", "h", "two", true,
     "two", "p2"},
    {"NoEntryOfTheGivenLogin", "machine h login one password p1", "h", "three", false, "", ""},
    {"OtherHostOnly", "machine a login l password p", "b", "", false, "", ""},
    {"HostIsNotASuffix", "machine example.org login l password p", "api.example.org", "", false, "", ""},
    {"DefaultForOtherHosts", "machine a login la password pa\ndefault login ld password pd", "b", "", true, "ld",
     "pd"},
    {"MachineBeatsAnEarlierDefault", "default login ld password pd\nmachine a login la password pa", "a", "", true,
     "la", "pa"},
    {"AccountIsReadAndLeftUnused", "machine h login l account acct password p", "h", "", true, "l", "p"},
    {"MacroSkippedUpToTheEmptyLine",
     "macdef init\ncd /pub\nmachine fake login x password y\n\nmachine h login l password p", "h", "", true, "l", "p"},
    {"MacroEndsAtAnEmptyCrLfLine", "macdef init\r\nmachine h login x password y\r\n\r\nmachine h login l password p",
     "h", "", true, "l", "p"},
    {"MacroInsideAnEntryLeavesItOpen", "machine h login l\nmacdef m\nbinary\n\npassword p", "h", "", true, "l", "p"},
    {"QuotedPasswordWithSpaces", "machine h login l password \"two words\"", "h", "", true, "l", "two words"},
    {"QuotedEscapes", "machine h login \"a\\\"b\" password \"c\\\\d\\te\\nf\"", "h", "", true, "a\"b",
     "c\\d\te\nf"},
    {"QuotedEmptyPassword", "machine h login l password \"\"", "h", "", true, "l", ""},
    {"QuoteInsideABareToken", "machine h login l password pa\"ss", "h", "", true, "l", "pa\"ss"},
    {"UnknownWordsSkipped", "machine h port 21 login l password p", "h", "", true, "l", "p"},
    {"AccountBeforeAnyEntryBelongsToNone", "login stray password stray\nmachine h login l password p", "h", "",
     true, "l", "p"},
};

INSTANTIATE_TEST_SUITE_P(Files, NetrcLookupTest, ::testing::ValuesIn(kLookups), testsupport::ByCaseName());

TEST(NetrcFileTest, EntryWithoutPasswordIsFoundWithoutOne)
{
    NetrcFile netrc;
    std::string why;
    ASSERT_TRUE(netrc.Parse("machine h login l", why));
    NetrcFile::Account account;
    ASSERT_TRUE(netrc.Find("h", "", account));
    EXPECT_TRUE(account.hasLogin);
    EXPECT_FALSE(account.hasPassword);
}

// Malformed files: Parse fails with a line number, and nothing stays found.
TEST(NetrcFileTest, MalformedFilesAreRefusedWithTheirLine)
{
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"machine h login l\npassword", "line 3: password without a value"},
        {"machine h\nlogin", "line 3: login without a value"},
        {"machine h login l password p\nmachine", "machine without a host"},
        {"machine h login l\npassword \"open", "line 3: a quote is left open"},
        {"machine h login l password " + std::string(NetrcFile::kMaxTokenBytes + 1, 'x'), "longer than"},
    };
    for (const auto& c : cases) {
        NetrcFile netrc;
        std::string why;
        EXPECT_FALSE(netrc.Parse("machine ok login l password p\n" + c.text, why)) << c.text;
        EXPECT_NE(why.find(c.message), std::string::npos) << why;
        NetrcFile::Account account;
        EXPECT_FALSE(netrc.Find("ok", "", account)) << c.text;
    }
}

TEST(NetrcFileTest, ParseReplacesWhatWasReadBefore)
{
    NetrcFile netrc;
    std::string why;
    ASSERT_TRUE(netrc.Parse("machine a login l password p", why));
    ASSERT_TRUE(netrc.Parse("machine b login l password p", why));
    NetrcFile::Account account;
    EXPECT_FALSE(netrc.Find("a", "", account));
    EXPECT_TRUE(netrc.Find("b", "", account));
}

// NETRC wins; else .netrc in HOME (USERPROFILE when HOME is unset); _netrc
// only when .netrc is missing.
TEST(NetrcFileTest, DefaultPathFollowsTheEnvironment)
{
    TempDirectory home("plentor_netrc");
    ASSERT_FALSE(home.Path().empty());
    const std::string dotted = home.File(".netrc");
    const std::string underscored = home.File("_netrc");
    platform::FileError err;

    ScopedEnv netrcVariable("NETRC", "/elsewhere/netrc");
    ScopedEnv homeVariable("HOME", home.Path().c_str());
    ScopedEnv profile("USERPROFILE", nullptr);
    EXPECT_EQ(NetrcFile::DefaultPath(), "/elsewhere/netrc");

    netrcVariable.Set(nullptr);
    EXPECT_EQ(NetrcFile::DefaultPath(), dotted);
    ASSERT_TRUE(platform::WriteWholeFile(underscored.c_str(), "x", 1, err)) << err.message;
    EXPECT_EQ(NetrcFile::DefaultPath(), underscored);
    ASSERT_TRUE(platform::WriteWholeFile(dotted.c_str(), "x", 1, err)) << err.message;
    EXPECT_EQ(NetrcFile::DefaultPath(), dotted);

    homeVariable.Set(nullptr);
    profile.Set(home.Path().c_str());
    EXPECT_EQ(NetrcFile::DefaultPath(), dotted);
    profile.Set(nullptr);
    EXPECT_EQ(NetrcFile::DefaultPath(), "");
}

} // namespace
} // namespace plentor

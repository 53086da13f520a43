#include "module/DeliciousSubmit.h"

#include "services/ServiceWire.h"
#include "support/LogText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace plentor {
namespace {

using testsupport::BookmarkEmulator;
using testsupport::ScopedEnv;

// The three values the page step leaves behind, as the host reads them.
struct PageValues {
    std::u16string title, extended, tags;
};

// Tags come in hash order; compared as a sorted list of words.
std::vector<std::u16string> SortedWords(const std::u16string& text)
{
    std::vector<std::u16string> words;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(u' ', start);
        if (end == std::u16string::npos) end = text.size();
        if (end > start) words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::sort(words.begin(), words.end());
    return words;
}

void ExpectLastValues(const DeliciousSubmit& o, const PageValues& expected)
{
    EXPECT_EQ(o.GetLastTitle(), expected.title);
    EXPECT_EQ(o.GetLastExtended(), expected.extended);
    EXPECT_EQ(SortedWords(o.GetLastTags()), SortedWords(expected.tags));
}

std::vector<std::u16string> Links(DeliciousSubmit& o)
{
    std::vector<std::u16string> links;
    for (long i = 0; i < o.GetNumLinks(); ++i) links.push_back(o.GetLink(i));
    return links;
}

TEST(DeliciousSubmitStateTest, FreshObjectIsEmpty)
{
    DeliciousSubmit o;
    ExpectLastValues(o, PageValues{});
    EXPECT_EQ(o.GetNumLinks(), 0);
    EXPECT_EQ(o.GetLink(0), u"");
}

class DeliciousSubmitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        emulator_ = std::make_unique<BookmarkEmulator>(std::vector<std::pair<std::string, std::string>>{
            {"cafe.html", "<html><head><meta charset=\"utf-8\"><title>Caf\xC3\xA9 Recipes</title>"
                          "<meta name=\"description\" content=\"Cr\xC3\xA8me desserts\"></head>"
                          "<body>desserts desserts <a href=\"/pages/more.html\">more</a></body></html>"},
        });
    }
    static void TearDownTestSuite() { emulator_.reset(); }

    void SetUp() override
    {
        if (!emulator_->Started()) GTEST_SKIP() << emulator_->Error();
    }

    // An object pointed at the emulator with the demo account (or another password).
    static void Prepare(DeliciousSubmit& o, const char16_t* password = u"demo")
    {
        ASSERT_TRUE(o.SetEndpoint(emulator_->Base().c_str()));
        o.SetLogin(u"demo");
        o.SetPassword(password);
    }
    static std::u16string Url(const std::string& page)
    {
        const std::string url = emulator_->Base() + "/pages/" + page;
        return std::u16string(url.begin(), url.end());
    }
    static size_t DeliciousRequestsSince(size_t mark)
    {
        size_t n = 0;
        for (const auto& e : emulator_->JournalSince(mark)) n += e.service == "delicious" ? 1 : 0;
        return n;
    }

    static inline std::unique_ptr<BookmarkEmulator> emulator_;
    // What cafe.html yields, whatever the active code page: the page step writes UTF-8.
    const PageValues cafe_{u"Caf\u00e9 Recipes", u"Cr\u00e8me desserts", u"caf\u00e9 cr\u00e8me desserts recipes"};
};

TEST_F(DeliciousSubmitTest, FetchPageInfoFillsTheLastValuesAndTheLinks)
{
    ScopedEnv acp("PLENTOR_ACP", "1252");
    DeliciousSubmit o;
    EXPECT_EQ(o.FetchPageInfo(Url("cafe.html")), 1);
    ExpectLastValues(o, cafe_);
    EXPECT_EQ(Links(o), (std::vector<std::u16string>{Url("more.html")}));
}

TEST_F(DeliciousSubmitTest, FailedFetchEmptiesTheLastValues)
{
    const std::u16string urls[] = {Url("missing.html"), u"", u"no scheme or host"};
    for (const std::u16string& url : urls) {
        SCOPED_TRACE(std::string(url.begin(), url.end()));
        DeliciousSubmit o;
        ASSERT_EQ(o.FetchPageInfo(Url("cafe.html")), 1);
        EXPECT_EQ(o.FetchPageInfo(url), 0);
        ExpectLastValues(o, PageValues{});
    }
    DeliciousSubmit o;
    EXPECT_EQ(o.FetchPageInfo(nullptr), 0);
}

TEST_F(DeliciousSubmitTest, SubmitExplicitLeavesTheLastValuesAlone)
{
    DeliciousSubmit o;
    Prepare(o);
    ASSERT_EQ(o.FetchPageInfo(Url("cafe.html")), 1);
    EXPECT_EQ(o.SubmitExplicit(u"http://example.org/", u"Other", nullptr, u"x"), 1);
    ExpectLastValues(o, cafe_);
}

TEST_F(DeliciousSubmitTest, SubmitUrlKeepsWhatThePageGaveWhateverTheOutcome)
{
    struct Case {
        const char* name;
        const char16_t* password;
        long result;
    } cases[] = {
        {"service takes it", u"demo", 1},
        {"service refuses the account", u"wrong", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeliciousSubmit o;
        Prepare(o, c.password);
        const size_t mark = emulator_->Journal().size();
        EXPECT_EQ(o.SubmitUrl(Url("cafe.html")), c.result);
        ExpectLastValues(o, cafe_);
        EXPECT_EQ(DeliciousRequestsSince(mark), 1u);
    }
}

TEST_F(DeliciousSubmitTest, SubmitUrlOnAMissingPageSendsNothing)
{
    DeliciousSubmit o;
    Prepare(o);
    ASSERT_EQ(o.FetchPageInfo(Url("cafe.html")), 1);
    const size_t mark = emulator_->Journal().size();
    EXPECT_EQ(o.SubmitUrl(Url("missing.html")), 0);
    ExpectLastValues(o, PageValues{});
    EXPECT_EQ(DeliciousRequestsSince(mark), 0u);
}

class DeliciousSubmitLinksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = std::filesystem::temp_directory_path() / ("plentor_links_" + std::to_string(rd()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // The path of a file in the test's directory as the host passes it (the
    // directory's own name is ASCII).
    std::u16string Path(const std::u16string& name) const
    {
        const std::string dir = dir_.string() + "/";
        return std::u16string(dir.begin(), dir.end()) + name;
    }
    // Writes a file (name in UTF-8) and gives its path as the host passes it.
    std::u16string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(dir_ / std::filesystem::path(std::u8string(name.begin(), name.end())), std::ios::binary) << bytes;
        return Path(std::u16string(name.begin(), name.end()));
    }

    std::filesystem::path dir_;
};

TEST_F(DeliciousSubmitLinksTest, LoadUrlsAddsDistinctLines)
{
    DeliciousSubmit o;
    const std::u16string file = Write("urls.txt", "http://a/\r\nhttp://b/\n\nhttp://a/\nhttp://c/");
    EXPECT_EQ(o.LoadUrls(file), 1);
    EXPECT_EQ(o.LoadUrls(file), 1);
    EXPECT_EQ(Links(o), (std::vector<std::u16string>{u"http://a/", u"http://b/", u"http://c/"}));
}

TEST_F(DeliciousSubmitLinksTest, UnreadableFileLeavesTheListAsItWas)
{
    DeliciousSubmit o;
    ASSERT_EQ(o.LoadUrls(Write("urls.txt", "http://a/\n")), 1);
    const std::u16string missing = Path(u"missing.txt");
    const std::u16string directory = Path(u"");
    const HostString bad[] = {missing, directory, nullptr};
    for (const HostString& name : bad) {
        EXPECT_EQ(o.LoadUrls(name), 0);
        EXPECT_EQ(Links(o), (std::vector<std::u16string>{u"http://a/"}));
    }
}

TEST_F(DeliciousSubmitLinksTest, LinksAreReadInTheAnsiCodePage)
{
    ScopedEnv acp("PLENTOR_ACP", "1252");
    DeliciousSubmit o;
    ASSERT_EQ(o.LoadUrls(Write("urls.txt", "http://example.org/caf\xE9\n")), 1);
    EXPECT_EQ(o.GetLink(0), u"http://example.org/caf\u00e9");
}

TEST_F(DeliciousSubmitLinksTest, NonAsciiFileNameReachesTheFile)
{
    DeliciousSubmit o;   // the default active code page is UTF-8, as the file system's names are
    Write("caf\xC3\xA9.txt", "http://a/\n");
    EXPECT_EQ(o.LoadUrls(Path(u"caf\u00e9.txt")), 1);
    EXPECT_EQ(o.GetNumLinks(), 1);
}

TEST_F(DeliciousSubmitLinksTest, IndexOutsideTheListGivesEmptyText)
{
    DeliciousSubmit o;
    ASSERT_EQ(o.LoadUrls(Write("urls.txt", "http://a/\nhttp://b/\n")), 1);
    // Past INT_MAX where long is wider than int (LP64); LONG_MAX again on Windows.
    const long outside[] = {-1, 2, LONG_MAX, LONG_MIN, static_cast<long>(std::min<long long>(1LL + INT_MAX, LONG_MAX))};
    for (long index : outside) {
        SCOPED_TRACE(index);
        EXPECT_EQ(o.GetLink(index), u"");
    }
    EXPECT_EQ(o.GetLink(1), u"http://b/");
}

TEST_F(DeliciousSubmitLinksTest, ClearLinksEmptiesTheList)
{
    DeliciousSubmit o;
    const std::u16string file = Write("urls.txt", "http://a/\n");
    ASSERT_EQ(o.LoadUrls(file), 1);
    o.ClearLinks();
    EXPECT_EQ(o.GetNumLinks(), 0);
    ASSERT_EQ(o.LoadUrls(file), 1);   // the same URL is new again
    EXPECT_EQ(o.GetNumLinks(), 1);
}

TEST(DeliciousSubmitSleepTest, SleepsWholeSecondsAndRefusesCountsItCannotKeep)
{
    using Clock = std::chrono::steady_clock;
    struct Case {
        long seconds;
        long minMs, maxMs;
        bool refused;   // logged, and returns at once
    } cases[] = {
        {0, 0, 200, false},
        {1, 990, 3000, false},
        {-1, 0, 200, true},
        {LONG_MIN, 0, 200, true},
        {LONG_MAX, 0, 200, true},
        {2147484, 0, 200, true},   // its milliseconds no longer fit 32 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        DeliciousSubmit o;
        const auto start = Clock::now();
        o.SleepSec(c.seconds);
        const long ms = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        EXPECT_GE(ms, c.minMs);
        EXPECT_LE(ms, c.maxMs);
        EXPECT_EQ(testsupport::LogText(o.Client().GetLog()).find("out of range") != std::string::npos, c.refused);
    }
}

} // namespace
} // namespace plentor

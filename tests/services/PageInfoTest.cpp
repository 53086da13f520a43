#include "services/ClsHtmlUtil.h"
#include "services/ClsStringArray.h"
#include "services/DeliciousClient.h"

#include "services/ServiceWire.h"
#include "support/BookmarkEmulator.h"
#include "support/LoopbackSocket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace plentor {
namespace {

using testsupport::BookmarkEmulator;
using testsupport::FirefoxGet;

// "demo:demo" in Base64.
constexpr const char* kDemoAuth = "Authorization: Basic ZGVtbzpkZW1v\r\n";

std::vector<std::string> Entries(const ClsStringArray& list)
{
    std::vector<std::string> out;
    StringBuffer s;
    for (int i = 0; i < list.Count(); ++i) {
        list.GetString(i, s);
        out.push_back(s.ToStdString());
    }
    return out;
}

// The words of a space-separated tag line, sorted: which words were chosen,
// whatever the hash order lists them in.
std::vector<std::string> SortedWords(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;)
        words.push_back(w);
    std::sort(words.begin(), words.end());
    return words;
}

// A loopback URL on which nothing listens: the port was bound and released.
std::string UnreachableUrl()
{
    return "http://127.0.0.1:" + std::to_string(testsupport::LoopbackSocket::FreePort()) + "/page.html";
}

// ---- Pure parts: the title rule and the special domains -----------------

TEST(PageInfoTitleTest, TidyTitle)
{
    using Style = DeliciousClient::TitleStyle;
    struct Case {
        const char* raw;
        Style style;
        const char* expected;
    } cases[] = {
        {"\n  Winter   Gardening\t-\r\n Site  ", Style::AsWritten, "Winter Gardening - Site"},
        {"gardening tips - Dictionary.com", Style::AsWritten, "gardening tips - Dictionary.com"},
        {"Tom &amp; Jerry", Style::AsWritten, "Tom &amp; Jerry"},
        {"", Style::AsWritten, ""},
        // Sites whose titles carry their own name after a hyphen
        {"gardening tips - Dictionary.com", Style::SiteTitle, "Gardening Tips"},
        {"  serendipity\n\tnoun -Site", Style::SiteTitle, "Serendipity Noun"},
        {"no hyphen at all", Style::SiteTitle, "No Hyphen At All"},
        {"self-help - Site", Style::SiteTitle, "Self"},
        {"- only a site name", Style::SiteTitle, ""},
        {"ALREADY upper 3d x", Style::SiteTitle, "ALREADY Upper 3d X"},
        // Non-ASCII letters are left alone so the UTF-8 stays valid.
        {"caf\xC3\xA9 \xC3\xA9t\xC3\xA9 - Site", Style::SiteTitle, "Caf\xC3\xA9 \xC3\xA9t\xC3\xA9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        StringBuffer title(c.raw);
        DeliciousClient::TidyTitle(title, c.style);
        EXPECT_EQ(title.ToStdString(), c.expected);
    }
}

TEST(PageInfoTitleTest, SpecialDomainsAreMatchedByRegistrableDomain)
{
    struct Case {
        const char* url;
        bool special;
    } cases[] = {
        {"http://dictionary.com/browse/rose", true},
        {"https://www.thesaurus.com/browse/rose", true},
        {"http://en.wiktionary.org/wiki/rose", true},
        {"http://WWW.UrbanDictionary.COM/define.php?term=x", true},   // host names are lower-cased
        {"http://mydictionary.com/", false},
        {"http://dictionary.com.example.net/", false},
        {"http://example.org/dictionary.com", false},
        {"http://127.0.0.1:8080/", false},
        {"", false},
        {nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url ? c.url : "(null)");
        EXPECT_EQ(DeliciousClient::IsSpecialDomain(c.url), c.special);
    }
}

// ---- Links of a page to its own site -------------------------------------

TEST(ExtractPageLinksTest, KeepsSameSiteLinksMadeAbsolute)
{
    const char* page = "http://www.garden.example/dir/page.html";
    struct Case {
        const char* name;
        const char* html;
        const char* siteDomain;
        std::vector<std::string> expected;
    } cases[] = {
        {"fragment, relative, other site, upper-case own site",
         "<a href=\"#top\">t</a><a href=\"/pages/spring.html\">s</a><a href=\"http://example.org/x\">o</a>"
         "<a href=\"HTTP://WWW.Garden.Example/Up\">u</a>",
         "garden.example",
         {"http://www.garden.example/pages/spring.html", "HTTP://WWW.Garden.Example/Up"}},
        // A query alone replaces the page's name, as the Windows URL combination does.
        {"relative forms resolve against the page",
         "<a href=\"other.html\">a</a> <a href=\"../up.html\">b</a> <a href=\"?q=1\">c</a>"
         " <a href=\"//garden.example/n\">d</a>",
         "garden.example",
         {"http://www.garden.example/dir/other.html", "http://www.garden.example/up.html",
          "http://www.garden.example/dir/?q=1", "http://garden.example/n"}},
        {"upper-case anchors, spacing and backslashes",
         "<A HREF=\"https://garden.example/s\">x</A><a  href = ' x.html '>y</a><a href=\"\\dir\\b.html\">z</a>",
         "garden.example",
         {"https://garden.example/s", "http://www.garden.example/dir/x.html", "http://www.garden.example/dir/b.html"}},
        {"duplicates are kept once, where first seen",
         "<a href=\"/a\">1</a><a href=\"/b\">2</a><a href=\"/a\">3</a><a href=\"http://www.garden.example/b\">4</a>",
         "garden.example",
         {"http://www.garden.example/a", "http://www.garden.example/b"}},
        {"links that are not web links",
         "<a href=\"mailto:me@garden.example\">m</a><a href=\"ftp://garden.example/f\">f</a>"
         "<a href=\"javascript:go('garden.example')\">j</a><a name=\"x\">n</a><a href=\"\">e</a>",
         "garden.example",
         {}},
        // The domain is looked for anywhere in the link, as a plain substring.
        {"domain in the query of another site",
         "<a href=\"http://other.example/?from=garden.example\">q</a>", "garden.example",
         {"http://other.example/?from=garden.example"}},
        {"no site domain keeps nothing", "<a href=\"/a\">1</a><a href=\"http://www.garden.example/\">2</a>", "", {}},
        {"no anchors", "<p>plain text, <b>no links</b></p>", "garden.example", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClsStringArray list;
        list.SetUnique(true);
        ClsHtmlUtil::ExtractPageLinks(page, c.html, list, c.siteDomain);
        EXPECT_EQ(Entries(list), c.expected);
    }
}

TEST(ExtractPageLinksTest, AddsOnlyNewLinksToAFilledList)
{
    ClsStringArray list;
    list.SetUnique(true);
    list.Append("http://garden.example/known");
    ClsHtmlUtil::ExtractPageLinks("http://garden.example/", "<a href=\"/new\">n</a><a href=\"/known\">k</a>", list,
                                  "garden.example");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"http://garden.example/known", "http://garden.example/new"}));
}

// ---- Page fetches against the emulator ------------------------------------

// A Cyrillic word in UTF-8 and in ISO-8859-5: "Москва" and "москва".
constexpr const char* kMoscowUtf8 = "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0";
constexpr const char* kMoscowLowerUtf8 = "\xD0\xBC\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0";

class PageInfoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { emulator_ = std::make_unique<BookmarkEmulator>(Pages()); }
    static void TearDownTestSuite() { emulator_.reset(); }

    void SetUp() override
    {
        if (!emulator_->Started()) GTEST_SKIP() << emulator_->Error();
        mark_ = emulator_->Journal().size();
    }

    static std::vector<std::pair<std::string, std::string>> Pages()
    {
        const std::string moscow = kMoscowUtf8;
        return {
            {"garden.html",
             "<html><head><meta charset=\"utf-8\">\n<title>\n  Winter   Gardening:\tRoses\r\n</title>\n"
             "<meta name=\"description\" content=\"  How to keep\n roses   alive &amp; well. \">\n"
             "<meta name=\"keywords\" content=\"roses, frost\">\n</head><body>\n"
             "<h1>Winter Gardening</h1><p>Roses need mulch. Mulch the roses before frost.</p>\n"
             "<script>var hidden = 'javascript javascript javascript';</script>\n"
             "<a href=\"/pages/spring.html\">Spring</a> <a href=\"#top\">top</a>\n"
             "<a href=\"http://example.org/roses\">elsewhere</a> <a href=\"spring.html\">again</a>\n"
             "</body></html>"},
            {"bare.html", "<html><body><p>a b c 12 34</p></body></html>"},
            {"stopwords.html",
             "<html><head><title>The links</title></head><body>links links links and the the garden "
             "garden pages keywords</body></html>"},
            {"latin1-in-utf8.html",
             "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
             "<title>Caf\xC3\xA9 cr\xC3\xA8me</title></head><body>Caf\xC3\xA9 caf\xC3\xA9 cr\xC3\xA8me</body></html>"},
            {"cp1252.html",
             "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
             "<title>Caf\xE9 cr\xE8me</title></head><body>Caf\xE9 caf\xE9 cr\xE8me</body></html>"},
            {"cyrillic.html",
             "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
             "<title>" + moscow + "</title></head><body>" + moscow + " " + kMoscowLowerUtf8 +
                 " river</body></html>"},
            {"submit.html",
             "<html><head><title>Caf\xC3\xA9 &amp; Cr\xC3\xA8me</title>"
             "<meta name=\"description\" content=\"A/B: c\"></head>"
             "<body>recipes recipes desserts</body></html>"},
        };
    }

    static std::string Url(const std::string& page) { return emulator_->Base() + "/pages/" + page; }
    std::vector<BookmarkEmulator::Entry> NewEntries() const { return emulator_->JournalSince(mark_); }
    static std::string Expected(const std::string& text) { return testsupport::WithBase(text, emulator_->Base()); }

    static inline std::unique_ptr<BookmarkEmulator> emulator_;
    size_t mark_ = 0;
};

struct PageCase {
    const char* page;
    const char* title;
    const char* extended;
    std::vector<std::string> tags;   // sorted
};

TEST_F(PageInfoTest, DerivesTitleDescriptionAndTags)
{
    const PageCase cases[] = {
        // Script text never counts; title, keywords and description do.
        {"garden.html", "Winter Gardening: Roses", "How to keep roses alive &amp; well.",
         {"alive", "frost", "gardening", "mulch", "roses", "spring", "winter"}},
        // Short tokens and digits never become tags; nothing else is missing.
        {"bare.html", "", "", {}},
        // Stop words and their plurals are left out.
        {"stopwords.html", "The links", "", {"garden"}},
        // UTF-8 text that Latin-1 holds, and a page in windows-1252: the
        // same words, handed back in UTF-8.
        {"latin1-in-utf8.html", "Caf\xC3\xA9 cr\xC3\xA8me", "", {"caf\xC3\xA9", "cr\xC3\xA8me"}},
        {"cp1252.html", "Caf\xC3\xA9 cr\xC3\xA8me", "", {"caf\xC3\xA9", "cr\xC3\xA8me"}},
        // Cyrillic words are compared in ISO-8859-5, so case folds.
        {"cyrillic.html", kMoscowUtf8, "", {"river", kMoscowLowerUtf8}},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.page);
        DeliciousClient client;
        StringBuffer title("old"), extended("old"), tags("old");
        ASSERT_TRUE(client.FetchPageInfo(Url(c.page).c_str(), title, extended, tags));
        EXPECT_EQ(title.ToStdString(), c.title);
        EXPECT_EQ(extended.ToStdString(), c.extended);
        EXPECT_EQ(SortedWords(tags.ToStdString()), c.tags) << tags.ToStdString();
        EXPECT_EQ(tags.ToStdString().find("  "), std::string::npos);
    }
}

TEST_F(PageInfoTest, FetchesWithBrowserHeadersAndNoAccount)
{
    DeliciousClient client;
    client.Login().SetString("demo");
    client.Password().SetString("demo");
    StringBuffer title, extended, tags;
    ASSERT_TRUE(client.FetchPageInfo(Url("garden.html").c_str(), title, extended, tags));
    const auto entries = NewEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].service, "");
    EXPECT_EQ(entries[0].raw, Expected(FirefoxGet("/pages/garden.html")));
}

TEST_F(PageInfoTest, SameTagsOnEveryFetchAndLinksKeptOnce)
{
    DeliciousClient client;
    StringBuffer title, extended, first, again;
    ASSERT_TRUE(client.FetchPageInfo(Url("garden.html").c_str(), title, extended, first));
    ASSERT_TRUE(client.FetchPageInfo(Url("garden.html").c_str(), title, extended, again));
    EXPECT_EQ(first.ToStdString(), again.ToStdString());
    // The page's own-site links, absolute; the fragment and the other site are left out.
    EXPECT_EQ(Entries(client.Links()), (std::vector<std::string>{Url("spring.html")}));

    // Links accumulate across pages.
    client.Links().Append("http://example.org/loaded");
    ASSERT_TRUE(client.FetchPageInfo(Url("stopwords.html").c_str(), title, extended, again));
    EXPECT_EQ(client.Links().Count(), 2);
}

TEST_F(PageInfoTest, FailedFetchLeavesNothing)
{
    struct Case {
        const char* name;
        std::string url;
        int status;
    } cases[] = {
        {"missing page", Url("missing.html"), 404},
        {"nothing listening", UnreachableUrl(), 0},
        {"not a URL", "no scheme or host", 0},
        {"empty URL", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeliciousClient client;
        client.Links().Append("http://example.org/kept");
        StringBuffer title("old"), extended("old"), tags("old");
        EXPECT_FALSE(client.FetchPageInfo(c.url.c_str(), title, extended, tags));
        EXPECT_TRUE(title.IsEmpty());
        EXPECT_TRUE(extended.IsEmpty());
        EXPECT_TRUE(tags.IsEmpty());
        EXPECT_EQ(client.GetLastFetchStatus(), c.status);
        EXPECT_FALSE(client.LastFetchWorked());
        EXPECT_EQ(Entries(client.Links()), (std::vector<std::string>{"http://example.org/kept"}));
        EXPECT_FALSE(client.GetLastHttpLog().IsEmpty());
    }
    DeliciousClient client;
    StringBuffer title("old"), extended("old"), tags("old");
    EXPECT_FALSE(client.FetchPageInfo(nullptr, title, extended, tags));
    EXPECT_TRUE(title.IsEmpty() && extended.IsEmpty() && tags.IsEmpty());
}

TEST_F(PageInfoTest, SubmitUrlSendsNothingWhenThePageFails)
{
    for (const std::string& url : {Url("missing.html"), UnreachableUrl()}) {
        SCOPED_TRACE(url);
        const size_t mark = emulator_->Journal().size();
        DeliciousClient client;
        ASSERT_TRUE(client.SetEndpoint(emulator_->Base().c_str()));
        client.Login().SetString("demo");
        client.Password().SetString("demo");
        StringBuffer title("old"), extended("old"), tags("old");
        EXPECT_FALSE(client.SubmitUrl(url.c_str(), title, extended, tags));
        EXPECT_TRUE(title.IsEmpty() && extended.IsEmpty() && tags.IsEmpty());
        for (const auto& entry : emulator_->JournalSince(mark))
            EXPECT_NE(entry.service, "delicious") << entry.requestLine;
    }
}

TEST_F(PageInfoTest, SubmitUrlSendsTheDerivedValues)
{
    DeliciousClient client;
    ASSERT_TRUE(client.SetEndpoint(emulator_->Base().c_str()));
    client.Login().SetString("demo");
    client.Password().SetString("demo");
    const std::string url = Url("submit.html");
    StringBuffer title, extended, tags;
    EXPECT_TRUE(client.SubmitUrl(url.c_str(), title, extended, tags));
    EXPECT_EQ(title.ToStdString(), "Caf\xC3\xA9 &amp; Cr\xC3\xA8me");
    EXPECT_EQ(extended.ToStdString(), "A/B: c");
    EXPECT_EQ(SortedWords(tags.ToStdString()), (std::vector<std::string>{"caf\xC3\xA9", "cr\xC3\xA8me", "desserts",
                                                                          "recipes"}));

    const auto entries = NewEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].requestLine, "GET /pages/submit.html HTTP/1.1");
    EXPECT_EQ(entries[1].service, "delicious");
    // The tags go out in the order the page gave them, UTF-8 bytes encoded.
    std::string encodedTags;
    for (char c : tags.ToStdString()) {
        static const char kHex[] = "0123456789ABCDEF";
        const unsigned char b = static_cast<unsigned char>(c);
        if (c == ' ') encodedTags += '+';
        else if (std::isalnum(b) && b < 0x80) encodedTags += c;
        else encodedTags += std::string("%") + kHex[b >> 4] + kHex[b & 15];
    }
    const std::string encodedUrl = "http%3A%2F%2F127%2E0%2E0%2E1%3A" + std::to_string(emulator_->Port()) +
                                   "%2Fpages%2Fsubmit%2Ehtml";
    EXPECT_EQ(entries[1].raw,
              Expected(FirefoxGet("/v1/posts/add?url=" + encodedUrl +
                                      "&description=Caf%C3%A9+%26amp%3B+Cr%C3%A8me&extended=A%2FB%3A+c&tags=" +
                                      encodedTags,
                                  kDemoAuth)));
    // The log holds the page fetch's exchange and then the submission's.
    const std::string log = client.GetLastHttpLog().ToStdString();
    const size_t second = log.find("ZentrelLog", 1);
    EXPECT_EQ(log.find("ZentrelLog"), 0u) << log;
    EXPECT_NE(second, std::string::npos) << log;
}

TEST_F(PageInfoTest, SubmitUrlKeepsThePageValuesWhenTheServiceRefuses)
{
    DeliciousClient client;
    ASSERT_TRUE(client.SetEndpoint(emulator_->Base().c_str()));
    client.Login().SetString("demo");
    client.Password().SetString("wrong");
    StringBuffer title, extended, tags;
    EXPECT_FALSE(client.SubmitUrl(Url("submit.html").c_str(), title, extended, tags));
    EXPECT_TRUE(client.LastFetchWorked());
    EXPECT_EQ(extended.ToStdString(), "A/B: c");
    EXPECT_FALSE(tags.IsEmpty());
    const auto entries = NewEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].status, 401);
}

} // namespace
} // namespace plentor

// Every object against the service emulator: the host's strings reach the
// right fields in the right code page, and the outcome comes back as 1 or 0.
#include "module/Blogmarks.h"
#include "module/DeliciousSubmit.h"
#include "module/FurlSubmit.h"
#include "module/Netvouz.h"
#include "module/QuorlaneSubmit.h"
#include "module/Shadows.h"
#include "module/Simpy.h"
#include "module/Spurl.h"

#include "module/ObjectWire.h"
#include "services/ServiceWire.h"
#include "support/ScopedCodePage.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace plentor {
namespace {

using testsupport::RequestFields;

using Results = std::vector<long>;
using Fields = std::map<std::string, std::string>;

constexpr const char16_t* kUrl = u"http://example.org/u";
constexpr const char16_t* kExtended = u"E";
constexpr const char16_t* kTags = u"g1 g2";

// One object's flow: log in where the service wants it, then save a bookmark
// with the given title.
struct ObjectCase {
    const char* name;
    const char* service;     // of the request that carries the bookmark
    std::function<Results(const std::string& base, HostString title)> run;
    const char* titleField;  // where the title travels
    Fields fields;           // the other values and where they travel
    bool unicode;            // sent as UTF-8 whatever the active code page
};

template <typename Object>
void Point(Object& object, const std::string& base)
{
    ASSERT_TRUE(object.SetEndpoint(base.c_str()));
}

std::vector<ObjectCase> ObjectCases()
{
    return {
        {"DeliciousSubmit", "delicious",
         [](const std::string& base, HostString title) {
             DeliciousSubmit o;
             Point(o, base);
             o.SetLogin(u"demo");
             o.SetPassword(u"demo");
             return Results{o.SubmitExplicit(kUrl, title, kExtended, kTags)};
         },
         "description", {{"url", "http://example.org/u"}, {"extended", "E"}, {"tags", "g1 g2"}}, false},
        {"Shadows", "shadows",
         [](const std::string& base, HostString title) {
             Shadows o;
             Point(o, base);
             o.SetLogin(u"demo");
             o.SetPassword(u"demo");
             return Results{o.Submit(kUrl, title, kExtended, kTags)};
         },
         "description", {{"url", "http://example.org/u"}, {"extended", "E"}, {"tags", "g1 g2"}}, false},
        {"Simpy", "simpy",
         [](const std::string& base, HostString title) {
             Simpy o;
             Point(o, base);
             o.SetLogin(u"demo");
             o.SetPassword(u"demo");
             return Results{o.Submit(kUrl, title, kTags)};
         },
         "title", {{"href", "http://example.org/u"}, {"tags", "g1 g2"}}, false},
        {"FurlSubmit", "furl",
         [](const std::string& base, HostString title) {
             FurlSubmit o;
             Point(o, base);
             return Results{o.Login(u"demo", u"demo"), o.QuickSubmit2(title, kUrl)};
         },
         "ti", {{"u", "http://example.org/u"}}, false},
        {"Netvouz", "netvouz",
         [](const std::string& base, HostString title) {
             Netvouz o;
             Point(o, base);
             return Results{o.Login(u"demo", u"demo"), o.Submit(kUrl, title, kExtended, kTags)};
         },
         "name", {{"url", "http://example.org/u"}, {"description", "E"}, {"tags", "g1 g2"}}, false},
        {"Spurl", "spurl",
         [](const std::string& base, HostString title) {
             Spurl o;
             Point(o, base);
             return Results{o.Login(u"demo", u"demo"), o.Submit(kUrl, title, kExtended, kTags)};
         },
         "title", {{"link_href", "http://example.org/u"}, {"description", "E"}, {"keywords", "g1 g2"}}, false},
        {"Blogmarks", "blogmarks",
         [](const std::string& base, HostString title) {
             Blogmarks o;
             Point(o, base);
             return Results{o.Login(u"demo", u"demo"), o.Submit(kUrl, title, kExtended, kTags)};
         },
         "title", {{"url", "http://example.org/u"}, {"content", "E"}, {"public-tags", "g1 g2"}}, false},
        {"QuorlaneSubmit several tags", "quorlane",
         [](const std::string& base, HostString title) {
             QuorlaneSubmit o;
             Point(o, base);
             return Results{o.Login(u"demo", u"demo"), o.Submit(u"Cat", kUrl, title, kExtended, kTags)};
         },
         "et", {{"c", "addToTags"}, {"bt", "Cat"}, {"url", "http://example.org/u"}, {"etx", "E"}, {"t", "g1 g2"}},
         true},
        {"QuorlaneSubmit one tag", "quorlane",
         [](const std::string& base, HostString title) {
             QuorlaneSubmit o;
             Point(o, base);
             return Results{o.Login(u"demo", u"demo"), o.Submit1(u"Cat", u"one", kUrl, title, kExtended)};
         },
         "et", {{"c", "addEntry"}, {"bt", "Cat"}, {"url", "http://example.org/u"}, {"etx", "E"}, {"t", "one"}},
         true},
    };
}

class ObjectFlowsTest : public testsupport::EmulatorSuite {
protected:
    // Runs one case and checks the request that carried the bookmark.
    void Check(const ObjectCase& c, HostString title, const std::string& expectedTitle)
    {
        const size_t mark = emulator_->Journal().size();
        const Results results = c.run(Base(), title);
        for (long r : results) EXPECT_EQ(r, 1);
        const auto entries = emulator_->JournalSince(mark);
        ASSERT_EQ(entries.size(), results.size());
        EXPECT_EQ(entries.back().service, c.service);
        Fields sent = RequestFields(entries.back());
        EXPECT_EQ(sent[c.titleField], expectedTitle);
        for (const auto& [field, value] : c.fields) EXPECT_EQ(sent[field], value) << field;
    }
};

TEST_F(ObjectFlowsTest, TextTravelsInTheActiveCodePageOrAsUtf8ForQuorlane)
{
    struct PageCase {
        const char* codePage;
        std::string ansiTitle;   // what the seven ANSI objects send
    };
    const std::string utf8Title = "Caf\xC3\xA9 \xE4\xB8\xAD";
    const PageCase pages[] = {
        {"1252", "Caf\xE9 ?"},
        {"65001", utf8Title},
    };
    for (const PageCase& page : pages) {
        testsupport::ScopedCodePage acp(page.codePage);
        if (!acp.Active())
            continue;   // Windows runs the row of its own code page
        for (const ObjectCase& c : ObjectCases()) {
            SCOPED_TRACE(std::string(c.name) + " in code page " + page.codePage);
            Check(c, u"Caf\u00e9 \u4e2d", c.unicode ? utf8Title : page.ansiTitle);
        }
    }
}

TEST_F(ObjectFlowsTest, NullTitleTravelsAsAnEmptyValue)
{
    for (const ObjectCase& c : ObjectCases()) {
        SCOPED_TRACE(c.name);
        Check(c, nullptr, "");
    }
}

// A failure of the service flow shows only as 0, with the requests still sent.
struct FailureCase {
    const char* name;
    std::function<Results(const std::string& base)> run;
    Results results;
    size_t requests;
};

std::vector<FailureCase> FailureCases()
{
    return {
        {"DeliciousSubmit: wrong password",
         [](const std::string& base) {
             DeliciousSubmit o;
             Point(o, base);
             o.SetLogin(u"demo");
             o.SetPassword(u"wrong");
             return Results{o.SubmitExplicit(kUrl, u"t", nullptr, nullptr)};
         },
         {0}, 1},
        {"Simpy: wrong password",
         [](const std::string& base) {
             Simpy o;
             Point(o, base);
             o.SetLogin(u"demo");
             o.SetPassword(u"wrong");
             return Results{o.Submit(kUrl, u"t", nullptr)};
         },
         {0}, 1},
        {"FurlSubmit: refused login, store without session",
         [](const std::string& base) {
             FurlSubmit o;
             Point(o, base);
             return Results{o.Login(u"demo", u"wrong"), o.QuickSubmit2(u"t", kUrl)};
         },
         {0, 0}, 2},
        {"Netvouz: refused login, submit without session",
         [](const std::string& base) {
             Netvouz o;
             Point(o, base);
             return Results{o.Login(u"demo", u"wrong"), o.Submit(kUrl, u"t", nullptr, nullptr)};
         },
         {0, 0}, 2},
        {"Spurl: submit without any login",
         [](const std::string& base) {
             Spurl o;
             Point(o, base);
             return Results{o.Submit(kUrl, u"t", nullptr, nullptr)};
         },
         {0}, 1},
        {"Blogmarks: null credentials",
         [](const std::string& base) {
             Blogmarks o;
             Point(o, base);
             return Results{o.Login(nullptr, nullptr)};
         },
         {0}, 1},
        {"QuorlaneSubmit: refused login, submit without session",
         [](const std::string& base) {
             QuorlaneSubmit o;
             Point(o, base);
             return Results{o.Login(u"demo", u"wrong"), o.Submit1(u"c", u"t", kUrl, u"t", nullptr)};
         },
         {0, 0}, 2},
        {"QuorlaneSubmit: missing URL",
         [](const std::string& base) {
             QuorlaneSubmit o;
             Point(o, base);
             return Results{o.Login(u"demo", u"demo"), o.Submit(u"c", nullptr, u"t", nullptr, nullptr)};
         },
         {1, 0}, 2},
    };
}

TEST_F(ObjectFlowsTest, FailuresComeBackAsZero)
{
    for (const FailureCase& c : FailureCases()) {
        SCOPED_TRACE(c.name);
        const size_t mark = emulator_->Journal().size();
        EXPECT_EQ(c.run(Base()), c.results);
        EXPECT_EQ(emulator_->JournalSince(mark).size(), c.requests);
    }
}

TEST_F(ObjectFlowsTest, AccountObjectsSendEmptyCredentialsWhenNoneWereWritten)
{
    Shadows shadows;
    Point(shadows, Base());
    Simpy simpy;
    Point(simpy, Base());
    const std::function<long()> submits[] = {
        [&] { return shadows.Submit(kUrl, u"t", nullptr, nullptr); },
        [&] { return simpy.Submit(kUrl, u"t", nullptr); },
    };
    for (const auto& submit : submits) {
        const size_t mark = emulator_->Journal().size();
        EXPECT_EQ(submit(), 0);
        // The service refuses the anonymous request, but it does go out.
        EXPECT_EQ(emulator_->JournalSince(mark).size(), 1u);
    }
}

TEST_F(ObjectFlowsTest, EachObjectKeepsItsOwnLogin)
{
    Netvouz loggedIn;
    Point(loggedIn, Base());
    Netvouz other;
    Point(other, Base());
    ASSERT_EQ(loggedIn.Login(u"demo", u"demo"), 1);
    EXPECT_EQ(other.Submit(kUrl, u"t", nullptr, nullptr), 0);
    EXPECT_EQ(loggedIn.Submit(kUrl, u"t", nullptr, nullptr), 1);
}

} // namespace
} // namespace plentor

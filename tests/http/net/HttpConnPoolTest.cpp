#include "http/net/HttpConnPool.h"
#include "support/LogText.h"

#include "http/HttpControl.h"
#include "http/HttpRequest.h"
#include "http/HttpResult.h"
#include "log/Logger.h"
#include "support/ScriptedServer.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace plentor {
namespace {

using testsupport::LengthResponse;
using testsupport::ScriptedConnection;
using testsupport::ScriptedServer;

using testsupport::LogText;

TEST(HttpConnPoolTest, KeepsTenConnectionsAndEvictsTheLeastRecentlyUsed)
{
    HttpConnPool pool;
    Logger log;
    std::map<int, HttpClient*> clients;
    for (int i = 0; i < HttpConnPool::kDefaultMaxConnections; ++i)
        clients[i] = &pool.GetConnection(("h" + std::to_string(i)).c_str(), 80, log);
    EXPECT_EQ(pool.GetCount(), 10);
    // Names compare without case; h0 becomes the most recently used.
    EXPECT_EQ(&pool.GetConnection("H0", 80, log), clients[0]);
    EXPECT_NE(&pool.GetConnection("h0", 8080, log), clients[0]);   // another port is another server
    EXPECT_EQ(pool.GetCount(), 10);
    // That new entry pushed out h1, the least recently used; everyone else stays.
    for (int i : {0, 2, 3, 4, 5, 6, 7, 8, 9})
        EXPECT_EQ(&pool.GetConnection(("h" + std::to_string(i)).c_str(), 80, log), clients[i]) << i;
    EXPECT_EQ(pool.GetCount(), 10);
}

// A server that answers two GETs on one kept-alive connection, and a pool
// with the settings and results of its GETs.
class HttpConnPoolGetTest : public ::testing::Test {
protected:
    static std::vector<ScriptedServer::Script> TwoPages()
    {
        return {[](ScriptedConnection& c) {
            for (int i = 0; i < 2; ++i) {
                c.ReadRequest();
                c.Send(LengthResponse("page"));
            }
            c.WaitForClose();
        }};
    }

    bool Get(const std::string& url) { return pool_.QuickGet(url.c_str(), control_, body_, result_, log_); }
    std::string Server() const { return "127.0.0.1:" + std::to_string(server_.Port()); }

    ScriptedServer server_{TwoPages()};
    HttpConnPool pool_;
    HttpControl control_;
    HttpResult result_;
    DataBuffer body_;
    Logger log_;
};

TEST_F(HttpConnPoolGetTest, QuickGetReusesTheServersConnectionAndTakesUrlCredentials)
{
    ASSERT_TRUE(Get("http://user:secret@" + Server() + "/")) << LogText(log_);
    ASSERT_TRUE(Get("http://" + Server() + "/again")) << LogText(log_);
    pool_.CloseAll();
    EXPECT_EQ(server_.Connections(), 1);
    EXPECT_STREQ(control_.login.GetString(), "user");
    ASSERT_EQ(server_.Requests().size(), 2u);
    EXPECT_NE(server_.Requests()[1].find("Authorization: Basic dXNlcjpzZWNyZXQ="), std::string::npos);
}

// A repeated URL is not split again, yet its credentials still replace
// whatever the settings were given in between.
TEST_F(HttpConnPoolGetTest, RepeatedUrlTakesItsCredentialsEachTime)
{
    const std::string url = "http://user:secret@" + Server() + "/";
    ASSERT_TRUE(Get(url)) << LogText(log_);
    control_.login.SetString("other");
    control_.password.SetString("word");
    ASSERT_TRUE(Get(url)) << LogText(log_);
    pool_.CloseAll();
    EXPECT_STREQ(control_.login.GetString(), "user");
    EXPECT_STREQ(control_.password.GetString(), "secret");
    ASSERT_EQ(server_.Requests().size(), 2u);
    EXPECT_NE(server_.Requests()[1].find("Authorization: Basic dXNlcjpzZWNyZXQ="), std::string::npos);
}

TEST(HttpConnPoolTest, RefusesMissingDomainAndUrl)
{
    HttpConnPool pool;
    HttpControl control;
    HttpResult result;
    DataBuffer body;
    HttpRequest request;
    Logger log;
    EXPECT_FALSE(pool.QuickGet(nullptr, control, body, result, log));
    EXPECT_NE(LogText(log).find("Failed to parse URL"), std::string::npos);
    EXPECT_FALSE(pool.SendRequest(nullptr, 0, false, request, control, result, body, log));
    EXPECT_NE(LogText(log).find("No domain"), std::string::npos);
    EXPECT_EQ(pool.GetCount(), 0);
}

} // namespace
} // namespace plentor

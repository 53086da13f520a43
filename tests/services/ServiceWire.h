#pragma once

// Shared by the service client tests: the emulator fixture, the request
// texts the clients must send, and small loopback helpers.

#include "support/BookmarkEmulator.h"
#include "support/LoopbackSocket.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace plentor::testsupport {

// Request texts: "{base}" stands for the emulator's address and "{host}" for
// its Host field (see WithBase), "{token}" for a session token (MaskTokens).

// The Firefox-style header set of the facade's GET. extra holds the lines
// that follow it ("Referer: ...\r\n", "Cookie: ...\r\n", "Authorization: ...\r\n").
inline std::string FirefoxGet(const std::string& target, const std::string& extra = "")
{
    return "GET " + target + " HTTP/1.1\r\n"
           "Host: {host}\r\n"
           "User-Agent: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.7.7) Gecko/20050414 Firefox/1.0.3\r\n"
           "Accept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5\r\n"
           "Accept-Charset: ISO-8859-1,utf-8;q=0.7,*;q=0.7\r\n"
           "Accept-Encoding: gzip\r\n"
           "Accept-Language: en-us,en;q=0.5\r\n"
           "Keep-Alive: 300\r\n"
           "Connection: keep-alive\r\n" +
           extra + "\r\n";
}

inline std::string CookieLine(const std::string& cookie)
{
    return cookie.empty() ? std::string() : "Cookie: " + cookie + "\r\n";
}

// A form post as a browser on the site's page sends it: Referer, the
// browser header set, then Host and the body fields.
inline std::string BrowserPost(const std::string& path, const std::string& referer, const std::string& body,
                               const std::string& cookie = "")
{
    return "POST " + path + " HTTP/1.1\r\n"
           "Referer: " + referer + "\r\n"
           "User-Agent: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.7.8) Gecko/20050511 Firefox/1.0.4\r\n"
           "Accept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5\r\n"
           "Accept-Language: en\r\n"
           "Accept-Encoding: gzip\r\n"
           "Accept-Charset: ISO-8859-1,utf-8;q=0.7,*;q=0.7\r\n"
           "Keep-Alive: 300\r\n"
           "Connection: keep-alive\r\n"
           "Host: {host}\r\n"
           "content-type: application/x-www-form-urlencoded\r\n"
           "content-length: " + std::to_string(body.size()) + "\r\n" +
           CookieLine(cookie) + "\r\n" + body;
}

// A form post without Referer or browser fields.
inline std::string PlainPost(const std::string& path, const std::string& body, const std::string& cookie = "")
{
    return "POST " + path + " HTTP/1.1\r\n"
           "Host: {host}\r\n"
           "content-type: application/x-www-form-urlencoded\r\n"
           "content-length: " + std::to_string(body.size()) + "\r\n" +
           CookieLine(cookie) + "\r\n" + body;
}

// Replaces "{base}" in text by base ("http://127.0.0.1:PORT") and "{host}"
// by the host and port it names, the Host field the facade sends there.
inline std::string WithBase(std::string text, const std::string& base)
{
    const std::string host = base.substr(base.find("://") + 3);
    for (const auto& [mark, value] : {std::pair<std::string, std::string>{"{base}", base}, {"{host}", host}}) {
        for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
            text.replace(at, mark.size(), value);
    }
    return text;
}

// One emulator per test suite; each test sees only the requests it caused.
class EmulatorSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { emulator_ = std::make_unique<BookmarkEmulator>(Pages()); }
    static void TearDownTestSuite() { emulator_.reset(); }

    void SetUp() override
    {
        if (!emulator_->Started()) GTEST_SKIP() << emulator_->Error();
        mark_ = emulator_->Journal().size();
    }

    // The pages the emulator serves under /pages/.
    static std::vector<std::pair<std::string, std::string>> Pages()
    {
        return {
            {"spread.html", "<html><head><title>\n    A  Title\r\n\tSpread over\n  Lines  \n</title></head>"
                            "<body>text</body></html>"},
            {"plain.html", "<html><head><title>Plain</title></head><body>x</body></html>"},
        };
    }

    static std::string Base() { return emulator_->Base(); }
    // An expected request text with the emulator's address filled in.
    static std::string Expected(const std::string& text) { return WithBase(text, Base()); }
    std::vector<BookmarkEmulator::Entry> NewEntries() const { return emulator_->JournalSince(mark_); }

    static inline std::unique_ptr<BookmarkEmulator> emulator_;
    size_t mark_ = 0;
};

// The emulator's session tokens (32 hex digits after "=") become "{token}",
// so a request can be compared with its expected text.
inline std::string MaskTokens(const std::string& raw)
{
    static const std::regex kToken("=[0-9a-f]{32}");
    return std::regex_replace(raw, kToken, "={token}");
}

// A loopback listener that accepts one connection, keeps the first bytes
// the client sends and hangs up: enough to tell a TLS hello from plain HTTP.
class FirstBytesListener {
public:
    FirstBytesListener()
    {
        listener_.Listen(4);
        thread_ = std::thread([this] { Run(); });
    }
    ~FirstBytesListener()
    {
        listener_.Shutdown();
        if (thread_.joinable()) thread_.join();
    }
    FirstBytesListener(const FirstBytesListener&) = delete;
    FirstBytesListener& operator=(const FirstBytesListener&) = delete;

    int Port() const { return listener_.Port(); }
    // Waits for the one connection to end (bounded), then gives its first bytes.
    const std::string& Received()
    {
        if (thread_.joinable()) thread_.join();
        return received_;
    }

private:
    static constexpr int kWaitMs = 5000;   // a client sends its first bytes at once

    void Run()
    {
        LoopbackSocket client;
        if (!client.Accept(listener_, kWaitMs)) return;
        char block[16];
        const long n = client.Receive(block, sizeof block, kWaitMs);
        if (n > 0) received_.assign(block, static_cast<size_t>(n));
    }

    LoopbackSocket listener_;
    std::string received_;
    std::thread thread_;
};

// Checks that a client pointed at an https base went for TLS: the listener
// got a TLS handshake record, or (in a build without a TLS channel) the
// engine refused the https connection and said so in its log.
inline void ExpectTlsAttempt(FirstBytesListener& listener, const std::string& httpLog)
{
    if (httpLog.find("HTTPS is not supported") != std::string::npos) return;
    const std::string& first = listener.Received();
    ASSERT_FALSE(first.empty()) << "no bytes arrived and no TLS refusal was logged:\n" << httpLog;
    EXPECT_EQ(first[0], '\x16') << "expected a TLS handshake record, got \"" << first << "\"";
}

} // namespace plentor::testsupport

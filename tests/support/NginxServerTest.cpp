#include "support/ChildProcess.h"
#include "support/LogText.h"
#include "support/NginxServer.h"
#include "support/UnixHost.h"

#include "http/net/ZentrelSocket.h"
#include "log/Logger.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace plentor {
namespace {

using testsupport::CertFiles;
using testsupport::NginxServer;

using testsupport::LogText;

std::string AsString(const DataBuffer& data)
{
    return std::string(reinterpret_cast<const char*>(data.Data()), data.Size());
}

// The value of a header in a raw response head; empty when absent.
std::string HeaderValue(const std::string& head, const std::string& name)
{
    std::string key = "\r\n" + name + ": ";
    size_t at = head.find(key);
    if (at == std::string::npos) return {};
    at += key.size();
    return head.substr(at, head.find("\r\n", at) - at);
}

std::string StatusLine(const std::string& head)
{
    return head.substr(0, head.find("\r\n"));
}

struct Reply {
    std::string head;
    std::string body;
};

class NginxServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!NginxServer::Available()) GTEST_SKIP() << NginxServer::kMissingMessage;
        ASSERT_TRUE(server_.WriteDocFile("hello.txt", "Hello from the docroot\n"));
        ASSERT_TRUE(server_.WriteDocFile("dir/page.html", Page()));
    }

    static std::string Page()
    {
        std::string page = "<html><body>\n";
        for (int i = 0; i < 200; ++i) page += "<p>line " + std::to_string(i) + " of a compressible page</p>\n";
        return page + "</body></html>\n";
    }

    void StartServer()
    {
        ASSERT_TRUE(server_.Start()) << server_.Error();
    }

    void Connect(ZentrelSocket& socket)
    {
        bool hostNotFound = false;
        socket.SetMaxReadWaitMs(kReadWaitMs);
        ASSERT_TRUE(socket.Connect("127.0.0.1", server_.Port(), log_, hostNotFound)) << LogText(log_);
    }

    void SendGet(ZentrelSocket& socket, const std::string& path, const std::string& extraHeaders = "")
    {
        std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server_.Port()) +
                              "\r\nConnection: keep-alive\r\n" + extraHeaders + "\r\n";
        ASSERT_TRUE(socket.SendBytes(request.data(), static_cast<unsigned>(request.size()), log_, nullptr))
            << LogText(log_);
    }

    void ReadHead(ZentrelSocket& socket, Reply& reply)
    {
        DataBuffer head;
        ASSERT_TRUE(socket.ReadUntilBlankLine(head, log_, nullptr)) << LogText(log_);
        reply.head = AsString(head);
    }

    // Reads a body framed by Content-Length.
    void ReadSizedBody(ZentrelSocket& socket, Reply& reply)
    {
        std::string length = HeaderValue(reply.head, "Content-Length");
        ASSERT_FALSE(length.empty()) << reply.head;
        unsigned n = static_cast<unsigned>(std::stoul(length));
        DataBuffer body;
        if (n > 0) {
            ASSERT_TRUE(socket.ReceiveN(n, body, log_, nullptr)) << LogText(log_);
        }
        reply.body = AsString(body);
    }

    // Reads a chunked body up to its last chunk and the blank trailer line.
    void ReadChunkedBody(ZentrelSocket& socket, Reply& reply)
    {
        constexpr int kMaxChunks = 10000;   // far beyond any test page
        for (int i = 0; i < kMaxChunks; ++i) {
            DataBuffer line;
            ASSERT_TRUE(socket.ReadCrlfLine(line, log_, nullptr)) << LogText(log_);
            unsigned size = static_cast<unsigned>(std::stoul(AsString(line), nullptr, 16));
            DataBuffer chunk;
            ASSERT_TRUE(socket.ReceiveN(size + 2, chunk, log_, nullptr)) << LogText(log_);
            std::string data = AsString(chunk);
            ASSERT_EQ(data.substr(size), "\r\n");
            if (size == 0) return;
            reply.body += data.substr(0, size);
        }
        FAIL() << "no last chunk";
    }

    static constexpr uint32_t kReadWaitMs = 5000;
    NginxServer server_;
    Logger log_;
};

TEST_F(NginxServerTest, KeepAliveServesTwoRequestsOnOneConnection)
{
    StartServer();
    ZentrelSocket socket;
    Connect(socket);
    for (const auto& [path, content] : {std::pair<std::string, std::string>{"/hello.txt", "Hello from the docroot\n"},
                                        {"/dir/page.html", Page()}}) {
        SCOPED_TRACE(path);
        SendGet(socket, path);
        Reply reply;
        ReadHead(socket, reply);
        ReadSizedBody(socket, reply);
        EXPECT_EQ(StatusLine(reply.head), "HTTP/1.1 200 OK");
        EXPECT_EQ(HeaderValue(reply.head, "Connection"), "keep-alive");
        EXPECT_EQ(reply.body, content);
    }
}

// Each row: a location added to the server, the request path, and what the
// reply must hold.
struct LocationCase {
    const char* name;
    std::string location;
    const char* path;
    const char* statusLine;
    const char* header;
    const char* headerValue;   // "" when no header is checked
    const char* body;          // nullptr when the body is not checked
};

TEST_F(NginxServerTest, LocationsAnswerAsDocumented)
{
    const LocationCase cases[] = {
        {"missing file", "", "/absent.txt", "HTTP/1.1 404 Not Found", "", "", nullptr},
        {"redirect", NginxServer::RedirectLocation("/old", 301, "/hello.txt"), "/old",
         "HTTP/1.1 301 Moved Permanently", "Location", "/hello.txt", nullptr},
        {"status", NginxServer::StatusLocation("/busy", 503, "try later"), "/busy",
         "HTTP/1.1 503 Service Temporarily Unavailable", "Content-Type", "text/plain", "try later"},
        // nginx knows no reason phrase for 418 and leaves it empty.
        {"unnamed status", NginxServer::StatusLocation("/teapot", 418, "short and stout"), "/teapot",
         "HTTP/1.1 418 ", "", "", "short and stout"},
    };
    for (const LocationCase& c : cases) {
        if (!c.location.empty()) server_.AddLocation(c.location);
    }
    StartServer();
    ZentrelSocket socket;
    Connect(socket);
    for (const LocationCase& c : cases) {
        SCOPED_TRACE(c.name);
        SendGet(socket, c.path);
        Reply reply;
        ReadHead(socket, reply);
        ReadSizedBody(socket, reply);
        EXPECT_EQ(StatusLine(reply.head), c.statusLine);
        if (c.body != nullptr) {
            EXPECT_EQ(reply.body, c.body);
        }
        if (*c.header == '\0') continue;
        std::string value = HeaderValue(reply.head, c.header);
        // nginx makes a relative redirect absolute from the Host header.
        std::string expected = std::string(c.header) == "Location"
                                   ? "http://127.0.0.1:" + std::to_string(server_.Port()) + c.headerValue
                                   : c.headerValue;
        EXPECT_EQ(value, expected);
    }
}

TEST_F(NginxServerTest, GzipAndSsiLocationsSendChunkedBodies)
{
    server_.AddLocation(NginxServer::GzipLocation("/dir/"));
    server_.AddLocation(NginxServer::ChunkedLocation("/chunked/"));
    ASSERT_TRUE(server_.WriteDocFile("chunked/page.html", Page()));
    StartServer();
    ZentrelSocket socket;
    Connect(socket);

    SendGet(socket, "/dir/page.html", "Accept-Encoding: gzip\r\n");
    Reply gzipped;
    ReadHead(socket, gzipped);
    EXPECT_EQ(HeaderValue(gzipped.head, "Transfer-Encoding"), "chunked");
    EXPECT_EQ(HeaderValue(gzipped.head, "Content-Encoding"), "gzip");
    EXPECT_EQ(HeaderValue(gzipped.head, "Content-Length"), "");
    ReadChunkedBody(socket, gzipped);
    ASSERT_GE(gzipped.body.size(), 2u);
    EXPECT_EQ(gzipped.body.substr(0, 2), "\x1f\x8b");
    EXPECT_LT(gzipped.body.size(), Page().size());

    // Without Accept-Encoding the same file comes plain, sized.
    SendGet(socket, "/dir/page.html");
    Reply plain;
    ReadHead(socket, plain);
    EXPECT_EQ(HeaderValue(plain.head, "Content-Encoding"), "");
    ReadSizedBody(socket, plain);
    EXPECT_EQ(plain.body, Page());

    SendGet(socket, "/chunked/page.html");
    Reply chunked;
    ReadHead(socket, chunked);
    EXPECT_EQ(HeaderValue(chunked.head, "Transfer-Encoding"), "chunked");
    EXPECT_EQ(HeaderValue(chunked.head, "Content-Length"), "");
    ReadChunkedBody(socket, chunked);
    EXPECT_EQ(chunked.body, Page());
}

// Runs openssl s_client against the HTTPS port with the test CA; true when
// the chain and the name "localhost" verify.
bool OpenSslVerifies(NginxServer& server, std::string& output)
{
    using testsupport::ChildProcess;
    std::string log = server.Dir() + "/s_client.log";
    bool ok = ChildProcess::Run({ChildProcess::FindProgram("openssl"), "s_client", "-connect",
                                 "127.0.0.1:" + std::to_string(server.HttpsPort()), "-servername", "localhost",
                                 "-verify_hostname", "localhost", "-CAfile",
                                 testsupport::UnixHost::UnixPath(server.CaFile()), "-verify_return_error"},
                                log, log, 20000) == 0;
    std::ifstream in(log);
    std::ostringstream text;
    text << in.rdbuf();
    output = text.str();
    return ok && output.find("Verify return code: 0 (ok)") != std::string::npos;
}

TEST_F(NginxServerTest, HttpsPortPresentsCertificateSignedByTestCa)
{
    ASSERT_TRUE(server_.EnableHttps()) << server_.Certificates().Error();
    StartServer();
    ZentrelSocket socket;
    bool hostNotFound = false;
    ASSERT_TRUE(socket.Connect("127.0.0.1", server_.HttpsPort(), log_, hostNotFound)) << LogText(log_);
    std::string output;
    EXPECT_TRUE(OpenSslVerifies(server_, output)) << output;
}

// The helpers for the certificate tests of the TLS channel: each bad
// certificate must really fail verification against the test CA.
TEST_F(NginxServerTest, WrongNameAndSelfSignedCertificatesFailVerification)
{
    using Maker = bool (testsupport::TestCertificates::*)(CertFiles&);
    struct Case {
        const char* name;
        Maker make;
        const char* verifyError;   // as openssl s_client reports it
    };
    const Case cases[] = {
        {"wrong name", &testsupport::TestCertificates::MakeWrongName, "verify error:num=62:hostname mismatch"},
        {"self-signed", &testsupport::TestCertificates::MakeSelfSigned, "verify error:num=18:self-signed"},
    };
    for (const auto& [name, make, verifyError] : cases) {
        SCOPED_TRACE(name);
        NginxServer server;
        CertFiles cert;
        ASSERT_TRUE(server.Certificates().MakeCa()) << server.Certificates().Error();
        ASSERT_TRUE((server.Certificates().*make)(cert)) << server.Certificates().Error();
        ASSERT_TRUE(server.EnableHttps(cert));
        ASSERT_TRUE(server.Start()) << server.Error();
        std::string output;
        EXPECT_FALSE(OpenSslVerifies(server, output)) << output;
        EXPECT_NE(output.find(verifyError), std::string::npos) << output;
    }
}

} // namespace
} // namespace plentor

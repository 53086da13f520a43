#include "http/tls/SChannel.h"

#include "http/net/HttpConnection.h"
#include "log/Logger.h"
#include "support/CaseName.h"
#include "support/LogText.h"
#include "support/LoopbackSocket.h"
#include "support/NginxServer.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedServer.h"
#include "support/TlsPeer.h"
#include "text/DataBuffer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace plentor {
namespace {

using testsupport::CertFiles;
using testsupport::LogText;
using testsupport::NginxServer;
using testsupport::TestCertificates;
using testsupport::TlsPeer;
using testsupport::TlsPeerConnection;
using testsupport::TlsPeerOptions;
using testsupport::TlsVersion;

// Every read in these tests gives up after this long, so a fault shows as a
// failure instead of a hang.
constexpr int kReadWaitSecs = 3;
constexpr int kConnectWaitSecs = 5;

// Makes the channel trust the given CA file (or only the system's roots
// when empty) for the lifetime of the object.
class ScopedCaFile {
public:
    explicit ScopedCaFile(const std::string& path) : variable_("PLENTOR_CA_FILE", path.empty() ? nullptr : path.c_str())
    {
    }

private:
    testsupport::ScopedEnv variable_;
};

std::string AsString(const DataBuffer& data)
{
    return std::string(reinterpret_cast<const char*>(data.Data()), data.Size());
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

void Prepare(SChannel& channel, int port, const char* serverName = "localhost")
{
    channel.SetServerName(serverName);
    channel.SetPort(port);
    channel.SetConnectTimeoutSecs(kConnectWaitSecs);
    channel.SetMaxReadWaitSecs(kReadWaitSecs);
}

bool SendText(SChannel& channel, const std::string& text, LogBase& log)
{
    return channel.SendEncrypted(text.data(), static_cast<unsigned>(text.size()), log);
}

std::string Get(const std::string& path)
{
    return "GET " + path + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
}

std::string LengthResponse(const std::string& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct Response {
    std::string head;
    std::string body;
};

// Decodes a complete chunked body; false while it is incomplete.
bool DecodeChunked(const std::string& data, std::string& body)
{
    body.clear();
    size_t pos = 0;
    for (;;) {
        size_t lineEnd = data.find("\r\n", pos);
        if (lineEnd == std::string::npos) return false;
        size_t size = std::strtoul(data.c_str() + pos, nullptr, 16);
        if (size == 0) return data.find("\r\n\r\n", lineEnd) != std::string::npos;
        if (data.size() < lineEnd + 2 + size + 2) return false;
        body.append(data, lineEnd + 2, size);
        pos = lineEnd + 2 + size + 2;
    }
}

// True once `data` holds a whole response: a Content-Length or chunked body.
bool ParseResponse(const std::string& data, Response& out)
{
    size_t end = data.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    out.head = data.substr(0, end + 4);
    std::string rest = data.substr(end + 4);
    if (Has(out.head, "Transfer-Encoding: chunked")) return DecodeChunked(rest, out.body);
    size_t at = out.head.find("Content-Length: ");
    size_t length = at == std::string::npos ? 0 : std::strtoul(out.head.c_str() + at + 16, nullptr, 10);
    if (rest.size() < length) return false;
    out.body = rest.substr(0, length);
    return true;
}

// Reads decrypted blocks until one whole response is in.
bool ReadResponse(SChannel& channel, Response& response, LogBase& log)
{
    std::string data;
    while (!ParseResponse(data, response)) {
        DataBuffer block;
        bool peerClosed = false;
        if (!channel.ReadDecrypted(block, peerClosed, log) || peerClosed) return false;
        EXPECT_FALSE(block.IsEmpty()) << "a successful read must deliver bytes";
        data += AsString(block);
    }
    return true;
}

// A text of the given size whose every position differs from its neighbours,
// so a lost or repeated piece shows.
std::string Pattern(size_t size)
{
    std::string text;
    text.reserve(size);
    for (size_t i = 0; text.size() < size; ++i) text += std::to_string(i) + ",";
    text.resize(size);
    return text;
}

// ---- against nginx ----

class SChannelNginxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!NginxServer::Available()) GTEST_SKIP() << NginxServer::kMissingMessage;
    }
};

struct ProtocolCase {
    const char* sslProtocols;     // nginx's ssl_protocols
    const char* loggedProtocol;
    const char* name;
};

void PrintTo(const ProtocolCase& c, std::ostream* os) { *os << c.name; }

class SChannelNginxProtocolTest : public SChannelNginxTest, public ::testing::WithParamInterface<ProtocolCase> {};

// Each protocol version alone on the server side.
TEST_P(SChannelNginxProtocolTest, CarriesKeepAliveRequests)
{
    const ProtocolCase& c = GetParam();
    const std::string chunkedBody = Pattern(40000);
    NginxServer server;
    server.SetSslProtocols(c.sslProtocols);
    ASSERT_TRUE(server.WriteDocFile("hello.txt", "Hello over TLS\n"));
    ASSERT_TRUE(server.WriteDocFile("chunked/big.txt", chunkedBody));
    server.AddLocation(NginxServer::ChunkedLocation("/chunked/"));
    ASSERT_TRUE(server.EnableHttps()) << server.Certificates().Error();
    ASSERT_TRUE(server.Start()) << server.Error();
    ScopedCaFile ca(server.CaFile());

    Logger log;
    SChannel channel;
    Prepare(channel, server.HttpsPort());
    ASSERT_TRUE(channel.Connect(log)) << LogText(log);
    std::string text = LogText(log);
    EXPECT_TRUE(Has(text, c.loggedProtocol)) << text;
    EXPECT_TRUE(Has(text, "Secure Channel Established.")) << text;
    EXPECT_FALSE(Has(text, "Error authenticating server credentials.")) << text;
    EXPECT_TRUE(channel.IsConnected());

    // Two requests on one session: a length-framed and a chunked body.
    Response response;
    ASSERT_TRUE(SendText(channel, Get("/hello.txt"), log)) << LogText(log);
    ASSERT_TRUE(ReadResponse(channel, response, log)) << LogText(log);
    EXPECT_TRUE(Has(response.head, "HTTP/1.1 200 OK")) << response.head;
    EXPECT_EQ(response.body, "Hello over TLS\n");
    ASSERT_TRUE(SendText(channel, Get("/chunked/big.txt"), log)) << LogText(log);
    ASSERT_TRUE(ReadResponse(channel, response, log)) << LogText(log);
    EXPECT_TRUE(Has(response.head, "Transfer-Encoding: chunked")) << response.head;
    EXPECT_EQ(response.body, chunkedBody);
    EXPECT_FALSE(Has(LogText(log), "Server requested renegotiate.")) << LogText(log);

    EXPECT_TRUE(channel.ShutdownChannel(log)) << LogText(log);
    EXPECT_TRUE(Has(LogText(log), "Secure Channel Shutdown."));
    EXPECT_FALSE(channel.IsConnected());
}

INSTANTIATE_TEST_SUITE_P(Versions, SChannelNginxProtocolTest,
                         ::testing::Values(ProtocolCase{"TLSv1.2", "protocol: TLS1.2", "Tls12"},
                                           ProtocolCase{"TLSv1.3", "protocol: TLS1.3", "Tls13"}),
                         testsupport::ByCaseName());

// nginx answers "Connection: close" and then sends its closing alert: the
// read that meets it ends the session cleanly, whatever form the provider
// gives the alert.
TEST_F(SChannelNginxTest, ClosingAlertFromTheServerEndsTheSession)
{
    NginxServer server;
    ASSERT_TRUE(server.WriteDocFile("hello.txt", "Hello over TLS\n"));
    ASSERT_TRUE(server.EnableHttps()) << server.Certificates().Error();
    ASSERT_TRUE(server.Start()) << server.Error();
    ScopedCaFile ca(server.CaFile());

    Logger log;
    SChannel channel;
    Prepare(channel, server.HttpsPort());
    ASSERT_TRUE(channel.Connect(log)) << LogText(log);
    ASSERT_TRUE(SendText(channel, "GET /hello.txt HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n", log));
    std::string data;
    bool peerClosed = false;
    for (int reads = 0; reads < 4 && !peerClosed; ++reads) {
        DataBuffer block;
        ASSERT_TRUE(channel.ReadDecrypted(block, peerClosed, log)) << LogText(log);
        data += AsString(block);
    }
    EXPECT_TRUE(peerClosed) << LogText(log);
    EXPECT_TRUE(Has(data, "HTTP/1.1 200 OK")) << data;
    EXPECT_TRUE(data.size() > 15 && data.compare(data.size() - 15, 15, "Hello over TLS\n") == 0) << data;
    EXPECT_TRUE(Has(LogText(log), "End of session has been signalled.")) << LogText(log);
    EXPECT_FALSE(channel.IsConnected());
}

TEST_F(SChannelNginxTest, CertificateProblemsFailTheConnectionUnlessAccepted)
{
    enum class Cert { Localhost, WrongName, SelfSigned };
    struct Case {
        const char* name;
        Cert cert;
        const char* serverName;
        bool trustTestCa;
        const char* errorName;    // empty when the certificate is good
        const char* statusLine;
    };
    const Case cases[] = {
        {"good for the name", Cert::Localhost, "localhost", true, "", ""},
        {"good for the address", Cert::Localhost, "127.0.0.1", true, "", ""},
        {"other name", Cert::WrongName, "localhost", true, "CERT_E_CN_NO_MATCH", "Status = 0x800b010f"},
        {"other address", Cert::WrongName, "127.0.0.1", true, "CERT_E_CN_NO_MATCH", "Status = 0x800b010f"},
        {"self-signed", Cert::SelfSigned, "localhost", true, "CERT_E_UNTRUSTEDROOT", "Status = 0x800b0109"},
        {"unknown CA", Cert::Localhost, "localhost", false, "CERT_E_UNTRUSTEDROOT", "Status = 0x800b0109"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NginxServer server;
        CertFiles cert;
        TestCertificates& certs = server.Certificates();
        bool made = c.cert == Cert::Localhost   ? certs.MakeLocalhost(cert)
                    : c.cert == Cert::WrongName ? certs.MakeWrongName(cert)
                                                : certs.MakeSelfSigned(cert);
        ASSERT_TRUE(made && certs.MakeCa()) << certs.Error();
        ASSERT_TRUE(server.EnableHttps(cert));
        ASSERT_TRUE(server.Start()) << server.Error();
        ScopedCaFile ca(c.trustTestCa ? server.CaFile() : std::string());
        const bool good = *c.errorName == '\0';

        for (bool accept : {false, true}) {
            SCOPED_TRACE(accept ? "accepting unverified" : "refusing unverified");
            Logger log;
            SChannel channel;
            Prepare(channel, server.HttpsPort(), c.serverName);
            channel.SetAcceptUnverifiedCert(accept);
            EXPECT_EQ(channel.Connect(log), good || accept) << LogText(log);
            EXPECT_EQ(channel.IsConnected(), good || accept);
            std::string text = LogText(log);
            EXPECT_EQ(Has(text, "Error authenticating server credentials."), !good) << text;
            EXPECT_EQ(Has(text, "Secure Channel Established."), good || accept) << text;
            if (!good) {
                EXPECT_TRUE(Has(text, std::string("WinVerifyTrustError: ") + c.errorName)) << text;
                EXPECT_TRUE(Has(text, c.statusLine)) << text;
            }
        }
    }
}

// ---- against a scripted TLS peer ----

class SChannelPeerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TestCertificates::OpenSslAvailable()) GTEST_SKIP() << "the openssl tool is not installed";
    }
};

TEST_F(SChannelPeerTest, LongBodyGoesOutInRecordsOf16000Bytes)
{
    const std::string body = Pattern(40000);
    const std::string head = "POST /upload HTTP/1.1\r\nHost: localhost\r\nContent-Length: 40000\r\n\r\n";
    std::string received;
    std::vector<size_t> recordSizes;
    bool closeNotify = false;
    TlsPeer peer({[&](TlsPeerConnection& c) {
        if (!c.Handshake() || !c.ReadRequest(received, &recordSizes)) return;
        c.Send(LengthResponse("stored"));
        c.DrainUntilClosed();
        closeNotify = c.ReceivedCloseNotify();
    }});
    ASSERT_TRUE(peer.Ok()) << peer.Error();
    ScopedCaFile ca(peer.CaFile());

    Logger log;
    SChannel channel;
    Prepare(channel, peer.Port());
    ASSERT_TRUE(channel.Connect(log)) << LogText(log);
    ASSERT_TRUE(SendText(channel, head, log)) << LogText(log);
    ASSERT_TRUE(SendText(channel, body, log)) << LogText(log);
    Response response;
    ASSERT_TRUE(ReadResponse(channel, response, log)) << LogText(log);
    EXPECT_EQ(response.body, "stored");
    EXPECT_TRUE(channel.ShutdownChannel(log)) << LogText(log);
    peer.Join();

    EXPECT_EQ(received, head + body);
    EXPECT_EQ(recordSizes, (std::vector<size_t>{head.size(), 16000, 16000, 8000}));
    EXPECT_TRUE(closeNotify) << "the server never saw the closing alert";
}

TEST_F(SChannelPeerTest, RecordsArrivingWithTheLastHandshakeMessageAreReadFirst)
{
    const std::string early = LengthResponse("early");
    // TLS 1.2 lets the server finish the handshake, so its data can share the
    // last handshake send.
    TlsPeer peer({[&](TlsPeerConnection& c) {
                     if (c.Handshake(early)) c.DrainUntilClosed();
                 }},
                 TlsPeerOptions{TlsVersion::Default, TlsVersion::Tls12});
    ASSERT_TRUE(peer.Ok()) << peer.Error();
    ScopedCaFile ca(peer.CaFile());

    Logger log;
    SChannel channel;
    Prepare(channel, peer.Port());
    ASSERT_TRUE(channel.Connect(log)) << LogText(log);
    // The peer sends nothing more: without the bytes kept from the handshake
    // this read would wait and fail.
    DataBuffer block;
    bool peerClosed = true;
    ASSERT_TRUE(channel.ReadDecrypted(block, peerClosed, log)) << LogText(log);
    EXPECT_FALSE(peerClosed);
    EXPECT_EQ(AsString(block), early);
}

TEST_F(SChannelPeerTest, ClosingAlertEndsTheSession)
{
    const std::string reply = LengthResponse("bye");
    TlsPeer peer({[&](TlsPeerConnection& c) {
        std::string request;
        if (!c.Handshake() || !c.ReadRequest(request)) return;
        c.Send(reply);
        c.SendCloseNotify();
        c.DrainUntilClosed();
    }});
    ASSERT_TRUE(peer.Ok()) << peer.Error();
    ScopedCaFile ca(peer.CaFile());

    Logger log;
    SChannel channel;
    Prepare(channel, peer.Port());
    ASSERT_TRUE(channel.Connect(log)) << LogText(log);
    ASSERT_TRUE(SendText(channel, Get("/"), log));
    // The reply and the alert may come in one read or in two.
    std::string data;
    bool peerClosed = false;
    for (int reads = 0; reads < 3 && !peerClosed; ++reads) {
        DataBuffer block;
        ASSERT_TRUE(channel.ReadDecrypted(block, peerClosed, log)) << LogText(log);
        data += AsString(block);
    }
    EXPECT_TRUE(peerClosed);
    EXPECT_EQ(data, reply);
    EXPECT_TRUE(Has(LogText(log), "End of session has been signalled.")) << LogText(log);
    EXPECT_FALSE(channel.IsConnected());
}

TEST_F(SChannelPeerTest, RenegotiationMidResponseContinuesTheResponse)
{
    const std::string firstPart = Pattern(3000);
    const std::string secondPart = "after the new handshake";
    bool renegotiated = false;
    TlsPeer peer({[&](TlsPeerConnection& c) {
                     std::string request;
                     if (!c.Handshake() || !c.ReadRequest(request)) return;
                     const std::string length = std::to_string(firstPart.size() + secondPart.size());
                     c.Send("HTTP/1.1 200 OK\r\nContent-Length: " + length + "\r\n\r\n" + firstPart);
                     renegotiated = c.Renegotiate();
                     c.Send(secondPart);
                     c.DrainUntilClosed();
                 }},
                 TlsPeerOptions{TlsVersion::Default, TlsVersion::Tls12});
    ASSERT_TRUE(peer.Ok()) << peer.Error();
    ScopedCaFile ca(peer.CaFile());

    Logger log;
    SChannel channel;
    Prepare(channel, peer.Port());
    ASSERT_TRUE(channel.Connect(log)) << LogText(log);
    ASSERT_TRUE(SendText(channel, Get("/"), log));
    Response response;
    ASSERT_TRUE(ReadResponse(channel, response, log)) << LogText(log);
    EXPECT_EQ(response.body, firstPart + secondPart);
    EXPECT_TRUE(Has(LogText(log), "Server requested renegotiate.")) << LogText(log);
    channel.ShutdownChannel(log);
    peer.Join();
    EXPECT_TRUE(renegotiated);
}

TEST_F(SChannelPeerTest, ProxyTunnelCarriesTheSession)
{
    std::string connectRequest;
    TlsPeer peer({[&](TlsPeerConnection& c) {
        std::string request;
        if (!c.ReadRawUntil("\r\n\r\n", connectRequest)) return;
        c.SendRaw("HTTP/1.0 200 Connection established\r\n\r\n");
        if (!c.Handshake() || !c.ReadRequest(request)) return;
        c.Send(LengthResponse("tunnelled"));
        c.DrainUntilClosed();
    }});
    ASSERT_TRUE(peer.Ok()) << peer.Error();
    ScopedCaFile ca(peer.CaFile());

    Logger log;
    SChannel channel;
    Prepare(channel, 8443);
    channel.SetProxy("127.0.0.1", peer.Port());
    ASSERT_TRUE(channel.Connect(log)) << LogText(log);
    ASSERT_TRUE(SendText(channel, Get("/"), log));
    Response response;
    ASSERT_TRUE(ReadResponse(channel, response, log)) << LogText(log);
    EXPECT_EQ(response.body, "tunnelled");
    channel.ShutdownChannel(log);
    peer.Join();
    EXPECT_EQ(connectRequest, "CONNECT localhost:8443 HTTP/1.0\r\nUser-Agent: Zentrel\r\n\r\n");
}

TEST_F(SChannelPeerTest, HandshakeFailuresAreReportedAndLeaveNoConnection)
{
    using Script = std::function<void(TlsPeerConnection&, std::string& seen)>;
    struct Case {
        const char* name;
        TlsPeerOptions options;
        Script script;
        std::vector<std::string> expectedLines;
        std::string seenPrefix;   // what the peer must have received after its answer
    };
    const std::string httpReply = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n";
    // A server hello cut short after its version: a well-framed record
    // holding a malformed message.
    const std::string shortServerHello("\x16\x03\x03\x00\x06\x02\x00\x00\x02\x03\x03", 11);
    const Case cases[] = {
        {"not a TLS server",
         {},
         [&](TlsPeerConnection& c, std::string&) {
             std::string hello;
             c.ReadRaw(hello);
             c.SendRaw(httpReply);
             c.ReadRaw(hello);
         },
         {"Invalid token.", "scRet: 80090308", "Aborting because of fatal error", "Error performing handshake"},
         ""},
        {"closes during the handshake",
         {},
         [](TlsPeerConnection& c, std::string&) {
             std::string hello;
             c.ReadRaw(hello);
         },
         {"Error reading data from server in handshake loop", "Error performing handshake"},
         ""},
        {"malformed server hello: the alert goes back",
         {},
         [&](TlsPeerConnection& c, std::string& seen) {
             std::string hello;
             c.ReadRaw(hello);
             c.SendRaw(shortServerHello);
             c.ReadRaw(seen);
         },
         {"scRet: 80090326", "Aborting because of fatal error", "Error performing handshake"},
         "\x15"},
        {"server offers only TLS 1.1",
         TlsPeerOptions{TlsVersion::Tls11, TlsVersion::Tls11},
         [](TlsPeerConnection& c, std::string&) { c.Handshake(); },
         {"scRet: 80090331", "Aborting because of fatal error", "Error performing handshake"},
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string seen;
        TlsPeer peer({[&](TlsPeerConnection& connection) { c.script(connection, seen); }}, c.options);
        ASSERT_TRUE(peer.Ok()) << peer.Error();
        ScopedCaFile ca(peer.CaFile());

        Logger log;
        SChannel channel;
        Prepare(channel, peer.Port());
        EXPECT_FALSE(channel.Connect(log));
        EXPECT_FALSE(channel.IsConnected());
        std::string text = LogText(log);
        for (const std::string& line : c.expectedLines) EXPECT_TRUE(Has(text, line)) << line << "\n" << text;
        EXPECT_FALSE(Has(text, "Secure Channel Established.")) << text;
        peer.Join();
        EXPECT_EQ(seen.substr(0, c.seenPrefix.size()), c.seenPrefix);
    }
}

// After a good handshake the peer sends records the session cannot have
// made: a read fails with a log line instead of handing garbage on.
TEST_F(SChannelPeerTest, GarbageRecordsFailTheRead)
{
    const std::string garbage = std::string("\x17\x03\x03\x00\x20", 5) + std::string(32, '\x5a');
    TlsPeer peer({[&](TlsPeerConnection& c) {
        std::string request;
        if (!c.Handshake() || !c.ReadRequest(request)) return;
        c.SendRaw(garbage);
        c.DrainUntilClosed();
    }});
    ASSERT_TRUE(peer.Ok()) << peer.Error();
    ScopedCaFile ca(peer.CaFile());

    Logger log;
    SChannel channel;
    Prepare(channel, peer.Port());
    ASSERT_TRUE(channel.Connect(log)) << LogText(log);
    ASSERT_TRUE(SendText(channel, Get("/"), log));
    DataBuffer block;
    bool peerClosed = false;
    EXPECT_FALSE(channel.ReadDecrypted(block, peerClosed, log));
    EXPECT_TRUE(block.IsEmpty());
    EXPECT_TRUE(Has(LogText(log), "Error in DecryptMessage")) << LogText(log);
}

TEST_F(SChannelPeerTest, ReadsAfterTheHandshakeWaitAsLongAsTheCallerAsked)
{
    TlsPeer peer({[](TlsPeerConnection& c) {
        if (c.Handshake()) c.DrainUntilClosed();
    }});
    ASSERT_TRUE(peer.Ok()) << peer.Error();
    ScopedCaFile ca(peer.CaFile());

    Logger log;
    SChannel channel;
    Prepare(channel, peer.Port());
    channel.SetMaxReadWaitSecs(1);
    ASSERT_TRUE(channel.Connect(log)) << LogText(log);
    const auto start = std::chrono::steady_clock::now();
    DataBuffer block;
    bool peerClosed = false;
    EXPECT_FALSE(channel.ReadDecrypted(block, peerClosed, log));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, std::chrono::seconds(3));
    EXPECT_TRUE(Has(LogText(log), "Failed to read SChannel response (3)")) << LogText(log);
}

// A response limit also holds inside one record: a peer that sends a record
// header and then drips the record a byte at a time is cut off when the
// limit passes, however short each gap is.
TEST_F(SChannelPeerTest, ResponseLimitCutsOffARecordDrippedByteByByte)
{
    TlsPeer peer({[](TlsPeerConnection& c) {
        std::string request;
        if (!c.Handshake() || !c.ReadRequest(request)) return;
        if (!c.SendRaw(std::string("\x17\x03\x03\x40\x00", 5))) return;
        for (int i = 0; i < 300 && c.SendRaw("x"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }});
    ASSERT_TRUE(peer.Ok()) << peer.Error();
    ScopedCaFile ca(peer.CaFile());

    Logger log;
    HttpConnection connection;
    connection.SetTls(true);
    connection.SetConnectTimeoutSecs(kConnectWaitSecs);
    connection.SetMaxReadWaitMs(kReadWaitSecs * 1000);
    bool hostNotFound = false;
    ASSERT_TRUE(connection.Connect("localhost", peer.Port(), log, hostNotFound)) << LogText(log);
    const std::string request = Get("/");
    ASSERT_TRUE(connection.SendBytes(request.data(), static_cast<unsigned>(request.size()), log));
    connection.StartLimit(BufferedReader::Limit::Response, 1, "responseTimeoutSec");
    const auto start = std::chrono::steady_clock::now();
    DataBuffer header;
    EXPECT_FALSE(connection.Reader().ReadUntilBlankLine(header, log, nullptr));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    const std::string text = LogText(log);
    EXPECT_TRUE(Has(text, "Transfer stopped: time limit reached")) << text;
    EXPECT_TRUE(Has(text, "responseTimeoutSec")) << text;
    connection.Close();
    peer.Join();
}

// ---- without a session ----

// A port on loopback where nothing listens.
int ClosedPort()
{
    return testsupport::LoopbackSocket::FreePort();
}

TEST(SChannelTest, ShutdownOfANeverConnectedChannelFails)
{
    Logger log;
    SChannel channel;
    EXPECT_FALSE(channel.ShutdownChannel(log));
    EXPECT_TRUE(Has(LogText(log), "Cannot shutdown channel, no context exists")) << LogText(log);
    EXPECT_FALSE(channel.IsConnected());
}

TEST(SChannelTest, OperationsAfterAFailedConnectFail)
{
    Logger log;
    SChannel channel;
    channel.SetServerName("127.0.0.1");
    channel.SetPort(ClosedPort());
    channel.SetConnectTimeoutSecs(0);   // a refused plain connect fails at once
    ASSERT_FALSE(channel.Connect(log));
    EXPECT_FALSE(channel.IsConnected());
    EXPECT_TRUE(channel.SendEncrypted("", 0, log)) << "nothing to send succeeds at once";

    struct Case {
        const char* name;
        std::function<bool()> operation;
        const char* expected;
    };
    const Case cases[] = {
        {"send", [&] { return channel.SendEncrypted("x", 1, log); }, "Cannot send data, no context exists"},
        {"read",
         [&] {
             DataBuffer out;
             bool closed = false;
             return channel.ReadDecrypted(out, closed, log);
         },
         "Cannot send data, no context exists"},
        {"shutdown", [&] { return channel.ShutdownChannel(log); }, "Cannot shutdown channel, no context exists"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.ClearLog();
        EXPECT_FALSE(c.operation());
        EXPECT_TRUE(Has(LogText(log), c.expected)) << LogText(log);
    }
}

// A server that answers the hello and then stalls, silent or dripping its
// handshake a byte at a time, cannot hold a connect past the handshake's
// own limit: each read alone would wait 15 s, and a drip never lets one
// run out.
TEST(SChannelTest, HandshakeLimitEndsAStalledHandshake)
{
    using testsupport::ScriptedConnection;
    using testsupport::ScriptedServer;
    struct Case {
        const char* name;
        ScriptedServer::Script script;
    };
    const Case cases[] = {
        {"silent after the hello",
         [](ScriptedConnection& c) {
             if (c.ReadSome().empty()) return;
             c.WaitForClose();
         }},
        {"dripping a handshake record",
         [](ScriptedConnection& c) {
             if (c.ReadSome().empty() || !c.Send(std::string("\x16\x03\x03\x10\x00\x02", 6))) return;
             for (int i = 0; i < 300 && c.Send(std::string(1, '\0')); ++i)
                 std::this_thread::sleep_for(std::chrono::milliseconds(100));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server({c.script});
        Logger log;
        SChannel channel;
        Prepare(channel, server.Port(), "127.0.0.1");
        channel.SetHandshakeTimeLimitSecs(1);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(channel.Connect(log));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_FALSE(channel.IsConnected());
        const std::string text = LogText(log);
        EXPECT_TRUE(Has(text, "Transfer stopped: time limit reached")) << text;
        EXPECT_TRUE(Has(text, "handshakeTimeLimitSecs")) << text;
        EXPECT_FALSE(Has(text, "Secure Channel Established.")) << text;
    }
}

} // namespace
} // namespace plentor

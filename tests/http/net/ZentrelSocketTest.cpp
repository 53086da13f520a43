#include "http/net/ZentrelSocket.h"
#include "support/LogText.h"

#include "http/ProgressMonitor.h"
#include "http/net/SocketErrors.h"
#include "log/Logger.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include "support/LoopbackSocket.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace plentor {
namespace {

using testsupport::LogText;

std::string AsString(const DataBuffer& data)
{
    return std::string(reinterpret_cast<const char*>(data.Data()), data.Size());
}

using testsupport::LoopbackSocket;

void SendAll(LoopbackSocket& client, const std::string& bytes)
{
    client.SendAll(bytes);   // a client that went away leaves nothing more to do
}

// Blocks until the client closes its end, so a test decides when the peer goes.
void WaitForClientClose(LoopbackSocket& client)
{
    char sink[4096];
    while (client.Receive(sink, sizeof sink) > 0) {
    }
}

// A loopback server that accepts one connection and runs a script on it,
// then closes the connection.
class ScriptedPeer {
public:
    explicit ScriptedPeer(std::function<void(LoopbackSocket&)> script)
    {
        listener_.Listen(1);
        thread_ = std::thread([this, script] {
            LoopbackSocket client;
            if (!client.Accept(listener_)) return;
            client.SetNoDelay();
            script(client);
        });
    }
    ~ScriptedPeer()
    {
        listener_.Shutdown();   // wakes an accept that never got a client
        thread_.join();
    }
    int Port() const { return listener_.Port(); }

private:
    LoopbackSocket listener_;
    std::thread thread_;
};

// A peer script: collects a request up to its blank line into received,
// then answers "ok".
std::function<void(LoopbackSocket&)> ReplyOkToRequest(std::string& received)
{
    return [&received](LoopbackSocket& client) {
        char block[1024];
        while (received.find("\r\n\r\n") == std::string::npos) {
            const long n = client.Receive(block, sizeof block);
            if (n <= 0) return;
            received.append(block, static_cast<size_t>(n));
        }
        SendAll(client, "ok\r\n");
    };
}

// A loopback port with nothing listening on it.
int ClosedPort()
{
    return LoopbackSocket::FreePort();
}

void ConnectTo(ZentrelSocket& socket, int port, Logger& log)
{
    bool hostNotFound = true;
    ASSERT_TRUE(socket.Connect("127.0.0.1", port, log, hostNotFound)) << LogText(log);
    ASSERT_FALSE(hostNotFound);
}

TEST(ZentrelSocketTest, HeaderInSmallWritesKeepsReadAheadBodyForReceiveN)
{
    const std::string header = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nServer: test\r\n\r\n";
    ScriptedPeer peer([&](LoopbackSocket& client) {
        std::string all = header + "0123456789";
        for (size_t i = 0; i < all.size(); i += 3) {
            SendAll(client, all.substr(i, 3));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        WaitForClientClose(client);
    });
    Logger log;
    ZentrelSocket socket;
    ConnectTo(socket, peer.Port(), log);
    DataBuffer head;
    ASSERT_TRUE(socket.ReadUntilBlankLine(head, log, nullptr)) << LogText(log);
    EXPECT_EQ(AsString(head), header);
    DataBuffer body;
    ASSERT_TRUE(socket.ReceiveN(10, body, log, nullptr)) << LogText(log);
    EXPECT_EQ(AsString(body), "0123456789");
}

enum class Reader { BlankLine, CrlfLine };

struct LineCase {
    const char* name;
    Reader reader;
    std::string sent;
    std::string first;   // what the reader returns
    std::string rest;    // what stays for the next read
};

TEST(ZentrelSocketTest, ReadersStopAtTheirLineEndAndLeaveTheRest)
{
    const LineCase cases[] = {
        {"crlf blank line", Reader::BlankLine, "A: 1\r\nB: 2\r\n\r\nBODY", "A: 1\r\nB: 2\r\n\r\n", "BODY"},
        {"lf blank line", Reader::BlankLine, "A: 1\n\nBODY", "A: 1\n\n", "BODY"},
        {"lf first byte", Reader::BlankLine, "\nBODY", "\n", "BODY"},
        {"only CRs on the empty line", Reader::BlankLine, "A\r\n\r\r\nX", "A\r\n\r\r\n", "X"},
        {"chunk size line", Reader::CrlfLine, "1a\r\nDATA\r\n", "1a\r\n", "DATA\r\n"},
        {"bare lf inside a line", Reader::CrlfLine, "a\nb\r\nc", "a\nb\r\n", "c"},
        {"lf beginning a line", Reader::CrlfLine, "\nrest", "\n", "rest"},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer([&](LoopbackSocket& client) { SendAll(client, c.sent); });
        Logger log;
        ZentrelSocket socket;
        ConnectTo(socket, peer.Port(), log);
        DataBuffer first;
        bool ok = c.reader == Reader::BlankLine ? socket.ReadUntilBlankLine(first, log, nullptr)
                                                : socket.ReadCrlfLine(first, log, nullptr);
        ASSERT_TRUE(ok) << LogText(log);
        EXPECT_EQ(AsString(first), c.first);
        DataBuffer rest;
        EXPECT_TRUE(socket.ReceiveUntilClosed(rest, log, nullptr));
        EXPECT_EQ(AsString(rest), c.rest);
        EXPECT_FALSE(socket.IsConnected());
    }
}

TEST(ZentrelSocketTest, LargeHeaderIsReadInBlocksNotByteByByte)
{
    std::string header = "HTTP/1.1 200 OK\r\n";
    while (header.size() < 64 * 1024) header += "X-Fill: " + std::string(100, 'a') + "\r\n";
    header += "\r\n";
    ScriptedPeer peer([&](LoopbackSocket& client) {
        SendAll(client, header + "tail");
        WaitForClientClose(client);
    });
    Logger log;
    ZentrelSocket socket;
    ConnectTo(socket, peer.Port(), log);
    DataBuffer head;
    ASSERT_TRUE(socket.ReadUntilBlankLine(head, log, nullptr)) << LogText(log);
    EXPECT_EQ(head.Size(), header.size());
    DataBuffer tail;
    ASSERT_TRUE(socket.ReceiveN(4, tail, log, nullptr));
    EXPECT_EQ(AsString(tail), "tail");
    EXPECT_LT(socket.SystemReceiveCount(), 200u);   // 64 KB in 20000-byte blocks, however TCP splits them
}

TEST(ZentrelSocketTest, HeaderWithoutEndFailsAtTheSizeLimit)
{
    ScriptedPeer peer([](LoopbackSocket& client) {
        SendAll(client, std::string(1100 * 1024, 'a'));
        WaitForClientClose(client);
    });
    Logger log;
    ZentrelSocket socket;
    ConnectTo(socket, peer.Port(), log);
    DataBuffer head;
    EXPECT_FALSE(socket.ReadUntilBlankLine(head, log, nullptr));
    EXPECT_NE(LogText(log).find("Invalid HTTP header"), std::string::npos) << LogText(log);
    EXPECT_LE(head.Size(), 1024u * 1024 + 20000);
    socket.Close();
}

TEST(ZentrelSocketTest, ReceiveUntilClosedCollectsEverythingAndMarksDisconnected)
{
    std::string payload;
    for (int i = 0; payload.size() < 50000; ++i) payload += std::to_string(i) + ",";
    ScriptedPeer peer([&](LoopbackSocket& client) {
        for (size_t i = 0; i < payload.size(); i += 7000) SendAll(client, payload.substr(i, 7000));
    });
    Logger log;
    ZentrelSocket socket;
    ConnectTo(socket, peer.Port(), log);
    DataBuffer all;
    EXPECT_TRUE(socket.ReceiveUntilClosed(all, log, nullptr));
    EXPECT_EQ(AsString(all), payload);
    EXPECT_FALSE(socket.IsConnected());
    EXPECT_NE(LogText(log).find("The peer has closed the socket (TCP) connection"), std::string::npos);
}

TEST(ZentrelSocketTest, SilentPeerTimesOutWithinTheReadWait)
{
    ScriptedPeer peer([](LoopbackSocket& client) { WaitForClientClose(client); });
    Logger log;
    ZentrelSocket socket;
    socket.SetMaxReadWaitMs(200);
    ConnectTo(socket, peer.Port(), log);
    DataBuffer line;
    bool timedOut = false;
    char byte = 0;
    unsigned length = 1;
    EXPECT_FALSE(socket.ReceiveBytes(&byte, length, timedOut, log, nullptr));
    EXPECT_TRUE(timedOut);
    EXPECT_EQ(length, 0u);
    EXPECT_FALSE(socket.ReadCrlfLine(line, log, nullptr));
    EXPECT_NE(LogText(log).find("WaitForData timed out."), std::string::npos);
    EXPECT_TRUE(socket.IsConnected());
    socket.Close();
}

TEST(ZentrelSocketTest, SendBytesDeliversEverythingInChunks)
{
    std::string request(10000, 'r');
    request += "\r\n\r\n";
    std::string received;
    ScriptedPeer peer(ReplyOkToRequest(received));
    Logger log;
    ZentrelSocket socket;
    bool hostNotFound = true;
    ASSERT_TRUE(socket.Connect("  LOCALHOST ", peer.Port(), log, hostNotFound)) << LogText(log);
    EXPECT_FALSE(socket.SendBytes(request.data(), 0, log, nullptr));
    ASSERT_TRUE(socket.SendBytes(request.data(), static_cast<unsigned>(request.size()), log, nullptr));
    DataBuffer reply;
    ASSERT_TRUE(socket.ReadCrlfLine(reply, log, nullptr)) << LogText(log);
    EXPECT_EQ(AsString(reply), "ok\r\n");
    EXPECT_EQ(received, request);
}

// A kept-alive request goes out without a wait first; a socket that is gone
// is reported as not writable rather than as a failed send.
TEST(ZentrelSocketTest, SendWhenWritableSendsAtOnceAndTellsAClosedSocketApart)
{
    const std::string request = "GET / HTTP/1.1\r\n\r\n";
    std::string received;
    ScriptedPeer peer(ReplyOkToRequest(received));
    Logger log;
    ZentrelSocket socket;
    ConnectTo(socket, peer.Port(), log);
    bool notWritable = true;
    ASSERT_TRUE(socket.SendWhenWritable(request.data(), static_cast<unsigned>(request.size()), 1, log, notWritable))
        << LogText(log);
    EXPECT_FALSE(notWritable);
    DataBuffer reply;
    ASSERT_TRUE(socket.ReadCrlfLine(reply, log, nullptr)) << LogText(log);
    EXPECT_EQ(AsString(reply), "ok\r\n");
    EXPECT_EQ(received, request);

    socket.Close();
    EXPECT_FALSE(socket.SendWhenWritable(request.data(), static_cast<unsigned>(request.size()), 1, log, notWritable));
    EXPECT_TRUE(notWritable);
    EXPECT_NE(LogText(log).find("invalid socket, not ready for writing."), std::string::npos);
}

TEST(ZentrelSocketTest, RefusedConnectionLogsWinsockCodeAndText)
{
    for (int timeoutSecs : {7, 0}) {
        SCOPED_TRACE(timeoutSecs);
        Logger log;
        ZentrelSocket socket;
        socket.SetConnectTimeoutSecs(timeoutSecs);
        bool hostNotFound = true;
        EXPECT_FALSE(socket.Connect("127.0.0.1", ClosedPort(), log, hostNotFound));
        EXPECT_FALSE(hostNotFound);
        EXPECT_FALSE(socket.IsConnected());
        std::string text = LogText(log);
        EXPECT_NE(text.find("Connect function failed."), std::string::npos) << text;
        EXPECT_NE(text.find("10061"), std::string::npos) << text;
        EXPECT_NE(text.find("WSAECONNREFUSED No connection could be made because the target machine actively "
                            "refused it."),
                  std::string::npos)
            << text;
    }
}

TEST(ZentrelSocketTest, UnresolvableNameSetsHostNotFound)
{
    Logger log;
    ZentrelSocket socket;
    bool hostNotFound = false;
    EXPECT_FALSE(socket.Connect("no-such-host.invalid", 80, log, hostNotFound));
    EXPECT_TRUE(hostNotFound);
    std::string text = LogText(log);
    EXPECT_NE(text.find("Cannot get host by name."), std::string::npos) << text;
    EXPECT_NE(text.find("no-such-host.invalid"), std::string::npos) << text;
}

TEST(ZentrelSocketTest, MisuseFailsWithoutTouchingTheNetwork)
{
    Logger log;
    ZentrelSocket socket;
    bool hostNotFound = true;
    EXPECT_FALSE(socket.Connect(nullptr, 80, log, hostNotFound));
    EXPECT_FALSE(socket.Connect("   ", 80, log, hostNotFound));
    EXPECT_FALSE(hostNotFound);
    EXPECT_FALSE(socket.SendBytes("x", 1, log, nullptr));
    DataBuffer out;
    EXPECT_FALSE(socket.ReadUntilBlankLine(out, log, nullptr));
    EXPECT_FALSE(socket.ReceiveN(0, out, log, nullptr));
    std::string text = LogText(log);
    EXPECT_NE(text.find("No socket exists for sending"), std::string::npos);
    EXPECT_NE(text.find("This socket is not connected"), std::string::npos);

    socket.SetMaxReadWaitMs(0);
    EXPECT_EQ(socket.MaxReadWaitMs(), 1u);
    socket.SetMaxReadWaitMs(9000000);
    EXPECT_EQ(socket.MaxReadWaitMs(), 5000000u);
}

TEST(SocketErrorsTest, LogsNameTextAndHints)
{
    struct Case {
        int code;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {10061, {"WSAECONNREFUSED No connection could be made because the target machine actively refused it."}},
        {10053,
         {"WSAECONNABORTED An established connection was aborted", "commonly caused by anti-virus programs",
          "Check Mcafee's port filtering."}},
        {10035, {"WSAEWOULDBLOCK The socket would block.", "port is not blocked by a firewall"}},
        {12345, {"Error 3039", "not blocked by a firewall or anti-virus port filtering"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        Logger log;
        LogSocketError(c.code, log);
        std::string text = LogText(log);
        EXPECT_NE(text.find("SocketError"), std::string::npos) << text;
        for (const std::string& piece : c.expected) EXPECT_NE(text.find(piece), std::string::npos) << text;
    }
}

class RecordingSink : public ProgressSink {
public:
    void PercentDone(int percent, bool& abort) override
    {
        percents.push_back(percent);
        abort = percent >= abortAt;
    }
    void Heartbeat(bool&) override { ++heartbeats; }

    std::vector<int> percents;
    int heartbeats = 0;
    int abortAt = 1000;
};

TEST(ProgressMonitorTest, PercentagesScaleLargeTotalsAndCapAtTotal)
{
    RecordingSink sink;
    ProgressMonitor monitor(4000000000u, &sink);
    EXPECT_FALSE(monitor.Consumed(2000000000u));
    EXPECT_EQ(monitor.PercentDone(), 50);
    EXPECT_FALSE(monitor.Consumed(3000000000u));
    EXPECT_EQ(monitor.Done(), 4000000000u);
    EXPECT_EQ(sink.percents, (std::vector<int>{50, 100}));
    EXPECT_EQ(ProgressMonitor(0, nullptr).PercentDone(), 100);
}

TEST(ProgressMonitorTest, SinkAbortStopsASend)
{
    ScriptedPeer peer([](LoopbackSocket& client) { WaitForClientClose(client); });
    Logger log;
    ZentrelSocket socket;
    ConnectTo(socket, peer.Port(), log);
    RecordingSink sink;
    sink.abortAt = 40;
    std::string data(10000, 'd');
    ProgressMonitor monitor(static_cast<uint32_t>(data.size()), &sink);
    EXPECT_FALSE(socket.SendBytes(data.data(), static_cast<unsigned>(data.size()), log, &monitor));
    EXPECT_TRUE(monitor.Aborted());
    EXPECT_EQ(monitor.Done(), 4096u);   // stopped after the first chunk
    EXPECT_NE(LogText(log).find("Socket send aborted by application"), std::string::npos);
    socket.Close();
}

} // namespace
} // namespace plentor

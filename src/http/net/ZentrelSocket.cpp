#include "http/net/ZentrelSocket.h"

#include "base/LogBase.h"
#include "http/ProgressMonitor.h"
#include "http/net/SocketErrors.h"
#include "platform/Clock.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

namespace plentor {

namespace {

using platform::ResolveResult;
using platform::WaitResult;

// The socket layer is started once per process; a failed start is not retried.
std::atomic<bool> gNeedStartUp{true};

constexpr uint16_t kPreferredVersion = 0x0909;     // asks for 9.9, the layer answers its best
constexpr unsigned kSendChunk = 4096;              // bytes per send call
constexpr uint32_t kZeroSendPauseMs = 50;          // pause after a send that moved nothing
constexpr uint32_t kDefaultReadWaitMs = 60000;     // used when the wait limit is 0
constexpr uint32_t kMinReadWaitMs = 1;
constexpr uint32_t kMaxReadWaitMs = 5000000;
constexpr uint32_t kWaitSliceMs = 200;             // monitor heartbeat spacing while waiting
constexpr uint32_t kMinLastSliceMs = 10;

constexpr const char* kPeerClosed = "The peer has closed the socket (TCP) connection";
constexpr const char* kHostCleanupChars = " \t\r\n'\"<>:/@?";

uint16_t MakeVersion(int major, int minor)
{
    return static_cast<uint16_t>(major | (minor << 8));
}

// Retries start-up with older versions while the layer says the version is
// not supported; gives the last answer.
int StartUpWithFallback(LogBase& log)
{
    int major = 0;
    int minor = 0;
    int rc = platform::StartUp(kPreferredVersion, major, minor);
    if (rc != platform::kSockVersionNotSupported) return rc;
    uint16_t fallbacks[2 + 4 * 10];
    int count = 0;
    fallbacks[count++] = MakeVersion(5, 1);
    fallbacks[count++] = MakeVersion(5, 0);
    for (int mj = 4; mj >= 1; --mj)
        for (int mn = 9; mn >= 0; --mn) fallbacks[count++] = MakeVersion(mj, mn);
    for (int i = 0; i < count && rc == platform::kSockVersionNotSupported; ++i)
        rc = platform::StartUp(fallbacks[i], major, minor);
    if (rc == 0) {
        char text[64];
        std::snprintf(text, sizeof text, "Using ws2_32.dll version %d,%d", major, minor);
        log.LogData("ws2_32_DLL_Version", text);
    }
    return rc;
}

void StartSocketLayer(LogBase& log)
{
    if (!gNeedStartUp.exchange(false)) return;
    int rc = StartUpWithFallback(log);
    if (rc != 0) LogStartUpError(rc, log);
}

// The name with white space, quotes and URL punctuation removed, lower-cased.
StringBuffer CleanHostName(const char* name)
{
    StringBuffer cleaned(name);
    cleaned.Trim();
    for (const char* c = kHostCleanupChars; *c != '\0'; ++c) cleaned.RemoveChar(*c);
    cleaned.ToLower();
    return cleaned;
}

} // namespace

ZentrelSocket::~ZentrelSocket()
{
    Close();
}

void ZentrelSocket::SetMaxReadWaitMs(uint32_t ms)
{
    maxReadWaitMs_ = std::clamp(ms, kMinReadWaitMs, kMaxReadWaitMs);
}

platform::ResolveResult ZentrelSocket::ResolveHost(const char* name, uint32_t& address)
{
    ResolveResult result = platform::Resolve(name, address);
    if (result != ResolveResult::NotFound) return result;
    StringBuffer cleaned = CleanHostName(name);
    if (!cleaned.IsEmpty() && cleaned.GetLength() != static_cast<int>(std::strlen(name)))
        result = platform::Resolve(cleaned.GetString(), address);
    if (result == ResolveResult::NotFound && cleaned.CountChar('.') == 1) {
        cleaned.Prepend("www.");
        result = platform::Resolve(cleaned.GetString(), address);
    }
    return result;
}

bool ZentrelSocket::Connect(const char* host, int port, LogBase& log, bool& hostNotFound)
{
    try {
        return ConnectAttempt(host, port, log, hostNotFound);
    } catch (...) {
        return false;
    }
}

bool ZentrelSocket::ConnectAttempt(const char* host, int port, LogBase& log, bool& hostNotFound)
{
    hostNotFound = false;
    if (host == nullptr) return false;
    StringBuffer name(host);
    name.Trim();
    if (name.IsEmpty()) return false;
    if (port <= 0 || port > 0xffff) {
        log.LogError("Invalid port number");
        log.LogDataLong("port", port);
        return false;
    }
    if (name.EqualsNoCase("localhost")) name.SetString("127.0.0.1");
    StartSocketLayer(log);
    uint32_t address = 0;
    if (!LookUpAddress(name.GetString(), address, log, hostNotFound)) return false;
    Close();
    int error = 0;
    handle_ = platform::CreateTcpSocket(error);
    if (handle_ == platform::kInvalidSocket) {
        LogSocketError(error, log);
        log.LogError("Cannot connect, invalid socket.");
        return false;
    }
    return ConnectWithWait(address, static_cast<uint16_t>(port), log);
}

bool ZentrelSocket::LookUpAddress(const char* host, uint32_t& address, LogBase& log, bool& hostNotFound)
{
    if (platform::ParseDottedQuad(host, address)) return true;
    ResolveResult result = ResolveHost(host, address);
    if (result == ResolveResult::NotFound) {
        hostNotFound = true;
        log.LogError("Cannot get host by name.");
        log.LogData("hostname", host);
    }
    return result == ResolveResult::Found;
}

bool ZentrelSocket::ConnectWithWait(uint32_t address, uint16_t port, LogBase& log)
{
    const bool timed = connectTimeoutSecs_ != 0;
    if (timed) platform::SetBlockingMode(handle_, platform::BlockingMode::NonBlocking);
    bool ok = false;
    int code = 0;
    for (int attempt = 1;; ++attempt) {
        code = platform::Connect(handle_, address, port);
        // A repeated connect on a socket whose first attempt is still under
        // way or has just finished reports that, not a failure.
        if (code == 0 || code == platform::kSockIsConnected) { ok = true; break; }
        if (code == platform::kSockAlready) code = platform::kSockWouldBlock;
        if (code != platform::kSockWouldBlock) log.LogDataLong("sockError", code);
        if (!timed || code != platform::kSockWouldBlock) break;
        int outcome = WaitForConnect(log);
        if (outcome == 0) { ok = true; break; }
        if (outcome != platform::kSockWouldBlock) {
            code = outcome;   // the connect finished with an error, such as a refusal
            log.LogDataLong("sockError", code);
            break;
        }
        if (attempt == 2) break;
        log.LogError("Connection attempt timed out, trying again.");
    }
    if (timed && handle_ != platform::kInvalidSocket)
        platform::SetBlockingMode(handle_, platform::BlockingMode::Blocking);
    if (!ok) {
        log.LogError("Connect function failed.");
        LogSocketError(code, log);
        Close();
        return false;
    }
    connected_ = true;
    pending_.Clear();
    return true;
}

// 0 when the connect completed, the would-block code when the wait failed
// or ran out, otherwise the error the connect ended with.
int ZentrelSocket::WaitForConnect(LogBase& log)
{
    if (!WaitWritable(static_cast<uint32_t>(connectTimeoutSecs_), log)) return platform::kSockWouldBlock;
    int error = platform::PendingError(handle_);
    return error == platform::kSockWouldBlock ? platform::kSockWouldBlock : error;
}

bool ZentrelSocket::WaitWritable(uint32_t seconds, LogBase& log)
{
    if (handle_ == platform::kInvalidSocket) {
        log.LogError("invalid socket, not ready for writing.");
        return false;
    }
    WaitResult result = platform::WaitWritable(handle_, seconds, 0);
    if (result == WaitResult::Failed) log.LogError("select returned a socket error");
    if (result == WaitResult::TimedOut) log.LogError("socket is not ready for writing");
    return result == WaitResult::Ready;
}

void ZentrelSocket::Close()
{
    if (handle_ != platform::kInvalidSocket) {
        platform::ShutdownBoth(handle_);
        platform::CloseSocket(handle_);
        handle_ = platform::kInvalidSocket;
    }
    receiveBoundMs_ = 0;
    connected_ = false;
    pending_.Clear();
}

void ZentrelSocket::DropConnection()
{
    Close();
}

bool ZentrelSocket::SendBytes(const void* data, unsigned length, LogBase& log, ProgressMonitor* monitor)
{
    lastSendError_ = 0;
    if (length == 0) return false;
    if (handle_ == platform::kInvalidSocket) {
        log.LogError("No socket exists for sending");
        return false;
    }
    const uint8_t* next = static_cast<const uint8_t*>(data);
    unsigned remaining = length;
    while (remaining > 0) {
        int chunk = static_cast<int>(std::min(remaining, kSendChunk));
        int moved = 0;
        int error = platform::Send(handle_, next, chunk, moved);
        if (error != 0) {
            lastSendError_ = error;
            LogSocketError(error, log);
            log.LogError("Error sending on socket");
            log.LogDataLong("send_size", chunk);
            return false;
        }
        if (moved == 0) {
            platform::SleepMilliseconds(kZeroSendPauseMs);
            continue;
        }
        next += moved;
        remaining -= static_cast<unsigned>(moved);
        if (monitor != nullptr && monitor->Consumed(static_cast<uint32_t>(moved))) {
            log.LogError("Socket send aborted by application");
            return false;
        }
    }
    return true;
}

bool ZentrelSocket::SendWhenWritable(const void* data, unsigned length, uint32_t seconds, LogBase& log,
                                     bool& notWritable)
{
    notWritable = false;
    if (length == 0 || handle_ == platform::kInvalidSocket) {
        notWritable = !WaitWritable(seconds, log);
        return !notWritable && SendBytes(data, length, log, nullptr);
    }
    lastSendError_ = 0;
    const unsigned first = std::min(length, kSendChunk);
    int moved = 0;
    int error = platform::SendNoWait(handle_, data, static_cast<int>(first), moved);
    if (error == platform::kSockWouldBlock) {
        if (!WaitWritable(seconds, log)) {
            notWritable = true;
            return false;
        }
        moved = 0;
        error = 0;
    }
    if (error != 0) {
        lastSendError_ = error;
        LogSocketError(error, log);
        log.LogError("Error sending on socket");
        log.LogDataLong("send_size", static_cast<long>(first));
        return false;
    }
    const unsigned sent = static_cast<unsigned>(moved);
    return sent == length || SendBytes(static_cast<const uint8_t*>(data) + sent, length - sent, log, nullptr);
}

// One wait for readability; failed is set when the socket is gone or the
// wait itself failed (which also closes the socket).
bool ZentrelSocket::WaitReadable(uint32_t ms, bool& failed, LogBase& log, ProgressMonitor* monitor)
{
    failed = false;
    if (monitor != nullptr && monitor->Aborted()) return false;
    if (handle_ == platform::kInvalidSocket) {
        failed = true;
        return false;
    }
    if (ms == 0) ms = 1;
    WaitResult result = platform::WaitReadable(handle_, ms / 1000, (ms % 1000) * 1000);
    if (result == WaitResult::Failed) {
        failed = true;
        log.LogError(kPeerClosed);
        DropConnection();
        return false;
    }
    return result == WaitResult::Ready;
}

bool ZentrelSocket::WaitForData(uint32_t maxWaitMs, LogBase& log, ProgressMonitor* monitor)
{
    if (!pending_.IsEmpty()) return true;
    bool failed = false;
    if (monitor == nullptr) return WaitReadable(maxWaitMs, failed, log, nullptr);
    uint32_t waited = 0;
    while (waited < maxWaitMs) {
        uint32_t slice = std::max(std::min(kWaitSliceMs, maxWaitMs - waited), kMinLastSliceMs);
        monitor->AbortCheck();
        bool readable = WaitReadable(slice, failed, log, monitor);
        if (failed || monitor->Aborted()) return false;
        if (readable) return true;
        waited += slice;
    }
    return false;
}

bool ZentrelSocket::BoundReceive(uint32_t ms)
{
    ms = std::max(ms, kMinReadWaitMs);
    if (ms == receiveBoundMs_) return true;
    if (!platform::SetReceiveTimeout(handle_, ms)) return false;
    receiveBoundMs_ = ms;
    return true;
}

void ZentrelSocket::ReceiveTimedOut(bool& timedOut, LogBase& log) const
{
    log.LogError("WaitForData timed out.");
    timedOut = true;
    WithinLimits(log);   // names the limit when that is what ended the wait
}

// Waits for data and makes one receive call into buffer; got > 0 on success.
bool ZentrelSocket::ReceiveOnce(void* buffer, unsigned length, unsigned& got, bool& timedOut, LogBase& log,
                                ProgressMonitor* monitor)
{
    got = 0;
    timedOut = false;
    if (handle_ == platform::kInvalidSocket) {
        log.LogError("This socket is not connected");
        return false;
    }
    // A time limit over the whole transfer shortens the wait.
    const uint32_t wait = std::min(maxReadWaitMs_ == 0 ? kDefaultReadWaitMs : maxReadWaitMs_, RemainingMs());
    // Without a monitor to call between slices, the receive itself does the
    // waiting where the platform can bound it: one system call, not two.
    const bool bounded = monitor == nullptr && BoundReceive(wait);
    if (!bounded && !WaitForData(wait, log, monitor)) {
        if (handle_ != platform::kInvalidSocket) ReceiveTimedOut(timedOut, log);
        return false;
    }
    int moved = 0;
    ++systemReceives_;
    int error = platform::Receive(handle_, buffer, static_cast<int>(std::min(length, 0x7fffffffu)), moved);
    if (bounded && error == platform::kSockWouldBlock) {
        ReceiveTimedOut(timedOut, log);
        return false;
    }
    if (error != 0) {
        char text[256];
        platform::SocketErrorMessage(error, text, sizeof text);
        log.LogError(text);
        log.LogError("Failed to receive on the TCP socket");
        return false;
    }
    if (moved == 0) {
        log.LogError(kPeerClosed);
        DropConnection();
        return false;
    }
    got = static_cast<unsigned>(moved);
    return true;
}

} // namespace plentor

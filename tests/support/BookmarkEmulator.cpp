#include "support/BookmarkEmulator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <system_error>
#include <thread>

namespace plentor::testsupport {
namespace {

// Python starts and binds within a second on a loaded machine; the bound
// keeps a broken install from hanging the suite.
constexpr int kStartWaitMs = 10000;
// The emulator stops at once on TERM; a KILL follows if it does not.
constexpr int kStopWaitMs = 5000;
constexpr int kPollMs = 10;
// The first output line is the port number: a handful of digits.
constexpr size_t kMaxPortLine = 16;
// The emulator's own pages are small JSON documents.
constexpr int kFetchTimeoutMs = 5000;

const char* const kScript = PLENTOR_SOURCE_DIR "/tools/bookmark-emulator/bookmark-emulator.py";

std::string MakeTempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/plentor-emulator-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    return ::mkdtemp(buf.data()) != nullptr ? std::string(buf.data()) : std::string();
}

// The python3 on PATH, or empty.
std::string FindPython()
{
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/python3";
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::string();
}

// A minimal reader for the journal's JSON lines: objects, arrays, strings,
// numbers and literals. Strings hold the code points below 256 that the
// journal writes (its raw text is Latin-1), one byte each.
struct JsonValue {
    enum class Kind { Null, Number, String, Array, Object } kind = Kind::Null;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    const JsonValue& operator[](const std::string& key) const
    {
        static const JsonValue kMissing;
        auto it = members.find(key);
        return it != members.end() ? it->second : kMissing;
    }
};

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : text_(text) {}

    bool Read(JsonValue& out) { return Value(out) && (SkipSpace(), at_ == text_.size()); }

private:
    void SkipSpace()
    {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n'))
            ++at_;
    }

    bool Take(char c)
    {
        SkipSpace();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    bool Value(JsonValue& out)
    {
        SkipSpace();
        if (at_ >= text_.size()) return false;
        const char c = text_[at_];
        if (c == '"') {
            out.kind = JsonValue::Kind::String;
            return String(out.text);
        }
        if (c == '[') return Array(out);
        if (c == '{') return Object(out);
        return Scalar(out);
    }

    bool Array(JsonValue& out)
    {
        out.kind = JsonValue::Kind::Array;
        ++at_;
        if (Take(']')) return true;
        do {
            out.items.emplace_back();
            if (!Value(out.items.back())) return false;
        } while (Take(','));
        return Take(']');
    }

    bool Object(JsonValue& out)
    {
        out.kind = JsonValue::Kind::Object;
        ++at_;
        if (Take('}')) return true;
        do {
            std::string key;
            SkipSpace();
            if (!String(key) || !Take(':') || !Value(out.members[key])) return false;
        } while (Take(','));
        return Take('}');
    }

    bool Scalar(JsonValue& out)
    {
        for (const char* word : {"null", "true", "false"}) {
            if (text_.compare(at_, std::char_traits<char>::length(word), word) == 0) {
                at_ += std::char_traits<char>::length(word);
                return true;
            }
        }
        size_t used = 0;
        try {
            out.number = std::stod(text_.substr(at_, 32), &used);
        } catch (...) {
            return false;
        }
        out.kind = JsonValue::Kind::Number;
        at_ += used;
        return used > 0;
    }

    bool String(std::string& out)
    {
        if (at_ >= text_.size() || text_[at_] != '"') return false;
        ++at_;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') return true;
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (at_ >= text_.size() || !Escape(out)) return false;
        }
        return false;
    }

    bool Escape(std::string& out)
    {
        const char c = text_[at_++];
        switch (c) {
        case 'n': out.push_back('\n'); return true;
        case 'r': out.push_back('\r'); return true;
        case 't': out.push_back('\t'); return true;
        case 'b': out.push_back('\b'); return true;
        case 'f': out.push_back('\f'); return true;
        case 'u': break;
        default: out.push_back(c); return true;   // '"', '\\', '/'
        }
        if (at_ + 4 > text_.size()) return false;
        const unsigned long code = std::strtoul(text_.substr(at_, 4).c_str(), nullptr, 16);
        at_ += 4;
        if (code > 0xFF) return false;   // never in a Latin-1 journal
        out.push_back(static_cast<char>(code));
        return true;
    }

    const std::string& text_;
    size_t at_ = 0;
};

BookmarkEmulator::Entry ToEntry(const JsonValue& line)
{
    BookmarkEmulator::Entry entry;
    entry.service = line["service"].text;
    entry.raw = line["raw"].text;
    entry.requestLine = line["request_line"].text;
    entry.body = line["body"].text;
    entry.status = static_cast<int>(line["status"].number);
    for (const JsonValue& pair : line["headers"].items) {
        if (pair.items.size() == 2) entry.headers.emplace_back(pair.items[0].text, pair.items[1].text);
    }
    return entry;
}

} // namespace

BookmarkEmulator::BookmarkEmulator(const std::vector<std::pair<std::string, std::string>>& pages)
{
    const std::string python = FindPython();
    if (python.empty()) {
        error_ = "python3 is not installed; skipping the bookmark emulator tests";
        return;
    }
    dir_ = MakeTempDir();
    if (dir_.empty()) {
        error_ = "cannot make a temp dir for the emulator";
        return;
    }
    std::error_code ec;
    std::filesystem::create_directory(dir_ + "/pages", ec);
    for (const auto& [name, content] : pages) {
        std::ofstream(dir_ + "/pages/" + name, std::ios::binary) << content;
    }
    Launch(python, kScript);
}

BookmarkEmulator::~BookmarkEmulator()
{
    Stop();
    if (!dir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
}

std::string BookmarkEmulator::Base() const
{
    return "http://127.0.0.1:" + std::to_string(port_);
}

bool BookmarkEmulator::Launch(const std::string& python, const std::string& script)
{
    int out[2];
    if (::pipe(out) != 0) {
        error_ = "pipe failed";
        return false;
    }
    std::vector<std::string> argv{python, script, "--port", "0", "--journal", dir_ + "/journal.jsonl",
                                  "--pages", dir_ + "/pages"};
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    const std::string errFile = dir_ + "/stderr.txt";
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(out[0]);
        ::close(out[1]);
        error_ = "fork failed";
        return false;
    }
    if (pid == 0) {
        // A test that crashes must not leave its emulator behind.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(1);
        ::dup2(out[1], STDOUT_FILENO);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (err >= 0) ::dup2(err, STDERR_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    pid_ = pid;
    ::close(out[1]);
    const bool ok = ReadPort(out[0]);
    ::close(out[0]);
    if (!ok) Stop();
    return ok;
}

// Reads the first output line, the port, within the start bound.
bool BookmarkEmulator::ReadPort(int fd)
{
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartWaitMs);
    while (line.find('\n') == std::string::npos && line.size() < kMaxPortLine) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            error_ = "the emulator printed no port within " + std::to_string(kStartWaitMs) + " ms";
            return false;
        }
        char c;
        if (::read(fd, &c, 1) != 1) {
            std::ifstream err(dir_ + "/stderr.txt");
            std::stringstream text;
            text << err.rdbuf();
            error_ = "the emulator ended at start: " + text.str();
            return false;
        }
        line.push_back(c);
    }
    port_ = std::atoi(line.c_str());
    if (port_ <= 0 || port_ > 65535) {
        error_ = "the emulator printed no port: " + line;
        port_ = 0;
        return false;
    }
    return true;
}

void BookmarkEmulator::Stop()
{
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int waited = 0; ::waitpid(pid_, &status, WNOHANG) == 0; waited += kPollMs) {
        if (waited >= kStopWaitMs) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    pid_ = -1;
    port_ = 0;
}

std::vector<BookmarkEmulator::Entry> BookmarkEmulator::Journal() const
{
    return JournalSince(0);
}

std::vector<BookmarkEmulator::Entry> BookmarkEmulator::JournalSince(size_t from) const
{
    std::vector<Entry> entries;
    std::ifstream in(dir_ + "/journal.jsonl", std::ios::binary);
    std::string line;
    for (size_t index = 0; std::getline(in, line); ++index) {
        if (index < from) continue;
        JsonValue value;
        if (JsonReader(line).Read(value)) entries.push_back(ToEntry(value));
    }
    return entries;
}

std::string BookmarkEmulator::Fetch(const std::string& path) const
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return std::string();
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port_));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
            char block[4096];
            pollfd p{fd, POLLIN, 0};
            while (::poll(&p, 1, kFetchTimeoutMs) > 0) {
                const ssize_t n = ::recv(fd, block, sizeof block, 0);
                if (n <= 0) break;
                reply.append(block, static_cast<size_t>(n));
            }
        }
    }
    ::close(fd);
    const size_t bodyAt = reply.find("\r\n\r\n");
    if (reply.compare(0, 13, "HTTP/1.1 200 ") != 0 || bodyAt == std::string::npos) return std::string();
    return reply.substr(bodyAt + 4);
}

} // namespace plentor::testsupport

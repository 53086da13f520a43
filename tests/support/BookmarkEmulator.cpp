#include "support/BookmarkEmulator.h"

#include "support/LoopbackSocket.h"
#include "support/UnixHost.h"

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

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
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
    : dir_("plentor-emulator-", TempDirectory::Place::SharedWithUnix)
{
    const std::string python = UnixHost::Reachable() ? ChildProcess::FindProgram("python3") : std::string();
    if (python.empty()) {
        error_ = UnixHost::Reachable() ? "python3 is not installed; skipping the bookmark emulator tests"
                                       : "this Windows is not Wine and cannot start python3; skipping the bookmark "
                                         "emulator tests";
        return;
    }
    if (dir_.Path().empty()) {
        error_ = "cannot make a temp dir for the emulator";
        return;
    }
    std::error_code ec;
    std::filesystem::create_directory(dir_.File("pages"), ec);
    for (const auto& [name, content] : pages) {
        std::ofstream(dir_.File("pages/" + name), std::ios::binary) << content;
    }
    Launch(python, kScript);
}

BookmarkEmulator::~BookmarkEmulator()
{
    Stop();
}

std::string BookmarkEmulator::Base() const
{
    return "http://127.0.0.1:" + std::to_string(port_);
}

bool BookmarkEmulator::Launch(const std::string& python, const std::string& script)
{
    const std::vector<std::string> argv{python, UnixHost::UnixPath(script), "--port", "0",
                                        "--journal", UnixHost::UnixPath(dir_.File("journal.jsonl")),
                                        "--pages", UnixHost::UnixPath(dir_.File("pages"))};
    if (!process_.Start(argv, dir_.File("stdout.txt"), dir_.File("stderr.txt"))) {
        error_ = process_.Error();
        return false;
    }
    const bool ok = ReadPort();
    if (!ok) Stop();
    return ok;
}

// Reads the first output line, the port, within the start bound.
bool BookmarkEmulator::ReadPort()
{
    std::string line;
    for (int waited = 0;; waited += kPollMs) {
        line = ReadFileText(dir_.File("stdout.txt"));
        if (line.find('\n') != std::string::npos || line.size() >= kMaxPortLine) break;
        if (!process_.Running()) {
            error_ = "the emulator ended at start: " + ReadFileText(dir_.File("stderr.txt"));
            return false;
        }
        if (waited >= kStartWaitMs) {
            error_ = "the emulator printed no port within " + std::to_string(kStartWaitMs) + " ms";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
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
    process_.Stop(kStopWaitMs);
    port_ = 0;
}

std::vector<BookmarkEmulator::Entry> BookmarkEmulator::Journal() const
{
    return JournalSince(0);
}

std::vector<BookmarkEmulator::Entry> BookmarkEmulator::JournalSince(size_t from) const
{
    std::vector<Entry> entries;
    std::ifstream in(dir_.File("journal.jsonl"), std::ios::binary);
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
    LoopbackSocket socket;
    std::string reply;
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (socket.Connect(port_) && socket.SendAll(request)) {
        char block[4096];
        long n;
        while ((n = socket.Receive(block, sizeof block, kFetchTimeoutMs)) > 0) reply.append(block, static_cast<size_t>(n));
    }
    const size_t bodyAt = reply.find("\r\n\r\n");
    if (reply.compare(0, 13, "HTTP/1.1 200 ") != 0 || bodyAt == std::string::npos) return std::string();
    return reply.substr(bodyAt + 4);
}

} // namespace plentor::testsupport

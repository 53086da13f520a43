#pragma once

#include "support/ChildProcess.h"
#include "support/TempDirectory.h"

#include <string>
#include <utility>
#include <vector>

namespace plentor::testsupport {

// The bookmark-service emulator (tools/bookmark-emulator) run for a test: a
// python3 child on a free loopback port that answers for all eight services
// and journals every request it receives, byte for byte. Its journal and
// pages live in a temp dir removed with the object; the destructor stops the
// child (TERM, then KILL after a bounded wait). Under Wine python3 is the
// machine's Unix program, reached through ChildProcess.
//
// Use: construct, then GTEST_SKIP() << emulator.Error() unless Started().
class BookmarkEmulator {
public:
    // One request as the emulator received it.
    struct Entry {
        std::string service;       // "netvouz"; empty for the emulator's own pages
        std::string raw;           // the request bytes exactly as sent
        std::string requestLine;
        std::vector<std::pair<std::string, std::string>> headers;   // in order
        std::string body;
        int status = 0;            // what the emulator answered
    };

    // pages: files (name, content) served under /pages/NAME.
    explicit BookmarkEmulator(const std::vector<std::pair<std::string, std::string>>& pages = {});
    ~BookmarkEmulator();
    BookmarkEmulator(const BookmarkEmulator&) = delete;
    BookmarkEmulator& operator=(const BookmarkEmulator&) = delete;

    bool Started() const { return port_ > 0; }
    // Why it did not start (python3 missing, the script failed, ...).
    const std::string& Error() const { return error_; }
    int Port() const { return port_; }
    // "http://127.0.0.1:PORT", the base address the clients are pointed at.
    std::string Base() const;

    // Every journal entry so far, in arrival order.
    std::vector<Entry> Journal() const;
    // The entries after the first `from`.
    std::vector<Entry> JournalSince(size_t from) const;
    // A GET of one of the emulator's own pages ("/_emulator/bookmarks"):
    // the reply body, or empty when it failed.
    std::string Fetch(const std::string& path) const;

private:
    bool Launch(const std::string& python, const std::string& script);
    bool ReadPort();
    void Stop();

    TempDirectory dir_;
    ChildProcess process_;
    int port_ = 0;
    std::string error_;
};

} // namespace plentor::testsupport

#pragma once

#include "http/cache/CacheEntry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plentor {

class DataBuffer;
class LogBase;
class StringBuffer;

// Disk store of HTTP responses and domain-name marks. Entries live in a fixed
// tree of ".caf" files chosen by the MD5 digest of the key, up to ten entries
// per file; header blocks (and most bodies) are bzip2-compressed. A missing,
// short or corrupt file reads as an empty one.
class HttpCache {
public:
    static constexpr int kDefaultFilesPerDir = 1000;
    static constexpr uint32_t kSlotCapacity = 10;
    static constexpr uint32_t kFileHeaderSize = 8 + 8 * kSlotCapacity;   // capacity, count, slots

    // Ceilings on what one entry may hold. A ".caf" length field beyond them
    // marks the file as corrupt, so a damaged field never drives an allocation.
    static constexpr uint32_t kMaxKeyBytes = 64 * 1024;              // URLs are far shorter
    static constexpr uint32_t kMaxHeaderBytes = 1024 * 1024;         // response header text
    static constexpr uint32_t kMaxBodyBytes = 256u * 1024 * 1024;    // one cached response body
    // Appending stops here and the file restarts, keeping offsets well inside 32 bits.
    static constexpr uint64_t kMaxFileBytes = 1024ull * 1024 * 1024;

    // Whether CreateEntry records a response or a failed fetch.
    enum class EntryKind { Response, Negative };

    HttpCache() = default;
    virtual ~HttpCache();

    // Roots are directory texts ending with a separator; an empty text stands
    // for "c:/temp/". With no roots every operation fails.
    void AddRoot(const char* dir);
    void ClearRoots() { roots_.clear(); }
    int GetNumRoots() const { return static_cast<int>(roots_.size()); }
    // Values below 1 count as 1.
    void SetFilesPerDir(int n) { filesPerDir_ = n < 1 ? 1 : n; }
    int GetFilesPerDir() const { return filesPerDir_; }

    // The ".caf" file that holds key. False with no roots or a null key.
    bool GetCachePath(const char* key, StringBuffer& path) const;

    // Finds the entry whose key has the CRC-32 of key and gives its fixed part.
    // False only when the store is unusable; a corrupt file logs and gives found = false.
    bool LookupEntry(const char* key, bool& found, CacheEntry::Fixed& fixed, LogBase& log);

    // The whole entry, or null when absent, negative (negative is then true) or unreadable.
    std::unique_ptr<CacheEntry> GetEntry(const char* key, bool& negative, LogBase& log);

    // Adds an entry to its file, restarting the file when it is full.
    bool CreateEntry(const char* key, const StringBuffer& header, const DataBuffer& body, EntryKind kind,
                     uint8_t reserved1, uint8_t reserved2, uint8_t flags, const char* auxText, LogBase& log);

    // Replaces the key's entry: its file is written anew with the entries of
    // the other keys it holds and this one, and replaces the old file whole.
    bool RewriteEntry(const char* key, const StringBuffer& header, const DataBuffer& body, EntryKind kind,
                      uint8_t reserved1, uint8_t reserved2, uint8_t flags, const char* auxText, LogBase& log);

    // Domain-name marks under the key "dns://" + lower-cased host.
    bool IsDomainMarkedInvalid(const char* host, bool& found, bool& invalid, LogBase& log);
    bool MarkDomainInvalid(const char* host, LogBase& log);
    bool MarkDomainValid(const char* host, LogBase& log);

private:
    // Where an entry sits in its file.
    struct Location {
        std::string path;
        uint32_t offset = 0;
        CacheEntry::Fixed fixed;
    };

    enum class Probe { Found, NotFound, Unusable };

    bool PathFor(const char* key, StringBuffer& path, LogBase& log) const;
    Probe Locate(const char* key, Location& where, LogBase& log);
    bool WriteEntry(const std::string& path, const std::vector<uint8_t>& entry, uint32_t keyCrc, LogBase& log);
    bool KeyMatches(const Location& where, const std::string& key, LogBase& log);
    bool SetDomainMark(const char* host, EntryKind kind, LogBase& log);

    std::vector<std::string> roots_;
    int filesPerDir_ = kDefaultFilesPerDir;
};

} // namespace plentor

#pragma once

#include "platform/Clock.h"
#include "text/StringBuffer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plentor {

class DataBuffer;
class LogBase;

// Resource cache: one ".dat" file per resource name, holding an expiry time
// (OLE automation date, local time) and an entity tag ahead of the data.
// Files are spread over the roots and zero to two levels of subdirectories by
// the MD5 digest of the name. The entity tag, expiry and name of the last
// fetched file are kept for the caller.
class ClsCache2 {
public:
    static constexpr uint16_t kFormatVersion = 1;
    static constexpr uint16_t kMagic = 0x9AFE;
    // Header length, version, magic, two zero bytes, expiry, tag length.
    static constexpr uint32_t kFixedHeaderSize = 20;
    static constexpr uint32_t kExpiryOffset = 10;
    // The tag length field is 16 bits wide.
    static constexpr uint32_t kMaxEtagBytes = 0xFFFF;
    // A larger ".dat" file is not loaded: one cached response never needs more,
    // and a damaged or foreign file must not drive the allocation.
    static constexpr uint32_t kMaxFileBytes = 256u * 1024 * 1024;
    static constexpr int kMaxLevel = 2;

    ClsCache2() = default;
    virtual ~ClsCache2();

    // Adds a directory over which files are spread; empty texts are ignored.
    void AddRoot(const char* dir);
    int GetNumRoots() const { return static_cast<int>(roots_.size()); }
    // Number of digest-named subdirectory levels, clamped to 0..2.
    void SetLevel(int level);
    int GetLevel() const { return level_; }

    // The ".dat" path of a resource. False with no roots or an empty name.
    bool GetFilename(const char* resourceName, StringBuffer& path) const;

    // Writes the resource's file, replacing any earlier one. A zero year in
    // expire means no expiry.
    bool SaveToCache(const char* resourceName, const platform::CalendarTime& expire, const char* etag,
                     const DataBuffer& data, LogBase& log);

    // Replaces out by the stored data and keeps the file's entity tag and expiry.
    bool FetchFromCache(const char* resourceName, DataBuffer& out, LogBase& log);

    // Rewrites only the 8 expiry bytes of an existing file.
    bool UpdateExpiration(const char* resourceName, const platform::CalendarTime& expire, LogBase& log);

    // True when a file has been fetched, it has an expiry and that moment has come.
    bool IsExpired() const;
    // The kept expiry; false when none.
    bool GetExpiration(platform::CalendarTime& out) const;
    double GetExpirationOle() const { return lastExpiry_; }
    void GetEtag(StringBuffer& out) const { out.SetFromBuffer(lastEtag_); }
    const StringBuffer& GetResourceName() const { return lastName_; }
    bool IsCached(const char* resourceName) const;

private:
    bool CheckRoots(LogBase& log) const;
    void ForgetLastFetch();

    std::vector<std::string> roots_;
    int level_ = 0;
    StringBuffer lastName_;
    StringBuffer lastEtag_;
    double lastExpiry_ = 0;   // OLE date, local time; 0 = none
};

} // namespace plentor

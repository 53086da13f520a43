#include "http/cache/ClsCache2.h"
#include "text/LittleEndian.h"

#include "base/LogBase.h"
#include "http/cache/CachePaths.h"
#include "platform/Files.h"
#include "text/DataBuffer.h"
#include "text/DateParser.h"
#include "text/HexDigits.h"
#include "text/Md5.h"

#include <cmath>
#include <cstring>

namespace plentor {

namespace {


void Put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The double as 8 little-endian bytes, whatever the machine's byte order.
void PutDouble(uint8_t out[8], double value)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

double GetDouble(const uint8_t* p)
{
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<uint64_t>(p[i]) << (8 * i);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool IsValidTime(const platform::CalendarTime& t)
{
    return t.year >= 100 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
           t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60;
}

// Days since 30 December 1899, the fraction being the time of day. Before
// that day the fraction still counts forward from midnight, as OLE dates do.
double ToOleDate(const platform::CalendarTime& t)
{
    static const int64_t kOleEpoch = DateParser::DaysFromCivil(1899, 12, 30);
    double days = static_cast<double>(DateParser::DaysFromCivil(t.year, t.month, t.day) - kOleEpoch);
    double fraction = (t.hour * 3600.0 + t.minute * 60.0 + t.second) / 86400.0;
    return days < 0 ? days - fraction : days + fraction;
}

bool IsPlausibleExpiry(double ole)
{
    return std::isfinite(ole) && ole >= DateParser::kMinOleDate && ole <= DateParser::kMaxOleDate;
}

// Expiry of a broken-down time: 0 for a zero year. False for an impossible time.
bool ExpiryOf(const platform::CalendarTime& t, double& ole, LogBase& log)
{
    ole = 0;
    if (t.year == 0)
        return true;
    if (!IsValidTime(t)) {
        log.LogError("Invalid expiration time");
        return false;
    }
    ole = ToOleDate(t);
    return true;
}

// The fields of a loaded ".dat" file; data starts at headerLength.
struct DatFile {
    uint32_t headerLength = 0;
    double expiry = 0;
    const uint8_t* etag = nullptr;
    uint16_t etagLength = 0;
};

// Checks every field against the bytes actually loaded.
bool ParseDatFile(const std::vector<uint8_t>& bytes, DatFile& out)
{
    if (bytes.size() < ClsCache2::kFixedHeaderSize)
        return false;
    const uint8_t* p = bytes.data();
    if (LittleEndian::Get16(p + 6) != ClsCache2::kMagic)
        return false;
    out.headerLength = LittleEndian::Get32(p);
    out.etagLength = LittleEndian::Get16(p + 18);
    out.expiry = GetDouble(p + ClsCache2::kExpiryOffset);
    if (out.headerLength < ClsCache2::kFixedHeaderSize + uint32_t {out.etagLength} || out.headerLength > bytes.size())
        return false;
    if (out.expiry != 0 && !IsPlausibleExpiry(out.expiry))
        return false;
    out.etag = p + ClsCache2::kFixedHeaderSize;
    return true;
}

void LogFilenameValue(LogBase& log, const StringBuffer& path) { log.LogData("CacheFilename", path.GetString()); }

} // namespace

ClsCache2::~ClsCache2() = default;

void ClsCache2::AddRoot(const char* dir)
{
    if (dir && *dir)
        roots_.emplace_back(dir);
}

void ClsCache2::SetLevel(int level) { level_ = level < 0 ? 0 : (level > kMaxLevel ? kMaxLevel : level); }

bool ClsCache2::GetFilename(const char* resourceName, StringBuffer& path) const
{
    if (roots_.empty() || !resourceName || !*resourceName)
        return false;
    uint8_t d[Md5::kDigestSize];
    Md5::Digest(resourceName, std::strlen(resourceName), d);
    const char sep = platform::PathSeparator();
    path.SetString(roots_[d[0] % roots_.size()].c_str());
    path.ReplaceChar('/', sep);
    path.ReplaceChar('\\', sep);
    if (path.LastChar() != sep)
        path.AppendChar(sep);
    for (int level = 1; level <= level_; ++level) {
        path.AppendInt(d[level]);
        path.AppendChar(sep);
    }
    for (uint8_t b : d) {
        path.AppendChar(HexDigits::kUpper[b >> 4]);
        path.AppendChar(HexDigits::kUpper[b & 0x0F]);
    }
    path.Append(".dat");
    return true;
}

bool ClsCache2::CheckRoots(LogBase& log) const
{
    if (!roots_.empty())
        return true;
    log.LogError("No cache roots have been set.  Need to call AddRoot at least once.");
    return false;
}

void ClsCache2::ForgetLastFetch()
{
    lastEtag_.Clear();
    lastName_.Clear();
    lastExpiry_ = 0;
}

bool ClsCache2::SaveToCache(const char* resourceName, const platform::CalendarTime& expire, const char* etag,
                            const DataBuffer& data, LogBase& log)
{
    if (!CheckRoots(log))
        return false;
    LogContext context(log, "SaveToCache");
    log.LogData("ResourceName", resourceName ? resourceName : "");
    StringBuffer path;
    if (!GetFilename(resourceName, path)) {
        log.LogError("Failed to convert resource name to filename");
        return false;
    }
    LogFilenameValue(log, path);
    size_t etagLength = etag ? std::strlen(etag) : 0;
    if (etagLength > kMaxEtagBytes) {
        log.LogError("Entity tag too long to cache");
        return false;
    }
    if (data.Size() > kMaxFileBytes - kFixedHeaderSize - etagLength) {
        log.LogError("Data too large to cache");
        return false;
    }
    double expiry = 0;
    if (!ExpiryOf(expire, expiry, log) || !CachePaths::CreateParentDirectories(path.GetString(), log))
        return false;

    std::vector<uint8_t> file;
    file.reserve(kFixedHeaderSize + etagLength + data.Size());
    Put32(file, static_cast<uint32_t>(kFixedHeaderSize + etagLength));
    Put16(file, kFormatVersion);
    Put16(file, kMagic);
    file.resize(kExpiryOffset, 0);
    file.resize(kExpiryOffset + 8);
    PutDouble(file.data() + kExpiryOffset, expiry);
    Put16(file, static_cast<uint16_t>(etagLength));
    file.insert(file.end(), etag, etag + etagLength);
    file.insert(file.end(), data.Data(), data.Data() + data.Size());

    platform::FileError err;
    if (!platform::WriteWholeFile(path.GetString(), file.data(), file.size(), err)) {
        log.LogError("Failed to write cache file");
        log.LogData("error", err.message.c_str());
        return false;
    }
    return true;
}

bool ClsCache2::FetchFromCache(const char* resourceName, DataBuffer& out, LogBase& log)
{
    if (!CheckRoots(log))
        return false;
    ForgetLastFetch();
    StringBuffer path;
    if (!GetFilename(resourceName, path)) {
        log.LogError("Failed to convert resource name to filename");
        return false;
    }
    LogFilenameValue(log, path);
    if (!platform::FileExists(path.GetString())) {
        log.LogError("Resource is not cached");
        return false;
    }
    std::vector<uint8_t> bytes;
    platform::FileError err;
    if (!platform::ReadWholeFileUpTo(path.GetString(), kMaxFileBytes, bytes, err)) {
        log.LogError("Failed to load cache file");
        log.LogData("error", err.message.c_str());
        return false;
    }
    DatFile dat;
    if (!ParseDatFile(bytes, dat)) {
        log.LogError("Not a valid cache file.");
        return false;
    }
    out.Clear();
    out.AppendBytes(bytes.data() + dat.headerLength, static_cast<unsigned>(bytes.size() - dat.headerLength));
    lastEtag_.SetString("");
    lastEtag_.AppendBytes(dat.etag, dat.etagLength);
    lastName_.SetString(resourceName);
    lastExpiry_ = dat.expiry;
    platform::CalendarTime expiry;
    if (GetExpiration(expiry)) {
        StringBuffer text;
        DateParser::FormatRfc822(expiry, text);
        log.LogData("Expiration", text.GetString());
    }
    return true;
}

bool ClsCache2::UpdateExpiration(const char* resourceName, const platform::CalendarTime& expire, LogBase& log)
{
    if (!CheckRoots(log))
        return false;
    StringBuffer path;
    double expiry = 0;
    if (!GetFilename(resourceName, path)) {
        log.LogError("Failed to convert resource name to filename");
        return false;
    }
    if (!ExpiryOf(expire, expiry, log))
        return false;
    // Only a file that holds the whole fixed header is patched; writing the
    // expiry into anything shorter would extend a foreign or broken file.
    std::vector<uint8_t> head;
    platform::FileError err;
    if (!platform::ReadFileAt(path.GetString(), 0, kFixedHeaderSize, head, err)) {
        log.LogError("Failed to open file");
        log.LogData("filename", path.GetString());
        return false;
    }
    if (head.size() < kFixedHeaderSize) {
        log.LogError("Failed to seek to position in cache file.");
        return false;
    }
    if (LittleEndian::Get16(head.data() + 6) != kMagic) {
        log.LogError("Not a valid cache file.");
        return false;
    }
    uint8_t bytes[8];
    PutDouble(bytes, expiry);
    if (!platform::WriteFileAt(path.GetString(), kExpiryOffset, bytes, sizeof bytes, err)) {
        log.LogError("Failed to update cache file.");
        log.LogData("error", err.message.c_str());
        return false;
    }
    if (lastName_.Equals(resourceName))
        lastExpiry_ = expiry;
    return true;
}

bool ClsCache2::IsExpired() const
{
    if (lastName_.IsEmpty() || lastExpiry_ == 0)
        return false;
    return ToOleDate(platform::LocalTime()) >= lastExpiry_;
}

bool ClsCache2::GetExpiration(platform::CalendarTime& out) const
{
    return lastExpiry_ != 0 && DateParser::FromOleDate(lastExpiry_, out);
}

bool ClsCache2::IsCached(const char* resourceName) const
{
    StringBuffer path;
    return GetFilename(resourceName, path) && platform::FileExists(path.GetString());
}

} // namespace plentor

#include "http/cache/HttpCache.h"
#include "text/LittleEndian.h"

#include "base/LogBase.h"
#include "http/cache/CachePaths.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "text/BzipBlock.h"
#include "text/Crc32.h"
#include "text/DataBuffer.h"
#include "text/Md5.h"
#include "text/StringBuffer.h"

#include <algorithm>
#include <cstring>

namespace plentor {

namespace {

// The largest block bzip2 makes of n bytes: 1% plus 600 bytes of overhead.
constexpr uint64_t PackedBound(uint64_t n) { return n + n / 100 + 600; }

// Where the default root sits when a root text is empty.
constexpr const char* kDefaultRoot = "c:/temp/";

// Bytes 8 to 19 of an entry: negative, flags, reserved, both stamps. Domain
// marks change these in place.
constexpr uint32_t kMarkPatchOffset = 8;
constexpr uint32_t kMarkPatchSize = 12;

uint32_t TextCrc(const char* text) { return text ? Crc32::Compute(text, std::strlen(text)) : 0; }

// Year - 2000, month, day, hour of the current UTC time.
void StampNow(uint8_t out[4])
{
    platform::CalendarTime now = platform::SystemTime();
    out[0] = static_cast<uint8_t>(std::clamp(now.year - 2000, 0, 255));
    out[1] = static_cast<uint8_t>(now.month);
    out[2] = static_cast<uint8_t>(now.day);
    out[3] = static_cast<uint8_t>(now.hour);
}

// Images and PDF documents are already compressed; bzip2 would only cost time.
bool StoresBodyCompressed(const char* key, uint8_t flags)
{
    if (!(flags & CacheEntry::kFlagCompressed))
        return false;
    StringBuffer k(key);
    return !k.ContainsNoCase(".gif") && !k.ContainsNoCase(".pdf");
}

void LogCorrupt(LogBase& log, const std::string& path, const char* reason)
{
    log.LogError("Corrupt cache file, treated as empty");
    log.LogData("cacheFile", path.c_str());
    log.LogData("reason", reason);
}


std::string DomainKey(const char* host)
{
    std::string key = "dns://";
    for (const char* p = host; *p; ++p)
        key += (*p >= 'A' && *p <= 'Z') ? static_cast<char>(*p + ('a' - 'A')) : *p;
    return key;
}

// Checks that an entry's fixed part and blocks lie inside the file and within
// the limits. Gives the reason when they do not.
const char* CheckExtent(uint32_t offset, const CacheEntry::Fixed& f, uint64_t fileSize)
{
    if (f.keyLength == 0 || f.keyLength > HttpCache::kMaxKeyBytes)
        return "bad key length";
    if (f.headerBlockLength > PackedBound(HttpCache::kMaxHeaderBytes))
        return "header block too large";
    if (f.bodyBlockLength > PackedBound(HttpCache::kMaxBodyBytes))
        return "body block too large";
    uint64_t end = uint64_t {offset} + CacheEntry::kFixedSize + f.keyLength + f.headerBlockLength + f.bodyBlockLength;
    if (end > fileSize)
        return "entry runs past the end of the file";
    return nullptr;
}

// The capacity, count and slots at the start of a ".caf" file, and the fixed
// part of every entry in use.
struct FileHead {
    uint64_t fileSize = 0;
    uint32_t count = 0;
    std::vector<uint8_t> bytes;   // kFileHeaderSize bytes, or fewer for a short file
    std::vector<CacheEntry::Fixed> fixed;

    uint32_t SlotOffset(uint32_t i) const { return LittleEndian::Get32(bytes.data() + 8 + 8 * i); }
    uint32_t SlotCrc(uint32_t i) const { return LittleEndian::Get32(bytes.data() + 12 + 8 * i); }
};

enum class HeadState { Ok, Missing, Corrupt };

const char* ReadSlotsHeader(const std::string& path, FileHead& head)
{
    platform::FileError err;
    if (!platform::ReadFileAt(path.c_str(), 0, HttpCache::kFileHeaderSize, head.bytes, err))
        return "file cannot be read";
    if (head.bytes.size() < 8)
        return "file too short for its header";
    if (LittleEndian::Get32(head.bytes.data()) != HttpCache::kSlotCapacity)
        return "bad capacity field";
    head.count = LittleEndian::Get32(head.bytes.data() + 4);
    if (head.count > HttpCache::kSlotCapacity)
        return "entry count beyond capacity";
    if (head.bytes.size() < 8 + 8 * static_cast<size_t>(head.count))
        return "file too short for its slots";
    return nullptr;
}

// Reads the fixed part of every entry in use and checks its extent, so that a
// file damaged anywhere in its structure reads as empty as a whole.
const char* ReadEntryParts(const std::string& path, FileHead& head)
{
    platform::FileError err;
    std::vector<uint8_t> bytes;
    for (uint32_t i = 0; i < head.count; ++i) {
        uint32_t offset = head.SlotOffset(i);
        if (offset < HttpCache::kFileHeaderSize || uint64_t {offset} + CacheEntry::kFixedSize > head.fileSize)
            return "slot points outside the file";
        if (!platform::ReadFileAt(path.c_str(), offset, CacheEntry::kFixedSize, bytes, err) ||
            bytes.size() < CacheEntry::kFixedSize)
            return "entry cannot be read";
        head.fixed.push_back(CacheEntry::DecodeFixed(bytes.data()));
        if (const char* bad = CheckExtent(offset, head.fixed.back(), head.fileSize))
            return bad;
    }
    return nullptr;
}

HeadState ReadHead(const std::string& path, FileHead& head, const char*& reason)
{
    platform::FileError err;
    if (!platform::FileSizeOf(path.c_str(), head.fileSize, err))
        return HeadState::Missing;
    reason = ReadSlotsHeader(path, head);
    if (!reason)
        reason = ReadEntryParts(path, head);
    return reason ? HeadState::Corrupt : HeadState::Ok;
}

bool BlocksWithinLimits(size_t keyBytes, const StringBuffer& header, const DataBuffer& body, LogBase& log)
{
    if (keyBytes > HttpCache::kMaxKeyBytes) {
        log.LogError("Cache key too long");
        log.LogDataLong("keyLength", static_cast<int64_t>(keyBytes));
        return false;
    }
    if (static_cast<uint64_t>(header.GetLength()) + 1 > HttpCache::kMaxHeaderBytes) {
        log.LogError("Response header too large to cache");
        return false;
    }
    if (body.Size() > HttpCache::kMaxBodyBytes) {
        log.LogError("Response body too large to cache");
        log.LogDataLong("bodySize", body.Size());
        return false;
    }
    return true;
}

struct EntryInput {
    const char* key;
    const StringBuffer& header;
    const DataBuffer& body;
    HttpCache::EntryKind kind;
    uint8_t reserved1;
    uint8_t reserved2;
    uint8_t flags;
    const char* auxText;
};

// Lays out one entry: fixed part, key with NUL, header block, body block.
bool BuildEntry(const EntryInput& in, std::vector<uint8_t>& entry, LogBase& log)
{
    size_t keyBytes = std::strlen(in.key) + 1;
    if (!BlocksWithinLimits(keyBytes, in.header, in.body, log))
        return false;
    bool compress = StoresBodyCompressed(in.key, in.flags);
    DataBuffer headerBlock;
    DataBuffer bodyBlock;
    if (!BzipBlock::Compress(in.header.GetString(), static_cast<unsigned>(in.header.GetLength()) + 1, headerBlock, log))
        return false;
    if (compress && !BzipBlock::Compress(in.body.Data(), in.body.Size(), bodyBlock, log))
        return false;
    const DataBuffer& storedBody = compress ? bodyBlock : in.body;

    CacheEntry::Fixed f;
    f.auxCrc = TextCrc(in.auxText);
    f.bodyCrc = Crc32::Compute(in.body.Data(), in.body.Size());
    f.negative = in.kind == HttpCache::EntryKind::Negative ? 1 : 0;
    f.flags = compress ? in.flags : static_cast<uint8_t>(in.flags & ~CacheEntry::kFlagCompressed);
    f.reserved1 = in.reserved1;
    f.reserved2 = in.reserved2;
    StampNow(f.storedAt);
    if (!f.negative)
        std::copy(f.storedAt, f.storedAt + 4, f.secondStamp);
    f.keyLength = static_cast<uint32_t>(keyBytes);
    f.headerBlockLength = headerBlock.Size();
    f.bodyBlockLength = storedBody.Size();

    entry.resize(CacheEntry::kFixedSize);
    CacheEntry::EncodeFixed(f, entry.data());
    entry.insert(entry.end(), in.key, in.key + keyBytes);
    entry.insert(entry.end(), headerBlock.Data(), headerBlock.Data() + headerBlock.Size());
    entry.insert(entry.end(), storedBody.Data(), storedBody.Data() + storedBody.Size());
    return true;
}

bool LogWriteFailure(LogBase& log, const std::string& path, const platform::FileError& err)
{
    log.LogError("Failed to write cache file");
    log.LogData("cacheFile", path.c_str());
    log.LogData("error", err.message.c_str());
    return false;
}

// Turns the blocks of an entry read from disk into key, header and body.
const char* DecodeBlocks(const uint8_t* p, const CacheEntry::Fixed& f, CacheEntry& out, LogBase& log)
{
    const uint8_t* keyBytes = p + CacheEntry::kFixedSize;
    if (keyBytes[f.keyLength - 1] != 0)
        return "key text not terminated";
    out.key.SetString(reinterpret_cast<const char*>(keyBytes));
    out.keyCrc = TextCrc(out.key.GetString());

    const uint8_t* headerBlock = keyBytes + f.keyLength;
    DataBuffer headerText;
    if (!BzipBlock::Decompress(headerBlock, f.headerBlockLength, HttpCache::kMaxHeaderBytes, headerText, log))
        return "bad header block";
    if (!headerText.IsEmpty() && headerText.Data()[headerText.Size() - 1] == 0)
        headerText.DropLast(1);
    out.header.Clear();
    out.header.AppendDataBuffer(headerText);

    const uint8_t* bodyBlock = headerBlock + f.headerBlockLength;
    if (f.flags & CacheEntry::kFlagCompressed) {
        if (!BzipBlock::Decompress(bodyBlock, f.bodyBlockLength, HttpCache::kMaxBodyBytes, out.body, log))
            return "bad body block";
    } else {
        out.body.AppendBytes(bodyBlock, f.bodyBlockLength);
    }
    if (Crc32::Compute(out.body.Data(), out.body.Size()) != f.bodyCrc)
        return "body CRC mismatch";
    return nullptr;
}

// The entry's bytes, with the folders of the file they go to made.
bool PrepareEntry(const EntryInput& in, const StringBuffer& path, std::vector<uint8_t>& entry, LogBase& log)
{
    return BuildEntry(in, entry, log) && CachePaths::CreateParentDirectories(path.GetString(), log);
}

} // namespace

HttpCache::~HttpCache() = default;

void HttpCache::AddRoot(const char* dir) { roots_.emplace_back(dir ? dir : ""); }

bool HttpCache::GetCachePath(const char* key, StringBuffer& path) const
{
    if (roots_.empty() || !key)
        return false;
    uint8_t d[Md5::kDigestSize];
    Md5::Digest(key, std::strlen(key), d);
    const std::string& root = roots_[d[0] % roots_.size()];
    path.SetString(root.empty() ? kDefaultRoot : root.c_str());
    path.AppendInt(d[1]);
    path.AppendChar('/');
    path.AppendInt(d[2]);
    path.AppendChar('/');
    path.AppendInt(LittleEndian::Get32(d + 3) % static_cast<uint32_t>(filesPerDir_));
    path.Append(".caf");
    return true;
}

bool HttpCache::PathFor(const char* key, StringBuffer& path, LogBase& log) const
{
    if (GetCachePath(key, path))
        return true;
    log.LogError(roots_.empty() ? "No cache roots have been set." : "No cache key");
    return false;
}

HttpCache::Probe HttpCache::Locate(const char* key, Location& where, LogBase& log)
{
    StringBuffer path;
    if (!PathFor(key, path, log))
        return Probe::Unusable;
    where.path = path.ToStdString();
    FileHead head;
    const char* reason = nullptr;
    HeadState state = ReadHead(where.path, head, reason);
    if (state == HeadState::Missing)
        return Probe::NotFound;
    if (state == HeadState::Corrupt) {
        LogCorrupt(log, where.path, reason);
        return Probe::NotFound;
    }
    uint32_t crc = TextCrc(key);
    for (uint32_t i = 0; i < head.count; ++i) {
        if (head.SlotCrc(i) == crc) {
            where.offset = head.SlotOffset(i);
            where.fixed = head.fixed[i];
            return Probe::Found;
        }
    }
    return Probe::NotFound;
}

bool HttpCache::LookupEntry(const char* key, bool& found, CacheEntry::Fixed& fixed, LogBase& log)
{
    found = false;
    Location where;
    Probe probe = Locate(key, where, log);
    if (probe == Probe::Found) {
        found = true;
        fixed = where.fixed;
    }
    return probe != Probe::Unusable;
}

std::unique_ptr<CacheEntry> HttpCache::GetEntry(const char* key, bool& negative, LogBase& log)
{
    negative = false;
    Location where;
    if (Locate(key, where, log) != Probe::Found)
        return nullptr;
    if (where.fixed.secondStamp[2] == 0) {
        negative = true;
        return nullptr;
    }
    const CacheEntry::Fixed& f = where.fixed;
    size_t total = size_t {CacheEntry::kFixedSize} + f.keyLength + f.headerBlockLength + f.bodyBlockLength;
    std::vector<uint8_t> bytes;
    platform::FileError err;
    if (!platform::ReadFileAt(where.path.c_str(), where.offset, total, bytes, err) || bytes.size() < total) {
        LogCorrupt(log, where.path, "entry cannot be read");
        return nullptr;
    }
    auto entry = std::make_unique<CacheEntry>();
    entry->fixed = f;
    if (const char* bad = DecodeBlocks(bytes.data(), f, *entry, log)) {
        LogCorrupt(log, where.path, bad);
        return nullptr;
    }
    return entry;
}

bool HttpCache::WriteEntry(const std::string& path, const std::vector<uint8_t>& entry, uint32_t keyCrc, LogBase& log)
{
    FileHead head;
    const char* reason = nullptr;
    HeadState state = ReadHead(path, head, reason);
    platform::FileError err;
    bool append = state == HeadState::Ok && head.count < kSlotCapacity && head.fileSize >= kFileHeaderSize &&
                  head.fileSize + entry.size() <= kMaxFileBytes;
    if (append) {
        auto offset = static_cast<uint32_t>(head.fileSize);
        if (!platform::WriteFileAt(path.c_str(), offset, entry.data(), entry.size(), err))
            return LogWriteFailure(log, path, err);
        // The slot is written after the entry, so an interrupted append leaves
        // only unreferenced bytes behind.
        LittleEndian::Put32(head.bytes.data() + 8 + 8 * head.count, offset);
        LittleEndian::Put32(head.bytes.data() + 12 + 8 * head.count, keyCrc);
        LittleEndian::Put32(head.bytes.data() + 4, head.count + 1);
        if (!platform::WriteFileAt(path.c_str(), 0, head.bytes.data(), kFileHeaderSize, err))
            return LogWriteFailure(log, path, err);
        return true;
    }
    if (state == HeadState::Corrupt) {
        log.LogInfo("Restarting unreadable cache file");
        log.LogData("reason", reason);
    }
    std::vector<uint8_t> file(kFileHeaderSize, 0);
    LittleEndian::Put32(file.data(), kSlotCapacity);
    LittleEndian::Put32(file.data() + 4, 1);
    LittleEndian::Put32(file.data() + 8, kFileHeaderSize);
    LittleEndian::Put32(file.data() + 12, keyCrc);
    file.insert(file.end(), entry.begin(), entry.end());
    if (!platform::WriteWholeFile(path.c_str(), file.data(), file.size(), err))
        return LogWriteFailure(log, path, err);
    return true;
}

bool HttpCache::CreateEntry(const char* key, const StringBuffer& header, const DataBuffer& body, EntryKind kind,
                            uint8_t reserved1, uint8_t reserved2, uint8_t flags, const char* auxText, LogBase& log)
{
    StringBuffer path;
    std::vector<uint8_t> entry;
    if (!PathFor(key, path, log) ||
        !PrepareEntry(EntryInput {key, header, body, kind, reserved1, reserved2, flags, auxText}, path, entry, log))
        return false;
    return WriteEntry(path.ToStdString(), entry, TextCrc(key), log);
}

// The file is written anew, whole, with the entries it holds for other keys
// first and the key's new entry last; a file that cannot be read starts over
// with the new entry alone.
bool HttpCache::RewriteEntry(const char* key, const StringBuffer& header, const DataBuffer& body, EntryKind kind,
                             uint8_t reserved1, uint8_t reserved2, uint8_t flags, const char* auxText, LogBase& log)
{
    StringBuffer path;
    std::vector<uint8_t> entry;
    if (!PathFor(key, path, log) ||
        !PrepareEntry(EntryInput {key, header, body, kind, reserved1, reserved2, flags, auxText}, path, entry, log))
        return false;
    const std::string file = path.ToStdString();
    const size_t keyBytes = std::strlen(key) + 1;

    struct Kept {
        std::vector<uint8_t> bytes;
        uint32_t crc;
    };
    std::vector<Kept> kept;
    FileHead head;
    const char* reason = nullptr;
    platform::FileError err;
    if (ReadHead(file, head, reason) == HeadState::Ok) {
        for (uint32_t i = 0; i < head.count; ++i) {
            const CacheEntry::Fixed& f = head.fixed[i];
            const size_t total = size_t {CacheEntry::kFixedSize} + f.keyLength + f.headerBlockLength + f.bodyBlockLength;
            std::vector<uint8_t> bytes;
            if (!platform::ReadFileAt(file.c_str(), head.SlotOffset(i), total, bytes, err) || bytes.size() < total)
                continue;
            const bool sameKey = f.keyLength == keyBytes &&
                                 std::memcmp(bytes.data() + CacheEntry::kFixedSize, key, keyBytes) == 0;
            if (!sameKey)
                kept.push_back(Kept {std::move(bytes), head.SlotCrc(i)});
        }
    }
    // The oldest give way while the new entry would not fit.
    uint64_t size = kFileHeaderSize + entry.size();
    for (const Kept& k : kept)
        size += k.bytes.size();
    size_t first = 0;
    while (first < kept.size() && (kept.size() - first + 1 > kSlotCapacity || size > kMaxFileBytes))
        size -= kept[first++].bytes.size();

    std::vector<uint8_t> out(kFileHeaderSize, 0);
    const auto count = static_cast<uint32_t>(kept.size() - first + 1);
    LittleEndian::Put32(out.data(), kSlotCapacity);
    LittleEndian::Put32(out.data() + 4, count);
    auto append = [&out](const std::vector<uint8_t>& bytes, uint32_t crc, uint32_t slot) {
        LittleEndian::Put32(out.data() + 8 + 8 * slot, static_cast<uint32_t>(out.size()));
        LittleEndian::Put32(out.data() + 12 + 8 * slot, crc);
        out.insert(out.end(), bytes.begin(), bytes.end());
    };
    uint32_t slot = 0;
    for (size_t i = first; i < kept.size(); ++i)
        append(kept[i].bytes, kept[i].crc, slot++);
    append(entry, TextCrc(key), slot);
    if (!platform::WriteWholeFile(file.c_str(), out.data(), out.size(), err))
        return LogWriteFailure(log, file, err);
    return true;
}

bool HttpCache::KeyMatches(const Location& where, const std::string& key, LogBase& log)
{
    if (where.fixed.keyLength != key.size() + 1)
        return false;
    std::vector<uint8_t> stored;
    platform::FileError err;
    if (!platform::ReadFileAt(where.path.c_str(), uint64_t {where.offset} + CacheEntry::kFixedSize,
                              where.fixed.keyLength, stored, err) ||
        stored.size() != where.fixed.keyLength) {
        LogCorrupt(log, where.path, "entry cannot be read");
        return false;
    }
    return std::memcmp(stored.data(), key.c_str(), stored.size()) == 0;
}

bool HttpCache::IsDomainMarkedInvalid(const char* host, bool& found, bool& invalid, LogBase& log)
{
    found = false;
    invalid = false;
    if (!host)
        return false;
    std::string key = DomainKey(host);
    Location where;
    Probe probe = Locate(key.c_str(), where, log);
    if (probe == Probe::Found && KeyMatches(where, key, log)) {
        found = true;
        invalid = where.fixed.negative != 0;
    }
    return probe != Probe::Unusable;
}

// An existing mark is changed in place (negative byte and stamps), so marking
// a domain never costs the other entries of its file; a missing one is added.
bool HttpCache::SetDomainMark(const char* host, EntryKind kind, LogBase& log)
{
    if (!host)
        return false;
    std::string key = DomainKey(host);
    Location where;
    Probe probe = Locate(key.c_str(), where, log);
    if (probe == Probe::Unusable)
        return false;
    bool negative = kind == EntryKind::Negative;
    if (probe == Probe::NotFound || !KeyMatches(where, key, log)) {
        StringBuffer noHeader;
        DataBuffer noBody;
        return CreateEntry(key.c_str(), noHeader, noBody, kind, 0, 0, 0, "", log);
    }
    if (!negative && where.fixed.negative == 0)
        return true;
    CacheEntry::Fixed f = where.fixed;
    f.negative = negative ? 1 : 0;
    StampNow(f.storedAt);
    std::fill(f.secondStamp, f.secondStamp + 4, uint8_t {0});
    if (!negative)
        std::copy(f.storedAt, f.storedAt + 4, f.secondStamp);
    uint8_t fixed[CacheEntry::kFixedSize];
    CacheEntry::EncodeFixed(f, fixed);
    platform::FileError err;
    if (!platform::WriteFileAt(where.path.c_str(), uint64_t {where.offset} + kMarkPatchOffset,
                               fixed + kMarkPatchOffset, kMarkPatchSize, err))
        return LogWriteFailure(log, where.path, err);
    return true;
}

bool HttpCache::MarkDomainInvalid(const char* host, LogBase& log) { return SetDomainMark(host, EntryKind::Negative, log); }

bool HttpCache::MarkDomainValid(const char* host, LogBase& log) { return SetDomainMark(host, EntryKind::Response, log); }

} // namespace plentor

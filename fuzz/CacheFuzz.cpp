// The readers of the two disk caches: ".caf" files of the HTTP response
// cache and ".dat" files of the resource cache. Files come either straight
// from the input or from the cache's own writer with input bytes patched
// in; whatever the writer stores reads back unchanged.

#include "FuzzInput.h"

#include "base/LogNull.h"
#include "http/cache/CacheEntry.h"
#include "http/cache/CachePaths.h"
#include "http/cache/ClsCache2.h"
#include "http/cache/HttpCache.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "text/Crc32.h"
#include "text/DataBuffer.h"
#include "text/LittleEndian.h"
#include "text/StringBuffer.h"

#include <cstring>
#include <string>
#include <vector>

using namespace plentor;
using namespace plentor::fuzz;

namespace {

enum class Mode { RawCaf, PatchedCaf, RawDat, PatchedDat, Count };

// Slots of a ".caf" file start after capacity and count; each holds an
// offset and the CRC-32 of its key.
constexpr size_t kFirstSlotCrc = 12;
constexpr size_t kSlotSize = 8;

// Overwrites bytes of a file: pairs of a 16-bit offset and a byte value.
void Patch(FuzzInput& in, std::string& file)
{
    for (unsigned count = in.Pick(8); count > 0 && !file.empty(); --count) {
        const uint32_t offset = in.Number(2);
        file[offset % file.size()] = static_cast<char>(in.Byte());
    }
}

std::string ReadBack(const std::string& path)
{
    std::vector<uint8_t> bytes;
    platform::FileError err;
    platform::ReadWholeFile(path.c_str(), bytes, err);
    return std::string(bytes.begin(), bytes.end());
}

void Store(const std::string& path, const std::string& bytes)
{
    platform::FileError err;
    platform::WriteWholeFile(path.c_str(), bytes.data(), bytes.size(), err);
}

void ReadCaf(HttpCache& cache, const std::string& key, LogBase& log)
{
    bool found = false;
    CacheEntry::Fixed fixed;
    cache.LookupEntry(key.c_str(), found, fixed, log);
    bool negative = false;
    cache.GetEntry(key.c_str(), negative, log);
}

void Caf(FuzzInput& in, Mode mode, LogBase& log)
{
    const uint8_t flags = in.Byte();
    std::string key = CString(in.Piece('\n'));
    if (key.empty())
        key = "http://example.com/";
    HttpCache cache;
    cache.AddRoot((ScratchDirectory() + "caf/").c_str());
    StringBuffer path;
    Require(cache.GetCachePath(key.c_str(), path));
    platform::DeleteFileAt(path.GetString());
    Require(CachePaths::CreateParentDirectories(path.GetString(), log));

    std::string file;
    if (mode == Mode::RawCaf) {
        file = std::string(in.Rest());
        // The slots name the key by CRC, which random bytes never hit.
        if (flags & 1) {
            const uint32_t crc = Crc32::Compute(key.data(), key.size());
            for (size_t at = kFirstSlotCrc; at + 4 <= file.size() && at < HttpCache::kFileHeaderSize; at += kSlotSize)
                LittleEndian::Put32(reinterpret_cast<uint8_t*>(file.data()) + at, crc);
        }
    } else {
        const std::string header = CString(in.Piece('\n'));
        const std::string body(in.Piece('\n'));
        const auto kind = (flags & 1) ? HttpCache::EntryKind::Negative : HttpCache::EntryKind::Response;
        const uint8_t entryFlags = (flags & 2) ? CacheEntry::kFlagCompressed : 0;
        Require(cache.CreateEntry(key.c_str(), StringBuffer(header.c_str()),
                                  DataBuffer(body.data(), static_cast<unsigned>(body.size())), kind, 0, 0,
                                  entryFlags, "aux", log));
        bool negative = false;
        std::unique_ptr<CacheEntry> entry = cache.GetEntry(key.c_str(), negative, log);
        Require(negative == (kind == HttpCache::EntryKind::Negative));
        if (!negative) {
            Require(entry && entry->key.Equals(key.c_str()) && entry->header.Equals(header.c_str()));
            Require(entry->body.Equals(body.data(), static_cast<unsigned>(body.size())));
        }
        file = ReadBack(path.GetString());
        Patch(in, file);
    }
    Store(path.GetString(), file);
    ReadCaf(cache, key, log);
    // A write into whatever is on disk (appended, or the file restarted),
    // then a read; an older entry of the same key may answer.
    if (cache.CreateEntry(key.c_str(), StringBuffer("HTTP/1.1 200 OK"), DataBuffer("x", 1),
                          HttpCache::EntryKind::Response, 0, 0, 0, nullptr, log))
        ReadCaf(cache, key, log);
    bool found = false, invalid = false;
    cache.IsDomainMarkedInvalid(key.c_str(), found, invalid, log);
}

void Dat(FuzzInput& in, Mode mode, LogBase& log)
{
    std::string name = CString(in.Piece('\n'));
    if (name.empty())
        name = "resource";
    ClsCache2 cache;
    cache.AddRoot((ScratchDirectory() + "dat").c_str());
    cache.SetLevel(static_cast<int>(name.size() % 3));
    StringBuffer path;
    Require(cache.GetFilename(name.c_str(), path));
    platform::DeleteFileAt(path.GetString());
    Require(CachePaths::CreateParentDirectories(path.GetString(), log));

    std::string file;
    if (mode == Mode::RawDat) {
        file = std::string(in.Rest());
    } else {
        const std::string etag = CString(in.Piece('\n'));
        const std::string data(in.Piece('\n'));
        platform::CalendarTime expire;
        expire.year = 2030;
        expire.month = 1;
        expire.day = 2;
        Require(cache.SaveToCache(name.c_str(), expire, etag.c_str(),
                                  DataBuffer(data.data(), static_cast<unsigned>(data.size())), log));
        DataBuffer out;
        Require(cache.FetchFromCache(name.c_str(), out, log));
        Require(out.Equals(data.data(), static_cast<unsigned>(data.size())));
        StringBuffer storedEtag;
        cache.GetEtag(storedEtag);
        Require(storedEtag.Equals(etag.c_str()));
        file = ReadBack(path.GetString());
        Patch(in, file);
    }
    Store(path.GetString(), file);
    DataBuffer out;
    if (cache.FetchFromCache(name.c_str(), out, log)) {
        platform::CalendarTime expiry;
        cache.GetExpiration(expiry);
        cache.IsExpired();
        StringBuffer etag;
        cache.GetEtag(etag);
    }
    platform::CalendarTime later;
    later.year = 2031;
    later.month = 6;
    later.day = 30;
    if (cache.UpdateExpiration(name.c_str(), later, log))
        cache.FetchFromCache(name.c_str(), out, log);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const auto mode = static_cast<Mode>(in.Pick(static_cast<unsigned>(Mode::Count)));
    LogNull log;
    if (mode == Mode::RawCaf || mode == Mode::PatchedCaf)
        Caf(in, mode, log);
    else
        Dat(in, mode, log);
    return 0;
}

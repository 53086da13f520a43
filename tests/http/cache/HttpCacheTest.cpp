#include "http/cache/HttpCache.h"

#include "text/BzipBlock.h"

#include "log/Logger.h"
#include "text/Crc32.h"
#include "text/DataBuffer.h"
#include "text/Md5.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace plentor {
namespace {

using Bytes = std::vector<uint8_t>;
using Kind = HttpCache::EntryKind;

uint32_t Le32(const Bytes& b, size_t at)
{
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void SetLe32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t KeyCrc(const std::string& key) { return Crc32::Compute(key.data(), key.size()); }

// Keys that land in the same ".caf" file as first when there is one root and
// one file per directory: the file then depends only on digest bytes 1 and 2.
std::vector<std::string> KeysSharingFile(const std::string& first, size_t count)
{
    uint8_t want[Md5::kDigestSize];
    Md5::Digest(first.data(), first.size(), want);
    std::vector<std::string> keys;
    uint8_t d[Md5::kDigestSize];
    for (unsigned i = 0; keys.size() < count; ++i) {
        std::string key = "http://example.com/p" + std::to_string(i);
        Md5::Digest(key.data(), key.size(), d);
        if (d[1] == want[1] && d[2] == want[2] && key != first)
            keys.push_back(key);
    }
    return keys;
}

class HttpCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = std::filesystem::temp_directory_path() /
               ("plentor_caf_" + std::to_string(rd()) + "_" + std::to_string(rd()));
        std::filesystem::create_directories(dir_);
        // A nested root that does not exist yet: writing must create it.
        cache_.AddRoot(((dir_ / "root" / "cache").string() + "/").c_str());
        cache_.SetFilesPerDir(1);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    bool Store(const std::string& key, const std::string& body, Kind kind = Kind::Response)
    {
        DataBuffer data(body.data(), static_cast<unsigned>(body.size()));
        return cache_.CreateEntry(key.c_str(), header_, data, kind, 0, 0, CacheEntry::kFlagCompressed, "Nothing",
                                  log_);
    }

    std::string PathOf(const std::string& key)
    {
        StringBuffer path;
        EXPECT_TRUE(cache_.GetCachePath(key.c_str(), path));
        return path.ToStdString();
    }

    Bytes ReadFile(const std::string& key)
    {
        std::ifstream in(PathOf(key), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    void WriteFile(const std::string& key, const Bytes& bytes)
    {
        std::ofstream(PathOf(key), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // Body of the key's entry, or "<none>" / "<negative>".
    std::string BodyOf(const std::string& key)
    {
        bool negative = false;
        auto entry = cache_.GetEntry(key.c_str(), negative, log_);
        if (negative)
            return "<negative>";
        if (!entry)
            return "<none>";
        return std::string(reinterpret_cast<const char*>(entry->body.Data()), entry->body.Size());
    }

    std::string LogText()
    {
        StringBuffer text;
        log_.GetText(text);
        return text.ToStdString();
    }

    std::filesystem::path dir_;
    HttpCache cache_;
    Logger log_;
    StringBuffer header_ {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"};
};

TEST_F(HttpCacheTest, StoresAnEntryAndReadsItBack)
{
    const std::string key = "http://example.com/index.html";
    const std::string body = "<html>" + std::string(3000, 'x') + "</html>";
    ASSERT_TRUE(Store(key, body));

    bool negative = true;
    auto entry = cache_.GetEntry(key.c_str(), negative, log_);
    ASSERT_TRUE(entry);
    EXPECT_FALSE(negative);
    EXPECT_STREQ(entry->key.GetString(), key.c_str());
    EXPECT_EQ(entry->keyCrc, KeyCrc(key));
    EXPECT_STREQ(entry->header.GetString(), header_.GetString());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry->body.Data()), entry->body.Size()), body);
    EXPECT_EQ(entry->fixed.auxCrc, Crc32::Compute("Nothing", 7));
    EXPECT_EQ(entry->fixed.bodyCrc, Crc32::Compute(body.data(), body.size()));
    EXPECT_EQ(entry->fixed.negative, 0);
    EXPECT_EQ(entry->fixed.flags, CacheEntry::kFlagCompressed);
    EXPECT_EQ(0, std::memcmp(entry->fixed.storedAt, entry->fixed.secondStamp, 4));
    EXPECT_GE(entry->fixed.storedAt[0], 24);   // years since 2000
    EXPECT_EQ(entry->fixed.keyLength, key.size() + 1);

    // File layout: capacity, count, first slot at 88 with the key's CRC, nine empty slots.
    Bytes file = ReadFile(key);
    ASSERT_GT(file.size(), 88u + 32u);
    EXPECT_EQ(Le32(file, 0), 10u);
    EXPECT_EQ(Le32(file, 4), 1u);
    EXPECT_EQ(Le32(file, 8), 88u);
    EXPECT_EQ(Le32(file, 12), KeyCrc(key));
    for (size_t at = 16; at < 88; ++at) {
        EXPECT_EQ(file[at], 0) << at;
    }
    EXPECT_EQ(0, std::memcmp(file.data() + 88 + 32, key.c_str(), key.size() + 1));
    EXPECT_LT(file.size(), body.size());   // the body went in compressed
}

TEST_F(HttpCacheTest, GifAndPdfBodiesAreStoredAsIs)
{
    struct Case {
        const char* key;
        bool compressed;
    };
    const Case cases[] = {
        {"http://example.com/logo.gif", false},
        {"http://example.com/LOGO.GIF?x=1", false},
        {"http://example.com/paper.Pdf", false},
        {"http://example.com/page.html", true},
    };
    const std::string body = "GIF89a" + std::string(2000, '\x01') + "END-OF-BODY";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        ASSERT_TRUE(Store(c.key, body));
        bool found = false;
        CacheEntry::Fixed fixed;
        ASSERT_TRUE(cache_.LookupEntry(c.key, found, fixed, log_));
        ASSERT_TRUE(found);
        EXPECT_EQ((fixed.flags & CacheEntry::kFlagCompressed) != 0, c.compressed);
        Bytes file = ReadFile(c.key);
        bool verbatim = std::search(file.begin(), file.end(), body.begin(), body.end()) != file.end();
        EXPECT_EQ(verbatim, !c.compressed);
        EXPECT_EQ(BodyOf(c.key), body);
    }
}

TEST_F(HttpCacheTest, AppendsToASharedFileWithoutTouchingEarlierEntries)
{
    const std::string first = "http://example.com/first";
    std::vector<std::string> keys = KeysSharingFile(first, 2);
    keys.insert(keys.begin(), first);
    Bytes before;
    for (size_t i = 0; i < keys.size(); ++i) {
        ASSERT_TRUE(Store(keys[i], "body " + std::to_string(i)));
        Bytes after = ReadFile(first);
        EXPECT_EQ(Le32(after, 4), i + 1);
        EXPECT_EQ(Le32(after, 8 + 8 * i), i == 0 ? 88u : before.size());
        EXPECT_EQ(Le32(after, 12 + 8 * i), KeyCrc(keys[i]));
        if (!before.empty()) {
            EXPECT_TRUE(std::equal(before.begin() + 88, before.end(), after.begin() + 88));
        }
        before = after;
    }
    for (size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(BodyOf(keys[i]), "body " + std::to_string(i));
}

TEST_F(HttpCacheTest, EleventhEntryRestartsAFullFile)
{
    const std::string first = "http://example.com/first";
    std::vector<std::string> keys = KeysSharingFile(first, 10);
    keys.insert(keys.begin(), first);
    for (size_t i = 0; i < 10; ++i)
        ASSERT_TRUE(Store(keys[i], "body " + std::to_string(i)));
    EXPECT_EQ(Le32(ReadFile(first), 4), 10u);
    EXPECT_EQ(BodyOf(keys[9]), "body 9");

    ASSERT_TRUE(Store(keys[10], "eleventh"));
    Bytes file = ReadFile(first);
    EXPECT_EQ(Le32(file, 4), 1u);
    EXPECT_EQ(Le32(file, 8), 88u);
    EXPECT_EQ(BodyOf(keys[10]), "eleventh");
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(BodyOf(keys[i]), "<none>") << i;
    }
}

// Rewriting one URL's entry keeps the other URLs stored in its file.
TEST_F(HttpCacheTest, RewriteEntryKeepsTheOtherEntriesOfItsFile)
{
    const std::string first = "http://example.com/first";
    const std::vector<std::string> others = KeysSharingFile(first, 2);
    ASSERT_TRUE(Store(others[0], "neighbour one"));
    ASSERT_TRUE(Store(first, "old"));
    ASSERT_TRUE(Store(others[1], "neighbour two"));
    DataBuffer body("new", 3);
    ASSERT_TRUE(cache_.RewriteEntry(first.c_str(), header_, body, Kind::Response, 0, 0, 2, "Nothing", log_));
    EXPECT_EQ(BodyOf(first), "new");
    EXPECT_EQ(BodyOf(others[0]), "neighbour one");
    EXPECT_EQ(BodyOf(others[1]), "neighbour two");
    EXPECT_EQ(Le32(ReadFile(first), 4), 3u);

    // Rewritten again, it still is one entry among three.
    DataBuffer newer("newer", 5);
    ASSERT_TRUE(cache_.RewriteEntry(first.c_str(), header_, newer, Kind::Response, 0, 0, 2, "Nothing", log_));
    EXPECT_EQ(BodyOf(first), "newer");
    EXPECT_EQ(BodyOf(others[1]), "neighbour two");
    EXPECT_EQ(Le32(ReadFile(first), 4), 3u);
}

TEST_F(HttpCacheTest, NegativeEntryIsFoundButNotReturned)
{
    const std::string key = "http://unreachable.example/";
    ASSERT_TRUE(Store(key, "Nothing", Kind::Negative));
    bool found = false;
    CacheEntry::Fixed fixed;
    ASSERT_TRUE(cache_.LookupEntry(key.c_str(), found, fixed, log_));
    ASSERT_TRUE(found);
    EXPECT_EQ(fixed.negative, 1);
    EXPECT_EQ(fixed.secondStamp[0] | fixed.secondStamp[1] | fixed.secondStamp[2] | fixed.secondStamp[3], 0);
    EXPECT_NE(fixed.storedAt[2], 0);
    EXPECT_EQ(BodyOf(key), "<negative>");
}

TEST_F(HttpCacheTest, CollidingCrcReturnsTheEarlierEntry)
{
    // Make the first slot carry the CRC of a second key in the same file: the
    // key text is not compared, so the earlier entry answers for both.
    const std::string first = "http://example.com/first";
    const std::string second = KeysSharingFile(first, 1)[0];
    ASSERT_TRUE(Store(first, "first body"));
    Bytes file = ReadFile(first);
    SetLe32(file, 12, KeyCrc(second));
    WriteFile(first, file);
    EXPECT_EQ(BodyOf(second), "first body");

    ASSERT_TRUE(Store(second, "second body"));
    EXPECT_EQ(BodyOf(second), "first body");
}

TEST_F(HttpCacheTest, DomainMarksAreChangedInPlace)
{
    const std::string markKey = "dns://bad.example";
    const std::string neighbour = KeysSharingFile(markKey, 1)[0];
    bool found = true;
    bool invalid = true;
    ASSERT_TRUE(cache_.IsDomainMarkedInvalid("Bad.Example", found, invalid, log_));
    EXPECT_FALSE(found);
    EXPECT_FALSE(invalid);

    ASSERT_TRUE(cache_.MarkDomainInvalid("Bad.EXAMPLE", log_));
    ASSERT_TRUE(Store(neighbour, "kept"));
    ASSERT_TRUE(cache_.IsDomainMarkedInvalid("bad.example", found, invalid, log_));
    EXPECT_TRUE(found);
    EXPECT_TRUE(invalid);
    EXPECT_EQ(BodyOf(markKey), "<negative>");

    ASSERT_TRUE(cache_.MarkDomainValid("bad.example", log_));
    ASSERT_TRUE(cache_.IsDomainMarkedInvalid("bad.example", found, invalid, log_));
    EXPECT_TRUE(found);
    EXPECT_FALSE(invalid);
    EXPECT_EQ(BodyOf(markKey), "");
    EXPECT_EQ(BodyOf(neighbour), "kept");
    EXPECT_EQ(Le32(ReadFile(markKey), 4), 2u);

    ASSERT_TRUE(cache_.MarkDomainInvalid("bad.example", log_));
    ASSERT_TRUE(cache_.IsDomainMarkedInvalid("bad.example", found, invalid, log_));
    EXPECT_TRUE(invalid);
    EXPECT_EQ(BodyOf(neighbour), "kept");
}

TEST_F(HttpCacheTest, DomainMarkNeverPatchesAnotherKeysEntry)
{
    const std::string markKey = "dns://host.example";
    const std::string other = KeysSharingFile(markKey, 1)[0];
    ASSERT_TRUE(Store(other, "page"));
    Bytes file = ReadFile(other);
    SetLe32(file, 12, KeyCrc(markKey));   // the page's slot now collides with the mark
    WriteFile(other, file);

    ASSERT_TRUE(cache_.MarkDomainInvalid("host.example", log_));
    bool negative = false;
    auto entry = cache_.GetEntry(markKey.c_str(), negative, log_);
    ASSERT_TRUE(entry);
    EXPECT_STREQ(entry->key.GetString(), other.c_str());
    EXPECT_EQ(entry->fixed.negative, 0);
}

TEST_F(HttpCacheTest, WithoutRootsEveryOperationFails)
{
    HttpCache empty;
    bool found = true;
    bool invalid = true;
    bool negative = true;
    CacheEntry::Fixed fixed;
    DataBuffer body;
    StringBuffer path;
    EXPECT_FALSE(empty.GetCachePath("k", path));
    EXPECT_FALSE(empty.LookupEntry("k", found, fixed, log_));
    EXPECT_FALSE(found);
    EXPECT_FALSE(empty.GetEntry("k", negative, log_));
    EXPECT_FALSE(empty.CreateEntry("k", header_, body, Kind::Response, 0, 0, 2, "", log_));
    EXPECT_FALSE(empty.RewriteEntry("k", header_, body, Kind::Response, 0, 0, 2, "", log_));
    EXPECT_FALSE(empty.IsDomainMarkedInvalid("h", found, invalid, log_));
    EXPECT_FALSE(empty.MarkDomainInvalid("h", log_));
    EXPECT_NE(LogText().find("No cache roots have been set."), std::string::npos);
}

TEST_F(HttpCacheTest, PathFollowsTheDigestOfTheKey)
{
    HttpCache cache;
    cache.AddRoot("r0/");
    cache.AddRoot("");
    const char* key = "http://example.com/";
    uint8_t d[Md5::kDigestSize];
    Md5::Digest(key, std::strlen(key), d);
    uint32_t n = static_cast<uint32_t>(d[3]) | (static_cast<uint32_t>(d[4]) << 8) |
                 (static_cast<uint32_t>(d[5]) << 16) | (static_cast<uint32_t>(d[6]) << 24);
    std::string want = std::string(d[0] % 2 == 0 ? "r0/" : "c:/temp/") + std::to_string(d[1]) + "/" +
                       std::to_string(d[2]) + "/" + std::to_string(n % 1000) + ".caf";
    StringBuffer path;
    ASSERT_TRUE(cache.GetCachePath(key, path));
    EXPECT_EQ(path.ToStdString(), want);
}

// A table of damaged files: each one reads as an empty cache with a log line,
// and a later write starts the file afresh.
TEST_F(HttpCacheTest, DamagedFilesReadAsEmpty)
{
    const std::string key = "http://example.com/target";
    const std::string other = KeysSharingFile(key, 1)[0];
    ASSERT_TRUE(Store(other, "other body " + std::string(500, 'o')));
    ASSERT_TRUE(Store(key, "target body " + std::string(500, 't')));
    const Bytes good = ReadFile(key);
    const uint32_t entry = Le32(good, 16);   // second slot: the target's entry
    const Bytes fixed(good.begin() + entry, good.begin() + entry + 32);
    const uint32_t keyLen = Le32(fixed, 20);
    const uint32_t headerLen = Le32(fixed, 24);
    const size_t headerAt = entry + 32 + keyLen;
    const size_t bodyAt = headerAt + headerLen;

    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
        bool structural;   // whether the file layout itself is broken
    };
    auto truncateAt = [](size_t n) { return [n](Bytes& b) { b.resize(n); }; };
    auto set32 = [](size_t at, uint32_t v) { return [at, v](Bytes& b) { SetLe32(b, at, v); }; };
    const std::vector<Case> cases = {
        {"empty file", truncateAt(0), true},
        {"cut in count", truncateAt(6), true},
        {"cut in slots", truncateAt(20), true},
        {"cut after header", truncateAt(88), true},
        {"cut in fixed part", truncateAt(entry + 10), true},
        {"cut in key", truncateAt(entry + 32 + 3), true},
        {"cut in header block", truncateAt(headerAt + 5), true},
        {"cut in body block", truncateAt(good.size() - 1), true},
        {"bad capacity", set32(0, 11), true},
        {"count beyond capacity", set32(4, 200), true},
        {"slot past the end", set32(16, 0xFFFFFFF0u), true},
        {"slot inside the header", set32(16, 4), true},
        {"huge key length", set32(entry + 20, 0xFFFFFFFFu), true},
        {"zero key length", set32(entry + 20, 0), true},
        {"huge header length", set32(entry + 24, 0x7FFFFFFFu), true},
        {"huge body length", set32(entry + 28, 0xFFFFFFF0u), true},
        {"key not terminated", [&](Bytes& b) { b[entry + 32 + keyLen - 1] = 'x'; }, false},
        {"bad header block", [&](Bytes& b) { b[headerAt + headerLen / 2] ^= 0x5A; }, false},
        {"bad body block", [&](Bytes& b) { b[bodyAt + 20] ^= 0x5A; }, false},
        {"body CRC mismatch", set32(entry + 4, 0x12345678u), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bad = good;
        c.damage(bad);
        WriteFile(key, bad);
        log_.ClearLog();

        bool found = false;
        CacheEntry::Fixed f;
        EXPECT_TRUE(cache_.LookupEntry(key.c_str(), found, f, log_));
        EXPECT_EQ(found, !c.structural);
        EXPECT_EQ(BodyOf(key), "<none>");
        EXPECT_NE(LogText().find("Corrupt cache file"), std::string::npos);
        if (c.structural) {
            EXPECT_EQ(BodyOf(other), "<none>");   // the whole file counts as empty
            ASSERT_TRUE(Store(key, "fresh"));
            EXPECT_EQ(BodyOf(key), "fresh");
            EXPECT_EQ(Le32(ReadFile(key), 4), 1u);
        } else {
            EXPECT_EQ(BodyOf(other), "other body " + std::string(500, 'o'));
        }
    }
}

// The ceiling on unpacked size is what keeps a tiny damaged block from
// expanding into a huge allocation.
TEST(BzipBlockTest, DecompressHonoursTheCeilingAndRejectsBrokenStreams)
{
    Logger log;
    const std::vector<char> zeros(200000, 0);
    DataBuffer packed;
    ASSERT_TRUE(BzipBlock::Compress(zeros.data(), static_cast<unsigned>(zeros.size()), packed, log));
    ASSERT_LT(packed.Size(), 1000u);

    DataBuffer out;
    EXPECT_TRUE(BzipBlock::Decompress(packed.Data(), packed.Size(), 200000, out, log));
    EXPECT_EQ(out.Size(), zeros.size());

    struct Case {
        const char* name;
        unsigned size;
        unsigned maxOut;
    };
    const Case cases[] = {
        {"beyond the ceiling", packed.Size(), 199999},
        {"truncated", packed.Size() - 5, 200000},
        {"header only", 4, 200000},
        {"nothing", 0, 200000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DataBuffer none;
        EXPECT_FALSE(BzipBlock::Decompress(packed.Data(), c.size, c.maxOut, none, log));
        EXPECT_TRUE(none.IsEmpty());
    }
}

// A stream that unpacks to exactly the ceiling fits, down to an empty stream
// under a ceiling of 0.
TEST(BzipBlockTest, DecompressAcceptsOutputOfExactlyTheCeiling)
{
    Logger log;
    for (unsigned size : {0u, 1u, 5000u}) {
        SCOPED_TRACE(size);
        const std::vector<char> bytes(size, 'a');
        DataBuffer packed;
        ASSERT_TRUE(BzipBlock::Compress(bytes.data(), size, packed, log));
        DataBuffer out;
        EXPECT_TRUE(BzipBlock::Decompress(packed.Data(), packed.Size(), size, out, log));
        EXPECT_EQ(out.Size(), size);
        if (size > 0) {
            DataBuffer none;
            EXPECT_FALSE(BzipBlock::Decompress(packed.Data(), packed.Size(), size - 1, none, log));
        }
    }
}

} // namespace
} // namespace plentor

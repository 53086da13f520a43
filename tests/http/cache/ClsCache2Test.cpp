#include "http/cache/ClsCache2.h"

#include "log/Logger.h"
#include "platform/Files.h"
#include "text/DataBuffer.h"
#include "text/Md5.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace plentor {
namespace {

using Bytes = std::vector<uint8_t>;
using platform::CalendarTime;

CalendarTime MakeTime(int year, int month, int day, int hour, int minute, int second)
{
    CalendarTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

double Ole(const Bytes& b)
{
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<uint64_t>(b[10 + i]) << (8 * i);
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

void SetOle(Bytes& b, double d)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof d);
    for (int i = 0; i < 8; ++i)
        b[10 + i] = static_cast<uint8_t>(bits >> (8 * i));
}

class ClsCache2Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = std::filesystem::temp_directory_path() /
               ("plentor_dat_" + std::to_string(rd()) + "_" + std::to_string(rd()));
        std::filesystem::create_directories(dir_);
        cache_.AddRoot((dir_ / "nested" / "root").string().c_str());
        cache_.SetLevel(2);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string PathOf(const char* name)
    {
        StringBuffer path;
        EXPECT_TRUE(cache_.GetFilename(name, path));
        return path.ToStdString();
    }

    Bytes ReadFile(const char* name)
    {
        std::ifstream in(PathOf(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    void WriteFile(const char* name, const Bytes& bytes)
    {
        std::ofstream(PathOf(name), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    bool Save(const char* name, const CalendarTime& expire, const char* etag, const std::string& data)
    {
        DataBuffer bytes(data.data(), static_cast<unsigned>(data.size()));
        return cache_.SaveToCache(name, expire, etag, bytes, log_);
    }

    std::string LogText()
    {
        StringBuffer text;
        log_.GetText(text);
        return text.ToStdString();
    }

    std::filesystem::path dir_;
    ClsCache2 cache_;
    Logger log_;
};

TEST_F(ClsCache2Test, SavesAndFetchesWithExpiryAndEntityTag)
{
    const char* name = "http://example.com/feed.xml";
    ASSERT_TRUE(Save(name, MakeTime(2031, 7, 14, 18, 30, 15), "\"abc-123\"", "payload bytes"));
    EXPECT_TRUE(cache_.IsCached(name));

    Bytes file = ReadFile(name);
    const std::string etag = "\"abc-123\"";
    ASSERT_EQ(file.size(), 20 + etag.size() + 13);
    EXPECT_EQ(file[0], 20 + etag.size());
    EXPECT_EQ(file[1] | file[2] | file[3], 0);
    EXPECT_EQ(file[4], 1);            // version, little-endian
    EXPECT_EQ(file[5], 0);
    EXPECT_EQ(file[6], 0xFE);         // magic 0x9AFE
    EXPECT_EQ(file[7], 0x9A);
    EXPECT_EQ(file[8] | file[9], 0);
    // 14 July 2031 is day 48043 after 30 December 1899; 18:30:15 is 66615 seconds.
    EXPECT_NEAR(Ole(file), 48043 + 66615.0 / 86400, 1e-9);
    EXPECT_EQ(file[18], etag.size());
    EXPECT_EQ(std::string(file.begin() + 20, file.begin() + 20 + etag.size()), etag);

    DataBuffer out;
    ASSERT_TRUE(cache_.FetchFromCache(name, out, log_));
    EXPECT_TRUE(out.Equals("payload bytes", 13));
    StringBuffer tag;
    cache_.GetEtag(tag);
    EXPECT_STREQ(tag.GetString(), etag.c_str());
    EXPECT_STREQ(cache_.GetResourceName().GetString(), name);
    CalendarTime expiry;
    ASSERT_TRUE(cache_.GetExpiration(expiry));
    EXPECT_EQ(expiry.year, 2031);
    EXPECT_EQ(expiry.month, 7);
    EXPECT_EQ(expiry.day, 14);
    EXPECT_EQ(expiry.hour, 18);
    EXPECT_EQ(expiry.minute, 30);
    EXPECT_EQ(expiry.second, 15);
    EXPECT_FALSE(cache_.IsExpired());
    EXPECT_NE(LogText().find("Expiration"), std::string::npos);
}

TEST_F(ClsCache2Test, ExpiryDecidesIsExpired)
{
    struct Case {
        const char* name;
        CalendarTime expire;
        bool expired;
    };
    const Case cases[] = {
        {"past", MakeTime(2001, 1, 1, 0, 0, 0), true},
        {"future", MakeTime(9000, 1, 1, 0, 0, 0), false},
        {"none", CalendarTime {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Save(c.name, c.expire, "", "x"));
        DataBuffer out;
        ASSERT_TRUE(cache_.FetchFromCache(c.name, out, log_));
        EXPECT_EQ(cache_.IsExpired(), c.expired);
    }
    CalendarTime none;
    EXPECT_FALSE(cache_.GetExpiration(none));
    EXPECT_EQ(cache_.GetExpirationOle(), 0.0);
}

TEST_F(ClsCache2Test, SavingAgainReplacesTheFile)
{
    ASSERT_TRUE(Save("r", MakeTime(2030, 1, 1, 0, 0, 0), "old-tag", std::string(5000, 'a')));
    ASSERT_TRUE(Save("r", CalendarTime {}, "", "short"));
    EXPECT_EQ(ReadFile("r").size(), 20u + 5u);
    DataBuffer out;
    ASSERT_TRUE(cache_.FetchFromCache("r", out, log_));
    EXPECT_TRUE(out.Equals("short", 5));
    StringBuffer tag;
    cache_.GetEtag(tag);
    EXPECT_TRUE(tag.IsEmpty());
}

TEST_F(ClsCache2Test, UpdateExpirationChangesOnlyTheExpiryBytes)
{
    const char* name = "http://example.com/a";
    ASSERT_TRUE(Save(name, MakeTime(2030, 1, 1, 0, 0, 0), "tag", "the data"));
    Bytes before = ReadFile(name);
    ASSERT_TRUE(cache_.UpdateExpiration(name, MakeTime(2002, 2, 2, 12, 0, 0), log_));
    Bytes after = ReadFile(name);
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i) {
        if (i < 10 || i >= 18) {
            EXPECT_EQ(before[i], after[i]) << i;
        }
    }
    EXPECT_NEAR(Ole(after), 37289.5, 1e-9);   // 2 February 2002, noon

    DataBuffer out;
    ASSERT_TRUE(cache_.FetchFromCache(name, out, log_));
    EXPECT_TRUE(cache_.IsExpired());
    EXPECT_TRUE(out.Equals("the data", 8));
}

TEST_F(ClsCache2Test, UpdateExpirationFailures)
{
    log_.ClearLog();
    EXPECT_FALSE(cache_.UpdateExpiration("missing", MakeTime(2030, 1, 1, 0, 0, 0), log_));
    EXPECT_NE(LogText().find("Failed to open file"), std::string::npos);
    EXPECT_FALSE(cache_.IsCached("missing"));   // never created by the update

    ASSERT_TRUE(Save("short", CalendarTime {}, "", "x"));
    WriteFile("short", Bytes {20, 0, 0, 0, 1, 0, 0xFE, 0x9A});
    log_.ClearLog();
    EXPECT_FALSE(cache_.UpdateExpiration("short", MakeTime(2030, 1, 1, 0, 0, 0), log_));
    EXPECT_NE(LogText().find("Failed to seek to position in cache file."), std::string::npos);
    EXPECT_EQ(ReadFile("short").size(), 8u);
}

TEST_F(ClsCache2Test, PathUsesDigestLevelsAndPlatformSeparators)
{
    const char* name = "http://example.com/x";
    uint8_t d[Md5::kDigestSize];
    Md5::Digest(name, std::strlen(name), d);
    std::string hex;
    for (uint8_t b : d) {
        const char* digits = "0123456789ABCDEF";
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    const std::string sep(1, platform::PathSeparator());
    struct Case {
        int level;
        std::string dirs;
    };
    const Case cases[] = {
        {0, ""},
        {1, std::to_string(d[1]) + sep},
        {2, std::to_string(d[1]) + sep + std::to_string(d[2]) + sep},
        {7, std::to_string(d[1]) + sep + std::to_string(d[2]) + sep},   // clamped to 2
    };
    for (const Case& c : cases) {
        ClsCache2 cache;
        cache.AddRoot("base/a\\b");
        cache.SetLevel(c.level);
        StringBuffer path;
        ASSERT_TRUE(cache.GetFilename(name, path));
        EXPECT_EQ(path.ToStdString(), "base" + sep + "a" + sep + "b" + sep + c.dirs + hex + ".dat") << c.level;
    }
}

TEST_F(ClsCache2Test, WithoutRootsOperationsFail)
{
    ClsCache2 empty;
    DataBuffer out;
    StringBuffer path;
    EXPECT_FALSE(empty.GetFilename("r", path));
    EXPECT_FALSE(empty.SaveToCache("r", CalendarTime {}, "", out, log_));
    EXPECT_FALSE(empty.FetchFromCache("r", out, log_));
    EXPECT_FALSE(empty.UpdateExpiration("r", CalendarTime {}, log_));
    EXPECT_FALSE(empty.IsCached("r"));
    EXPECT_NE(LogText().find("No cache roots have been set.  Need to call AddRoot at least once."),
              std::string::npos);
}

TEST_F(ClsCache2Test, FetchOfAnUncachedResourceFails)
{
    DataBuffer out;
    EXPECT_FALSE(cache_.FetchFromCache("never saved", out, log_));
    EXPECT_FALSE(cache_.IsExpired());
}

// Damaged ".dat" files: each fetch fails with a log line, leaves no stale
// state behind and never reads outside the file.
TEST_F(ClsCache2Test, DamagedFilesAreRejected)
{
    const char* name = "http://example.com/damaged";
    ASSERT_TRUE(Save(name, MakeTime(2030, 5, 5, 5, 5, 5), "etag-value", "data"));
    const Bytes good = ReadFile(name);

    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
    };
    auto truncateAt = [](size_t n) { return [n](Bytes& b) { b.resize(n); }; };
    const std::vector<Case> cases = {
        {"empty", truncateAt(0)},
        {"cut in header length", truncateAt(3)},
        {"cut in expiry", truncateAt(12)},
        {"cut before tag length", truncateAt(19)},
        {"cut in tag", truncateAt(25)},
        {"bad magic", [](Bytes& b) { b[6] = 0; }},
        {"header length below fixed part", [](Bytes& b) { b[0] = 10; }},
        {"header length past the end", [](Bytes& b) { b[3] = 0x7F; }},
        {"tag longer than header", [](Bytes& b) { b[18] = 0xFF; b[19] = 0xFF; }},
        {"expiry not a number", [](Bytes& b) { SetOle(b, std::numeric_limits<double>::quiet_NaN()); }},
        {"expiry out of range", [](Bytes& b) { SetOle(b, 1e300); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Save(name, MakeTime(2030, 5, 5, 5, 5, 5), "etag-value", "data"));
        DataBuffer out;
        ASSERT_TRUE(cache_.FetchFromCache(name, out, log_));   // state from a good fetch
        Bytes bad = good;
        c.damage(bad);
        WriteFile(name, bad);
        log_.ClearLog();
        out.Clear();
        out.AppendBytes("keep", 4);
        EXPECT_FALSE(cache_.FetchFromCache(name, out, log_));
        EXPECT_TRUE(out.Equals("keep", 4));
        EXPECT_NE(LogText().find("Not a valid cache file."), std::string::npos);
        StringBuffer tag;
        cache_.GetEtag(tag);
        EXPECT_TRUE(tag.IsEmpty());
        EXPECT_TRUE(cache_.GetResourceName().IsEmpty());
        EXPECT_FALSE(cache_.IsExpired());
    }
}

} // namespace
} // namespace plentor

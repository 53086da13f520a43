#include "http/body/Gzip.h"

#include "http/body/BodySink.h"
#include "http/body/GzipStream.h"

#include "log/Logger.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <zlib.h>

namespace plentor {
namespace {

using Bytes = std::vector<uint8_t>;

// Optional header fields of a gzip member.
struct HeaderFields {
    std::string name;
    std::string comment;
    std::string extra;
    bool headerCrc = false;
};

// A real gzip member written by zlib's own gzip encoder.
Bytes GzipWithZlib(const std::string& data, const HeaderFields& fields = {})
{
    z_stream zs {};
    EXPECT_EQ(deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    gz_header header {};
    std::string name = fields.name, comment = fields.comment, extra = fields.extra;
    header.name = name.empty() ? Z_NULL : reinterpret_cast<Bytef*>(name.data());
    header.comment = comment.empty() ? Z_NULL : reinterpret_cast<Bytef*>(comment.data());
    header.extra = extra.empty() ? Z_NULL : reinterpret_cast<Bytef*>(extra.data());
    header.extra_len = static_cast<uInt>(extra.size());
    header.hcrc = fields.headerCrc ? 1 : 0;
    EXPECT_EQ(deflateSetHeader(&zs, &header), Z_OK);
    Bytes out(deflateBound(&zs, static_cast<uLong>(data.size())) + 64 + name.size() + comment.size() + extra.size());
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::string Text(Logger& log)
{
    StringBuffer out;
    log.GetText(out);
    return out.ToStdString();
}

struct Result {
    bool ok;
    std::string output;
    std::string log;
};

Result Gunzip(const Bytes& input)
{
    DataBuffer in(input.data(), static_cast<unsigned>(input.size()));
    DataBuffer out("left over", 9);
    Logger log;
    bool ok = Gzip::Gunzip(in, out, log);
    return {ok, std::string(reinterpret_cast<const char*>(out.Data()), out.Size()), Text(log)};
}

std::string Repetitive(size_t n)
{
    std::string s;
    while (s.size() < n)
        s += "<p>Plentor saves pages to bookmark services, line " + std::to_string(s.size()) + "</p>\n";
    return s.substr(0, n);
}

std::string Random(size_t n)
{
    std::mt19937 rng(12345);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

TEST(GzipTest, InflatesMembersWithEveryHeaderField)
{
    const std::string bodies[] = {Repetitive(300000), Random(200000), "x", ""};
    const HeaderFields headers[] = {
        {},
        {"page.html", "saved by a test", "", false},
        {"", "", std::string("AB\x04\x00" "data", 8), false},
        {"", "", "", true},
        {"index.html", "all fields", std::string("XY\x02\x00" "zz", 6), true},
    };
    for (const std::string& body : bodies) {
        for (const HeaderFields& header : headers) {
            SCOPED_TRACE("body " + std::to_string(body.size()) + " bytes, name '" + header.name + "'");
            Result r = Gunzip(GzipWithZlib(body, header));
            EXPECT_TRUE(r.ok) << r.log;
            EXPECT_EQ(r.output.size(), body.size());
            EXPECT_TRUE(r.output == body);
        }
    }
}

TEST(GzipTest, LogsSizesFromTheTrailer)
{
    Bytes gz = GzipWithZlib(Repetitive(5000));
    Result r = Gunzip(gz);
    ASSERT_TRUE(r.ok);
    EXPECT_NE(r.log.find("CompressedSize"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find(std::to_string(gz.size() - 18)), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("UncompressedSize"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("5000"), std::string::npos) << r.log;
}

TEST(GzipTest, ChecksumsAndSizeInTrailerAreNotTrusted)
{
    const std::string body = Repetitive(100000);
    Bytes gz = GzipWithZlib(body);
    Bytes badCrc = gz;
    badCrc[badCrc.size() - 8] ^= 0xFF;
    Bytes smallSize = gz;
    smallSize[smallSize.size() - 4] = 1;
    smallSize[smallSize.size() - 3] = smallSize[smallSize.size() - 2] = smallSize[smallSize.size() - 1] = 0;
    Bytes hugeSize = gz;
    hugeSize[hugeSize.size() - 4] = hugeSize[hugeSize.size() - 3] = 0xFF;
    hugeSize[hugeSize.size() - 2] = hugeSize[hugeSize.size() - 1] = 0xFF;
    Bytes badHeaderCrc = GzipWithZlib(body, {"", "", "", true});
    badHeaderCrc[10] ^= 0xFF;
    for (const Bytes* input : {&badCrc, &smallSize, &hugeSize, &badHeaderCrc}) {
        Result r = Gunzip(*input);
        EXPECT_TRUE(r.ok) << r.log;
        EXPECT_TRUE(r.output == body);
    }
}

TEST(GzipTest, MemberWithoutDeflateDataIsEmpty)
{
    Bytes member = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0};
    Result r = Gunzip(member);
    EXPECT_TRUE(r.ok) << r.log;
    EXPECT_TRUE(r.output.empty());
}

TEST(GzipTest, ConcatenatedMembersAreAllInflated)
{
    Bytes gz = GzipWithZlib("first part, ");
    Bytes second = GzipWithZlib("second part", {"b.txt", "", "", false});
    gz.insert(gz.end(), second.begin(), second.end());
    Result r = Gunzip(gz);
    EXPECT_TRUE(r.ok) << r.log;
    EXPECT_EQ(r.output, "first part, second part");
}

TEST(GzipTest, BytesAfterTheLastMemberAreIgnored)
{
    Bytes gz = GzipWithZlib("body");
    for (uint8_t b : Bytes{0, 0, 0, 'x', 'y'})
        gz.push_back(b);
    Result r = Gunzip(gz);
    EXPECT_TRUE(r.ok) << r.log;
    EXPECT_EQ(r.output, "body");
    EXPECT_NE(r.log.find("Ignored data after the last gzip member"), std::string::npos) << r.log;
}

struct FailureCase {
    const char* what;
    Bytes input;
    const char* message;
};

Bytes Truncated(const Bytes& gz, size_t drop) { return Bytes(gz.begin(), gz.end() - static_cast<long>(drop)); }

TEST(GzipTest, BadInputFailsWithItsReason)
{
    const Bytes gz = GzipWithZlib(Random(20000));
    Bytes corrupt = gz;
    for (size_t i = 10; i < 40; ++i)
        corrupt[i] = 0xFF;
    const Bytes header = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
    auto withFlags = [&](uint8_t flags, Bytes rest) {
        Bytes b = header;
        b[3] = flags;
        b.insert(b.end(), rest.begin(), rest.end());
        return b;
    };
    const FailureCase cases[] = {
        {"nine bytes", {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0}, "Gzip data too small"},
        {"empty", {}, "Gzip data too small"},
        {"wrong ID", {0x1F, 0x8C, 8, 0, 0, 0, 0, 0, 0, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9}, "Invalid GZip ID"},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'}, "Invalid GZip ID"},
        {"method 7", {0x1F, 0x8B, 7, 0, 0, 0, 0, 0, 0, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9}, "Invalid GZip compression method"},
        {"gzip magic then text", {0x1F, 0x8B, 'p', 'l', 'a', 'i', 'n', ' ', 't', 'e', 'x', 't'},
         "Invalid GZip compression method"},
        {"name runs to the end", withFlags(0x08, {'n', 'a', 'm', 'e', '.', 't', 'x', 't', 'a', 'b', 'c'}),
         "Buffer would have been overrun"},
        {"comment runs to the end", withFlags(0x10, Bytes(20, 'c')), "Buffer would have been overrun"},
        {"extra length past the end", withFlags(0x04, {0x20, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9}),
         "Buffer would have been overrun"},
        {"extra length cut off", withFlags(0x04, {0x20}), "Buffer would have been overrun"},
        {"header CRC cut off", withFlags(0x02, {0x12}), "Buffer would have been overrun"},
        {"header only", header, "Not enough data for trailing CRC32 or ISIZE"},
        {"short trailer", withFlags(0, {1, 2, 3, 4, 5, 6, 7}), "Not enough data for trailing CRC32 or ISIZE"},
        {"trailer cut off", Truncated(gz, 4), "Not enough data for trailing CRC32 or ISIZE"},
        {"deflate data cut off", Truncated(gz, 1000), "Compressed data is truncated"},
        {"corrupt deflate data", corrupt, "Failed to inflate gzip data"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.what);
        Result r = Gunzip(c.input);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.output.empty());
        EXPECT_NE(r.log.find(c.message), std::string::npos) << r.log;
    }
}

TEST(GzipTest, BadSecondMemberFailsTheWhole)
{
    Bytes gz = GzipWithZlib("first");
    Bytes second = Truncated(GzipWithZlib(Random(5000)), 100);
    gz.insert(gz.end(), second.begin(), second.end());
    Result r = Gunzip(gz);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.output.empty());
    EXPECT_NE(r.log.find("Compressed data is truncated"), std::string::npos) << r.log;
}

// A caller's limit: data that inflates to exactly the limit passes, one byte
// more fails as over the limit (nothing kept), and broken data is told apart.
TEST(GzipTest, GunzipUpToStopsAtTheCallersLimit)
{
    const std::string body = Repetitive(200000);
    const Bytes gz = GzipWithZlib(body);
    const DataBuffer in(gz.data(), static_cast<unsigned>(gz.size()));
    struct Case {
        unsigned limit;
        Gzip::Outcome outcome;
    };
    for (const Case& c : {Case{200000, Gzip::Outcome::Inflated}, Case{199999, Gzip::Outcome::OverLimit},
                          Case{1, Gzip::Outcome::OverLimit}}) {
        SCOPED_TRACE(c.limit);
        DataBuffer out;
        Logger log;
        EXPECT_EQ(Gzip::GunzipUpTo(in, c.limit, out, log), c.outcome);
        if (c.outcome == Gzip::Outcome::Inflated) {
            EXPECT_TRUE(out.Equals(body.data(), static_cast<unsigned>(body.size())));
        } else {
            EXPECT_TRUE(out.IsEmpty());
            EXPECT_NE(Text(log).find("Inflated data exceeds the size limit"), std::string::npos) << Text(log);
        }
    }
    const Bytes cut = Truncated(gz, 100);
    DataBuffer out;
    Logger log;
    EXPECT_EQ(Gzip::GunzipUpTo(DataBuffer(cut.data(), static_cast<unsigned>(cut.size())), 1000000, out, log),
              Gzip::Outcome::Invalid);
}

// Collects what a GzipStream writes; refuses once it holds refuseAfter bytes.
class CollectingSink final : public BodySink {
public:
    explicit CollectingSink(size_t refuseAfter = SIZE_MAX) : refuseAfter_(refuseAfter) {}

    bool Write(const unsigned char* data, unsigned length) override
    {
        if (bytes.size() >= refuseAfter_) return false;
        bytes.append(reinterpret_cast<const char*>(data), length);
        largestWrite = std::max(largestWrite, length);
        return true;
    }

    std::string bytes;
    unsigned largestWrite = 0;

private:
    size_t refuseAfter_;
};

// Feeds input to a stream in pieces of the given size.
Result Stream(const Bytes& input, size_t piece, CollectingSink& sink)
{
    Logger log;
    GzipStream stream(sink);
    bool ok = true;
    for (size_t at = 0; ok && at < input.size(); at += piece) {
        const auto n = static_cast<unsigned>(std::min(piece, input.size() - at));
        ok = stream.Write(input.data() + at, n, log);
    }
    ok = ok && stream.Finish(log);
    return {ok, sink.bytes, Text(log)};
}

constexpr size_t kPieces[] = {1, 2, 7, 4096, SIZE_MAX};

TEST(GzipStreamTest, InflatesInAnyPiecesWhatGunzipInflates)
{
    const Bytes withFields =
        GzipWithZlib(Random(100000), {"index.html", "all fields", std::string("XY\x02\x00" "zz", 6), true});
    Bytes twoMembers = GzipWithZlib("first part, ");
    const Bytes second = GzipWithZlib(Repetitive(70000), {"b.txt", "", "", false});
    twoMembers.insert(twoMembers.end(), second.begin(), second.end());
    Bytes emptyMemberAfter = GzipWithZlib("body");
    for (uint8_t b : Bytes{0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0})
        emptyMemberAfter.push_back(b);
    Bytes junkAfter = GzipWithZlib("body");
    for (uint8_t b : Bytes{0x1F, 0x8B, 8, 'x', 'y'})
        junkAfter.push_back(b);
    for (const Bytes* input : {&withFields, &std::as_const(twoMembers), &std::as_const(emptyMemberAfter),
                               &std::as_const(junkAfter)}) {
        const Result whole = Gunzip(*input);
        ASSERT_TRUE(whole.ok) << whole.log;
        for (size_t piece : kPieces) {
            SCOPED_TRACE("pieces of " + std::to_string(piece));
            CollectingSink sink;
            const Result r = Stream(*input, piece, sink);
            EXPECT_TRUE(r.ok) << r.log;
            EXPECT_TRUE(r.output == whole.output);
            EXPECT_LE(sink.largestWrite, 32u * 1024);
        }
    }
}

TEST(GzipStreamTest, DataEndingInsideAMemberFailsAtTheEnd)
{
    const Bytes gz = GzipWithZlib(Random(20000));
    const FailureCase cases[] = {
        {"deflate data cut off", Truncated(gz, 1000), "Compressed data is truncated"},
        {"trailer cut off", Truncated(gz, 4), "Not enough data for trailing CRC32 or ISIZE"},
        {"name cut off", {0x1F, 0x8B, 8, 0x08, 0, 0, 0, 0, 0, 3, 'a', 'b'}, "Buffer would have been overrun"},
    };
    for (const FailureCase& c : cases) {
        for (size_t piece : kPieces) {
            SCOPED_TRACE(std::string(c.what) + ", pieces of " + std::to_string(piece));
            CollectingSink sink;
            const Result r = Stream(c.input, piece, sink);
            EXPECT_FALSE(r.ok);
            EXPECT_NE(r.log.find(c.message), std::string::npos) << r.log;
        }
    }
}

TEST(GzipStreamTest, ARefusingSinkStopsTheStream)
{
    const std::string text = Repetitive(300000);
    CollectingSink sink(100000);
    Logger log;
    GzipStream stream(sink);
    const Bytes gz = GzipWithZlib(text);
    EXPECT_FALSE(stream.Write(gz.data(), static_cast<unsigned>(gz.size()), log));
    EXPECT_FALSE(stream.Write(gz.data(), 1, log)) << "nothing more is taken";
    EXPECT_FALSE(stream.Finish(log));
    EXPECT_LT(sink.bytes.size(), text.size());
    EXPECT_EQ(text.compare(0, sink.bytes.size(), sink.bytes), 0);
}

} // namespace
} // namespace plentor

// The receiving end of a streamed body: whatever the pieces the raw body
// comes in, the sink gets what the buffered path would keep (gzip inflated,
// data that only looks like gzip as it came), and never raw bytes after
// inflated ones or more than the limit.

#include "http/body/StreamedBody.h"
#include "support/Gzipped.h"
#include "support/LogText.h"

#include "http/body/BodySink.h"
#include "http/body/ResponseFraming.h"
#include "log/Logger.h"
#include "text/DataBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace plentor {
namespace {

using testsupport::Gzipped;
using testsupport::LogText;

class StringSink final : public BodySink {
public:
    bool Write(const unsigned char* data, unsigned length) override
    {
        bytes.append(reinterpret_cast<const char*>(data), length);
        return true;
    }

    std::string bytes;
};

struct Streamed {
    bool ok;
    std::string delivered;
    std::string log;
};

Streamed StreamInPieces(const std::string& body, size_t piece, int maxContentLength)
{
    StringSink sink;
    Logger log;
    StreamedBody streamed(sink, maxContentLength, log);
    bool ok = true;
    for (size_t at = 0; ok && at < body.size(); at += piece) {
        const std::string part = body.substr(at, piece);
        ok = streamed.Write(reinterpret_cast<const unsigned char*>(part.data()), static_cast<unsigned>(part.size()));
    }
    ok = ok && streamed.Finish();
    EXPECT_EQ(streamed.Delivered(), sink.bytes.size());
    return {ok, sink.bytes, LogText(log)};
}

// What the buffered path keeps of the same body.
std::string Buffered(const std::string& body)
{
    DataBuffer buffer(body.data(), static_cast<unsigned>(body.size()));
    Logger log;
    ResponseFraming::GunzipIfCompressed(buffer, 0, log);
    return std::string(reinterpret_cast<const char*>(buffer.Data()), buffer.Size());
}

struct BodyCase {
    const char* name;
    std::string body;
    int maxContentLength;
    bool ok;
    std::string content;   // what the body holds: all of it is delivered, or a start of it
    const char* logged;    // a line the log must hold, or null
};

TEST(StreamedBodyTest, DeliversWhatTheBufferedPathKeeps)
{
    const std::string text(100000, 't');
    const std::string gz = Gzipped(text);
    const std::string magic("\x1f\x8b", 2);
    // Gzip whose deflate data breaks after it has inflated to some output.
    const std::string brokenAfterOutput("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xcb\xcc\x4b\xcb\x49\x2c\x49\x4d\x51"
                                        "\x28\x49\xad\x28\x51\x7a\x48\x2d\x4a\xd5\x51\xc8\xc4\x10\xe3\x02\x00\x36\x91"
                                        "\x25\xdf\x27\x00\x00\x00",
                                        44);
    const std::string nameCutOff = magic + std::string("\x08\x08\0\0\0\0\0\x03", 8) + "name-without-end";
    const std::vector<BodyCase> cases = {
        {"plain", "just some text", 0, true, "just some text", nullptr},
        {"gzip", gz, 0, true, text, nullptr},
        {"ten gzip-looking bytes", magic + "12345678", 0, true, magic + "12345678", nullptr},
        {"gzip magic, then not deflate", magic + "plain text after it", 0, true, magic + "plain text after it",
         "Invalid GZip compression method"},
        {"gzip header cut off", nameCutOff, 0, true, nameCutOff, "Buffer would have been overrun"},
        {"gzip breaking after output", brokenAfterOutput, 0, false, "inflated text", "Failed to inflate gzip data"},
        {"plain over the limit", std::string(5000, 'p'), 1000, false, std::string(5000, 'p'),
         "Content length more than the maximum"},
        {"gzip inflating over the limit", gz, 50000, false, text, "Content length more than the maximum"},
    };
    for (const BodyCase& c : cases) {
        for (size_t piece : {size_t{1}, size_t{3}, c.body.size()}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            const Streamed s = StreamInPieces(c.body, piece, c.maxContentLength);
            EXPECT_EQ(s.ok, c.ok) << s.log;
            if (c.ok) {
                EXPECT_TRUE(s.delivered == c.content);
                EXPECT_TRUE(s.delivered == Buffered(c.body)) << "as the buffered path keeps it";
            } else {
                EXPECT_EQ(s.delivered.find(magic), std::string::npos) << "no raw bytes after inflated ones";
                EXPECT_EQ(s.delivered.compare(0, std::min(s.delivered.size(), c.content.size()), c.content, 0,
                                              std::min(s.delivered.size(), c.content.size())),
                          0);
            }
            if (c.maxContentLength > 0) {
                EXPECT_LE(s.delivered.size(), static_cast<size_t>(c.maxContentLength));
            }
            if (c.logged != nullptr) {
                EXPECT_NE(s.log.find(c.logged), std::string::npos) << s.log;
            }
        }
    }
}

} // namespace
} // namespace plentor

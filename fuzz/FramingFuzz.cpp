// The response framing over an in-memory connection: a whole response (a
// header and its body, 100 answers before it, or a page without header) read
// the way the engine reads one, handed out in blocks of a chosen size, the
// body held or streamed to a sink. Whatever the bytes, reading ends without
// fault and never reads a connection it asked to close; a body that was read
// is within the limit it was given, a Content-Length body has exactly that
// length, the outcome does not depend on where the blocks were split, and a
// streamed body that was read whole is the body the buffered read gives.

#include "FuzzInput.h"

#include "base/LogNull.h"
#include "http/HttpControl.h"
#include "http/HttpResponseHeader.h"
#include "http/body/BodySink.h"
#include "http/body/ResponseFraming.h"
#include "http/body/StreamedBody.h"
#include "http/net/BufferedReader.h"
#include "http/net/MemoryReader.h"
#include "text/DataBuffer.h"

#include <algorithm>
#include <string>

using namespace plentor;
using namespace plentor::fuzz;

namespace {

// How the engine treats what it reads: a GET takes a page without header
// and reads a partial header as one; a built request needs a whole header;
// the answer to HEAD has no body.
enum class Handling { Get, Built, Head, Count };

// Body limits: none, one a small body passes, one no input reaches.
constexpr int kMaxContent[] = {0, 100, 1 << 20};
constexpr unsigned kBlockSizes[] = {1, 2, 3, 7, 64, 1000, BufferedReader::kReceiveBlock};
// 100 answers before the final one are skipped; a few show that.
constexpr int kMaxResponses = 4;

struct Outcome {
    bool ok = false;
    int status = 0;
    std::string body;
    bool gzipLooking = false;   // the body as read started like gzip (buffered reads only)

    bool operator==(const Outcome&) const = default;
};

struct Setup {
    unsigned blockSize;
    int maxContent;
    Handling handling;
    bool streamed;
};

class StringSink final : public BodySink {
public:
    explicit StringSink(std::string& out) : out_(out) {}

    bool Write(const unsigned char* data, unsigned length) override
    {
        out_.append(reinterpret_cast<const char*>(data), length);
        return true;
    }

private:
    std::string& out_;
};

// Reads one body the engine's way and checks what the framing promises.
bool ReadBody(ResponseFraming& framing, const HttpResponseHeader& header, int maxContent, DataBuffer& body,
              Outcome& outcome, LogBase& log)
{
    const bool headerless = !body.IsEmpty();
    if (!framing.ReadBody(header, body)) return false;
    if (!headerless && ResponseFraming::FramingOf(header) == ResponseFraming::BodyFraming::Length)
        Require(body.Size() == static_cast<unsigned>(std::max(header.GetContentLength(), 0)));
    outcome.gzipLooking = body.Size() >= ResponseFraming::kMinGzipBytes && body.Data()[0] == 0x1F &&
                          body.Data()[1] == 0x8B;
    return ResponseFraming::GunzipIfCompressed(body, maxContent, log) && !framing.ExceedsMaxContent(body);
}

// Streams one body to a sink the engine's way; what went out is never over the limit.
bool StreamBody(ResponseFraming& framing, const HttpResponseHeader& header, const DataBuffer& start, int maxContent,
                std::string& out, LogBase& log)
{
    StringSink sink(out);
    StreamedBody streamed(sink, maxContent, log);
    const bool ok = streamed.Write(start.Data(), start.Size()) && framing.StreamBody(header, streamed) &&
                    streamed.Finish();
    Require(streamed.Delivered() == out.size());
    if (maxContent > 0) Require(out.size() <= static_cast<unsigned>(maxContent));
    return ok;
}

// Reads the header of the next response; false when the engine would give up.
bool ReadHead(ResponseFraming& framing, Handling handling, HttpResponseHeader& header, DataBuffer& body,
              LogBase& log)
{
    DataBuffer raw;
    bool complete = false;
    if (!framing.ReadHeader(raw, complete)) return false;
    if (complete) header.Parse(raw, log);
    if (header.GetStatusCode() != 0) return true;
    if (handling != Handling::Get || !ResponseFraming::IsHeaderlessHtml(raw)) return false;
    header.SetHeaderlessOk();
    body.AppendBuffer(raw);
    return true;
}

Outcome ReadResponse(std::string_view bytes, const Setup& setup)
{
    MemoryReader reader(bytes.data(), bytes.size(), setup.blockSize);
    HttpControl control;
    control.maxContentLength = setup.maxContent;
    LogNull log;
    ResponseFraming framing(reader, reader, control, log);
    Outcome outcome;
    for (int i = 0; i < kMaxResponses; ++i) {
        HttpResponseHeader header;
        DataBuffer body;
        outcome.ok = ReadHead(framing, setup.handling, header, body, log);
        outcome.status = header.GetStatusCode();
        outcome.body.clear();
        if (outcome.ok && setup.handling != Handling::Head) {
            if (setup.streamed) {
                outcome.ok = StreamBody(framing, header, body, setup.maxContent, outcome.body, log);
                body.Clear();
            } else {
                outcome.ok = ReadBody(framing, header, setup.maxContent, body, outcome, log);
            }
        }
        if (outcome.ok && setup.maxContent > 0) Require(body.Size() <= static_cast<unsigned>(setup.maxContent));
        if (!setup.streamed) outcome.body.assign(reinterpret_cast<const char*>(body.Data()), body.Size());
        if (!outcome.ok || reader.Closed() || outcome.status != 100) break;
    }
    Require(!reader.ReadAfterClose());
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    Setup setup;
    setup.maxContent = kMaxContent[in.Pick(std::size(kMaxContent))];
    setup.blockSize = kBlockSizes[in.Pick(std::size(kBlockSizes))];
    setup.handling = static_cast<Handling>(in.Pick(static_cast<unsigned>(Handling::Count)));
    const std::string_view response = in.Rest();

    setup.streamed = false;
    const Outcome split = ReadResponse(response, setup);
    Setup whole = setup;
    whole.blockSize = BufferedReader::kReceiveBlock;
    Require(split == ReadResponse(response, whole));

    // The streamed read inflates as it goes, so only gzip that breaks after
    // output went out ends it where the buffered read keeps the raw body.
    setup.streamed = true;
    const Outcome streamed = ReadResponse(response, setup);
    if (streamed.ok || !split.gzipLooking) {
        Require(streamed.ok == split.ok && streamed.status == split.status);
        if (streamed.ok) Require(streamed.body == split.body);
    }
    return 0;
}

#pragma once

#include "http/body/BodySink.h"
#include "http/body/GzipStream.h"
#include "text/DataBuffer.h"

#include <cstdint>
#include <memory>

namespace plentor {

class LogBase;

// The receiving end of a response body that is streamed instead of held:
// takes the body as it comes off the wire, inflates it when it is gzip (by
// the buffered path's rule: the magic bytes 1F 8B and at least
// ResponseFraming::kMinGzipBytes in all), counts what it delivers against
// the body limit and writes it to the caller's sink. It holds at most a
// block of the body: the raw bytes are kept only until the inflater has
// produced its first output, so that data which only looked like gzip is
// delivered as it came, as the buffered path does.
class StreamedBody final : public BodySink {
public:
    // maxContentLength: the most bytes delivered, 0 for no limit.
    StreamedBody(BodySink& out, int maxContentLength, LogBase& log);
    StreamedBody(const StreamedBody&) = delete;
    StreamedBody& operator=(const StreamedBody&) = delete;

    // The next raw body bytes. False (logged) once the transfer must stop:
    // the caller's sink refused a block, the limit was passed or the gzip
    // data broke after output had gone out.
    bool Write(const unsigned char* data, unsigned length) override;
    // The end of the body; false (logged) when the gzip data ended inside a member.
    bool Finish();

    uint64_t Delivered() const { return delivered_; }

    // Writes a body held already (from the cache) to out at once, as it is;
    // false (logged) when out refused it.
    static bool WriteHeld(BodySink& out, const DataBuffer& body, LogBase& log);

private:
    enum class Mode { Sniffing, Raw, Gzip, Stopped };

    // What the inflater writes to: the delivering end.
    class Inflated final : public BodySink {
    public:
        explicit Inflated(StreamedBody& owner) : owner_(owner) {}
        bool Write(const unsigned char* data, unsigned length) override { return owner_.Deliver(data, length); }

    private:
        StreamedBody& owner_;
    };

    bool Sniff(const unsigned char*& data, unsigned& length);
    bool Inflate(const unsigned char* data, unsigned length);
    bool Feed(const unsigned char* data, unsigned length);
    bool CanFallBack() const;
    bool FallBackToRaw();
    bool Deliver(const unsigned char* data, unsigned length);
    bool Stop();
    static void LogRefusal(LogBase& log);

    BodySink& out_;
    const unsigned maxContentLength_;
    LogBase& log_;
    Mode mode_ = Mode::Sniffing;
    Inflated inflated_{*this};
    std::unique_ptr<GzipStream> gzip_;
    DataBuffer held_;            // raw bytes kept while the inflater has produced nothing
    bool holding_ = true;        // held_ still has every raw byte
    uint64_t delivered_ = 0;
};

} // namespace plentor

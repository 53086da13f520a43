#pragma once

#include <cstdint>
#include <memory>

namespace plentor {

class BodySink;
class BufferedReader;
class DataBuffer;
class HttpControl;
class HttpResponseHeader;
class LogBase;

// How one HTTP/1.1 response is framed on the wire: the header block, then
// the body by Content-Length, in chunks (extensions and trailers skipped) or
// until the connection closes; none for 204, 1xx and 304. Gzip bodies are
// recognised by their magic bytes, and the settings' body limit is enforced.
// The body is appended to a buffer or streamed to a sink as it arrives.
// It reads from any BufferedReader and leaves the connection to its owner:
// what must be done to it (closing it, changing its read wait) it asks for
// through Connection.
class ResponseFraming {
public:
    // What the framing asks of the connection it reads from.
    class Connection {
    public:
        // The connection is out of step with the protocol (or at its end):
        // nothing more may be read from it.
        virtual void Close() = 0;
        // The longest wait for any one read from now on.
        virtual void SetReadWaitMs(uint32_t ms) = 0;

    protected:
        ~Connection() = default;
    };

    // How the body of a response is delimited.
    enum class BodyFraming {
        None,            // 1xx, 204, 304, or an error status stating length 0
        Chunked,
        Length,          // Content-Length
        UntilClose,      // no length: the body ends with the connection
        InvalidLength,   // a Content-Length that is no number: unreadable
    };

    // How much of an unreadable response is examined and logged.
    static constexpr unsigned kSniffBytes = 500;
    // A gzip member is at least this long; shorter bodies are never inflated.
    static constexpr unsigned kMinGzipBytes = 11;
    // A body framed by the connection closing ends after this much silence.
    static constexpr uint32_t kUntilCloseWaitMs = 2000;
    // Chunk sizes from here up are garbage: no body this client keeps comes near.
    static constexpr uint64_t kMaxChunkSize = 0x7FFFFFFF;

    ResponseFraming(BufferedReader& reader, Connection& connection, const HttpControl& control, LogBase& log)
        : reader_(reader), connection_(connection), control_(control), log_(log)
    {
    }
    ResponseFraming(const ResponseFraming&) = delete;
    ResponseFraming& operator=(const ResponseFraming&) = delete;

    // Reads the header block into raw; complete tells whether its empty line
    // came. False only when nothing at all arrived.
    bool ReadHeader(DataBuffer& raw, bool& complete);
    // A reply without status line that is an HTML page all the same.
    static bool IsHeaderlessHtml(const DataBuffer& raw);
    // A "Connection: close" field.
    static bool IsClose(const HttpResponseHeader& header);

    static BodyFraming FramingOf(const HttpResponseHeader& header);

    // Appends the body in the header's framing to body; false (logged, the
    // connection closed) when it could not be read whole or is over the limit.
    bool ReadBody(const HttpResponseHeader& header, DataBuffer& body);
    // The same, handing the body bytes to sink as they arrive, a block at a
    // time, as they came (not inflated). A refusal of the sink stops the
    // transfer and closes the connection; the sink tells why.
    bool StreamBody(const HttpResponseHeader& header, BodySink& sink);
    // Replaces a body that starts with the gzip magic bytes by its inflated
    // form; a body that does not inflate stays as it came. False (logged,
    // body freed) when it would inflate past maxContentLength (0: no limit
    // but the inflater's own): the inflater stops there instead of
    // expanding a small body without end.
    static bool GunzipIfCompressed(DataBuffer& body, int maxContentLength, LogBase& log);
    // True (logged) when body is over the settings' limit.
    bool ExceedsMaxContent(const DataBuffer& body) const;

private:
    bool ReadFramed(const HttpResponseHeader& header);
    bool ReadChunked();
    bool ReadLengthFramed(int length);
    bool ReadUntilClosed();
    // The body's bytes go to body_ (appended) or to sink_ (streamed).
    bool Take(unsigned length);
    // Takes what arrives until the connection closes or goes silent, or
    // until more than limit bytes (when not 0) have come: overLimit.
    bool TakeUntilClosed(unsigned limit, bool& overLimit);
    bool Pass(const uint8_t* data, unsigned length);
    uint64_t TakenSize() const;
    // Forgets what a buffered body holds; a streamed one is gone already.
    void DropBody();
    // The error lines of a body over the limit.
    void LogOverLimit(const char* message) const;
    // Reads the chunk-size line; false (logged, closed) on a broken line or a
    // size over kMaxChunkSize. digits is 0 when the line holds no size.
    bool ReadChunkSize(uint64_t& size, unsigned& digits);
    // The trailer fields after the last chunk, up to the empty line.
    void SkipTrailer();
    bool Fail(const char* message);

    BufferedReader& reader_;
    Connection& connection_;
    const HttpControl& control_;
    LogBase& log_;
    DataBuffer* body_ = nullptr;
    BodySink* sink_ = nullptr;
    uint64_t streamed_ = 0;               // bytes passed to sink_
    bool sinkStopped_ = false;            // sink_ refused a block
    std::unique_ptr<uint8_t[]> block_;    // what a streamed body passes through
};

} // namespace plentor

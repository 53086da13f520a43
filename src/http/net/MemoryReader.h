#pragma once

#include "http/body/ResponseFraming.h"
#include "http/net/BufferedReader.h"

#include <cstddef>
#include <cstdint>

namespace plentor {

// A connection over bytes already in memory: what the response framing
// reads in tests and under the fuzzer. Each receive hands out at most
// blockSize bytes, so the readers meet split points as they would on a
// network, and the end of the bytes reads as the peer closing. The bytes
// must outlive the reader.
class MemoryReader : public BufferedReader, public ResponseFraming::Connection {
public:
    MemoryReader(const void* data, size_t size, unsigned blockSize = kReceiveBlock);

    // Drops what is buffered and what is left: nothing more is read.
    void Close() override;
    void SetReadWaitMs(uint32_t ms) override { readWaitMs_ = ms; }

    bool Closed() const { return closed_; }
    // True when a receive was asked for after Close.
    bool ReadAfterClose() const { return readAfterClose_; }
    // The read wait the framing set last (0: never set).
    uint32_t ReadWaitMs() const { return readWaitMs_; }

protected:
    bool ReceiveOnce(void* buffer, unsigned length, unsigned& got, bool& timedOut, LogBase& log,
                     ProgressMonitor* monitor) override;

private:
    const uint8_t* next_;
    size_t left_;
    unsigned blockSize_;   // at least 1
    bool closed_ = false;
    bool readAfterClose_ = false;
    uint32_t readWaitMs_ = 0;
};

} // namespace plentor

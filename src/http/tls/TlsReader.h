#pragma once

#include "http/net/BufferedReader.h"
#include "text/DataBuffer.h"

namespace plentor {

class SChannel;

// The response readers over a TLS channel: decrypted blocks come from the
// channel as its records arrive, and the header, line and exact readers
// work on them as they do on a plain socket, so a header split over two
// records or a body that shares a record with its header reads the same.
class TlsReader : public BufferedReader {
public:
    explicit TlsReader(SChannel& channel) : channel_(channel) {}

    // Forgets everything buffered (a new connection starts clean).
    void Reset();
    // True once the server has ended the TLS session.
    bool PeerClosed() const { return peerClosed_; }

protected:
    bool ReceiveOnce(void* buffer, unsigned length, unsigned& got, bool& timedOut, LogBase& log,
                     ProgressMonitor* monitor) override;

private:
    SChannel& channel_;
    DataBuffer spill_;          // decrypted bytes beyond what the last receive asked for
    unsigned spillStart_ = 0;   // first unread byte of spill_
    bool peerClosed_ = false;
};

} // namespace plentor

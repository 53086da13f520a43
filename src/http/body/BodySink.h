#pragma once

namespace plentor {

// Where a body goes as it arrives, block by block, instead of being held
// whole: standard output, a file, a decoder.
class BodySink {
public:
    virtual ~BodySink() = default;

    // Takes the next length bytes (length > 0). False stops the transfer:
    // nothing more is written.
    virtual bool Write(const unsigned char* data, unsigned length) = 0;
};

} // namespace plentor

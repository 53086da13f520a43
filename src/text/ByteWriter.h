#pragma once

#include "text/DataBuffer.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace plentor {

// Collects the bytes of the byte-at-a-time passes (ISO-2022, UTF-7, UTF-32)
// and appends them to the output in blocks. The pass calls Flush when done:
// appending may fail (std::bad_alloc), which a destructor must not do.
class ByteWriter {
public:
    explicit ByteWriter(DataBuffer& out) : out_(out) {}
    ByteWriter(const ByteWriter&) = delete;
    ByteWriter& operator=(const ByteWriter&) = delete;

    void Put(uint8_t b)
    {
        if (used_ == block_.size())
            Flush();
        block_[used_++] = b;
    }

    void Put(uint8_t a, uint8_t b)
    {
        Put(a);
        Put(b);
    }

    void PutUnit(uint32_t unit)   // one UTF-16LE code unit
    {
        Put(static_cast<uint8_t>(unit & 0xFF), static_cast<uint8_t>(unit >> 8));
    }

    // Appends the collected bytes to the output.
    void Flush();

private:
    static constexpr size_t kBlockBytes = 8192;
    DataBuffer& out_;
    std::array<uint8_t, kBlockBytes> block_;
    size_t used_ = 0;
};

} // namespace plentor

#pragma once

#include <cstddef>
#include <cstdint>

namespace plentor {

// MD5 message digest (RFC 1321). Feed bytes with Update in any number of
// pieces, then Final yields the 16-byte digest and starts a new message.
class Md5 {
public:
    static constexpr unsigned kDigestSize = 16;

    Md5() { Reset(); }

    // Adds n bytes to the message.
    void Update(const void* bytes, size_t n);

    // Writes the digest of everything added since the last Final, then resets.
    void Final(uint8_t out[kDigestSize]);

    // Digest of one buffer in a single call.
    static void Digest(const void* bytes, size_t n, uint8_t out[kDigestSize]);

private:
    static constexpr unsigned kBlockSize = 64;

    void Reset();
    void Transform(const uint8_t block[kBlockSize]);

    uint32_t state_[4] = {};
    uint64_t totalBytes_ = 0;          // message length so far, for the length trailer
    uint8_t pending_[kBlockSize] = {}; // bytes of the block not yet complete
    unsigned pendingSize_ = 0;
};

} // namespace plentor

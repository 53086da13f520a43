#include "text/CompressedContainer.h"
#include "text/LittleEndian.h"

#include "base/LogBase.h"
#include "text/ContentCoding.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <bzlib.h>

#include <limits>
#include <vector>

namespace plentor {

namespace {

constexpr unsigned kHeaderSize = 8;   // magic, then unpacked length
constexpr int kBlockSize100k = 9;     // bzip2's largest block: best ratio for tables built once
// The built-in tables unpack to a few hundred kilobytes at most; a declared
// length above this comes from damaged data and must not drive an allocation.
constexpr unsigned kMaxUnpackedBytes = 64u * 1024 * 1024;

// bzip2's documented worst case: 1% larger than the input plus 600 bytes.
unsigned CompressBound(unsigned n) { return n + n / 100 + 600; }

const char* Bzip2ErrorText(int code)
{
    switch (code) {
    case BZ_OUTBUFF_FULL: return "Unpacked data is longer than the declared length";
    case BZ_DATA_ERROR: return "Compressed data is corrupt";
    case BZ_DATA_ERROR_MAGIC: return "Compressed data is not a bzip2 stream";
    case BZ_UNEXPECTED_EOF: return "Compressed data ends early";
    case BZ_MEM_ERROR: return "Out of memory for bzip2";
    default: return "bzip2 failed";
    }
}

// Checks the 8-byte header and returns the declared unpacked length.
bool ReadHeader(const uint8_t* p, unsigned n, uint32_t& length, LogBase& log)
{
    if (n < kHeaderSize) {
        log.LogError("Compressed data is too short for its header");
        log.LogDataLong("size", n);
        return false;
    }
    if (LittleEndian::Get32(p) != CompressedContainer::kMagic) {
        log.LogError("Compressed data has a bad magic number");
        return false;
    }
    length = LittleEndian::Get32(p + 4);
    if (length > kMaxUnpackedBytes) {
        log.LogError("Declared unpacked length is too large");
        log.LogDataLong("declaredLength", length);
        log.LogDataLong("maxLength", kMaxUnpackedBytes);
        return false;
    }
    return true;
}

} // namespace

bool CompressedContainer::Pack(const void* bytes, unsigned n, StringBuffer& base64Out, LogBase& log)
{
    LogContext context(log, "PackContainer");
    if (n > kMaxUnpackedBytes) {
        log.LogError("Data is too large to pack");
        log.LogDataLong("size", n);
        return false;
    }
    std::vector<char> packed(kHeaderSize + CompressBound(n));
    auto* header = reinterpret_cast<uint8_t*>(packed.data());
    LittleEndian::Put32(header, kMagic);
    LittleEndian::Put32(header + 4, n);
    unsigned streamSize = static_cast<unsigned>(packed.size() - kHeaderSize);
    char* source = const_cast<char*>(static_cast<const char*>(bytes));  // bzlib takes non-const input
    char emptyInput = 0;
    int rc = BZ2_bzBuffToBuffCompress(packed.data() + kHeaderSize, &streamSize, n > 0 ? source : &emptyInput, n,
                                      kBlockSize100k, 0, 0);
    if (rc != BZ_OK) {
        log.LogError("bzip2 compression failed");
        log.LogDataLong("bzip2Error", rc);
        return false;
    }
    ContentCoding::EncodeBase64(packed.data(), kHeaderSize + streamSize, base64Out);
    return true;
}

bool CompressedContainer::Unpack(const char* base64Text, unsigned n, DataBuffer& out, LogBase& log)
{
    DataBuffer binary;
    if (!ContentCoding::DecodeBase64Strict(base64Text, n, binary)) {
        LogContext context(log, "UnpackContainer");
        log.LogError("Compressed data is not valid Base64");
        return false;
    }
    return UnpackBinary(binary.Data(), binary.Size(), out, log);
}

bool CompressedContainer::UnpackBinary(const void* bytes, unsigned n, DataBuffer& out, LogBase& log)
{
    LogContext context(log, "UnpackContainer");
    const auto* p = static_cast<const uint8_t*>(bytes);
    uint32_t length = 0;
    if (!ReadHeader(p, n, length, log))
        return false;
    if (uint64_t {out.Size()} + length + 1 > std::numeric_limits<unsigned>::max()) {
        log.LogError("Output buffer cannot hold the unpacked data");
        return false;
    }
    // One spare byte so the output pointer is valid even for an empty result.
    out.Reserve(length + 1);
    unsigned produced = length;
    char* source = const_cast<char*>(reinterpret_cast<const char*>(p + kHeaderSize));  // bzlib takes non-const input
    int rc = BZ2_bzBuffToBuffDecompress(reinterpret_cast<char*>(out.Data() + out.Size()), &produced, source,
                                        n - kHeaderSize, 0, 0);
    if (rc != BZ_OK) {
        log.LogError(Bzip2ErrorText(rc));
        log.LogDataLong("bzip2Error", rc);
        return false;
    }
    if (produced != length) {
        log.LogError("Unpacked data is shorter than the declared length");
        log.LogDataLong("declaredLength", length);
        log.LogDataLong("unpackedLength", produced);
        return false;
    }
    out.SetSize(out.Size() + produced);
    return true;
}

} // namespace plentor

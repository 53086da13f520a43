#include "text/CompressedContainer.h"
#include "text/LittleEndian.h"

#include "base/LogBase.h"
#include "text/BzipBlock.h"
#include "text/ContentCoding.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <limits>
#include <vector>

namespace plentor {

namespace {

constexpr unsigned kHeaderSize = 8;   // magic, then unpacked length
constexpr int kBlockSize100k = 9;     // bzip2's largest block: best ratio for tables built once
// The built-in tables unpack to a few hundred kilobytes at most; a declared
// length above this comes from damaged data and must not drive an allocation.
constexpr unsigned kMaxUnpackedBytes = 64u * 1024 * 1024;

const char* UnpackErrorText(BzipBlock::Outcome outcome)
{
    switch (outcome) {
    case BzipBlock::Outcome::TooLarge: return "Unpacked data is longer than the declared length";
    case BzipBlock::Outcome::Corrupt: return "Compressed data is corrupt";
    case BzipBlock::Outcome::Truncated: return "Compressed data ends early";
    case BzipBlock::Outcome::NoMemory: return "Out of memory for bzip2";
    case BzipBlock::Outcome::Done: break;
    }
    return "bzip2 failed";
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
    uint8_t header[kHeaderSize];
    LittleEndian::Put32(header, kMagic);
    LittleEndian::Put32(header + 4, n);
    DataBuffer packed;
    packed.AppendBytes(header, kHeaderSize);
    if (!BzipBlock::Compress(bytes, n, packed, log, kBlockSize100k))
        return false;
    ContentCoding::EncodeBase64(packed.Data(), packed.Size(), base64Out);
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
    const unsigned before = out.Size();
    const BzipBlock::Outcome outcome = BzipBlock::DecompressUpTo(p + kHeaderSize, n - kHeaderSize, length, out);
    if (outcome != BzipBlock::Outcome::Done) {
        log.LogError(UnpackErrorText(outcome));
        return false;
    }
    const unsigned produced = out.Size() - before;
    if (produced != length) {
        log.LogError("Unpacked data is shorter than the declared length");
        log.LogDataLong("declaredLength", length);
        log.LogDataLong("unpackedLength", produced);
        out.SetSize(before);
        return false;
    }
    return true;
}

} // namespace plentor

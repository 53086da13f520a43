#pragma once

#include <cstdint>

namespace plentor {

class DataBuffer;
class LogBase;
class StringBuffer;

// The compressed-data container of built-in lists and tables: a 4-byte magic
// 0xB394A7E1 (little-endian), the 4-byte little-endian length of the unpacked
// data, then a bzip2 stream; stored in the program as Base64 text.
class CompressedContainer {
public:
    static constexpr uint32_t kMagic = 0xB394A7E1u;

    // Packs bytes into a container (bzip2 block size 9) and appends its Base64 text.
    static bool Pack(const void* bytes, unsigned n, StringBuffer& base64Out, LogBase& log);

    // Decodes Base64 text of a container and appends the unpacked bytes. Fails
    // (with a log line) on a bad magic, a corrupt stream or a length mismatch.
    static bool Unpack(const char* base64Text, unsigned n, DataBuffer& out, LogBase& log);

    // The same for a container already in binary form.
    static bool UnpackBinary(const void* bytes, unsigned n, DataBuffer& out, LogBase& log);
};

} // namespace plentor

#pragma once

namespace plentor {

class DataBuffer;
class StringBuffer;

// Base64 (RFC 4648 alphabet, "=" padding).
class Base64 {
public:
    // Appends the encoding of the bytes, without line breaks.
    static void Encode(const void* bytes, unsigned n, StringBuffer& out);

    // Appends the decoded bytes; characters outside the alphabet (line breaks,
    // spaces) are skipped. False when the input ends in the middle of a group
    // that cannot form a byte.
    static bool Decode(const char* text, unsigned n, DataBuffer& out);
};

} // namespace plentor

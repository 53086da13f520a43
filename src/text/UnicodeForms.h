#pragma once

#include <cstddef>
#include <cstdint>

namespace plentor {

class DataBuffer;
struct TextCodec;

// The Unicode forms, converted by algorithm alone: UTF-16 (both byte orders)
// and UTF-8 as codecs of the core conversion; UTF-7 and UTF-32 as passes of
// their own before or after it.
class UnicodeForms {
public:
    // UTF-16LE, UTF-16BE, UTF-7, UTF-8, UTF-32LE or UTF-32BE.
    static bool IsUnicodeForm(int codePage);
    static bool IsUtf32(int codePage);

    // The codec of UTF-16LE, UTF-16BE or UTF-8; false for any other code page.
    static bool MakeCodec(int codePage, TextCodec& codec);
    // Length of the byte-order mark that starts the input, if any.
    static size_t ByteOrderMarkLength(int codePage, const uint8_t* p, size_t n);

    // UTF-7 to UTF-16LE; false when some of it could not be read (the rest is converted).
    static bool DecodeUtf7(const uint8_t* p, size_t n, DataBuffer& out);
    // UTF-16LE to UTF-7; a leading byte-order mark is not written.
    static void EncodeUtf7(const uint8_t* p, size_t n, DataBuffer& out);

    // UTF-32 in the code page's byte order to UTF-16LE; false when some of it was dropped.
    static bool DecodeUtf32(int codePage, const uint8_t* p, size_t n, DataBuffer& out);
    // UTF-8 to UTF-32 in the code page's byte order; false when some of it was dropped.
    static bool EncodeUtf32(int codePage, const uint8_t* p, size_t n, DataBuffer& out);
};

} // namespace plentor

#pragma once

#include <cstddef>
#include <cstdint>

namespace plentor {

class HashConvert;
class UnicodeLookup;

// How the core conversion reads and writes one code page: a decoder into
// UTF-16 units and an encoder back, with the tables they work from. Table
// pages also read and write UTF-8, the commonest other side, directly,
// skipping the UTF-16 step.
struct TextCodec {
    // What a decoder did: it stops when dst is full, at the end of the input, or
    // before the first sequence it cannot read (reported in badBytes / badCode).
    struct DecodeResult {
        size_t consumed = 0;         // input bytes turned into units
        size_t written = 0;          // units written
        unsigned badBytes = 0;       // length of the unreadable sequence after the consumed bytes
        uint32_t badCode = 0;        // its code point when badIsCharacter, else its first byte
        bool badIsCharacter = false; // a character the decoder reads but cannot give as one unit
    };

    // What an encoder did: it stops at the end of the units or before the first
    // unit the code page cannot hold. dst has room for maxBytesPerUnit per unit.
    struct EncodeResult {
        size_t consumed = 0;       // units (or UTF-8 bytes) written out
        size_t written = 0;        // bytes written
        bool failed = false;       // units[consumed] cannot be written
    };

    // One character in UTF-8, copied four bytes at a time (the fourth is
    // overwritten by what follows).
    struct Utf8Form {
        uint8_t bytes[3];
        uint8_t length;   // 0: no character
    };

    using Decoder = DecodeResult (*)(const TextCodec&, const uint8_t* p, size_t n, char16_t* dst, size_t room);
    using Encoder = EncodeResult (*)(const TextCodec&, const char16_t* units, size_t count, uint8_t* dst);
    // As a Decoder, writing UTF-8 bytes (written counts them); dst has room
    // for kUtf8BytesPerByte per input byte and one more.
    using Utf8Decoder = DecodeResult (*)(const TextCodec&, const uint8_t* p, size_t n, uint8_t* dst);
    static constexpr unsigned kUtf8BytesPerByte = 3;
    // As an Encoder, reading UTF-8 bytes (consumed counts them) as far as it
    // can; dst has room for n bytes. Where it stops, the caller converts the
    // text by units.
    using Utf8Encoder = EncodeResult (*)(const TextCodec&, const uint8_t* p, size_t n, uint8_t* dst);

    int codePage = 0;
    Decoder decode = nullptr;
    Encoder encode = nullptr;
    unsigned maxBytesPerUnit = 0;
    const UnicodeLookup* byteUnits = nullptr;   // single-byte pages: byte -> unit
    const HashConvert* table = nullptr;         // single-byte pages: unit -> byte; double-byte pages: both ways
    bool keepsAscii = false;                    // bytes and units below 0x80 convert as themselves both ways
    Utf8Decoder decodeToUtf8 = nullptr;         // single-byte pages
    const Utf8Form* utf8Forms = nullptr;        // single-byte pages: byte -> its character in UTF-8
    Utf8Encoder encodeFromUtf8 = nullptr;       // table pages that keep ASCII
};

} // namespace plentor

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace plentor {

class LogBase;
struct TextCodec;

// The code pages read and written through the tables of CodePageTables,
// single-byte and double-byte, as codecs of the core conversion.
class TablePages {
public:
    // The codes of the units below 0x100 (the bulk of Latin text) in a target
    // page, copied out of its table for a long input.
    using LowCodes = std::array<uint16_t, 0x100>;

    static bool IsTablePage(int codePage);
    // Loads the page's tables; false, logged, when they are missing or damaged.
    static bool Load(int codePage, LogBase& log);
    // The codec of a table page; false, logged, when its tables cannot be loaded.
    static bool MakeCodec(int codePage, TextCodec& codec, LogBase& log);
    // For an input long enough to repay the copy, fills codes from a table
    // page's table and points the target codec at them; any other codec is
    // left alone.
    static void UseLowCodes(TextCodec& target, size_t inputBytes, LowCodes& codes);
};

} // namespace plentor

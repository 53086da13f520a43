#pragma once

#include <cstddef>
#include <cstdint>

namespace plentor {

class LogBase;
struct TextCodec;

// The code pages read and written through the tables of CodePageTables,
// single-byte and double-byte, as codecs of the core conversion.
class TablePages {
public:
    static bool IsTablePage(int codePage);
    // Loads the page's tables; false, logged, when they are missing or damaged.
    static bool Load(int codePage, LogBase& log);
    // The codec of a table page; false, logged, when its tables cannot be loaded.
    static bool MakeCodec(int codePage, TextCodec& codec, LogBase& log);
};

} // namespace plentor

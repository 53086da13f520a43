#pragma once

#include "text/HashConvert.h"
#include "text/TextCodec.h"
#include "text/UnicodeLookup.h"

#include <array>
#include <vector>

namespace plentor {

class DataBuffer;
class LogBase;

// The built-in mapping tables of the table-driven code pages. A table is
// unpacked from its stored text on the first use of its code page (once per
// process, safe when threads race for it) and kept until the process ends.
class CodePageTables {
public:
    struct SingleByteTable {
        UnicodeLookup toUnicode;
        HashConvert fromUnicode;   // single-byte codes only
        bool keepsAscii = false;   // bytes and units below 0x80 convert as themselves both ways
        std::array<TextCodec::Utf8Form, 256> utf8{};   // each byte's character in UTF-8
    };

    // The table of a single-byte code page; null (with a log line) when the
    // code page has none or its stored data is damaged.
    static const SingleByteTable* SingleByte(int codePage, LogBase& log);

    // The table of a double-byte code page; null as for SingleByte.
    static const HashConvert* DoubleByte(int codePage, LogBase& log);

    static bool IsSingleBytePage(int codePage);
    static bool IsDoubleBytePage(int codePage);

    // The code pages that have tables, in stored order.
    static std::vector<int> SingleBytePages();
    static std::vector<int> DoubleBytePages();

    // Unpacks stored table text: a kind letter ('x' plain, anything else a
    // compressed container), then Base64. Appends the bytes to out.
    static bool UnpackStoredText(const char* text, unsigned n, DataBuffer& out, LogBase& log);
};

} // namespace plentor

#pragma once

#include "text/DataBuffer.h"

#include <cstdint>

namespace plentor {

class LogBase;

// Converts byte strings between code pages (by Windows code page number)
// with the program's own tables and algorithms; never calls the platform.
class EncodingConvert {
public:
    EncodingConvert() = default;
    virtual ~EncodingConvert() = default;

    // Appends the converted bytes to out. True when every unit converted.
    bool Convert(int fromCodePage, int toCodePage, const void* bytes, unsigned n, DataBuffer& out, LogBase& log);

    // Code page numbers used throughout the program.
    static constexpr int kUtf16Le = 1200;
    static constexpr int kUtf16Be = 1201;
    static constexpr int kUtf8 = 65001;
    static constexpr int kUsAscii = 20127;
    static constexpr int kLatin1 = 28591;
    static constexpr int kWindows1252 = 1252;

    int errorAction = 0;          // what to do with units the target cannot hold
    int altCodePage = 0;          // for error action 6
    bool markErrors = false;

private:
    bool ToUtf16(int codePage, const uint8_t* p, unsigned n, DataBuffer& out);
    bool FromUtf16(int codePage, const uint8_t* p, unsigned n, DataBuffer& out);

    int fromCodePage_ = 0;
    int toCodePage_ = 0;
};

} // namespace plentor

#pragma once

namespace plentor {

// One stored code page table (the data lives in the generated
// CodePageData.cpp; tools/charset-tables/generate.py writes it).
struct CodePageData {
    enum Kind { kSingleByte, kDoubleByte };

    int codePage;
    Kind kind;
    const char* const* lines;   // the stored text in pieces, ending with nullptr
};

extern const CodePageData kCodePageData[];
extern const unsigned kCodePageDataCount;

} // namespace plentor

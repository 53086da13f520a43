#pragma once

namespace plentor {

// The built-in stop-word list as stored in the program: Base64 text of a
// compressed-data container (see CompressedContainer) whose unpacked bytes
// are the entries, each followed by CR LF. The definitions are generated
// into StopWordsData.cpp by tools/stopwords/generate.py.
struct StopWordsData {
    static const char kBase64[];
    static const unsigned kBase64Length;   // characters of kBase64, without the terminator
};

} // namespace plentor

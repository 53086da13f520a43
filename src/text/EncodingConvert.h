#pragma once

#include "text/DataBuffer.h"
#include "text/TextCodec.h"

#include <cstddef>
#include <cstdint>

namespace plentor {

class LogBase;

// Converts byte strings between code pages (by Windows code page number)
// with the program's own tables and algorithms; never calls the platform.
// The core of every conversion goes source -> UTF-16LE -> target, one codec
// per side (UnicodeForms, TablePages); stateful forms (ISO-2022, UTF-7,
// UTF-32) and the Mac Arabic fix-up are passes before or after that core
// (Iso2022Forms, UnicodeForms, MacArabic).
class EncodingConvert {
public:
    EncodingConvert() = default;
    virtual ~EncodingConvert() = default;

    // Appends the converted bytes to out. True when every unit converted;
    // false with no output (and a log line) when a code page is unsupported.
    // A target of 0 or equal to the source copies the bytes unchanged.
    bool Convert(int fromCodePage, int toCodePage, const void* bytes, unsigned n, DataBuffer& out, LogBase& log);

    // As Convert, with both charset names resolved by CharsetNames; an
    // unknown name fails like an unsupported code page.
    bool ConvertByName(const char* fromName, const char* toName, const void* bytes, unsigned n, DataBuffer& out,
                       LogBase& log);

    // True when Convert can read and write the code page.
    static bool IsSupported(int codePage);

    // The bytes written for an unconvertible unit under kSubstitute. The kind
    // byte of a marked error records their length, hence the limit.
    static constexpr unsigned kMaxSubstituteBytes = 255;
    bool SetSubstitute(const void* bytes, unsigned n);

    // Code page numbers used throughout the program.
    static constexpr int kUtf16Le = 1200;
    static constexpr int kUtf16Be = 1201;
    static constexpr int kUtf7 = 65000;
    static constexpr int kUtf8 = 65001;
    static constexpr int kUtf32Le = 65005;
    static constexpr int kUtf32Be = 65006;
    static constexpr int kUsAscii = 20127;
    static constexpr int kLatin1 = 28591;
    static constexpr int kWindows1252 = 1252;
    static constexpr int kShiftJis = 932;
    static constexpr int kKorean = 949;          // Unified Hangul Code, a superset of EUC-KR
    static constexpr int kMacArabic = 10004;
    static constexpr int kIso2022Jp = 50220;     // 50221 and 50222 are converted the same way
    static constexpr int kIso2022JpLast = 50222;
    static constexpr int kIso2022Kr = 50225;

    // Values of errorAction.
    static constexpr int kDrop = 0;           // leave the unit out
    static constexpr int kSubstitute = 1;     // write the substitute bytes
    static constexpr int kHexEntity = 2;      // write "&#x" hex ";"
    static constexpr int kAltCodePage = 6;    // convert the unit to altCodePage (0: the outer target)
    static constexpr int kCopyByte = 7;       // copy the undecodable source bytes

    // The bytes that precede an emitted substitute when markErrors is set,
    // followed by a kind byte.
    static constexpr uint8_t kMarkByte1 = 0xFD;
    static constexpr uint8_t kMarkByte2 = 0xEF;

    int errorAction = kDrop;      // what to do with units the target cannot hold
    int altCodePage = 0;          // for error action 6
    bool markErrors = false;

    int FromCodePage() const { return fromCodePage_; }
    int ToCodePage() const { return toCodePage_; }

    struct Offending;             // a unit the conversion could not carry

private:
    enum class OnError { kApplyAction, kDrop };

    bool ConvertFromSource(int from, int to, const uint8_t* p, size_t n, DataBuffer& out, LogBase& log);
    bool ConvertToTarget(int from, int to, const uint8_t* p, size_t n, DataBuffer& out, LogBase& log);
    bool ConvertCore(int from, int to, const uint8_t* p, size_t n, DataBuffer& out, LogBase& log);
    bool Transcode(const TextCodec& from, const TextCodec& to, const uint8_t* p, size_t n, DataBuffer& out);
    bool TranscodeByUnits(const TextCodec& from, const TextCodec& to, const uint8_t* p, size_t n, DataBuffer& out);
    bool TranscodeFromUtf8(const TextCodec& from, const TextCodec& to, const uint8_t* p, size_t n, DataBuffer& out);
    bool TranscodeToUtf8(const TextCodec& from, const TextCodec& to, const uint8_t* p, size_t n, DataBuffer& out);
    bool SkipUnreadable(const TextCodec& to, const TextCodec::DecodeResult& r, const uint8_t* p, size_t& pos,
                        DataBuffer& out);
    bool EncodeUnits(const TextCodec& to, const char16_t* units, size_t count, DataBuffer& out, OnError onError);
    void EmitError(const TextCodec& to, const Offending& bad, DataBuffer& out);
    void ConvertToAltCodePage(const Offending& bad, DataBuffer& out) const;
    void Mark(uint8_t kind, DataBuffer& out) const;

    DataBuffer substitute_;
    int fromCodePage_ = 0;        // of the conversion under way
    int toCodePage_ = 0;
};

} // namespace plentor

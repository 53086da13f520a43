#pragma once

#include "text/ZentrelObject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plentor {

class DataBuffer;
class LogBase;

// Growable, zero-terminated byte string: the working type of every parser and
// builder. Holds text in whatever byte encoding the context says (ANSI code
// page or UTF-8). Every operation checks the validity marker first.
class StringBuffer : public ZentrelObject {
public:
    static constexpr int kDefaultGrowBy = 200;
    static constexpr int kMaxGrowBy = 500000;   // growth doubles, but never by more than this

    StringBuffer();                                  // capacity 200, growBy 200
    explicit StringBuffer(int growBy);               // 0 means 200; capacity = growBy
    StringBuffer(const char* text);                  // NOLINT: implicit on purpose; null gives capacity 4
    StringBuffer(const void* bytes, int n);          // a zero byte is appended
    StringBuffer(const StringBuffer& other);
    StringBuffer(StringBuffer&& other) noexcept;
    StringBuffer& operator=(const StringBuffer& other);
    StringBuffer& operator=(StringBuffer&& other) noexcept;
    ~StringBuffer();

    // A UTF-16 system string converted to the active ANSI code page.
    static StringBuffer FromSystemString(const char16_t* text);

    // Access. GetString never returns null.
    const char* GetString() const { Check(); return data_; }
    int GetLength() const { Check(); return length_; }
    int GetCapacity() const { Check(); return capacity_; }
    int GetGrowBy() const { Check(); return growBy_; }
    bool IsEmpty() const { Check(); return length_ == 0; }
    std::string ToStdString() const { Check(); return std::string(data_, static_cast<size_t>(length_)); }

    // append
    void Append(const char* text);
    void Append(const std::string& text) { AppendBytes(text.data(), static_cast<int>(text.size())); }
    void AppendBytes(const void* bytes, int n);
    void AppendChar(char c);
    void AppendRepeated(char c, int n);
    void AppendInt(int64_t n);
    void AppendBuffer(const StringBuffer& other);
    void AppendDataBuffer(const DataBuffer& bytes);
    void Prepend(const char* text);

    // set
    void SetString(const char* text);                // text may point into this buffer
    void SetFromBuffer(const StringBuffer& other);
    void Clear();                                    // length 0, capacity kept

    // capacity
    void Reserve(int n);                             // room for n more bytes
    void ShrinkToFit();
    char* Detach();                                  // caller frees with std::free

    // trim
    void Trim();
    void TrimSpaceTab();
    void TrimPunctuation();

    // cut
    void TruncateAt(char c);
    void DropLast(int n);
    void EraseRange(int position, int count);
    int RemoveChar(char c);
    int RemoveCharFrom(char c, int position);        // every c at or after position

    // replace (counts are returned)
    int ReplaceChar(char a, char b);
    int ReplaceAnyOf(const char* set, char c);       // set of up to 5 characters
    int ReplaceAnyOf20(const char* set, char c);     // set of up to 20 characters
    bool ReplaceFirst(const char* s, const char* t);
    int ReplaceAll(const char* s, const char* t);

    // case (byte-wise)
    void ToLower();
    void ToUpper();
    void TitleCase();

    // compare (null text counts as empty; "NoCase" folds ASCII letters only)
    bool Equals(const char* text) const;
    bool EqualsNoCase(const char* text) const;
    bool EqualsBufferNoCase(const StringBuffer& other) const;
    int Compare(const char* text) const;             // unsigned byte order: -1, 0 or 1
    bool BeginsWith(const char* text) const;
    bool EndsWith(const char* text) const;

    // search (an empty or null text is never contained)
    bool Contains(const char* text) const;
    bool ContainsNoCase(const char* text) const;
    bool HasChar(char c) const;
    int CountChar(char c) const;
    char CharAt(int i) const;
    char LastChar() const;
    bool IsAscii7() const;

    // split: pieces are appended to list.
    // What keeps a separator from splitting: nothing, being inside double
    // quotes, a backslash before it, or either.
    enum class SplitGuard { None, Quotes, Backslash, QuotesAndBackslash };
    // Split keeps empty pieces; quotes and backslashes stay in the pieces.
    void Split(std::vector<StringBuffer>& list, char separator, SplitGuard guard) const;
    // Never yields empty pieces; at most max pieces (max <= 0: no limit).
    void SplitByString(const char* separator, std::vector<StringBuffer>& list, int max) const;
    void SplitNameValue(StringBuffer& name, StringBuffer& value) const;

    // whitespace and line ends
    void CollapseWhitespace();
    void NormaliseCrLf();
    void CrLfToLf();

    void EncodeBasicEntities();
    // Leading decimal number after optional white space and sign; 0 when
    // none; clamped to the int range.
    int ParseInt() const;

    // hex: two upper-case digits per byte, a space after every second byte
    // and an LF after every sixteenth.
    void AppendHexDump(const void* bytes, int n);
    // Appends the bytes of the hex text (either case; white space between
    // digits ignored). False, with out unchanged, on any other character or
    // an odd number of digits.
    bool HexDecodeTo(DataBuffer& out) const;
    bool DecodeHexInto(DataBuffer& out) const { return HexDecodeTo(out); }

    // English word forms; endings are compared case-sensitively, as the
    // word lists they serve are lower case.
    void Pluralize();
    void Singularize();

    // encoding (through the charset layer). False when some characters did
    // not convert; when nothing converted at all the text is left as it was.
    bool ConvertAnsiTo(int codePage);
    bool ConvertToAnsiFrom(int codePage);
    std::u16string ToSystemString() const;

    // platform error texts
    void AppendSystemError(int code);
    void AppendLastError();

    // The whole file, or null (with a log line) when it cannot be read.
    static std::unique_ptr<StringBuffer> LoadFromFile(const char* path, LogBase& log);

    bool operator==(const StringBuffer& other) const;

private:
    static constexpr uint8_t kAlive = 0xAA;

    // How a growing operation sizes the new block (see EnsureRoom).
    enum class Growth {
        Bytes,     // length + n + growBy, then growBy is raised
        Text,      // one more byte than Bytes, then growBy is raised
        Prepend,   // as Text, but growBy stays
    };

    void Check() const { if (marker_ != kAlive) FatalBadObject("StringBuffer"); }
    // An empty buffer gets its block on its first write: many are made, for
    // a part that turns out empty or a result that is never filled.
    void InitEmpty(int capacity, int growBy);
    static char* SharedEmpty();
    bool Allocated() const { return data_ != SharedEmpty(); }
    // Writes the terminator after the text; the shared empty text has one.
    void Terminate() { if (Allocated()) data_[length_] = '\0'; }
    bool PointsInto(const void* p) const;

    // Makes room for n more bytes plus the terminator.
    void EnsureRoom(int n, Growth growth);
    // Capacity for a text of newLength bytes grown from the current length,
    // raising growBy as growth says. The current block is not touched.
    int GrownCapacity(int64_t newLength, Growth growth);
    // A fresh block able to hold newLength bytes and the terminator (the
    // current capacity when that suffices). Install it with InstallBlock.
    char* NewBlockFor(int64_t newLength, int& capacity);
    void InstallBlock(char* block, int capacity, int length);

    void SetBytes(const char* bytes, int n);
    void Splice(int position, int removeCount, const char* bytes, int n, Growth growth);
    void TrimWhere(const bool (&strip)[256]);
    int ReplaceFromSet(const char* set, int maxSetSize, char c);
    bool ConvertBetween(int fromCodePage, int toCodePage);

    uint8_t marker_ = kAlive;
    char* data_ = nullptr;       // never null; data_[length_] is always 0; SharedEmpty() until the first write
    int capacity_ = 0;           // bytes of data_'s block, or of the block the first write allocates
    int length_ = 0;             // bytes of text, without the terminator
    int growBy_ = kDefaultGrowBy;
};

} // namespace plentor

#include "text/StringBuffer.h"

#include "base/LogBase.h"
#include "base/LogNull.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/SystemError.h"
#include "text/AsciiRun.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"
#include "text/HexDigits.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace plentor {

namespace {

constexpr int kNullTextCapacity = 4;       // capacity of a buffer built from a null or empty source
constexpr int kFileSlack = 200;            // room left after a loaded file for the usual appends
constexpr int64_t kMaxLength = INT_MAX - 1; // lengths are ints and the terminator needs a byte
constexpr int kMaxHexDumpLineBytes = 16;   // an LF after this many bytes of a hex dump
constexpr uint8_t kDeadFill = 0xDD;

// 256-entry membership table for byte scanners.
struct ByteSet {
    bool has[256] = {};
    constexpr explicit ByteSet(std::string_view chars)
    {
        for (char c : chars)
            has[static_cast<unsigned char>(c)] = true;
    }
};

constexpr ByteSet kWhitespace(" \t\r\n");
constexpr ByteSet kSpaceTab(" \t");
constexpr ByteSet kPunctuation("\"'*-/@");
constexpr ByteSet kTitleBreaks(" \t\n-");

[[noreturn]] void FatalTooLarge()
{
    std::fprintf(stderr, "plentor: fatal: StringBuffer text exceeds %lld bytes or memory is exhausted\n",
                 static_cast<long long>(kMaxLength));
    std::fflush(stderr);
    std::abort();
}

// Allocation failure is fatal rather than handled: a null block would only
// crash later at a less obvious place.
char* Allocate(int64_t capacity)
{
    if (capacity <= 0 || capacity > kMaxLength + 1)
        FatalTooLarge();
    void* p = std::malloc(static_cast<size_t>(capacity));
    if (!p)
        FatalTooLarge();
    return static_cast<char*>(p);
}

int CheckedLength(size_t n)
{
    if (n > static_cast<size_t>(kMaxLength))
        FatalTooLarge();
    return static_cast<int>(n);
}

int TextLength(const char* text) { return text ? CheckedLength(std::strlen(text)) : 0; }

// Writes through volatile so the stores survive as the object's last act.
void FillDead(void* field, size_t n)
{
    auto* p = static_cast<volatile uint8_t*>(field);
    for (size_t i = 0; i < n; ++i)
        p[i] = kDeadFill;
}

unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c; }

unsigned char LowerByte(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDF))
        return static_cast<unsigned char>(c + 0x20);
    return c;
}

unsigned char UpperByte(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || c >= 0xE0)
        return static_cast<unsigned char>(c - 0x20);
    return c;
}

bool EqualNoCase(const char* a, const char* b, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (FoldAscii(static_cast<unsigned char>(a[i])) != FoldAscii(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// ASCII case-insensitive search; npos when absent.
size_t FindNoCase(std::string_view text, std::string_view what)
{
    if (what.size() > text.size())
        return std::string_view::npos;
    const unsigned char first = FoldAscii(static_cast<unsigned char>(what[0]));
    const size_t last = text.size() - what.size();
    for (size_t i = 0; i <= last; ++i) {
        if (FoldAscii(static_cast<unsigned char>(text[i])) == first
            && EqualNoCase(text.data() + i + 1, what.data() + 1, what.size() - 1))
            return i;
    }
    return std::string_view::npos;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EndsWithText(std::string_view word, std::string_view ending)
{
    return word.size() >= ending.size() && word.substr(word.size() - ending.size()) == ending;
}

// UTF-16 code units as little-endian bytes, the form code page 1200 expects.
std::string Utf16LeBytes(const char16_t* text)
{
    std::string bytes;
    if (!text)
        return bytes;
    size_t n = 0;
    while (text[n])
        ++n;
    bytes.resize(n * 2);
    for (size_t i = 0; i < n; ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return bytes;
}

// "file:///c|/dir/f.txt" names the local file "c:/dir/f.txt".
std::string LocalPathOf(const char* path)
{
    static constexpr std::string_view kFileScheme = "file:///";
    std::string_view p(path);
    if (p.size() < kFileScheme.size() || !EqualNoCase(p.data(), kFileScheme.data(), kFileScheme.size()))
        return std::string(p);
    std::string local(p.substr(kFileScheme.size()));
    std::replace(local.begin(), local.end(), '|', ':');
    return local;
}

} // namespace

// ---- construction -------------------------------------------------------

char* StringBuffer::SharedEmpty()
{
    // Never written: every write allocates a block of its own first.
    static const char empty[1] = "";
    return const_cast<char*>(empty);
}

StringBuffer::StringBuffer() { InitEmpty(kDefaultGrowBy, kDefaultGrowBy); }

StringBuffer::StringBuffer(int growBy)
{
    int g = growBy > 0 ? growBy : kDefaultGrowBy;
    InitEmpty(g, g);
}

StringBuffer::StringBuffer(const char* text) : StringBuffer(text, TextLength(text)) {}

StringBuffer::StringBuffer(const void* bytes, int n)
{
    if (!bytes || n <= 0) {
        InitEmpty(kNullTextCapacity, kDefaultGrowBy);
        return;
    }
    InitEmpty(n + 1, kDefaultGrowBy);
    data_ = Allocate(n + 1);
    std::memcpy(data_, bytes, static_cast<size_t>(n));
    length_ = n;
    data_[n] = '\0';
}

StringBuffer::StringBuffer(const StringBuffer& other) : StringBuffer(other.GetString(), other.GetLength())
{
    growBy_ = other.growBy_;
}

StringBuffer::StringBuffer(StringBuffer&& other) noexcept
{
    other.Check();
    data_ = other.data_;
    capacity_ = other.capacity_;
    length_ = other.length_;
    growBy_ = other.growBy_;
    other.InitEmpty(kNullTextCapacity, kDefaultGrowBy);
}

StringBuffer& StringBuffer::operator=(const StringBuffer& other)
{
    SetFromBuffer(other);
    return *this;
}

StringBuffer& StringBuffer::operator=(StringBuffer&& other) noexcept
{
    Check();
    other.Check();
    if (this == &other)
        return *this;
    if (Allocated())
        std::free(data_);
    data_ = other.data_;
    capacity_ = other.capacity_;
    length_ = other.length_;
    growBy_ = other.growBy_;
    other.InitEmpty(kNullTextCapacity, kDefaultGrowBy);
    return *this;
}

StringBuffer::~StringBuffer()
{
    Check();   // a second destruction stops here instead of freeing twice
    if (Allocated())
        std::free(data_);
    *reinterpret_cast<volatile uint8_t*>(&marker_) = 0;
    FillDead(&data_, sizeof data_);
    FillDead(&capacity_, sizeof capacity_);
    FillDead(&length_, sizeof length_);
    FillDead(&growBy_, sizeof growBy_);
}

StringBuffer StringBuffer::FromSystemString(const char16_t* text)
{
    std::string bytes = Utf16LeBytes(text);
    StringBuffer sb(bytes.data(), CheckedLength(bytes.size()));
    sb.ConvertBetween(EncodingConvert::kUtf16Le, platform::ActiveAnsiCodePage());
    return sb;
}

// ---- memory -------------------------------------------------------------

void StringBuffer::InitEmpty(int capacity, int growBy)
{
    data_ = SharedEmpty();
    capacity_ = capacity;
    length_ = 0;
    growBy_ = growBy;
    marker_ = kAlive;
}

bool StringBuffer::PointsInto(const void* p) const
{
    if (!Allocated())
        return false;
    auto a = reinterpret_cast<uintptr_t>(p);
    auto start = reinterpret_cast<uintptr_t>(data_);
    return a >= start && a < start + static_cast<uintptr_t>(capacity_);
}

int StringBuffer::GrownCapacity(int64_t newLength, Growth growth)
{
    int64_t capacity = newLength + growBy_ + (growth == Growth::Bytes ? 0 : 1);
    if (newLength > kMaxLength)
        FatalTooLarge();
    capacity = std::min(capacity, kMaxLength + 1);
    if (growth != Growth::Prepend && growBy_ < capacity && growBy_ < kMaxGrowBy)
        growBy_ = static_cast<int>(std::min<int64_t>(capacity / 2, kMaxGrowBy));
    return static_cast<int>(capacity);
}

void StringBuffer::EnsureRoom(int n, Growth growth)
{
    int64_t newLength = static_cast<int64_t>(length_) + n;
    const bool fits = newLength + 1 <= capacity_;
    if (fits && Allocated())
        return;
    int capacity = fits ? capacity_ : GrownCapacity(newLength, growth);
    // realloc keeps the bytes; for large blocks it can move pages instead of copying.
    void* p = std::realloc(Allocated() ? data_ : nullptr, static_cast<size_t>(capacity));
    if (!p)
        FatalTooLarge();
    data_ = static_cast<char*>(p);
    capacity_ = capacity;
    data_[length_] = '\0';
}

char* StringBuffer::NewBlockFor(int64_t newLength, int& capacity)
{
    capacity = newLength + 1 <= capacity_ ? capacity_ : GrownCapacity(newLength, Growth::Text);
    return Allocate(capacity);
}

void StringBuffer::InstallBlock(char* block, int capacity, int length)
{
    block[length] = '\0';
    if (Allocated())
        std::free(data_);
    data_ = block;
    capacity_ = capacity;
    length_ = length;
}

// ---- append -------------------------------------------------------------

void StringBuffer::Append(const char* text)
{
    Check();
    if (!text)
        return;
    int n = TextLength(text);
    if (n == 0)
        return;
    // The text may lie inside this buffer, which growing can move.
    size_t offset = PointsInto(text) ? static_cast<size_t>(text - data_) : SIZE_MAX;
    EnsureRoom(n, Growth::Text);
    const char* src = offset == SIZE_MAX ? text : data_ + offset;
    std::memmove(data_ + length_, src, static_cast<size_t>(n));
    length_ += n;
    Terminate();
}

void StringBuffer::AppendBytes(const void* bytes, int n)
{
    Check();
    if (!bytes || n <= 0)
        return;
    const char* text = static_cast<const char*>(bytes);
    size_t offset = PointsInto(text) ? static_cast<size_t>(text - data_) : SIZE_MAX;
    EnsureRoom(n, Growth::Bytes);
    const char* src = offset == SIZE_MAX ? text : data_ + offset;
    std::memmove(data_ + length_, src, static_cast<size_t>(n));
    length_ += n;
    Terminate();
}

void StringBuffer::AppendChar(char c) { AppendRepeated(c, 1); }

void StringBuffer::AppendRepeated(char c, int n)
{
    Check();
    if (n <= 0)
        return;
    EnsureRoom(n, Growth::Bytes);
    std::memset(data_ + length_, c, static_cast<size_t>(n));
    length_ += n;
    Terminate();
}

void StringBuffer::AppendInt(int64_t n)
{
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, n);
    AppendBytes(digits, static_cast<int>(result.ptr - digits));
}

void StringBuffer::AppendBuffer(const StringBuffer& other)
{
    other.Check();
    AppendBytes(other.data_, other.length_);
}

void StringBuffer::AppendDataBuffer(const DataBuffer& bytes)
{
    AppendBytes(bytes.Data(), CheckedLength(bytes.Size()));
}

void StringBuffer::Prepend(const char* text)
{
    Check();
    int n = TextLength(text);
    if (n == 0)
        return;
    Splice(0, 0, text, n, Growth::Prepend);
}

// Replaces removeCount bytes at position by n bytes. The bytes may lie inside
// this buffer.
void StringBuffer::Splice(int position, int removeCount, const char* bytes, int n, Growth growth)
{
    std::string copy;
    if (PointsInto(bytes)) {
        copy.assign(bytes, static_cast<size_t>(n));
        bytes = copy.data();
    }
    if (n > removeCount)
        EnsureRoom(n - removeCount, growth);
    char* at = data_ + position;
    std::memmove(at + n, at + removeCount, static_cast<size_t>(length_ - position - removeCount));
    std::memcpy(at, bytes, static_cast<size_t>(n));
    length_ += n - removeCount;
    Terminate();
}

// ---- set ----------------------------------------------------------------

void StringBuffer::SetBytes(const char* bytes, int n)
{
    if (PointsInto(bytes)) {
        std::memmove(data_, bytes, static_cast<size_t>(n));
    } else if (n > 0) {
        if (n + 1 > capacity_ || !Allocated()) {
            length_ = 0;
            int capacity = 0;
            char* block = NewBlockFor(n, capacity);
            InstallBlock(block, capacity, 0);
        }
        std::memcpy(data_, bytes, static_cast<size_t>(n));
    }
    length_ = n;
    Terminate();
}

void StringBuffer::SetString(const char* text)
{
    Check();
    SetBytes(text, TextLength(text));
}

void StringBuffer::SetFromBuffer(const StringBuffer& other)
{
    Check();
    other.Check();
    if (this != &other)
        SetBytes(other.data_, other.length_);
}

void StringBuffer::Clear()
{
    Check();
    length_ = 0;
    Terminate();
}

// ---- capacity -----------------------------------------------------------

void StringBuffer::Reserve(int n)
{
    Check();
    if (n > 0)
        EnsureRoom(n, Growth::Bytes);
}

void StringBuffer::ShrinkToFit()
{
    Check();
    constexpr int kMaxSpare = 4;   // not worth a new block for fewer spare bytes
    if (capacity_ - (length_ + 1) <= kMaxSpare)
        return;
    if (!Allocated()) {
        capacity_ = length_ + 1;
        return;
    }
    void* p = std::realloc(data_, static_cast<size_t>(length_) + 1);
    if (!p)
        return;   // the old block is still valid
    data_ = static_cast<char*>(p);
    capacity_ = length_ + 1;
}

char* StringBuffer::Detach()
{
    Check();
    char* block = Allocated() ? data_ : Allocate(1);
    block[length_] = '\0';
    InitEmpty(growBy_, growBy_);
    return block;
}

// ---- trim ---------------------------------------------------------------

void StringBuffer::TrimWhere(const bool (&strip)[256])
{
    Check();
    int start = 0;
    int end = length_;
    while (start < end && strip[static_cast<unsigned char>(data_[start])])
        ++start;
    while (end > start && strip[static_cast<unsigned char>(data_[end - 1])])
        --end;
    if (start > 0)
        std::memmove(data_, data_ + start, static_cast<size_t>(end - start));
    length_ = end - start;
    Terminate();
}

void StringBuffer::Trim() { TrimWhere(kWhitespace.has); }
void StringBuffer::TrimSpaceTab() { TrimWhere(kSpaceTab.has); }
void StringBuffer::TrimPunctuation() { TrimWhere(kPunctuation.has); }

// ---- cut ----------------------------------------------------------------

void StringBuffer::TruncateAt(char c)
{
    Check();
    const void* p = std::memchr(data_, c, static_cast<size_t>(length_));
    if (!p)
        return;
    length_ = static_cast<int>(static_cast<const char*>(p) - data_);
    Terminate();
}

void StringBuffer::DropLast(int n)
{
    Check();
    if (n <= 0)
        return;
    length_ = n >= length_ ? 0 : length_ - n;
    Terminate();
}

void StringBuffer::EraseRange(int position, int count)
{
    Check();
    if (position < 0 || position >= length_ || count <= 0)
        return;
    count = std::min(count, length_ - position);
    Splice(position, count, data_, 0, Growth::Bytes);
}

int StringBuffer::RemoveChar(char c) { return RemoveCharFrom(c, 0); }

int StringBuffer::RemoveCharFrom(char c, int position)
{
    Check();
    int w = std::max(position, 0);
    int removed = 0;
    for (int r = w; r < length_; ++r) {
        if (data_[r] == c)
            ++removed;
        else
            data_[w++] = data_[r];
    }
    length_ -= removed;
    Terminate();
    return removed;
}

// ---- replace ------------------------------------------------------------

int StringBuffer::ReplaceChar(char a, char b)
{
    Check();
    int count = 0;
    for (int i = 0; i < length_; ++i) {
        if (data_[i] == a) {
            data_[i] = b;
            ++count;
        }
    }
    return count;
}

int StringBuffer::ReplaceFromSet(const char* set, int maxSetSize, char c)
{
    Check();
    if (!set)
        return 0;
    size_t n = 0;
    while (n < static_cast<size_t>(maxSetSize) && set[n])
        ++n;
    const ByteSet chars(std::string_view(set, n));
    int count = 0;
    for (int i = 0; i < length_; ++i) {
        if (chars.has[static_cast<unsigned char>(data_[i])]) {
            data_[i] = c;
            ++count;
        }
    }
    return count;
}

int StringBuffer::ReplaceAnyOf(const char* set, char c)
{
    constexpr int kSetSize = 5;
    return ReplaceFromSet(set, kSetSize, c);
}

int StringBuffer::ReplaceAnyOf20(const char* set, char c)
{
    constexpr int kSetSize = 20;
    return ReplaceFromSet(set, kSetSize, c);
}

bool StringBuffer::ReplaceFirst(const char* s, const char* t)
{
    Check();
    if (!s || !*s)
        return false;
    std::string_view text(data_, static_cast<size_t>(length_));
    size_t at = text.find(s);
    if (at == std::string_view::npos)
        return false;
    Splice(static_cast<int>(at), TextLength(s), t ? t : "", TextLength(t), Growth::Text);
    return true;
}

int StringBuffer::ReplaceAll(const char* s, const char* t)
{
    Check();
    if (!s || !*s)
        return 0;
    // Either text may lie inside this buffer, which is rewritten below.
    const std::string from(s);
    const std::string to(t ? t : "");
    const std::string_view text(data_, static_cast<size_t>(length_));

    int count = 0;
    for (size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, at + from.size()))
        ++count;
    if (count == 0)
        return 0;

    const int64_t newLength = length_ + static_cast<int64_t>(count) * (static_cast<int64_t>(to.size()) - static_cast<int64_t>(from.size()));
    // A result no longer than the text can be written over it from the front.
    int capacity = capacity_;
    char* out = newLength <= length_ ? data_ : NewBlockFor(newLength, capacity);
    char* w = out;
    size_t r = 0;
    for (size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, r)) {
        std::memmove(w, text.data() + r, at - r);
        w += at - r;
        std::memcpy(w, to.data(), to.size());
        w += to.size();
        r = at + from.size();
    }
    std::memmove(w, text.data() + r, text.size() - r);
    if (out == data_) {
        length_ = static_cast<int>(newLength);
        Terminate();
    } else {
        InstallBlock(out, capacity, static_cast<int>(newLength));
    }
    return count;
}

// ---- case ---------------------------------------------------------------

void StringBuffer::ToLower()
{
    Check();
    for (int i = 0; i < length_; ++i)
        data_[i] = static_cast<char>(LowerByte(static_cast<unsigned char>(data_[i])));
}

void StringBuffer::ToUpper()
{
    Check();
    for (int i = 0; i < length_; ++i)
        data_[i] = static_cast<char>(UpperByte(static_cast<unsigned char>(data_[i])));
}

void StringBuffer::TitleCase()
{
    Check();
    for (int i = 0; i < length_; ++i) {
        if (i == 0 || kTitleBreaks.has[static_cast<unsigned char>(data_[i - 1])])
            data_[i] = static_cast<char>(UpperByte(static_cast<unsigned char>(data_[i])));
    }
}

// ---- compare ------------------------------------------------------------

bool StringBuffer::Equals(const char* text) const
{
    Check();
    return TextLength(text) == length_ && (length_ == 0 || std::memcmp(data_, text, static_cast<size_t>(length_)) == 0);
}

bool StringBuffer::EqualsNoCase(const char* text) const
{
    Check();
    return TextLength(text) == length_ && EqualNoCase(data_, text ? text : "", static_cast<size_t>(length_));
}

bool StringBuffer::EqualsBufferNoCase(const StringBuffer& other) const
{
    Check();
    other.Check();
    return other.length_ == length_ && EqualNoCase(data_, other.data_, static_cast<size_t>(length_));
}

int StringBuffer::Compare(const char* text) const
{
    Check();
    const size_t n = static_cast<size_t>(TextLength(text));
    const size_t len = static_cast<size_t>(length_);
    int c = std::memcmp(data_, text ? text : "", std::min(n, len));   // memcmp compares as unsigned bytes
    if (c == 0)
        return len < n ? -1 : (len > n ? 1 : 0);
    return c < 0 ? -1 : 1;
}

bool StringBuffer::BeginsWith(const char* text) const
{
    Check();
    return std::string_view(data_, static_cast<size_t>(length_)).starts_with(text ? text : "");
}

bool StringBuffer::EndsWith(const char* text) const
{
    Check();
    return EndsWithText(std::string_view(data_, static_cast<size_t>(length_)), text ? text : "");
}

bool StringBuffer::operator==(const StringBuffer& other) const
{
    Check();
    other.Check();
    return length_ == other.length_ && std::memcmp(data_, other.data_, static_cast<size_t>(length_)) == 0;
}

// ---- search -------------------------------------------------------------

bool StringBuffer::Contains(const char* text) const
{
    Check();
    if (!text || !*text)
        return false;
    return std::string_view(data_, static_cast<size_t>(length_)).find(text) != std::string_view::npos;
}

bool StringBuffer::ContainsNoCase(const char* text) const
{
    Check();
    if (!text || !*text)
        return false;
    return FindNoCase(std::string_view(data_, static_cast<size_t>(length_)), text) != std::string_view::npos;
}

bool StringBuffer::HasChar(char c) const
{
    Check();
    return std::memchr(data_, c, static_cast<size_t>(length_)) != nullptr;
}

int StringBuffer::CountChar(char c) const
{
    Check();
    return static_cast<int>(std::count(data_, data_ + length_, c));
}

char StringBuffer::CharAt(int i) const
{
    Check();
    return (i >= 0 && i < length_) ? data_[i] : '\0';
}

char StringBuffer::LastChar() const
{
    Check();
    return length_ > 0 ? data_[length_ - 1] : '\0';
}

bool StringBuffer::IsAscii7() const
{
    Check();
    auto length = static_cast<size_t>(length_);
    return AsciiRun::Length(reinterpret_cast<const uint8_t*>(data_), length) == length;
}

// ---- split --------------------------------------------------------------

void StringBuffer::Split(std::vector<StringBuffer>& list, char separator, SplitGuard guard) const
{
    Check();
    const bool honourQuotes = guard == SplitGuard::Quotes || guard == SplitGuard::QuotesAndBackslash;
    const bool honourBackslash = guard == SplitGuard::Backslash || guard == SplitGuard::QuotesAndBackslash;
    if (length_ == 0)
        return;
    // Pieces keep their quotes and backslashes, so each is a slice of the text.
    bool quoted = false;
    int start = 0;
    for (int i = 0; i < length_; ++i) {
        char c = data_[i];
        if (honourBackslash && c == '\\') {
            ++i;
        } else if (honourQuotes && c == '"') {
            quoted = !quoted;
        } else if (c == separator && !quoted) {
            list.emplace_back(data_ + start, i - start);
            start = i + 1;
        }
    }
    list.emplace_back(data_ + start, length_ - start);
}

void StringBuffer::SplitByString(const char* separator, std::vector<StringBuffer>& list, int max) const
{
    Check();
    const std::string_view text(data_, static_cast<size_t>(length_));
    if (!separator || !*separator) {
        if (!text.empty())
            list.emplace_back(data_, length_);
        return;
    }
    const std::string_view sep(separator);
    size_t pos = 0;
    for (int steps = 0; pos < text.size() && (max <= 0 || steps < max); ++steps) {
        while (text.substr(pos).starts_with(sep))
            pos += sep.size();
        size_t end = std::min(text.find(sep, pos), text.size());
        if (end > pos)
            list.emplace_back(data_ + pos, static_cast<int>(end - pos));
        pos = end;
    }
}

void StringBuffer::SplitNameValue(StringBuffer& name, StringBuffer& value) const
{
    Check();
    std::string_view text(data_, static_cast<size_t>(length_));
    size_t eq = text.find('=');
    StringBuffer n(text.data(), static_cast<int>(std::min(eq, text.size())));
    n.Trim();
    StringBuffer v;
    if (eq != std::string_view::npos) {
        std::string_view rest = text.substr(eq + 1);
        while (!rest.empty() && kWhitespace.has[static_cast<unsigned char>(rest.front())])
            rest.remove_prefix(1);
        if (!rest.empty() && rest.front() == '"')
            rest.remove_prefix(1);
        v.AppendBytes(rest.data(), static_cast<int>(rest.size()));
        v.Trim();
        if (v.LastChar() == '"')
            v.DropLast(1);
    }
    // name or value may be this buffer: assign only after reading it.
    name = std::move(n);
    value = std::move(v);
}

// ---- whitespace and line ends -------------------------------------------

void StringBuffer::CollapseWhitespace()
{
    Check();
    int w = 0;
    bool lastWasSpace = false;
    for (int r = 0; r < length_; ++r) {
        char c = data_[r];
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
        if (c == ' ' && lastWasSpace)
            continue;
        lastWasSpace = c == ' ';
        data_[w++] = c;
    }
    length_ = w;
    Terminate();
}

void StringBuffer::NormaliseCrLf()
{
    Check();
    RemoveChar('\r');
    int lines = CountChar('\n');
    if (lines == 0)
        return;
    int capacity = 0;
    char* out = NewBlockFor(static_cast<int64_t>(length_) + lines, capacity);
    char* w = out;
    for (int r = 0; r < length_; ++r) {
        if (data_[r] == '\n')
            *w++ = '\r';
        *w++ = data_[r];
    }
    InstallBlock(out, capacity, static_cast<int>(w - out));
}

void StringBuffer::CrLfToLf()
{
    Check();
    int w = 0;
    for (int r = 0; r < length_; ++r) {
        if (data_[r] == '\r' && r + 1 < length_ && data_[r + 1] == '\n')
            continue;
        data_[w++] = data_[r];
    }
    length_ = w;
    Terminate();
}

// ---- entities and numbers -----------------------------------------------

void StringBuffer::EncodeBasicEntities()
{
    Check();
    // One pass gives the same text as replacing "&" first and then the rest.
    auto entity = [](char c) -> std::string_view {
        switch (c) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        case '"': return "&quot;";
        default: return {};
        }
    };
    int64_t extra = 0;
    for (int i = 0; i < length_; ++i) {
        size_t n = entity(data_[i]).size();
        extra += n ? static_cast<int64_t>(n) - 1 : 0;
    }
    if (extra == 0)
        return;
    int capacity = 0;
    char* out = NewBlockFor(length_ + extra, capacity);
    char* w = out;
    for (int r = 0; r < length_; ++r) {
        std::string_view e = entity(data_[r]);
        if (e.empty()) {
            *w++ = data_[r];
        } else {
            std::memcpy(w, e.data(), e.size());
            w += e.size();
        }
    }
    InstallBlock(out, capacity, static_cast<int>(w - out));
}

int StringBuffer::ParseInt() const
{
    Check();
    int i = 0;
    while (i < length_ && kWhitespace.has[static_cast<unsigned char>(data_[i])])
        ++i;
    bool negative = false;
    if (i < length_ && (data_[i] == '-' || data_[i] == '+'))
        negative = data_[i++] == '-';
    // Accumulate towards the limit and stop there: out-of-range numbers clamp.
    const int64_t limit = negative ? -static_cast<int64_t>(INT_MIN) : INT_MAX;
    int64_t value = 0;
    for (; i < length_ && IsDigit(data_[i]); ++i)
        value = std::min(value * 10 + (data_[i] - '0'), limit);
    return static_cast<int>(negative ? -value : value);
}

// ---- hex ----------------------------------------------------------------

void StringBuffer::AppendHexDump(const void* bytes, int n)
{
    Check();
    if (!bytes || n <= 0)
        return;
    const char* src = static_cast<const char*>(bytes);
    size_t offset = PointsInto(src) ? static_cast<size_t>(src - data_) : SIZE_MAX;
    EnsureRoom(CheckedLength(static_cast<size_t>(n) * 2 + static_cast<size_t>(n) / 2 + static_cast<size_t>(n) / kMaxHexDumpLineBytes), Growth::Bytes);
    const auto* p = reinterpret_cast<const unsigned char*>(offset == SIZE_MAX ? src : data_ + offset);
    char* w = data_ + length_;
    for (int i = 1; i <= n; ++i) {
        unsigned char b = p[i - 1];
        *w++ = HexDigits::kUpper[b >> 4];
        *w++ = HexDigits::kUpper[b & 0x0F];
        if (i % 2 == 0)
            *w++ = ' ';
        if (i % kMaxHexDumpLineBytes == 0)
            *w++ = '\n';
    }
    length_ = static_cast<int>(w - data_);
    Terminate();
}

bool StringBuffer::HexDecodeTo(DataBuffer& out) const
{
    Check();
    std::string bytes;
    bytes.reserve(static_cast<size_t>(length_) / 2);
    int high = -1;
    for (int i = 0; i < length_; ++i) {
        unsigned char c = static_cast<unsigned char>(data_[i]);
        if (kWhitespace.has[c])
            continue;
        int v = HexDigits::Value(c);
        if (v < 0)
            return false;
        if (high < 0) {
            high = v;
        } else {
            bytes.push_back(static_cast<char>(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0)
        return false;
    out.AppendBytes(bytes.data(), static_cast<unsigned>(bytes.size()));
    return true;
}

// ---- English word forms --------------------------------------------------

void StringBuffer::Pluralize()
{
    Check();
    const std::string_view word(data_, static_cast<size_t>(length_));
    if (word.empty())
        return;
    if (EndsWithText(word, "fe")) {
        DropLast(2);
        Append("ves");
    } else if (EndsWithText(word, "f")) {
        DropLast(1);
        Append("ves");
    } else if (EndsWithText(word, "ch") || EndsWithText(word, "sh") || EndsWithText(word, "x") || EndsWithText(word, "z")) {
        Append("es");
    } else if (EndsWithText(word, "s")) {
        return;
    } else if (word.size() >= 2 && word.back() == 'y' && std::string_view("aeiou").find(word[word.size() - 2]) == std::string_view::npos) {
        DropLast(1);
        Append("ies");
    } else {
        Append("s");
    }
}

void StringBuffer::Singularize()
{
    Check();
    const std::string_view w(data_, static_cast<size_t>(length_));
    if (w.size() < 2 || w.back() != 's')
        return;
    const char secondLast = w[w.size() - 2];
    if (IsDigit(secondLast) || std::string_view("aiou").find(secondLast) != std::string_view::npos)
        return;
    if (w.size() < 4) {
        DropLast(1);
        return;
    }
    const char beforeEnding = w[w.size() - 4];
    auto endsIn = [&w](std::string_view e) { return EndsWithText(w, e); };
    if (endsIn("ves")) {
        if (beforeEnding == 'e' || beforeEnding == 'i' || beforeEnding == 'o') {
            DropLast(1);
        } else {
            DropLast(3);
            AppendChar('f');
        }
    } else if (endsIn("oss") || endsIn("ess") || endsIn("iss") || endsIn("ass") || endsIn("uss") || endsIn("oes")) {
        return;
    } else if (endsIn("ies")) {
        DropLast(3);
        AppendChar('y');
    } else if (endsIn("hes") || endsIn("xes")) {
        DropLast(2);
    } else if (endsIn("zes")) {
        DropLast(beforeEnding == 'i' ? 1 : 2);
    } else if (!EqualsNoCase("always")) {
        DropLast(1);
    }
}

// ---- encoding -------------------------------------------------------------

bool StringBuffer::ConvertBetween(int fromCodePage, int toCodePage)
{
    Check();
    if (length_ == 0 || fromCodePage == toCodePage)
        return true;
    DataBuffer out;
    LogNull log;
    EncodingConvert conv;
    bool ok = conv.Convert(fromCodePage, toCodePage, data_, static_cast<unsigned>(length_), out, log);
    // A conversion that produced nothing at all (an unknown code page) keeps
    // the text rather than losing it.
    if (!ok && out.Size() == 0)
        return false;
    SetBytes(reinterpret_cast<const char*>(out.Data()), CheckedLength(out.Size()));
    return ok;
}

bool StringBuffer::ConvertAnsiTo(int codePage) { return ConvertBetween(platform::ActiveAnsiCodePage(), codePage); }

bool StringBuffer::ConvertToAnsiFrom(int codePage) { return ConvertBetween(codePage, platform::ActiveAnsiCodePage()); }

std::u16string StringBuffer::ToSystemString() const
{
    Check();
    StringBuffer utf16(*this);
    utf16.ConvertAnsiTo(EncodingConvert::kUtf16Le);
    std::u16string text;
    text.reserve(static_cast<size_t>(utf16.length_) / 2);
    const auto* p = reinterpret_cast<const unsigned char*>(utf16.data_);
    for (int i = 0; i + 1 < utf16.length_; i += 2)
        text.push_back(static_cast<char16_t>(p[i] | (p[i + 1] << 8)));
    return text;
}

// ---- platform error texts -------------------------------------------------

void StringBuffer::AppendSystemError(int code)
{
    Check();
    std::string text = platform::SystemErrorText(code);
    std::string_view t(text);
    while (!t.empty() && kWhitespace.has[static_cast<unsigned char>(t.front())])
        t.remove_prefix(1);
    while (!t.empty() && kWhitespace.has[static_cast<unsigned char>(t.back())])
        t.remove_suffix(1);
    AppendBytes(t.data(), static_cast<int>(t.size()));
}

void StringBuffer::AppendLastError()
{
    int code = platform::LastErrorCode();   // read before anything can change it
    AppendSystemError(code);
}

// ---- files ------------------------------------------------------------------

std::unique_ptr<StringBuffer> StringBuffer::LoadFromFile(const char* path, LogBase& log)
{
    if (!path || !*path) {
        log.LogError("No file path given");
        return nullptr;
    }
    const std::string local = LocalPathOf(path);
    std::vector<uint8_t> bytes;
    platform::FileError err;
    // The limit keeps the length and the slack within an int, and stops an
    // endless device from exhausting memory.
    if (!platform::ReadWholeFileUpTo(local.c_str(), static_cast<size_t>(kMaxLength - kFileSlack), bytes, err)) {
        log.LogError("Failed to open file");
        log.LogData("path", local.c_str());
        log.LogData("error", err.message.c_str());
        log.LogDataLong("errorCode", err.code);
        return nullptr;
    }
    auto sb = std::make_unique<StringBuffer>();
    const int n = static_cast<int>(bytes.size());
    int capacity = n + kFileSlack;
    char* block = Allocate(capacity);
    if (n > 0)
        std::memcpy(block, bytes.data(), static_cast<size_t>(n));
    sb->InstallBlock(block, capacity, n);
    return sb;
}

} // namespace plentor

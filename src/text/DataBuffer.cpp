#include "text/DataBuffer.h"

#include "base/LogBase.h"
#include "platform/Files.h"
#include "text/AsciiRun.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <vector>

namespace plentor {

namespace {

// Bytes of a padding block.
constexpr unsigned kBlockSize = 16;

// Growth in fixed steps alone costs a copy of the whole buffer every
// kGrowStep bytes, which is quadratic for large bodies; past the first few
// steps the capacity therefore grows by at least half of itself.
constexpr unsigned kGrowthDivisor = 2;

constexpr uint64_t kMaxCapacity = std::numeric_limits<unsigned>::max();

// The capacity a growing append asks for: the step rule, raised to the
// geometric minimum and capped at what the size type can count.
unsigned GrownCapacity(uint64_t needed, uint64_t stepRule, unsigned capacity)
{
    if (needed > kMaxCapacity)
        throw std::bad_alloc();
    uint64_t grown = std::max<uint64_t>(stepRule, capacity + uint64_t{capacity} / kGrowthDivisor);
    return static_cast<unsigned>(std::min(std::max(grown, needed), kMaxCapacity));
}

void FillRandom(uint8_t* p, unsigned n)
{
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> byte(0, 255);
    for (unsigned i = 0; i < n; ++i)
        p[i] = static_cast<uint8_t>(byte(generator));
}

// Replaces the buffer's bytes with a file's, or logs why the file could not be read.
bool FinishLoad(DataBuffer& buffer, bool readOk, const std::vector<uint8_t>& bytes, const char* path,
                const platform::FileError& err, LogBase& log)
{
    if (!readOk) {
        log.LogError("Failed to load file");
        log.LogData("path", path);
        log.LogData("error", err.message.c_str());
        return false;
    }
    if (bytes.size() > kMaxCapacity) {
        log.LogError("File too large to load");
        log.LogData("path", path);
        log.LogDataLong("size", static_cast<int64_t>(bytes.size()));
        return false;
    }
    buffer.Clear();
    buffer.AppendExact(bytes.data(), static_cast<unsigned>(bytes.size()));
    return true;
}

} // namespace

DataBuffer::DataBuffer(const void* bytes, unsigned n)
{
    AppendExact(bytes, n);
}

DataBuffer::DataBuffer(const DataBuffer& other)
{
    AppendExact(other.Data(), other.Size());
}

DataBuffer::DataBuffer(DataBuffer&& other) noexcept
{
    TakeFrom(other);
}

DataBuffer& DataBuffer::operator=(const DataBuffer& other)
{
    Check();
    if (this != &other) {
        Clear();
        AppendExact(other.Data(), other.Size());
    }
    return *this;
}

DataBuffer& DataBuffer::operator=(DataBuffer&& other) noexcept
{
    TakeFrom(other);
    return *this;
}

DataBuffer::~DataBuffer()
{
    Check();
    Release();
    // A volatile store, so the compiler cannot drop it as a write to a dead object.
    *static_cast<volatile uint8_t*>(&marker_) = 0;
}

void DataBuffer::Release()
{
    if (!borrowed_)
        std::free(data_);
    data_ = nullptr;
    borrowed_ = false;
    size_ = 0;
    capacity_ = 0;
}

void DataBuffer::GrowTo(unsigned capacity)
{
    capacity = std::max(capacity, capacity_);
    // Never ask for 0 bytes: malloc may return null for it and realloc frees.
    size_t bytes = std::max(capacity, 1u);
    uint8_t* block = nullptr;
    if (borrowed_ || data_ == nullptr) {
        block = static_cast<uint8_t*>(std::malloc(bytes));
        if (block == nullptr)
            throw std::bad_alloc();
        if (size_ > 0)
            std::memcpy(block, data_, size_);
    } else {
        block = static_cast<uint8_t*>(std::realloc(data_, bytes));
        if (block == nullptr)
            throw std::bad_alloc();
    }
    data_ = block;
    capacity_ = capacity;
    borrowed_ = false;
}

bool DataBuffer::HasRoom(unsigned n) const
{
    // Borrowed memory is never written: the first write copies it.
    return !borrowed_ && capacity_ - size_ >= n;
}

void DataBuffer::MakeOwned()
{
    if (borrowed_)
        GrowTo(size_);
}

void DataBuffer::AppendByte(uint8_t b)
{
    Check();
    if (!HasRoom(1))
        GrowTo(GrownCapacity(uint64_t{size_} + 1, uint64_t{size_} + kGrowStep, capacity_));
    data_[size_++] = b;
}

void DataBuffer::AppendBytes(const void* bytes, unsigned n)
{
    Check();
    if (bytes == nullptr || n == 0)
        return;
    if (!HasRoom(n)) {
        uint64_t needed = uint64_t{size_} + n;
        uint64_t stepRule = n >= kGrowStep ? needed : uint64_t{size_} + kGrowStep;
        GrowToKeeping(bytes, GrownCapacity(needed, stepRule, capacity_));
    }
    AppendUnchecked(bytes, n);
}

void DataBuffer::AppendExact(const void* bytes, unsigned n)
{
    Check();
    if (bytes == nullptr || n == 0)
        return;
    if (!HasRoom(n)) {
        uint64_t needed = uint64_t{size_} + n;
        if (needed > kMaxCapacity)
            throw std::bad_alloc();
        GrowToKeeping(bytes, static_cast<unsigned>(needed));
    }
    AppendUnchecked(bytes, n);
}

void DataBuffer::GrowToKeeping(const void*& bytes, unsigned capacity)
{
    // The bytes may lie inside this buffer (AppendBuffer of itself); the block
    // moves when it grows, so they are found again by their offset.
    const auto* p = static_cast<const uint8_t*>(bytes);
    bool inside = data_ != nullptr && p >= data_ && p < data_ + capacity_;
    size_t offset = inside ? static_cast<size_t>(p - data_) : 0;
    GrowTo(capacity);
    if (inside)
        bytes = data_ + offset;
}

void DataBuffer::AppendUnchecked(const void* bytes, unsigned n)
{
    std::memmove(data_ + size_, bytes, n);
    size_ += n;
}

void DataBuffer::AppendText(const StringBuffer& text)
{
    AppendBytes(text.GetString(), static_cast<unsigned>(text.GetLength()));
}

void DataBuffer::AppendBuffer(const DataBuffer& other)
{
    AppendBytes(other.Data(), other.Size());
}

void DataBuffer::AppendUtf16z(const char16_t* text)
{
    Check();
    if (text != nullptr) {
        size_t units = 0;
        while (text[units] != 0)
            ++units;
        if (units > kMaxCapacity / sizeof(char16_t))
            throw std::bad_alloc();
        AppendBytes(text, static_cast<unsigned>(units * sizeof(char16_t)));
    }
    const char16_t zero = 0;
    AppendBytes(&zero, sizeof zero);
}

void DataBuffer::Clear()
{
    Check();
    size_ = 0;
}

void DataBuffer::Reserve(unsigned n)
{
    Check();
    if (HasRoom(n))
        return;
    uint64_t needed = uint64_t{size_} + n;
    if (needed > kMaxCapacity)
        throw std::bad_alloc();
    // An empty buffer gets exactly what it asks for; one being filled block
    // by block grows geometrically, or every block would copy all before it.
    GrowTo(size_ == 0 ? static_cast<unsigned>(needed) : GrownCapacity(needed, needed, capacity_));
}

bool DataBuffer::SetSize(unsigned n)
{
    Check();
    if (n > capacity_)
        return false;
    size_ = n;
    return true;
}

void DataBuffer::DropLast(unsigned n)
{
    Check();
    size_ = n >= size_ ? 0 : size_ - n;
}

void DataBuffer::RemoveFirst(unsigned n)
{
    Check();
    if (n >= size_) {
        size_ = 0;
        return;
    }
    if (borrowed_) {
        // Borrowed memory is not ours to move: look at its tail instead.
        data_ += n;
        capacity_ -= n;
    } else {
        std::memmove(data_, data_ + n, size_ - n);
    }
    size_ -= n;
}

void DataBuffer::Adopt(void* bytes, unsigned n)
{
    Check();
    if (bytes != data_ || borrowed_)
        Release();
    data_ = static_cast<uint8_t*>(bytes);
    borrowed_ = false;
    size_ = data_ ? n : 0;
    capacity_ = size_;
}

void DataBuffer::Borrow(const void* bytes, unsigned n)
{
    Check();
    Release();
    if (bytes == nullptr)
        return;
    // Never written through: every write path copies borrowed memory first.
    data_ = static_cast<uint8_t*>(const_cast<void*>(bytes));
    borrowed_ = true;
    size_ = n;
    capacity_ = n;
}

void DataBuffer::TakeFrom(DataBuffer& other)
{
    Check();
    other.Check();
    if (&other == this)
        return;
    Release();
    data_ = other.data_;
    borrowed_ = other.borrowed_;
    size_ = other.size_;
    capacity_ = other.capacity_;
    other.data_ = nullptr;
    other.borrowed_ = false;
    other.size_ = 0;
    other.capacity_ = 0;
}

void DataBuffer::Forget()
{
    Check();
    data_ = nullptr;
    borrowed_ = false;
    size_ = 0;
    capacity_ = 0;
}

const uint8_t* DataBuffer::PointerAt(unsigned i) const
{
    Check();
    return i < size_ ? data_ + i : nullptr;
}

bool DataBuffer::IsAscii7() const
{
    Check();
    return AsciiRun::Length(data_, size_) == size_;
}

bool DataBuffer::Equals(const void* bytes, unsigned n) const
{
    Check();
    if (n != size_)
        return false;
    return n == 0 || (bytes != nullptr && std::memcmp(data_, bytes, n) == 0);
}

void DataBuffer::SwapWordBytes()
{
    Check();
    MakeOwned();
    unsigned i = 0;
    for (; i + 4 <= size_; i += 4) {
        std::swap(data_[i], data_[i + 3]);
        std::swap(data_[i + 1], data_[i + 2]);
    }
    unsigned rest = size_ - i;
    if (rest >= 2)
        std::swap(data_[i], data_[i + rest - 1]);
}

void DataBuffer::PadBlock(int scheme)
{
    Check();
    unsigned k = kBlockSize - size_ % kBlockSize;   // a full block when already aligned
    uint8_t pad[kBlockSize];
    switch (scheme) {
    case 0:
        std::memset(pad, static_cast<int>(k), k);
        break;
    case 1:
        FillRandom(pad, k - 1);
        pad[k - 1] = static_cast<uint8_t>(k);
        break;
    case 2:
        k = kBlockSize;
        FillRandom(pad, k);
        break;
    default:
        return;
    }
    AppendBytes(pad, k);
}

void DataBuffer::UnpadBlock(int scheme)
{
    Check();
    if (size_ == 0)
        return;
    unsigned last = data_[size_ - 1];
    switch (scheme) {
    case 0:
        if (last >= 1 && last <= kBlockSize)
            DropLast(last);
        break;
    case 1:
        DropLast(last);
        break;
    case 2:
        DropLast(kBlockSize);   // scheme 2 always adds one whole random block
        break;
    default:
        break;
    }
}

bool DataBuffer::LoadFile(XString& path, LogBase& log)
{
    Check();
    std::vector<uint8_t> bytes;
    platform::FileError err;
    // The narrow form only when it names the file faithfully.
    bool ok = path.IsAnsiExact() ? platform::ReadWholeFile(path.GetAnsi(), bytes, err)
                                 : platform::ReadWholeFile(path.GetUtf16(), bytes, err);
    return FinishLoad(*this, ok, bytes, path.GetUtf8(), err, log);
}

bool DataBuffer::LoadFile(const char* path, LogBase& log)
{
    Check();
    std::vector<uint8_t> bytes;
    platform::FileError err;
    if (path == nullptr) {
        err.message = "No path given";
        return FinishLoad(*this, false, bytes, "", err, log);
    }
    bool ok = platform::ReadWholeFile(path, bytes, err);
    return FinishLoad(*this, ok, bytes, path, err, log);
}

} // namespace plentor

#pragma once

#include "text/ZentrelObject.h"

#include <cstdint>

namespace plentor {

class LogBase;
class StringBuffer;
class XString;

// Growable byte array without terminator, for bodies, binary data and
// conversion output. Memory is allocated with std::malloc; Adopt takes such
// memory, Borrow refers to memory owned elsewhere.
class DataBuffer : public ZentrelObject {
public:
    static constexpr unsigned kGrowStep = 20000;

    DataBuffer() = default;
    DataBuffer(const void* bytes, unsigned n);
    DataBuffer(const DataBuffer& other);
    DataBuffer(DataBuffer&& other) noexcept;
    DataBuffer& operator=(const DataBuffer& other);
    DataBuffer& operator=(DataBuffer&& other) noexcept;
    ~DataBuffer();

    // append
    void AppendByte(uint8_t b);
    void AppendBytes(const void* bytes, unsigned n);
    void AppendExact(const void* bytes, unsigned n);
    void AppendText(const StringBuffer& text);
    void AppendBuffer(const DataBuffer& other);
    void AppendUtf16z(const char16_t* text);         // code units plus one zero unit

    // size
    void Clear();
    void Reserve(unsigned n);                        // room for n more bytes
    bool SetSize(unsigned n);                        // at most the capacity
    void DropLast(unsigned n);
    void RemoveFirst(unsigned n);

    // ownership
    void Adopt(void* bytes, unsigned n);             // takes a std::malloc'd block
    void Borrow(const void* bytes, unsigned n);
    void TakeFrom(DataBuffer& other);
    void Forget();

    // access
    const uint8_t* Data() const { Check(); return data_; }
    uint8_t* Data() { Check(); return data_; }
    unsigned Size() const { Check(); return size_; }
    unsigned Capacity() const { Check(); return capacity_; }
    bool IsEmpty() const { Check(); return size_ == 0; }
    bool IsBorrowed() const { Check(); return borrowed_; }
    const uint8_t* PointerAt(unsigned i) const;
    bool IsAscii7() const;
    bool Equals(const void* bytes, unsigned n) const;

    // transforms
    void SwapWordBytes();
    void PadBlock(int scheme);
    void UnpadBlock(int scheme);

    // files
    bool LoadFile(XString& path, LogBase& log);
    bool LoadFile(const char* path, LogBase& log);

private:
    static constexpr uint8_t kAlive = 0xDB;

    void Check() const { if (marker_ != kAlive) FatalBadObject("DataBuffer"); }
    void GrowTo(unsigned capacity);
    void Release();

    uint8_t marker_ = kAlive;
    bool borrowed_ = false;
    uint8_t* data_ = nullptr;
    unsigned size_ = 0;
    unsigned capacity_ = 0;
};

} // namespace plentor

#pragma once

#include "text/ZentrelObject.h"

#include <cstdint>

namespace plentor {

class LogBase;
class StringBuffer;
class XString;

// Growable byte array without terminator, for bodies, binary data and
// conversion output. Memory is allocated with std::malloc; Adopt takes such
// memory, Borrow refers to memory owned elsewhere, which the buffer's own
// operations never write: the first one that would copies it into an owned block.
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
    void AppendExact(const void* bytes, unsigned n); // grows to exactly the needed size
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
    // 16-byte block padding. Scheme 0: k bytes of value k; 1: k - 1 random
    // bytes and k; 2: a block of 16 random bytes. Other schemes do nothing.
    void PadBlock(int scheme);
    void UnpadBlock(int scheme);

    // files: the buffer becomes the file's bytes; false, with a log line and
    // the buffer unchanged, when the file cannot be read.
    bool LoadFile(XString& path, LogBase& log);
    bool LoadFile(const char* path, LogBase& log);

private:
    static constexpr uint8_t kAlive = 0xDB;

    void Check() const { if (marker_ != kAlive) FatalBadObject("DataBuffer"); }
    void GrowTo(unsigned capacity);                  // never shrinks; the new block is owned
    void GrowToKeeping(const void*& bytes, unsigned capacity);
    bool HasRoom(unsigned n) const;
    void MakeOwned();
    void AppendUnchecked(const void* bytes, unsigned n);
    void Release();

    uint8_t marker_ = kAlive;
    bool borrowed_ = false;
    uint8_t* data_ = nullptr;
    unsigned size_ = 0;
    unsigned capacity_ = 0;
};

} // namespace plentor

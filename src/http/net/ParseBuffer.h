#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plentor {

// Bytes received but not yet handed to a reader. Received blocks are
// appended at the end, readers take from the front; the consumed front is
// dropped lazily so taking is O(1) and the whole lifetime stays linear.
class ParseBuffer {
public:
    const uint8_t* Data() const { return bytes_.data() + start_; }
    unsigned Size() const { return static_cast<unsigned>(end_ - start_); }
    bool IsEmpty() const { return Size() == 0; }

    // Room for up to n more bytes at the end; Commit says how many were filled.
    uint8_t* PrepareAppend(unsigned n);
    void Commit(unsigned filled);

    // Copies up to n bytes from the front to out and drops them; gives the count.
    unsigned Take(void* out, unsigned n);
    void Consume(unsigned n);
    void Clear();

private:
    std::vector<uint8_t> bytes_;
    std::size_t start_ = 0;       // first unread byte
    std::size_t end_ = 0;         // one past the last received byte
    std::size_t reserved_ = 0;    // room after end_ handed out by PrepareAppend
};

} // namespace plentor

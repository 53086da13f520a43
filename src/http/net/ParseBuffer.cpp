#include "http/net/ParseBuffer.h"

#include <algorithm>
#include <cstring>

namespace plentor {

uint8_t* ParseBuffer::PrepareAppend(unsigned n)
{
    // Move the unread bytes to the front once the consumed part outweighs
    // them, so the storage never grows with bytes nobody will read again.
    if (start_ > 0 && start_ >= Size()) {
        std::memmove(bytes_.data(), bytes_.data() + start_, Size());
        end_ -= start_;
        start_ = 0;
    }
    if (bytes_.size() < end_ + n) bytes_.resize(std::max(end_ + n, bytes_.size() * 2));
    reserved_ = n;
    return bytes_.data() + end_;
}

void ParseBuffer::Commit(unsigned filled)
{
    end_ += std::min<std::size_t>(filled, reserved_);
    reserved_ = 0;
}

unsigned ParseBuffer::Take(void* out, unsigned n)
{
    n = std::min(n, Size());
    if (n > 0) std::memcpy(out, Data(), n);
    Consume(n);
    return n;
}

void ParseBuffer::Consume(unsigned n)
{
    start_ += std::min(n, Size());
    if (start_ == end_) Clear();
}

void ParseBuffer::Clear()
{
    start_ = 0;
    end_ = 0;
    reserved_ = 0;
}

} // namespace plentor

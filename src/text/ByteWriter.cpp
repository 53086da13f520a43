#include "text/ByteWriter.h"

namespace plentor {

void ByteWriter::Flush()
{
    out_.AppendBytes(block_.data(), static_cast<unsigned>(used_));
    used_ = 0;
}

} // namespace plentor

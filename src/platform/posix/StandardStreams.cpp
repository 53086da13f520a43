#include "platform/StandardStreams.h"

namespace plentor::platform {

bool SetBinaryMode(FILE* stream)
{
    return stream != nullptr;   // POSIX makes no difference between text and bytes
}

} // namespace plentor::platform

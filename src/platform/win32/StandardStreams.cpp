#include "platform/StandardStreams.h"

#include <fcntl.h>
#include <io.h>

namespace plentor::platform {

bool SetBinaryMode(FILE* stream)
{
    if (stream == nullptr)
        return false;
    return _setmode(_fileno(stream), _O_BINARY) != -1;
}

} // namespace plentor::platform

#pragma once

#include "base/LogBase.h"
#include "text/StringBuffer.h"

#include <string>

namespace plentor::testsupport {

// The text form of a log, for assertions that look for a message in it.
inline std::string LogText(LogBase& log)
{
    StringBuffer text;
    log.GetText(text);
    return text.ToStdString();
}

} // namespace plentor::testsupport

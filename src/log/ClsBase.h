#pragma once

#include "log/Logger.h"

namespace plentor {

// Base of the facade objects: each owns the log that its operations write
// their reasons to.
class ClsBase {
public:
    ClsBase() = default;
    virtual ~ClsBase() = default;
    ClsBase(const ClsBase&) = delete;
    ClsBase& operator=(const ClsBase&) = delete;

    Logger& GetLog() { return log_; }
    const Logger& GetLog() const { return log_; }

protected:
    Logger log_;
};

} // namespace plentor

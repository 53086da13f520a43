#include "support/ScopedEnv.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdlib>

namespace plentor::testsupport {
namespace {

void Assign(const std::string& name, const char* value)
{
#ifdef _WIN32
    // The C library keeps its own copy of the environment: both are set, so
    // getenv and child processes agree. An empty value removes the variable.
    _putenv_s(name.c_str(), value != nullptr ? value : "");
    SetEnvironmentVariableA(name.c_str(), value);
#else
    if (value != nullptr)
        ::setenv(name.c_str(), value, 1);
    else
        ::unsetenv(name.c_str());
#endif
}

} // namespace

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name)
{
    if (const char* old = std::getenv(name))
        old_ = old;
    Set(value);
}

ScopedEnv::~ScopedEnv() { Assign(name_, old_ ? old_->c_str() : nullptr); }

void ScopedEnv::Set(const char* value) { Assign(name_, value); }

} // namespace plentor::testsupport

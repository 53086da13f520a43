#pragma once

#include <optional>
#include <string>

namespace plentor::testsupport {

// Sets (or, given nullptr, removes) an environment variable for one scope
// and puts the old value back afterwards. Seen by the library's getenv and
// by child processes started meanwhile.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    // Changes the value again; the one from before the scope still comes back.
    void Set(const char* value);

private:
    std::string name_;
    std::optional<std::string> old_;
};

} // namespace plentor::testsupport

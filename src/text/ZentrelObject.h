#pragma once

namespace plentor {

// Root of the library's value classes. It carries no state; it names the
// family and owns the one place where a broken object stops the process.
class ZentrelObject {
public:
    // Stops the process after a message naming the class whose validity
    // marker was wrong (the object was destroyed or never constructed).
    [[noreturn]] static void FatalBadObject(const char* className);
};

} // namespace plentor

#include "text/ZentrelObject.h"

#include <cstdio>
#include <cstdlib>

namespace plentor {

void ZentrelObject::FatalBadObject(const char* className)
{
    std::fprintf(stderr, "plentor: fatal: use of a destroyed or unconstructed %s\n", className);
    std::fflush(stderr);
    std::abort();
}

} // namespace plentor

#include "text/UnicodeLookup.h"

namespace plentor {

void UnicodeLookup::Set(uint8_t byte, char16_t unit)
{
    units_[byte] = unit;
    mapped_[byte] = true;
}

unsigned UnicodeLookup::Count() const
{
    unsigned n = 0;
    for (bool m : mapped_)
        n += m ? 1 : 0;
    return n;
}

} // namespace plentor

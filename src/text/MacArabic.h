#pragma once

#include <cstddef>
#include <cstdint>

namespace plentor {

// Mac Arabic (code page 10004) text stored in display order, put into
// reading order before the table conversion reads it.
class MacArabic {
public:
    // Reverses the runs of right-to-left bytes in place and folds the digits,
    // the no-break space and the right-to-left punctuation to their plain forms.
    static void FixUp(uint8_t* p, size_t n);
};

} // namespace plentor

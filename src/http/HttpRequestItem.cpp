#include "http/HttpRequestItem.h"

namespace plentor {

void HttpRequestItem::SetValue(const void* value, unsigned n)
{
    value_.Clear();
    if (value && n > 0)
        value_.AppendBytes(value, n);
}

} // namespace plentor

#pragma once

namespace plentor {

// Something that takes strings one at a time, such as a list that collects
// the links of a page.
class StringConsumer {
public:
    virtual ~StringConsumer() = default;

    // Takes one zero-terminated string; null is ignored.
    virtual void AppendString(const char* s) = 0;
};

} // namespace plentor

#pragma once

#include <string>
#include <string_view>

namespace plentor {

// A string handed in by the host: UTF-16, possibly null. A null pointer reads
// as the empty string, so the objects never have to test for it. The view
// does not own the text; it lives for the duration of one call.
class HostString {
public:
    HostString() = default;
    // Implicit on purpose: every form the host or a caller holds converts.
    HostString(const char16_t* text) : text_(text == nullptr ? std::u16string_view() : text) {}  // NOLINT
    HostString(std::u16string_view text) : text_(text) {}                                          // NOLINT
    HostString(const std::u16string& text) : text_(text) {}                                        // NOLINT

    std::u16string_view View() const { return text_; }
    bool IsEmpty() const { return text_.empty(); }

private:
    std::u16string_view text_;
};

} // namespace plentor

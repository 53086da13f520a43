#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace plentor {

// A read cursor over its own copy of a text: skip a set of bytes, read up to
// the next byte of a set, find a string ASCII case-insensitively, test for
// the end. The word counter tokenizes with it; slices it hands out point
// into the copy and stay valid until the next SetText.
class ParseEngine {
public:
    // A set of bytes as a 256-entry table, built once and tested in one step.
    class ByteSet {
    public:
        constexpr explicit ByteSet(std::string_view bytes)
        {
            for (char c : bytes)
                has_[static_cast<unsigned char>(c)] = true;
        }
        constexpr bool Has(char c) const { return has_[static_cast<unsigned char>(c)]; }

    private:
        std::array<bool, 256> has_{};
    };

    ParseEngine() = default;
    explicit ParseEngine(std::string_view text) { SetText(text); }

    // Copies the text and puts the cursor at its start.
    void SetText(std::string_view text);

    // Moves past every byte of the set; returns how many were skipped.
    size_t Skip(const ByteSet& set);

    // The bytes from the cursor up to (not including) the next byte of the
    // set, or to the end; the cursor moves past them.
    std::string_view ReadUntil(const ByteSet& set);

    // Moves the cursor to the next occurrence of needle at or after it,
    // comparing ASCII letters without case. False, cursor unchanged, when
    // there is none or the needle is empty.
    bool SeekNoCase(std::string_view needle);

    bool AtEnd() const { return pos_ >= text_.size(); }
    size_t Position() const { return pos_; }
    void Rewind() { pos_ = 0; }

private:
    std::string text_;
    size_t pos_ = 0;
};

} // namespace plentor

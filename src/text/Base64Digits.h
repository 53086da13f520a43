#pragma once

#include <array>
#include <cstdint>

namespace plentor {

// The Base64 alphabet, shared by the Base64 codec and UTF-7.
class Base64Digits {
public:
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    static constexpr int kNotDigit = -1;

    // The value of a Base64 digit, or kNotDigit for any other byte.
    static constexpr int Value(uint8_t b) { return kValues[b]; }

private:
    static constexpr std::array<int8_t, 256> kValues = [] {
        std::array<int8_t, 256> values{};
        values.fill(kNotDigit);
        for (int i = 0; i < 64; ++i) values[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
        return values;
    }();
};

} // namespace plentor

#pragma once

namespace plentor {

// Hexadecimal digit values, shared by every decoder that reads hex escapes.
class HexDigits {
public:
    // The digits written for the values 0-15.
    static constexpr char kUpper[] = "0123456789ABCDEF";

    // The value of a hex digit (either case), or -1 for any other byte.
    static constexpr int Value(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }
};

} // namespace plentor

#pragma once

namespace plentor {

// An int value held in a table, such as the occurrence count of a string.
class ZentrelInt {
public:
    explicit ZentrelInt(int value = 0) : value_(value) {}

    int Value() const { return value_; }
    void Set(int value) { value_ = value; }
    void Increment() { ++value_; }

private:
    int value_;
};

} // namespace plentor

#include "text/AsciiRun.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plentor {
namespace {

// Long enough for two 16-byte blocks and a word-sized tail.
constexpr size_t kMaxLength = 40;
// Where a run starts inside its buffer: every alignment of a 16-byte block.
constexpr size_t kMaxShift = 16;
constexpr char16_t kUnwritten = 0xEEEE;

// The runs, one unit at a time.
size_t ReferenceLength(const uint8_t* p, size_t n)
{
    size_t i = 0;
    while (i < n && p[i] < 0x80)
        ++i;
    return i;
}

size_t ReferenceLength(const char16_t* units, size_t n)
{
    size_t i = 0;
    while (i < n && units[i] < 0x80)
        ++i;
    return i;
}

struct ByteForm {
    const char* name;
    size_t (*length)(const uint8_t*, size_t);
    size_t (*copy)(const uint8_t*, size_t, uint8_t*);
    size_t (*widen)(const uint8_t*, size_t, char16_t*);
};

struct UnitForm {
    const char* name;
    size_t (*narrow)(const char16_t*, size_t, uint8_t*);
};

const ByteForm kByteForms[] = {
    {"Fastest", AsciiRun::Length, AsciiRun::Copy, AsciiRun::Widen},
    {"ByWords", AsciiRun::LengthByWords, AsciiRun::CopyByWords, AsciiRun::WidenByWords},
};

const UnitForm kUnitForms[] = {
    {"Fastest", AsciiRun::Narrow},
    {"ByWords", AsciiRun::NarrowByWords},
};

// Every length up to kMaxLength, at every shift, with the run ended at every
// position by each kind of byte that ends one (or not ended at all): the
// run's length, its bytes or units, and nothing written past n.
TEST(AsciiRunTest, BytesRunsMatchTheReference)
{
    const uint8_t kEnders[] = {0x80, 0xC3, 0xFF};
    for (const ByteForm& form : kByteForms) {
        SCOPED_TRACE(form.name);
        for (size_t shift = 0; shift < kMaxShift; ++shift) {
            for (size_t n = 0; n <= kMaxLength; ++n) {
                for (size_t end = 0; end <= n; ++end) {
                    for (uint8_t ender : kEnders) {
                        std::vector<uint8_t> buffer(shift + n);
                        for (size_t i = 0; i < n; ++i)
                            buffer[shift + i] = static_cast<uint8_t>('a' + i % 26);
                        if (end < n)
                            buffer[shift + end] = ender;
                        const uint8_t* p = buffer.data() + shift;
                        SCOPED_TRACE(testing::Message() << "shift " << shift << ", n " << n << ", end " << end
                                                        << ", ender " << int(ender));
                        size_t expected = ReferenceLength(p, n);
                        ASSERT_EQ(form.length(p, n), expected);

                        std::vector<uint8_t> copy(n + 1, 0xEE);
                        ASSERT_EQ(form.copy(p, n, copy.data()), expected);
                        for (size_t i = 0; i < expected; ++i)
                            ASSERT_EQ(copy[i], p[i]) << i;
                        ASSERT_EQ(copy[n], 0xEE);

                        std::vector<char16_t> units(n + 1, kUnwritten);
                        ASSERT_EQ(form.widen(p, n, units.data()), expected);
                        for (size_t i = 0; i < expected; ++i)
                            ASSERT_EQ(units[i], p[i]) << i;
                        ASSERT_EQ(units[n], kUnwritten);
                    }
                }
            }
        }
    }
}

TEST(AsciiRunTest, UnitRunsMatchTheReference)
{
    // The least and greatest units a run ends at, and those a saturating
    // or signed test would miss.
    const char16_t kEnders[] = {0x80, 0xFF, 0x100, 0x7FFF, 0x8000, 0x8041, 0xFF41, 0xFFFF};
    for (const UnitForm& form : kUnitForms) {
        SCOPED_TRACE(form.name);
        for (size_t shift = 0; shift < kMaxShift; ++shift) {
            for (size_t n = 0; n <= kMaxLength; ++n) {
                for (size_t end = 0; end <= n; ++end) {
                    for (char16_t ender : kEnders) {
                        std::vector<char16_t> buffer(shift + n);
                        for (size_t i = 0; i < n; ++i)
                            buffer[shift + i] = static_cast<char16_t>('a' + i % 26);
                        if (end < n)
                            buffer[shift + end] = ender;
                        const char16_t* units = buffer.data() + shift;
                        SCOPED_TRACE(testing::Message() << "shift " << shift << ", n " << n << ", end " << end
                                                        << ", ender " << int(ender));
                        size_t expected = ReferenceLength(units, n);
                        std::vector<uint8_t> bytes(n + 1, 0xEE);
                        ASSERT_EQ(form.narrow(units, n, bytes.data()), expected);
                        for (size_t i = 0; i < expected; ++i)
                            ASSERT_EQ(bytes[i], units[i]) << i;
                        ASSERT_EQ(bytes[n], 0xEE);
                    }
                }
            }
        }
    }
}

} // namespace
} // namespace plentor

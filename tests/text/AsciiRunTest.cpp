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

// Calls check(text, n) for text of every length up to kMaxLength, at every
// shift, with its 7-bit run ended at every position by each of the enders
// (or not ended at all).
template <class Unit, class Check>
void ForEveryRun(std::initializer_list<Unit> enders, Check check)
{
    for (size_t shift = 0; shift < kMaxShift; ++shift) {
        for (size_t n = 0; n <= kMaxLength; ++n) {
            for (size_t end = 0; end <= n; ++end) {
                for (Unit ender : enders) {
                    std::vector<Unit> buffer(shift + n);
                    for (size_t i = 0; i < n; ++i)
                        buffer[shift + i] = static_cast<Unit>('a' + i % 26);
                    if (end < n)
                        buffer[shift + end] = ender;
                    SCOPED_TRACE(testing::Message() << "shift " << shift << ", n " << n << ", end " << end
                                                    << ", ender " << int(ender));
                    check(buffer.data() + shift, n);
                    if (testing::Test::HasFatalFailure())
                        return;
                }
            }
        }
    }
}

// The run, one unit at a time.
template <class Unit>
size_t ReferenceLength(const Unit* text, size_t n)
{
    size_t i = 0;
    while (i < n && text[i] < 0x80)
        ++i;
    return i;
}

// What a run-copying function wrote: the run's units, and nothing past n.
template <class In, class Out>
void ExpectCopied(const In* text, size_t run, const std::vector<Out>& written, Out unwritten)
{
    for (size_t i = 0; i < run; ++i)
        ASSERT_EQ(written[i], text[i]) << i;
    ASSERT_EQ(written.back(), unwritten);
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

TEST(AsciiRunTest, ByteRunsMatchTheReference)
{
    for (const ByteForm& form : kByteForms) {
        SCOPED_TRACE(form.name);
        ForEveryRun<uint8_t>({0x80, 0xC3, 0xFF}, [&](const uint8_t* p, size_t n) {
            size_t expected = ReferenceLength(p, n);
            ASSERT_EQ(form.length(p, n), expected);

            std::vector<uint8_t> bytes(n + 1, 0xEE);
            ASSERT_EQ(form.copy(p, n, bytes.data()), expected);
            ExpectCopied(p, expected, bytes, uint8_t{0xEE});

            std::vector<char16_t> units(n + 1, 0xEEEE);
            ASSERT_EQ(form.widen(p, n, units.data()), expected);
            ExpectCopied(p, expected, units, char16_t{0xEEEE});
        });
    }
}

TEST(AsciiRunTest, UnitRunsMatchTheReference)
{
    for (const UnitForm& form : kUnitForms) {
        SCOPED_TRACE(form.name);
        // The least and greatest units that end a run, and those a
        // saturating or signed test would take for 7-bit.
        ForEveryRun<char16_t>({0x80, 0xFF, 0x100, 0x7FFF, 0x8000, 0x8041, 0xFF41, 0xFFFF},
                              [&](const char16_t* units, size_t n) {
                                  size_t expected = ReferenceLength(units, n);
                                  std::vector<uint8_t> bytes(n + 1, 0xEE);
                                  ASSERT_EQ(form.narrow(units, n, bytes.data()), expected);
                                  ExpectCopied(units, expected, bytes, uint8_t{0xEE});
                              });
    }
}

} // namespace
} // namespace plentor

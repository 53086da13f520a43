#include "text/Crc32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace plentor {
namespace {

// The check value of the zip / ISO 3309 CRC is the CRC of "123456789".
TEST(Crc32Test, CheckValueAndContinuation)
{
    const char* text = "123456789";
    EXPECT_EQ(Crc32::Compute(text, 9), 0xCBF43926u);
    EXPECT_EQ(Crc32::Update(Crc32::Compute(text, 4), text + 4, 5), 0xCBF43926u);
    EXPECT_EQ(Crc32::Compute(nullptr, 0), 0u);
}

} // namespace
} // namespace plentor

#include "text/AsciiChars.h"

#include <gtest/gtest.h>

#include <cctype>

namespace plentor {
namespace {

// Every byte against the C library's classes in the "C" locale, where bytes
// above 0x7F are in no class and keep their case.
TEST(AsciiCharsTest, ClassesAgreeWithTheCLocaleForEveryByte)
{
    for (int b = 0; b < 256; ++b) {
        SCOPED_TRACE(b);
        const char c = static_cast<char>(b);
        EXPECT_EQ(AsciiChars::IsCSpace(c), std::isspace(b) != 0);
        EXPECT_EQ(AsciiChars::IsSpace(c), b == ' ' || b == '\t' || b == '\r' || b == '\n');
        EXPECT_EQ(AsciiChars::IsDigit(c), std::isdigit(b) != 0);
        EXPECT_EQ(AsciiChars::IsAlpha(c), std::isalpha(b) != 0);
        EXPECT_EQ(AsciiChars::IsAlnum(c), std::isalnum(b) != 0);
        EXPECT_EQ(AsciiChars::Is(c, AsciiChars::kDigit | AsciiChars::kHexLetter), std::isxdigit(b) != 0);
        EXPECT_EQ(static_cast<unsigned char>(AsciiChars::ToLower(c)), std::tolower(b));
        EXPECT_EQ(static_cast<unsigned char>(AsciiChars::ToUpper(c)), std::toupper(b));
    }
}

TEST(AsciiCharsTest, ComparisonsAndTrim)
{
    EXPECT_TRUE(AsciiChars::EqualsNoCase("Content-Type", "content-TYPE"));
    EXPECT_FALSE(AsciiChars::EqualsNoCase("caf\xC3\xA9", "CAF\xC3\x89"));   // no case beyond ASCII
    EXPECT_FALSE(AsciiChars::EqualsNoCase("abc", "abcd"));
    EXPECT_TRUE(AsciiChars::StartsWithNoCase("HTTPS://x", "https://"));
    EXPECT_FALSE(AsciiChars::StartsWithNoCase("http", "https"));
    EXPECT_EQ(AsciiChars::Trim(" \t\r\nvalue \v\r\n"), "value \v");   // \v is not header space
    EXPECT_EQ(AsciiChars::Trim(" \t "), "");
}

} // namespace
} // namespace plentor

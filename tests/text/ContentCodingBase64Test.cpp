#include "text/ContentCoding.h"

#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

std::string Encoded(const std::string& bytes)
{
    StringBuffer out;
    ContentCoding::EncodeBase64(bytes.data(), static_cast<unsigned>(bytes.size()), out);
    return out.ToStdString();
}

bool Decoded(const std::string& text, std::string& bytes)
{
    DataBuffer out;
    bool ok = ContentCoding::DecodeBase64Strict(text.data(), static_cast<unsigned>(text.size()), out);
    bytes.assign(reinterpret_cast<const char*>(out.Data()), out.Size());
    return ok;
}

TEST(Base64StrictTest, EncodesEachTailLength)
{
    struct Case {
        const char* bytes;
        const char* text;
    };
    const Case cases[] = {{"", ""}, {"a", "YQ=="}, {"ab", "YWI="}, {"abc", "YWJj"}, {"abcd", "YWJjZA=="}};
    for (const Case& c : cases) {
        EXPECT_EQ(Encoded(c.bytes), c.text) << c.bytes;
        std::string back;
        EXPECT_TRUE(Decoded(c.text, back));
        EXPECT_EQ(back, c.bytes);
    }
}

TEST(Base64StrictTest, RoundTripsEveryByteValue)
{
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    for (size_t n = 0; n <= all.size(); n += 37) {
        std::string back;
        ASSERT_TRUE(Decoded(Encoded(all.substr(0, n)), back));
        EXPECT_EQ(back, all.substr(0, n));
    }
}

TEST(Base64StrictTest, DecodeSkipsLineBreaksAndStopsAtPadding)
{
    struct Case {
        const char* text;
        const char* bytes;
    };
    const Case cases[] = {
        {"YWJj\r\nZGVm", "abcdef"},
        {" YW\tJj ", "abc"},
        {"YQ==YWJj", "a"},          // the pad ends the data
        {"YWI", "ab"},              // padding may be left out
    };
    for (const Case& c : cases) {
        std::string back;
        EXPECT_TRUE(Decoded(c.text, back)) << c.text;
        EXPECT_EQ(back, c.bytes) << c.text;
    }
}

TEST(Base64StrictTest, DecodeFailsOnALoneTrailingCharacterAndLeavesOutputAlone)
{
    DataBuffer out;
    out.AppendBytes("x", 1);
    EXPECT_FALSE(ContentCoding::DecodeBase64Strict("YWJjZ", 5, out));
    ASSERT_EQ(out.Size(), 1u);
    EXPECT_EQ(out.Data()[0], 'x');
}

} // namespace
} // namespace plentor

#include "text/CompressedContainer.h"
#include "support/LogText.h"

#include "log/Logger.h"
#include "text/ContentCoding.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

std::string Text(const DataBuffer& b) { return std::string(reinterpret_cast<const char*>(b.Data()), b.Size()); }

using testsupport::LogText;

// A container in binary form, packed from the given text.
std::string PackedBinary(const std::string& text)
{
    Logger log;
    StringBuffer base64;
    EXPECT_TRUE(CompressedContainer::Pack(text.data(), static_cast<unsigned>(text.size()), base64, log));
    DataBuffer binary;
    EXPECT_TRUE(ContentCoding::DecodeBase64Strict(base64.GetString(), static_cast<unsigned>(base64.GetLength()), binary));
    return Text(binary);
}

void PutLittleEndian(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

// Words repeated enough to compress well, plus every byte value.
std::string Sample()
{
    std::string s;
    for (int i = 0; i < 300; ++i)
        s += "about above after again against all am an and any are\r\n";
    for (int i = 0; i < 256; ++i)
        s += static_cast<char>(i);
    return s;
}

TEST(CompressedContainerTest, RoundTripAppendsToOutput)
{
    for (const std::string& original : {Sample(), std::string(), std::string("x")}) {
        Logger log;
        StringBuffer base64;
        ASSERT_TRUE(CompressedContainer::Pack(original.data(), static_cast<unsigned>(original.size()), base64, log));
        DataBuffer out;
        out.AppendBytes("pre", 3);
        ASSERT_TRUE(CompressedContainer::Unpack(base64.GetString(), static_cast<unsigned>(base64.GetLength()), out, log))
            << LogText(log);
        EXPECT_EQ(Text(out), "pre" + original);
    }
}

TEST(CompressedContainerTest, BinaryLayoutIsMagicLengthThenBzip2)
{
    std::string binary = PackedBinary("hello");
    ASSERT_GE(binary.size(), 12u);
    EXPECT_EQ(binary.substr(0, 8), std::string("\xE1\xA7\x94\xB3\x05\x00\x00\x00", 8));
    EXPECT_EQ(binary.substr(8, 4), "BZh9");
}

TEST(CompressedContainerTest, DamagedContainersFailWithALogLine)
{
    const std::string good = PackedBinary(Sample());
    struct Case {
        const char* what;
        std::string bytes;
        const char* logged;
    };
    std::string badMagic = good;
    badMagic[0] = '\xE2';
    std::string corrupt = good;
    corrupt[good.size() / 2] = static_cast<char>(corrupt[good.size() / 2] ^ 0x55);
    std::string longer = good;
    PutLittleEndian(longer, 4, static_cast<uint32_t>(Sample().size() + 1));
    std::string shorter = good;
    PutLittleEndian(shorter, 4, static_cast<uint32_t>(Sample().size() - 1));
    std::string huge = good;
    PutLittleEndian(huge, 4, 0xFFFFFFF0u);
    const Case cases[] = {
        {"bad magic", badMagic, "bad magic"},
        {"header cut short", good.substr(0, 6), "too short"},
        {"header only", good.substr(0, 8), "ends early"},
        {"stream cut short", good.substr(0, good.size() - 20), "ends early"},
        {"corrupt stream", corrupt, "corrupt"},
        {"declared length too long", longer, "shorter than the declared length"},
        {"declared length too short", shorter, "longer than the declared length"},
        {"declared length absurd", huge, "too large"},
    };
    for (const Case& c : cases) {
        Logger log;
        DataBuffer out;
        EXPECT_FALSE(CompressedContainer::UnpackBinary(c.bytes.data(), static_cast<unsigned>(c.bytes.size()), out, log))
            << c.what;
        EXPECT_EQ(out.Size(), 0u) << c.what;
        EXPECT_NE(LogText(log).find(c.logged), std::string::npos) << c.what << "\n" << LogText(log);
    }
}

TEST(CompressedContainerTest, BadBase64Fails)
{
    StringBuffer base64;
    Logger log;
    ASSERT_TRUE(CompressedContainer::Pack("hello", 5, base64, log));
    // Whole groups plus one character: six bits cannot form a byte.
    std::string text = base64.ToStdString().substr(0, 12) + "Q";
    DataBuffer out;
    EXPECT_FALSE(CompressedContainer::Unpack(text.data(), static_cast<unsigned>(text.size()), out, log));
    EXPECT_EQ(out.Size(), 0u);
    EXPECT_NE(LogText(log).find("not valid Base64"), std::string::npos) << LogText(log);
}

} // namespace
} // namespace plentor

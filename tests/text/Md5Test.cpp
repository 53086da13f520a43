#include "text/Md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace plentor {
namespace {

std::string Hex(const uint8_t (&digest)[Md5::kDigestSize])
{
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    for (uint8_t b : digest) {
        s += kDigits[b >> 4];
        s += kDigits[b & 0xF];
    }
    return s;
}

std::string OneShot(const std::string& message)
{
    uint8_t digest[Md5::kDigestSize];
    Md5::Digest(message.data(), message.size(), digest);
    return Hex(digest);
}

struct Vector {
    std::string message;
    const char* digest;
};

// The test suite of RFC 1321, appendix A.5.
const Vector kRfc1321[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

// Lengths around the padding boundaries: 55 bytes leave room for the length
// trailer in the last block, 56 do not; 64 fill a block exactly.
const Vector kPaddingEdges[] = {
    {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
    {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
    {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
    {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
    {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
    {std::string(1000, 'a'), "cabe45dcc9ae5b66ba86600cca6b8ba8"},
};

TEST(Md5Test, Rfc1321Vectors)
{
    for (const Vector& v : kRfc1321)
        EXPECT_EQ(OneShot(v.message), v.digest) << "message: \"" << v.message << "\"";
}

TEST(Md5Test, PaddingBoundaries)
{
    for (const Vector& v : kPaddingEdges)
        EXPECT_EQ(OneShot(v.message), v.digest) << "length " << v.message.size();
}

// Feeding a message in pieces of every size must give the one-shot digest,
// whichever way the pieces straddle the 64-byte blocks.
TEST(Md5Test, PiecewiseUpdateMatchesOneShot)
{
    const Vector& v = kPaddingEdges[5];
    for (size_t piece = 1; piece <= 130; ++piece) {
        Md5 md5;
        for (size_t at = 0; at < v.message.size(); at += piece)
            md5.Update(v.message.data() + at, std::min(piece, v.message.size() - at));
        uint8_t digest[Md5::kDigestSize];
        md5.Final(digest);
        ASSERT_EQ(Hex(digest), v.digest) << "piece size " << piece;
    }
}

TEST(Md5Test, FinalStartsANewMessage)
{
    Md5 md5;
    uint8_t digest[Md5::kDigestSize];
    md5.Update("message digest", 14);
    md5.Final(digest);
    md5.Update("abc", 3);
    md5.Final(digest);
    EXPECT_EQ(Hex(digest), kRfc1321[2].digest);
}

} // namespace
} // namespace plentor

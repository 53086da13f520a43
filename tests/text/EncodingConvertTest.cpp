#include "text/EncodingConvert.h"

#include "log/LogNull.h"
#include "log/Logger.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace plentor {
namespace {

using Bytes = std::vector<uint8_t>;

// "C3 A9" -> {0xC3, 0xA9}
Bytes Hex(const std::string& text)
{
    Bytes out;
    for (size_t i = 0; i + 1 < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return out;
}

Bytes Ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Of(const DataBuffer& b) { return Bytes(b.Data(), b.Data() + b.Size()); }

struct Result {
    bool ok;
    Bytes bytes;
};

Result ConvertBytes(EncodingConvert& convert, int from, int to, const Bytes& in)
{
    DataBuffer out;
    LogNull log;
    bool ok = convert.Convert(from, to, in.data(), static_cast<unsigned>(in.size()), out, log);
    return {ok, Of(out)};
}

Result ConvertBytes(int from, int to, const Bytes& in)
{
    EncodingConvert convert;
    return ConvertBytes(convert, from, to, in);
}

constexpr int kLe = EncodingConvert::kUtf16Le;
constexpr int kBe = EncodingConvert::kUtf16Be;
constexpr int kUtf8 = EncodingConvert::kUtf8;
constexpr int kAscii = EncodingConvert::kUsAscii;
constexpr int kLatin1 = EncodingConvert::kLatin1;
constexpr int k1252 = EncodingConvert::kWindows1252;

// ---- conversions with the default action (drop) ---------------------------

struct ConvertCase {
    const char* name;
    int from;
    int to;
    std::string in;       // hex
    std::string out;      // hex
    bool ok;
};

class EncodingConvertCaseTest : public testing::TestWithParam<ConvertCase> {};

TEST_P(EncodingConvertCaseTest, ConvertsBytes)
{
    const ConvertCase& c = GetParam();
    Result r = ConvertBytes(c.from, c.to, Hex(c.in));
    EXPECT_EQ(r.bytes, Hex(c.out));
    EXPECT_EQ(r.ok, c.ok);
}

const ConvertCase kConvertCases[] = {
    // copies
    {"SameCodePageCopiesEvenBadBytes", kUtf8, kUtf8, "C0 80 FF", "C0 80 FF", true},
    {"TargetZeroCopies", 12345, 0, "01 02", "01 02", true},
    {"EmptyInput", kUtf8, k1252, "", "", true},
    // UTF-8 decoding
    {"Utf8ToWindows1252", kUtf8, k1252, "63 61 66 C3 A9", "63 61 66 E9", true},
    {"Utf8EuroToWindows1252", kUtf8, k1252, "E2 82 AC", "80", true},
    {"Utf8ByteOrderMarkDropped", kUtf8, k1252, "EF BB BF 41", "41", true},
    {"Utf8ByteOrderMarkOnlyAtStart", kUtf8, kLe, "41 EF BB BF", "41 00 FF FE", true},
    {"Utf8FourByteSequenceDropped", kUtf8, kLe, "41 F0 9F 98 80 42", "41 00 42 00", false},
    {"Utf8OverlongLeadsC0C1", kUtf8, kLe, "C0 80 C1 BF 41", "41 00", false},
    {"Utf8OverlongThreeByte", kUtf8, kLe, "E0 80 80 41", "41 00", false},
    {"Utf8SmallestThreeByte", kUtf8, kLe, "E0 A0 80", "00 08", true},
    {"Utf8MissingContinuation", kUtf8, kLe, "C3 41", "41 00", false},
    {"Utf8TruncatedAtEnd", kUtf8, kLe, "41 E2 82", "41 00", false},
    {"Utf8StrayContinuation", kUtf8, kLe, "80 41", "41 00", false},
    {"Utf8LeadF5", kUtf8, kLe, "F5 80 80 80", "", false},
    {"Utf8SurrogatesReadOneByOne", kUtf8, kLe, "ED A0 BD ED B8 80", "3D D8 00 DE", true},
    // UTF-8 encoding
    {"Utf16ToUtf8AllLengths", kLe, kUtf8, "41 00 E9 00 AC 20", "41 C3 A9 E2 82 AC", true},
    {"Utf16SurrogatesWrittenOneByOne", kLe, kUtf8, "3D D8 00 DE", "ED A0 BD ED B8 80", true},
    // UTF-16
    {"Utf16LeByteOrderMarkDropped", kLe, kUtf8, "FF FE 41 00", "41", true},
    {"Utf16LeSwappedMarkDropped", kLe, kUtf8, "FE FF 41 00", "41", true},
    {"Utf16BeToUtf8", kBe, kUtf8, "FE FF 00 41 20 AC", "41 E2 82 AC", true},
    {"Utf8ToUtf16Be", kUtf8, kBe, "41 E2 82 AC", "00 41 20 AC", true},
    {"Utf16LeToBe", kLe, kBe, "41 00 AC 20", "00 41 20 AC", true},
    {"Utf16OddTrailingByte", kLe, kUtf8, "41 00 42", "41", false},
    // single-byte tables
    {"Windows1252ToUtf8", k1252, kUtf8, "80 9F E9", "E2 82 AC C5 B8 C3 A9", true},
    {"Windows1252UndefinedBytes", k1252, kUtf8, "41 81 8D 8F 90 9D 42", "41 42", false},
    {"Windows1252FromUtf16", kLe, k1252, "AC 20 78 01 00 00", "80 9F 00", true},
    {"Windows1252ToLatin1", k1252, kLatin1, "E9 80", "E9", false},
    {"Latin1ToWindows1252C1Control", kLatin1, k1252, "41 85", "41", false},
    {"Latin1ToUtf16", kLatin1, kLe, "00 7F 80 FF", "00 00 7F 00 80 00 FF 00", true},
    {"AsciiHighBytesUnmapped", kAscii, kUtf8, "41 80 FF 42", "41 42", false},
    {"Utf8ToAsciiDropsNonAscii", kUtf8, kAscii, "61 C3 A9 62", "61 62", false},
};

INSTANTIATE_TEST_SUITE_P(Cases, EncodingConvertCaseTest, testing::ValuesIn(kConvertCases),
                         [](const testing::TestParamInfo<ConvertCase>& info) { return info.param.name; });

// ---- error actions --------------------------------------------------------

struct ActionCase {
    const char* name;
    int action;
    bool mark;
    int from;
    int to;
    Bytes in;
    Bytes out;
};

class EncodingConvertActionTest : public testing::TestWithParam<ActionCase> {};

TEST_P(EncodingConvertActionTest, WritesWhatTheActionSays)
{
    const ActionCase& c = GetParam();
    EncodingConvert convert;
    convert.errorAction = c.action;
    convert.markErrors = c.mark;
    ASSERT_TRUE(convert.SetSubstitute("?", 1));
    Result r = ConvertBytes(convert, c.from, c.to, c.in);
    EXPECT_EQ(r.bytes, c.out);
    EXPECT_FALSE(r.ok);   // an unconvertible unit is reported whatever was written for it
}

const Bytes kOmega = Hex("CE A9");   // U+03A9, not in windows-1252
const Bytes kMark = Hex("FD EF");

const ActionCase kActionCases[] = {
    {"DropEncodeError", EncodingConvert::kDrop, true, kUtf8, k1252, Concat({Ascii("a"), kOmega, Ascii("b")}),
     Ascii("ab")},
    {"SubstituteEncodeError", EncodingConvert::kSubstitute, false, kUtf8, k1252,
     Concat({Ascii("a"), kOmega, Ascii("b")}), Ascii("a?b")},
    {"SubstituteMarked", EncodingConvert::kSubstitute, true, kUtf8, k1252, Concat({Ascii("a"), kOmega}),
     Concat({Ascii("a"), kMark, Hex("01"), Ascii("?")})},
    {"SubstituteDecodeError", EncodingConvert::kSubstitute, false, k1252, kUtf8, Hex("61 81 62"), Ascii("a?b")},
    {"HexEntityEncodeError", EncodingConvert::kHexEntity, false, kUtf8, k1252,
     Concat({Ascii("a"), kOmega, Ascii("b")}), Ascii("a&#x3A9;b")},
    {"HexEntityMarked", EncodingConvert::kHexEntity, true, kUtf8, k1252, kOmega,
     Concat({kMark, Hex("05"), Ascii("&#x3A9;")})},
    {"HexEntityOfFourByteSequence", EncodingConvert::kHexEntity, false, kUtf8, k1252, Hex("F0 9F 98 80"),
     Ascii("&#x1F600;")},
    {"HexEntityOfBadByte", EncodingConvert::kHexEntity, false, k1252, kUtf8, Hex("81"), Ascii("&#x81;")},
    {"HexEntityWrittenInTargetEncoding", EncodingConvert::kHexEntity, false, k1252, kLe, Hex("81"),
     Hex("26 00 23 00 78 00 38 00 31 00 3B 00")},
    {"CopyByteDecodeError", EncodingConvert::kCopyByte, false, k1252, kUtf8, Hex("61 81 62"), Hex("61 81 62")},
    {"CopyByteMarked", EncodingConvert::kCopyByte, true, k1252, kUtf8, Hex("81"), Concat({kMark, Hex("01 81")})},
    {"CopyByteFourByteSequence", EncodingConvert::kCopyByte, false, kUtf8, k1252, Hex("F0 9F 98 80"),
     Hex("F0 9F 98 80")},
    {"CopyByteHasNothingToCopyForEncodeError", EncodingConvert::kCopyByte, true, kUtf8, k1252, kOmega, Bytes{}},
    {"AltCodePageDropsForNow", EncodingConvert::kAltCodePage, true, kUtf8, k1252, kOmega, Bytes{}},
};

INSTANTIATE_TEST_SUITE_P(Cases, EncodingConvertActionTest, testing::ValuesIn(kActionCases),
                         [](const testing::TestParamInfo<ActionCase>& info) { return info.param.name; });

TEST(EncodingConvertTest, SubstituteIsLimitedByItsKindByte)
{
    EncodingConvert convert;
    std::string longSubstitute(EncodingConvert::kMaxSubstituteBytes + 1, '?');
    EXPECT_FALSE(convert.SetSubstitute(longSubstitute.data(), static_cast<unsigned>(longSubstitute.size())));
    EXPECT_TRUE(convert.SetSubstitute(longSubstitute.data(), EncodingConvert::kMaxSubstituteBytes));
}

TEST(EncodingConvertTest, SubstituteWithoutBytesWritesNothing)
{
    EncodingConvert convert;
    convert.errorAction = EncodingConvert::kSubstitute;
    convert.markErrors = true;
    Result r = ConvertBytes(convert, kUtf8, k1252, Concat({Ascii("a"), kOmega}));
    EXPECT_EQ(r.bytes, Ascii("a"));
    EXPECT_FALSE(r.ok);
}

// ---- unsupported code pages -----------------------------------------------

TEST(EncodingConvertTest, UnsupportedCodePageFailsWithLogAndNoOutput)
{
    const int kNoSuchCodePage = 12345;
    for (auto [from, to] : {std::pair{kNoSuchCodePage, kUtf8}, std::pair{kUtf8, kNoSuchCodePage}}) {
        EncodingConvert convert;
        DataBuffer out;
        out.AppendBytes("keep", 4);
        Logger log;
        EXPECT_FALSE(convert.Convert(from, to, "abc", 3, out, log));
        EXPECT_TRUE(out.Equals("keep", 4));
        StringBuffer text;
        log.GetText(text);
        EXPECT_TRUE(text.Contains("Unsupported code page")) << text.GetString();
        EXPECT_TRUE(text.Contains("codePage")) << text.GetString();
        EXPECT_TRUE(text.Contains("12345")) << text.GetString();
        EXPECT_EQ(convert.FromCodePage(), from);
        EXPECT_EQ(convert.ToCodePage(), to);
    }
}

// ---- output handling ------------------------------------------------------

TEST(EncodingConvertTest, AppendsToExistingOutput)
{
    EncodingConvert convert;
    DataBuffer out;
    out.AppendBytes("xy", 2);
    LogNull log;
    EXPECT_TRUE(convert.Convert(kUtf8, kLe, "a", 1, out, log));
    EXPECT_EQ(Of(out), Hex("78 79 61 00"));
}

// A text long enough to be converted in many slices, with multi-byte
// sequences lying across every slice boundary and undecodable bytes between.
TEST(EncodingConvertTest, LongTextConvertsAcrossSlices)
{
    Bytes utf8;
    Bytes expected1252;
    for (int i = 0; i < 30000; ++i) {
        utf8.push_back('a');
        expected1252.push_back('a');
        Bytes e = Hex("C3 A9");
        utf8.insert(utf8.end(), e.begin(), e.end());
        expected1252.push_back(0xE9);
        if (i % 1000 == 0)
            utf8.push_back(0xFF);   // dropped
    }
    Result to1252 = ConvertBytes(kUtf8, k1252, utf8);
    EXPECT_FALSE(to1252.ok);
    EXPECT_EQ(to1252.bytes, expected1252);

    Result utf16 = ConvertBytes(k1252, kLe, to1252.bytes);
    ASSERT_TRUE(utf16.ok);
    EXPECT_EQ(utf16.bytes.size(), expected1252.size() * 2);
    Result back = ConvertBytes(kLe, k1252, utf16.bytes);
    EXPECT_TRUE(back.ok);
    EXPECT_EQ(back.bytes, expected1252);
}

TEST(EncodingConvertTest, Windows1252RoundTripsEveryDefinedByte)
{
    Bytes all;
    for (int b = 0; b < 256; ++b)
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D)
            all.push_back(static_cast<uint8_t>(b));
    Result utf8 = ConvertBytes(k1252, kUtf8, all);
    ASSERT_TRUE(utf8.ok);
    Result back = ConvertBytes(kUtf8, k1252, utf8.bytes);
    EXPECT_TRUE(back.ok);
    EXPECT_EQ(back.bytes, all);
}

} // namespace
} // namespace plentor

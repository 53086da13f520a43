#include "text/EncodingConvert.h"

#include "base/LogNull.h"
#include "log/Logger.h"
#include "text/CodePageTables.h"
#include "text/HashConvert.h"
#include "text/StringBuffer.h"
#include "text/UnicodeLookup.h"

#include "support/CaseName.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace plentor {
namespace {

using Bytes = std::vector<uint8_t>;
using testsupport::ByCaseName;

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

// {0xC3, 0xA9} -> "C3 A9", the form Hex reads
std::string HexText(const Bytes& bytes)
{
    std::string out;
    char digits[4];
    for (uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        out += out.empty() ? "" : " ";
        out += digits;
    }
    return out;
}

// The bytes of a literal: ASCII, or UTF-8 as this file is written.
Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

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
constexpr int k1253 = 1253;          // Greek: 0xAA, 0xD2 and 0xFF are undefined
constexpr int kSjis = EncodingConvert::kShiftJis;
constexpr int kKorean = EncodingConvert::kKorean;
constexpr int kJis = EncodingConvert::kIso2022Jp;
constexpr int kKr = EncodingConvert::kIso2022Kr;
constexpr int kUtf7 = EncodingConvert::kUtf7;
constexpr int kUtf32Le = EncodingConvert::kUtf32Le;
constexpr int kUtf32Be = EncodingConvert::kUtf32Be;

// ---- conversions with the default action (drop) ---------------------------

struct ConvertCase {
    const char* name;
    int from;
    int to;
    std::string in;       // hex
    std::string out;      // hex
    bool ok;
};

void PrintTo(const ConvertCase& c, std::ostream* os)
{
    *os << c.name << ": " << c.from << " -> " << c.to << ", [" << c.in << "] -> [" << c.out << "]"
        << (c.ok ? ", converts" : ", fails");
}

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
    {"Windows1252VendorGapsReadAsC1Controls", k1252, kUtf8, "81 8D 8F 90 9D", "C2 81 C2 8D C2 8F C2 90 C2 9D", true},
    {"Windows1252C1ControlsWrittenBack", kUtf8, k1252, "C2 81 C2 9D C2 85", "81 9D", false},
    {"Windows1253UndefinedBytes", k1253, kUtf8, "41 AA D2 FF 42", "41 42", false},
    {"Windows1252FromUtf16", kLe, k1252, "AC 20 78 01 00 00", "80 9F 00", true},
    {"Windows1252ToLatin1", k1252, kLatin1, "E9 80", "E9", false},
    {"Latin1ToWindows1252C1Control", kLatin1, k1252, "41 85", "41", false},
    {"Latin1ToUtf16", kLatin1, kLe, "00 7F 80 FF", "00 00 7F 00 80 00 FF 00", true},
    {"AsciiHighBytesUnmapped", kAscii, kUtf8, "41 80 FF 42", "41 42", false},
    {"Utf8ToAsciiDropsNonAscii", kUtf8, kAscii, "61 C3 A9 62", "61 62", false},
};

INSTANTIATE_TEST_SUITE_P(Cases, EncodingConvertCaseTest, testing::ValuesIn(kConvertCases), ByCaseName());

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

void PrintTo(const ActionCase& c, std::ostream* os)
{
    *os << c.name << ": action " << c.action << (c.mark ? " marked" : "") << ", " << c.from << " -> " << c.to << ", ["
        << HexText(c.in) << "] -> [" << HexText(c.out) << "]";
}

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
    {"DropEncodeError", EncodingConvert::kDrop, true, kUtf8, k1252, Concat({Text("a"), kOmega, Text("b")}),
     Text("ab")},
    {"SubstituteEncodeError", EncodingConvert::kSubstitute, false, kUtf8, k1252,
     Concat({Text("a"), kOmega, Text("b")}), Text("a?b")},
    {"SubstituteMarked", EncodingConvert::kSubstitute, true, kUtf8, k1252, Concat({Text("a"), kOmega}),
     Concat({Text("a"), kMark, Hex("01"), Text("?")})},
    {"SubstituteDecodeError", EncodingConvert::kSubstitute, false, k1253, kUtf8, Hex("61 AA 62"), Text("a?b")},
    {"HexEntityEncodeError", EncodingConvert::kHexEntity, false, kUtf8, k1252,
     Concat({Text("a"), kOmega, Text("b")}), Text("a&#x3A9;b")},
    {"HexEntityMarked", EncodingConvert::kHexEntity, true, kUtf8, k1252, kOmega,
     Concat({kMark, Hex("05"), Text("&#x3A9;")})},
    {"HexEntityOfFourByteSequence", EncodingConvert::kHexEntity, false, kUtf8, k1252, Hex("F0 9F 98 80"),
     Text("&#x1F600;")},
    {"HexEntityOfBadByte", EncodingConvert::kHexEntity, false, k1253, kUtf8, Hex("AA"), Text("&#xAA;")},
    {"HexEntityWrittenInTargetEncoding", EncodingConvert::kHexEntity, false, k1253, kLe, Hex("AA"),
     Hex("26 00 23 00 78 00 41 00 41 00 3B 00")},
    {"HexEntityOfSurrogatePairIsOneCharacter", EncodingConvert::kHexEntity, false, kLe, k1252, Hex("3D D8 00 DE"),
     Text("&#x1F600;")},
    {"CopyByteDecodeError", EncodingConvert::kCopyByte, false, k1253, kUtf8, Hex("61 AA 62"), Hex("61 AA 62")},
    {"CopyByteMarked", EncodingConvert::kCopyByte, true, k1253, kUtf8, Hex("AA"), Concat({kMark, Hex("01 AA")})},
    {"CopyBrokenShiftJisPair", EncodingConvert::kCopyByte, false, kSjis, kUtf8, Hex("81 AD 41"), Hex("81 AD 41")},
    {"CopyByteFourByteSequence", EncodingConvert::kCopyByte, false, kUtf8, k1252, Hex("F0 9F 98 80"),
     Hex("F0 9F 98 80")},
    {"CopyByteHasNothingToCopyForEncodeError", EncodingConvert::kCopyByte, true, kUtf8, k1252, kOmega, Bytes{}},
    // altCodePage 0: the target of the whole conversion, which could not hold it either
    {"AltCodePageZeroIsTheTarget", EncodingConvert::kAltCodePage, true, kUtf8, k1252, kOmega, Bytes{}},
    {"AltCodePageZeroKeepsFourByteSequenceInUtf16", EncodingConvert::kAltCodePage, false, kUtf8, kLe,
     Hex("41 F0 9F 98 80"), Hex("41 00 3D D8 00 DE")},
    {"AltCodePageUndecodableByteDropped", EncodingConvert::kAltCodePage, false, k1253, kUtf8, Hex("61 AA"), Text("a")},
};

INSTANTIATE_TEST_SUITE_P(Cases, EncodingConvertActionTest, testing::ValuesIn(kActionCases), ByCaseName());

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
    Result r = ConvertBytes(convert, kUtf8, k1252, Concat({Text("a"), kOmega}));
    EXPECT_EQ(r.bytes, Text("a"));
    EXPECT_FALSE(r.ok);
}

TEST(EncodingConvertTest, AltCodePageConvertsTheCharacterAlone)
{
    struct Case {
        int altCodePage;
        Bytes out;
    };
    const Case kCases[] = {
        {1253, Hex("61 D9 62")},      // omega in Greek, between the windows-1252 letters
        {kUtf8, Hex("61 CE A9 62")},
        {kJis, Concat({Text("a\033$B"), Hex("26 38"), Text("\033(Bb")})},   // with its own escapes
        {54936, Text("ab")},         // unsupported: dropped
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.altCodePage);
        EncodingConvert convert;
        convert.errorAction = EncodingConvert::kAltCodePage;
        convert.altCodePage = c.altCodePage;
        Result r = ConvertBytes(convert, kUtf8, k1252, Concat({Text("a"), kOmega, Text("b")}));
        EXPECT_EQ(r.bytes, c.out);
        EXPECT_FALSE(r.ok);
    }
}

// ---- stateful forms and table pages --------------------------------------------

struct FormCase {
    const char* name;
    int from;
    int to;
    Bytes in;
    Bytes out;
    bool ok;
};

void PrintTo(const FormCase& c, std::ostream* os)
{
    *os << c.name << ": " << c.from << " -> " << c.to << ", [" << HexText(c.in) << "] -> [" << HexText(c.out) << "]"
        << (c.ok ? ", converts" : ", fails");
}

class EncodingConvertFormTest : public testing::TestWithParam<FormCase> {};

TEST_P(EncodingConvertFormTest, ConvertsBytes)
{
    const FormCase& c = GetParam();
    Result r = ConvertBytes(c.from, c.to, c.in);
    EXPECT_EQ(r.bytes, c.out);
    EXPECT_EQ(r.ok, c.ok);
}


const FormCase kTablePageCases[] = {
    {"Windows1251", kUtf8, 1251, Text("Привет"), Hex("CF F0 E8 E2 E5 F2"), true},
    {"Koi8R", 20866, kUtf8, Hex("F0 D2 C9 D7 C5 D4"), Text("Привет"), true},
    {"Ebcdic37", kUtf8, 37, Text("Hello"), Hex("C8 85 93 93 96"), true},
    {"Greek1253", kUtf8, k1253, Text("Ωμέγα"), Hex("D9 EC DD E3 E1"), true},
    {"ShiftJis", kUtf8, kSjis, Text("日本ｶA"), Hex("93 FA 96 7B B6 41"), true},
    {"ShiftJisToUtf8", kSjis, kUtf8, Hex("93 FA 96 7B B6 41"), Text("日本ｶA"), true},
    {"Gbk936", kUtf8, 936, Text("中文"), Hex("D6 D0 CE C4"), true},
    {"Korean949", kKorean, kUtf8, Hex("C7 D1 B1 B9"), Text("한국"), true},
    {"Big5950", kUtf8, 950, Text("中文"), Hex("A4 A4 A4 E5"), true},
    {"EucJp51932", 51932, kUtf8, Hex("C6 FC CB DC"), Text("日本"), true},
    {"ShiftJisLeadAtEnd", kSjis, kUtf8, Hex("41 93"), Text("A"), false},
    // an unmapped pair whose second byte is ASCII gives that byte back
    {"ShiftJisBrokenPairKeepsAscii", kSjis, kUtf8, Hex("82 41 42"), Text("AB"), false},
    {"ShiftJisUnmappedPairDropped", kSjis, kUtf8, Hex("81 AD 42"), Text("B"), false},
    {"NotInShiftJis", kUtf8, kSjis, Text("aéb"), Text("ab"), false},
};

INSTANTIATE_TEST_SUITE_P(TablePages, EncodingConvertFormTest, testing::ValuesIn(kTablePageCases), ByCaseName());

// Mac Arabic input is fixed up first: right-to-left runs are reversed and
// digits and punctuation folded to ASCII.
const FormCase kMacArabicCases[] = {
    // alef beh, a space, Arabic-Indic 1 2, then beh, right-to-left space, alef, right-to-left full stop
    {"RunsReversedDigitsKeptInOrder", EncodingConvert::kMacArabic, kLe, Hex("41 C7 C8 20 B1 B2 AE C7 A0 C8"),
     Hex("41 00 28 06 27 06 20 00 31 00 32 00 28 06 20 00 27 06 2E 00"), true},
    {"SingleLetterStays", EncodingConvert::kMacArabic, kLe, Hex("41 C7 42"), Hex("41 00 27 06 42 00"), true},
    {"OnlyTheSourceIsFixedUp", kLe, EncodingConvert::kMacArabic, Hex("28 06 27 06"), Hex("C8 C7"), true},
};

INSTANTIATE_TEST_SUITE_P(MacArabic, EncodingConvertFormTest, testing::ValuesIn(kMacArabicCases), ByCaseName());

const Bytes kNihonJis = Hex("46 7C 4B 5C");   // 日本 in JIS X 0208

const FormCase kIso2022JpCases[] = {
    {"Encode", kUtf8, kJis, Text("日本A"), Concat({Text("\033$B"), kNihonJis, Text("\033(BA")}), true},
    {"EncodeEndsInAscii", kUtf8, kJis, Text("A日本"), Concat({Text("A\033$B"), kNihonJis, Text("\033(B")}), true},
    {"EncodeReturnsToAsciiBeforeLineEnd", kUtf8, kJis, Text("日\r\n日"),
     Concat({Text("\033$B"), Hex("46 7C"), Text("\033(B\r\n\033$B"), Hex("46 7C"), Text("\033(B")}), true},
    // half-width katakana become full-width, a sound mark merged where JIS has the combined kana
    {"HalfWidthKaVoicedIsGa", kSjis, kJis, Hex("B6 DE"), Concat({Text("\033$B"), Hex("25 2C"), Text("\033(B")}), true},
    {"HalfWidthHaSemiVoicedIsPa", kSjis, kJis, Hex("CA DF"), Concat({Text("\033$B"), Hex("25 51"), Text("\033(B")}),
     true},
    {"HalfWidthUVoicedIsVu", kSjis, kJis, Hex("B3 DE"), Concat({Text("\033$B"), Hex("25 74"), Text("\033(B")}), true},
    {"NoCombinedKanaKeepsTheMark", kSjis, kJis, Hex("B1 DE CA DE DE"),
     Concat({Text("\033$B"), Hex("25 22 21 2B 25 50 21 2B"), Text("\033(B")}), true},
    {"HalfWidthFromUnicode", kUtf8, kJis, Text("ｶﾞｷ"), Concat({Text("\033$B"), Hex("25 2C 25 2D"), Text("\033(B")}),
     true},
    {"IbmExtensionHasNoJisForm", kUtf8, kJis, Text("aⅰb"), Text("ab"), false},
    {"NecRow13IsWritten", kUtf8, kJis, Text("①"), Concat({Text("\033$B"), Hex("2D 21"), Text("\033(B")}), true},
    // ESC, SO and SI in the text would switch the reader's state: no form
    {"ControlFunctionsHaveNoForm", kUtf8, kJis, Text("a\033(Ib\016c\017d"), Text("a(Ibcd"), false},
    {"Decode", kJis, kUtf8, Concat({Text("\033$B"), kNihonJis, Text("\033(BA")}), Text("日本A"), true},
    {"DecodeLongJisDesignation", kJis, kUtf8, Concat({Text("\033$(B"), kNihonJis}), Text("日本"), true},
    {"DecodeOldJisDesignation", kJis, kUtf8, Concat({Text("\033$@"), kNihonJis, Text("\033(J~")}), Text("日本~"), true},
    {"DecodeLineEndEndsTwoByteMode", kJis, kUtf8, Concat({Text("\033$B"), Hex("46 7C"), Text("\nF|")}),
     Text("日\nF|"), true},
    {"DecodeHalfWidthKatakanaSet", 50221, kUtf8, Text("\033(I6^\033(BA"), Text("ｶﾞA"), true},
    {"DecodeShiftOutKatakana", 50222, kUtf8, Text("\0166\017A"), Text("ｶA"), true},
    {"DecodeUnknownEscapeSkipped", kJis, kUtf8, Text("a\033.Ab"), Text("ab"), true},
    {"DecodeJisX0212Dropped", kJis, kUtf8, Text("\033$(D0!\033(BA"), Text("A"), false},
    {"DecodeHalfPairAtEnd", kJis, kUtf8, Text("\033$BF"), Bytes{}, false},
    {"DecodeToShiftJis", kJis, kSjis, Concat({Text("\033$B"), kNihonJis, Hex("25 2C")}), Hex("93 FA 96 7B 83 4B"),
     true},
    {"Jis50220To50222", kJis, 50222, Concat({Text("\033$B"), kNihonJis}),
     Concat({Text("\033$B"), kNihonJis, Text("\033(B")}), true},
};

INSTANTIATE_TEST_SUITE_P(Iso2022Jp, EncodingConvertFormTest, testing::ValuesIn(kIso2022JpCases), ByCaseName());

const Bytes kHangukKs = Hex("47 51 31 39");   // 한국 in KS X 1001, top bits cleared

const FormCase kIso2022KrCases[] = {
    {"DesignatorThenAsciiLines", kKr, kUtf8, Text("\033$)Cline one\r\nline two\r\n"),
     Text("line one\r\nline two\r\n"), true},
    {"Decode", kKr, kUtf8, Concat({Text("\033$)C\016"), kHangukKs, Text("\017A")}), Text("한국A"), true},
    {"DecodeLineEndEndsShift", kKr, kUtf8, Concat({Text("\033$)C\016"), Hex("47 51"), Text("\nGQ")}),
     Text("한\nGQ"), true},
    {"DecodeHalfCharacter", kKr, kUtf8, Text("\033$)C\016G"), Bytes{}, false},
    {"DecodeToKorean", kKr, kKorean, Concat({Text("\033$)C\016"), kHangukKs}), Hex("C7 D1 B1 B9"), true},
    {"Encode", kUtf8, kKr, Text("한국A"), Concat({Text("\033$)C\016"), kHangukKs, Text("\017A")}), true},
    {"EncodeEndsShiftedIn", kUtf8, kKr, Text("A한국"), Concat({Text("\033$)CA\016"), kHangukKs, Text("\017")}),
     true},
    // U+AC02 is in code page 949's extended Hangul, outside KS X 1001
    {"ExtendedHangulHasNo7BitForm", kUtf8, kKr, Text("a갂b"), Text("\033$)Cab"), false},
    {"ControlFunctionsHaveNoForm", kUtf8, kKr, Text("a\016GQ\017\033b"), Text("\033$)CaGQb"), false},
    {"EmptyStaysEmpty", kUtf8, kKr, Bytes{}, Bytes{}, true},
};

INSTANTIATE_TEST_SUITE_P(Iso2022Kr, EncodingConvertFormTest, testing::ValuesIn(kIso2022KrCases), ByCaseName());

const FormCase kUtf7Cases[] = {
    {"EncodeRfcExample", kUtf8, kUtf7, Text("Hi Mom -☺-!"), Text("Hi Mom -+Jjo--+ACE-"), true},
    {"EncodeRunEndsWithDash", kUtf8, kUtf7, Text("A≢Α."), Text("A+ImIDkQ-."), true},
    {"EncodePlus", kUtf8, kUtf7, Text("1+1"), Text("1+-1"), true},
    {"EncodeRunAtEnd", kUtf8, kUtf7, Text("日本語"), Text("+ZeVnLIqe-"), true},
    {"EncodeOptionalDirectCharacters", kUtf8, kUtf7, Text("~\\"), Text("+AH4AXA-"), true},
    {"EncodeSurrogatePair", kLe, kUtf7, Hex("3D D8 00 DE"), Text("+2D3eAA-"), true},
    {"EncodeDropsByteOrderMark", kLe, kUtf7, Hex("FF FE 41 00"), Text("A"), true},
    {"Decode", kUtf7, kUtf8, Text("Hi Mom -+Jjo--+ACE-"), Text("Hi Mom -☺-!"), true},
    {"DecodeRunEndedByOtherCharacter", kUtf7, kUtf8, Text("A+ImIDkQ."), Text("A≢Α."), true},
    {"DecodePlusDash", kUtf7, kUtf8, Text("1+-1"), Text("1+1"), true},
    {"DecodeToUtf16", kUtf7, kLe, Text("+2D3eAA-"), Hex("3D D8 00 DE"), true},
    {"DecodeEmptyRun", kUtf7, kUtf8, Text("a+!"), Text("a!"), false},
    {"DecodePlusAtEnd", kUtf7, kUtf8, Text("a+"), Text("a"), false},
    {"DecodeNonZeroLeftoverBits", kUtf7, kUtf8, Text("+AGF-b"), Text("ab"), false},
    {"DecodeEightBitByte", kUtf7, kUtf8, Hex("61 E9 62"), Text("ab"), false},
};

INSTANTIATE_TEST_SUITE_P(Utf7, EncodingConvertFormTest, testing::ValuesIn(kUtf7Cases), ByCaseName());

// UTF-32 is written from UTF-8 read whole: four-byte sequences and the
// surrogate pairs of UTF-16 both become one code point.
const FormCase kUtf32Cases[] = {
    {"FromUtf16Pair", kLe, kUtf32Le, Hex("41 00 3D D8 00 DE"), Hex("41 00 00 00 00 F6 01 00"), true},
    {"FromFourByteUtf8", kUtf8, kUtf32Be, Hex("F0 9F 98 80 41"), Hex("00 01 F6 00 00 00 00 41"), true},
    {"FromUtf8PairOfThreeByteSequences", kUtf8, kUtf32Le, Hex("ED A0 BD ED B8 80"), Hex("00 F6 01 00"), true},
    {"Utf8ByteOrderMarkDropped", kUtf8, kUtf32Le, Hex("EF BB BF 41"), Hex("41 00 00 00"), true},
    {"LoneSurrogateDropped", kLe, kUtf32Le, Hex("00 D8 41 00"), Hex("41 00 00 00"), false},
    {"BadUtf8Dropped", kUtf8, kUtf32Le, Hex("C0 41"), Hex("41 00 00 00"), false},
    {"FromWindows1252", k1252, kUtf32Be, Hex("80"), Hex("00 00 20 AC"), true},
    {"ToUtf16", kUtf32Le, kLe, Hex("00 F6 01 00 AC 20 00 00"), Hex("3D D8 00 DE AC 20"), true},
    {"LeByteOrderMarkDropped", kUtf32Le, kLe, Hex("FF FE 00 00 41 00 00 00"), Hex("41 00"), true},
    {"BeByteOrderMarkDropped", kUtf32Be, kLe, Hex("00 00 FE FF 00 00 00 41"), Hex("41 00"), true},
    {"LeToBe", kUtf32Le, kUtf32Be, Hex("00 F6 01 00"), Hex("00 01 F6 00"), true},
    // UTF-8 is written one code unit at a time
    {"ToUtf8", kUtf32Le, kUtf8, Hex("00 F6 01 00"), Hex("ED A0 BD ED B8 80"), true},
    {"InvalidCodePointsDropped", kUtf32Le, kLe, Hex("00 00 11 00 00 D8 00 00 41 00 00 00"), Hex("41 00"), false},
    {"PartialUnitDropped", kUtf32Le, kLe, Hex("41 00 00 00 42"), Hex("41 00"), false},
};

INSTANTIATE_TEST_SUITE_P(Utf32, EncodingConvertFormTest, testing::ValuesIn(kUtf32Cases), ByCaseName());

// Every half-width katakana byte becomes its full-width character.
TEST(EncodingConvertTest, Iso2022JpWritesEveryHalfWidthKanaFullWidth)
{
    for (int kana = 0xA1; kana <= 0xDF; ++kana) {
        SCOPED_TRACE(kana);
        Result jis = ConvertBytes(kSjis, kJis, Bytes{static_cast<uint8_t>(kana)});
        ASSERT_TRUE(jis.ok);
        Result utf16 = ConvertBytes(kJis, kLe, jis.bytes);
        ASSERT_TRUE(utf16.ok);
        ASSERT_EQ(utf16.bytes.size(), 2u);
        char16_t unit = static_cast<char16_t>(utf16.bytes[0] | utf16.bytes[1] << 8);
        static const std::u16string kFullWidth =
            u"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
            u"ハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
        EXPECT_EQ(unit, kFullWidth[static_cast<size_t>(kana - 0xA1)]);
    }
}

TEST(EncodingConvertTest, Utf7RoundTripsEveryKindOfUnit)
{
    Bytes utf16;
    for (unsigned unit : {0x41u, 0x2Bu, 0x2Du, 0x7Eu, 0x00u, 0xE9u, 0x20ACu, 0xD83Du, 0xDE00u, 0xFFFDu, 0x0Au, 0x21u}) {
        utf16.push_back(static_cast<uint8_t>(unit & 0xFF));
        utf16.push_back(static_cast<uint8_t>(unit >> 8));
    }
    // Every split of the units into runs: each prefix alone and the rest after it.
    for (size_t length = 2; length <= utf16.size(); length += 2) {
        Bytes part(utf16.begin(), utf16.begin() + static_cast<std::ptrdiff_t>(length));
        Result utf7 = ConvertBytes(kLe, kUtf7, part);
        ASSERT_TRUE(utf7.ok);
        for (uint8_t b : utf7.bytes)
            EXPECT_LT(b, 0x80);
        Result back = ConvertBytes(kUtf7, kLe, utf7.bytes);
        EXPECT_TRUE(back.ok);
        EXPECT_EQ(back.bytes, part);
    }
}

// Bytes of a page -> UTF-16 -> the page -> UTF-16 gives the same UTF-16.
void ExpectStableRoundTrip(int page, const Bytes& bytes)
{
    Result utf16 = ConvertBytes(page, kLe, bytes);
    EXPECT_TRUE(utf16.ok);
    Result back = ConvertBytes(kLe, page, utf16.bytes);
    EXPECT_TRUE(back.ok);
    Result again = ConvertBytes(page, kLe, back.bytes);
    EXPECT_EQ(again.bytes, utf16.bytes);
}

// Every byte a single-byte page reads, and every sequence a double-byte
// page reads, converts to UTF-16 and back to text that reads the same
// (a character with two sequences comes back as its written one).
TEST(EncodingConvertTest, TablePagesRoundTripThroughUtf16)
{
    LogNull log;
    for (int page : CodePageTables::SingleBytePages()) {
        if (page == EncodingConvert::kMacArabic)
            continue;   // its input is reordered, so its bytes do not come back as they went
        SCOPED_TRACE(page);
        const CodePageTables::SingleByteTable* table = CodePageTables::SingleByte(page, log);
        ASSERT_NE(table, nullptr);
        Bytes all;
        for (int b = 0; b < 256; ++b)
            if (table->toUnicode.IsMapped(static_cast<uint8_t>(b)))
                all.push_back(static_cast<uint8_t>(b));
        ExpectStableRoundTrip(page, all);
    }
    for (int page : CodePageTables::DoubleBytePages()) {
        SCOPED_TRACE(page);
        const HashConvert* table = CodePageTables::DoubleByte(page, log);
        ASSERT_NE(table, nullptr);
        Bytes all;
        char16_t unit;
        for (unsigned code = 0; code < 0xFFFF; ++code) {
            if (!table->ToUnicode(static_cast<uint16_t>(code), unit))
                continue;
            if (code > 0xFF)
                all.push_back(static_cast<uint8_t>(code >> 8));
            all.push_back(static_cast<uint8_t>(code));
        }
        ExpectStableRoundTrip(page, all);
    }
}

// Text that has a form in the page comes back byte for byte.
TEST(EncodingConvertTest, TextRoundTripsThroughPages)
{
    struct Case {
        int page;
        const char* text;
    };
    const Case kCases[] = {
        {1250, "Příliš žluťoučký kůň"}, {1251, "Съешь же ещё этих мягких булок"}, {1253, "Ξεσκεπάζω την ψυχοφθόρα"},
        {28597, "Ξεσκεπάζω"}, {866, "Съешь же"}, {437, "Ça coûte ½ £"}, {10000, "Café ƒ ≠ ∞"},
        {932, "いろはにほへと　ちりぬるを ｶﾀｶﾅ 漢字 ①"}, {936, "我能吞下玻璃而不伤身体"}, {949, "다람쥐 헌 쳇바퀴에 타고파"},
        {950, "我能吞下玻璃而不傷身體"}, {51932, "いろはにほへと 漢字"}, {1361, "다람쥐 헌 쳇바퀴"}, {10001, "いろは 漢字"},
        {kJis, "いろはにほへと 漢字 ＡＢ ｶﾞ"}, {kKr, "다람쥐 헌 쳇바퀴에 타고파\nline"}, {kUtf7, "a+b ☺ 日本 ~!"},
        {kUtf32Be, "a é 日本"}, {EncodingConvert::kUtf16Be, "a 日本"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.page);
        Result there = ConvertBytes(kUtf8, c.page, Text(c.text));
        ASSERT_TRUE(there.ok);
        Result back = ConvertBytes(c.page, kUtf8, there.bytes);
        EXPECT_TRUE(back.ok);
        // Half-width katakana come back full-width from ISO-2022-JP.
        Bytes expected = c.page == kJis ? Text("いろはにほへと 漢字 ＡＢ ガ") : Text(c.text);
        EXPECT_EQ(back.bytes, expected);
    }
}

TEST(EncodingConvertTest, ConvertByNameResolvesBothNames)
{
    EncodingConvert convert;
    DataBuffer out;
    Logger log;
    EXPECT_TRUE(convert.ConvertByName(" Shift_JIS ", "UTF-8", "\x93\xFA", 2, out, log));
    EXPECT_EQ(Of(out), Text("日"));
    EXPECT_EQ(convert.FromCodePage(), kSjis);
    EXPECT_EQ(convert.ToCodePage(), kUtf8);

    out.Clear();
    EXPECT_FALSE(convert.ConvertByName("utf-8", "klingon", "abc", 3, out, log));
    EXPECT_FALSE(convert.ConvertByName(nullptr, "utf-8", "abc", 3, out, log));
    EXPECT_TRUE(out.IsEmpty());
    StringBuffer text;
    log.GetText(text);
    EXPECT_TRUE(text.Contains("Unknown charset")) << text.GetString();
    EXPECT_TRUE(text.Contains("klingon")) << text.GetString();
}

// ---- unsupported code pages -----------------------------------------------

// Code pages with a name but neither a table nor an algorithm, and one with
// neither, on either side, also behind the stateful forms.
TEST(EncodingConvertTest, UnsupportedCodePageFailsWithLogAndNoOutput)
{
    const std::pair<int, int> kPairs[] = {{12345, kUtf8}, {kUtf8, 12345}, {54936, kUtf8}, {kUtf8, 20000},
                                          {kJis, 50227}, {52936, kUtf7}};
    for (auto [from, to] : kPairs) {
        SCOPED_TRACE(testing::Message() << from << " -> " << to);
        EXPECT_FALSE(EncodingConvert::IsSupported(from) && EncodingConvert::IsSupported(to));
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
        EXPECT_TRUE(text.Contains(std::to_string(from == kUtf8 || from == kJis ? to : from).c_str())) << text.GetString();
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

// A surrogate pair lying across the boundary of two slices is still one
// character to the error action.
TEST(EncodingConvertTest, SurrogatePairAcrossSlicesIsOneCharacter)
{
    for (size_t before = 4090; before <= 4100; ++before) {
        SCOPED_TRACE(before);
        Bytes utf16;
        for (size_t i = 0; i < before; ++i)
            utf16.insert(utf16.end(), {'a', 0});
        Bytes pair = Hex("3D D8 00 DE 62 00");
        utf16.insert(utf16.end(), pair.begin(), pair.end());
        EncodingConvert convert;
        convert.errorAction = EncodingConvert::kHexEntity;
        Result r = ConvertBytes(convert, kLe, k1252, utf16);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.bytes, Concat({Bytes(before, 'a'), Text("&#x1F600;b")}));
    }
}

// ---- 7-bit runs around other characters ---------------------------------------

// Runs of 7-bit text are converted many bytes at a time; the characters
// after a run, or between two, must convert as they do on their own. Each
// case puts its characters after runs of every length up to two 16-byte
// blocks and across the end of a 4096-unit slice, before runs of lengths
// around 8 and 16. The runs must come out as their letters converted one at a
// time (too short for any block), the characters as the case says, with
// errors marked.
struct RunCase {
    const char* name;
    int from;
    int to;
    int action;
    Bytes middle;      // source bytes between the runs (empty: runs alone)
    Bytes middleOut;   // what they convert to
    bool ok;
};

void PrintTo(const RunCase& c, std::ostream* os)
{
    *os << c.name << ": " << c.from << " -> " << c.to << ", action " << c.action << ", [" << HexText(c.middle)
        << "] -> [" << HexText(c.middleOut) << "]";
}

class EncodingConvertRunTest : public testing::TestWithParam<RunCase> {};

// A 7-bit character in the source's form.
Bytes SourceAscii(int codePage, char c)
{
    if (codePage == kLe)
        return Bytes{static_cast<uint8_t>(c), 0};
    if (codePage == kBe)
        return Bytes{0, static_cast<uint8_t>(c)};
    return Bytes{static_cast<uint8_t>(c)};
}

TEST_P(EncodingConvertRunTest, ConvertsRunsAndCharactersAsOnTheirOwn)
{
    const RunCase& c = GetParam();
    EncodingConvert convert;
    convert.errorAction = c.action;
    convert.markErrors = true;
    ASSERT_TRUE(convert.SetSubstitute("?", 1));
    std::vector<Bytes> sourceLetters, letters;   // the runs cycle through the alphabet
    for (char l = 'a'; l <= 'z'; ++l) {
        sourceLetters.push_back(SourceAscii(c.from, l));
        Result r = ConvertBytes(convert, c.from, c.to, sourceLetters.back());
        ASSERT_TRUE(r.ok);
        letters.push_back(r.bytes);
    }
    std::vector<size_t> before;
    for (size_t n = 0; n <= 40; ++n)
        before.push_back(n);
    for (size_t n = 4085; n <= 4100; ++n)
        before.push_back(n);
    for (size_t runBefore : before) {
        for (size_t runAfter : {0, 1, 7, 8, 9, 15, 16, 17}) {
            Bytes in, expected;
            auto addRun = [&](size_t length) {
                for (size_t i = 0; i < length; ++i) {
                    const Bytes& letter = sourceLetters[i % 26];
                    in.insert(in.end(), letter.begin(), letter.end());
                    expected.insert(expected.end(), letters[i % 26].begin(), letters[i % 26].end());
                }
            };
            addRun(runBefore);
            in.insert(in.end(), c.middle.begin(), c.middle.end());
            expected.insert(expected.end(), c.middleOut.begin(), c.middleOut.end());
            addRun(runAfter);
            SCOPED_TRACE(testing::Message() << "runs " << runBefore << " and " << runAfter);
            Result whole = ConvertBytes(convert, c.from, c.to, in);
            if (whole.bytes != expected) {   // the hex text only for a failure: it is most of the time
                ASSERT_EQ(HexText(whole.bytes), HexText(expected));
            }
            ASSERT_EQ(whole.ok, c.ok);
        }
    }
}

constexpr int kDrop = EncodingConvert::kDrop;
constexpr int kSubstitute = EncodingConvert::kSubstitute;
constexpr int kHexEntity = EncodingConvert::kHexEntity;
constexpr int kCopyByte = EncodingConvert::kCopyByte;

const RunCase kRunCases[] = {
    {"RunsAlone", kUtf8, k1252, kDrop, Bytes{}, Bytes{}, true},
    {"Utf8ToWindows1252", kUtf8, k1252, kDrop, Text("é€"), Hex("E9 80"), true},
    {"Utf8ToWindows1252Unmappable", kUtf8, k1252, kHexEntity, Text("Ωé"),
     Concat({kMark, Hex("05"), Text("&#x3A9;"), Hex("E9")}), false},
    {"Utf8ToWindows1252BadByte", kUtf8, k1252, kSubstitute, Hex("FF"), Concat({kMark, Hex("01"), Text("?")}), false},
    {"Utf8ToWindows1252Truncated", kUtf8, k1252, kCopyByte, Hex("E2 82"),
     Concat({kMark, Hex("01 E2"), kMark, Hex("01 82")}), false},
    {"Utf8ToAscii", kUtf8, kAscii, kDrop, Text("é"), Bytes{}, false},
    {"Utf8ToEbcdic", kUtf8, 37, kDrop, Text("é"), Hex("51"), true},
    {"Utf8ToShiftJis", kUtf8, kSjis, kDrop, Text("日本ｶ"), Hex("93 FA 96 7B B6"), true},
    {"Utf8ToShiftJisSurrogatePair", kUtf8, kSjis, kHexEntity, Hex("ED A0 BD ED B8 80"),
     Concat({kMark, Hex("05"), Text("&#x1F600;")}), false},
    {"Utf8ToShiftJisLeadE0", kUtf8, kSjis, kHexEntity, Hex("E0 A0 80"), Concat({kMark, Hex("05"), Text("&#x800;")}),
     false},
    {"Utf8ToShiftJisOverlongE0", kUtf8, kSjis, kSubstitute, Hex("E0 80 80"),
     Concat({kMark, Hex("01"), Text("?"), kMark, Hex("01"), Text("?"), kMark, Hex("01"), Text("?")}), false},
    {"Utf8ToShiftJisFourByte", kUtf8, kSjis, kCopyByte, Hex("F0 9F 98 80"), Concat({kMark, Hex("01 F0 9F 98 80")}),
     false},
    {"Utf8ToKoreanLeadED", kUtf8, kKorean, kDrop, Text("한국"), Hex("C7 D1 B1 B9"), true},
    {"Utf8ToUtf16Le", kUtf8, kLe, kDrop, Text("日é"), Hex("E5 65 E9 00"), true},
    {"Utf8ToUtf16Be", kUtf8, kBe, kDrop, Text("é"), Hex("00 E9"), true},
    {"Windows1252ToUtf8", k1252, kUtf8, kDrop, Hex("80 E9"), Text("€é"), true},
    {"Windows1252ToUtf16Le", k1252, kLe, kDrop, Hex("80"), Hex("AC 20"), true},
    {"EbcdicToUtf8", 37, kUtf8, kDrop, Hex("51 C8"), Text("éH"), true},
    {"EbcdicToUtf16Le", 37, kLe, kDrop, Hex("51"), Hex("E9 00"), true},
    {"Greek1253UndefinedToUtf8", k1253, kUtf8, kSubstitute, Hex("AA D9"), Concat({kMark, Hex("01"), Text("?Ω")}),
     false},
    {"ShiftJisToUtf8", kSjis, kUtf8, kDrop, Hex("93 FA B6"), Text("日ｶ"), true},
    {"ShiftJisBrokenPairToUtf8", kSjis, kUtf8, kCopyByte, Hex("81 AD"), Concat({kMark, Hex("01 81 AD")}), false},
    {"Utf16LeToWindows1252", kLe, k1252, kDrop, Hex("AC 20"), Hex("80"), true},
    {"Utf16LeToUtf8", kLe, kUtf8, kDrop, Hex("3D D8 00 DE"), Hex("ED A0 BD ED B8 80"), true},
};

INSTANTIATE_TEST_SUITE_P(Cases, EncodingConvertRunTest, testing::ValuesIn(kRunCases), ByCaseName());

TEST(EncodingConvertTest, Windows1252RoundTripsEveryByte)
{
    Bytes all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<uint8_t>(b));
    Result utf8 = ConvertBytes(k1252, kUtf8, all);
    ASSERT_TRUE(utf8.ok);
    Result back = ConvertBytes(kUtf8, k1252, utf8.bytes);
    EXPECT_TRUE(back.ok);
    EXPECT_EQ(back.bytes, all);
}

} // namespace
} // namespace plentor

#include "text/CodePageTables.h"

#include "base/LogNull.h"
#include "text/CompressedContainer.h"
#include "text/ContentCoding.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#if __has_include(<iconv.h>)
#include <iconv.h>
#define PLENTOR_HAVE_ICONV 1
#endif

namespace plentor {
namespace {

const std::vector<int> kSingleBytePages = {
    28591, 28592, 28593, 28594, 28595, 28596, 28597, 28598, 28599, 28603, 28605,
    1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258,
    37, 437, 500, 708, 720, 737, 775, 850, 852, 855, 857, 858, 860, 861, 862, 863, 864,
    865, 866, 869, 870, 874, 875, 1026, 1047,
    1140, 1141, 1142, 1143, 1144, 1145, 1146, 1147, 1148, 1149,
    10000, 10004, 10005, 10006, 10007, 10010, 10017, 10021, 10029, 10079, 10081, 10082,
    20105, 20106, 20107, 20108, 20127, 20261, 20269, 20273, 20277, 20278, 20280, 20284,
    20285, 20290, 20297, 20420, 20423, 20424, 20838, 20866, 20871, 20880, 20905, 20924,
    21025, 21866, 38598};

const std::vector<int> kDoubleBytePages = {932, 936, 949, 950, 51932, 51936, 51949, 1361, 10001};

// Reads a code of one or two bytes as it is written: lead byte first.
[[maybe_unused]] std::vector<uint8_t> BytesOf(uint32_t code)
{
    if (code > 0xFF)
        return {uint8_t(code >> 8), uint8_t(code)};
    return {uint8_t(code)};
}

TEST(CodePageTablesTest, ThreadsRacingForANewPageGetOneTable)
{
    // 21025 is not touched before this test in this file.
    LogNull log;
    const CodePageTables::SingleByteTable* seen[4] = {};
    std::vector<std::thread> threads;
    for (auto& slot : seen)
        threads.emplace_back([&slot, &log] { slot = CodePageTables::SingleByte(21025, log); });
    for (auto& t : threads)
        t.join();
    ASSERT_NE(seen[0], nullptr);
    for (auto* table : seen)
        EXPECT_EQ(table, seen[0]);
}

TEST(CodePageTablesTest, EveryListedCodePageHasATable)
{
    LogNull log;
    for (int cp : kSingleBytePages) {
        SCOPED_TRACE(cp);
        EXPECT_TRUE(CodePageTables::IsSingleBytePage(cp));
        EXPECT_FALSE(CodePageTables::IsDoubleBytePage(cp));
        const auto* table = CodePageTables::SingleByte(cp, log);
        ASSERT_NE(table, nullptr);
        // Every page reads at least the 7-bit range or its EBCDIC equivalent.
        EXPECT_GE(table->toUnicode.Count(), 128u);
    }
    for (int cp : kDoubleBytePages) {
        SCOPED_TRACE(cp);
        EXPECT_TRUE(CodePageTables::IsDoubleBytePage(cp));
        const HashConvert* table = CodePageTables::DoubleByte(cp, log);
        ASSERT_NE(table, nullptr);
        EXPECT_GT(table->SequenceCount(), 7000u);
    }
    std::vector<int> single = CodePageTables::SingleBytePages();
    std::vector<int> dbcs = CodePageTables::DoubleBytePages();
    EXPECT_EQ(std::set<int>(single.begin(), single.end()),
              std::set<int>(kSingleBytePages.begin(), kSingleBytePages.end()));
    EXPECT_EQ(single.size(), kSingleBytePages.size());
    EXPECT_EQ(std::set<int>(dbcs.begin(), dbcs.end()),
              std::set<int>(kDoubleBytePages.begin(), kDoubleBytePages.end()));
}

TEST(CodePageTablesTest, PagesWithoutTablesGiveNull)
{
    LogNull log;
    for (int cp : {0, 65001, 1200, 50220, 936 + 1, -1}) {
        SCOPED_TRACE(cp);
        EXPECT_EQ(CodePageTables::SingleByte(cp, log), nullptr);
        EXPECT_EQ(CodePageTables::DoubleByte(cp, log), nullptr);
    }
    // The kinds do not mix.
    EXPECT_EQ(CodePageTables::SingleByte(932, log), nullptr);
    EXPECT_EQ(CodePageTables::DoubleByte(1252, log), nullptr);
}

// What a table must keep: every sequence written for a unit reads back as
// that unit, a lead byte never reads alone, and byte 0 reads as U+0000.
TEST(CodePageTablesTest, WrittenSequencesReadBack)
{
    LogNull log;
    for (int cp : kSingleBytePages) {
        SCOPED_TRACE(cp);
        const auto* table = CodePageTables::SingleByte(cp, log);
        ASSERT_NE(table, nullptr);
        EXPECT_TRUE(table->toUnicode.IsMapped(0));
        EXPECT_EQ(table->toUnicode.Unit(0), u'\0');
        for (unsigned b = 0; b < 256; ++b) {
            if (!table->toUnicode.IsMapped(uint8_t(b)))
                continue;
            uint16_t code = 0;
            ASSERT_TRUE(table->fromUnicode.FromUnicode(table->toUnicode.Unit(uint8_t(b)), code)) << b;
            ASSERT_LE(code, 0xFFu);
            EXPECT_EQ(table->toUnicode.Unit(uint8_t(code)), table->toUnicode.Unit(uint8_t(b)));
        }
    }
    for (int cp : kDoubleBytePages) {
        SCOPED_TRACE(cp);
        const HashConvert* table = CodePageTables::DoubleByte(cp, log);
        ASSERT_NE(table, nullptr);
        for (uint32_t code = 0; code < 0xFFFF; ++code) {
            char16_t unit;
            if (!table->ToUnicode(uint16_t(code), unit))
                continue;
            bool leadAsExpected = code <= 0xFF ? !table->IsLeadByte(uint8_t(code))
                                               : table->IsLeadByte(uint8_t(code >> 8));
            ASSERT_TRUE(leadAsExpected) << code;
            uint16_t written = 0;
            char16_t back = 0;
            ASSERT_TRUE(table->FromUnicode(unit, written)) << code;
            ASSERT_TRUE(table->ToUnicode(written, back));
            EXPECT_EQ(back, unit) << code;
        }
    }
}

// Values of the published mappings for pages that no converter on a test
// machine knows, and for the corrections the generator makes.
TEST(CodePageTablesTest, PublishedValuesOfPagesWithoutAnotherSource)
{
    struct Case {
        int cp;
        uint16_t code;
        char16_t unit;   // 0 with mapped false: the sequence is unmapped
        bool mapped;
    };
    const Case cases[] = {
        {708, 0xC1, 0x0621, true},     // ARABIC LETTER HAMZA, as ISO-8859-6
        {708, 0xA1, 0, false},
        {10005, 0xE0, 0x05D0, true},   // HEBREW LETTER ALEF
        {10005, 0xDE, 0x05B8, true},   // QAMATS with Apple's rendering hint dropped
        {10005, 0xC0, 0, false},       // a ligature sequence: no single unit
        {10005, 0x3C, 0x003C, true},   // "<" left-to-right; Apple repeats it at 0xBC right-to-left
        {10005, 0x7C, 0x007C, true},
        {10005, 0xBC, 0x003C, true},
        {10021, 0xA1, 0x0E01, true},   // THAI CHARACTER KO KAI
        {10021, 0x83, 0x0E48, true},   // MAI EK, hint dropped
        {20105, 0x24, 0x00A4, true},   // IRV 1983: CURRENCY SIGN
        {20105, 0x7E, 0x203E, true},   // OVERLINE
        {20924, 0x9F, 0x20AC, true},   // EURO SIGN where 1047 has CURRENCY SIGN
        {20838, 0xFE, 0, false},       // 838 has no euro
        {1252, 0x81, 0x0081, true},    // undefined in the vendor file, C1 on Windows
        {1252, 0x80, 0x20AC, true},
        {936, 0x80, 0x20AC, true},
        {936, 0xA1A4, 0x00B7, true},   // MIDDLE DOT, as Microsoft's table
        {950, 0xC6A1, 0xF6B1, true},   // user-defined row, private use
        {51932, 0xA4A2, 0x3042, true}, // HIRAGANA A
        {51932, 0x8EB1, 0xFF71, true}, // HALFWIDTH KATAKANA A
        {51932, 0xADA1, 0x2460, true}, // NEC row 13: CIRCLED DIGIT ONE
        {51936, 0xB0A1, 0x554A, true},
        {51936, 0x8140, 0, false},     // GBK outside the EUC range
        {51949, 0xB0A1, 0xAC00, true}, // HANGUL SYLLABLE GA
        {51949, 0x8141, 0, false},     // UHC outside the EUC range
        {10001, 0x82A0, 0x3042, true}, // HIRAGANA A
        {10001, 0x80, 0x005C, true},   // Mac Japanese backslash
        {10001, 0x5C, 0x00A5, true},   // YEN SIGN
        {10001, 0x815F, 0xFF3C, true},
    };
    LogNull log;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cp << " 0x" << std::hex << c.code);
        bool mapped;
        char16_t unit = 0;
        if (CodePageTables::IsSingleBytePage(c.cp)) {
            const auto* sb = CodePageTables::SingleByte(c.cp, log);
            ASSERT_NE(sb, nullptr);
            mapped = sb->toUnicode.IsMapped(uint8_t(c.code));
            unit = sb->toUnicode.Unit(uint8_t(c.code));
        } else {
            const HashConvert* db = CodePageTables::DoubleByte(c.cp, log);
            ASSERT_NE(db, nullptr);
            mapped = db->ToUnicode(c.code, unit);
        }
        EXPECT_EQ(mapped, c.mapped);
        if (c.mapped) {
            EXPECT_EQ(unsigned(unit), unsigned(c.unit));
        }
    }
}

TEST(CodePageTablesTest, StoredTextKinds)
{
    LogNull log;
    const char payload[] = "ar\x01\x00\x01\x41\x00";
    StringBuffer packed;
    ASSERT_TRUE(CompressedContainer::Pack(payload, sizeof payload - 1, packed, log));
    std::string compressed = "b" + std::string(packed.GetString());
    DataBuffer out;
    ASSERT_TRUE(CodePageTables::UnpackStoredText(compressed.data(), unsigned(compressed.size()), out, log));
    EXPECT_TRUE(out.Equals(payload, sizeof payload - 1));

    StringBuffer plain;
    ContentCoding::EncodeBase64(payload, sizeof payload - 1, plain);
    std::string uncompressed = "x" + std::string(plain.GetString());
    DataBuffer out2;
    ASSERT_TRUE(CodePageTables::UnpackStoredText(uncompressed.data(), unsigned(uncompressed.size()), out2, log));
    EXPECT_TRUE(out2.Equals(payload, sizeof payload - 1));

    // A damaged container and empty text fail instead of yielding data.
    std::string damaged = compressed.substr(0, compressed.size() / 2);
    DataBuffer out3;
    EXPECT_FALSE(CodePageTables::UnpackStoredText(damaged.data(), unsigned(damaged.size()), out3, log));
    EXPECT_FALSE(CodePageTables::UnpackStoredText("", 0, out3, log));
}

#ifdef PLENTOR_HAVE_ICONV

// ---------------------------------------------------------------------------
// Every table against glibc's iconv.

constexpr int64_t kUnmapped = -1;
constexpr int64_t kSequence = -2;   // iconv gives several units

// glibc's converter for one charset, one sequence or unit at a time.
class Iconv {
public:
    explicit Iconv(const char* charset)
        : read_(iconv_open("UTF-16LE", charset)), write_(iconv_open(charset, "UTF-16LE"))
    {
    }
    ~Iconv()
    {
        if (Ok()) {
            iconv_close(read_);
            iconv_close(write_);
        }
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool Ok() const { return read_ != kFailed && write_ != kFailed; }

    // The unit the bytes read as, kUnmapped, or kSequence.
    int64_t Read(const std::vector<uint8_t>& bytes)
    {
        std::vector<uint8_t> out;
        if (!Run(read_, bytes, out) || out.empty())
            return kUnmapped;
        if (out.size() != 2)
            return kSequence;
        return out[0] | (out[1] << 8);
    }

    // The bytes written for a unit as a big-endian number, or kUnmapped.
    int64_t Write(char16_t unit)
    {
        std::vector<uint8_t> in = {uint8_t(unit), uint8_t(unit >> 8)};
        std::vector<uint8_t> out;
        if (!Run(write_, in, out) || out.empty() || out.size() > 4)
            return kUnmapped;
        int64_t code = 0;
        for (uint8_t b : out)
            code = code << 8 | b;
        return code;
    }

private:
    static inline const iconv_t kFailed = reinterpret_cast<iconv_t>(-1);

    static bool Run(iconv_t cd, std::vector<uint8_t> in, std::vector<uint8_t>& out)
    {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[16];
        char* inPtr = reinterpret_cast<char*>(in.data());
        size_t inLeft = in.size();
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1) || inLeft != 0)
            return false;
        if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == size_t(-1))
            return false;
        out.assign(buffer, outPtr);
        return true;
    }

    iconv_t read_;
    iconv_t write_;
};

struct IconvName {
    int cp;
    const char* name;
};

// The pages glibc also knows. Not here: 720, 10004-10006, 10010, 10021,
// 10081, 10082, 20924, 10001 (glibc has no converter for them).
const IconvName kIconvNames[] = {
    {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"}, {28593, "ISO-8859-3"}, {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"}, {28596, "ISO-8859-6"}, {28597, "ISO-8859-7"}, {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"}, {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"},
    {1250, "CP1250"}, {1251, "CP1251"}, {1252, "CP1252"}, {1253, "CP1253"}, {1254, "CP1254"},
    {1255, "CP1255"}, {1256, "CP1256"}, {1257, "CP1257"}, {1258, "CP1258"},
    {37, "IBM037"}, {437, "IBM437"}, {500, "IBM500"}, {708, "ASMO-708"}, {737, "CP737"},
    {775, "CP775"}, {850, "IBM850"}, {852, "IBM852"}, {855, "IBM855"}, {857, "IBM857"},
    {858, "IBM858"}, {860, "IBM860"}, {861, "IBM861"}, {862, "IBM862"}, {863, "IBM863"},
    {864, "IBM864"}, {865, "IBM865"}, {866, "IBM866"}, {869, "IBM869"}, {870, "IBM870"},
    {874, "CP874"}, {875, "IBM875"}, {1026, "IBM1026"}, {1047, "IBM1047"},
    {1140, "IBM1140"}, {1141, "IBM1141"}, {1142, "IBM1142"}, {1143, "IBM1143"}, {1144, "IBM1144"},
    {1145, "IBM1145"}, {1146, "IBM1146"}, {1147, "IBM1147"}, {1148, "IBM1148"}, {1149, "IBM1149"},
    {10000, "MACINTOSH"}, {10007, "MACCYRILLIC"}, {10017, "MAC-UK"}, {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"}, {20105, "ISO_646.IRV:1991"}, {20106, "DIN_66003"}, {20107, "SEN_850200_B"},
    {20108, "NS_4551-1"}, {20127, "ANSI_X3.4-1968"}, {20261, "T.61-8BIT"}, {20269, "ISO_6937"},
    {20273, "IBM273"}, {20277, "IBM277"}, {20278, "IBM278"}, {20280, "IBM280"}, {20284, "IBM284"},
    {20285, "IBM285"}, {20290, "IBM290"}, {20297, "IBM297"}, {20420, "IBM420"}, {20423, "IBM423"},
    {20424, "IBM424"}, {20838, "IBM1160"}, {20866, "KOI8-R"}, {20871, "IBM871"}, {20880, "IBM880"},
    {20905, "IBM905"}, {21025, "IBM1025"}, {21866, "KOI8-U"}, {38598, "ISO-8859-8"},
    {932, "CP932"}, {936, "CP936"}, {949, "CP949"}, {950, "CP950"}, {51932, "EUC-JP-MS"},
    {51936, "EUC-CN"}, {51949, "EUC-KR"}, {1361, "JOHAB"},
};

enum class Direction { kRead, kWrite };

// A value range in a known difference: a unit, a written code, kUnmapped,
// or kSameAsKey (the unit equals the byte).
struct Span {
    int64_t lo, hi;
};
constexpr int64_t kSameAsKey = -3;
constexpr Span Is(int64_t v) { return {v, v}; }
constexpr Span In(int64_t lo, int64_t hi) { return {lo, hi}; }
constexpr Span kNone = {kUnmapped, kUnmapped};
constexpr Span kSame = {kSameAsKey, kSameAsKey};
constexpr Span kAnything = {kUnmapped, 0xFFFF};

struct KnownDifference {
    int cp;
    Direction dir;
    uint32_t keyLo, keyHi;   // the sequence (read) or the unit (write)
    Span ours, iconv;
    const char* reason;
};

constexpr const char* kC1 =
    "Windows reads the bytes that the vendor file leaves undefined in 0x80-0x9F as the C1 control "
    "of the same value; glibc leaves them undefined";
constexpr const char* kCp875 =
    "Microsoft's CP875 table: 0x6A VERTICAL LINE, 0x74 NO-BREAK SPACE, 0xDD GREEK ANO TELEIA and "
    "SUBSTITUTE for the unassigned bytes; glibc follows a later IBM revision";
constexpr const char* kCp1026 =
    "Microsoft's CP1026 table has CEDILLA at 0x9D and MACRON at 0xBC; glibc has OGONEK and EM DASH";
constexpr const char* kMacApple =
    "Apple's published table (INCREMENT, the Apple logo at U+F8FF, the euro of Mac OS 8.5 and "
    "later); glibc follows an older Mac table";
constexpr const char* kMacIceland =
    "Apple's ICELAND.TXT; glibc's MAC-IS follows an older Icelandic layout";
constexpr const char* kIrv =
    "IA5 IRV is the 1983 reference version (CURRENCY SIGN, OVERLINE); glibc knows only the "
    "1991 version, which is ASCII";
constexpr const char* kCp424 =
    "The published CP424 table reads 0x78 as DOUBLE LOW LINE and 0x8F as PLUS-MINUS SIGN";
constexpr const char* kThai838 =
    "CCSID 838 has no euro; glibc's IBM1160 is 838 with the euro at 0xFE";
constexpr const char* kCp932Single =
    "Windows reads these single bytes of code page 932 (0x80, 0xA0 and 0xFD-0xFF); glibc leaves "
    "them undefined";
constexpr const char* kCp950Single = "Code page 950 leaves 0x80 undefined; glibc reads it as U+0080";
constexpr const char* kEucC1 =
    "Windows' EUC pages follow their DBCS page, which leaves 0x80-0x9F undefined; glibc reads C1 "
    "controls";
constexpr const char* kEucJpUser =
    "glibc's eucJP-ms reads rows 85-94 as private use (and has the NEC-selected IBM extensions "
    "in JIS X 0212); Windows' EUC-JP keeps those extensions of code page 932 in rows 89-92 and "
    "leaves the other rows empty";
constexpr const char* kEucCnGbk =
    "Code page 936 (GBK) characters inside the EUC range that GB 2312 lacks, and Microsoft's "
    "MIDDLE DOT and EM DASH for 0xA1A4 and 0xA1AA";
constexpr const char* kKsx2002 =
    "KS X 1001:2002 added U+327E; code page 949 does not have it";
constexpr const char* kJohabWon =
    "Code page 1361 keeps ASCII at 0x5C; glibc reads WON SIGN";
constexpr const char* kJohabFill =
    "Python's johab reads the all-filler sequence and the lone-jamo sequences with fillers in "
    "the initial position; glibc does not";

const KnownDifference kKnownDifferences[] = {
    {874, Direction::kRead, 0x80, 0x9F, kSame, kNone, kC1},
    {1250, Direction::kRead, 0x80, 0x9F, kSame, kNone, kC1},
    {1251, Direction::kRead, 0x80, 0x9F, kSame, kNone, kC1},
    {1252, Direction::kRead, 0x80, 0x9F, kSame, kNone, kC1},
    {1253, Direction::kRead, 0x80, 0x9F, kSame, kNone, kC1},
    {1254, Direction::kRead, 0x80, 0x9F, kSame, kNone, kC1},
    {1255, Direction::kRead, 0x80, 0x9F, kSame, kNone, kC1},
    {1257, Direction::kRead, 0x80, 0x9F, kSame, kNone, kC1},
    {1258, Direction::kRead, 0x80, 0x9F, kSame, kNone, kC1},
    {875, Direction::kRead, 0x6A, 0x6A, Is(0x007C), kNone, kCp875},
    {875, Direction::kRead, 0x74, 0x74, Is(0x00A0), Is(0x2207), kCp875},
    {875, Direction::kRead, 0xDD, 0xDD, Is(0x0387), Is(0x00B7), kCp875},
    {875, Direction::kRead, 0xDC, 0xFD, Is(0x001A), kNone, kCp875},
    {1026, Direction::kRead, 0x9D, 0x9D, Is(0x00B8), Is(0x02DB), kCp1026},
    {1026, Direction::kRead, 0xBC, 0xBC, Is(0x00AF), Is(0x2014), kCp1026},
    {10000, Direction::kRead, 0xC6, 0xC6, Is(0x2206), Is(0x0394), kMacApple},
    {10000, Direction::kRead, 0xF0, 0xF0, Is(0xF8FF), Is(0xE01E), kMacApple},
    {10007, Direction::kRead, 0xFF, 0xFF, Is(0x20AC), Is(0x00A4), kMacApple},
    {10079, Direction::kRead, 0xA0, 0xA0, Is(0x00DD), Is(0x2020), kMacIceland},
    {10079, Direction::kRead, 0xC6, 0xC6, Is(0x2206), Is(0x0394), kMacIceland},
    {10079, Direction::kRead, 0xD0, 0xD0, Is(0x2013), Is(0x2014), kMacIceland},
    {10079, Direction::kRead, 0xD1, 0xD1, Is(0x2014), Is(0x2013), kMacIceland},
    {10079, Direction::kRead, 0xD7, 0xD7, Is(0x25CA), Is(0x25C6), kMacIceland},
    {10079, Direction::kRead, 0xDB, 0xDB, Is(0x20AC), Is(0x00A4), kMacIceland},
    {10079, Direction::kRead, 0xDC, 0xDC, Is(0x00D0), Is(0x0110), kMacIceland},
    {10079, Direction::kRead, 0xDD, 0xDD, Is(0x00F0), Is(0x0111), kMacIceland},
    {10079, Direction::kRead, 0xE0, 0xE0, Is(0x00FD), Is(0x2021), kMacIceland},
    {10079, Direction::kRead, 0xF0, 0xF0, Is(0xF8FF), Is(0xE01E), kMacIceland},
    {10079, Direction::kRead, 0xF6, 0xF6, Is(0x02C6), kNone, kMacIceland},
    {10079, Direction::kRead, 0xF7, 0xF7, Is(0x02DC), kNone, kMacIceland},
    {10079, Direction::kWrite, 0x2013, 0x2013, Is(0xD0), Is(0xD1), kMacIceland},
    {10079, Direction::kWrite, 0x2014, 0x2014, Is(0xD1), Is(0xD0), kMacIceland},
    {20105, Direction::kRead, 0x24, 0x24, Is(0x00A4), Is(0x0024), kIrv},
    {20105, Direction::kRead, 0x7E, 0x7E, Is(0x203E), Is(0x007E), kIrv},
    {20424, Direction::kRead, 0x78, 0x78, Is(0x2017), Is(0x21D4), kCp424},
    {20424, Direction::kRead, 0x8F, 0x8F, Is(0x00B1), kNone, kCp424},
    {20838, Direction::kRead, 0xFE, 0xFE, kNone, Is(0x20AC), kThai838},
    {932, Direction::kRead, 0x80, 0x80, Is(0x0080), kNone, kCp932Single},
    {932, Direction::kRead, 0xA0, 0xA0, Is(0xF8F0), kNone, kCp932Single},
    {932, Direction::kRead, 0xFD, 0xFF, In(0xF8F1, 0xF8F3), kNone, kCp932Single},
    {950, Direction::kRead, 0x80, 0x80, kNone, Is(0x0080), kCp950Single},
    {51932, Direction::kRead, 0x80, 0x9F, kNone, kSame, kEucC1},
    {51932, Direction::kRead, 0xF5A1, 0xFEFE, kAnything, In(0xE000, 0xE3AB), kEucJpUser},
    {51936, Direction::kRead, 0xA1A4, 0xA1A4, Is(0x00B7), Is(0x30FB), kEucCnGbk},
    {51936, Direction::kRead, 0xA1AA, 0xA1AA, Is(0x2014), Is(0x2015), kEucCnGbk},
    {51936, Direction::kRead, 0xA2A1, 0xA2AA, In(0x2170, 0x2179), kNone, kEucCnGbk},
    {51936, Direction::kRead, 0xA6E0, 0xA6F5, In(0xFE31, 0xFE44), kNone, kEucCnGbk},
    {51936, Direction::kRead, 0xA8BB, 0xA8C0, In(0x0144, 0x0261), kNone, kEucCnGbk},
    {51949, Direction::kRead, 0x80, 0x9F, kNone, kSame, kEucC1},
    {51949, Direction::kRead, 0xA2E8, 0xA2E8, kNone, Is(0x327E), kKsx2002},
    {1361, Direction::kRead, 0x5C, 0x5C, Is(0x005C), Is(0x20A9), kJohabWon},
    {1361, Direction::kRead, 0x8441, 0x845D, In(0x3000, 0x314E), kNone, kJohabFill},
    {1361, Direction::kRead, 0xD9E8, 0xD9E8, kNone, Is(0x327E), kKsx2002},
};

struct Difference {
    int cp;
    Direction dir;
    uint32_t key;
    int64_t ours, iconv;
};

bool SpanHolds(const Span& span, int64_t value, uint32_t key)
{
    if (span.lo == kSameAsKey)
        return value == int64_t(key);
    return value >= span.lo && value <= span.hi;
}

// The row that explains a difference, or null.
const KnownDifference* Explain(const Difference& d)
{
    for (const KnownDifference& k : kKnownDifferences) {
        if (k.cp == d.cp && k.dir == d.dir && d.key >= k.keyLo && d.key <= k.keyHi &&
            SpanHolds(k.ours, d.ours, d.key) && SpanHolds(k.iconv, d.iconv, d.key))
            return &k;
    }
    return nullptr;
}

// Our reading of a sequence in the page's table.
int64_t OurRead(const CodePageTables::SingleByteTable* sb, const HashConvert* db, uint32_t code)
{
    char16_t unit;
    if (sb)
        return code <= 0xFF && sb->toUnicode.IsMapped(uint8_t(code)) ? sb->toUnicode.Unit(uint8_t(code)) : kUnmapped;
    if (code <= 0xFF && db->IsLeadByte(uint8_t(code)))
        return kUnmapped;
    return db->ToUnicode(uint16_t(code), unit) ? unit : kUnmapped;
}

int64_t OurWrite(const CodePageTables::SingleByteTable* sb, const HashConvert* db, char16_t unit)
{
    uint16_t code;
    const HashConvert& table = sb ? sb->fromUnicode : *db;
    return table.FromUnicode(unit, code) ? code : kUnmapped;
}

// Compares every single byte and, for a DBCS page, every pair whose lead
// byte either side treats as a lead byte; then, for every unit both sides
// read, the sequence each writes for it.
void Compare(int cp, Iconv& iconv, std::vector<Difference>& out)
{
    LogNull log;
    const auto* sb = CodePageTables::SingleByte(cp, log);
    const HashConvert* db = sb ? nullptr : CodePageTables::DoubleByte(cp, log);
    ASSERT_TRUE(sb || db);
    std::set<char16_t> oursRead, theirsRead;
    auto compareRead = [&](uint32_t code, int64_t theirs) {
        int64_t ours = OurRead(sb, db, code);
        if (ours >= 0)
            oursRead.insert(char16_t(ours));
        if (theirs >= 0)
            theirsRead.insert(char16_t(theirs));
        if (ours != theirs)
            out.push_back({cp, Direction::kRead, code, ours, theirs});
    };
    for (uint32_t b = 0; b < 256; ++b) {
        int64_t single = iconv.Read(BytesOf(b));
        compareRead(b, single);
        bool ourLead = db && db->IsLeadByte(uint8_t(b));
        // For iconv a lead byte alone is incomplete, which reads as unmapped.
        bool theirLead = db && b >= 0x80 && single == kUnmapped;
        if (!ourLead && !theirLead)
            continue;
        for (uint32_t trail = 0x30; trail < 0x100; ++trail) {
            uint32_t code = b << 8 | trail;
            int64_t pair = theirLead ? iconv.Read(BytesOf(code)) : kUnmapped;
            compareRead(code, pair == kSequence ? kUnmapped : pair);
        }
    }
    for (char16_t unit : oursRead) {
        if (!theirsRead.count(unit))
            continue;
        int64_t ours = OurWrite(sb, db, unit);
        int64_t theirs = iconv.Write(unit);
        if (ours != theirs)
            out.push_back({cp, Direction::kWrite, unit, ours, theirs});
    }
}

TEST(CodePageTablesTest, TablesAgreeWithIconvExceptListedDifferences)
{
    std::vector<Difference> differences;
    for (const IconvName& page : kIconvNames) {
        SCOPED_TRACE(page.cp);
        Iconv iconv(page.name);
        ASSERT_TRUE(iconv.Ok()) << "glibc iconv does not know " << page.name;
        Compare(page.cp, iconv, differences);
    }
    std::set<const KnownDifference*> used;
    for (const Difference& d : differences) {
        const KnownDifference* row = Explain(d);
        if (row) {
            used.insert(row);
            continue;
        }
        ADD_FAILURE() << "code page " << d.cp << (d.dir == Direction::kRead ? " reads 0x" : " writes U+")
                      << std::hex << std::uppercase << d.key << ": ours " << d.ours << ", iconv "
                      << d.iconv << " (-1 unmapped)";
    }
    for (const KnownDifference& k : kKnownDifferences) {
        EXPECT_TRUE(used.count(&k)) << "listed difference not seen: code page " << k.cp << " 0x"
                                    << std::hex << k.keyLo << " (" << k.reason << ")";
    }
}

#endif // PLENTOR_HAVE_ICONV

} // namespace
} // namespace plentor

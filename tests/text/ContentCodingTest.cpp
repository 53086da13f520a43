#include "text/ContentCoding.h"

#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plentor {
namespace {

using namespace std::string_literals;

std::string ToString(const DataBuffer& d) { return std::string(reinterpret_cast<const char*>(d.Data()), d.Size()); }
std::string ToString(const StringBuffer& s) { return s.ToStdString(); }
std::string ToString(const ByteBlock& block, unsigned n) { return std::string(reinterpret_cast<const char*>(block.get()), n); }

std::string AllBytes()
{
    std::string s;
    for (int b = 0; b < 256; ++b)
        s.push_back(static_cast<char>(b));
    return s;
}

struct Case {
    std::string in;
    std::string out;
};

// ---- Base64 ----------------------------------------------------------------

TEST(ContentCodingTest, EncodeBase64AppendsPaddedText)
{
    const Case cases[] = {
        {"", ""}, {"a", "YQ=="}, {"ab", "YWI="}, {"abc", "YWJj"}, {"abcd", "YWJjZA=="}, {"\xff\xfe\x00"s, "//4A"},
    };
    for (const Case& c : cases) {
        StringBuffer out("x:");
        EXPECT_TRUE(ContentCoding::EncodeBase64(c.in.data(), static_cast<unsigned>(c.in.size()), out));
        EXPECT_EQ(ToString(out), "x:" + c.out) << c.in;

        ByteBlock block = ContentCoding::EncodeBase64Block(c.in.data(), static_cast<unsigned>(c.in.size()));
        ASSERT_TRUE(block);
        EXPECT_STREQ(reinterpret_cast<const char*>(block.get()), c.out.c_str());
    }
}

TEST(ContentCodingTest, DecodeBase64Lenient)
{
    const Case cases[] = {
        {"YWJj", "abc"},
        {"YW\r\nJj\r\n", "abc"},     // broken over lines
        {" Y W\tI = ", "ab"},
        {"YQ==YWJj", "a"},           // "=" ends the data
        {"YW\0Jj"s, "a"},            // so does NUL
        {"YWJ", "ab"},               // unpadded tail
        {"YWJjZ", "abc"},            // a lone leftover character gives no byte
        {"\r\n", ""},
    };
    for (const Case& c : cases) {
        unsigned n = 99;
        ByteBlock block = ContentCoding::DecodeBase64(c.in.data(), static_cast<unsigned>(c.in.size()), n);
        ASSERT_TRUE(block) << c.in;
        EXPECT_EQ(ToString(block, n), c.out) << c.in;
        EXPECT_EQ(block[n], 0) << "zero-terminated";
    }
    unsigned n = 99;
    EXPECT_FALSE(ContentCoding::DecodeBase64("", 0, n));
    EXPECT_EQ(n, 0u);
}

TEST(ContentCodingTest, DecodeBase64LenientReadsStrayCharactersAsPlus)
{
    unsigned n1 = 0, n2 = 0;
    ByteBlock stray = ContentCoding::DecodeBase64("YW*j\x80.", 6, n1);
    ByteBlock plus = ContentCoding::DecodeBase64("YW+j++", 6, n2);
    EXPECT_EQ(ToString(stray, n1), ToString(plus, n2));
}

TEST(ContentCodingTest, DecodeBase64StrictRejectsCharactersOutsideTheAlphabet)
{
    for (const char* bad : {"YW*j", "YW-j", "YW.j", "YW\x80j", "YW_j"}) {
        DataBuffer out("keep", 4);
        EXPECT_FALSE(ContentCoding::DecodeBase64Strict(bad, 4, out)) << bad;
        EXPECT_EQ(ToString(out), "keep") << "failure leaves the output alone";
    }
    DataBuffer out;
    EXPECT_TRUE(ContentCoding::DecodeBase64Strict("YW\r\nJj", 6, out));
    EXPECT_EQ(ToString(out), "abc");
}

TEST(ContentCodingTest, Base64RoundTripsEveryByteAtEveryTailLength)
{
    std::string bytes = AllBytes();
    for (size_t cut = 0; cut < 3; ++cut) {
        std::string in = bytes.substr(cut);
        StringBuffer text;
        ASSERT_TRUE(ContentCoding::EncodeBase64(in.data(), static_cast<unsigned>(in.size()), text));
        DataBuffer back;
        ASSERT_TRUE(ContentCoding::DecodeBase64Strict(text.GetString(), static_cast<unsigned>(text.GetLength()), back));
        EXPECT_EQ(ToString(back), in);
    }
}

// ---- quoted-printable ------------------------------------------------------

TEST(ContentCodingTest, DecodeQuotedPrintable)
{
    const Case cases[] = {
        {"abc=\r\ndef", "abcdef"},               // soft break
        {"abc=\ndef", "abcdef"},
        {"soft=  \t\r\nx", "softx"},             // trailing space before the soft break
        {"a=3db=3D", "a=b="},
        {"line1\r\nline2\n", "line1\r\nline2\r\n"},
        {"trail \t \r\nx", "trail\r\nx"},
        {"no line end", "no line end"},
        {"=E9=e9", "\xE9\xE9"},
        {"=FFFFFFE9x", "\xE9x"},                 // sign-extended byte
        {"=FFx", "\xFFx"},
        {"=G1", "\x01"},                         // a non-hex digit counts as 0
        {"ab=4", "ab=4"},                        // too short for an escape
        {"ab\0cd"s, "ab"},                       // NUL ends the input
        {"\n\n", "\r\n\r\n"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},          // raw 8-bit bytes are kept
    };
    for (const Case& c : cases) {
        DataBuffer out;
        EXPECT_TRUE(ContentCoding::DecodeQuotedPrintable(c.in.data(), static_cast<unsigned>(c.in.size()), out)) << c.in;
        EXPECT_EQ(ToString(out), c.out) << c.in;
    }
    DataBuffer out;
    EXPECT_FALSE(ContentCoding::DecodeQuotedPrintable("", 0, out));
    EXPECT_FALSE(ContentCoding::DecodeQuotedPrintable("\0abc", 4, out));
}

// ---- Q form ------------------------------------------------------------------

TEST(ContentCodingTest, EncodeQ)
{
    const Case cases[] = {
        {"a b=c?", "a_b=3Dc=3F"},
        {"_\t\x7F\xE9\0"s, "=5F=09=7F=E9=00"},
        {"!\"#<>@[^`{~", "!\"#<>@[^`{~"},
        {"", ""},
    };
    for (const Case& c : cases) {
        unsigned n = 0;
        ByteBlock block = ContentCoding::EncodeQ(c.in.data(), static_cast<unsigned>(c.in.size()), n);
        ASSERT_TRUE(block);
        EXPECT_EQ(ToString(block, n), c.out) << c.in;
        EXPECT_EQ(block[n], 0);
    }
}

TEST(ContentCodingTest, DecodeQ)
{
    const Case cases[] = {
        {"a_b=3Dc=3F", "a b=c?"},
        {"=e9", "=e9"},                     // only upper-case hex is an escape
        {"ab=4", "ab=4"},                   // "=" among the last two characters
        {"ab=", "ab="},
        {"=3G", "=3G"},
        {"a?b c\t\x85\x7F\xA0", "abc\xA0"},  // controls, space, "?", DEL and 0x80-0x9F dropped
        {"=00", "\0"s},
    };
    for (const Case& c : cases) {
        unsigned n = 0;
        ByteBlock block = ContentCoding::DecodeQ(c.in.data(), static_cast<int>(c.in.size()), n);
        ASSERT_TRUE(block);
        EXPECT_EQ(ToString(block, n), c.out) << c.in;
    }
    unsigned n = 0;
    ByteBlock block = ContentCoding::DecodeQ("x_y\0z", 0, n);   // 0: up to the NUL
    EXPECT_EQ(ToString(block, n), "x y");

    // The counted form reads exactly what it is given: none of an
    // unterminated buffer's neighbours, and past a NUL inside (a control
    // character, dropped like the others).
    const char unterminated[3] = {'a', '_', 'b'};
    block = ContentCoding::DecodeQCounted(unterminated, 0, n);
    ASSERT_TRUE(block);
    EXPECT_EQ(ToString(block, n), "");
    block = ContentCoding::DecodeQCounted(unterminated, 3, n);
    EXPECT_EQ(ToString(block, n), "a b");
    block = ContentCoding::DecodeQCounted("x_y\0z", 5, n);
    EXPECT_EQ(ToString(block, n), "x yz");
}

TEST(ContentCodingTest, QRoundTripsEveryByte)
{
    std::string in = AllBytes();
    unsigned n = 0;
    ByteBlock encoded = ContentCoding::EncodeQ(in.data(), static_cast<unsigned>(in.size()), n);
    unsigned m = 0;
    ByteBlock decoded = ContentCoding::DecodeQCounted(reinterpret_cast<const char*>(encoded.get()), n, m);
    EXPECT_EQ(ToString(decoded, m), in);
}

// ---- encoded words -----------------------------------------------------------

TEST(ContentCodingTest, EncodeWordPicksTheFormByCharset)
{
    struct WordCase {
        std::string text;
        const char* charset;
        std::string out;
    };
    const WordCase cases[] = {
        {"Caf\xE9", "iso-8859-1", "=?iso-8859-1?Q?Caf=E9?="},
        {"a b", "UTF-8", "=?UTF-8?Q?a_b?="},
        {"abc", "Shift_JIS", "=?Shift_JIS?B?YWJj?="},
        {"abc", "WINDOWS-1256", "=?WINDOWS-1256?B?YWJj?="},
        {"x =?utf-8?q?y?=", "utf-8", "x =?utf-8?q?y?="},      // already encoded
        {"?B?", "big5", "?B?"},
        {std::string(100, 'a') + "?Q?", "utf-8", "=?utf-8?Q?" + std::string(100, 'a') + "=3FQ=3F?="},
    };
    for (const WordCase& c : cases) {
        StringBuffer out;
        EXPECT_TRUE(ContentCoding::EncodeWord(c.text.data(), static_cast<unsigned>(c.text.size()), c.charset, out));
        EXPECT_EQ(ToString(out), c.out) << c.text;
    }
    StringBuffer out;
    EXPECT_FALSE(ContentCoding::EncodeWord("a b", 3, nullptr, out));
    EXPECT_EQ(ToString(out), "a b");
}

TEST(ContentCodingTest, EncodeLongWordKeepsShortTextInOneWord)
{
    std::string q34(34, 'q');
    StringBuffer q;
    EXPECT_TRUE(ContentCoding::EncodeLongWordQ(q34.data(), 34, "utf-8", q));
    EXPECT_EQ(ToString(q), "=?utf-8?Q?" + q34 + "?=");

    StringBuffer b;
    EXPECT_TRUE(ContentCoding::EncodeLongWordB("abc", 3, "utf-8", b));
    EXPECT_EQ(ToString(b), "=?utf-8?B?YWJj?=");
}

TEST(ContentCodingTest, EncodeLongWordQCutsIntoWordsOf17Characters)
{
    std::string text = std::string(17, 'a') + std::string(17, 'b') + "cc";
    StringBuffer out;
    EXPECT_TRUE(ContentCoding::EncodeLongWordQ(text.data(), static_cast<unsigned>(text.size()), "utf-8", out));
    EXPECT_EQ(ToString(out), "=?utf-8?Q?" + std::string(17, 'a') + "?=\r\n\t=?utf-8?Q?" + std::string(17, 'b') +
                                 "?=\r\n\t=?utf-8?Q?cc?=");
}

TEST(ContentCodingTest, EncodeLongWordsDecodeBackToTheText)
{
    // Multi-byte characters must not be cut: every word is decoded alone.
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += "d\xC3\xA9j\xC3\xA0 vu ";
    for (auto encode : {&ContentCoding::EncodeLongWordQ, &ContentCoding::EncodeLongWordB}) {
        for (const char* charset : {"utf-8", "x-unknown-charset"}) {   // unknown names count as UTF-8
            StringBuffer words;
            EXPECT_TRUE(encode(text.data(), static_cast<unsigned>(text.size()), charset, words));
            EXPECT_GT(words.CountChar('\t'), 5);
            EXPECT_TRUE(ContentCoding::DecodeWords(words));
            words.ReplaceAll("\r\n\t", "");
            EXPECT_EQ(ToString(words), text) << charset;
        }
    }
}

TEST(ContentCodingTest, EncodeLongWordNeverSplitsASurrogatePair)
{
    // UTF-16LE: 16 letters, then U+1F600 as a surrogate pair straddling the
    // 34-byte piece boundary.
    std::string text;
    for (int i = 0; i < 16; ++i)
        text += "A\0"s;
    text += "\x3D\xD8\x00\xDE"s;
    text += "B\0C\0"s;
    StringBuffer words;
    EXPECT_TRUE(ContentCoding::EncodeLongWordQ(text.data(), static_cast<unsigned>(text.size()), "utf-16", words));

    std::vector<StringBuffer> pieces;
    words.SplitByString("\r\n\t", pieces, 0);
    ASSERT_EQ(pieces.size(), 2u);
    DataBuffer first, second;
    EXPECT_TRUE(ContentCoding::DecodeWordsRaw(pieces[0], first));
    EXPECT_TRUE(ContentCoding::DecodeWordsRaw(pieces[1], second));
    EXPECT_EQ(ToString(first), text.substr(0, 32));
    EXPECT_EQ(ToString(second), text.substr(32));
}

TEST(ContentCodingTest, EncodeLongWordFallsBackToByteCutsWhenTheCharsetCannotBeConverted)
{
    // cp930 has a name but no conversion: nothing may be lost.
    std::string text(50, 'x');
    StringBuffer words;
    EXPECT_FALSE(ContentCoding::EncodeLongWordQ(text.data(), 50, "cp930", words));
    DataBuffer raw;
    EXPECT_TRUE(ContentCoding::DecodeWordsRaw(words, raw));
    EXPECT_EQ(ToString(raw), std::string(34, 'x') + "\r\n\t" + std::string(16, 'x'));
}

struct DecodeCase {
    std::string in;
    std::string out;
    bool wellFormed;
};

TEST(ContentCodingTest, DecodeWords)
{
    const DecodeCase cases[] = {
        {"=?iso-8859-1?Q?Caf=E9?=", "Caf\xC3\xA9", true},
        {"=?8bit?Q?Caf=C3=A9?=", "Caf\xC3\xA9", true},
        {"=?UTF-8?b?Q2Fmw6k=?=", "Caf\xC3\xA9", true},
        {"=?windows-1252?Q?=80?=", "\xE2\x82\xAC", true},
        {"=?x-unknown?Q?=E9?=", "\xE9", true},          // unknown charset: bytes kept
        {"=?cp930?Q?abc?=", "abc", true},               // known but not convertible: bytes kept
        {"a =?utf-8?q?x?= \t=?utf-8?q?y?= b", "a x \ty b", true},   // white space between words stays
        {"=?utf-8?Q?" "?=x", "x", true},                 // empty data part
        {"plain, text", "plain, text", true},
        {"", "", true},
        {"1+1=2? yes", "1+1=2? yes", true},
        // Malformed words are kept as written; later words still decode.
        {"before =?abc", "before =?abc", false},
        {"a =?utf-8?Q?x", "a =?utf-8?Q?x", false},
        {"=?utf-8?", "=?utf-8?", false},
        {"=?utf-8Qx?= =?utf-8?Q?y?=", "=?utf-8Qx?= y", false},
        {"=?abc?= tail", "=?abc?= tail", false},
    };
    for (const DecodeCase& c : cases) {
        StringBuffer text(c.in.data(), static_cast<int>(c.in.size()));
        EXPECT_EQ(ContentCoding::DecodeWords(text), c.wellFormed) << c.in;
        EXPECT_EQ(ToString(text), c.out) << c.in;
    }
}

TEST(ContentCodingTest, DecodeWordsProtectCommasOnlyInsideWords)
{
    struct CommaCase {
        const char* in;
        std::string out;
        bool commasProtected;
    };
    const CommaCase cases[] = {
        {"=?utf-8?Q?Doe,_John?= <j@x.org>, b@y.org", "Doe_COMMA_ John <j@x.org>, b@y.org", true},
        {"=?iso-8859-1?B?TPxjaywgQQ==?=", "L\xC3\xBC" "ck_COMMA_ A", true},
        {"=?utf-8?Q?a,,b?=", "a_COMMA__COMMA_b", true},
        {"Doe, John <j@x.org>", "Doe, John <j@x.org>", false},
        {"=?utf-8?Q?no_comma?=, x", "no comma, x", false},
    };
    for (const CommaCase& c : cases) {
        StringBuffer text(c.in);
        bool commasProtected = !c.commasProtected;
        EXPECT_TRUE(ContentCoding::DecodeWordsProtectCommas(text, commasProtected)) << c.in;
        EXPECT_EQ(ToString(text), c.out) << c.in;
        EXPECT_EQ(commasProtected, c.commasProtected) << c.in;
    }
}

TEST(ContentCodingTest, DecodeWordsRawKeepsTheCharset)
{
    StringBuffer text("x =?iso-8859-1?Q?Caf=E9?= =?shift_jis?B?grE=?=");
    DataBuffer out("> ", 2);
    EXPECT_TRUE(ContentCoding::DecodeWordsRaw(text, out));
    EXPECT_EQ(ToString(out), "> x Caf\xE9 \x82\xB1");
}

TEST(ContentCodingTest, DecodeWordsStaysLinearOnPathologicalInput)
{
    // Each "=?" opens a word that is malformed or never closes; a decoder that
    // searched to the end of the text for every one would take minutes here.
    for (const char* unit : {"=?a?Qx", "=?a?Q?x", "=?a", "=?x"}) {
        std::string in;
        while (in.size() < 2000000)
            in += unit;
        StringBuffer text(in.data(), static_cast<int>(in.size()));
        EXPECT_FALSE(ContentCoding::DecodeWords(text));
        EXPECT_EQ(text.GetLength(), static_cast<int>(in.size())) << unit;
    }
}

// ---- hex -----------------------------------------------------------------------

TEST(ContentCodingTest, AppendHexDumpGroupsPairsAndLines)
{
    std::string bytes;
    for (int i = 0; i < 19; ++i)
        bytes.push_back(static_cast<char>(i * 15));
    StringBuffer out("> ");
    ContentCoding::AppendHexDump(bytes.data(), static_cast<unsigned>(bytes.size()), out);
    EXPECT_EQ(ToString(out), "> 000F 1E2D 3C4B 5A69 7887 96A5 B4C3 D2E1\nF0FF 0E");
}

TEST(ContentCodingTest, HexDumpReadsBack)
{
    std::string bytes = AllBytes();
    StringBuffer dump;
    ContentCoding::AppendHexDump(bytes.data(), 256, dump);
    DataBuffer back;
    EXPECT_TRUE(ContentCoding::DecodeHexInto(dump.GetString(), static_cast<unsigned>(dump.GetLength()), back));
    EXPECT_EQ(ToString(back), bytes);
}

TEST(ContentCodingTest, DecodeHexInto)
{
    const DecodeCase cases[] = {
        {"0a0B ff", "\x0A\x0B\xFF", true},
        {"", "", true},
        {"0G", "", false},
        {"ABC", "", false},       // odd digit count
        {"A B", "", false},       // a pair split by white space
        {"41-42", "", false},
    };
    for (const DecodeCase& c : cases) {
        DataBuffer out("k", 1);
        EXPECT_EQ(ContentCoding::DecodeHexInto(c.in.data(), static_cast<unsigned>(c.in.size()), out), c.wellFormed)
            << c.in;
        EXPECT_EQ(ToString(out), "k" + c.out) << c.in;
    }
}

} // namespace
} // namespace plentor

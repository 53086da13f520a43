#include "text/StringBuffer.h"

#include "log/Logger.h"
#include "platform/CodePage.h"
#include "text/DataBuffer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace plentor {
namespace {

std::string Str(const StringBuffer& sb) { return sb.ToStdString(); }

std::vector<std::string> Strs(const std::vector<StringBuffer>& list)
{
    std::vector<std::string> out;
    for (const auto& sb : list)
        out.push_back(sb.ToStdString());
    return out;
}

// ---- construction and growth ---------------------------------------------

TEST(StringBufferTest, ConstructionSetsCapacityAndGrowBy)
{
    struct Case {
        const char* name;
        StringBuffer sb;
        int capacity;
        int growBy;
        int length;
    };
    Case cases[] = {
        {"default", StringBuffer(), 200, 200, 0},
        {"growBy 0 means default", StringBuffer(0), 200, 200, 0},
        {"growBy 50", StringBuffer(50), 50, 50, 0},
        {"negative growBy", StringBuffer(-3), 200, 200, 0},
        {"text", StringBuffer("abc"), 4, 200, 3},
        {"null text", StringBuffer(static_cast<const char*>(nullptr)), 4, 200, 0},
        {"bytes with a zero inside", StringBuffer("a\0b", 3), 4, 200, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.sb.GetCapacity(), c.capacity);
        EXPECT_EQ(c.sb.GetGrowBy(), c.growBy);
        EXPECT_EQ(c.sb.GetLength(), c.length);
        EXPECT_EQ(c.sb.GetString()[c.length], '\0');
    }
}

TEST(StringBufferTest, SmallAppendFitsThenLargeAppendGrowsByRule)
{
    StringBuffer sb;
    sb.Append("0123456789");
    const char* before = sb.GetString();
    EXPECT_EQ(sb.GetCapacity(), 200);
    EXPECT_EQ(sb.GetString(), before);

    std::string big(300, 'x');
    sb.Append(big.c_str());
    EXPECT_EQ(sb.GetCapacity(), 10 + 300 + 200 + 1);
    EXPECT_EQ(sb.GetGrowBy(), (10 + 300 + 200 + 1) / 2);
    EXPECT_EQ(Str(sb), "0123456789" + big);
}

TEST(StringBufferTest, GrowByIsCappedAt500000)
{
    StringBuffer sb(400000);
    sb.Append(std::string(400000, 'a'));   // byte append: no extra terminator byte
    EXPECT_EQ(sb.GetCapacity(), 800000);
    EXPECT_EQ(sb.GetGrowBy(), 400000);
    sb.Append(std::string(500000, 'b'));
    EXPECT_EQ(sb.GetCapacity(), 400000 + 500000 + 400000);
    EXPECT_EQ(sb.GetGrowBy(), StringBuffer::kMaxGrowBy);
    sb.Append(std::string(1000000, 'c'));
    EXPECT_EQ(sb.GetCapacity(), 900000 + 1000000 + 500000);
    EXPECT_EQ(sb.GetGrowBy(), StringBuffer::kMaxGrowBy);
    EXPECT_EQ(sb.GetLength(), 1900000);
}

TEST(StringBufferTest, PrependGrowsButKeepsGrowBy)
{
    StringBuffer sb(10);
    sb.Append("0123456");
    sb.Prepend("abcdef");
    EXPECT_EQ(Str(sb), "abcdef0123456");
    EXPECT_EQ(sb.GetCapacity(), 7 + 6 + 10 + 1);
    EXPECT_EQ(sb.GetGrowBy(), 10);
    sb.Prepend(nullptr);
    sb.Prepend("");
    EXPECT_EQ(Str(sb), "abcdef0123456");
}

TEST(StringBufferTest, TextFromInsideTheBufferSurvivesGrowth)
{
    StringBuffer sb(4);
    sb.Append("abc");
    sb.Append(sb.GetString());          // grows while reading itself
    EXPECT_EQ(Str(sb), "abcabc");
    sb.AppendBuffer(sb);
    EXPECT_EQ(Str(sb), "abcabcabcabc");
    sb.Prepend(sb.GetString() + 9);
    EXPECT_EQ(Str(sb), "abcabcabcabcabc");
    sb.SetString(sb.GetString() + 12);
    EXPECT_EQ(Str(sb), "abc");
    sb.AppendHexDump(sb.GetString(), 3);
    EXPECT_EQ(Str(sb), "abc6162 63");
    sb.SetString("aXa");
    EXPECT_EQ(sb.ReplaceAll(sb.GetString() + 1, sb.GetString()), 1);   // "Xa" -> "aXa"
    EXPECT_EQ(Str(sb), "aaXa");
}

TEST(StringBufferTest, AppendVariants)
{
    StringBuffer sb;
    sb.Append(static_cast<const char*>(nullptr));
    sb.AppendBytes("xyz", 0);
    sb.AppendBytes(nullptr, 5);
    sb.AppendBytes("xyz", -1);
    sb.AppendRepeated('-', 0);
    EXPECT_TRUE(sb.IsEmpty());

    sb.AppendChar('[');
    sb.AppendRepeated('=', 3);
    sb.AppendInt(INT64_MIN);
    sb.AppendChar(' ');
    sb.AppendInt(0);
    sb.AppendChar(' ');
    sb.AppendInt(-5);
    sb.AppendBytes("]\0!", 3);
    EXPECT_EQ(Str(sb), "[===-9223372036854775808 0 -5]" + std::string("\0!", 2));
}

TEST(StringBufferTest, SetAndClear)
{
    StringBuffer sb(8);
    sb.SetString("a long text that needs a larger block");
    EXPECT_EQ(Str(sb), "a long text that needs a larger block");
    int capacity = sb.GetCapacity();
    sb.Clear();
    EXPECT_EQ(sb.GetLength(), 0);
    EXPECT_EQ(sb.GetCapacity(), capacity);
    sb.SetString("short");
    sb.SetString(nullptr);
    EXPECT_TRUE(sb.Equals(""));

    StringBuffer other("copy me");
    sb.SetFromBuffer(other);
    sb.SetFromBuffer(sb);
    EXPECT_EQ(Str(sb), "copy me");
}

TEST(StringBufferTest, CopyAndMoveLeaveBothSidesUsable)
{
    StringBuffer a("hello");
    StringBuffer b(a);
    b.Append(" world");
    EXPECT_EQ(Str(a), "hello");
    EXPECT_EQ(Str(b), "hello world");

    StringBuffer c(std::move(b));
    EXPECT_EQ(Str(c), "hello world");
    EXPECT_TRUE(b.IsEmpty());   // NOLINT(bugprone-use-after-move): moved-from stays valid
    b.Append("again");
    EXPECT_EQ(Str(b), "again");

    a = std::move(c);
    EXPECT_EQ(Str(a), "hello world");
    EXPECT_TRUE(c.IsEmpty());   // NOLINT(bugprone-use-after-move)

    StringBuffer& alias = a;
    a = alias;
    EXPECT_EQ(Str(a), "hello world");
    c = a;
    EXPECT_TRUE(c == a);
}

// An empty buffer has no block of its own until it is first written: every
// operation that leaves it empty must work without one, and the buffer must
// take text afterwards as a written one does.
TEST(StringBufferTest, OperationsOnANeverWrittenBuffer)
{
    struct Case {
        const char* name;
        void (*op)(StringBuffer&);
        int capacity;   // afterwards
    };
    const Case cases[] = {
        {"Clear", [](StringBuffer& sb) { sb.Clear(); }, 200},
        {"Trim", [](StringBuffer& sb) { sb.Trim(); }, 200},
        {"TrimPunctuation", [](StringBuffer& sb) { sb.TrimPunctuation(); }, 200},
        {"TruncateAt", [](StringBuffer& sb) { sb.TruncateAt('x'); }, 200},
        {"DropLast", [](StringBuffer& sb) { sb.DropLast(3); }, 200},
        {"EraseRange", [](StringBuffer& sb) { sb.EraseRange(0, 2); }, 200},
        {"RemoveChar", [](StringBuffer& sb) { sb.RemoveChar('a'); }, 200},
        {"ReplaceAll", [](StringBuffer& sb) { sb.ReplaceAll("a", "bb"); }, 200},
        {"ToLower", [](StringBuffer& sb) { sb.ToLower(); }, 200},
        {"CollapseWhitespace", [](StringBuffer& sb) { sb.CollapseWhitespace(); }, 200},
        {"NormaliseCrLf", [](StringBuffer& sb) { sb.NormaliseCrLf(); }, 200},
        {"CrLfToLf", [](StringBuffer& sb) { sb.CrLfToLf(); }, 200},
        {"EncodeBasicEntities", [](StringBuffer& sb) { sb.EncodeBasicEntities(); }, 200},
        {"SetString empty", [](StringBuffer& sb) { sb.SetString(""); }, 200},
        {"SetString null", [](StringBuffer& sb) { sb.SetString(nullptr); }, 200},
        {"SetFromBuffer empty", [](StringBuffer& sb) { sb.SetFromBuffer(StringBuffer()); }, 200},
        {"AppendBuffer empty", [](StringBuffer& sb) { sb.AppendBuffer(StringBuffer()); }, 200},
        {"AppendBytes none", [](StringBuffer& sb) { sb.AppendBytes("abc", 0); }, 200},
        {"Reserve within capacity", [](StringBuffer& sb) { sb.Reserve(10); }, 200},
        {"Reserve beyond capacity", [](StringBuffer& sb) { sb.Reserve(300); }, 300 + 200},
        {"ShrinkToFit", [](StringBuffer& sb) { sb.ShrinkToFit(); }, 1},
        {"Detach", [](StringBuffer& sb) { std::free(sb.Detach()); }, 200},
        {"moved from", [](StringBuffer& sb) { StringBuffer taken(std::move(sb)); }, 4},
        {"moved into", [](StringBuffer& sb) { sb = StringBuffer(); }, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StringBuffer sb;
        c.op(sb);
        EXPECT_STREQ(sb.GetString(), "");
        EXPECT_EQ(sb.GetCapacity(), c.capacity);
        sb.Append("text");
        sb.Prepend("<");
        EXPECT_EQ(Str(sb), "<text");
    }
}

// ---- capacity ---------------------------------------------------------------

TEST(StringBufferTest, ReserveShrinkAndDetach)
{
    StringBuffer sb;
    sb.Reserve(1000);
    const char* block = sb.GetString();
    sb.Append(std::string(1000, 'r'));
    EXPECT_EQ(sb.GetString(), block);

    StringBuffer small("abc");
    small.Reserve(4);
    ASSERT_EQ(small.GetCapacity(), 3 + 4 + 200);
    small.ShrinkToFit();
    EXPECT_EQ(small.GetCapacity(), 4);
    small.Append("d");
    small.Reserve(0);
    EXPECT_EQ(Str(small), "abcd");

    StringBuffer tight(20);
    tight.Append("0123456789abcde");   // 16 of 20 bytes used: 4 spare
    tight.ShrinkToFit();
    EXPECT_EQ(tight.GetCapacity(), 20);

    StringBuffer d(64);
    d.Append("detached");
    char* text = d.Detach();
    EXPECT_STREQ(text, "detached");
    std::free(text);
    EXPECT_TRUE(d.IsEmpty());
    EXPECT_EQ(d.GetCapacity(), d.GetGrowBy());
    d.Append("fresh");
    EXPECT_EQ(Str(d), "fresh");
}

// ---- trim, cut, replace -------------------------------------------------------

TEST(StringBufferTest, TrimVariants)
{
    enum Kind { kTrim, kSpaceTab, kPunct };
    struct Case {
        Kind kind;
        const char* in;
        const char* out;
    } cases[] = {
        {kTrim, " \t\r\nabc d \n", "abc d"},
        {kTrim, " \r\n\t ", ""},
        {kTrim, "", ""},
        {kSpaceTab, "\n abc\t ", "\n abc"},
        {kSpaceTab, " \t x \t", "x"},
        {kPunct, "\"'*-/@abc@/-*'\"", "abc"},
        {kPunct, "--a-b--", "a-b"},
        {kPunct, " 'a' ", " 'a' "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        StringBuffer sb(c.in);
        if (c.kind == kTrim)
            sb.Trim();
        else if (c.kind == kSpaceTab)
            sb.TrimSpaceTab();
        else
            sb.TrimPunctuation();
        EXPECT_EQ(Str(sb), c.out);
    }
}

TEST(StringBufferTest, CutOperations)
{
    StringBuffer sb("key=value=more");
    sb.TruncateAt('=');
    EXPECT_EQ(Str(sb), "key");
    sb.TruncateAt('#');
    EXPECT_EQ(Str(sb), "key");

    sb.SetString("abcdef");
    sb.DropLast(2);
    EXPECT_EQ(Str(sb), "abcd");
    sb.DropLast(-1);
    sb.DropLast(10);
    EXPECT_EQ(Str(sb), "");

    struct Erase {
        int position, count;
        const char* out;
    } erases[] = {
        {1, 2, "adef"}, {4, 100, "abcd"}, {0, 6, ""}, {-1, 2, "abcdef"}, {6, 1, "abcdef"}, {2, 0, "abcdef"},
    };
    for (const Erase& e : erases) {
        SCOPED_TRACE(e.out);
        StringBuffer s("abcdef");
        s.EraseRange(e.position, e.count);
        EXPECT_EQ(Str(s), e.out);
    }

    sb.SetString("a-b-c-d");
    EXPECT_EQ(sb.RemoveCharFrom('-', 3), 2);
    EXPECT_EQ(Str(sb), "a-bcd");
    EXPECT_EQ(sb.RemoveChar('-'), 1);
    EXPECT_EQ(Str(sb), "abcd");
    EXPECT_EQ(sb.RemoveCharFrom('a', 99), 0);
}

TEST(StringBufferTest, ReplaceAllDoesNotRescan)
{
    struct Case {
        const char* text;
        const char* s;
        const char* t;
        int count;
        const char* out;
    } cases[] = {
        {"aaaa", "aa", "a", 2, "aa"},
        {"aaa", "aa", "b", 1, "ba"},
        {"xx", "x", "xx", 2, "xxxx"},
        {"abcabc", "b", "XYZ", 2, "aXYZcaXYZc"},
        {"a.b.c", ".", "", 2, "abc"},
        {"a.b.c", ".", nullptr, 2, "abc"},
        {"abc", "", "x", 0, "abc"},
        {"abc", nullptr, "x", 0, "abc"},
        {"abc", "B", "x", 0, "abc"},
        {"", "a", "b", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        StringBuffer sb(c.text);
        EXPECT_EQ(sb.ReplaceAll(c.s, c.t), c.count);
        EXPECT_EQ(Str(sb), c.out);
    }
}

TEST(StringBufferTest, ReplaceFirstAndCharacterSets)
{
    StringBuffer sb("one two two");
    EXPECT_TRUE(sb.ReplaceFirst("two", "three"));
    EXPECT_EQ(Str(sb), "one three two");
    EXPECT_TRUE(sb.ReplaceFirst("three ", ""));
    EXPECT_EQ(Str(sb), "one two");
    EXPECT_FALSE(sb.ReplaceFirst("four", "x"));
    EXPECT_FALSE(sb.ReplaceFirst("", "x"));

    sb.SetString("a.b.c");
    EXPECT_EQ(sb.ReplaceChar('.', '/'), 2);
    EXPECT_EQ(Str(sb), "a/b/c");

    // Only the first 5 (or 20) characters of the set count.
    sb.SetString("abcdefg");
    EXPECT_EQ(sb.ReplaceAnyOf("abcdefg", '_'), 5);
    EXPECT_EQ(Str(sb), "_____fg");
    sb.SetString("abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(sb.ReplaceAnyOf20("zyxwvutsrqponmlkjihgfedcba", '.'), 20);
    EXPECT_EQ(Str(sb), "abcdef....................");
    EXPECT_EQ(sb.ReplaceAnyOf(nullptr, '.'), 0);
}

// Quadratic work would not finish on inputs of this size in the test timeout.
TEST(StringBufferTest, RewritesAreLinearOnLargeInput)
{
    constexpr int kPairs = 1000000;
    std::string text;
    for (int i = 0; i < kPairs; ++i)
        text += "a\n";

    StringBuffer sb(text.c_str());
    EXPECT_EQ(sb.ReplaceAll("a", "<&>"), kPairs);
    sb.EncodeBasicEntities();
    EXPECT_EQ(sb.GetLength(), kPairs * (13 + 1));
    sb.NormaliseCrLf();
    EXPECT_EQ(sb.GetLength(), kPairs * (13 + 2));
    EXPECT_EQ(sb.RemoveChar('\r'), kPairs);
    EXPECT_EQ(sb.ReplaceAll("&lt;&amp;&gt;", ""), kPairs);
    EXPECT_EQ(Str(sb), std::string(kPairs, '\n'));
    sb.CollapseWhitespace();
    EXPECT_EQ(Str(sb), " ");
}

// ---- case, compare, search ----------------------------------------------------

TEST(StringBufferTest, ByteWiseCaseMapping)
{
    enum Op { kLower, kUpper, kTitle };
    struct Case {
        Op op;
        const char* in;
        const char* out;
    } cases[] = {
        {kLower, "ABC xyz \xC9\xD7\xDF\xC0", "abc xyz \xE9\xF7\xFF\xE0"},
        {kLower, "\xE9\xBF\x80", "\xE9\xBF\x80"},
        {kUpper, "abc XYZ \xE9\xFF\xE0", "ABC XYZ \xC9\xDF\xC0"},
        {kUpper, "\xC9\xDF\x7F", "\xC9\xDF\x7F"},
        {kTitle, "hello world-wide\tweb\nnew line.x", "Hello World-Wide\tWeb\nNew Line.x"},
        {kTitle, "\xE9t\xE9 mIXED", "\xC9t\xE9 MIXED"},
        {kTitle, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        StringBuffer sb(c.in);
        if (c.op == kLower)
            sb.ToLower();
        else if (c.op == kUpper)
            sb.ToUpper();
        else
            sb.TitleCase();
        EXPECT_EQ(Str(sb), c.out);
    }
}

TEST(StringBufferTest, Comparisons)
{
    StringBuffer empty;
    EXPECT_TRUE(empty.Equals(nullptr));
    EXPECT_TRUE(empty.Equals(""));
    EXPECT_EQ(empty.Compare(nullptr), 0);

    StringBuffer sb("Hello");
    EXPECT_TRUE(sb.Equals("Hello"));
    EXPECT_FALSE(sb.Equals("hello"));
    EXPECT_FALSE(sb.Equals("Hell"));
    EXPECT_TRUE(sb.EqualsNoCase("hELLO"));
    EXPECT_FALSE(sb.EqualsNoCase("hELLO!"));
    EXPECT_FALSE(sb.EqualsNoCase(nullptr));
    EXPECT_TRUE(sb.EqualsBufferNoCase(StringBuffer("HELLO")));
    EXPECT_FALSE(sb.EqualsBufferNoCase(StringBuffer("HELL")));
    // Only ASCII letters fold: these bytes are not letters in UTF-8.
    EXPECT_FALSE(StringBuffer("\xC9").EqualsNoCase("\xE9"));

    struct Order {
        const char* a;
        const char* b;
        int result;
    } orders[] = {
        {"abc", "abc", 0}, {"abc", "abd", -1}, {"abd", "abc", 1}, {"ab", "abc", -1},
        {"abc", "ab", 1},  {"\x80", "a", 1},   {"", "a", -1},     {"a", "", 1},
    };
    for (const Order& o : orders) {
        SCOPED_TRACE(std::string(o.a) + " vs " + o.b);
        EXPECT_EQ(StringBuffer(o.a).Compare(o.b), o.result);
    }

    EXPECT_TRUE(sb.BeginsWith("He"));
    EXPECT_FALSE(sb.BeginsWith("he"));
    EXPECT_TRUE(sb.BeginsWith(""));
    EXPECT_FALSE(sb.BeginsWith("Hello!"));
    EXPECT_TRUE(sb.EndsWith("llo"));
    EXPECT_FALSE(sb.EndsWith("LLO"));
    EXPECT_FALSE(sb.EndsWith("xHello"));
}

TEST(StringBufferTest, Searches)
{
    StringBuffer sb("<HTML><Title>x</title>");
    EXPECT_TRUE(sb.Contains("<Title>"));
    EXPECT_FALSE(sb.Contains("<title>x</TITLE>"));
    EXPECT_TRUE(sb.ContainsNoCase("<title>x</TITLE>"));
    EXPECT_FALSE(sb.ContainsNoCase("</title>!"));
    EXPECT_FALSE(sb.Contains(""));
    EXPECT_FALSE(sb.ContainsNoCase(nullptr));

    EXPECT_TRUE(sb.HasChar('x'));
    EXPECT_FALSE(sb.HasChar('y'));
    EXPECT_EQ(sb.CountChar('<'), 3);
    EXPECT_EQ(sb.CharAt(1), 'H');
    EXPECT_EQ(sb.CharAt(-1), '\0');
    EXPECT_EQ(sb.CharAt(sb.GetLength()), '\0');
    EXPECT_EQ(sb.LastChar(), '>');
    EXPECT_EQ(StringBuffer().LastChar(), '\0');

    EXPECT_TRUE(StringBuffer().IsAscii7());
    EXPECT_TRUE(StringBuffer("plain \x7F").IsAscii7());
    EXPECT_FALSE(StringBuffer("caf\xC3\xA9").IsAscii7());
}

// ---- split ------------------------------------------------------------------------

TEST(StringBufferTest, SplitKeepsEmptyPiecesAndHonoursQuotesAndBackslashes)
{
    struct Case {
        const char* text;
        bool quotes;
        bool backslash;
        std::vector<std::string> pieces;
    } cases[] = {
        {"a,,b", false, false, {"a", "", "b"}},
        {"a,b,", false, false, {"a", "b", ""}},
        {",", false, false, {"", ""}},
        {"", false, false, {}},
        {"\"a,b\",c", true, false, {"\"a,b\"", "c"}},
        {"\"a,b\",c", false, false, {"\"a", "b\"", "c"}},
        {"a\\,b,c", false, true, {"a\\,b", "c"}},
        {"a\\,b,c", false, false, {"a\\", "b", "c"}},
        {"\"a\\\",b\",c", true, true, {"\"a\\\",b\"", "c"}},
        {"x\\", false, true, {"x\\"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<StringBuffer> list;
        using Guard = StringBuffer::SplitGuard;
        const Guard guard = c.quotes ? (c.backslash ? Guard::QuotesAndBackslash : Guard::Quotes)
                                     : (c.backslash ? Guard::Backslash : Guard::None);
        StringBuffer(c.text).Split(list, ',', guard);
        EXPECT_EQ(Strs(list), c.pieces);
    }
}

TEST(StringBufferTest, SplitByStringDropsEmptyPieces)
{
    struct Case {
        const char* text;
        const char* separator;
        int max;
        std::vector<std::string> pieces;
    } cases[] = {
        {"a,,b", ",", 0, {"a", "b"}},
        {",,a,,b,,", ",", 0, {"a", "b"}},
        {"a<>b<><>c", "<>", 0, {"a", "b", "c"}},
        {"a,b,c", ",", 2, {"a", "b"}},
        {"a,b,c", ",", -1, {"a", "b", "c"}},
        {"abc", "", 0, {"abc"}},
        {"", ",", 0, {}},
        {",,,", ",", 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<StringBuffer> list;
        StringBuffer(c.text).SplitByString(c.separator, list, c.max);
        EXPECT_EQ(Strs(list), c.pieces);
    }

    // Pieces are added to what the list already holds.
    std::vector<StringBuffer> list;
    list.emplace_back("kept");
    StringBuffer("x y").SplitByString(" ", list, 0);
    EXPECT_EQ(Strs(list), (std::vector<std::string>{"kept", "x", "y"}));
}

TEST(StringBufferTest, SplitNameValue)
{
    struct Case {
        const char* text;
        const char* name;
        const char* value;
    } cases[] = {
        {"  name = \"va lue\"  ", "name", "va lue"},
        {"charset=utf-8", "charset", "utf-8"},
        {"a=b=c", "a", "b=c"},
        {"novalue", "novalue", ""},
        {"x=\"\"", "x", ""},
        {"=v", "", "v"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        StringBuffer name("old"), value("old");
        StringBuffer(c.text).SplitNameValue(name, value);
        EXPECT_EQ(Str(name), c.name);
        EXPECT_EQ(Str(value), c.value);
    }

    StringBuffer self("k = v");
    StringBuffer value;
    self.SplitNameValue(self, value);
    EXPECT_EQ(Str(self), "k");
    EXPECT_EQ(Str(value), "v");
}

// ---- whitespace, entities, numbers, hex --------------------------------------------

TEST(StringBufferTest, WhitespaceAndLineEnds)
{
    StringBuffer sb(" a \t\r\n b  c\n");
    sb.CollapseWhitespace();
    EXPECT_EQ(Str(sb), " a b c ");

    struct Case {
        const char* in;
        const char* crlf;
        const char* lf;
    } cases[] = {
        {"a\r\nb\nc\rd\n", "a\r\nb\r\ncd\r\n", "a\nb\nc\rd\n"},
        {"\n\r", "\r\n", "\n\r"},
        {"\r\r\n", "\r\n", "\r\n"},
        {"no breaks", "no breaks", "no breaks"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        StringBuffer a(c.in), b(c.in);
        a.NormaliseCrLf();
        b.CrLfToLf();
        EXPECT_EQ(Str(a), c.crlf);
        EXPECT_EQ(Str(b), c.lf);
    }
}

TEST(StringBufferTest, EncodeBasicEntitiesEscapesAmpersandOnce)
{
    StringBuffer sb("a&b<c>\"d\"&amp;");
    sb.EncodeBasicEntities();
    EXPECT_EQ(Str(sb), "a&amp;b&lt;c&gt;&quot;d&quot;&amp;amp;");
    StringBuffer plain("nothing to do");
    plain.EncodeBasicEntities();
    EXPECT_EQ(Str(plain), "nothing to do");
}

TEST(StringBufferTest, ParseIntReadsTheLeadingNumberAndClamps)
{
    struct Case {
        const char* text;
        int value;
    } cases[] = {
        {"123", 123},
        {"  -42abc", -42},
        {"+7", 7},
        {"\t12 34", 12},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"99999999999999999999999", INT_MAX},
        {"-99999999999999999999999", INT_MIN},
        {"007", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StringBuffer(c.text).ParseInt(), c.value);
    }
}

TEST(StringBufferTest, HexDumpAndDecode)
{
    unsigned char bytes[18];
    for (int i = 0; i < 18; ++i)
        bytes[i] = static_cast<unsigned char>(i * 15);
    StringBuffer sb;
    sb.AppendHexDump(bytes, 18);
    EXPECT_EQ(Str(sb), "000F 1E2D 3C4B 5A69 7887 96A5 B4C3 D2E1 \nF0FF ");
    sb.AppendHexDump(bytes, 0);

    DataBuffer out;
    out.AppendByte(0x55);
    ASSERT_TRUE(sb.HexDecodeTo(out));
    ASSERT_EQ(out.Size(), 19u);
    EXPECT_EQ(out.Data()[0], 0x55);
    EXPECT_EQ(std::memcmp(out.Data() + 1, bytes, 18), 0);

    DataBuffer lower;
    EXPECT_TRUE(StringBuffer("ff0a").DecodeHexInto(lower));
    EXPECT_TRUE(lower.Equals("\xFF\x0A", 2));

    for (const char* bad : {"abZ0", "abc", "0x12"}) {
        SCOPED_TRACE(bad);
        DataBuffer untouched;
        EXPECT_FALSE(StringBuffer(bad).HexDecodeTo(untouched));
        EXPECT_EQ(untouched.Size(), 0u);
    }
}

// ---- English word forms ----------------------------------------------------------

TEST(StringBufferTest, Pluralize)
{
    struct Case {
        const char* word;
        const char* plural;
    } cases[] = {
        {"knife", "knives"}, {"leaf", "leaves"}, {"church", "churches"}, {"wish", "wishes"},
        {"box", "boxes"},    {"quiz", "quizes"}, {"bus", "bus"},         {"city", "cities"},
        {"day", "days"},     {"toy", "toys"},    {"y", "ys"},            {"link", "links"},
        {"keyword", "keywords"}, {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        StringBuffer sb(c.word);
        sb.Pluralize();
        EXPECT_EQ(Str(sb), c.plural);
    }
}

TEST(StringBufferTest, Singularize)
{
    struct Case {
        const char* word;
        const char* singular;
    } cases[] = {
        // second-last letter a digit or a, i, o, u: unchanged
        {"gas", "gas"}, {"this", "this"}, {"chaos", "chaos"}, {"bonus", "bonus"}, {"mp3s", "mp3s"},
        // "ves"
        {"wolves", "wolf"}, {"leaves", "leaf"}, {"knives", "knive"}, {"moves", "move"}, {"eves", "eve"},
        // double-s endings stay
        {"boss", "boss"}, {"dress", "dress"}, {"kiss", "kiss"}, {"class", "class"}, {"fuss", "fuss"},
        {"cities", "city"}, {"churches", "church"}, {"boxes", "box"},
        {"sizes", "size"}, {"buzzes", "buzz"},
        {"shoes", "shoes"}, {"always", "always"}, {"Always", "Always"},
        {"links", "link"}, {"buses", "buse"}, {"tags", "tag"},
        // short words
        {"ads", "ad"}, {"its", "it"}, {"us", "us"}, {"as", "as"}, {"s", "s"}, {"es", "e"},
        // no final s
        {"word", "word"}, {"LINKS", "LINKS"}, {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        StringBuffer sb(c.word);
        sb.Singularize();
        EXPECT_EQ(Str(sb), c.singular);
    }
}

// ---- encoding and system texts ------------------------------------------------------

TEST(StringBufferTest, AsciiRoundTripsThroughSystemString)
{
    StringBuffer sb("plain ASCII text");
    EXPECT_EQ(sb.ToSystemString(), u"plain ASCII text");
    EXPECT_EQ(Str(StringBuffer::FromSystemString(u"back again")), "back again");
    EXPECT_TRUE(StringBuffer::FromSystemString(nullptr).IsEmpty());
    EXPECT_TRUE(StringBuffer().ToSystemString().empty());
}

TEST(StringBufferTest, ConvertsBetweenAnsiUtf8AndLatin1)
{
    // How "\u00E9" is written in the active code page.
    std::string e;
    switch (platform::ActiveAnsiCodePage()) {
    case 65001: e = "\xC3\xA9"; break;
    case 1252:
    case 28591: e = "\xE9"; break;
    default: GTEST_SKIP() << "no expectations for this active code page";
    }
    const std::string ansi = "caf" + e;
    StringBuffer sb(ansi.c_str());
    EXPECT_EQ(sb.ToSystemString(), u"caf\u00E9");
    EXPECT_EQ(Str(StringBuffer::FromSystemString(u"\u00E9t\u00E9")), e + "t" + e);

    ASSERT_TRUE(sb.ConvertAnsiTo(28591));
    EXPECT_EQ(Str(sb), "caf\xE9");
    ASSERT_TRUE(sb.ConvertToAnsiFrom(28591));
    EXPECT_EQ(Str(sb), ansi);
    ASSERT_TRUE(sb.ConvertAnsiTo(65001));
    EXPECT_EQ(Str(sb), "caf\xC3\xA9");
    ASSERT_TRUE(sb.ConvertToAnsiFrom(65001));
    EXPECT_EQ(Str(sb), ansi);
}

TEST(StringBufferTest, UnknownCodePageKeepsTheText)
{
    StringBuffer sb("text");
    EXPECT_FALSE(sb.ConvertAnsiTo(12345));
    EXPECT_EQ(Str(sb), "text");
}

TEST(StringBufferTest, AppendSystemErrorAppendsTrimmedText)
{
    constexpr int kNoSuchFile = 2;   // ENOENT and ERROR_FILE_NOT_FOUND alike
    StringBuffer sb("open: ");
    sb.AppendSystemError(kNoSuchFile);
    EXPECT_GT(sb.GetLength(), 6);
    EXPECT_TRUE(sb.BeginsWith("open: "));
    EXPECT_NE(sb.CharAt(6), ' ');
    char last = sb.LastChar();
    EXPECT_TRUE(last != ' ' && last != '\n' && last != '\r' && last != '\t');
}

// ---- files ---------------------------------------------------------------------------

class StringBufferFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = std::filesystem::temp_directory_path() / ("plentor_sb_" + std::to_string(rd()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Write(const std::string& name, const std::string& bytes)
    {
        std::filesystem::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }

    std::filesystem::path dir_;
};

TEST_F(StringBufferFileTest, LoadsWholeFileWithSlack)
{
    const std::string bytes("line 1\r\nzero\0byte\n", 18);
    std::string path = Write("data.txt", bytes);
    Logger log;
    auto sb = StringBuffer::LoadFromFile(path.c_str(), log);
    ASSERT_NE(sb, nullptr);
    EXPECT_EQ(Str(*sb), bytes);
    EXPECT_EQ(sb->GetCapacity(), 18 + 200);

    auto empty = StringBuffer::LoadFromFile(Write("empty.txt", "").c_str(), log);
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->IsEmpty());
    EXPECT_EQ(empty->GetCapacity(), 200);
}

TEST_F(StringBufferFileTest, FileUrlPrefixIsStrippedAndBarsBecomeColons)
{
    // The path keeps its leading "/" after the 8-byte prefix is removed.
    std::string path = Write("plain.txt", "via url");
    Logger log;
    auto sb = StringBuffer::LoadFromFile(("FiLe:///" + path).c_str(), log);
    ASSERT_NE(sb, nullptr);
    EXPECT_EQ(Str(*sb), "via url");

#ifdef _WIN32
    GTEST_SKIP() << "a ':' in a Windows file name names a stream, not a file";
#endif
    std::string colonPath = Write("c:name.txt", "bar to colon");
    if (!std::filesystem::exists(colonPath))
        GTEST_SKIP() << "file names cannot hold ':' here";
    auto viaBar = StringBuffer::LoadFromFile(("file:///" + (dir_ / "c|name.txt").string()).c_str(), log);
    ASSERT_NE(viaBar, nullptr);
    EXPECT_EQ(Str(*viaBar), "bar to colon");
}

TEST_F(StringBufferFileTest, MissingFileGivesNullAndLogsThePath)
{
    std::string path = (dir_ / "missing.txt").string();
    Logger log;
    EXPECT_EQ(StringBuffer::LoadFromFile(path.c_str(), log), nullptr);
    StringBuffer text;
    log.GetText(text);
    EXPECT_TRUE(text.Contains("Failed to open file")) << Str(text);
    EXPECT_TRUE(text.Contains(path.c_str())) << Str(text);

    EXPECT_EQ(StringBuffer::LoadFromFile(nullptr, log), nullptr);
    EXPECT_EQ(StringBuffer::LoadFromFile(dir_.string().c_str(), log), nullptr);
}

// ---- validity marker ------------------------------------------------------------------

TEST(StringBufferDeathTest, UseAfterDestructionStopsTheProcess)
{
    alignas(StringBuffer) unsigned char storage[sizeof(StringBuffer)];
    auto* sb = new (storage) StringBuffer("short-lived");
    sb->~StringBuffer();
    EXPECT_DEATH(sb->Append("more"), "StringBuffer");
    EXPECT_DEATH(sb->~StringBuffer(), "StringBuffer");
}

} // namespace
} // namespace plentor

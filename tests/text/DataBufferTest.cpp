#include "text/DataBuffer.h"

#include "log/Logger.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include "support/ScopedCodePage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace plentor {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Of(const DataBuffer& b) { return Bytes(b.Data(), b.Data() + b.Size()); }

Bytes Range(unsigned n)
{
    Bytes out(n);
    for (unsigned i = 0; i < n; ++i)
        out[i] = static_cast<uint8_t>(i + 1);
    return out;
}

// ---- growth ---------------------------------------------------------------

struct GrowthCase {
    const char* name;
    std::function<void(DataBuffer&)> act;
    unsigned size;
    unsigned capacity;
};

TEST(DataBufferTest, GrowthFollowsTheStepRules)
{
    const Bytes big(25000, 7);
    const Bytes small(100, 7);
    const GrowthCase cases[] = {
        {"AppendByteOnEmpty", [](DataBuffer& b) { b.AppendByte(1); }, 1, 20000},
        {"AppendByteWhenFull",
         [&](DataBuffer& b) {
             b.AppendExact(small.data(), 100);
             b.AppendByte(1);
         },
         101, 100 + DataBuffer::kGrowStep},
        {"SmallAppendGrowsByStep", [&](DataBuffer& b) { b.AppendBytes(small.data(), 100); }, 100, 20000},
        {"LargeAppendGrowsToFit", [&](DataBuffer& b) { b.AppendBytes(big.data(), 25000); }, 25000, 25000},
        {"LargeAppendAfterData",
         [&](DataBuffer& b) {
             b.AppendExact(small.data(), 100);
             b.AppendBytes(big.data(), 25000);
         },
         25100, 25100},
        {"AppendWithinCapacityKeepsIt",
         [&](DataBuffer& b) {
             b.AppendBytes(small.data(), 100);
             b.AppendBytes(small.data(), 100);
         },
         200, 20000},
        {"AppendExactGrowsExactly",
         [&](DataBuffer& b) {
             b.AppendExact(small.data(), 10);
             b.AppendExact(small.data(), 5);
         },
         15, 15},
        {"ReserveIsExact", [](DataBuffer& b) { b.Reserve(10); }, 0, 10},
        {"NullAndZeroAppendNothing",
         [&](DataBuffer& b) {
             b.AppendBytes(nullptr, 5);
             b.AppendBytes(small.data(), 0);
             b.AppendExact(nullptr, 5);
         },
         0, 0},
    };
    for (const GrowthCase& c : cases) {
        DataBuffer b;
        c.act(b);
        EXPECT_EQ(b.Size(), c.size) << c.name;
        EXPECT_EQ(b.Capacity(), c.capacity) << c.name;
    }
}

// Fixed steps alone would copy the whole buffer every 20000 bytes; large
// buffers grow by at least half their capacity instead, whether they are
// filled a byte at a time or a block at a time as a socket fills them.
TEST(DataBufferTest, LargeBuffersGrowGeometrically)
{
    struct Fill {
        const char* name;
        unsigned step;                        // bytes added per call
        void (*add)(DataBuffer&, unsigned);   // adds step bytes, the last one set to the value given
    };
    const Fill fills[] = {
        {"AppendByte", 1, [](DataBuffer& b, unsigned i) { b.AppendByte(static_cast<uint8_t>(i)); }},
        {"ReserveThenSetSize", 20000,
         [](DataBuffer& b, unsigned i) {
             const unsigned size = b.Size();
             b.Reserve(20000);
             b.Data()[size + 19999] = static_cast<uint8_t>(i);
             b.SetSize(size + 20000);
         }},
    };
    for (const Fill& fill : fills) {
        SCOPED_TRACE(fill.name);
        DataBuffer b;
        unsigned growths = 0;
        unsigned lastCapacity = 0;
        for (unsigned added = 0; added < 4'000'000; added += fill.step) {
            fill.add(b, added + fill.step - 1);
            if (b.Capacity() != lastCapacity) {
                if (lastCapacity >= 3 * DataBuffer::kGrowStep) {
                    EXPECT_GE(b.Capacity(), lastCapacity + lastCapacity / 2);
                }
                lastCapacity = b.Capacity();
                ++growths;
            }
        }
        EXPECT_LT(growths, 20u);
        EXPECT_EQ(b.Data()[3'999'999], static_cast<uint8_t>(3'999'999));
    }
}

TEST(DataBufferTest, AppendingItselfSurvivesGrowth)
{
    DataBuffer b;
    Bytes start = Range(10);
    b.AppendExact(start.data(), 10);
    b.AppendBuffer(b);
    Bytes expected = start;
    expected.insert(expected.end(), start.begin(), start.end());
    EXPECT_EQ(Of(b), expected);
}

TEST(DataBufferTest, SizeBeyondWhatUnsignedCountsFailsBeforeWriting)
{
    static const uint8_t lender[4] = {};
    DataBuffer b;
    b.Borrow(lender, 0xFFFFFFF0u);   // a size that is never read
    EXPECT_THROW(b.AppendBytes("0123456789012345678901234567890123456789", 40), std::bad_alloc);
    b.Forget();
}

// ---- appends of text ------------------------------------------------------

TEST(DataBufferTest, AppendUtf16zAddsOneZeroUnit)
{
    DataBuffer b;
    b.AppendUtf16z(u"a\u20AC");
    b.AppendUtf16z(nullptr);
    EXPECT_EQ(Of(b), (Bytes{0x61, 0x00, 0xAC, 0x20, 0x00, 0x00, 0x00, 0x00}));
}

TEST(DataBufferTest, AppendTextTakesTheBytesWithoutTerminator)
{
    DataBuffer b;
    StringBuffer text("abc");
    b.AppendText(text);
    EXPECT_TRUE(b.Equals("abc", 3));
}

// ---- size -----------------------------------------------------------------

TEST(DataBufferTest, SizeOperations)
{
    Bytes ten = Range(10);
    DataBuffer b;
    b.AppendExact(ten.data(), 10);

    EXPECT_FALSE(b.SetSize(11));
    EXPECT_TRUE(b.SetSize(4));
    EXPECT_EQ(Of(b), (Bytes{1, 2, 3, 4}));
    EXPECT_TRUE(b.SetSize(10));   // the bytes are still there
    EXPECT_EQ(Of(b), ten);

    b.RemoveFirst(3);
    EXPECT_EQ(Of(b), (Bytes{4, 5, 6, 7, 8, 9, 10}));
    b.DropLast(2);
    EXPECT_EQ(Of(b), (Bytes{4, 5, 6, 7, 8}));
    b.RemoveFirst(5);
    EXPECT_TRUE(b.IsEmpty());

    b.AppendExact(ten.data(), 3);
    b.DropLast(4);
    EXPECT_TRUE(b.IsEmpty());
    b.AppendExact(ten.data(), 3);
    b.RemoveFirst(100);
    EXPECT_TRUE(b.IsEmpty());
}

TEST(DataBufferTest, PointerAtIsNullOutsideTheBytes)
{
    DataBuffer b;
    EXPECT_EQ(b.PointerAt(0), nullptr);
    b.AppendBytes("ab", 2);
    EXPECT_EQ(*b.PointerAt(1), 'b');
    EXPECT_EQ(b.PointerAt(2), nullptr);
}

TEST(DataBufferTest, IsAscii7)
{
    DataBuffer b;
    EXPECT_TRUE(b.IsAscii7());
    b.AppendBytes("a\x7F", 2);
    EXPECT_TRUE(b.IsAscii7());
    b.AppendByte(0x80);
    EXPECT_FALSE(b.IsAscii7());
}

// ---- ownership ------------------------------------------------------------

TEST(DataBufferTest, BorrowedBytesAreNeverWrittenOrFreed)
{
    uint8_t lender[6] = {1, 2, 3, 4, 5, 6};
    const Bytes original(lender, lender + 6);
    const std::function<void(DataBuffer&)> writes[] = {
        [](DataBuffer& b) { b.AppendByte(9); },
        [](DataBuffer& b) { b.AppendBytes("x", 1); },
        [](DataBuffer& b) { b.SwapWordBytes(); },
        [](DataBuffer& b) { b.PadBlock(0); },
        [](DataBuffer& b) {
            b.DropLast(2);
            b.AppendByte(9);   // room inside the lender's block is not ours
        },
        [](DataBuffer& b) { b.RemoveFirst(2); },
    };
    for (const auto& write : writes) {
        DataBuffer b;
        b.Borrow(lender, 6);
        EXPECT_TRUE(b.IsBorrowed());
        EXPECT_EQ(b.Data(), lender);
        write(b);
        EXPECT_EQ(Bytes(lender, lender + 6), original);
    }   // destroying b must not free the lender (the sanitizer build checks)

    DataBuffer b;
    b.Borrow(lender, 6);
    b.AppendByte(7);
    EXPECT_FALSE(b.IsBorrowed());
    EXPECT_NE(b.Data(), lender);
    EXPECT_EQ(Of(b), (Bytes{1, 2, 3, 4, 5, 6, 7}));

    b.Borrow(lender, 6);
    b.RemoveFirst(4);
    EXPECT_EQ(Of(b), (Bytes{5, 6}));
}

TEST(DataBufferTest, EmptyBorrowedAndAdoptedBlocksCanBeWritten)
{
    static const uint8_t lender[1] = {5};
    DataBuffer borrowed;
    borrowed.Borrow(lender, 0);
    borrowed.SwapWordBytes();   // copies an empty block
    borrowed.AppendByte(1);
    EXPECT_EQ(Of(borrowed), Bytes{1});

    DataBuffer adopted;
    adopted.Adopt(std::malloc(1), 0);
    adopted.AppendExact("a", 1);   // grows a block of capacity 0
    EXPECT_TRUE(adopted.Equals("a", 1));
}

TEST(DataBufferTest, AdoptTakesAMallocBlock)
{
    auto* block = static_cast<uint8_t*>(std::malloc(3));
    std::memcpy(block, "abc", 3);
    DataBuffer b;
    b.AppendBytes("old", 3);
    b.Adopt(block, 3);
    EXPECT_EQ(b.Data(), block);
    EXPECT_FALSE(b.IsBorrowed());
    b.AppendByte('d');   // grows the adopted block
    EXPECT_TRUE(b.Equals("abcd", 4));
}

TEST(DataBufferTest, TakeFromMovesTheMemory)
{
    DataBuffer source;
    source.AppendBytes("abc", 3);
    const uint8_t* block = source.Data();
    DataBuffer b;
    b.AppendBytes("x", 1);
    b.TakeFrom(source);
    EXPECT_EQ(b.Data(), block);
    EXPECT_TRUE(b.Equals("abc", 3));
    EXPECT_EQ(source.Data(), nullptr);
    EXPECT_EQ(source.Size(), 0u);
    EXPECT_EQ(source.Capacity(), 0u);

    b.TakeFrom(b);
    EXPECT_TRUE(b.Equals("abc", 3));

    DataBuffer moved(std::move(b));
    EXPECT_TRUE(moved.Equals("abc", 3));
    EXPECT_TRUE(b.IsEmpty());   // NOLINT(bugprone-use-after-move): moved-from state is defined
}

TEST(DataBufferTest, ForgetLeavesTheBlockToTheCaller)
{
    DataBuffer b;
    b.AppendBytes("abc", 3);
    uint8_t* block = b.Data();
    b.Forget();
    EXPECT_EQ(b.Data(), nullptr);
    EXPECT_EQ(b.Size(), 0u);
    EXPECT_EQ(block[0], 'a');   // still alive: the caller owns it now
    std::free(block);
}

TEST(DataBufferTest, CopiesAreIndependent)
{
    DataBuffer a;
    a.AppendBytes("abc", 3);
    DataBuffer b(a);
    b.AppendByte('d');
    DataBuffer c;
    c = a;
    c.DropLast(1);
    EXPECT_TRUE(a.Equals("abc", 3));
    EXPECT_TRUE(b.Equals("abcd", 4));
    EXPECT_TRUE(c.Equals("ab", 2));
}

TEST(DataBufferDeathTest, UseAfterDestructionStopsTheProcess)
{
    alignas(DataBuffer) unsigned char storage[sizeof(DataBuffer)];
    auto* b = new (storage) DataBuffer();
    b->AppendBytes("abc", 3);
    b->~DataBuffer();
    EXPECT_DEATH(b->AppendByte(1), "DataBuffer");
}

// ---- transforms -----------------------------------------------------------

TEST(DataBufferTest, SwapWordBytes)
{
    struct Case {
        Bytes in;
        Bytes out;
    };
    const Case cases[] = {
        {{}, {}},
        {{1}, {1}},
        {{1, 2}, {2, 1}},
        {{1, 2, 3}, {3, 2, 1}},
        {{1, 2, 3, 4}, {4, 3, 2, 1}},
        {{1, 2, 3, 4, 5}, {4, 3, 2, 1, 5}},
        {{1, 2, 3, 4, 5, 6}, {4, 3, 2, 1, 6, 5}},
        {{1, 2, 3, 4, 5, 6, 7}, {4, 3, 2, 1, 7, 6, 5}},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {4, 3, 2, 1, 8, 7, 6, 5, 9}},
    };
    for (const Case& c : cases) {
        DataBuffer b;
        b.AppendBytes(c.in.data(), static_cast<unsigned>(c.in.size()));
        b.SwapWordBytes();
        EXPECT_EQ(Of(b), c.out) << "size " << c.in.size();
    }
}

TEST(DataBufferTest, PadBlockAndUnpadBlockRoundTrip)
{
    for (int scheme : {0, 1, 2}) {
        for (unsigned size : {0u, 1u, 5u, 15u, 16u, 17u, 32u}) {
            Bytes data = Range(size);
            DataBuffer b;
            b.AppendBytes(data.data(), size);
            b.PadBlock(scheme);
            unsigned k = 16 - size % 16;
            unsigned padded = scheme == 2 ? size + 16 : size + k;
            ASSERT_EQ(b.Size(), padded) << "scheme " << scheme << " size " << size;
            if (scheme == 0) {
                for (unsigned i = size; i < padded; ++i)
                    EXPECT_EQ(b.Data()[i], k);
            } else if (scheme == 1) {
                EXPECT_EQ(b.Data()[padded - 1], k);
            }
            b.UnpadBlock(scheme);
            EXPECT_EQ(Of(b), data) << "scheme " << scheme << " size " << size;
        }
    }
}

TEST(DataBufferTest, UnpadBlockChecksOnlyWhereTheSchemeSays)
{
    struct Case {
        int scheme;
        Bytes in;
        unsigned sizeAfter;
    };
    const Case cases[] = {
        {0, {1, 2, 0}, 3},          // 0 is no padding length
        {0, {1, 2, 17}, 3},         // longer than a block
        {0, {1, 2, 2}, 1},
        {0, {5}, 0},                // more than the buffer holds: emptied
        {1, {1, 2, 0}, 3},
        {1, Bytes(20, 20), 0},      // scheme 1 trusts the byte even above 16
        {1, {1, 2, 200}, 0},
        {9, {1, 2, 1}, 3},          // unknown scheme
    };
    for (const Case& c : cases) {
        DataBuffer b;
        b.AppendBytes(c.in.data(), static_cast<unsigned>(c.in.size()));
        b.UnpadBlock(c.scheme);
        EXPECT_EQ(b.Size(), c.sizeAfter) << "scheme " << c.scheme << " last " << int(c.in.back());
    }
    DataBuffer empty;
    empty.UnpadBlock(0);
    EXPECT_TRUE(empty.IsEmpty());
}

// ---- files ----------------------------------------------------------------

class DataBufferFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        // A random part keeps runs of several builds at the same time apart.
        dir_ = std::filesystem::temp_directory_path() /
               ("plentor-databuffer-" + std::to_string(std::random_device{}()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }

    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Write(const std::string& name, const std::string& content)
    {
        std::filesystem::path p = dir_ / name;   // file names are bytes here
        std::ofstream(p, std::ios::binary) << content;
        return p.string();
    }

    std::filesystem::path dir_;
};

TEST_F(DataBufferFileTest, LoadFileReplacesTheBytes)
{
    std::string content("bin\0ary\xFF", 8);
    std::string path = Write("data.bin", content);
    DataBuffer b;
    b.AppendBytes("old", 3);
    Logger log;
    ASSERT_TRUE(b.LoadFile(path.c_str(), log));
    EXPECT_TRUE(b.Equals(content.data(), 8));

    std::string emptyPath = Write("empty.bin", "");
    ASSERT_TRUE(b.LoadFile(emptyPath.c_str(), log));
    EXPECT_TRUE(b.IsEmpty());
}

TEST_F(DataBufferFileTest, MissingFileLogsPathAndKeepsTheBytes)
{
    std::string path = (dir_ / "missing.bin").string();
    DataBuffer b;
    b.AppendBytes("old", 3);
    Logger log;
    EXPECT_FALSE(b.LoadFile(path.c_str(), log));
    EXPECT_TRUE(b.Equals("old", 3));
    StringBuffer text;
    log.GetText(text);
    EXPECT_TRUE(text.Contains("Failed to load file")) << text.GetString();
    EXPECT_TRUE(text.Contains("missing.bin")) << text.GetString();

    Logger nullPathLog;
    EXPECT_FALSE(b.LoadFile(static_cast<const char*>(nullptr), nullPathLog));
}

// The name holds a character that code page 20127 cannot write, so the path
// must travel in UTF-16; with 65001 the ANSI form is exact and is used.
// Windows cannot switch its page: there the system's own page runs (the
// last row, which runs everywhere).
TEST_F(DataBufferFileTest, LoadFileByXStringPicksAFaithfulForm)
{
    std::string path = Write("caf\xC3\xA9.bin", "content");
    for (const char* acp : {"20127", "65001", static_cast<const char*>(nullptr)}) {
        std::optional<testsupport::ScopedCodePage> page;
        if (acp != nullptr) {
            page.emplace(acp);
            if (!page->Active())
                continue;
        }
        const std::string which = acp != nullptr ? acp : "of the system";
        XString name;
        name.SetUtf8(path.c_str());
        DataBuffer b;
        Logger log;
        EXPECT_TRUE(b.LoadFile(name, log)) << "ACP " << which;
        EXPECT_TRUE(b.Equals("content", 7)) << "ACP " << which;
    }
}

} // namespace
} // namespace plentor

#include "services/ClsStringArray.h"

#include "log/Logger.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace plentor {
namespace {

using Entries = std::vector<std::string>;

Entries EntriesOf(const ClsStringArray& list)
{
    Entries entries;
    StringBuffer out;
    for (int i = 0; i < list.Count(); ++i) {
        EXPECT_TRUE(list.GetString(i, out));
        entries.push_back(out.ToStdString());
    }
    return entries;
}

// The settings the Delicious object gives its list.
void UseDeliciousSettings(ClsStringArray& list)
{
    list.SetUnique(true);
    list.SetTrim(false);
    list.SetCrlf(true);
}

class ClsStringArrayFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = std::filesystem::temp_directory_path() /
               ("plentor_links_" + std::to_string(rd()) + "_" + std::to_string(rd()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Write(const std::string& name, const std::string& bytes)
    {
        std::filesystem::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }

    std::filesystem::path dir_;
};

struct FileCase {
    const char* what;
    std::string bytes;
    Entries expected;
};

TEST_F(ClsStringArrayFileTest, LoadsTheLinesOfAFile)
{
    using namespace std::string_literals;
    const FileCase cases[] = {
        {"mixed line ends, blank line, repeat", "a\r\nb\n\r\na\n", {"a", "b"}},
        {"last line without line end", "a\nb", {"a", "b"}},
        {"empty file", "", {}},
        {"only blank lines", "\r\n\n\r\n\n", {}},
        {"spaces kept, distinct from bare URL", "  http://x.com/  \nhttp://x.com/\n", {"  http://x.com/  ", "http://x.com/"}},
        {"tabs kept", "\thttp://x.com/\t\n", {"\thttp://x.com/\t"}},
        {"keys are case-sensitive", "http://X.com/\nhttp://x.com/\n", {"http://X.com/", "http://x.com/"}},
        {"byte-order mark dropped", "\xEF\xBB\xBFhttp://a.com/\r\nhttp://b.com/", {"http://a.com/", "http://b.com/"}},
        {"file of only a byte-order mark", "\xEF\xBB\xBF", {}},
        {"mark after the start is data", "a\n\xEF\xBB\xBF" "b", {"a", "\xEF\xBB\xBF" "b"}},
        {"stray CR deleted inside a line", "a\rb\r\n", {"ab"}},
        {"bytes kept as they are", "caf\xE9\na\0b\n"s, {"caf\xE9", "a\0b"s}},
    };
    for (const FileCase& c : cases) {
        ClsStringArray list;
        UseDeliciousSettings(list);
        Logger log;
        EXPECT_TRUE(list.LoadFromFile(Write("list.txt", c.bytes).c_str(), log)) << c.what;
        EXPECT_EQ(EntriesOf(list), c.expected) << c.what;
    }
}

TEST_F(ClsStringArrayFileTest, LoadingTheSameFileTwiceAddsNothing)
{
    std::string path = Write("list.txt", "http://a.com/\nhttp://b.com/\n");
    ClsStringArray list;
    UseDeliciousSettings(list);
    Logger log;
    ASSERT_TRUE(list.LoadFromFile(path.c_str(), log));
    ASSERT_TRUE(list.LoadFromFile(path.c_str(), log));
    EXPECT_EQ(EntriesOf(list), (Entries {"http://a.com/", "http://b.com/"}));
}

TEST_F(ClsStringArrayFileTest, UnreadableFileFailsAndLeavesTheList)
{
    ClsStringArray list;
    UseDeliciousSettings(list);
    list.Append("http://kept.com/");
    for (const std::string& path : {(dir_ / "missing.txt").string(), dir_.string()}) {
        Logger log;
        EXPECT_FALSE(list.LoadFromFile(path.c_str(), log)) << path;
        StringBuffer text;
        log.GetText(text);
        EXPECT_TRUE(text.Contains("Failed to read file")) << text.GetString();
        EXPECT_TRUE(text.Contains(path.c_str())) << text.GetString();
    }
    EXPECT_EQ(EntriesOf(list), Entries {"http://kept.com/"});
}

TEST_F(ClsStringArrayFileTest, UniqueDecidesWhetherRepeatsAreListed)
{
    std::string path = Write("list.txt", "a\na\nb\na\n");
    for (bool unique : {true, false}) {
        ClsStringArray list;
        list.SetUnique(unique);
        Logger log;
        ASSERT_TRUE(list.LoadFromFile(path.c_str(), log));
        const Entries expected = unique ? Entries {"a", "b"} : Entries {"a", "a", "b", "a"};
        EXPECT_EQ(EntriesOf(list), expected);
        EXPECT_EQ(list.Occurrences("a"), unique ? 1 : 3);
        EXPECT_EQ(list.Occurrences("b"), 1);
        EXPECT_EQ(list.Occurrences("c"), 0);
    }
}

TEST_F(ClsStringArrayFileTest, TrimDropsLinesOfOnlyWhiteSpace)
{
    ClsStringArray list;
    list.SetUnique(true);
    list.SetTrim(true);
    Logger log;
    ASSERT_TRUE(list.LoadFromFile(Write("list.txt", "  a  \n\t \nb\t\r\na\n").c_str(), log));
    EXPECT_EQ(EntriesOf(list), (Entries {"a", "b"}));
}

TEST(ClsStringArrayTest, AppendNormalisesLineEndsAndWhiteSpace)
{
    enum class Trim { Off, On };
    enum class LineEnds { Lf, CrLf };
    struct Case {
        Trim trim;
        LineEnds ends;
        const char* input;
        const char* stored;
    };
    const Case cases[] = {
        {Trim::Off, LineEnds::CrLf, "a\nb", "a\r\nb"},
        {Trim::Off, LineEnds::CrLf, "a\r\nb\r\r\n", "a\r\nb\r\n"},
        {Trim::Off, LineEnds::CrLf, "a\rb", "ab"},
        {Trim::Off, LineEnds::Lf, "a\r\nb\n", "a\nb\n"},
        {Trim::Off, LineEnds::Lf, "a\rb", "a\rb"},
        {Trim::Off, LineEnds::Lf, " a ", " a "},
        {Trim::On, LineEnds::CrLf, " \ta\nb\r\n ", "a\r\nb"},
        {Trim::On, LineEnds::Lf, "\r\n a\r\nb \r\n", "a\nb"},
    };
    for (const Case& c : cases) {
        ClsStringArray list;
        list.SetTrim(c.trim == Trim::On);
        list.SetCrlf(c.ends == LineEnds::CrLf);
        list.Append(c.input);
        StringBuffer out;
        ASSERT_TRUE(list.GetString(0, out)) << c.input;
        EXPECT_EQ(out.ToStdString(), c.stored) << c.input;
    }
}

TEST(ClsStringArrayTest, UniqueComparesNormalisedStrings)
{
    ClsStringArray list;
    list.SetUnique(true);
    list.Append("a\nb");
    list.Append("a\r\nb");
    list.Append("a\r\r\nb");
    list.Append(nullptr);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Occurrences("a\nb"), 1);
}

TEST(ClsStringArrayTest, GetStringOutsideTheListClearsOutAndFails)
{
    ClsStringArray list;
    list.Append("a");
    list.Append("b");
    for (int index : {-1, 2, 3, INT_MIN, INT_MAX}) {
        StringBuffer out("left over");
        EXPECT_FALSE(list.GetString(index, out)) << index;
        EXPECT_TRUE(out.IsEmpty()) << index;
    }
}

// Reading applies the settings in force at the time of the read, and does not
// change what is stored.
TEST(ClsStringArrayTest, GetStringNormalisesWithCurrentSettings)
{
    ClsStringArray list;
    list.Append(" a\nb ");
    StringBuffer out;
    list.SetCrlf(false);
    list.SetTrim(true);
    ASSERT_TRUE(list.GetString(0, out));
    EXPECT_EQ(out.ToStdString(), "a\nb");
    list.SetCrlf(true);
    list.SetTrim(false);
    ASSERT_TRUE(list.GetString(0, out));
    EXPECT_EQ(out.ToStdString(), " a\r\nb ");
}

TEST(ClsStringArrayTest, ClearForgetsEntriesAndCounts)
{
    ClsStringArray list;
    list.SetUnique(true);
    list.Append("a");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Occurrences("a"), 0);
    list.Append("a");
    EXPECT_EQ(EntriesOf(list), Entries {"a"});
}

} // namespace
} // namespace plentor

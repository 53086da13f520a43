#include "base/LogNull.h"
#include "log/Logger.h"

#include "text/StringBuffer.h"

#include "support/CaseName.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <sstream>
#include <string>

namespace plentor {
namespace {

std::string Xml(Logger& log)
{
    StringBuffer out;
    log.GetXml(out);
    return out.ToStdString();
}

std::string Html(Logger& log)
{
    StringBuffer out;
    log.GetHtml(out);
    return out.ToStdString();
}

std::string Text(Logger& log)
{
    StringBuffer out;
    log.GetText(out);
    return out.ToStdString();
}

// The XML of a log holding one data item "v" directly under the root.
std::string RootXmlWith(const std::string& line)
{
    return "<ZentrelLog>\r\n" + line + "</ZentrelLog>\r\n";
}

TEST(LoggerTest, QuickGetHtmlExampleRendersSixLines)
{
    Logger log;
    log.LogInfo("left over from an earlier call");
    EXPECT_TRUE(log.ClearLog());
    EXPECT_TRUE(log.EnterContext("QuickGetHtml", true));
    EXPECT_TRUE(log.LogError("Failed to parse URL"));
    EXPECT_TRUE(log.LogData("url", "x"));
    EXPECT_TRUE(log.LeaveContext());

    EXPECT_EQ(Xml(log),
              "<ZentrelLog>\r\n"
              "<QuickGetHtml>\r\n"
              "<error>Failed to parse URL</error>\r\n"
              "<url>x</url>\r\n"
              "</QuickGetHtml>\r\n"
              "</ZentrelLog>\r\n");
}

TEST(LoggerTest, EmptyContextVanishesBelowAContextButStaysUnderRoot)
{
    Logger log;
    {
        LogContext outer(log, "outer");
        { LogContext empty(log, "empty"); }
        {
            LogContext filled(log, "filled");
            log.LogInfo("kept");
        }
        { LogContext emptyAgain(log, "emptyAgain"); }
    }
    { LogContext topLevel(log, "topLevel"); }

    EXPECT_EQ(Xml(log),
              "<ZentrelLog>\r\n"
              "<outer>\r\n"
              "<filled>\r\n"
              "<info>kept</info>\r\n"
              "</filled>\r\n"
              "</outer>\r\n"
              "<topLevel>\r\n"
              "</topLevel>\r\n"
              "</ZentrelLog>\r\n");
}

TEST(LoggerTest, UnbalancedLeaveAtRootIsIgnored)
{
    Logger log;
    EXPECT_TRUE(log.LeaveContext());
    EXPECT_TRUE(log.LeaveContext());
    log.EnterContext("a", false);
    log.LogInfo("in a");
    log.LeaveContext();
    log.LeaveContext();
    log.LogInfo("at root");

    EXPECT_EQ(Xml(log),
              "<ZentrelLog>\r\n<a>\r\n<info>in a</info>\r\n</a>\r\n"
              "<info>at root</info>\r\n</ZentrelLog>\r\n");
    EXPECT_EQ(log.Tree().OpenContextCount(), 1u);
}

TEST(LoggerTest, ClearLogClosesOpenContexts)
{
    Logger log;
    log.EnterContext("a", false);
    log.EnterContext("b", false);
    log.LogError("lost");
    EXPECT_TRUE(log.ClearLog());
    log.LogInfo("fresh");

    EXPECT_EQ(log.Tree().OpenContextCount(), 1u);
    EXPECT_EQ(Xml(log), RootXmlWith("<info>fresh</info>\r\n"));
}

struct XmlTextCase {
    const char* name;
    const char* value;
    const char* written;   // what stands between <v> and </v>
};

void PrintTo(const XmlTextCase& c, std::ostream* os)
{
    *os << c.name << ": " << testing::PrintToString(c.value) << " written " << testing::PrintToString(c.written);
}

class LoggerXmlTextTest : public testing::TestWithParam<XmlTextCase> {};

TEST_P(LoggerXmlTextTest, DataValueIsWrappedOnlyWhenItNeedsIt)
{
    Logger log;
    ASSERT_TRUE(log.LogData("v", GetParam().value));
    EXPECT_EQ(Xml(log), RootXmlWith(std::string("<v>") + GetParam().written + "</v>\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    LoggerCases, LoggerXmlTextTest,
    testing::Values(
        XmlTextCase{"PlainTextAsIs", "plain text", "plain text"},
        XmlTextCase{"EmptyAsIs", "", ""},
        XmlTextCase{"LessThanWrapped", "a<b", "<![CDATA[a<b]]>"},
        XmlTextCase{"GreaterThanWrapped", "a>b", "<![CDATA[a>b]]>"},
        XmlTextCase{"AmpersandWrapped", "a&b", "<![CDATA[a&b]]>"},
        XmlTextCase{"TabWrapped", "a\tb", "<![CDATA[a\tb]]>"},
        XmlTextCase{"LineFeedWrapped", "a\nb", "<![CDATA[a\nb]]>"},
        XmlTextCase{"CarriageReturnAsIs", "a\rb", "a\rb"},
        XmlTextCase{"QuotesAsIs", "quote \" and ' stay", "quote \" and ' stay"},
        // Text that carries its own CDATA section is written as it is.
        XmlTextCase{"OwnCdataSectionAsIs", "<![CDATA[<x>]]>", "<![CDATA[<x>]]>"},
        // Only one of the two markers: wrapped, and the stray "]]>" split so the
        // section cannot end early.
        XmlTextCase{"CdataStartAloneWrapped", "<![CDATA[ <", "<![CDATA[<![CDATA[ <]]>"},
        XmlTextCase{"CdataEndSplit", "a]]>b", "<![CDATA[a]]]]><![CDATA[>b]]>"},
        XmlTextCase{"TwoCdataEndsSplit", "]]>]]>", "<![CDATA[]]]]><![CDATA[>]]]]><![CDATA[>]]>"}),
    testsupport::ByCaseName());

TEST(LoggerTest, LineTextsFollowTheCdataRuleButTagsDoNot)
{
    Logger log;
    log.EnterContext("ctx", false);
    log.LogError("bad <tag>");
    log.LogInfo("a & b");
    log.LogText("x\ty");
    log.LogText("plain");
    log.LeaveContext();

    EXPECT_EQ(Xml(log),
              "<ZentrelLog>\r\n<ctx>\r\n"
              "<error><![CDATA[bad <tag>]]></error>\r\n"
              "<info><![CDATA[a & b]]></info>\r\n"
              "<![CDATA[x\ty]]>\r\n"
              "plain\r\n"
              "</ctx>\r\n</ZentrelLog>\r\n");
}

TEST(LoggerTest, HtmlEncodesEntitiesAndNestsContextsInBlockquotes)
{
    Logger log;
    log.EnterContext("fetch", false);
    log.LogData("url", "a<b&c");
    log.LogError("said \"no\" > 1");
    log.LogText("plain");
    log.LeaveContext();
    log.LogInfo("done");

    EXPECT_EQ(Html(log),
              "ZentrelLog:<blockquote>\r\n"
              "fetch:<blockquote>\r\n"
              "url: a&lt;b&amp;c<br>\r\n"
              "said &quot;no&quot; &gt; 1<br>\r\n"
              "plain<br>\r\n"
              "</blockquote>\r\n"
              "done<br>\r\n"
              "</blockquote>\r\n");
}

TEST(LoggerTest, TextFormIndentsTwoSpacesPerLevel)
{
    Logger log;
    log.LogInfo("top");
    log.EnterContext("outer", false);
    log.LogError("first");
    log.EnterContext("inner", false);
    log.LogData("key", "<raw>");
    log.LeaveContext();
    log.LeaveContext();

    EXPECT_EQ(Text(log),
              "ZentrelLog:\r\n"
              "  top\r\n"
              "  outer:\r\n"
              "    first\r\n"
              "    inner:\r\n"
              "      key: <raw>\r\n");
}

struct TagCase {
    const char* name;
    const char* tag;
    const char* recorded;   // null: nothing is recorded and LogData fails
};

void PrintTo(const TagCase& c, std::ostream* os)
{
    *os << c.name << ": " << testing::PrintToString(c.tag) << " recorded as " << testing::PrintToString(c.recorded);
}

class LoggerTagTest : public testing::TestWithParam<TagCase> {};

TEST_P(LoggerTagTest, TagIsTrimmedAndSpacesBecomeUnderscores)
{
    const TagCase& c = GetParam();
    Logger log;
    EXPECT_EQ(log.LogData(c.tag, "v"), c.recorded != nullptr);
    EXPECT_EQ(log.LogDataLong(c.tag, 7), c.recorded != nullptr);
    if (c.recorded == nullptr) {
        EXPECT_EQ(Xml(log), RootXmlWith(""));
        return;
    }
    const std::string tag = c.recorded;
    EXPECT_EQ(Xml(log), RootXmlWith("<" + tag + ">v</" + tag + ">\r\n<" + tag + ">7</" + tag + ">\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    LoggerCases, LoggerTagTest,
    testing::Values(
        TagCase{"Plain", "url", "url"},
        TagCase{"SpacesBecomeUnderscores", "max url len", "max_url_len"},
        TagCase{"WhitespaceTrimmed", " \t padded \r\n", "padded"},
        TagCase{"EachSpaceOneUnderscore", "two  spaces", "two__spaces"},
        TagCase{"EmptyRefused", "", nullptr},
        TagCase{"OnlyWhitespaceRefused", " \t\r\n", nullptr},
        TagCase{"NullRefused", nullptr, nullptr}),
    testsupport::ByCaseName());

TEST(LoggerTest, NullValueOrTextRecordsNothing)
{
    Logger log;
    EXPECT_FALSE(log.LogData("tag", nullptr));
    EXPECT_TRUE(log.LogError(nullptr));
    EXPECT_TRUE(log.LogInfo(nullptr));
    EXPECT_TRUE(log.LogText(nullptr));
    EXPECT_EQ(Xml(log), RootXmlWith(""));
}

TEST(LoggerTest, DataLongIsDecimal)
{
    Logger log;
    log.LogDataLong("n", INT64_MIN);
    log.LogDataLong("m", 0);
    EXPECT_EQ(Xml(log), RootXmlWith("<n>-9223372036854775808</n>\r\n<m>0</m>\r\n"));
}

TEST(LoggerTest, TickCountIsLowerCaseHex)
{
    Logger log;
    log.LogTickCount("now");
    log.LogTickCount("");   // an empty tag records nothing
    const std::string xml = Xml(log);
    const std::string open = "<ZentrelLog>\r\n<now>";
    ASSERT_EQ(xml.rfind(open, 0), 0u) << xml;
    const size_t end = xml.find("</now>\r\n</ZentrelLog>\r\n");
    ASSERT_NE(end, std::string::npos) << xml;
    const std::string hex = xml.substr(open.size(), end - open.size());
    EXPECT_GE(hex.size(), 1u);
    EXPECT_LE(hex.size(), 8u);
    EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos) << hex;
}

// A nameless context keeps the lines logged inside it: only its own
// open and close lines are left out.
TEST(LoggerTest, NamelessContextWritesItsChildrenInPlace)
{
    Logger log;
    log.EnterContext("outer", false);
    log.EnterContext(nullptr, false);
    log.LogError("inside");
    log.LeaveContext();
    log.LogInfo("after");
    log.LeaveContext();

    EXPECT_EQ(Xml(log),
              "<ZentrelLog>\r\n<outer>\r\n<error>inside</error>\r\n"
              "<info>after</info>\r\n</outer>\r\n</ZentrelLog>\r\n");
    EXPECT_EQ(Text(log), "ZentrelLog:\r\n  outer:\r\n    inside\r\n    after\r\n");
}

TEST(LoggerTest, DeepNestingRendersAndFreesWithoutRecursion)
{
    constexpr int kDepth = 100000;
    {
        Logger log;
        for (int i = 0; i < kDepth; ++i)
            log.EnterContext("c", false);
        log.LogInfo("bottom");
        const std::string xml = Xml(log);
        EXPECT_EQ(xml.size(), 14 + kDepth * (5 + 6) + 21 + 15u);
        EXPECT_NE(xml.find("<c>\r\n<info>bottom</info>\r\n</c>\r\n"), std::string::npos);
        const std::string text = Text(log);
        EXPECT_LT(text.size(), static_cast<size_t>(kDepth) * 256);
    }   // destroying the log frees every level
}

class LoggerFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = std::filesystem::temp_directory_path() /
               ("plentor_log_" + std::to_string(rd()) + "_" + std::to_string(rd()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    static std::string ReadFile(const std::filesystem::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::filesystem::path dir_;
};

TEST_F(LoggerFileTest, SaveLogXmlWritesTheXmlForm)
{
    Logger log;
    log.EnterContext("save", false);
    log.LogData("value", "a<b");
    log.LeaveContext();
    const std::filesystem::path file = dir_ / "log.xml";

    ASSERT_TRUE(log.SaveLogXml(file.string().c_str()));
    EXPECT_EQ(ReadFile(file), Xml(log));
}

TEST_F(LoggerFileTest, SaveLogXmlFailsForAnUnwritablePath)
{
    const std::string missingDir = (dir_ / "missing" / "log.xml").string();
    const std::string isDir = dir_.string();
    for (const char* path : {missingDir.c_str(), isDir.c_str(), "", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(path ? path : "(null)");
        Logger log;
        EXPECT_FALSE(log.SaveLogXml(path));
        EXPECT_NE(Xml(log).find("<error>Failed to write log file"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));
}

TEST(LoggerTest, GetFormsReplaceWhatOutHeld)
{
    Logger log;
    StringBuffer out("stale");
    log.GetXml(out);
    EXPECT_EQ(out.ToStdString(), RootXmlWith(""));
    out.SetString("stale");
    log.GetHtml(out);
    EXPECT_EQ(out.ToStdString(), "ZentrelLog:<blockquote>\r\n</blockquote>\r\n");
    out.SetString("stale");
    log.GetText(out);
    EXPECT_EQ(out.ToStdString(), "ZentrelLog:\r\n");
}

TEST(LoggerTest, NullLogRecordsNothingAndLeavesOutAlone)
{
    LogNull log;
    EXPECT_TRUE(log.ClearLog());
    EXPECT_TRUE(log.EnterContext("ctx", true));
    EXPECT_TRUE(log.LogError("e"));
    EXPECT_TRUE(log.LogInfo("i"));
    EXPECT_TRUE(log.LogText("t"));
    EXPECT_TRUE(log.LogData("", nullptr));
    EXPECT_TRUE(log.LogDataLong("", 1));
    log.LogTickCount("tick");
    EXPECT_TRUE(log.LeaveContext());
    EXPECT_TRUE(log.SaveLogXml(nullptr));

    StringBuffer out("unchanged");
    log.GetXml(out);
    log.GetHtml(out);
    log.GetText(out);
    EXPECT_EQ(out.ToStdString(), "unchanged");
}

} // namespace
} // namespace plentor

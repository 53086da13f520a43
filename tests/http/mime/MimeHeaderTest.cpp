#include "http/mime/MimeHeader.h"

#include "base/LogNull.h"
#include "http/cookies/Cookie.h"
#include "http/mime/MimeField.h"
#include "log/Logger.h"
#include "support/ScopedCodePage.h"
#include "text/EncodingConvert.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace plentor {
namespace {

// The fields as "name=value" lines joined by "|", for comparing whole headers.
std::string Describe(const MimeHeader& header)
{
    std::string text;
    for (int i = 0; i < header.GetFieldCount(); ++i) {
        if (i > 0)
            text += '|';
        text += header.GetFieldAt(i).GetName().ToStdString() + "=" + header.GetFieldAt(i).GetValue().ToStdString();
    }
    return text;
}

MimeHeader Parsed(const std::string& text)
{
    MimeHeader header;
    LogNull log;
    EXPECT_TRUE(header.Parse(text.data(), static_cast<unsigned>(text.size()), log));
    return header;
}

std::string Written(const MimeHeader& header, const char* excluded = nullptr, int codePage = 0)
{
    StringBuffer out;
    header.Write(out, excluded, codePage);
    return out.ToStdString();
}

struct ParseCase {
    const char* what;
    const char* text;
    const char* fields;
};

const ParseCase kParseCases[] = {
    {"CR LF lines, body cut off", "A: 1\r\nB: 2\r\n\r\nC: body", "A=1|B=2"},
    {"bare LF lines", "A: 1\nB: 2\n\nC: body", "A=1|B=2"},
    {"bare LF, end found as LF CR LF", "A: 1\nB: 2\n\r\nC: body", "A=1|B=2"},
    {"bare CR lines", "A: 1\rB: 2", "A=1B: 2"},
    {"CR LF and bare LF mixed", "A: 1\r\nB: 2\nC: 3", "A=1|B=2|C=3"},
    {"stray CR before a CR LF", "A: 1\r\r\nB: 2", "A=1|B=2"},
    {"no end at all", "A: 1\r\nB: 2", "A=1|B=2"},
    {"continuation with TAB joins without separator", "Set-Cookie: a=b;\r\n\tpath=/\r\nX: y", "Set-Cookie=a=b;path=/|X=y"},
    {"continuation with spaces keeps the rest", "S: a\r\n   b\r\n", "S=a  b"},
    {"spaces before an encoded word are dropped", "S: =?utf-8?Q?a?=\r\n   =?utf-8?Q?b?=", "S=ab"},
    {"one space or TAB after the colon, value trimmed", "A:\t  x  \r\nB:y\r\nC:", "A=x|B=y|C="},
    {"name trimmed, odd characters become -", "  My Name<x>\"'  : v", "My-Name-x---=v"},
    {"line without colon is dropped", "garbage\r\nA: 1", "A=1"},
    {"empty name is dropped", ": v\r\nA: 1", "A=1"},
    {"mbox From line is skipped", "From someone Sat Jan 1\r\nA: 1", "A=1"},
    {"later Content-Type replaces earlier", "Content-Type: text/a\r\nX: 1\r\ncontent-type: text/b\r\nY: 2",
     "X=1|content-type=text/b|Y=2"},
    {"Content-Type as last field still replaces", "Content-Type: text/a\r\nX: 1\r\nContent-Type: text/b",
     "X=1|Content-Type=text/b"},
    {"duplicates of other fields are kept", "Set-Cookie: a=1\r\nSet-Cookie: b=2", "Set-Cookie=a=1|Set-Cookie=b=2"},
    {"encoded word in a value", "Subject: =?iso-8859-1?Q?caf=E9?=", "Subject=caf\xC3\xA9"},
    {"address list", "To: =?utf-8?Q?Doe=2C_John?= <jd@x.org>, plain@y.org, Ann Bee <ab@z.org>",
     "To=\"Doe, John\" <jd@x.org>,<plain@y.org>,\"Ann Bee\" <ab@z.org>"},
};

TEST(MimeHeaderTest, ParseCases)
{
    for (const ParseCase& c : kParseCases)
        EXPECT_EQ(Describe(Parsed(c.text)), c.fields) << c.what;
}

// One header parsed again and again, as a kept-alive connection does: the
// fields of the previous parse are filled anew and must not keep any of it.
TEST(MimeHeaderTest, ReparsedHeaderReadsAsAFreshOne)
{
    MimeHeader header;
    LogNull log;
    auto parseEach = [&](auto first, auto last) {
        for (auto c = first; c != last; ++c) {
            ASSERT_TRUE(header.Parse(c->text, static_cast<unsigned>(std::strlen(c->text)), log));
            EXPECT_EQ(Describe(header), c->fields) << c->what;
        }
    };
    parseEach(std::begin(kParseCases), std::end(kParseCases));
    parseEach(std::rbegin(kParseCases), std::rend(kParseCases));

    // A field set by the program may be written unfolded; the received field
    // parsed into it afterwards is folded as any other.
    const char* received = "Content-Type: text/plain; charset=utf-8; format=flowed";
    header.SetField("Accept", "text/html; charset=utf-8; q=0.9, text/plain; q=0.5");
    header.Clear();
    ASSERT_TRUE(header.Parse(received, static_cast<unsigned>(std::strlen(received)), log));
    EXPECT_EQ(Written(header), Written(Parsed(received)));
}

struct CodePageCase {
    const char* what;
    const char* text;
    int codePage;
};

const CodePageCase kCodePageCases[] = {
    {"ASCII only", "A: 1", 0},
    {"Q word names the charset", "A: =?windows-1252?q?x?=", 1252},
    {"B word names the charset", "A: =?ISO-8859-2?B?eA==?=", 28592},
    {"unknown charset", "A: =?nonsense?Q?x?=", 0},
    {"UTF-8 Latin bytes", "A: caf\xC3\xA9", 65001},
};

TEST(MimeHeaderTest, CodePageDetection)
{
    for (const CodePageCase& c : kCodePageCases)
        EXPECT_EQ(Parsed(c.text).GetCodePage(), c.codePage) << c.what;
}

TEST(MimeHeaderTest, EightBitTextIsConvertedFromItsCodePage)
{
    // E9 alone is not UTF-8: a UTF-8 active code page rejects it and
    // ISO-8859-1 takes it; windows-1252 (Windows' page under Wine) takes it itself.
    const struct {
        const char* acp;
        int codePage;
    } pages[] = {{"65001", EncodingConvert::kLatin1}, {"1252", 1252}};
    for (const auto& page : pages) {
        testsupport::ScopedCodePage acp(page.acp);
        if (!acp.Active())
            continue;   // Windows runs the row of its own code page
        MimeHeader header = Parsed("Subject: caf\xE9");
        EXPECT_EQ(header.GetCodePage(), page.codePage) << page.acp;
        EXPECT_EQ(Describe(header), "Subject=caf\xC3\xA9") << page.acp;
    }
}

TEST(MimeHeaderTest, LookupsIgnoreCase)
{
    MimeHeader header = Parsed("Content-Length: 12\r\nX-A: first\r\nx-a: second");
    StringBuffer out("pre:");
    EXPECT_TRUE(header.GetField("X-a", out));
    EXPECT_STREQ(out.GetString(), "pre:first");
    EXPECT_TRUE(header.HasField("CONTENT-LENGTH"));
    EXPECT_FALSE(header.HasField("Content"));
    EXPECT_FALSE(header.GetField("missing", out));
}

struct ParamCase {
    const char* value;
    const char* param;
    bool found;
    const char* result;
};

const ParamCase kParamCases[] = {
    {"text/html; charset=utf-8", "charset", true, "utf-8"},
    {"text/html; charset=\"iso-8859-1\"", "Charset", true, "iso-8859-1"},
    {"text/html;CHARSET = \" koi8-r \" ", "charset", true, "koi8-r"},
    {"text/html", "charset", false, ""},
    {"text/html; x=\"a;charset=no\"; charset=yes", "charset", true, "yes"},
    {"text/html; mycharset=no", "charset", false, ""},
    {"multipart/mixed; boundary=\"a\\\"b\"", "boundary", true, "a\\\"b"},
};

TEST(MimeHeaderTest, GetFieldParam)
{
    for (const ParamCase& c : kParamCases) {
        MimeHeader header;
        header.SetField("Content-Type", c.value);
        StringBuffer out;
        EXPECT_EQ(header.GetFieldParam("content-type", c.param, out), c.found) << c.value;
        EXPECT_STREQ(out.GetString(), c.result) << c.value;
    }
}

TEST(MimeHeaderTest, SetFieldReplacesAllAndBlankRemoves)
{
    MimeHeader header = Parsed("Referer: a\r\nX: 1\r\nreferer: b");
    header.SetField("REFERER", "c");
    EXPECT_EQ(Describe(header), "X=1|REFERER=c");
    header.SetField("Referer", "   ");
    EXPECT_EQ(Describe(header), "X=1");
    header.SetField("X", nullptr);
    EXPECT_EQ(header.GetFieldCount(), 0);
}

TEST(MimeHeaderTest, SetFieldDecodesAndUnfolds)
{
    MimeHeader header;
    header.SetField("Subject", "=?utf-8?B?w6k=?= and\r\n\tmore\r\n more");
    EXPECT_EQ(Describe(header), "Subject=\xC3\xA9 andmoremore");
}

struct WriteCase {
    const char* what;
    const char* name;
    const char* value;
    const char* written;
};

const WriteCase kWriteCases[] = {
    {"Content-Type breaks after its ;", "Content-Type", "text/html; charset=utf-8",
     "Content-Type: text/html;\r\n\t charset=utf-8"},
    {"break after ; once past 20", "X", "abc; defghijklmnopqrstuvwxyz; a=b",
     "X: abc; defghijklmnopqrstuvwxyz;\r\n\t a=b"},
    {"short field stays", "X", "a; b", "X: a; b"},
    {"; inside quotes never breaks", "Content-Disposition", "form-data; name=\"a;b;c;d;e;f;g;h;i;j;k;l;m\"",
     "Content-Disposition: form-data;\r\n\t name=\"a;b;c;d;e;f;g;h;i;j;k;l;m\""},
    {"User-Agent is never folded", "User-Agent", "Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US)",
     "User-Agent: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US)"},
    {"Accept is never folded", "accept", "text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5",
     "accept: text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5"},
    {"long address list breaks after commas", "To",
     "alpha@example.com, beta@example.com, gamma@example.com, delta@example.com",
     "To: alpha@example.com,\r\n\t beta@example.com, gamma@example.com,\r\n\t delta@example.com"},
    {"trailing ; leaves no dangling fold", "X", "abcdefghijklmnopqrstuvwxyz;", "X: abcdefghijklmnopqrstuvwxyz;"},
    {"non-ASCII value becomes an encoded word", "Subject", "caf\xC3\xA9", "Subject: =?utf-8?Q?caf=C3=A9?="},
};

TEST(MimeHeaderTest, WriteCases)
{
    for (const WriteCase& c : kWriteCases) {
        MimeHeader header;
        header.SetField(c.name, c.value);
        EXPECT_EQ(Written(header), c.written) << c.what;
    }
}

TEST(MimeHeaderTest, WriteJoinsTrimsAndExcludes)
{
    MimeHeader header;
    header.SetField("Host", "example.com  ");
    header.SetField("X-Empty-Later", "v");
    header.SetField("Content-Length", "5");
    EXPECT_EQ(Written(header), "Host: example.com\r\nX-Empty-Later: v\r\nContent-Length: 5");
    EXPECT_EQ(Written(header, "x-"), "Host: example.com\r\nContent-Length: 5");
}

TEST(MimeHeaderTest, WriteInNamedCodePageReadsBack)
{
    MimeHeader header;
    header.SetField("Subject", "caf\xC3\xA9");
    std::string text = Written(header, nullptr, EncodingConvert::kLatin1);
    EXPECT_NE(text.find("=?iso-8859-1?"), std::string::npos) << text;
    MimeHeader back = Parsed(text);
    EXPECT_EQ(back.GetCodePage(), EncodingConvert::kLatin1);
    EXPECT_EQ(Describe(back), "Subject=caf\xC3\xA9");
}

TEST(MimeHeaderTest, EncodedParameterValueKeepsItsStructure)
{
    MimeHeader header;
    header.SetField("Content-Disposition", "attachment; filename=caf\xC3\xA9.txt; size=12");
    std::string text = Written(header);
    // The encoded piece would pass 64 characters on the first line.
    EXPECT_EQ(text, "Content-Disposition: attachment;\r\n\tfilename=\"=?utf-8?Q?caf=C3=A9.txt?=\"; size=\"12\"");
    MimeHeader back = Parsed(text);
    StringBuffer name;
    EXPECT_TRUE(back.GetFieldParam("Content-Disposition", "filename", name));
    EXPECT_STREQ(name.GetString(), "caf\xC3\xA9.txt");
}

TEST(MimeHeaderTest, ParseReplacesAndCopies)
{
    MimeHeader header = Parsed("A: 1");
    MimeHeader copy(header);
    LogNull log;
    ASSERT_TRUE(header.Parse("B: 2", 4, log));
    EXPECT_EQ(Describe(header), "B=2");
    EXPECT_EQ(Describe(copy), "A=1");
}

TEST(MimeHeaderTest, OversizedHeaderIsRefusedWithALogLine)
{
    std::string text = "A: " + std::string(MimeHeader::kMaxHeaderBytes, 'x');
    MimeHeader header = Parsed("Old: 1");
    Logger log;
    EXPECT_FALSE(header.Parse(text.data(), static_cast<unsigned>(text.size()), log));
    EXPECT_EQ(header.GetFieldCount(), 0);
    StringBuffer logText;
    log.GetText(logText);
    EXPECT_TRUE(logText.Contains("Header too large")) << logText.GetString();
}

TEST(MimeHeaderTest, TooManyLinesKeepsTheFirstOnes)
{
    std::string text;
    for (int i = 0; i < MimeHeader::kMaxLines + 5; ++i)
        text += "A: 1\r\n";
    MimeHeader header;
    Logger log;
    EXPECT_FALSE(header.Parse(text.data(), static_cast<unsigned>(text.size()), log));
    EXPECT_EQ(header.GetFieldCount(), MimeHeader::kMaxLines);
    StringBuffer logText;
    log.GetText(logText);
    EXPECT_TRUE(logText.Contains("Too many header lines"));
}

TEST(MimeHeaderTest, LongContinuationIsParsedInOnePass)
{
    // 50000 continuation lines make one field; a join that copied the
    // field per line would take seconds here.
    std::string text = "Long: start";
    for (int i = 0; i < 50000; ++i)
        text += "\r\n\tpiece";
    MimeHeader header = Parsed(text);
    ASSERT_EQ(header.GetFieldCount(), 1);
    EXPECT_EQ(header.GetFieldAt(0).GetValue().GetLength(), 5 + 50000 * 5);
}

TEST(MimeHeaderTest, CollectResponseCookies)
{
    MimeHeader header = Parsed("Set-Cookie: id=abc; Path=/; Domain=.example.com\r\n"
                               "X-Set-Cookie: no=1\r\n"
                               "set-cookie: nodomain=1\r\n"
                               "Set-Cookie2: v2=1\r\n"
                               "Set-Cookies: no=2");
    std::vector<std::unique_ptr<Cookie>> cookies;
    LogNull log;
    header.CollectResponseCookies(cookies, ".default.org", log);
    ASSERT_EQ(cookies.size(), 3u);
    EXPECT_STREQ(cookies[0]->Domain().GetString(), ".example.com");
    EXPECT_STREQ(cookies[0]->Pairs().at(0).name.GetString(), "id");
    EXPECT_STREQ(cookies[1]->Domain().GetString(), ".default.org");
    EXPECT_EQ(cookies[2]->Version(), 1);

    cookies.clear();
    header.CollectResponseCookies(cookies, nullptr, log);
    ASSERT_EQ(cookies.size(), 1u);
    EXPECT_STREQ(cookies[0]->Domain().GetString(), ".example.com");
}

} // namespace
} // namespace plentor

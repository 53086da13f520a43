#include "services/BookmarkFile.h"

#include "support/CaseName.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace plentor {
namespace {

// An entry as one line: "url | title | description | tag,tag | folder/folder".
std::string Describe(const BookmarkFile::Entry& e)
{
    std::string tags, folders;
    for (const std::string& t : e.tags) tags += (tags.empty() ? "" : ",") + t;
    for (const std::string& f : e.folders) folders += (folders.empty() ? "" : "/") + f;
    return e.url + " | " + e.title + " | " + e.description + " | " + tags + " | " + folders;
}

std::vector<std::string> DescribeAll(const BookmarkFile& file)
{
    std::vector<std::string> lines;
    for (const BookmarkFile::Entry& e : file.Entries()) lines.push_back(Describe(e));
    return lines;
}

struct ReadCase {
    const char* name;
    std::string text;
    std::vector<std::string> expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class BookmarkFileReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(BookmarkFileReadTest, ReadsTheEntries)
{
    BookmarkFile file;
    file.Load(GetParam().text);
    EXPECT_EQ(DescribeAll(file), GetParam().expected);
}

const std::string kHead = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                          "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                          "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n";

const ReadCase kReads[] = {
    {"OneLinkAtTheTop", kHead + "<DL><p>\n    <DT><A HREF=\"https://a.example/\" ADD_DATE=\"1\">A</A>\n</DL>\n",
     {"https://a.example/ | A |  |  | "}},
    {"NestedFoldersOpenAndClose",
     kHead + "<DL><p>\n"
             "<DT><H3 ADD_DATE=\"1\">Outer</H3>\n<DL><p>\n"
             "  <DT><H3>Inner</H3>\n  <DL><p>\n    <DT><A HREF=\"http://deep/\">Deep</A>\n  </DL><p>\n"
             "  <DT><A HREF=\"http://mid/\">Mid</A>\n"
             "</DL><p>\n"
             "<DT><A HREF=\"http://top/\">Top</A>\n</DL>\n",
     {"http://deep/ | Deep |  |  | Outer/Inner", "http://mid/ | Mid |  |  | Outer", "http://top/ | Top |  |  | "}},
    {"EmptyFolderLeavesNoTrace",
     kHead + "<DL><p><DT><H3>Empty</H3>\n<DL><p>\n</DL><p>\n<DT><A HREF=\"http://a/\">A</A></DL>",
     {"http://a/ | A |  |  | "}},
    {"ReferencesDecoded",
     kHead + "<DL><DT><A HREF=\"http://a/?x=1&amp;y=2\" TAGS=\"r&amp;d,caf&#233;\">Tom &amp; Jerry &lt;3 "
             "&quot;q&quot; &#39;s&#39; &eacute;t&eacute; &#x263A; &#128512; &bogus; & x</A></DL>",
     {"http://a/?x=1&y=2 | Tom & Jerry <3 \"q\" 's' \xC3\xA9t\xC3\xA9 \xE2\x98\xBA \xF0\x9F\x98\x80 &bogus; & x "
      "|  | r&d,caf\xC3\xA9 | "}},
    {"MissingAndEmptyTitles", kHead + "<DL><DT><A HREF=\"http://a/\"></A><DT><A HREF=\"http://b/\">  \n </A></DL>",
     {"http://a/ |  |  |  | ", "http://b/ |  |  |  | "}},
    {"TagsSplitAtCommasAndTrimmed", kHead + "<DL><DT><A HREF=\"http://a/\" TAGS=\" web , ,news,  long  tag ,\">A</A></DL>",
     {"http://a/ | A |  | web,news,long tag | "}},
    {"DescriptionsBelongToTheLinkBeforeThem",
     kHead + "<DL><DT><H3>F</H3>\n<DD>About the folder\n<DL><p>\n"
             "<DT><A HREF=\"http://a/\">A</A>\n<DD>First line\nsecond   line &amp; more\n"
             "<DT><A HREF=\"http://b/\">B</A>\n"
             "</DL><p></DL>",
     {"http://a/ | A | First line second line & more |  | F", "http://b/ | B |  |  | F"}},
    {"CrLfLineEnds",
     "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<DL><p>\r\n<DT><H3>F</H3>\r\n<DL><p>\r\n"
     "<DT><A HREF=\"http://a/\"\r\n TAGS=\"x\">Two\r\nlines</A>\r\n<DD>D\r\n</DL><p>\r\n</DL><p>\r\n",
     {"http://a/ | Two lines | D | x | F"}},
    {"OddCapitalisation",
     "<!doctype netscape-bookmark-file-1>\n<dl><P><dt><h3>Lower</h3><Dl><p>"
     "<Dt><a hRef=\"http://a/\" Tags=\"t\">A</A><dD>d</dL></DL>",
     {"http://a/ | A | d | t | Lower"}},
    {"LinksWithoutAddressAreNoEntries",
     kHead + "<DL><DT><A HREF=\"http://a/\">A</A><DD>kept"
             "<DT><A NAME=\"anchor\">No address</A><DD>not for A"
             "<DT><A HREF=\"\">Empty</A><DT><A HREF=\"  \">Blank</A></DL>",
     {"http://a/ | A | kept |  | "}},
    {"QuotesAndBareValues",
     kHead + "<DL><DT><A HREF='http://a/?q=\"x\"' TAGS=bare>A</A><DT><A ICON=\"data:x\" HREF=http://b/>B</A>"
             "<DT><A FEEDHREF=\"http://feed/\" HREF = \" http://c/ \">C</A></DL>",
     {"http://a/?q=\"x\" | A |  | bare | ", "http://b/ | B |  |  | ", "http://c/ | C |  |  | "}},
    {"CommentsAreSkipped",
     "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<!-- This is an automatically generated file.\n"
     "<DT><A HREF=\"http://commented/\">no</A> -->\n<DL><DT><A HREF=\"http://a/\">A</A></DL>",
     {"http://a/ | A |  |  | "}},
    {"UnclosedLinkEndsAtTheNextTag", kHead + "<DL><DT><A HREF=\"http://a/\">A\n<DT><A HREF=\"http://b/\">B</A></DL>",
     {"http://a/ | A |  |  | ", "http://b/ | B |  |  | "}},
    {"StrayListEndsAreHarmless", kHead + "</DL></DL><DL><DT><H3>F</H3><DL><DT><A HREF=\"http://a/\">A</A>",
     {"http://a/ | A |  |  | F"}},
    {"DeclaredCharsetConverted",
     "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
     "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">\n"
     "<DL><DT><H3>Caf\xE9</H3><DL><DT><A HREF=\"http://a/\">\x93quoted\x94</A></DL></DL>",
     {"http://a/ | \xE2\x80\x9Cquoted\xE2\x80\x9D |  |  | Caf\xC3\xA9"}},
    {"ByteOrderMarkDropped", "\xEF\xBB\xBF<DL><DT><A HREF=\"http://a/\">\xC3\xA9</A></DL>",
     {"http://a/ | \xC3\xA9 |  |  | "}},
};

INSTANTIATE_TEST_SUITE_P(Exports, BookmarkFileReadTest, ::testing::ValuesIn(kReads), testsupport::ByCaseName());

TEST(BookmarkFileTest, FolderNamesStopAtTheDepthLimit)
{
    std::string text = "<DL>";
    const size_t depth = BookmarkFile::kMaxFolderDepth + 3;
    for (size_t i = 0; i < depth; ++i) text += "<DT><H3>f" + std::to_string(i) + "</H3><DL>";
    text += "<DT><A HREF=\"http://deep/\">D</A>";
    for (size_t i = 0; i < depth; ++i) text += "</DL>";
    text += "<DT><A HREF=\"http://top/\">T</A></DL>";
    BookmarkFile file;
    file.Load(text);
    ASSERT_EQ(file.Entries().size(), 2u);
    ASSERT_EQ(file.Entries()[0].folders.size(), BookmarkFile::kMaxFolderDepth);
    EXPECT_EQ(file.Entries()[0].folders.back(), "f" + std::to_string(BookmarkFile::kMaxFolderDepth - 1));
    EXPECT_TRUE(file.Entries()[1].folders.empty());
}

TEST(BookmarkFileTest, LoadReplacesTheEntries)
{
    BookmarkFile file;
    file.Load("<DL><DT><A HREF=\"http://a/\">A</A></DL>");
    file.Load("<DL><DT><A HREF=\"http://b/\">B</A></DL>");
    EXPECT_EQ(DescribeAll(file), std::vector<std::string>{"http://b/ | B |  |  | "});
}

TEST(BookmarkFileTest, TellsExportsFromUrlLists)
{
    const struct {
        std::string text;
        bool bookmarks;
    } cases[] = {
        {"<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL>", true},
        {"\xEF\xBB\xBF \r\n\t<!-- comment first -->", true},
        {"<META HTTP-EQUIV=\"Content-Type\">", true},
        {"http://example.org/\n<b>\n", false},
        {"\xEF\xBB\xBFhttps://example.org/", false},
        {"", false},
        {" \r\n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(BookmarkFile::IsBookmarkFile(c.text), c.bookmarks) << c.text;
}

// The export fixture as a browser writes it (icons inline, a separator, a
// query, one page in two folders): every link is an entry, with the
// folders, tags and descriptions the file gives.
TEST(BookmarkFileTest, ReadsTheExportFixture)
{
    std::ifstream in(std::string(PLENTOR_TEST_DATA) + "/bookmarks/export.html", std::ios::binary);
    ASSERT_TRUE(in) << "tests/data/bookmarks/export.html";
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(BookmarkFile::IsBookmarkFile(text));
    BookmarkFile file;
    file.Load(text);
    const auto& entries = file.Entries();
    ASSERT_GE(entries.size(), 50u);
    std::set<std::string> folders;
    size_t tagged = 0, described = 0;
    for (const BookmarkFile::Entry& e : entries) {
        // Firefox keeps a "Most Visited" query among the bookmarks.
        EXPECT_TRUE(e.url.rfind("https://", 0) == 0 || e.url.rfind("place:", 0) == 0) << Describe(e);
        EXPECT_FALSE(e.title.empty()) << Describe(e);
        tagged += e.tags.empty() ? 0 : 1;
        described += e.description.empty() ? 0 : 1;
        std::string path;
        for (const std::string& f : e.folders) folders.insert(path += "/" + f);
    }
    EXPECT_GT(tagged, 10u);
    EXPECT_GT(described, 5u);
    EXPECT_TRUE(folders.count("/Bookmarks Toolbar"));
    EXPECT_TRUE(folders.count("/Reading/Programming/C++"));
}

} // namespace
} // namespace plentor

#include "markup/ClsXml.h"

#include "base/LogNull.h"
#include "platform/Files.h"
#include "text/CharsetNames.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"

#include "support/CaseName.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

namespace plentor {
namespace {

std::string Text(const ClsXml& xml)
{
    StringBuffer out;
    xml.GetXmlText(out);
    return out.ToStdString();
}

std::string LogText(ClsXml& xml)
{
    StringBuffer out;
    xml.Log().GetText(out);
    return out.ToStdString();
}

// A fresh directory for one test's files, removed afterwards.
class TempDir : public testsupport::TempDirectory {
public:
    TempDir() : TempDirectory("plentor-xml-") {}
};

void WriteBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ClsXmlTest, NewFacadeHoldsUnnamedRoot)
{
    ClsXml xml;
    EXPECT_EQ(xml.TagName().ToStdString(), "unnamed");
    EXPECT_EQ(Text(xml), "\r\n<unnamed></unnamed>\r\n");
}

TEST(ClsXmlTest, FailedLoadLeavesFacadeAsItWas)
{
    ClsXml xml;
    ASSERT_TRUE(xml.LoadXml("<a>x</a>"));
    EXPECT_FALSE(xml.LoadXml("no element here"));
    EXPECT_FALSE(xml.LoadXml(static_cast<const char*>(nullptr)));
    EXPECT_EQ(xml.TagName().ToStdString(), "a");
    EXPECT_EQ(xml.Content().ToStdString(), "x");
    EXPECT_NE(LogText(xml).find("No element in XML text"), std::string::npos);
    EXPECT_NE(LogText(xml).find("LoadXml"), std::string::npos);
}

TEST(ClsXmlTest, AttributesKeepOrderAndFirstMatchWins)
{
    ClsXml xml;
    xml.SetAttr(" n ", "1");
    xml.SetAttr("n", "2");
    xml.SetAttr("m", nullptr);
    StringBuffer value;
    EXPECT_TRUE(xml.AttrValue("n", value));
    EXPECT_EQ(value.ToStdString(), "1");
    EXPECT_TRUE(xml.HasAttrValue("n", "2"));
    EXPECT_FALSE(xml.HasAttrValue("n", "3"));
    EXPECT_TRUE(xml.AttrValue("m", value));
    EXPECT_EQ(value.ToStdString(), "");
    EXPECT_FALSE(xml.AttrValue("N", value));   // names are case-sensitive
    xml.ReplaceAttrInt("n", -42);
    EXPECT_EQ(xml.AttrValueInt("n"), -42);
    EXPECT_EQ(xml.AttrValueInt("absent"), 0);
    EXPECT_EQ(Text(xml), "\r\n<unnamed m=\"\" n=\"-42\"></unnamed>\r\n");
}

TEST(ClsXmlTest, ChildrenNavigationAndSearch)
{
    ClsXml xml;
    ASSERT_TRUE(xml.LoadXml("<r><item id=\"alpha-1\"/><item id=\"beta-2\">b</item><other/></r>"));
    std::unique_ptr<ClsXml> made = xml.NewChild("  new tag ", "c");
    ASSERT_TRUE(made);
    EXPECT_EQ(made->TagName().ToStdString(), "new_tag");
    xml.AppendChild("last", nullptr);
    EXPECT_EQ(xml.NumChildren(), 5);

    struct Case {
        const char* tag;
        const char* attr;
        const char* pattern;
        const char* found;   // its id, "" for none
    } cases[] = {
        {"item", "id", "beta-*", "beta-2"},     {"item", "id", "*-1", "alpha-1"},
        {"item", "id", "*", "alpha-1"},         {"item", "id", "a*p*1", "alpha-1"},
        {"item", "id", "BETA-*", ""},           {"item", "name", "*", ""},
        {"other", "id", "*", ""},               {"item", "id", "alpha", ""},
    };
    for (const Case& c : cases) {
        std::unique_ptr<ClsXml> child = xml.FindChildByAttr(c.tag, c.attr, c.pattern);
        StringBuffer id;
        if (child)
            child->AttrValue("id", id);
        EXPECT_EQ(id.ToStdString(), c.found) << c.pattern;
    }
    EXPECT_FALSE(xml.FindChild("missing"));
    ASSERT_TRUE(xml.FindChild("other"));

    ClsXml& cursor = xml;
    ASSERT_TRUE(cursor.MoveToFirstChild());
    ASSERT_TRUE(cursor.MoveToNextSibling());
    EXPECT_EQ(cursor.Content().ToStdString(), "b");
    EXPECT_FALSE(cursor.MoveToFirstChild());
    EXPECT_TRUE(cursor.MoveToParent());
    EXPECT_FALSE(cursor.MoveToParent());
    EXPECT_EQ(cursor.TagName().ToStdString(), "r");
}

TEST(ClsXmlTest, WildcardPatterns)
{
    EXPECT_TRUE(ClsXml::WildcardMatch("", ""));
    EXPECT_TRUE(ClsXml::WildcardMatch("", "**"));
    EXPECT_TRUE(ClsXml::WildcardMatch("abcabd", "*abd"));
    EXPECT_TRUE(ClsXml::WildcardMatch("abc", "a*c"));
    EXPECT_FALSE(ClsXml::WildcardMatch("abc", "a*b"));
    EXPECT_FALSE(ClsXml::WildcardMatch("abc", ""));
}

TEST(ClsXmlTest, ChildFacadeOutlivesRootFacade)
{
    std::unique_ptr<ClsXml> child;
    {
        ClsXml root;
        ASSERT_TRUE(root.LoadXml("<r><a>x</a></r>"));
        child = root.FirstChild();
    }
    ASSERT_TRUE(child);
    EXPECT_EQ(child->Content().ToStdString(), "x");
    ASSERT_TRUE(child->MoveToParent());
    EXPECT_EQ(child->TagName().ToStdString(), "r");
    // Loading again releases the old tree, which nothing else holds.
    ASSERT_TRUE(child->LoadXml("<s/>"));
    EXPECT_EQ(child->TagName().ToStdString(), "s");
}

TEST(ClsXmlTest, MovingADocumentUnderAnotherKeepsFacadesValid)
{
    auto target = std::make_unique<ClsXml>();
    ASSERT_TRUE(target->LoadXml("<target/>"));
    auto moved = std::make_unique<ClsXml>();
    ASSERT_TRUE(moved->LoadXml("<?xml version=\"1.0\"?><m><inner>i</inner></m>"));
    std::unique_ptr<ClsXml> inner = moved->FirstChild();

    ASSERT_TRUE(target->AddChildTree(*moved));
    EXPECT_EQ(Text(*target), "\r\n<target>\r\n<m>\r\n<inner>i</inner>\r\n</m>\r\n</target>\r\n");
    // The moved root lost its own declaration along with its document.
    EXPECT_EQ(Text(*moved), "\r\n<m>\r\n<inner>i</inner>\r\n</m>\r\n");

    EXPECT_FALSE(target->AddChildTree(*moved));   // same document now
    EXPECT_FALSE(target->AddChildTree(*inner));   // has a parent
    ClsXml other;
    EXPECT_FALSE(other.AddChildTree(*inner));     // has a parent in another document

    // Facades of both former documents keep the joined tree alive in any order.
    target.reset();
    moved.reset();
    ASSERT_TRUE(inner->MoveToParent());
    ASSERT_TRUE(inner->MoveToParent());
    EXPECT_EQ(inner->TagName().ToStdString(), "target");
}

TEST(ClsXmlTest, GetTextOfTagVisitsBreadthFirstAndSkipsExcluded)
{
    ClsXml xml;
    ASSERT_TRUE(xml.LoadXml("<root><text>a</text><script><text>code</text></script>"
                            "<div><text>b</text><p><text>c</text></p></div><text/><text>d</text></root>"));
    struct Case {
        const char* tag;
        const char* exclude;
        const char* text;
    } cases[] = {
        {"text", "script|style", "pre:a  d b c"},
        {"text", "", "pre:a  d code b c"},
        {"text", "div|script", "pre:a  d"},
        {"root", "root", "pre:"},
        {"none", "", "pre:"},
    };
    for (const Case& c : cases) {
        StringBuffer out("pre:");
        xml.GetTextOfTag(c.tag, out, c.exclude);
        EXPECT_EQ(out.ToStdString(), c.text) << c.exclude;
    }
    StringBuffer out("x");
    xml.GetTextOfTag(nullptr, out, "");
    EXPECT_EQ(out.ToStdString(), "x");
}

struct FileCase {
    const char* name;
    std::string bytes;
    const char* content;    // of the root, in UTF-8
    const char* encoding;   // in the declaration after loading, "" for none
};

void PrintTo(const FileCase& c, std::ostream* os)
{
    *os << c.name << ": " << testing::PrintToString(c.bytes) << " holds " << testing::PrintToString(c.content)
        << ", declared " << testing::PrintToString(c.encoding);
}

class ClsXmlLoadFile : public testing::TestWithParam<FileCase> {};

TEST_P(ClsXmlLoadFile, BringsFileToUtf8)
{
    TempDir dir;
    const std::string path = dir.File("in.xml");
    WriteBytes(path, GetParam().bytes);
    ClsXml xml;
    ASSERT_TRUE(xml.LoadXmlFile(path.c_str())) << LogText(xml);
    EXPECT_EQ(xml.Content().ToStdString(), GetParam().content);
    std::string text = Text(xml);
    const std::string declared = GetParam().encoding;
    if (declared.empty())
        EXPECT_EQ(text.find("<?xml"), std::string::npos) << text;
    else
        EXPECT_NE(text.find("encoding=\"" + declared + "\""), std::string::npos) << text;
}

// Latin-1 text as UTF-16 (width 2) or UTF-32 (width 4) code units.
std::string Wide(std::string_view latin1, int width, bool bigEndian)
{
    std::string out;
    for (char c : latin1) {
        std::string unit(static_cast<size_t>(width), '\0');
        unit[bigEndian ? unit.size() - 1 : 0] = c;
        out += unit;
    }
    return out;
}

std::string Utf16(std::string_view latin1, bool bigEndian) { return Wide(latin1, 2, bigEndian); }

// UTF-8 text in a code page's bytes.
std::string Encoded(int codePage, std::string_view utf8)
{
    DataBuffer out;
    LogNull log;
    EncodingConvert converter;
    if (!converter.Convert(EncodingConvert::kUtf8, codePage, utf8.data(), static_cast<unsigned>(utf8.size()), out,
                           log))
        std::abort();
    return std::string(reinterpret_cast<const char*>(out.Data()), out.Size());
}

const FileCase kFiles[] = {
    {"Utf8", "<a>\xC3\xA9</a>", "\xC3\xA9", ""},
    {"Utf8Bom", "\xEF\xBB\xBF<a>\xC3\xA9</a>", "\xC3\xA9", ""},
    {"Utf16LeBom", "\xFF\xFE" + Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>\xE9</a>", false), "\xC3\xA9",
     "utf-8"},
    {"Utf16BeBom", "\xFE\xFF" + Utf16("<a>\xE9</a>", true), "\xC3\xA9", ""},
    {"DeclaredLatin1", "<?xml version=\"1.0\" encoding = 'ISO-8859-1' ?><a>caf\xE9</a>", "caf\xC3\xA9", "ISO-8859-1"},
    {"DeclaredUtf8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xC3\xA9</a>", "\xC3\xA9", "UTF-8"},
    {"UnknownCharsetKeepsBytes", "<?xml version=\"1.0\" encoding=\"x-nothing\"?><a>\xC3\xA9</a>", "\xC3\xA9",
     "x-nothing"},
    // The declaration was readable byte by byte, so the bytes are not UTF-16 whatever it says.
    {"Utf16DeclaredWithoutBom", "<?xml version=\"1.0\" encoding=\"utf-16\"?><a>x</a>", "x", "utf-8"},
    // The declaration is the one the parser reads: "encoding" inside another
    // pseudo-attribute's value names nothing, and a later declaration
    // replaces an earlier one. The writer uses the same declaration.
    {"EncodingInsideAnotherValue",
     "<?xml version='1.0 encoding=\"shift_jis\"' encoding=\"windows-1252\"?><a>caf\xE9</a>", "caf\xC3\xA9",
     "windows-1252"},
    {"LaterDeclarationWins",
     "<?xml version=\"1.0\" encoding=\"utf-8\"?><?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a>caf\xE9</a>",
     "caf\xC3\xA9", "iso-8859-1"},
    // "<?xml" in UTF-7 starts with the base64 form of "<".
    {"Utf7", "+ADw-?xml version=\"1.0\" encoding=\"utf-7\"?+AD4APA-a+AD4-caf+AOk-+ADw-/a+AD4-", "caf\xC3\xA9", "utf-7"},
    // Wide forms by their byte-order mark, or without one by how "<" or "<?" looks.
    {"Utf32LeBom", std::string("\xFF\xFE\0\0", 4) + Wide("<?xml version=\"1.0\" encoding=\"utf-32\"?><a>\xE9</a>", 4, false),
     "\xC3\xA9", "utf-32"},
    {"Utf32BeBom", std::string("\0\0\xFE\xFF", 4) + Wide("<a>\xE9</a>", 4, true), "\xC3\xA9", ""},
    {"Utf32BeWithoutBom", Wide("<?xml version=\"1.0\" encoding=\"utf-32be\"?><a>\xE9</a>", 4, true), "\xC3\xA9",
     "utf-32be"},
    {"Utf16LeWithoutBom", Utf16("<?xml version=\"1.0\" encoding=\"utf-16\"?><a>\xE9</a>", false), "\xC3\xA9", "utf-8"},
    {"Utf16BeWithoutBom", Utf16("<?xml version=\"1.0\" encoding=\"utf-16\"?><a>\xE9</a>", true), "\xC3\xA9", "utf-8"},
    // "<?xm" in EBCDIC: the declaration names which EBCDIC page, even where
    // the quote is another byte than in code page 37 (1026: 0xFC).
    {"Ebcdic037", Encoded(37, "<?xml version=\"1.0\" encoding=\"ibm037\"?><a>caf\xC3\xA9</a>"), "caf\xC3\xA9", "ibm037"},
    {"Ebcdic1026", Encoded(1026, "<?xml version=\"1.0\" encoding=\"ibm1026\"?><a>da\xC4\x9F</a>"), "da\xC4\x9F",
     "ibm1026"},
    {"Ebcdic1140Apostrophes", Encoded(1140, "<?xml version='1.0' encoding='ibm01140'?><a>\xE2\x82\xAC</a>"),
     "\xE2\x82\xAC", "ibm01140"},
    {"EbcdicUnknownNameReadsAs037", Encoded(37, "<?xml version=\"1.0\" encoding=\"x-nothing\"?><a>caf</a>"), "caf",
     "x-nothing"},
    {"Iso2022KrDesignatorFirst",
     "\x1B$)C<?xml version=\"1.0\" encoding=\"iso-2022-kr\"?><a>\x0EGQ19\x0F!</a>",
     "\xED\x95\x9C\xEA\xB5\xAD!", "iso-2022-kr"},
    // JIS codes inside the declaration hold "=" and quotes: the escapes before
    // its end say the whole document goes through the decoder.
    {"Iso2022JpInsideTheDeclaration",
     Encoded(50220, "<?xml version=\"1.0\" \xE6\x97\xA5=\"\xE6\x9C\xAC\" encoding=\"iso-2022-jp\"?><a>\xE6\x97\xA5</a>"),
     "\xE6\x97\xA5", "iso-2022-jp"},
    // The JIS code of U+30FC is "!<": the text after the declaration cannot be
    // read byte by byte either.
    {"Iso2022JpWithMarkupBytesInTheText",
     Encoded(50220, "<?xml version=\"1.0\" encoding=\"iso-2022-jp\"?><a>\xE3\x83\xBC</a>"), "\xE3\x83\xBC",
     "iso-2022-jp"},
    // ESC "$" in UTF-8 text does not make a document ISO-2022-JP: the bytes do
    // not read as one whose declaration names it, so they are read as they are.
    {"JisEscapeInAUtf8Declaration", "<?xml version=\"1.0\" encoding=\"x\x1B$B\"?><a>caf\xC3\xA9</a>",
     "caf\xC3\xA9", "x\x1B$B"},
    {"JisEscapesAroundNothingInTheDeclaration",
     "<?xml version=\"1.0\" encoding=\"\x1B$B\x1B(Butf-8\"?><a>caf\xC3\xA9</a>", "caf\xC3\xA9",
     "\x1B$B\x1B(Butf-8"},
    // Decoded, the escape vanishes and the name would read "iso-2022-jp"; the
    // bytes do not hold that name, so they are read as they are.
    {"NameSplitByAJisEscape", "<?xml version=\"1.0\" encoding=\"iso-2022-\x1B(Bjp\"?><a>caf\xC3\xA9</a>",
     "caf\xC3\xA9", "iso-2022-\x1B(Bjp"},
    // The decoder drops SI, which makes a name "encoding" only after decoding.
    {"AttributeNamedEncodingOnlyDecoded",
     "<?xml version=\"1.0\" encodi\x0Fng=\"iso-2022-jp\" encoding=\"utf-8\"?><a>\x1B(Bx</a>", "\x1B(Bx",
     "utf-8"},
    // The declaration was readable byte by byte, so the bytes are not EBCDIC whatever it says.
    {"EbcdicDeclaredInAscii", "<?xml version=\"1.0\" encoding=\"ibm037\"?><a>caf\xC3\xA9</a>", "caf\xC3\xA9", "ibm037"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ClsXmlLoadFile, testing::ValuesIn(kFiles), testsupport::ByCaseName());

// Only a pseudo-attribute named "encoding" with a charset name for its value
// names the encoding: with a longer name ending in it, the name split by a
// space or spelt with capitals, or a value with a space inside, the bytes are
// UTF-8, and the document saves and loads back with the same text.
TEST(ClsXmlTest, DeclarationNamesTheEncodingOnlyByItsOwnName)
{
    using namespace std::string_literals;
    for (const std::string& pseudo : {"xencoding=\"iso-8859-1\""s, "x\x9F\0encoding=\"iso-8859-1\""s,
                                      "enc oding=\"iso-8859-1\""s, "encOding=\"iso-8859-1\""s,
                                      "encoding=\"iso-8 859-1\""s}) {
        SCOPED_TRACE(testing::PrintToString(pseudo));
        const std::string bytes = "<?xml version=\"1.0\" " + pseudo + "?><a>caf\xC3\xA9</a>";
        ClsXml xml;
        ASSERT_TRUE(xml.LoadXmlBytes(bytes.data(), bytes.size(), XmlParser::TextMode::Trim));
        EXPECT_EQ(xml.Content().ToStdString(), "caf\xC3\xA9");
        DataBuffer saved;
        ASSERT_TRUE(xml.GetXmlBytes(saved));
        ClsXml again;
        ASSERT_TRUE(again.LoadXmlBytes(saved.Data(), saved.Size(), XmlParser::TextMode::Trim));
        EXPECT_EQ(again.Content().ToStdString(), "caf\xC3\xA9");
    }
}

TEST(ClsXmlTest, LoadFileFailures)
{
    TempDir dir;
    ClsXml xml;
    EXPECT_FALSE(xml.LoadXmlFile(dir.File("missing.xml").c_str()));
    EXPECT_NE(LogText(xml).find("Failed to read XML file"), std::string::npos);
    const std::string empty = dir.File("empty.xml");
    WriteBytes(empty, "");
    EXPECT_FALSE(xml.LoadXmlFile(empty.c_str()));
    EXPECT_EQ(xml.TagName().ToStdString(), "unnamed");
}

TEST(ClsXmlTest, SaveAddsDeclarationAndTrimsPath)
{
    TempDir dir;
    const std::string path = dir.File("out.xml");
    ClsXml xml;
    ASSERT_TRUE(xml.LoadXml("<a>x &amp; y</a>"));
    ASSERT_TRUE(xml.SaveXml((" \t" + path + "\r\n").c_str())) << LogText(xml);
    EXPECT_EQ(ReadBytes(path), "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n\r\n<a>x &amp; y</a>\r\n");
}

TEST(ClsXmlTest, SaveConvertsToDeclaredCharsetAndLoadsBack)
{
    TempDir dir;
    for (const char* charset : {"iso-8859-1", "utf-16", "windows-1252", "utf-7"}) {
        const std::string path = dir.File("round.xml");
        ClsXml xml;
        ASSERT_TRUE(xml.LoadXml(("<?xml version=\"1.0\" encoding=\"" + std::string(charset) +
                                 "\"?><a>caf\xC3\xA9</a>").c_str()));
        ASSERT_TRUE(xml.SaveXml(path.c_str())) << charset << LogText(xml);
        const std::string bytes = ReadBytes(path);
        if (std::string(charset) == "utf-16")
            EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE<\0", 4));
        else if (std::string(charset) == "utf-7")
            EXPECT_EQ(bytes.substr(0, 5), "+ADw-");   // even the markup is encoded
        else
            EXPECT_NE(bytes.find("caf\xE9</a>"), std::string::npos) << charset;
        ClsXml back;
        ASSERT_TRUE(back.LoadXmlFile(path.c_str())) << charset;
        EXPECT_EQ(back.Content().ToStdString(), "caf\xC3\xA9") << charset;
    }
}

// Whatever charset the declaration names, a document the model could write
// loads back with the same text.
// Documents the parser takes leniently are written in ISO-2022-JP with JIS
// codes outside the text: those bytes may not parse byte by byte, yet they
// are this model's own output and load back the same.
TEST(ClsXmlTest, LenientDocumentsWrittenInIso2022JpLoadBack)
{
    struct Case {
        std::string document;
        bool addChild;   // an element added before writing, as a caller edits
    };
    const Case cases[] = {
        // an unclosed internal subset, then a declaration
        {"<><!DOCTYPE\x8A[><?xml encoding=iso-2022-jp", false},
        // a name followed by a NUL and more text (read up to the NUL), and a
        // doctype whose text becomes JIS codes holding "<"
        {std::string("<><!DOCTYPE\x0E" "0\x0F><?xml encoding=iso-2022-jp") + '\0' + "\x0E/", false},
        // UTF-7 holding ESC "$" and a declaration that names ISO-2022-JP: it
        // is read as UTF-7, and its copy the way it was written
        {"+ADw\x1B$+AD4<![CDATA[>+AOD<?xml encoding=iso-2022-jp\"", false},
        {"+ADw>\x1B$<?xml \x0E>+ADw?encoding=iso-2022-jp?+AD4\x13+Auntfw", false},
        // UTF-7 whose copy, in UTF-8, names ISO-2022-JP only once SO is dropped
        {std::string("+ADw+AO\x8A+AD4<?xml encoding=iso-2022-jp\x0E") + '\0' + "\x1B$", true},
        {std::string("+ADw><!DOCTYPE<><?xml encoding=iso-2022-jp") + '\0' + "\x0E+AD4+AD><?xml encoding=\x1B$$", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.document));
        ClsXml xml;
        ASSERT_TRUE(xml.LoadXmlBytes(c.document.data(), c.document.size(), XmlParser::TextMode::Trim)) << LogText(xml);
        if (c.addChild)
            xml.NewChild("edit", "");
        DataBuffer written;
        ASSERT_TRUE(xml.GetXmlBytes(written));
        ClsXml again;
        ASSERT_TRUE(again.LoadXmlBytes(written.Data(), written.Size(), XmlParser::TextMode::Trim)) << LogText(again);
        DataBuffer rewritten;
        ASSERT_TRUE(again.GetXmlBytes(rewritten)) << LogText(again);
        EXPECT_TRUE(rewritten.Equals(written.Data(), written.Size()));
    }
}

// Bytes with a JIS escape are searched for an encoding attribute naming
// ISO-2022-JP; a page of nothing but "encoding=" is read in one pass, not
// once per attribute to the end of the page.
TEST(ClsXmlTest, ManyEncodingAttributesBesideAnEscapeLoad)
{
    std::string document = "<a>";
    for (int i = 0; i < 200000; ++i)
        document += "encoding=";
    document += "\x1B$B</a";
    ClsXml xml;
    ASSERT_TRUE(xml.LoadXmlBytes(document.data(), document.size(), XmlParser::TextMode::Trim)) << LogText(xml);
    EXPECT_EQ(xml.TagName(), "a");
}

TEST(ClsXmlTest, EveryWritableCharsetLoadsBack)
{
    for (int codePage = 1; codePage <= 0xFFFF; ++codePage) {
        const char* name = CharsetNames::CanonicalNameOf(codePage);
        if (!name)
            continue;
        SCOPED_TRACE(name);
        ClsXml xml;
        ASSERT_TRUE(xml.LoadXml((std::string("<?xml version=\"1.0\" encoding=\"") + name +
                                 "\"?><a n=\"1\">[caf] &lt;{|}&gt;</a>")
                                    .c_str()));
        DataBuffer saved;
        if (!xml.GetXmlBytes(saved))
            continue;   // no table to write it with
        ClsXml back;
        ASSERT_TRUE(back.LoadXmlBytes(saved.Data(), saved.Size(), XmlParser::TextMode::Trim)) << LogText(back);
        EXPECT_EQ(back.Content().ToStdString(), "[caf] <{|}>");
        EXPECT_EQ(back.AttrValueInt("n"), 1);
    }
}

TEST(ClsXmlTest, SaveFailures)
{
    TempDir dir;
    ClsXml xml;
    EXPECT_FALSE(xml.SaveXml(dir.File("no/such/dir/x.xml").c_str()));
    EXPECT_NE(LogText(xml).find("Failed to write XML file"), std::string::npos);
    // A character the declared charset cannot hold fails the save instead of vanishing.
    ASSERT_TRUE(xml.LoadXml("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a>\xE2\x82\xAC</a>"));
    const std::string path = dir.File("euro.xml");
    EXPECT_FALSE(xml.SaveXml(path.c_str()));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ClsXmlTest, DeepDocumentLoadsWritesAndFrees)
{
    constexpr int kDepth = 100000;
    std::string text;
    for (int i = 0; i < kDepth; ++i)
        text += "<e>";
    for (int i = 0; i < kDepth; ++i)
        text += "</e>";
    ClsXml xml;
    ASSERT_TRUE(xml.LoadXml(text.c_str()));
    std::unique_ptr<ClsXml> deep = xml.FirstChild();
    while (deep->MoveToFirstChild()) {
    }
    StringBuffer out;
    xml.GetXmlText(out);
    EXPECT_EQ(out.GetLength(), kDepth * 11);
}

} // namespace
} // namespace plentor

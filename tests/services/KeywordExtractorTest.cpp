#include "services/KeywordExtractor.h"

#include "base/LogNull.h"
#include "log/Logger.h"
#include "services/StopWords.h"
#include "services/WordList.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

namespace plentor {
namespace {

const WordList& StopList()
{
    static const WordList list = [] {
        WordList l;
        StopWords().AddTo(l);
        return l;
    }();
    return list;
}

std::string Extract(const char* charset, const std::string& text, int k)
{
    StringBuffer tags("left over");
    KeywordExtractor::ExtractKeywords(charset, text, StopList(), k, tags);
    return tags.ToStdString();
}

std::string Suggest(const std::string& html, int k)
{
    StringBuffer tags("left over");
    KeywordExtractor::SuggestTagsFromHtml(html, StopList(), k, tags);
    return tags.ToStdString();
}

TEST(KeywordExtractorTest, ChooseCodePage)
{
    struct Case {
        const char* charset;
        const char* text;
        int expected;
    } cases[] = {
        // UTF-8: the first ISO-8859 page that holds every character
        {"utf-8", "plain words", 28591},
        {"utf-8", "caf\u00E9 cr\u00E8me", 28591},
        {"utf-8", "Za\u017C\u00F3\u0142\u0107 g\u0119\u015Bl\u0105", 28592},
        {"utf-8", "\u00C7ok g\u00FCzel \u011F \u0131 \u015F", 28593},
        {"utf-8", "\u0123imene \u0137\u0113\u0137is", 28594},
        {" UTF-8 ", "\u041F\u0440\u0438\u0432\u0435\u0442 \u043C\u0438\u0440", 28595},
        {"utf-8", "\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC", 28597},
        {"utf-8", "a\u00E7\u00E3o \u015Fey", 28599},
        {"utf-8", "\u65E5\u672C\u8A9E", 28591},                        // none holds it
        {"utf-8", "\u041C\u0438\u0440 \u0395\u03BB\u03BB\u03AC", 28591},   // Cyrillic and Greek together
        // a supported single-byte page is used as it is
        {"windows-1251", "\u041F\u0440\u0438\u0432\u0435\u0442", 1251},
        {"windows-1250", "x", 1250},
        {"windows-1258", "x", 1258},
        {"iso-8859-15", "x", 28605},
        {"ISO-8859-5", "x", 28595},
        // anything else is ISO-8859-1
        {nullptr, "\u041F\u0440\u0438\u0432\u0435\u0442", 28591},
        {"", "x", 28591},
        {"Shift_JIS", "\u65E5\u672C", 28591},
        {"us-ascii", "x", 28591},
        {"iso-8859-6", "x", 28591},
        {"no-such-charset", "x", 28591},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KeywordExtractor::ChooseCodePage(c.charset, c.text), c.expected)
            << (c.charset ? c.charset : "(null)") << ": " << c.text;
}

TEST(KeywordExtractorTest, CleanText)
{
    struct Case {
        const char* what;
        const char* in;
        const char* expected;
    } cases[] = {
        {"runs of dots, underscores and hyphens", "a...b c__d e--f g-_-h", "a.b c_d e-f g-_-h"},
        {"sentence ends", "end. next.\nline.\rcr.\ttab.", "end next line cr tab."},
        {"a run of dots before a space", "wait... what", "wait what"},
        {"lower case", "Hello WORLD \xC9T\xC9 \xDF", "hello world \xE9t\xE9 \xDF"},
        {"schemes", "see http://x.org/a or HTTPS://y.net", "see x.org a or y.net"},
        {"punctuation", "a<b>c[d]e=f$g?h\"i'j,k:l/m\xABn;o%p(q)r&s#t\xBBu", "a b c d e f g h i j k l m n o p q r s t u"},
        {"bars and bangs", "wow!|yes", "wow yes"},
        {"copyright sign and word", "\xA9 Copyright Acme", " acme"},
        {"signs", "acme\xAE and\x92s \xA9", "acme and s "},
        {"white space", " a \t\r\n b  ", " a b "},
        {"boilerplate", "All Rights Reserved. Privacy Policy", " "},
        {"boilerplate keeps its order", "Developed by Acme, copyright 2004", "acme 004"},
        {"phrases are cut where they stand", "xall rights reservedy", "xy"},
    };
    for (const Case& c : cases) {
        std::string text = c.in;
        KeywordExtractor::CleanText(text, 28591);
        EXPECT_EQ(text, c.expected) << c.what;
    }
}

TEST(KeywordExtractorTest, CleanTextLowerCasesForTheCodePage)
{
    std::string text = "\xB0\xC0\xD0";   // ISO-8859-5: capital A and ER, small a
    KeywordExtractor::CleanText(text, 28595);
    EXPECT_EQ(text, "\xD0\xE0\xD0");
}

TEST(KeywordExtractorTest, ExtractKeywords)
{
    struct Case {
        const char* what;
        const char* charset;
        std::string text;
        int k;
        const char* expected;
    } cases[] = {
        {"empty text", "utf-8", "", 10, ""},
        {"no places", "utf-8", "garden garden", 0, ""},
        {"fewer words than places: hash order, not text order", "utf-8",
         "gardening compost roses tips orchids tulips", 10, "tulips roses tips compost orchids gardening"},
        {"sentence end, lower case and a trailing comma are one word", "utf-8",
         "Garden. garden garden., plants flowers", 1, "garden"},
        {"short, digit, mail and stop-list tokens", "utf-8",
         "go x1y2 route66 1999 mail@example.com links keywords the Homepage python", 10, "python"},
        {"marks only", "utf-8", "*** **** -- python", 10, "python"},
        {"boilerplate", "utf-8", "All rights reserved. Privacy Policy. Acme widgets", 10, "acme widgets"},
        {"copyright line", "utf-8", "\u00A9 Copyright Acme", 10, "acme"},
        {"Latin-1 text declared UTF-8", "utf-8", "Caf\u00E9 caf\u00E9 cr\u00E8me", 1, "caf\u00E9"},
        {"sharp s stays", "utf-8", "Stra\u00DFe STRASSE stra\u00DFe", 1, "stra\u00DFe"},
        {"Cyrillic declared UTF-8",
         "utf-8", "\u041C\u043E\u0441\u043A\u0432\u0430 \u043C\u043E\u0441\u043A\u0432\u0430 \u0433\u043E\u0440\u043E\u0434",
         10, "\u0433\u043E\u0440\u043E\u0434 \u043C\u043E\u0441\u043A\u0432\u0430"},
        {"Cyrillic declared windows-1251", "windows-1251",
         "\u041C\u043E\u0441\u043A\u0432\u0430 \u043C\u043E\u0441\u043A\u0432\u0430 \u0433\u043E\u0440\u043E\u0434", 1,
         "\u043C\u043E\u0441\u043A\u0432\u0430"},
        {"Cyrillic declared ISO-8859-1 is lost", "iso-8859-1", "\u041C\u043E\u0441\u043A\u0432\u0430 garden", 10,
         "garden"},
        {"unsupported charset works as ISO-8859-1", "Shift_JIS", "Caf\u00E9 caf\u00E9 cr\u00E8me", 1, "caf\u00E9"},
        {"right single quote of windows-1252 separates", "windows-1252", "Rock\u2019n\u2019roll rock", 10,
         "rock roll"},
        {"leading byte-order mark", "utf-8", "\xEF\xBB\xBF\u041F\u0440\u0438\u0432\u0435\u0442", 10,
         "\u043F\u0440\u0438\u0432\u0435\u0442"},
        {"invalid UTF-8 dropped", "utf-8", "garden \xFF\xFE garden", 10, "garden"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Extract(c.charset, c.text, c.k), c.expected) << c.what;
}

TEST(KeywordExtractorTest, SameWordsGiveTheSameTagsWhateverTheirOrder)
{
    const std::string a = "berry elder fig mango plum date kiwi lemon olive berry fig pear peach quince grape";
    const std::string b = "grape quince peach pear fig berry olive lemon kiwi date plum mango fig elder berry";
    const std::string first = Extract("utf-8", a, 4);
    EXPECT_EQ(first, "fig berry mango pear");
    EXPECT_EQ(Extract("utf-8", a, 4), first);
    EXPECT_EQ(Extract("utf-8", b, 4), first);
}

TEST(KeywordExtractorTest, SuggestTagsFromHtml)
{
    const std::string moscow = "\u041C\u043E\u0441\u043A\u0432\u0430";
    const std::string moscowLower = "\u043C\u043E\u0441\u043A\u0432\u0430";
    struct Case {
        const char* what;
        std::string html;
        int k;
        std::string expected;
    } cases[] = {
        {"body, title and meta tags count; script and style do not",
         "<html><head><title>Roses</title>\n"
         "<meta name=\"keywords\" content=\"tulips\">\n"
         "<meta name=\"description\" content=\"orchids\">\n"
         "<script>var secretword = 1; secretword secretword</script>\n"
         "<style>.hiddenclass { color: red }</style>\n"
         "</head><body><p>gardening tips</p><div>compost <b>compost</b></div></body></html>",
         10, "tulips roses tips compost orchids gardening"},
        {"repeated body words win", "<html><body><p>compost compost roses</p><p>tips</p></body></html>", 1,
         "compost"},
        {"content-type meta charset", "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
         "<title>" + moscow + "</title></head><body>" + moscowLower + " garden</body></html>",
         1, moscowLower},
        {"short meta charset", "<html><head><meta charset=\"utf-8\"><title>" + moscow + "</title></head><body>" +
         moscowLower + " garden</body></html>", 1, moscowLower},
        {"no charset: ISO-8859-1", "<html><head><title>" + moscow + "</title></head><body>" + moscowLower +
         " garden</body></html>", 10, "garden"},
        {"empty page", "", 10, ""},
        {"not HTML at all", "compost compost", 10, "compost"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Suggest(c.html, c.k), c.expected) << c.what;
}

TEST(KeywordExtractorTest, CollectPageTextSkipsScriptAndStyle)
{
    Logger log;
    StringBuffer text;
    ASSERT_TRUE(KeywordExtractor::CollectPageText(
        "<html><head><script>code()</script><style>p{}</style></head><body><p>one</p><div>two "
        "<span>three</span></div></body></html>",
        text, log));
    const std::string collected = text.ToStdString();
    for (const char* word : {"one", "two", "three"})
        EXPECT_NE(collected.find(word), std::string::npos) << word << " in " << collected;
    for (const char* word : {"code", "p{}"})
        EXPECT_EQ(collected.find(word), std::string::npos) << word << " in " << collected;
}

// A long text is cleaned in slices; the result must be that of one round
// trip through UTF-16 of the whole text, whatever falls at the cuts: broken
// and whole sequences, byte-order marks, lone surrogates, runs with no
// ASCII pair to cut at.
TEST(KeywordExtractorTest, CleaningALongTextEqualsOneRoundTrip)
{
    const char* const kPieces[] = {"a", "b ", "\xEF\xBB\xBF", "\xC3\xA9", "\xC3", "\xA9", "\xE2\x82\xAC", "\xE2\x82",
                                   "\xED\xA0\x80", "\xF0\x9F\x98\x80", "\xF0\x9F", "\xFF", "\xFE", "\x80"};
    std::string text = "\xEF\xBB\xBF\xEF\xBB\xBF";   // the first mark goes, the second is the text's own
    for (unsigned i = 0, seed = 11; text.size() < 600 * 1024; ++i) {
        seed = seed * 1103515245u + 12345u;
        if (i % 20000 == 0)
            for (int k = 0; k < 36 * 1024; ++k)
                text += "\xC3\xA9";   // longer than a slice, with nowhere to cut
        text += kPieces[(seed >> 16) % std::size(kPieces)];
    }
    // The reference: the whole text through UTF-16 and back at once.
    EncodingConvert converter;
    LogNull quiet;
    DataBuffer utf16;
    converter.Convert(EncodingConvert::kUtf8, EncodingConvert::kUtf16Le, text.data(),
                      static_cast<unsigned>(text.size()), utf16, quiet);
    if (utf16.Size() >= 2 && utf16.Data()[0] == 0xFF && utf16.Data()[1] == 0xFE)
        utf16.RemoveFirst(2);
    DataBuffer expected;
    converter.Convert(EncodingConvert::kUtf16Le, EncodingConvert::kUtf8, utf16.Data(), utf16.Size(), expected, quiet);
    if (expected.Size() >= 3 && expected.Data()[0] == 0xEF)
        expected.RemoveFirst(3);

    DataBuffer cleaned;
    KeywordExtractor::ToCleanUtf8(text, cleaned);
    ASSERT_GT(cleaned.Size(), 300u * 1024);
    EXPECT_TRUE(cleaned.Equals(expected.Data(), expected.Size()));
}

} // namespace
} // namespace plentor

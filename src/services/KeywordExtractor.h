#pragma once

#include <string>
#include <string_view>

namespace plentor {

class DataBuffer;
class LogBase;
class StringBuffer;
class WordList;

// Suggests tags for a page: the frequent words of its visible text, after
// the text is cleaned of punctuation, boilerplate phrases and stop words.
// Stateless; the same input always gives the same tags.
class KeywordExtractor {
public:
    // Shorter tokens are never counted: two-letter words are rarely tags.
    static constexpr int kMinWordLength = 3;

    // tags = at most maxTags words of the UTF-8 page, in UTF-8, separated by
    // single spaces. The text is the page's readable text outside script and
    // style elements plus its title and its keywords and description meta
    // tags; the meta charset picks the single-byte code page words are
    // compared in. A page that cannot be converted to XML gives words only
    // from its title and meta tags (logged).
    static void SuggestTagsFromHtml(std::string_view html, const WordList& stopList, int maxTags, StringBuffer& tags);
    static void SuggestTagsFromHtml(std::string_view html, const WordList& stopList, int maxTags, StringBuffer& tags,
                                    LogBase& log);

    // tags = at most maxTags words of the UTF-8 text, in UTF-8: the text is
    // brought to the working code page (see ChooseCodePage) and cleaned, its
    // tokens without digits, of three bytes or more and not on the stop list
    // are counted, and WordList::TopWords selects. A null charsetName counts
    // as "iso-8859-1".
    static void ExtractKeywords(const char* charsetName, std::string_view text, const WordList& stopList, int maxTags,
                                StringBuffer& tags);

    // The single-byte code page the words of UTF-8 text are compared in.
    // For a UTF-8 charset, the first of ISO-8859-1, -2, -3, -4, -5, -7, -9
    // that can hold the whole text; for a supported Windows or ISO single-
    // byte charset, that code page; otherwise ISO-8859-1.
    static int ChooseCodePage(const char* charsetName, std::string_view utf8Text);

    // The cleaning of text in the working code page, in order: runs of ".",
    // "_" and "-" shortened to one; a "." before white space dropped; lower-
    // cased; "http:" and "https:" and punctuation made spaces; a copyright
    // sign with " copyright" deleted; copyright, registered and 0x92 bytes
    // made spaces; white space collapsed to single spaces; boilerplate
    // phrases ("all rights reserved", "privacy policy", ...) deleted.
    static void CleanText(std::string& text, int codePage);

    // Appends the contents of the page's "text" elements, breadth first and
    // separated by spaces, leaving out script and style elements. False,
    // with a log line and nothing appended, when the page does not convert.
    static bool CollectPageText(std::string_view html, StringBuffer& text, LogBase& log);

    // Appends the text through UTF-16 and back to out: invalid sequences
    // and a leading byte-order mark go.
    static void ToCleanUtf8(std::string_view text, DataBuffer& out);

private:
    static int ToWorkingCodePage(const char* charsetName, const DataBuffer& utf8, DataBuffer& out);
    // ExtractKeywords once the text is clean UTF-8; utf8 is used up.
    static void TagsFromUtf8(const char* charsetName, DataBuffer& utf8, const WordList& stopList, int maxTags,
                             StringBuffer& tags);
};

} // namespace plentor

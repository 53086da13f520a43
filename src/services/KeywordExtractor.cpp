#include "services/KeywordExtractor.h"

#include "base/LogBase.h"
#include "base/LogNull.h"
#include "markup/HtmlHelp.h"
#include "markup/HtmlPageText.h"
#include "services/ParseEngine.h"
#include "services/WordList.h"
#include "text/CharsetNames.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"
#include "text/StringBuffer.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstring>
#include <iterator>

namespace plentor {

namespace {

constexpr const char* kDefaultCharset = "iso-8859-1";

// Tried in this order for text declared as UTF-8: the first that holds every
// character becomes the working code page.
constexpr int kUtf8Trials[] = {28591, 28592, 28593, 28594, 28595, 28597, 28599};

// Declared code pages that are worked in as they are.
constexpr int kWorkingCodePages[] = {1250,  1251,  1252,  1253,  1254,  1257,  1258, 28591,
                                     28592, 28593, 28594, 28595, 28597, 28599, 28605};

// Punctuation that separates words (the last two are the guillemets 0xAB and 0xBB).
constexpr ParseEngine::ByteSet kPunctuation("<>[]=$?\"',:/\xAB;%()&#\xBB");
constexpr ParseEngine::ByteSet kBars("!|");
// Copyright, registered sign and the 1252 right single quote.
constexpr ParseEngine::ByteSet kSigns("\xA9\xAE\x92");

// Boilerplate of page footers, deleted in this order.
constexpr const char* kBoilerplate[] = {
    "copyrights are reserved", "is best viewed",           "this website is",       "developed by ",
    "site best viewed",        "all rights reserved",      "copyright 2",           "copyright 1",
    "copyrights 2",            "copyrights 1",             "contents of this site", "may be reproduced",
    "may be republished",      "reproduced or republished", "express written consent",
    "express written permission", "privacy policy",
};

constexpr const char* kExcludedElements = "script|style";

// The text is cleaned in slices of about this size.
constexpr size_t kSliceBytes = 64 * 1024;

std::string_view View(const DataBuffer& bytes)
{
    return std::string_view(reinterpret_cast<const char*>(bytes.Data()), bytes.Size());
}

std::string_view View(const StringBuffer& text)
{
    return std::string_view(text.GetString(), static_cast<size_t>(text.GetLength()));
}

// Every occurrence of from, left to right, becomes to; one pass. To is
// never longer than from, so the result is written over the text behind
// the search, which only reads bytes not yet written.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to)
{
    assert(to.size() <= from.size());
    size_t at = text.find(from);
    if (at == std::string::npos)
        return;
    size_t write = at;
    size_t read = at;
    for (; at != std::string::npos; at = text.find(from, read)) {
        std::memmove(text.data() + write, text.data() + read, at - read);
        write += at - read;
        std::memcpy(text.data() + write, to.data(), to.size());
        write += to.size();
        read = at + from.size();
    }
    std::memmove(text.data() + write, text.data() + read, text.size() - read);
    text.resize(write + text.size() - read);
}

// Each run of c becomes one c: what replacing a doubled c by one c until
// none is left gives, in one pass.
void CollapseRuns(std::string& text, char c)
{
    size_t write = 0;
    for (size_t read = 0; read < text.size(); ++read) {
        if (text[read] == c && write > 0 && text[write - 1] == c)
            continue;
        text[write++] = text[read];
    }
    text.resize(write);
}

void ReplaceBytes(std::string& text, const ParseEngine::ByteSet& set, char with)
{
    for (char& c : text)
        if (set.Has(c))
            c = with;
}

// Tabs, CR and LF become spaces and each run of spaces one space.
void CollapseWhiteSpace(std::string& text)
{
    size_t write = 0;
    for (size_t read = 0; read < text.size(); ++read) {
        char c = text[read];
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
        if (c == ' ' && write > 0 && text[write - 1] == ' ')
            continue;
        text[write++] = c;
    }
    text.resize(write);
}

bool Convert(int from, int to, std::string_view bytes, DataBuffer& out)
{
    EncodingConvert converter;
    LogNull quiet;   // a character without a mapping is dropped, as the caller expects
    return converter.Convert(from, to, bytes.data(), static_cast<unsigned>(bytes.size()), out, quiet);
}

// Where the text's next slice ends: at kSliceBytes or, past it, between
// two ASCII bytes, where no sequence is cut and none begins (a byte-order
// mark is dropped at the start of a conversion, not inside one); the whole
// text when it has no such place.
size_t SliceEnd(std::string_view text)
{
    if (text.size() <= kSliceBytes)
        return text.size();
    for (size_t i = kSliceBytes; i < text.size(); ++i)
        if (static_cast<unsigned char>(text[i - 1]) < 0x80 && static_cast<unsigned char>(text[i]) < 0x80)
            return i;
    return text.size();
}


void AppendSpaced(StringBuffer& text, const StringBuffer& part)
{
    text.AppendChar(' ');
    text.AppendBuffer(part);
}

} // namespace

// ---- HTML to text ----------------------------------------------------------

void KeywordExtractor::SuggestTagsFromHtml(std::string_view html, const WordList& stopList, int maxTags,
                                           StringBuffer& tags)
{
    LogNull quiet;
    SuggestTagsFromHtml(html, stopList, maxTags, tags, quiet);
}

void KeywordExtractor::SuggestTagsFromHtml(std::string_view html, const WordList& stopList, int maxTags,
                                           StringBuffer& tags, LogBase& log)
{
    DataBuffer utf8;
    {
        StringBuffer text;
        CollectPageText(html, text, log);

        StringBuffer part;
        HtmlHelp::GetTitle(html, part);
        AppendSpaced(text, part);
        HtmlHelp::GetMetaContent(html, "keywords", part);
        AppendSpaced(text, part);
        HtmlHelp::GetMetaContent(html, "description", part);
        AppendSpaced(text, part);
        ToCleanUtf8(View(text), utf8);
    }   // the page text goes before its working copies are made

    // Pages that name their charset only in the short form (<meta charset=...>)
    // are read by it too, rather than taken for ISO-8859-1.
    StringBuffer charset;
    HtmlHelp::GetMetaCharset(html, charset);
    if (charset.IsEmpty())
        HtmlHelp::GetMetaCharsetAttribute(html, charset);
    if (charset.IsEmpty())
        charset.SetString(kDefaultCharset);
    TagsFromUtf8(charset.GetString(), utf8, stopList, maxTags, tags);
}

bool KeywordExtractor::CollectPageText(std::string_view html, StringBuffer& text, LogBase& log)
{
    if (HtmlPageText::Collect(html, kExcludedElements, text, log))
        return true;
    log.LogError("Failed to convert the page to XML; its body text is not used for tags");
    return false;
}

// ---- text to tags ----------------------------------------------------------

void KeywordExtractor::ExtractKeywords(const char* charsetName, std::string_view text, const WordList& stopList,
                                       int maxTags, StringBuffer& tags)
{
    DataBuffer utf8;
    ToCleanUtf8(text, utf8);
    TagsFromUtf8(charsetName, utf8, stopList, maxTags, tags);
}

void KeywordExtractor::TagsFromUtf8(const char* charsetName, DataBuffer& utf8, const WordList& stopList,
                                    int maxTags, StringBuffer& tags)
{
    tags.Clear();
    if (utf8.IsEmpty() || maxTags <= 0)
        return;

    // Each copy goes as soon as the next one is made: a large page's text
    // is held at most twice.
    DataBuffer single;
    const int codePage = ToWorkingCodePage(charsetName, utf8, single);
    utf8 = DataBuffer();
    std::string work(View(single));
    single = DataBuffer();
    CleanText(work, codePage);

    WordList counter;
    counter.SetSkipDigits(true);
    counter.SetMinLength(kMinWordLength);
    counter.SetCodePage(codePage);
    counter.AddWords(work, &stopList, 1);

    StringBuffer selected;
    counter.TopWords(selected, maxTags);
    if (selected.IsEmpty())
        return;
    DataBuffer converted;
    Convert(codePage, EncodingConvert::kUtf8, View(selected), converted);
    tags.AppendDataBuffer(converted);
}

// Slice by slice, so the wide copy stays small however long the text.
void KeywordExtractor::ToCleanUtf8(std::string_view text, DataBuffer& out)
{
    out.Reserve(static_cast<unsigned>(std::min<size_t>(text.size(), UINT_MAX)));   // the output is never longer
    DataBuffer utf16;
    DataBuffer utf8;
    for (bool first = true; !text.empty(); first = false) {
        const size_t end = SliceEnd(text);
        utf16.Clear();
        Convert(EncodingConvert::kUtf8, EncodingConvert::kUtf16Le, text.substr(0, end), utf16);
        text.remove_prefix(end);
        if (first && utf16.Size() >= 2 && utf16.Data()[0] == 0xFF && utf16.Data()[1] == 0xFE)
            utf16.RemoveFirst(2);
        utf8.Clear();
        Convert(EncodingConvert::kUtf16Le, EncodingConvert::kUtf8, View(utf16), utf8);
        if (first && utf8.Size() >= 3 && utf8.Data()[0] == 0xEF && utf8.Data()[1] == 0xBB && utf8.Data()[2] == 0xBF)
            utf8.RemoveFirst(3);
        out.AppendBuffer(utf8);
    }
}

int KeywordExtractor::ChooseCodePage(const char* charsetName, std::string_view utf8Text)
{
    DataBuffer utf8(utf8Text.data(), static_cast<unsigned>(utf8Text.size()));
    DataBuffer unused;
    return ToWorkingCodePage(charsetName, utf8, unused);
}

// Returns the working code page and sets out to the text in it.
int KeywordExtractor::ToWorkingCodePage(const char* charsetName, const DataBuffer& utf8, DataBuffer& out)
{
    const int declared = CharsetNames::CodePageFromName(charsetName ? charsetName : kDefaultCharset);
    int codePage = EncodingConvert::kLatin1;
    if (declared == EncodingConvert::kUtf8) {
        for (int trial : kUtf8Trials) {
            out.Clear();
            if (Convert(EncodingConvert::kUtf8, trial, View(utf8), out))
                return trial;
        }
    } else if (std::find(std::begin(kWorkingCodePages), std::end(kWorkingCodePages), declared) !=
               std::end(kWorkingCodePages)) {
        codePage = declared;
    }
    out.Clear();
    Convert(EncodingConvert::kUtf8, codePage, View(utf8), out);
    return codePage;
}

void KeywordExtractor::CleanText(std::string& text, int codePage)
{
    CollapseRuns(text, '.');
    CollapseRuns(text, '_');
    CollapseRuns(text, '-');
    for (const char* endOfSentence : {". ", ".\n", ".\r", ".\t"})
        ReplaceAll(text, endOfSentence, " ");
    WordList::LowerCase(text.data(), text.size(), codePage);
    ReplaceAll(text, "http:", " ");
    ReplaceAll(text, "https:", " ");
    ReplaceBytes(text, kPunctuation, ' ');
    ReplaceBytes(text, kBars, ' ');
    ReplaceAll(text, "\xA9 copyright", "");
    ReplaceBytes(text, kSigns, ' ');
    CollapseWhiteSpace(text);
    for (const char* phrase : kBoilerplate)
        ReplaceAll(text, phrase, "");
}

} // namespace plentor

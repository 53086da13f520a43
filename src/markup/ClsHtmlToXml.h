#pragma once

#include "log/ClsBase.h"
#include "markup/HtmlParse.h"
#include "text/StringBuffer.h"

#include <string>
#include <string_view>

namespace plentor {

// Turns an HTML page into a well-formed XML document under the single root
// element "root", whose elements mirror the page's structure and whose
// character data sits in elements named "text". Page info reads the
// readable text of a page from it, apart from script and style code.
class ClsHtmlToXml : public ClsBase {
public:
    // The form of the page text given to SetHtml; the XML comes out in the same form.
    enum class TextForm {
        Utf8,
        Ansi,   // the process's ANSI code page
    };

    // Stores the page (a page beyond HtmlParse::kMaxHtmlBytes only by its
    // size, for ToXml to refuse). Every "<a>" and "<A>" (an anchor start tag without
    // attributes) is stored as "</a>": pages use it to end a link.
    void SetHtml(std::string_view html, TextForm form = TextForm::Utf8);

    // out = html with every "<a>" and "<A>" made "</a>", as SetHtml stores
    // a page; false, leaving out alone, when html holds neither.
    static bool EndBareAnchors(std::string_view html, std::string& out);

    // The encoding named in the XML declaration instead of the text's own;
    // empty (the default) or null lets ToXml choose.
    void SetCharset(const char* name) { charset_.SetString(name); }
    const StringBuffer& Charset() const { return charset_; }

    // out = the page as XML text, with a declaration naming its encoding:
    // the charset set by SetCharset; else the page's content-type meta
    // charset when it names the encoding of the text; else the canonical
    // name of that encoding. False, with "Failed to parse HTML" logged, when
    // no tree results (a page beyond HtmlParse::kMaxHtmlBytes).
    bool ToXml(StringBuffer& out);

private:
    int TextCodePage() const;
    void ChooseEncoding(int codePage, StringBuffer& name) const;

    std::string html_;
    size_t refusedSize_ = 0;   // size of a page given to SetHtml beyond HtmlParse::kMaxHtmlBytes
    TextForm form_ = TextForm::Utf8;
    StringBuffer charset_;   // the caller's choice of declared encoding
    HtmlParse parser_;
    // scratch: the XML text of the last page, kept for the next one up to this size
    static constexpr size_t kKeptScratchBytes = 16u * 1024 * 1024;
    std::string written_;
};

} // namespace plentor

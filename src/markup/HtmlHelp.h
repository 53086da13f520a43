#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plentor {

class LogBase;
class StringBuffer;

// Stateless readers of raw HTML: the title, a named meta tag's content, the
// charset of a content-type meta tag, one attribute of a tag, and a
// normalised form of one tag. Byte-oriented; markup keywords are found
// ASCII case-insensitively and whitespace is space, tab, CR and LF. Each
// reader makes a bounded number of passes over the page.
class HtmlHelp {
public:
    // CleanTag stops after this many attributes with values: a tag with more
    // is not a real tag, and the cut keeps the work per tag bounded.
    static constexpr int kMaxValuedAttributes = 101;

    // Appends the raw text of the title element to out (not cleared).
    static void GetTitle(std::string_view html, StringBuffer& out);
    // out = the content attribute of the first meta tag whose NAME (or, failing
    // that, HTTP-EQUIV) attribute equals name case-insensitively and whose
    // content is not empty; empty when there is none.
    static void GetMetaContent(std::string_view html, std::string_view name, StringBuffer& out);
    // The charset declared by the first content-type meta tag with a
    // content; out is left alone when there is no such tag.
    static void GetMetaCharset(std::string_view html, StringBuffer& out);
    // The charset attribute of the first meta tag that has one, the short
    // form pages use today (<meta charset="utf-8">); out is left alone when
    // no meta tag carries it. GetMetaCharset does not read this form.
    static void GetMetaCharsetAttribute(std::string_view html, StringBuffer& out);
    // out = the quoted value of name="..." or name='...' in one tag text,
    // trimmed, backslashes made slashes; empty when there is none.
    static void GetAttribute(std::string_view tagText, std::string_view name, StringBuffer& out);
    // out = the tag rewritten with every attribute value quoted and line
    // breaks removed. With a log, records the input and the exit taken.
    static void CleanTag(std::string_view tagText, StringBuffer& out, LogBase* log = nullptr);
    // The same into a string (replaced), for callers that clean many tags.
    static void CleanTag(std::string_view tagText, std::string& out);

    // The texts of the tags that begin with opening (such as "<a "), in
    // document order and without their ">". A tag ends at the first ">"
    // outside quoted stretches (a quote right after a closing quote opening
    // none when quotes is NotAfterClose), or at the first ">" when the text
    // ends inside a stretch. A tag found inside the text of the one before
    // it is not taken again, so the texts never overlap.
    enum class Quotes { Always, NotAfterClose };
    static void FindTags(std::string_view html, std::string_view opening, Quotes quotes,
                         std::vector<std::string_view>& tags);
};

} // namespace plentor

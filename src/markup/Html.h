#pragma once

#include "text/StringBuffer.h"

#include <functional>
#include <string_view>
#include <vector>

namespace plentor {

// One page's text and the tag lists read from it (the anchors of a page).
class Html {
public:
    enum class TagForm {
        Raw,       // the tag text as it stands in the page
        Cleaned,   // normalised by HtmlHelp::CleanTag
    };

    // Stores a copy of the page text.
    void SetHtml(std::string_view html);
    bool HasHtml() const { return hasHtml_; }

    // Appends the text (without ">") of each tag named name, in document
    // order. The tag name must be followed by a space; an all upper-case
    // spelling of it is lower-cased in the stored text first.
    void GetTags(std::string_view name, TagForm form, std::vector<StringBuffer>& list);

    // Appends the non-empty href value of every anchor.
    void GetLinks(std::vector<StringBuffer>& list);
    // Calls visit with the same values, one at a time, so that no list of a
    // large page's links is built; each value lives only for its call.
    void ForEachLink(const std::function<void(const StringBuffer& href)>& visit);

private:
    // Calls visit(tagText) for each non-empty tag text GetTags would append.
    template <typename Visit>
    void VisitTags(std::string_view name, TagForm form, Visit visit);

    StringBuffer html_;
    bool hasHtml_ = false;
};

} // namespace plentor

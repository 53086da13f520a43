#pragma once

#include <string_view>

namespace plentor {

class ClsStringArray;

// HTML utilities of the bookmark clients that work on a fetched page as a
// whole rather than on one tag.
class ClsHtmlUtil {
public:
    // Appends to list the links of the page to its own site, in document
    // order: the href of every anchor, except fragment links ("#..."), made
    // absolute against pageUrl unless it already starts with "http:" or
    // "https:"; a link is kept when it starts with "http" and contains
    // siteDomain, both compared ASCII case-insensitively. An empty
    // siteDomain keeps nothing.
    static void ExtractPageLinks(const char* pageUrl, std::string_view html, ClsStringArray& list,
                                 const char* siteDomain);
};

} // namespace plentor

#include "services/ClsHtmlUtil.h"

#include "http/ZentrelUrl.h"
#include "markup/Html.h"
#include "services/ClsStringArray.h"
#include "text/AsciiChars.h"
#include "text/StringBuffer.h"


namespace plentor {

namespace {

// A link that leads elsewhere than a web page ("mailto:", "javascript:",
// "ftp:") never starts with these letters once it is absolute.
constexpr const char* kWebScheme = "http";

bool StartsWithNoCase(const StringBuffer& text, std::string_view prefix)
{
    return AsciiChars::StartsWithNoCase(std::string_view(text.GetString(), static_cast<size_t>(text.GetLength())),
                                        prefix);
}

// The link as an absolute URL; the link itself when it cannot be combined.
StringBuffer Absolute(const char* pageUrl, const StringBuffer& href)
{
    StringBuffer combined;
    if (ZentrelUrl::CombineUrl(pageUrl, href.GetString(), combined))
        return combined;
    return href;
}

} // namespace

void ClsHtmlUtil::ExtractPageLinks(const char* pageUrl, std::string_view html, ClsStringArray& list,
                                   const char* siteDomain)
{
    if (siteDomain == nullptr || *siteDomain == '\0')
        return;
    Html page;
    page.SetHtml(html);
    page.ForEachLink([&](const StringBuffer& href) {
        if (href.CharAt(0) == '#')
            return;
        const StringBuffer link = Absolute(pageUrl != nullptr ? pageUrl : "", href);
        if (StartsWithNoCase(link, kWebScheme) && link.ContainsNoCase(siteDomain))
            list.Append(link.GetString());
    });
}

} // namespace plentor

#include "markup/Html.h"

#include "markup/HtmlHelp.h"
#include "markup/MarkupScan.h"

#include <string>

namespace plentor {

void Html::SetHtml(std::string_view html)
{
    html_.Clear();
    html_.AppendBytes(html.data(), static_cast<int>(html.size()));
    hasHtml_ = true;
}

void Html::GetTags(std::string_view name, TagForm form, std::vector<StringBuffer>& list)
{
    if (name.empty())
        return;
    std::string lower;
    lower.reserve(name.size() + 2);
    lower.push_back('<');
    lower.append(name);
    lower.push_back(' ');
    std::string upper = lower;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - ('a' - 'A'));
    if (upper != lower)
        html_.ReplaceAll(upper.c_str(), lower.c_str());

    std::vector<std::string_view> tags;
    HtmlHelp::FindTags(std::string_view(html_.GetString(), static_cast<size_t>(html_.GetLength())), lower,
                       HtmlHelp::Quotes::NotAfterClose, tags);
    StringBuffer cleaned;
    for (std::string_view tag : tags) {
        if (form == TagForm::Cleaned) {
            HtmlHelp::CleanTag(tag, cleaned);
            if (!cleaned.IsEmpty())
                list.push_back(cleaned);
        } else if (!tag.empty()) {
            list.emplace_back(tag.data(), static_cast<int>(tag.size()));
        }
    }
}

void Html::GetLinks(std::vector<StringBuffer>& list)
{
    std::vector<StringBuffer> anchors;
    GetTags("a", TagForm::Cleaned, anchors);
    StringBuffer href;
    for (const StringBuffer& anchor : anchors) {
        HtmlHelp::GetAttribute(std::string_view(anchor.GetString(), static_cast<size_t>(anchor.GetLength())), "href",
                               href);
        if (!href.IsEmpty())
            list.push_back(href);
    }
}

} // namespace plentor

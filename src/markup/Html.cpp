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

template <typename Visit>
void Html::VisitTags(std::string_view name, TagForm form, Visit visit)
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
        if (form == TagForm::Raw) {
            if (!tag.empty())
                visit(tag);
            continue;
        }
        HtmlHelp::CleanTag(tag, cleaned);
        if (!cleaned.IsEmpty())
            visit(std::string_view(cleaned.GetString(), static_cast<size_t>(cleaned.GetLength())));
    }
}

void Html::GetTags(std::string_view name, TagForm form, std::vector<StringBuffer>& list)
{
    VisitTags(name, form, [&list](std::string_view tag) { list.emplace_back(tag.data(), static_cast<int>(tag.size())); });
}

void Html::GetLinks(std::vector<StringBuffer>& list)
{
    ForEachLink([&list](const StringBuffer& href) { list.push_back(href); });
}

void Html::ForEachLink(const std::function<void(const StringBuffer& href)>& visit)
{
    StringBuffer href;
    VisitTags("a", TagForm::Cleaned, [&](std::string_view anchor) {
        HtmlHelp::GetAttribute(anchor, "href", href);
        if (!href.IsEmpty())
            visit(href);
    });
}

} // namespace plentor

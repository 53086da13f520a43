#include "http/HttpRequestData.h"

#include "http/ZentrelUrl.h"

namespace plentor {

HttpRequestData::HttpRequestData(const HttpRequestData& other) : ZentrelObject(other) { *this = other; }

HttpRequestData& HttpRequestData::operator=(const HttpRequestData& other)
{
    if (this == &other)
        return *this;
    ClearParams();
    items_.reserve(other.items_.size());
    for (const auto& item : other.items_)
        items_.push_back(std::make_unique<HttpRequestItem>(*item));
    index_ = other.index_;
    return *this;
}

HttpRequestItem& HttpRequestData::AddOrReplaceParam(const char* name, const void* value, unsigned n)
{
    std::string key(name ? name : "");
    auto found = index_.find(key);
    if (found != index_.end()) {
        HttpRequestItem& item = *items_[found->second];
        item.SetValue(value, n);
        return item;
    }
    index_.emplace(std::move(key), items_.size());
    items_.push_back(std::make_unique<HttpRequestItem>(name, value, n));
    return *items_.back();
}

void HttpRequestData::ClearParams()
{
    items_.clear();
    index_.clear();
}

const HttpRequestItem* HttpRequestData::Find(const char* name) const
{
    auto found = index_.find(std::string(name ? name : ""));
    return found == index_.end() ? nullptr : items_[found->second].get();
}

void HttpRequestData::AppendFormEncoded(StringBuffer& out) const
{
    for (size_t i = 0; i < items_.size(); ++i) {
        if (i > 0)
            out.AppendChar('&');
        out.AppendBuffer(items_[i]->GetName());
        out.AppendChar('=');
        ZentrelUrl::UrlEncode(items_[i]->GetValue(), out);
    }
}

} // namespace plentor

#pragma once

#include "http/HttpRequestItem.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace plentor {

// The parameters of a request in order of first addition. Names are unique
// (exact, case-sensitive comparison).
class HttpRequestData : public ZentrelObject {
public:
    HttpRequestData() = default;
    HttpRequestData(const HttpRequestData& other);
    HttpRequestData& operator=(const HttpRequestData& other);

    // Replaces the value bytes of the item of exactly that name (a null value
    // empties them) or appends a new item. Returns the item.
    HttpRequestItem& AddOrReplaceParam(const char* name, const void* value, unsigned n);
    void ClearParams();

    int GetCount() const { return static_cast<int>(items_.size()); }
    bool IsEmpty() const { return items_.empty(); }
    const HttpRequestItem& GetItem(int i) const { return *items_[static_cast<size_t>(i)]; }
    // The item of exactly that name, or null.
    const HttpRequestItem* Find(const char* name) const;

    // Appends the form encoding: name=value pairs joined by "&", the names
    // as stored and the values URL-encoded.
    void AppendFormEncoded(StringBuffer& out) const;

private:
    std::vector<std::unique_ptr<HttpRequestItem>> items_;
    std::unordered_map<std::string, size_t> index_;   // name -> position in items_
};

} // namespace plentor

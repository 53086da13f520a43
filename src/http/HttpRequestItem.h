#pragma once

#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

namespace plentor {

// One request parameter: a name, its value bytes and, for a file part of
// multipart form data, a file name.
class HttpRequestItem : public ZentrelObject {
public:
    HttpRequestItem() = default;
    HttpRequestItem(const char* name, const void* value, unsigned n) : name_(name) { SetValue(value, n); }

    const StringBuffer& GetName() const { return name_; }
    const DataBuffer& GetValue() const { return value_; }
    const StringBuffer& GetFilename() const { return filename_; }

    // A null value empties the bytes.
    void SetValue(const void* value, unsigned n);
    void SetFilename(const char* filename) { filename_.SetString(filename); }

private:
    StringBuffer name_;
    DataBuffer value_;
    StringBuffer filename_;      // empty for an ordinary field
};

} // namespace plentor

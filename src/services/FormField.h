#pragma once

#include <span>

namespace plentor {

class StringBuffer;

// One field of a service request: its name, where its value comes from and
// how the value is written. A flow lists its fields in a table of these, in
// the order they go on the wire.
class FormField {
public:
    // Where the value comes from: one of the caller's values, or the field's fixed text.
    enum class Source : unsigned char { Username, Password, Url, Title, Extended, Tags, Fixed };

    // How the value is written.
    enum class Encoding : unsigned char {
        AsGiven,             // the bytes as they are (a form post encodes its body itself)
        CommasAsSpaces,      // every "," becomes " "
        Url,                 // form-encoded, for a query
        UrlCommasAsSpaces,   // commas as spaces, then form-encoded
    };

    // The caller's values a flow draws on: bytes in the active ANSI code
    // page, null read as empty.
    struct Values {
        const char* username = nullptr;
        const char* password = nullptr;
        const char* url = nullptr;
        const char* title = nullptr;
        const char* extended = nullptr;
        const char* tags = nullptr;
    };

    // The values of one bookmark.
    static constexpr Values Bookmark(const char* url, const char* title, const char* extended, const char* tags)
    {
        return {.url = url, .title = title, .extended = extended, .tags = tags};
    }

    // A field that always sends the same text.
    static constexpr FormField Constant(const char* name, const char* text)
    {
        return {name, Source::Fixed, Encoding::AsGiven, text};
    }

    // The value this field sends for the caller's values.
    StringBuffer ValueFor(const Values& values) const;

    // Appends "name=value" for each field, joined by "&".
    static void AppendQuery(std::span<const FormField> fields, const Values& values, StringBuffer& out);

    const char* name;
    Source source;
    Encoding encoding = Encoding::AsGiven;
    const char* fixed = "";   // the value of a Fixed field
};

} // namespace plentor

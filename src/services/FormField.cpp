#include "services/FormField.h"

#include "http/ZentrelUrl.h"
#include "text/StringBuffer.h"

namespace plentor {

namespace {

const char* SourceText(FormField::Source source, const char* fixed, const FormField::Values& values)
{
    switch (source) {
    case FormField::Source::Username: return values.username;
    case FormField::Source::Password: return values.password;
    case FormField::Source::Url: return values.url;
    case FormField::Source::Title: return values.title;
    case FormField::Source::Extended: return values.extended;
    case FormField::Source::Tags: return values.tags;
    case FormField::Source::Fixed: break;
    }
    return fixed;
}

} // namespace

StringBuffer FormField::ValueFor(const Values& values) const
{
    StringBuffer value(SourceText(source, fixed, values));
    if (encoding == Encoding::CommasAsSpaces || encoding == Encoding::UrlCommasAsSpaces)
        value.ReplaceChar(',', ' ');
    if (encoding == Encoding::Url || encoding == Encoding::UrlCommasAsSpaces)
        ZentrelUrl::UrlEncodeInPlace(value);
    return value;
}

void FormField::AppendQuery(std::span<const FormField> fields, const Values& values, StringBuffer& out)
{
    const char* separator = "";
    for (const FormField& field : fields) {
        out.Append(separator);
        out.Append(field.name);
        out.Append("=");
        out.AppendBuffer(field.ValueFor(values));
        separator = "&";
    }
}

} // namespace plentor

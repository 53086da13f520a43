#include "http/mime/MimeTypes.h"

#include <string_view>

namespace plentor {

namespace {

struct ExtensionType {
    std::string_view extension;   // lower case, without the "."
    const char* type;
};

// The one list of known extensions, in lower case.
constexpr ExtensionType kExtensionTypes[] = {
    {"txt", "text/plain"},          {"text", "text/plain"},         {"log", "text/plain"},
    {"htm", "text/html"},           {"html", "text/html"},          {"xhtml", "application/xhtml+xml"},
    {"css", "text/css"},            {"csv", "text/csv"},            {"rtf", "application/rtf"},
    {"xml", "text/xml"},            {"xsl", "text/xml"},            {"js", "application/javascript"},
    {"json", "application/json"},   {"gif", "image/gif"},           {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},         {"jpe", "image/jpeg"},          {"png", "image/png"},
    {"bmp", "image/bmp"},           {"ico", "image/x-icon"},        {"tif", "image/tiff"},
    {"tiff", "image/tiff"},         {"svg", "image/svg+xml"},       {"pdf", "application/pdf"},
    {"doc", "application/msword"},  {"xls", "application/vnd.ms-excel"},
    {"ppt", "application/vnd.ms-powerpoint"},                       {"zip", "application/zip"},
    {"gz", "application/x-gzip"},   {"tgz", "application/x-gzip"},  {"tar", "application/x-tar"},
    {"bz2", "application/x-bzip2"}, {"exe", "application/octet-stream"},
    {"bin", "application/octet-stream"},                            {"swf", "application/x-shockwave-flash"},
    {"mp3", "audio/mpeg"},          {"wav", "audio/x-wav"},         {"mid", "audio/midi"},
    {"midi", "audio/midi"},         {"mpg", "video/mpeg"},          {"mpeg", "video/mpeg"},
    {"mov", "video/quicktime"},     {"avi", "video/x-msvideo"},     {"eml", "message/rfc822"},
};

// Longer than any extension in the table.
constexpr size_t kMaxExtensionLength = 8;

bool EqualsLowerAscii(std::string_view text, std::string_view lower)
{
    if (text.size() != lower.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        if (c != lower[i])
            return false;
    }
    return true;
}

} // namespace

const char* MimeTypes::ForFileName(const char* fileName)
{
    if (!fileName)
        return kDefaultType;
    std::string_view name(fileName);
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return kDefaultType;
    std::string_view extension = name.substr(dot + 1);
    if (extension.empty() || extension.size() > kMaxExtensionLength)
        return kDefaultType;
    for (const ExtensionType& entry : kExtensionTypes) {
        if (EqualsLowerAscii(extension, entry.extension))
            return entry.type;
    }
    return kDefaultType;
}

} // namespace plentor

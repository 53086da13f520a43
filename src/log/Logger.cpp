#include "log/Logger.h"

#include "platform/Clock.h"
#include "platform/Files.h"
#include "text/StringBuffer.h"

#include <charconv>
#include <string>
#include <string_view>
#include <utility>

namespace plentor {

namespace {

// A data tag becomes an element name in the XML form: trim the white space
// around it and turn inner spaces into "_".
std::string NormaliseTag(std::string_view tag)
{
    constexpr std::string_view kWhite = " \t\r\n";
    size_t first = tag.find_first_not_of(kWhite);
    if (first == std::string_view::npos)
        return {};
    size_t last = tag.find_last_not_of(kWhite);
    std::string out(tag.substr(first, last - first + 1));
    for (char& c : out) {
        if (c == ' ')
            c = '_';
    }
    return out;
}

void ReplaceWith(StringBuffer& out, const std::string& text)
{
    out.Clear();
    out.Append(text);
}

} // namespace

void Logger::GetXml(StringBuffer& out)
{
    std::string xml;
    log_.AppendXml(xml);
    ReplaceWith(out, xml);
}

void Logger::GetHtml(StringBuffer& out)
{
    std::string html;
    log_.AppendHtml(html);
    ReplaceWith(out, html);
}

void Logger::GetText(StringBuffer& out)
{
    std::string text;
    log_.AppendText(text);
    ReplaceWith(out, text);
}

bool Logger::LogError(const char* text)
{
    return AddLine(LogEntry2::Kind::Error, text);
}

bool Logger::LogInfo(const char* text)
{
    return AddLine(LogEntry2::Kind::Info, text);
}

bool Logger::LogText(const char* text)
{
    return AddLine(LogEntry2::Kind::Text, text);
}

bool Logger::ClearLog()
{
    log_.Clear();
    return true;
}

bool Logger::EnterContext(const char* name, bool /*verbose*/)
{
    log_.EnterContext(name);
    return true;
}

bool Logger::LeaveContext()
{
    log_.LeaveContext();
    return true;
}

bool Logger::LogData(const char* tag, const char* value)
{
    if (value == nullptr)
        return false;
    return AddData(tag, value);
}

bool Logger::LogDataLong(const char* tag, int64_t number)
{
    return AddData(tag, std::to_string(number));
}

void Logger::LogTickCount(const char* tag)
{
    char hex[8];   // a 32-bit count has at most eight hex digits
    auto [end, ec] = std::to_chars(hex, hex + sizeof hex, platform::TickCount(), 16);
    if (ec == std::errc())
        AddData(tag, std::string(hex, end));
}

bool Logger::SaveLogXml(const char* path)
{
    if (path == nullptr || *path == '\0') {
        LogError("Failed to write log file: no path given");
        return false;
    }
    std::string xml;
    log_.AppendXml(xml);
    platform::FileError err;
    if (platform::WriteWholeFile(path, xml.data(), xml.size(), err))
        return true;
    LogError("Failed to write log file");
    LogData("path", path);
    LogData("systemError", err.message.c_str());
    return false;
}

bool Logger::AddLine(LogEntry2::Kind kind, const char* text)
{
    if (text != nullptr)
        log_.AddLine(kind, text);
    return true;
}

bool Logger::AddData(const char* tag, std::string value)
{
    if (tag == nullptr)
        return false;
    std::string name = NormaliseTag(tag);
    if (name.empty())
        return false;
    log_.AddData(std::move(name), std::move(value));
    return true;
}

} // namespace plentor

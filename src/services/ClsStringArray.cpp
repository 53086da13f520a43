#include "services/ClsStringArray.h"

#include "base/LogBase.h"
#include "platform/Files.h"

#include <algorithm>
#include <cstring>

namespace plentor {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view View(const StringBuffer& s) { return {s.GetString(), static_cast<size_t>(s.GetLength())}; }

// Length of the leading UTF-8 byte-order mark to drop. A file holding only
// the mark (an empty file saved as UTF-8) loses it too, so it adds no entry.
size_t BomLength(const std::vector<uint8_t>& bytes)
{
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
}

// The same white space as StringBuffer::Trim, stripped from a slice of the file.
std::string_view TrimmedView(std::string_view s)
{
    constexpr std::string_view kWhite = " \t\r\n";
    size_t first = s.find_first_not_of(kWhite);
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(kWhite) - first + 1);
}

} // namespace

ClsStringArray::ClsStringArray() : counts_(kBucketCount) {}

void ClsStringArray::Normalise(StringBuffer& s) const
{
    if (trim_)
        s.Trim();
    if (crlf_)
        s.NormaliseCrLf();
    else
        s.CrLfToLf();
}

void ClsStringArray::Append(const char* s)
{
    if (s)
        AppendBytes(s, static_cast<int>(std::strlen(s)));
}

void ClsStringArray::AppendBytes(const char* bytes, int n)
{
    StringBuffer s(bytes, n);
    Normalise(s);
    ZentrelInt* count = counts_.Find(View(s));
    if (count && unique_)
        return;
    if (count)
        count->Increment();
    else
        counts_.Set(View(s), 1);
    items_.push_back(std::move(s));
}

// Appends each LF-separated segment of text; the text holds no CR bytes.
void ClsStringArray::AppendLines(std::string_view text)
{
    for (;;) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (trim_)
            line = TrimmedView(line);
        if (!line.empty())
            AppendBytes(line.data(), static_cast<int>(line.size()));
        if (end == std::string_view::npos)
            return;
        text.remove_prefix(end + 1);
    }
}

bool ClsStringArray::LoadFromFile(const char* path, LogBase& log)
{
    LogContext context(log, "LoadFromFile");
    std::vector<uint8_t> bytes;
    platform::FileError err;
    if (!path || !platform::ReadWholeFileUpTo(path, kMaxFileBytes, bytes, err)) {
        log.LogError("Failed to read file");
        log.LogData("path", path ? path : "");
        log.LogData("reason", err.message.c_str());
        return false;
    }
    // CR bytes go first, in one pass, so that CR LF and LF line ends split alike.
    size_t start = BomLength(bytes);
    auto end = std::remove(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end(), uint8_t {'\r'});
    size_t size = static_cast<size_t>(end - bytes.begin()) - start;
    AppendLines(std::string_view(reinterpret_cast<const char*>(bytes.data()) + start, size));
    return true;
}

bool ClsStringArray::GetString(int index, StringBuffer& out) const
{
    out.Clear();
    if (index < 0 || index >= Count())
        return false;
    const StringBuffer& stored = items_[static_cast<size_t>(index)];
    out.AppendBytes(stored.GetString(), stored.GetLength());
    Normalise(out);
    return true;
}

int ClsStringArray::Occurrences(const char* s) const
{
    if (!s)
        return 0;
    StringBuffer key(s);
    Normalise(key);
    const ZentrelInt* count = counts_.Find(View(key));
    return count ? count->Value() : 0;
}

void ClsStringArray::Clear()
{
    items_.clear();
    counts_ = HashMap(kBucketCount);
}

} // namespace plentor

#include "services/ParseEngine.h"

namespace plentor {

namespace {

char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCaseAt(std::string_view text, size_t at, std::string_view needle)
{
    for (size_t i = 0; i < needle.size(); ++i)
        if (FoldAscii(text[at + i]) != FoldAscii(needle[i]))
            return false;
    return true;
}

} // namespace

void ParseEngine::SetText(std::string_view text)
{
    text_.assign(text.data(), text.size());
    pos_ = 0;
}

size_t ParseEngine::Skip(const ByteSet& set)
{
    const size_t start = pos_;
    while (pos_ < text_.size() && set.Has(text_[pos_]))
        ++pos_;
    return pos_ - start;
}

std::string_view ParseEngine::ReadUntil(const ByteSet& set)
{
    const size_t start = pos_;
    while (pos_ < text_.size() && !set.Has(text_[pos_]))
        ++pos_;
    return std::string_view(text_).substr(start, pos_ - start);
}

bool ParseEngine::SeekNoCase(std::string_view needle)
{
    if (needle.empty() || needle.size() > text_.size())
        return false;
    const std::string_view text(text_);
    const char first = FoldAscii(needle[0]);
    for (size_t at = pos_; at + needle.size() <= text.size(); ++at) {
        if (FoldAscii(text[at]) == first && EqualNoCaseAt(text, at, needle)) {
            pos_ = at;
            return true;
        }
    }
    return false;
}

} // namespace plentor

#include "markup/AttributeSet.h"

#include <unordered_set>

namespace plentor {

AttributeSet::Iterator::Iterator(const AttributeSet* set, size_t index, size_t offset)
    : set_(set), index_(index), offset_(offset)
{
    Load();
}

AttributeSet::Iterator& AttributeSet::Iterator::operator++()
{
    offset_ += entry_.name.size() + entry_.value.size();
    ++index_;
    Load();
    return *this;
}

void AttributeSet::Iterator::Load()
{
    if (index_ >= set_->Count()) {
        entry_ = Entry{};
        return;
    }
    const size_t nameLength = static_cast<size_t>(set_->lengths_[2 * index_]);
    const size_t valueLength = static_cast<size_t>(set_->lengths_[2 * index_ + 1]);
    std::string_view bytes = set_->bytes_;
    entry_.name = bytes.substr(offset_, nameLength);
    entry_.value = bytes.substr(offset_ + nameLength, valueLength);
}

AttributeSet::AttributeSet() { lengths_.reserve(kInitialLengths); }

void AttributeSet::Append(std::string_view name, std::string_view value)
{
    lengths_.push_back(static_cast<int>(name.size()));
    lengths_.push_back(static_cast<int>(value.size()));
    bytes_.append(name);
    bytes_.append(value);
}

size_t AttributeSet::RemoveAll(std::string_view name)
{
    AttributeSet kept;
    size_t removed = 0;
    for (const Entry& e : *this) {
        if (e.name == name)
            ++removed;
        else
            kept.Append(e.name, e.value);
    }
    if (removed > 0)
        *this = std::move(kept);
    return removed;
}

bool AttributeSet::Find(std::string_view name, std::string_view& value) const
{
    for (const Entry& e : *this) {
        if (e.name == name) {
            value = e.value;
            return true;
        }
    }
    return false;
}

// Whether two attributes share a name; a plain comparison of every pair for
// the few attributes most elements have, which needs no allocation.
bool AttributeSet::HasRepeatedName() const
{
    if (Count() > kPairwiseCheckLimit)
        return true;   // let KeepLastOfEachName find out
    for (Iterator a = begin(); a != end(); ++a) {
        Iterator b = a;
        for (++b; b != end(); ++b)
            if (a->name == b->name)
                return true;
    }
    return false;
}

void AttributeSet::KeepLastOfEachName()
{
    if (Count() < 2 || !HasRepeatedName())
        return;
    std::vector<Entry> entries(begin(), end());
    std::vector<bool> keep(entries.size(), false);
    std::unordered_set<std::string_view> seen;
    for (size_t i = entries.size(); i-- > 0;)
        keep[i] = seen.insert(entries[i].name).second;
    if (seen.size() == entries.size())
        return;
    AttributeSet kept;
    for (size_t i = 0; i < entries.size(); ++i)
        if (keep[i])
            kept.Append(entries[i].name, entries[i].value);
    *this = std::move(kept);
}

} // namespace plentor

#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace plentor {

// The attributes of one element, in insertion order, stored compactly: one
// list of lengths (name, value, name, value, ...) and one byte buffer holding
// all names and values back to back. Names compare exactly; a name may occur
// more than once and the first match wins on lookup.
class AttributeSet {
public:
    struct Entry {
        std::string_view name;
        std::string_view value;
    };

    // Walks the entries in order; an entry's views stay valid until the set changes.
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Entry;
        using difference_type = std::ptrdiff_t;
        using pointer = const Entry*;
        using reference = const Entry&;

        Iterator(const AttributeSet* set, size_t index, size_t offset);
        const Entry& operator*() const { return entry_; }
        const Entry* operator->() const { return &entry_; }
        Iterator& operator++();
        bool operator==(const Iterator& other) const { return index_ == other.index_; }

    private:
        void Load();

        const AttributeSet* set_;
        size_t index_;    // attribute number
        size_t offset_;   // start of its name in bytes_
        Entry entry_;
    };

    AttributeSet();

    Iterator begin() const { return Iterator(this, 0, 0); }
    Iterator end() const { return Iterator(this, Count(), bytes_.size()); }
    size_t Count() const { return lengths_.size() / 2; }
    bool IsEmpty() const { return lengths_.empty(); }

    void Append(std::string_view name, std::string_view value);

    // Removes every attribute of that name; returns how many went.
    size_t RemoveAll(std::string_view name);

    // The value of the first attribute of that name.
    bool Find(std::string_view name, std::string_view& value) const;

    // Keeps only the last attribute of each name, in the order of those last
    // occurrences: the result of adding each attribute after removing the
    // earlier ones of its name, in one pass.
    void KeepLastOfEachName();

private:
    static constexpr size_t kInitialLengths = 6;   // most elements have at most three attributes
    static constexpr size_t kPairwiseCheckLimit = 8;

    bool HasRepeatedName() const;

    std::vector<int> lengths_;   // name length, value length, alternating
    std::string bytes_;          // names and values back to back
};

} // namespace plentor

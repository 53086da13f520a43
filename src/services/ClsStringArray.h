#pragma once

#include "services/StringConsumer.h"
#include "text/HashMap.h"
#include "text/StringBuffer.h"

#include <string_view>
#include <vector>

namespace plentor {

class LogBase;

// Ordered list of byte strings with a table of how often each distinct string
// was appended, optionally suppressing duplicates. Strings are kept as bytes,
// without charset conversion.
class ClsStringArray : public StringConsumer {
public:
    static constexpr unsigned kBucketCount = 499;
    // A list file is read whole into memory and then held once more as
    // entries; a URL list of a million lines stays far below this size.
    static constexpr size_t kMaxFileBytes = 128u * 1024 * 1024;

    ClsStringArray();

    // Same as Append.
    void AppendString(const char* s) override { Append(s); }

    // Normalises s and appends it, unless Unique is set and it is already present. Null is ignored.
    void Append(const char* s);

    // Appends each non-empty line of a file (CR LF or LF line ends, a leading
    // UTF-8 byte-order mark dropped). False, with the list unchanged, when
    // the file cannot be read in full.
    bool LoadFromFile(const char* path, LogBase& log);

    int Count() const { return static_cast<int>(items_.size()); }

    // Copies the normalised string at index into out (cleared first); false when index is outside the list.
    bool GetString(int index, StringBuffer& out) const;

    // How many times the normalised form of s was appended (0 when never).
    int Occurrences(const char* s) const;

    // Empties the list and its table.
    void Clear();

    void SetUnique(bool unique) { unique_ = unique; }
    void SetTrim(bool trim) { trim_ = trim; }
    void SetCrlf(bool crlf) { crlf_ = crlf; }
    bool GetUnique() const { return unique_; }
    bool GetTrim() const { return trim_; }
    bool GetCrlf() const { return crlf_; }

private:
    void AppendBytes(const char* bytes, int n);
    void AppendLines(std::string_view text);
    void Normalise(StringBuffer& s) const;

    std::vector<StringBuffer> items_;  // insertion order; index 0 is the oldest
    HashMap counts_;                   // normalised string -> times appended
    bool unique_ = false;              // discard an append of a string already present
    bool trim_ = false;                // strip space, TAB, CR and LF at both ends
    bool crlf_ = true;                 // line ends as CR LF (true) or LF (false)
};

} // namespace plentor

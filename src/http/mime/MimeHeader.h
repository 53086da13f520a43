#pragma once

#include "text/ZentrelObject.h"

#include <memory>
#include <string_view>
#include <vector>

namespace plentor {

class Cookie;
class LogBase;
class MimeField;
class StringBuffer;

// An ordered list of header fields (duplicates allowed) with the parsing,
// lookup and writing rules of Internet mail headers. Field names compare
// ASCII case-insensitively.
class MimeHeader : public ZentrelObject {
public:
    // Header text beyond this is refused: no HTTP server or mail header comes
    // near it, and the parse keeps the whole text in memory several times.
    static constexpr unsigned kMaxHeaderBytes = 1u << 20;
    // Lines read from one header; the rest is left out.
    static constexpr int kMaxLines = 100000;
    // Fields a Clear keeps for the next Parse to fill again: a header read
    // per response on a kept-alive connection has about ten, and a reused
    // field keeps its buffers. More than this are freed.
    static constexpr size_t kMaxSpareFields = 32;

    MimeHeader();
    MimeHeader(const MimeHeader& other);
    MimeHeader& operator=(const MimeHeader& other);
    ~MimeHeader();

    // Replaces the contents by the fields of a header text (up to its first
    // blank line). Unreadable lines are left out. False, with a log line, when
    // the text is over kMaxHeaderBytes (the header is then empty) or has more
    // than kMaxLines lines (the fields of the first kMaxLines are kept).
    bool Parse(const char* text, unsigned n, LogBase& log);

    // Appends the value of the first field of that name; false when absent.
    bool GetField(const char* name, StringBuffer& out) const;
    bool HasField(const char* name) const;
    // Points value at the value of the first field of that name, as it is
    // held (until the header changes); false when absent. Nothing is copied.
    bool ViewField(const char* name, std::string_view& value) const;

    // Appends the value of a parameter ("charset") of the first field of that
    // name; quotes around the value are dropped. False when there is none.
    bool GetFieldParam(const char* fieldName, const char* paramName, StringBuffer& out) const;

    // Removes every field of that name, then appends (name, value) unless the
    // value is null or blank.
    void SetField(const char* name, const char* value);
    void RemoveField(const char* name);
    void AddField(std::unique_ptr<MimeField> field);
    void CopyFrom(const MimeHeader& other);
    void Clear();

    // Appends the fields whose names do not begin with excludedPrefix (null:
    // all) as "name: value" lines joined by CR LF, without a trailing CR LF.
    // Non-ASCII values are written as encoded words in the charset of
    // codePage, or of the code page found by Parse when codePage is 0.
    void Write(StringBuffer& out, const char* excludedPrefix, int codePage) const;

    // Appends one cookie per "Set-Cookie" or "Set-Cookie2" field, in field
    // order. A cookie without a domain gets defaultDomain, or is dropped when
    // that is null or empty.
    void CollectResponseCookies(std::vector<std::unique_ptr<Cookie>>& list, const char* defaultDomain,
                                LogBase& log) const;

    // Code page of the non-ASCII text found by the last Parse; 0 when none.
    int GetCodePage() const { return codePage_; }
    int GetFieldCount() const { return static_cast<int>(fields_.size()); }
    const MimeField& GetFieldAt(int i) const { return *fields_[static_cast<size_t>(i)]; }

private:
    class Parser;

    const MimeField* FindField(const char* name) const;
    // An empty field to parse into: a spare one when there is one.
    std::unique_ptr<MimeField> TakeSpareField();
    void KeepSpareField(std::unique_ptr<MimeField> field);

    int codePage_ = 0;
    std::vector<std::unique_ptr<MimeField>> fields_;
    std::vector<std::unique_ptr<MimeField>> spare_;   // cleared fields, up to kMaxSpareFields
};

} // namespace plentor

#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plentor {

// One node of the error log tree: a context owning its children, or a single
// error, information, plain text or data line.
class LogEntry2 {
public:
    enum class Kind : char {
        Context = 'C',
        Error = 'E',
        Info = 'I',
        Text = 'X',
        Data = 'T',
    };

    explicit LogEntry2(Kind k) : kind(k) {}
    // Frees the subtree without recursing, so a runaway nesting cannot exhaust the stack.
    ~LogEntry2();
    LogEntry2(const LogEntry2&) = delete;
    LogEntry2& operator=(const LogEntry2&) = delete;

    // A context; a null or empty name makes a nameless one whose own lines are not written.
    static std::unique_ptr<LogEntry2> MakeContext(const char* name);
    static std::unique_ptr<LogEntry2> MakeLine(Kind kind, std::string text);
    static std::unique_ptr<LogEntry2> MakeData(std::string tag, std::string value);

    // The value of the first data item with the given tag in this subtree,
    // searched depth first in document order; null when there is none.
    const std::string* FindData(const char* tag) const;

    bool IsContext() const { return kind == Kind::Context; }

    std::vector<std::unique_ptr<LogEntry2>> children;  // only for contexts
    Kind kind;
    std::optional<std::string> tag;   // context name or data tag; absent when missing
    std::optional<std::string> text;  // line text or data value; absent when missing
};

} // namespace plentor

#pragma once

#include "log/LogEntry2.h"

#include <memory>
#include <string>
#include <vector>

namespace plentor {

// The log tree and its stack of open contexts (bottom first, the root
// "ZentrelLog" at the bottom). Renders the tree as XML, HTML or indented text.
class ErrorLog {
public:
    static constexpr const char* kRootTag = "ZentrelLog";

    ErrorLog();
    ErrorLog(const ErrorLog&) = delete;
    ErrorLog& operator=(const ErrorLog&) = delete;

    // Discards the whole tree and starts again with an empty root.
    void Clear();

    // Opens a child context of the current one and makes it current.
    void EnterContext(const char* name);
    // Closes the current context; an empty one below a non-root context is dropped.
    // At the root this does nothing.
    void LeaveContext();

    // Appends a line or a data item to the current context.
    void AddLine(LogEntry2::Kind kind, std::string text);
    void AddData(std::string tag, std::string value);

    // Append the rendered tree to out.
    void AppendXml(std::string& out) const;
    void AppendHtml(std::string& out) const;
    void AppendText(std::string& out) const;

    const LogEntry2& Root() const { return *root_; }
    size_t OpenContextCount() const { return open_.size(); }   // the root included

private:
    LogEntry2& Current() { return *open_.back(); }

    std::unique_ptr<LogEntry2> root_;
    std::vector<LogEntry2*> open_;   // refers into the tree rooted at root_
};

} // namespace plentor

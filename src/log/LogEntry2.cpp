#include "log/LogEntry2.h"

#include <vector>

#include <utility>

namespace plentor {

LogEntry2::~LogEntry2()
{
    // Detach every descendant into one flat list before it dies, so each node
    // is destroyed with no children left and the destructor never nests.
    std::vector<std::unique_ptr<LogEntry2>> pending = std::move(children);
    while (!pending.empty()) {
        std::unique_ptr<LogEntry2> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->children)
            pending.push_back(std::move(child));
        node->children.clear();
    }
}

std::unique_ptr<LogEntry2> LogEntry2::MakeContext(const char* name)
{
    auto entry = std::make_unique<LogEntry2>(Kind::Context);
    if (name != nullptr && *name != '\0')
        entry->tag = name;
    return entry;
}

std::unique_ptr<LogEntry2> LogEntry2::MakeLine(Kind kind, std::string text)
{
    auto entry = std::make_unique<LogEntry2>(kind);
    entry->text = std::move(text);
    return entry;
}

std::unique_ptr<LogEntry2> LogEntry2::MakeData(std::string tag, std::string value)
{
    auto entry = std::make_unique<LogEntry2>(Kind::Data);
    entry->tag = std::move(tag);
    entry->text = std::move(value);
    return entry;
}

const std::string* LogEntry2::FindData(const char* tag) const
{
    // An explicit stack: logs may nest deeper than the call stack allows.
    std::vector<const LogEntry2*> todo{this};
    while (!todo.empty()) {
        const LogEntry2* e = todo.back();
        todo.pop_back();
        if (e->kind == Kind::Data && e->tag && e->text && *e->tag == tag)
            return &*e->text;
        for (auto it = e->children.rbegin(); it != e->children.rend(); ++it)
            todo.push_back(it->get());
    }
    return nullptr;
}

} // namespace plentor

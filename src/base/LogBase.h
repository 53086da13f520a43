#pragma once

#include <cstdint>

namespace plentor {

class StringBuffer;

// The log every operation writes to: named contexts holding error lines,
// information lines, plain text lines and tagged data items.
class LogBase {
public:
    virtual ~LogBase() = default;

    virtual void GetXml(StringBuffer& out) = 0;
    virtual void GetHtml(StringBuffer& out) = 0;
    virtual void GetText(StringBuffer& out) = 0;
    virtual bool LogError(const char* text) = 0;
    virtual bool LogInfo(const char* text) = 0;
    virtual bool LogText(const char* text) = 0;
    virtual bool ClearLog() = 0;
    virtual bool EnterContext(const char* name, bool verbose) = 0;
    virtual bool LeaveContext() = 0;
    virtual bool LogData(const char* tag, const char* value) = 0;
    virtual bool LogDataLong(const char* tag, int64_t number) = 0;
    virtual void LogTickCount(const char* tag) = 0;
    virtual bool SaveLogXml(const char* path) = 0;
};

// Opens a context for the lifetime of a scope, so every return path closes it.
class LogContext {
public:
    LogContext(LogBase& log, const char* name) : log_(log) { log_.EnterContext(name, true); }
    ~LogContext() { log_.LeaveContext(); }
    LogContext(const LogContext&) = delete;
    LogContext& operator=(const LogContext&) = delete;

private:
    LogBase& log_;
};

} // namespace plentor

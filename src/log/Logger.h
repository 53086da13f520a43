#pragma once

#include "base/LogBase.h"
#include "log/ErrorLog.h"

#include <string>

namespace plentor {

// The recording log: every call lands in an ErrorLog tree that can be read
// back as XML, HTML or indented text, or saved as XML.
class Logger : public LogBase {
public:
    void GetXml(StringBuffer& out) override;
    void GetHtml(StringBuffer& out) override;
    void GetText(StringBuffer& out) override;
    bool LogError(const char* text) override;
    bool LogInfo(const char* text) override;
    bool LogText(const char* text) override;
    bool ClearLog() override;
    bool EnterContext(const char* name, bool verbose) override;
    bool LeaveContext() override;
    // False, recording nothing, for a tag that is empty after trimming or a null value.
    bool LogData(const char* tag, const char* value) override;
    bool LogDataLong(const char* tag, int64_t number) override;
    void LogTickCount(const char* tag) override;
    // False (with an error line in this log) when the file cannot be written.
    bool SaveLogXml(const char* path) override;

    const ErrorLog& Tree() const { return log_; }

private:
    bool AddLine(LogEntry2::Kind kind, const char* text);
    bool AddData(const char* tag, std::string value);

    ErrorLog log_;
};

} // namespace plentor

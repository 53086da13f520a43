#pragma once

#include "base/LogBase.h"

namespace plentor {

// A log that records nothing, for callers that do not want the output.
class LogNull : public LogBase {
public:
    void GetXml(StringBuffer&) override {}
    void GetHtml(StringBuffer&) override {}
    void GetText(StringBuffer&) override {}
    bool LogError(const char*) override { return true; }
    bool LogInfo(const char*) override { return true; }
    bool LogText(const char*) override { return true; }
    bool ClearLog() override { return true; }
    bool EnterContext(const char*, bool) override { return true; }
    bool LeaveContext() override { return true; }
    bool LogData(const char*, const char*) override { return true; }
    bool LogDataLong(const char*, int64_t) override { return true; }
    void LogTickCount(const char*) override {}
    bool SaveLogXml(const char*) override { return true; }
};

} // namespace plentor

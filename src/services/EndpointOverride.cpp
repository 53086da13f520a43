#include "services/EndpointOverride.h"

#include "base/LogBase.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace plentor {

namespace {

// A rejected value is logged only up to a little beyond the longest base
// accepted, so a runaway variable cannot flood the log.
constexpr size_t kMaxLoggedValue = ServiceEndpoint::kMaxBaseLength + 20;

void LogRejected(LogBase& log, const char* source, const char* value)
{
    log.LogError("Invalid service endpoint: expected scheme://host[:port]");
    log.LogData("source", source);
    log.LogData("endpoint", std::string(std::string_view(value).substr(0, kMaxLoggedValue)).c_str());
}

} // namespace

bool EndpointOverride::Set(const char* base, LogBase& log)
{
    if (base == nullptr || *base == '\0') {
        base_.Clear();
        return true;
    }
    ServiceEndpoint check(BookmarkService::Delicious);   // any service: only the parse matters
    if (!check.Parse(base)) {
        LogRejected(log, "explicit", base);
        return false;
    }
    base_.SetString(base);
    return true;
}

ServiceEndpoint EndpointOverride::Resolve(BookmarkService service, LogBase& log) const
{
    ServiceEndpoint endpoint(service);
    if (!base_.IsEmpty() && endpoint.Parse(base_.GetString())) return endpoint;

    const char* variable = BookmarkServices::EnvironmentVariable(service);
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') return endpoint;
    if (!endpoint.Parse(value)) {
        LogRejected(log, variable, value);
        log.LogInfo("Using the service's built-in address.");
    }
    return endpoint;
}

} // namespace plentor

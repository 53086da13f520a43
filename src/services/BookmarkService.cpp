#include "services/BookmarkService.h"

#include "text/StringBuffer.h"

#include <array>
#include <cstddef>

namespace plentor {

namespace {

struct ServiceRow {
    BookmarkService service;
    const char* name;
    const char* variable;
    const char* base;   // scheme and host of the service's requests
};

// Every place that needs a service's name, address or override variable
// reads this table. The Quorlane host is the project's own.
constexpr std::array<ServiceRow, BookmarkServices::kCount> kServices = {{
    {BookmarkService::Delicious, "delicious", "PLENTOR_DELICIOUS_URL", "https://api.del.icio.us"},
    {BookmarkService::Shadows, "shadows", "PLENTOR_SHADOWS_URL", "http://www.shadows.com"},
    {BookmarkService::Simpy, "simpy", "PLENTOR_SIMPY_URL", "http://www.simpy.com"},
    {BookmarkService::Furl, "furl", "PLENTOR_FURL_URL", "http://www.furl.net"},
    {BookmarkService::Netvouz, "netvouz", "PLENTOR_NETVOUZ_URL", "http://www.netvouz.com"},
    {BookmarkService::Spurl, "spurl", "PLENTOR_SPURL_URL", "http://www.spurl.net"},
    {BookmarkService::Blogmarks, "blogmarks", "PLENTOR_BLOGMARKS_URL", "http://blogmarks.net"},
    {BookmarkService::Quorlane, "quorlane", "PLENTOR_QUORLANE_URL", "http://quorlane.plentor.org"},
}};

const ServiceRow& Row(BookmarkService service)
{
    for (const ServiceRow& row : kServices) {
        if (row.service == service) return row;
    }
    return kServices[0];   // unreachable: every enumerator has a row
}

} // namespace

const char* BookmarkServices::Name(BookmarkService service) { return Row(service).name; }

const char* BookmarkServices::EnvironmentVariable(BookmarkService service) { return Row(service).variable; }

const char* BookmarkServices::BuiltInBase(BookmarkService service) { return Row(service).base; }

bool BookmarkServices::FromName(const char* name, BookmarkService& out)
{
    const StringBuffer wanted(name);
    for (const ServiceRow& row : kServices) {
        if (wanted.EqualsNoCase(row.name)) {
            out = row.service;
            return true;
        }
    }
    return false;
}

} // namespace plentor

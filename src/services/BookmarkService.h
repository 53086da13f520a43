#pragma once

namespace plentor {

// The bookmark services the clients talk to.
enum class BookmarkService { Delicious, Shadows, Simpy, Furl, Netvouz, Spurl, Blogmarks, Quorlane };

// The one table of the services: their names, their built-in addresses and
// the environment variables that redirect them.
class BookmarkServices {
public:
    static constexpr int kCount = 8;

    // Lower-case name: "delicious", "shadows", ...
    static const char* Name(BookmarkService service);
    // "PLENTOR_DELICIOUS_URL" and so on: a base address that replaces the
    // built-in scheme, host and port of every URL the service's client builds.
    static const char* EnvironmentVariable(BookmarkService service);
    // The service's own address: "https://api.del.icio.us", "http://www.furl.net", ...
    static const char* BuiltInBase(BookmarkService service);
    // Finds a service by its name (ASCII case-insensitive); false when none has it.
    static bool FromName(const char* name, BookmarkService& out);
};

} // namespace plentor

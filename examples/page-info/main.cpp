// page-info: fetches a web page and prints the title, description and tags
// Plentor derives from it for a bookmark.
//   usage: page-info URL
#include "services/DeliciousClient.h"
#include "text/StringBuffer.h"

#include <cstdio>

namespace {

void PrintLine(const char* key, const plentor::StringBuffer& value)
{
    std::printf("%s: %s\n", key, value.GetString());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: page-info URL\n");
        return 2;
    }
    // The URL is taken in the active ANSI code page: UTF-8 on Linux unless
    // PLENTOR_ACP names another.
    plentor::DeliciousClient client;
    plentor::StringBuffer title, description, tags;
    if (!client.FetchPageInfo(argv[1], title, description, tags)) {
        std::fprintf(stderr, "page-info: cannot fetch %s (status %d)\n", argv[1], client.GetLastFetchStatus());
        return 1;
    }
    PrintLine("title", title);
    PrintLine("description", description);
    PrintLine("tags", tags);
    return 0;
}

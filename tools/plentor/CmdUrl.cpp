// plentor url: shows how the HTTP client splits a URL.
#include "Command.h"
#include "StandardIo.h"

#include "http/ZentrelUrl.h"
#include "text/StringBuffer.h"

#include <cstdio>

namespace plentor::cli {

namespace {

int RunUrl(const std::vector<std::string>& args);

const Command kUrl = {
    "url",
    "url URL",
    "print the parts of URL as the HTTP client reads them",
    "Prints one 'key: value' line each for host, port, login, password, path,\n"
    "query, fragment and domain (the registrable domain of the host). Nothing\n"
    "is percent-decoded; the host is lower-cased.\n"
    "\n"
    "Exit status: 1 when the URL names no host; 2 for bad arguments.\n",
    RunUrl,
};

const Command::Registrar kRegistrar(kUrl);

void PrintPart(const char* key, const StringBuffer& value)
{
    std::printf("%s: %s\n", key, value.GetString());
}

int RunUrl(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return UsageError(kUrl, args.empty() ? "URL is missing" : "exactly one URL expected");
    const std::string& url = args[0];
    StringBuffer host, login, password, path, query, fragment, domain;
    int port = ZentrelUrl::kHttpPort;
    if (!ZentrelUrl::CrackUrl(url.c_str(), host, port, login, password, path, query, fragment)) {
        std::fprintf(stderr, "plentor url: cannot parse URL (longer than %d bytes)\n", ZentrelUrl::kMaxUrlLength);
        return kExitFailure;
    }
    if (host.IsEmpty()) {
        std::fprintf(stderr, "plentor url: no host in URL '%s'\n", url.c_str());
        return kExitFailure;
    }
    ZentrelUrl::GetDomainFromHost(host.GetString(), domain);
    PrintPart("host", host);
    WriteOutput("port: " + std::to_string(port) + "\n");
    PrintPart("login", login);
    PrintPart("password", password);
    PrintPart("path", path);
    PrintPart("query", query);
    PrintPart("fragment", fragment);
    PrintPart("domain", domain);
    return kExitOk;
}

} // namespace

} // namespace plentor::cli

// plentor submit-url: saves a page to Delicious with the title, description
// and tags derived from the page itself.
#include "Command.h"
#include "StandardIo.h"

#include "Credentials.h"
#include "ServiceSession.h"

#include "services/DeliciousClient.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <cstdio>
#include <string>

namespace plentor::cli {

namespace {

int RunSubmitUrl(const std::vector<std::string>& args);

const Command kSubmitUrl = {
    "submit-url",
    "submit-url URL " PLENTOR_CREDENTIAL_SYNOPSIS " [--endpoint BASE] [--log]",
    "fetch a page and save it to Delicious with the values derived from it",
    "Fetches URL as page-info does, then saves it to Delicious with the account\n"
    "L, the page's title, its description meta tag and the suggested tags.\n"
    "When the page cannot be fetched nothing is sent to the service. Prints\n"
    "the derived values as the lines \"title: \", \"extended: \" and \"tags: \".\n"
    "\n"
    PLENTOR_CREDENTIAL_HELP
    "  The netrc entry is the one of Delicious's host (of --endpoint when given).\n"
    "\n"
    "  --endpoint BASE       send the service's requests to BASE (scheme://host[:port])\n"
    "                        instead of its own address or PLENTOR_DELICIOUS_URL;\n"
    "                        the page itself is always fetched from URL\n"
    "  --log                 write the HTTP client's log to standard error\n"
    "\n"
    "Exit status: 0 when the service took the bookmark; 1 when the page could\n"
    "not be fetched or the service refused the bookmark; 2 for bad arguments.\n",
    RunSubmitUrl,
};

const Command::Registrar kRegistrar(kSubmitUrl);

struct SubmitUrlOptions {
    Credentials credentials;
    std::string url, endpoint;
    bool hasUrl = false, hasEndpoint = false;
    bool log = false;
};

struct ValueFlag {
    const char* flag;
    std::string SubmitUrlOptions::*value;
    bool SubmitUrlOptions::*seen;
};

constexpr ValueFlag kValueFlags[] = {
    {"--endpoint", &SubmitUrlOptions::endpoint, &SubmitUrlOptions::hasEndpoint},
};

const ValueFlag* FindFlag(const std::string& arg)
{
    for (const ValueFlag& flag : kValueFlags) {
        if (arg == flag.flag) return &flag;
    }
    return nullptr;
}

// Empty when the arguments make one submission, else why not.
std::string ParseArgs(const std::vector<std::string>& args, SubmitUrlOptions& options)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--log") {
            options.log = true;
            continue;
        }
        std::string why;
        if (options.credentials.Take(args, i, why)) {
            if (!why.empty()) return why;
            continue;
        }
        if (const ValueFlag* flag = FindFlag(arg)) {
            if (i + 1 >= args.size()) return arg + " needs a value";
            options.*(flag->value) = args[++i];
            options.*(flag->seen) = true;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') return "unknown option " + arg;
        if (options.hasUrl) return "unexpected " + arg;
        options.url = arg;
        options.hasUrl = true;
    }
    if (!options.hasUrl) return "URL is missing";
    return std::string();
}

// Command-line text (UTF-8) in the active ANSI code page, the form the
// client takes; false when some character has no place there.
bool ToAnsi(const std::string& utf8, StringBuffer& out)
{
    XString text;
    text.SetUtf8(utf8.c_str());
    out.SetString(text.GetAnsi());
    return text.IsAnsiExact();
}

void PrintLine(const char* key, const StringBuffer& value)
{
    std::printf("%s: ", key);
    WriteOutput(value);
    std::fputc('\n', stdout);
}

// The client's own lines (when it wrote any), then the HTTP facades' logs.
void WriteLog(DeliciousClient& client)
{
    StringBuffer text;
    if (!client.GetLog().Tree().Root().children.empty()) client.GetLog().GetText(text);
    text.AppendBuffer(client.GetLastHttpLog());
    WriteMessage(text);
}

int RunSubmitUrl(const std::vector<std::string>& args)
{
    SubmitUrlOptions options;
    std::string why = ParseArgs(args, options);
    std::string host;
    if (why.empty()) why = ServiceSession::FindHost(BookmarkService::Delicious, options.endpoint, host);
    if (!why.empty()) return UsageError(kSubmitUrl, why);
    Credentials& account = options.credentials;
    if (const int status = account.Resolve(kSubmitUrl, host, Credentials::Need::Required); status != kExitOk)
        return status;
    StringBuffer url;
    DeliciousClient client;
    using Conversion = std::pair<const std::string*, StringBuffer*>;
    for (const auto& [from, to] : {Conversion{&options.url, &url}, Conversion{&account.Login(), &client.Login()},
                                   Conversion{&account.Password(), &client.Password()}}) {
        if (!ToAnsi(*from, *to)) return UsageError(kSubmitUrl, "\"" + *from + "\" does not fit the active code page");
    }
    if (options.hasEndpoint) client.SetEndpoint(options.endpoint.c_str());

    StringBuffer title, extended, tags;
    const bool ok = client.SubmitUrl(url.GetString(), title, extended, tags);
    if (options.log) WriteLog(client);
    const bool fetched = client.LastFetchWorked();
    if (fetched) {
        PrintLine("title", title);
        PrintLine("extended", extended);
        PrintLine("tags", tags);
        std::fflush(stdout);
    }
    if (ok) return kExitOk;
    if (!fetched)
        std::fprintf(stderr, "plentor submit-url: cannot fetch %s\n", options.url.c_str());
    else
        std::fprintf(stderr, "plentor submit-url: delicious: the bookmark was not saved\n");
    return kExitFailure;
}

} // namespace

} // namespace plentor::cli

// plentor get: fetches a URL through the HTTP facade.
#include "Command.h"

#include "Credentials.h"

#include "http/HttpMan.h"
#include "http/ZentrelUrl.h"
#include "platform/CommandLine.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <cstdio>

namespace plentor::cli {

namespace {

int RunGet(const std::vector<std::string>& args);

const Command kGet = {
    "get",
    "get URL [--bytes] [--log] [--cookies memory|DIR] " PLENTOR_CREDENTIAL_SYNOPSIS " [--firefox]",
    "fetch URL and write its body to standard output",
    "Fetches URL with the HTTP client's defaults and writes the body to standard\n"
    "output: as UTF-8 text (decoded by the charset the reply or the page\n"
    "declares), or with --bytes exactly as received.\n"
    "\n"
    "  --bytes               write the body bytes unchanged\n"
    "  --log                 write the client's log to standard error\n"
    "  --cookies WHERE       keep, send and save cookies: 'memory' or a directory\n"
    "  --firefox             send Firefox-style request headers\n"
    "\n"
    "An account, when given, is sent with Basic authentication:\n"
    PLENTOR_CREDENTIAL_HELP
    "  The netrc entry is the one of URL's host; with --netrc alone and no entry\n"
    "  for it, the page is fetched without an account.\n"
    "\n"
    "Exit status: 0 on success; 1 when the transfer failed, the status was\n"
    "400 or above or the account could not be read; 2 for bad arguments.\n",
    RunGet,
};

const Command::Registrar kRegistrar(kGet);

struct GetOptions {
    std::string url;
    bool bytes = false;
    bool log = false;
    bool firefox = false;
    bool hasCookies = false;
    std::string cookies;
    Credentials credentials;
};

// Takes the value after a flag; false when it is missing.
bool TakeValue(const std::vector<std::string>& args, size_t& i, std::string& value)
{
    if (i + 1 >= args.size()) return false;
    value = args[++i];
    return true;
}

// Empty on success, else why the arguments are wrong.
std::string ParseArgs(const std::vector<std::string>& args, GetOptions& options)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--bytes") {
            options.bytes = true;
        } else if (arg == "--log") {
            options.log = true;
        } else if (arg == "--firefox") {
            options.firefox = true;
        } else if (arg == "--cookies") {
            if (!TakeValue(args, i, options.cookies) || options.cookies.empty()) return "--cookies needs a value";
            options.hasCookies = true;
        } else if (std::string why; options.credentials.Take(args, i, why)) {
            if (!why.empty()) return why;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (!options.url.empty()) {
            return "exactly one URL expected";
        } else {
            options.url = arg;
        }
    }
    if (options.url.empty()) return "URL is missing";
    return std::string();
}

void Configure(const GetOptions& options, HttpMan& http)
{
    if (options.hasCookies) {
        http.SetCookieDir(platform::FileNameFromUtf8(options.cookies).c_str());
        http.SetSendCookies(true);
        http.SetSaveCookies(true);
    }
    if (options.credentials.HasAccount()) {
        XString login, password;
        login.SetUtf8(options.credentials.Login().c_str());
        password.SetUtf8(options.credentials.Password().c_str());
        http.SetLogin(login);
        http.SetPassword(password);
    }
    if (options.firefox) http.SetMimicFirefox(true);
}

bool Fetch(const GetOptions& options, HttpMan& http)
{
    if (options.bytes) {
        DataBuffer body;
        const bool ok = http.QuickGetBytes(options.url.c_str(), body);
        std::fwrite(body.Data(), 1, body.Size(), stdout);
        return ok;
    }
    StringBuffer text;
    const bool ok = http.QuickGetHtml(options.url.c_str(), text);
    std::fwrite(text.GetString(), 1, static_cast<size_t>(text.GetLength()), stdout);
    return ok;
}

int RunGet(const std::vector<std::string>& args)
{
    GetOptions options;
    const std::string why = ParseArgs(args, options);
    if (!why.empty()) return UsageError(kGet, why);
    StringBuffer host;
    ZentrelUrl::GetUrlHost(options.url.c_str(), host);
    if (const int status = options.credentials.Resolve(kGet, host.GetString(), Credentials::Need::Optional);
        status != kExitOk)
        return status;

    HttpMan http;
    Configure(options, http);
    const bool ok = Fetch(options, http);
    std::fflush(stdout);
    if (options.log) {
        StringBuffer logText;
        http.GetLog().GetText(logText);
        std::fwrite(logText.GetString(), 1, static_cast<size_t>(logText.GetLength()), stderr);
    }
    return ok ? kExitOk : kExitFailure;
}

} // namespace

} // namespace plentor::cli

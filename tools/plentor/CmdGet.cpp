// plentor get: fetches a URL through the HTTP facade.
#include "Command.h"
#include "StandardIo.h"

#include "Credentials.h"

#include "http/HttpControl.h"
#include "http/HttpMan.h"
#include "http/ZentrelUrl.h"
#include "http/body/BodySink.h"
#include "platform/CommandLine.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <charconv>
#include <cstdio>

namespace plentor::cli {

namespace {

int RunGet(const std::vector<std::string>& args);

const Command kGet = {
    "get",
    "get URL [--bytes] [--log] [--cookies memory|DIR] " PLENTOR_CREDENTIAL_SYNOPSIS " [--firefox] [--max-time S]"
    " [--header-timeout S] [--max-size BYTES]",
    "fetch URL and write its body to standard output",
    "Fetches URL with the HTTP client's defaults and writes the body to standard\n"
    "output: as UTF-8 text (decoded by the charset the reply or the page\n"
    "declares), or with --bytes exactly as received. With --bytes the body is\n"
    "written as it arrives, so a body of any size needs little memory; a text\n"
    "page is held whole to find its charset and may be at most 32 MiB.\n"
    "\n"
    "  --bytes             write the body bytes unchanged, as they arrive\n"
    "  --log               write the client's log to standard error\n"
    "  --cookies WHERE     keep, send and save cookies: 'memory' or a directory\n"
    "  --firefox           send Firefox-style request headers\n"
    "  --max-time SECONDS  the longest the whole response may take, from the\n"
    "                      request to its last byte (default 300; 0: no limit)\n"
    "  --header-timeout SECONDS\n"
    "                      the longest the response header may take to arrive\n"
    "                      (default 60; 0: no limit)\n"
    "  --max-size BYTES    the largest body accepted, counted after gzip is\n"
    "                      inflated (default and 0: no limit with --bytes, and\n"
    "                      32 MiB for a text page)\n"
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

// Standard output's buffer while a body streams: the sink's blocks then go
// out in few system writes. With the Windows C runtime's small default a
// streamed body left at a few MB/s under Wine.
constexpr size_t kStdoutBuffer = 64 * 1024;

struct GetOptions {
    std::string url;
    bool bytes = false;
    bool log = false;
    bool firefox = false;
    bool hasCookies = false;
    std::string cookies;
    Credentials credentials;
    int maxTimeSec = -1;       // -1: the client's default
    int headerTimeoutSec = -1;
    int maxSize = 0;           // 0: no limit of the caller's
};

// Takes the value after a flag; false when it is missing.
bool TakeValue(const std::vector<std::string>& args, size_t& i, std::string& value)
{
    if (i + 1 >= args.size()) return false;
    value = args[++i];
    return true;
}

// Takes a whole non-negative number after a flag; false when it is missing
// or not one.
bool TakeNumber(const std::vector<std::string>& args, size_t& i, int& value)
{
    std::string text;
    if (!TakeValue(args, i, text)) return false;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && value >= 0;
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
        } else if (arg == "--max-time") {
            if (!TakeNumber(args, i, options.maxTimeSec)) return "--max-time needs a number of seconds";
        } else if (arg == "--header-timeout") {
            if (!TakeNumber(args, i, options.headerTimeoutSec)) return "--header-timeout needs a number of seconds";
        } else if (arg == "--max-size") {
            if (!TakeNumber(args, i, options.maxSize)) return "--max-size needs a number of bytes";
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
    HttpControl& control = http.GetControl();
    if (options.maxTimeSec >= 0) control.responseTimeoutSec = options.maxTimeSec;
    if (options.headerTimeoutSec >= 0) control.headerTimeoutSec = options.headerTimeoutSec;
    control.maxContentLength = options.maxSize;
    // A text page is held whole to find its charset: it gets the page limit.
    if (!options.bytes && (options.maxSize == 0 || options.maxSize > HttpControl::kPageFetchMaxContent))
        control.maxContentLength = HttpControl::kPageFetchMaxContent;
}

// Writes a streamed body to standard output as it arrives.
class StdoutSink final : public BodySink {
public:
    bool Write(const unsigned char* data, unsigned length) override { return WriteOutput(data, length); }
};

bool Fetch(const GetOptions& options, HttpMan& http)
{
    if (options.bytes) {
        std::setvbuf(stdout, nullptr, _IOFBF, kStdoutBuffer);
        StdoutSink out;
        return http.QuickGetToSink(options.url.c_str(), out);
    }
    StringBuffer text;
    const bool ok = http.QuickGetHtml(options.url.c_str(), text);
    WriteOutput(text);
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
        WriteMessage(logText);
    }
    if (!ok)
        return Failure(kGet, options.log ? "the request failed" : "the request failed (--log shows why)");
    return kExitOk;
}

} // namespace

} // namespace plentor::cli

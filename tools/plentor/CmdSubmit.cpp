// plentor submit: saves one bookmark to a bookmark service.
#include "Command.h"

#include "services/BookmarkService.h"
#include "services/ClsQuorlane.h"
#include "services/DeliciousClient.h"
#include "services/FurlClient.h"
#include "services/WebServiceClient.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <cstdio>
#include <string>

namespace plentor::cli {

namespace {

int RunSubmit(const std::vector<std::string>& args);

const Command kSubmit = {
    "submit",
    "submit SERVICE --login L --password P --url U [--title T] [--extended E] [--tags TAGS]"
    " [--category C] [--tag TAG] [--endpoint BASE] [--log]",
    "save one bookmark to a bookmark service",
    "Saves the page URL to SERVICE with the account L/P. SERVICE is one of\n"
    "delicious, shadows, simpy, furl, netvouz, spurl, blogmarks, quorlane.\n"
    "Services with a login form (furl, netvouz, spurl, blogmarks, quorlane)\n"
    "are logged in first.\n"
    "\n"
    "  --title T        the page title (furl: without it the title is read from the page)\n"
    "  --extended E     a longer description (not for simpy and furl)\n"
    "  --tags TAGS      tags separated by spaces or commas (not for furl)\n"
    "  --category C     quorlane: the category (required)\n"
    "  --tag TAG        quorlane: file under this single tag instead of --tags\n"
    "  --endpoint BASE  send the service's requests to BASE (scheme://host[:port])\n"
    "                   instead of its own address or PLENTOR_<SERVICE>_URL\n"
    "  --log            write the HTTP client's log to standard error\n"
    "\n"
    "Exit status: 0 when the service took the bookmark; 1 when the login or\n"
    "the submission failed; 2 for bad arguments.\n",
    RunSubmit,
};

const Command::Registrar kRegistrar(kSubmit);

// The optional values; each service takes only some of them.
enum Field : unsigned {
    kTitle = 1u << 0,
    kExtended = 1u << 1,
    kTags = 1u << 2,
    kCategory = 1u << 3,
    kTag = 1u << 4,
};

struct SubmitOptions {
    BookmarkService service = BookmarkService::Delicious;
    std::string login, password, url, title, extended, tags, category, tag, endpoint;
    bool hasLogin = false, hasPassword = false, hasUrl = false, hasEndpoint = false;
    unsigned given = 0;   // Field bits of the optional values on the command line
    bool log = false;
};

struct ValueFlag {
    const char* flag;
    std::string SubmitOptions::*value;
    unsigned field;        // Field bit, 0 for the required values and --endpoint
    bool SubmitOptions::*seen;
};

constexpr ValueFlag kValueFlags[] = {
    {"--login", &SubmitOptions::login, 0, &SubmitOptions::hasLogin},
    {"--password", &SubmitOptions::password, 0, &SubmitOptions::hasPassword},
    {"--url", &SubmitOptions::url, 0, &SubmitOptions::hasUrl},
    {"--endpoint", &SubmitOptions::endpoint, 0, &SubmitOptions::hasEndpoint},
    {"--title", &SubmitOptions::title, kTitle, nullptr},
    {"--extended", &SubmitOptions::extended, kExtended, nullptr},
    {"--tags", &SubmitOptions::tags, kTags, nullptr},
    {"--category", &SubmitOptions::category, kCategory, nullptr},
    {"--tag", &SubmitOptions::tag, kTag, nullptr},
};

// The optional values each service's requests carry.
unsigned AcceptedFields(BookmarkService service)
{
    switch (service) {
    case BookmarkService::Simpy: return kTitle | kTags;
    case BookmarkService::Furl: return kTitle;
    case BookmarkService::Quorlane: return kTitle | kExtended | kTags | kCategory | kTag;
    default: return kTitle | kExtended | kTags;
    }
}

const ValueFlag* FindFlag(const std::string& arg)
{
    for (const ValueFlag& flag : kValueFlags) {
        if (arg == flag.flag) return &flag;
    }
    return nullptr;
}

// Empty when the flags are well formed, else why not.
std::string ParseFlags(const std::vector<std::string>& args, SubmitOptions& options)
{
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--log") {
            options.log = true;
            continue;
        }
        const ValueFlag* flag = FindFlag(arg);
        if (flag == nullptr) return arg.size() > 1 && arg[0] == '-' ? "unknown option " + arg : "unexpected " + arg;
        if (i + 1 >= args.size()) return arg + " needs a value";
        options.*(flag->value) = args[++i];
        options.given |= flag->field;
        if (flag->seen != nullptr) options.*(flag->seen) = true;
    }
    return std::string();
}

const char* FieldFlag(unsigned field)
{
    for (const ValueFlag& flag : kValueFlags) {
        if (flag.field == field) return flag.flag;
    }
    return "";
}

// Empty when the arguments make one submission, else why not.
std::string ParseArgs(const std::vector<std::string>& args, SubmitOptions& options)
{
    if (args.empty() || args[0].empty() || args[0][0] == '-') return "SERVICE is missing";
    if (!BookmarkServices::FromName(args[0].c_str(), options.service)) return "unknown service " + args[0];
    const std::string why = ParseFlags(args, options);
    if (!why.empty()) return why;
    if (!options.hasLogin || !options.hasPassword) return "--login and --password are required";
    if (!options.hasUrl) return "--url is required";
    const char* name = BookmarkServices::Name(options.service);
    const unsigned refused = options.given & ~AcceptedFields(options.service);
    for (unsigned field = kTitle; field <= kTag; field <<= 1) {
        if ((refused & field) != 0) return std::string(FieldFlag(field)) + " is not used by " + name;
    }
    if (options.service == BookmarkService::Quorlane) {
        if ((options.given & kCategory) == 0) return "--category is required for quorlane";
        if ((options.given & kTags) != 0 && (options.given & kTag) != 0) return "give either --tags or --tag";
    }
    return std::string();
}

// Command-line text (UTF-8) in the active ANSI code page, the form the
// bookmark clients take; false when some character has no place there.
bool ToAnsi(const std::string& utf8, StringBuffer& out)
{
    XString text;
    text.SetUtf8(utf8.c_str());
    out.SetString(text.GetAnsi());
    return text.IsAnsiExact();
}

XString FromUtf8(const std::string& utf8)
{
    XString text;
    text.SetUtf8(utf8.c_str());
    return text;
}

// The values of a submission in the active ANSI code page.
struct AnsiValues {
    StringBuffer login, password, url, title, extended, tags;
};

std::string ConvertValues(const SubmitOptions& options, AnsiValues& out)
{
    const std::pair<const std::string*, StringBuffer*> pairs[] = {
        {&options.login, &out.login}, {&options.password, &out.password}, {&options.url, &out.url},
        {&options.title, &out.title}, {&options.extended, &out.extended}, {&options.tags, &out.tags},
    };
    for (const auto& [from, to] : pairs) {
        if (!ToAnsi(*from, *to)) return "\"" + *from + "\" does not fit the active code page";
    }
    return std::string();
}

const char* Text(const StringBuffer& text) { return text.GetString(); }

// The client's own lines (when it wrote any), then the HTTP facade's log.
void WriteLog(Logger& own, const StringBuffer& httpLog)
{
    StringBuffer text;
    if (!own.Tree().Root().children.empty()) own.GetText(text);
    text.AppendBuffer(httpLog);
    std::fwrite(text.GetString(), 1, static_cast<size_t>(text.GetLength()), stderr);
}

void WriteLog(Logger& own, HttpMan& http)
{
    StringBuffer httpLog;
    http.GetLog().GetText(httpLog);
    WriteLog(own, httpLog);
}

// What a run came to.
enum class Outcome { Submitted, Refused, LoginFailed, BadEndpoint };

Outcome SubmitDelicious(const SubmitOptions& options, const AnsiValues& v)
{
    DeliciousClient client;
    if (options.hasEndpoint && !client.SetEndpoint(options.endpoint.c_str())) return Outcome::BadEndpoint;
    client.Login() = v.login;
    client.Password() = v.password;
    const bool ok = client.SubmitExplicit(Text(v.url), Text(v.title), Text(v.extended), Text(v.tags));
    if (options.log) WriteLog(client.GetLog(), client.GetLastHttpLog());
    return ok ? Outcome::Submitted : Outcome::Refused;
}

// The login of a form site; true when there is none.
bool FormLogin(WebServiceClient& client, BookmarkService service, const AnsiValues& v)
{
    switch (service) {
    case BookmarkService::Netvouz: return client.NetvouzLogin(Text(v.login), Text(v.password));
    case BookmarkService::Spurl: return client.SpurlLogin(Text(v.login), Text(v.password));
    case BookmarkService::Blogmarks: return client.BlogmarksLogin(Text(v.login), Text(v.password));
    default: return true;
    }
}

bool WebSubmit(WebServiceClient& client, BookmarkService service, const AnsiValues& v)
{
    const char* url = Text(v.url);
    const char* title = Text(v.title);
    const char* extended = Text(v.extended);
    const char* tags = Text(v.tags);
    switch (service) {
    case BookmarkService::Shadows:
        return client.ShadowsSubmit(Text(v.login), Text(v.password), url, title, extended, tags);
    case BookmarkService::Simpy: return client.SimpySubmit(Text(v.login), Text(v.password), url, title, tags);
    case BookmarkService::Netvouz: return client.NetvouzSubmit(url, title, extended, tags);
    case BookmarkService::Spurl: return client.SpurlSubmit(url, title, extended, tags);
    default: return client.BlogmarksSubmit(url, title, extended, tags);
    }
}

Outcome SubmitWebService(const SubmitOptions& options, const AnsiValues& v)
{
    WebServiceClient client;
    if (options.hasEndpoint && !client.SetEndpoint(options.endpoint.c_str())) return Outcome::BadEndpoint;
    Outcome outcome = Outcome::LoginFailed;
    if (FormLogin(client, options.service, v))
        outcome = WebSubmit(client, options.service, v) ? Outcome::Submitted : Outcome::Refused;
    if (options.log) WriteLog(client.GetLog(), client.GetHttp());
    return outcome;
}

Outcome SubmitFurl(const SubmitOptions& options, const AnsiValues& v)
{
    FurlClient client;
    if (options.hasEndpoint && !client.SetEndpoint(options.endpoint.c_str())) return Outcome::BadEndpoint;
    Outcome outcome = Outcome::LoginFailed;
    if (client.Login(Text(v.login), Text(v.password))) {
        const bool ok = (options.given & kTitle) != 0 ? client.QuickSubmit2(Text(v.title), Text(v.url))
                                                       : client.QuickSubmit1(Text(v.url));
        outcome = ok ? Outcome::Submitted : Outcome::Refused;
    }
    if (options.log) WriteLog(client.GetLog(), client.GetHttp());
    return outcome;
}

Outcome SubmitQuorlane(const SubmitOptions& options)
{
    ClsQuorlane client;
    if (options.hasEndpoint && !client.SetEndpoint(options.endpoint.c_str())) return Outcome::BadEndpoint;
    Outcome outcome = Outcome::LoginFailed;
    if (client.Login(FromUtf8(options.login), FromUtf8(options.password))) {
        const XString category = FromUtf8(options.category);
        const XString url = FromUtf8(options.url);
        const XString title = FromUtf8(options.title);
        const XString extended = FromUtf8(options.extended);
        const bool ok = (options.given & kTag) != 0
                            ? client.AddEntry(category, FromUtf8(options.tag), url, title, extended)
                            : client.AddToTags(category, FromUtf8(options.tags), url, title, extended);
        outcome = ok ? Outcome::Submitted : Outcome::Refused;
    }
    if (options.log) WriteLog(client.GetLog(), client.GetHttp());
    return outcome;
}

Outcome Submit(const SubmitOptions& options, const AnsiValues& values)
{
    switch (options.service) {
    case BookmarkService::Delicious: return SubmitDelicious(options, values);
    case BookmarkService::Furl: return SubmitFurl(options, values);
    case BookmarkService::Quorlane: return SubmitQuorlane(options);
    default: return SubmitWebService(options, values);
    }
}

int RunSubmit(const std::vector<std::string>& args)
{
    SubmitOptions options;
    std::string why = ParseArgs(args, options);
    AnsiValues values;
    // Quorlane takes the text as Unicode; the others in the ANSI code page.
    if (why.empty() && options.service != BookmarkService::Quorlane) why = ConvertValues(options, values);
    if (!why.empty()) return UsageError(kSubmit, why);

    const char* name = BookmarkServices::Name(options.service);
    switch (Submit(options, values)) {
    case Outcome::Submitted: return kExitOk;
    case Outcome::BadEndpoint: return UsageError(kSubmit, "--endpoint wants scheme://host[:port], not " + options.endpoint);
    case Outcome::LoginFailed:
        std::fprintf(stderr, "plentor submit: %s: the login failed\n", name);
        return kExitFailure;
    case Outcome::Refused: break;
    }
    std::fprintf(stderr, "plentor submit: %s: the bookmark was not saved\n", name);
    return kExitFailure;
}

} // namespace

} // namespace plentor::cli

// plentor submit: saves one bookmark to a bookmark service.
#include "Command.h"

#include "module/Blogmarks.h"
#include "module/BoundaryText.h"
#include "module/DeliciousSubmit.h"
#include "module/FurlSubmit.h"
#include "module/Netvouz.h"
#include "module/QuorlaneSubmit.h"
#include "module/Shadows.h"
#include "module/Simpy.h"
#include "module/Spurl.h"
#include "services/BookmarkService.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <cstdio>
#include <initializer_list>
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

// Whether command-line text (UTF-8) fits the active ANSI code page, the
// form in which seven of the objects hand text to their clients.
bool FitsAnsi(const std::string& utf8)
{
    XString text;
    text.SetUtf8(utf8.c_str());
    return text.IsAnsiExact();
}

// Empty when every value fits the active ANSI code page, else why not.
std::string CheckAnsi(const SubmitOptions& options)
{
    for (const std::string* value : {&options.login, &options.password, &options.url, &options.title,
                                     &options.extended, &options.tags}) {
        if (!FitsAnsi(*value)) return "\"" + *value + "\" does not fit the active code page";
    }
    return std::string();
}

// The values of a submission as the objects take them: UTF-16.
struct HostValues {
    std::u16string login, password, url, title, extended, tags, category, tag;
};

std::u16string Wide(const std::string& utf8)
{
    return BoundaryText::FromUtf8(StringBuffer(utf8.data(), static_cast<int>(utf8.size())));
}

HostValues ToHost(const SubmitOptions& o)
{
    return {Wide(o.login), Wide(o.password), Wide(o.url), Wide(o.title),
            Wide(o.extended), Wide(o.tags), Wide(o.category), Wide(o.tag)};
}

// The client's own lines (when it wrote any), then the HTTP facade's log.
void WriteLog(Logger& own, const StringBuffer& httpLog)
{
    StringBuffer text;
    if (!own.Tree().Root().children.empty()) own.GetText(text);
    text.AppendBuffer(httpLog);
    std::fwrite(text.GetString(), 1, static_cast<size_t>(text.GetLength()), stderr);
}

template <typename Object>
void WriteObjectLog(Object& object)
{
    StringBuffer httpLog;
    object.Client().GetHttp().GetLog().GetText(httpLog);
    WriteLog(object.Client().GetLog(), httpLog);
}

// What a run came to.
enum class Outcome { Submitted, Refused, LoginFailed, BadEndpoint };

Outcome FromSuccess(long success) { return success == 1 ? Outcome::Submitted : Outcome::Refused; }

// Points the object at --endpoint when one was given; false when it does not parse.
template <typename Object>
bool Point(Object& object, const SubmitOptions& options)
{
    return !options.hasEndpoint || object.SetEndpoint(options.endpoint.c_str());
}

Outcome SubmitDelicious(const SubmitOptions& options, const HostValues& v)
{
    DeliciousSubmit object;
    if (!Point(object, options)) return Outcome::BadEndpoint;
    object.SetLogin(v.login);
    object.SetPassword(v.password);
    const Outcome outcome = FromSuccess(object.SubmitExplicit(v.url, v.title, v.extended, v.tags));
    if (options.log) WriteLog(object.Client().GetLog(), object.Client().GetLastHttpLog());
    return outcome;
}

// A service whose object keeps the account and sends it with the bookmark.
template <typename Object, typename Submit>
Outcome SubmitWithAccount(const SubmitOptions& options, const HostValues& v, Submit submit)
{
    Object object;
    if (!Point(object, options)) return Outcome::BadEndpoint;
    object.SetLogin(v.login);
    object.SetPassword(v.password);
    const Outcome outcome = FromSuccess(submit(object));
    if (options.log) WriteObjectLog(object);
    return outcome;
}

// A service whose object logs in first; the session lives in its cookies.
template <typename Object, typename Submit>
Outcome LogInAndSubmit(const SubmitOptions& options, const HostValues& v, Submit submit)
{
    Object object;
    if (!Point(object, options)) return Outcome::BadEndpoint;
    Outcome outcome = Outcome::LoginFailed;
    if (object.Login(v.login, v.password) == 1) outcome = FromSuccess(submit(object));
    if (options.log) WriteObjectLog(object);
    return outcome;
}

Outcome Submit(const SubmitOptions& options, const HostValues& v)
{
    const bool titled = (options.given & kTitle) != 0;
    const bool oneTag = (options.given & kTag) != 0;
    // The Submit of Shadows, Netvouz, Spurl and Blogmarks.
    const auto submitFour = [&](auto& o) { return o.Submit(v.url, v.title, v.extended, v.tags); };
    switch (options.service) {
    case BookmarkService::Delicious: return SubmitDelicious(options, v);
    case BookmarkService::Shadows: return SubmitWithAccount<Shadows>(options, v, submitFour);
    case BookmarkService::Simpy:
        return SubmitWithAccount<Simpy>(options, v, [&](Simpy& o) { return o.Submit(v.url, v.title, v.tags); });
    case BookmarkService::Furl:
        return LogInAndSubmit<FurlSubmit>(options, v, [&](FurlSubmit& o) {
            return titled ? o.QuickSubmit2(v.title, v.url) : o.QuickSubmit1(v.url);
        });
    case BookmarkService::Netvouz: return LogInAndSubmit<Netvouz>(options, v, submitFour);
    case BookmarkService::Spurl: return LogInAndSubmit<Spurl>(options, v, submitFour);
    case BookmarkService::Blogmarks: return LogInAndSubmit<Blogmarks>(options, v, submitFour);
    case BookmarkService::Quorlane:
        return LogInAndSubmit<QuorlaneSubmit>(options, v, [&](QuorlaneSubmit& o) {
            return oneTag ? o.Submit1(v.category, v.tag, v.url, v.title, v.extended)
                          : o.Submit(v.category, v.url, v.title, v.extended, v.tags);
        });
    }
    return Outcome::Refused;
}

int RunSubmit(const std::vector<std::string>& args)
{
    SubmitOptions options;
    std::string why = ParseArgs(args, options);
    // Quorlane takes the text as Unicode; the others in the ANSI code page.
    if (why.empty() && options.service != BookmarkService::Quorlane) why = CheckAnsi(options);
    if (!why.empty()) return UsageError(kSubmit, why);

    const char* name = BookmarkServices::Name(options.service);
    switch (Submit(options, ToHost(options))) {
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

// plentor submit: saves one bookmark to a bookmark service.
#include "Command.h"

#include "Credentials.h"
#include "ServiceSession.h"

#include "services/BookmarkService.h"

#include <cstdio>
#include <initializer_list>
#include <string>

namespace plentor::cli {

namespace {

int RunSubmit(const std::vector<std::string>& args);

const Command kSubmit = {
    "submit",
    "submit SERVICE " PLENTOR_CREDENTIAL_SYNOPSIS " --url U [--title T] [--extended E] [--tags TAGS]"
    " [--category C] [--tag TAG] [--endpoint BASE] [--log]",
    "save one bookmark to a bookmark service",
    "Saves the page URL to SERVICE with the account L. SERVICE is one of\n"
    "delicious, shadows, simpy, furl, netvouz, spurl, blogmarks, quorlane.\n"
    "Services with a login form (furl, netvouz, spurl, blogmarks, quorlane)\n"
    "are logged in first.\n"
    "\n"
    PLENTOR_CREDENTIAL_HELP
    "  The netrc entry is the one of the service's host (of --endpoint when given).\n"
    "\n"
    "  --title T             the page title (furl: without it the title is read from the page)\n"
    "  --extended E          a longer description (not for simpy and furl)\n"
    "  --tags TAGS           tags separated by spaces or commas (not for furl)\n"
    "  --category C          quorlane: the category (required)\n"
    "  --tag TAG             quorlane: file under this single tag instead of --tags\n"
    "  --endpoint BASE       send the service's requests to BASE (scheme://host[:port])\n"
    "                        instead of its own address or PLENTOR_<SERVICE>_URL\n"
    "  --log                 write the HTTP client's log to standard error\n"
    "\n"
    "Exit status: 0 when the service took the bookmark; 1 when the login or\n"
    "the submission failed, or the account could not be read; 2 for bad arguments.\n",
    RunSubmit,
};

const Command::Registrar kRegistrar(kSubmit);

struct SubmitOptions {
    BookmarkService service = BookmarkService::Delicious;
    Credentials credentials;
    std::string url, title, extended, tags, category, tag, endpoint;
    bool hasUrl = false, hasEndpoint = false;
    unsigned given = 0;   // BookmarkField bits of the optional values on the command line
    bool log = false;
};

struct ValueFlag {
    const char* flag;
    std::string SubmitOptions::*value;
    unsigned field;        // BookmarkField bit, 0 for --url and --endpoint
    bool SubmitOptions::*seen;
};

constexpr ValueFlag kValueFlags[] = {
    {"--url", &SubmitOptions::url, 0, &SubmitOptions::hasUrl},
    {"--endpoint", &SubmitOptions::endpoint, 0, &SubmitOptions::hasEndpoint},
    {"--title", &SubmitOptions::title, kTitle, nullptr},
    {"--extended", &SubmitOptions::extended, kExtended, nullptr},
    {"--tags", &SubmitOptions::tags, kTags, nullptr},
    {"--category", &SubmitOptions::category, kCategory, nullptr},
    {"--tag", &SubmitOptions::tag, kTag, nullptr},
};

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
        std::string why;
        if (options.credentials.Take(args, i, why)) {
            if (!why.empty()) return why;
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
    if (!options.hasUrl) return "--url is required";
    const char* name = BookmarkServices::Name(options.service);
    const unsigned refused = options.given & ~ServiceSession::AcceptedFields(options.service);
    for (unsigned field = kTitle; field <= kTag; field <<= 1) {
        if ((refused & field) != 0) return std::string(FieldFlag(field)) + " is not used by " + name;
    }
    if (options.service == BookmarkService::Quorlane) {
        if ((options.given & kCategory) == 0) return "--category is required for quorlane";
        if ((options.given & kTags) != 0 && (options.given & kTag) != 0) return "give either --tags or --tag";
    }
    return std::string();
}

// Empty when every value fits the form the service's object takes, else why not.
std::string CheckText(const SubmitOptions& options, const Credentials& account)
{
    for (const std::string* value : {&account.Login(), &account.Password(), &options.url, &options.title,
                                     &options.extended, &options.tags}) {
        if (!ServiceSession::Fits(options.service, *value)) return "\"" + *value + "\" does not fit the active code page";
    }
    return std::string();
}

BookmarkValues ToBookmark(const SubmitOptions& o)
{
    BookmarkValues b{o.url, o.title, o.extended, o.tags, o.category, o.tag};
    b.titled = (o.given & kTitle) != 0;
    b.oneTag = (o.given & kTag) != 0;
    return b;
}

int RunSubmit(const std::vector<std::string>& args)
{
    SubmitOptions options;
    std::string why = ParseArgs(args, options);
    std::string host;
    if (why.empty()) why = ServiceSession::FindHost(options.service, options.endpoint, host);
    if (!why.empty()) return UsageError(kSubmit, why);
    Credentials& account = options.credentials;
    if (const int status = account.Resolve(kSubmit, host, Credentials::Need::Required); status != kExitOk)
        return status;
    why = CheckText(options, account);
    if (!why.empty()) return UsageError(kSubmit, why);

    const char* name = BookmarkServices::Name(options.service);
    std::unique_ptr<ServiceSession> session = ServiceSession::Open(options.service, options.endpoint);
    const bool loggedIn = session->LogIn(account.Login(), account.Password());
    const bool saved = loggedIn && session->Submit(ToBookmark(options));
    if (options.log) session->WriteLog();
    if (saved) return kExitOk;
    return Failure(kSubmit, std::string(name) + (loggedIn ? ": the bookmark was not saved" : ": the login failed"));
}

} // namespace

} // namespace plentor::cli

// plentor submit-list: saves every page of URL lists and browser bookmark
// exports to one service, paced, with a journal that lets a rerun go on
// where a failed or interrupted run stopped.
#include "Command.h"

#include "Credentials.h"
#include "StandardIo.h"
#include "ServiceSession.h"
#include "SubmitJournal.h"
#include "SubmitProgress.h"

#include "log/Logger.h"
#include "platform/CommandLine.h"
#include "platform/InterruptFlag.h"
#include "platform/Terminal.h"
#include "services/BookmarkFile.h"
#include "services/BookmarkService.h"
#include "services/ClsStringArray.h"
#include "services/DeliciousClient.h"
#include "services/Sleeper.h"
#include "text/AsciiChars.h"
#include "text/StringBuffer.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace plentor::cli {

namespace {

int RunSubmitList(const std::vector<std::string>& args);

const Command kSubmitList = {
    "submit-list",
    "submit-list SERVICE FILE... [--pace SECONDS] [--journal FILE] [--dry-run] " PLENTOR_CREDENTIAL_SYNOPSIS
    " [--category C] [--tag TAG] [--endpoint BASE]",
    "save every page of URL lists or browser bookmark exports to a service",
    "Saves the pages of the FILEs to SERVICE one after the other, as plentor\n"
    "submit saves one. A FILE is a URL list (one URL a line) or a bookmark file\n"
    "exported from a browser; which one is told by its content. A page's title,\n"
    "description and tags come from the export when it gives them, and from the\n"
    "page otherwise (its title, description meta tag and suggested tags); a page\n"
    "that cannot be fetched keeps what the export gives, and fails when that has\n"
    "no title. The export's TAGS become the tags; folder names do not. Entries\n"
    "that are not http, https or ftp addresses (browser queries, bookmarklets)\n"
    "and repeats of an address are left out.\n"
    "\n"
    "Each URL the service took is added to a journal at once. A run with the\n"
    "same journal skips the URLs it holds, so a run that failed or was\n"
    "interrupted is simply run again. Ctrl-C lets the page in flight finish and\n"
    "be recorded, then stops; a second Ctrl-C stops at once.\n"
    "\n"
    "  --pace SECONDS        wait between two pages (default 3, 0 for no wait;\n"
    "                        fractions such as 0.5 are allowed)\n"
    "  --journal FILE        the journal (default: the first FILE with .done added)\n"
    "  --dry-run             list on standard output what would be submitted;\n"
    "                        nothing is sent, no page fetched, no account needed\n"
    PLENTOR_CREDENTIAL_HELP
    "  The netrc entry is the one of the service's host (of --endpoint when given).\n"
    "  --category C          quorlane: the category (required)\n"
    "  --tag TAG             quorlane: file every page under this single tag\n"
    "  --endpoint BASE       send the service's requests to BASE (scheme://host[:port])\n"
    "\n"
    "Progress goes to standard error: a bar on a terminal, else one line a page;\n"
    "a summary with the reason of each failure ends the run.\n"
    "\n"
    "Exit status: 0 when every page was saved (or saved before); 1 when a page\n"
    "failed, the login failed or the run was interrupted; 2 for bad arguments.\n",
    RunSubmitList,
};

const Command::Registrar kRegistrar(kSubmitList);

// The pace when --pace is not given.
constexpr long kDefaultPaceMs = 3000;
// --pace takes up to a day: anything longer is a typing error.
constexpr long kMaxPaceMs = 24L * 3600 * 1000;
// How often a wait between pages looks for Ctrl-C.
constexpr long kInterruptCheckMs = 100;

struct ListOptions {
    BookmarkService service = BookmarkService::Delicious;
    std::vector<std::string> files;
    Credentials credentials;
    std::string journal, category, tag, endpoint;
    long paceMs = kDefaultPaceMs;
    bool hasCategory = false, hasTag = false, dryRun = false;
};

// "3", "0.25": milliseconds in paceMs; false for anything else or too long a pace.
bool ParsePace(const std::string& text, long& paceMs)
{
    const size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    const auto digits = [](const std::string& s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (whole.empty() || whole.size() > 6 || fraction.size() > 3 || !digits(whole) || !digits(fraction) ||
        (dot != std::string::npos && fraction.empty()))
        return false;
    paceMs = std::stol(whole) * 1000 + (fraction.empty() ? 0 : std::stol((fraction + "00").substr(0, 3)));
    return paceMs <= kMaxPaceMs;
}

// Takes the flag at args[i] with its value; empty when well formed, else why not.
std::string TakeFlag(const std::vector<std::string>& args, size_t& i, ListOptions& options)
{
    const std::string& arg = args[i];
    if (arg == "--dry-run") {
        options.dryRun = true;
        return std::string();
    }
    std::string why;
    if (options.credentials.Take(args, i, why)) return why;
    struct ValueFlag {
        const char* name;
        std::string ListOptions::*value;
        bool ListOptions::*seen;
    };
    static constexpr ValueFlag kValueFlags[] = {
        {"--journal", &ListOptions::journal, nullptr}, {"--category", &ListOptions::category, &ListOptions::hasCategory},
        {"--tag", &ListOptions::tag, &ListOptions::hasTag}, {"--endpoint", &ListOptions::endpoint, nullptr},
        {"--pace", nullptr, nullptr},
    };
    for (const ValueFlag& flag : kValueFlags) {
        if (arg != flag.name) continue;
        if (i + 1 >= args.size()) return arg + " needs a value";
        const std::string& value = args[++i];
        if (flag.value == nullptr)
            return ParsePace(value, options.paceMs) ? std::string() : "--pace wants seconds (such as 3 or 0.5), not " + value;
        options.*(flag.value) = value;
        if (flag.seen != nullptr) options.*(flag.seen) = true;
        return std::string();
    }
    return "unknown option " + arg;
}

// Empty when the arguments make one run, else why not.
std::string ParseArgs(const std::vector<std::string>& args, ListOptions& options)
{
    if (args.empty() || args[0].empty() || args[0][0] == '-') return "SERVICE is missing";
    if (!BookmarkServices::FromName(args[0].c_str(), options.service)) return "unknown service " + args[0];
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 1 && arg[0] == '-') {
            const std::string why = TakeFlag(args, i, options);
            if (!why.empty()) return why;
        } else {
            options.files.push_back(arg);
        }
    }
    if (options.files.empty()) return "FILE is missing";
    const bool quorlane = options.service == BookmarkService::Quorlane;
    if (!quorlane && (options.hasCategory || options.hasTag)) return "--category and --tag are for quorlane";
    if (quorlane && !options.hasCategory) return "--category is required for quorlane";
    if (options.journal.empty()) options.journal = options.files.front() + ".done";
    return std::string();
}

// One page to save, with the values its input gave (empty: not given).
struct Page {
    std::string url, title, extended, tags;
};

// The pages of the inputs still to save, and what was left out.
struct WorkList {
    std::vector<Page> pages;
    size_t skipped = 0;    // saved before: in the journal
    size_t notWeb = 0;     // not an http, https or ftp address
    size_t repeated = 0;   // an address given before
};

bool IsWebAddress(std::string_view url)
{
    for (std::string_view scheme : {"http://", "https://", "ftp://"})
        if (AsciiChars::StartsWithNoCase(url, scheme)) return true;
    return false;
}

std::string JoinTags(const std::vector<std::string>& tags)
{
    std::string joined;
    for (const std::string& tag : tags) joined += (joined.empty() ? "" : ",") + tag;
    return joined;
}

// The pages of one input file; false, with why set, when it cannot be read.
bool ReadPages(const std::string& file, std::vector<Page>& pages, std::string& why)
{
    std::vector<uint8_t> bytes;
    std::string reason;
    if (IsStandardInput(file) || !ReadInput(file, BookmarkFile::kMaxFileBytes, bytes, reason)) {
        why = "cannot read " + file + (reason.empty() ? std::string() : ": " + reason);
        return false;
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (BookmarkFile::IsBookmarkFile(text)) {
        BookmarkFile exported;
        exported.Load(text);
        for (const BookmarkFile::Entry& e : exported.Entries())
            pages.push_back({e.url, e.title, e.description, JoinTags(e.tags)});
        return true;
    }
    ClsStringArray list;
    list.SetTrim(true);
    Logger log;
    if (!list.LoadFromFile(platform::FileNameFromUtf8(file).c_str(), log)) {
        why = "cannot read " + file;
        return false;
    }
    StringBuffer url;
    for (int i = 0; i < list.Count(); ++i) {
        list.GetString(i, url);
        pages.push_back({url.ToStdString(), "", "", ""});
    }
    return true;
}

// The pages of every input, less those left out or saved before.
bool BuildWorkList(const ListOptions& options, const SubmitJournal& journal, WorkList& work, std::string& why)
{
    std::vector<Page> all;
    for (const std::string& file : options.files)
        if (!ReadPages(file, all, why)) return false;
    std::unordered_set<std::string> seen;
    for (Page& page : all) {
        if (!IsWebAddress(page.url))
            ++work.notWeb;
        else if (!seen.insert(page.url).second)
            ++work.repeated;
        else if (journal.Has(page.url))
            ++work.skipped;
        else
            work.pages.push_back(std::move(page));
    }
    return true;
}

// The values the service's requests carry that come from the page when the input lacks them.
unsigned PageFields(const ListOptions& options)
{
    // Furl's client reads the page's title itself when none is given.
    if (options.service == BookmarkService::Furl) return 0;
    unsigned fields = ServiceSession::AcceptedFields(options.service) & (kTitle | kExtended | kTags);
    return options.hasTag ? fields & ~kTags : fields;
}

unsigned MissingFields(const Page& page, unsigned wanted)
{
    unsigned missing = 0;
    if (page.title.empty()) missing |= kTitle;
    if (page.extended.empty()) missing |= kExtended;
    if (page.tags.empty()) missing |= kTags;
    return missing & wanted;
}

// "  left out: ..." when the inputs held entries that are not submitted, else "".
std::string LeftOut(const WorkList& work)
{
    if (work.notWeb + work.repeated == 0) return std::string();
    return "  left out: " + std::to_string(work.notWeb) + " not http, https or ftp, " + std::to_string(work.repeated) +
           " repeated\n";
}

// --- the dry run

void PrintValue(const char* key, const std::string& value, bool fromPage)
{
    const std::string line = std::string("  ") + key + ": " + (fromPage ? "(from the page)" : value) + "\n";
    WriteOutput(line);
}

int DryRun(const ListOptions& options, const WorkList& work)
{
    // Every value the service takes and the input lacks comes from the page
    // (furl's from its own client).
    const unsigned wanted = ServiceSession::AcceptedFields(options.service);
    for (const Page& page : work.pages) {
        const unsigned missing = MissingFields(page, wanted);
        WriteOutput(page.url);
        std::fputc('\n', stdout);
        if ((wanted & kTitle) != 0) PrintValue("title", page.title, (missing & kTitle) != 0);
        if ((wanted & kExtended) != 0) PrintValue("extended", page.extended, (missing & kExtended) != 0);
        if ((wanted & kTags) != 0 && !options.hasTag) PrintValue("tags", page.tags, (missing & kTags) != 0);
    }
    std::fflush(stdout);
    const std::string summary = "plentor submit-list: dry run: " + std::to_string(work.pages.size()) +
                                " to submit, " + std::to_string(work.skipped) + " saved before (in " +
                                options.journal + "); nothing was sent\n" + LeftOut(work);
    WriteMessage(summary);
    return kExitOk;
}

// --- the run

// What the run came to.
struct Tally {
    size_t saved = 0;
    std::vector<std::pair<std::string, std::string>> failures;   // URL, reason
    const char* stop = nullptr;   // why the run stopped early: "interrupted", ...
    size_t notTried = 0;          // the pages after the stop
};

// Everything one page needs: the service, the page fetcher, the journal.
class ListRun {
public:
    ListRun(const ListOptions& options, ServiceSession& session, SubmitJournal& journal)
        : options_(options), session_(session), journal_(journal), fromPage_(PageFields(options))
    {
    }

    // Saves one page; empty when it was saved and recorded, else why not.
    std::string Save(Page page);

    // Whether a saved page could not be recorded: the run must stop, or a
    // rerun would submit the pages again.
    bool JournalFailed() const { return journalFailed_; }

private:
    bool FillFromPage(Page& page, unsigned missing);
    std::string Unfit(const Page& page) const;

    const ListOptions& options_;
    ServiceSession& session_;
    SubmitJournal& journal_;
    unsigned fromPage_;
    bool journalFailed_ = false;
    DeliciousClient pageInfo_;   // FetchPageInfo: title, description and suggested tags of a page
};

bool ListRun::FillFromPage(Page& page, unsigned missing)
{
    StringBuffer title, extended, tags;
    const bool fetched = pageInfo_.FetchPageInfo(page.url.c_str(), title, extended, tags);
    pageInfo_.Links().Clear();   // the same-site links are not wanted here
    if (!fetched) return false;
    if ((missing & kTitle) != 0) page.title = title.ToStdString();
    if ((missing & kExtended) != 0) page.extended = extended.ToStdString();
    if ((missing & kTags) != 0) page.tags = tags.ToStdString();
    return true;
}

std::string ListRun::Unfit(const Page& page) const
{
    const std::pair<const char*, const std::string*> values[] = {
        {"the address", &page.url}, {"the title", &page.title}, {"the description", &page.extended},
        {"the tags", &page.tags}};
    for (const auto& [name, value] : values)
        if (!ServiceSession::Fits(options_.service, *value)) return std::string(name) + " does not fit the active code page";
    return std::string();
}

std::string ListRun::Save(Page page)
{
    const unsigned missing = MissingFields(page, fromPage_);
    if (missing != 0 && !FillFromPage(page, missing) && page.title.empty())
        return "the page could not be fetched for its title";
    if (const std::string why = Unfit(page); !why.empty()) return why;
    BookmarkValues bookmark{page.url, page.title, page.extended, page.tags, options_.category, options_.tag};
    bookmark.titled = !page.title.empty();
    bookmark.oneTag = options_.hasTag;
    if (!session_.Submit(bookmark)) return "the service did not save it";
    std::string why;
    journalFailed_ = !journal_.Record(page.url, why);
    return why;
}

// Waits the pace in short steps; false when Ctrl-C came first.
bool WaitPace(long paceMs, const platform::InterruptFlag& interrupt)
{
    Logger log;
    for (long left = paceMs; left > 0 && !interrupt.Raised(); left -= kInterruptCheckMs)
        Sleeper::SleepMs(std::min(left, kInterruptCheckMs), log);
    return !interrupt.Raised();
}

Tally SaveAll(const ListOptions& options, const WorkList& work, ListRun& run)
{
    Tally tally;
    platform::InterruptFlag interrupt;
    SubmitProgress progress(work.pages.size(), options.paceMs,
                            platform::IsTerminal(stderr) ? SubmitProgress::Style::Bar : SubmitProgress::Style::Lines);
    progress.Start();
    for (size_t i = 0; i < work.pages.size(); ++i) {
        if ((i > 0 && !WaitPace(options.paceMs, interrupt)) || interrupt.Raised()) tally.stop = "interrupted";
        if (run.JournalFailed()) tally.stop = "stopped, as the journal cannot be written";
        if (tally.stop != nullptr) {
            tally.notTried = work.pages.size() - i;
            break;
        }
        const std::string why = run.Save(work.pages[i]);
        if (why.empty())
            ++tally.saved;
        else
            tally.failures.emplace_back(work.pages[i].url, why);
        progress.PageDone(work.pages[i].url, why);
    }
    progress.Finish();
    return tally;
}

void PrintSummary(const ListOptions& options, const WorkList& work, const Tally& tally)
{
    std::string text = "plentor submit-list: " + std::to_string(tally.saved) + " saved, " +
                       std::to_string(work.skipped) + " skipped (saved before, in " + options.journal + "), " +
                       std::to_string(tally.failures.size()) + " failed\n";
    for (const auto& [url, why] : tally.failures) text += "  failed " + url + ": " + why + "\n";
    text += LeftOut(work);
    if (tally.stop != nullptr)
        text += std::string("  ") + tally.stop + ": " + std::to_string(tally.notTried) +
                " not submitted; run the same command to go on\n";
    WriteMessage(text);
}

int RunSubmitList(const std::vector<std::string>& args)
{
    ListOptions options;
    std::string why = ParseArgs(args, options);
    std::string host;
    if (why.empty()) why = ServiceSession::FindHost(options.service, options.endpoint, host);
    if (!why.empty()) return UsageError(kSubmitList, why);

    SubmitJournal journal(options.journal);
    WorkList work;
    if (!journal.Load(why) || !BuildWorkList(options, journal, work, why)) return Failure(kSubmitList, why);
    if (options.dryRun) return DryRun(options, work);
    Tally tally;
    if (!work.pages.empty()) {
        Credentials& account = options.credentials;
        if (const int status = account.Resolve(kSubmitList, host, Credentials::Need::Required); status != kExitOk)
            return status;
        std::unique_ptr<ServiceSession> session = ServiceSession::Open(options.service, options.endpoint);
        if (!session->LogIn(account.Login(), account.Password()))
            return Failure(kSubmitList, std::string(BookmarkServices::Name(options.service)) + ": the login failed");
        ListRun run(options, *session, journal);
        tally = SaveAll(options, work, run);
    }
    PrintSummary(options, work, tally);
    return tally.failures.empty() && tally.stop == nullptr ? kExitOk : kExitFailure;
}

} // namespace

} // namespace plentor::cli

// Page info over growing pages: everything a page fetch does once the page
// has arrived (title and description readers, tag suggestion with the
// client's stop list, collection of the page's same-site links) on a 1 MB
// and a 10 MB page. The bytes-per-second figure staying level from 1 MB to
// 10 MB shows the work grows linearly with the page; ms_per_mb gives the
// same per megabyte.
//
// Memory: peak_x_page is the peak resident memory of one page-info pass,
// the page itself included, divided by the page size (extra_x_page leaves
// the page out). The process peak only ever grows, and heap memory freed
// by an earlier run would be reused without showing, so the pass runs in a
// child process that first hands its free heap back to the system and
// resets its peak: its growth is this page's alone, whatever ran before.
#include "markup/HtmlHelp.h"
#include "services/ClsHtmlUtil.h"
#include "services/ClsStringArray.h"
#include "services/DeliciousClient.h"
#include "services/KeywordExtractor.h"
#include "text/StringBuffer.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <string>

namespace plentor {
namespace {

constexpr const char* kPageUrl = "http://www.garden.example/dir/page.html";

// A page of paragraphs, headings, lists, scripts and links (a third of them
// to the page's own site, some repeated), with a growing vocabulary.
std::string Page(size_t bytes)
{
    static const char* const kWords[] = {
        "the", "garden", "and", "Compost", "of", "worms", "soil.", "heap,", "kitchen", "scraps", "to", "in",
        "coffee", "grounds", "leaves", "(grass)", "water", "&amp;", "a", "is", "&quot;rich&quot;", "every",
        "weeks", "2006", "it's", "--", "Caf\xC3\xA9",
    };
    std::string html =
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
        "<title>Winter  Gardening -\n Roses</title>\n"
        "<meta name=\"description\" content=\"How to keep roses alive through a hard winter.\">\n"
        "<meta name=\"keywords\" content=\"roses, gardening, frost\">\n</head><body>\n";
    html.reserve(bytes + 256);
    uint32_t seed = 12345;
    for (size_t block = 1; html.size() < bytes; ++block) {
        html += block % 5 == 0 ? "<h2>" : "<p>";
        for (int i = 0; i < 40; ++i) {
            seed = seed * 1103515245u + 12345u;
            if (i % 9 == 0) {
                html += "word";
                html += static_cast<char>('a' + (seed >> 20) % 26);
                html += static_cast<char>('a' + (seed >> 12) % 26);
                html += static_cast<char>('a' + (seed >> 4) % 26);
            } else {
                html += kWords[(seed >> 16) % std::size(kWords)];
            }
            html += ' ';
        }
        html += block % 5 == 0 ? "</h2>\n" : "</p>\n";
        html += "<ul><li><a href=\"/section/" + std::to_string(block % 1000) + ".html\">more</a></li>"
                "<li><a href=\"http://other.example/" + std::to_string(block) + "\">elsewhere</a></li>"
                "<li><a href=\"#note" + std::to_string(block) + "\">note</a></li></ul>\n";
        if (block % 20 == 0)
            html += "<script>var hidden = 'javascript text never counts';</script>\n";
    }
    html += "</body></html>\n";
    return html;
}

// One page-info pass; gives the number of same-site links found.
int PageInfo(const std::string& html, const DeliciousClient& client, StringBuffer& tags)
{
    StringBuffer title, extended;
    HtmlHelp::GetTitle(html, title);
    DeliciousClient::TidyTitle(title, DeliciousClient::TitleStyle::AsWritten);
    HtmlHelp::GetMetaContent(html, "description", extended);
    KeywordExtractor::SuggestTagsFromHtml(html, client.StopList(), DeliciousClient::kMaxTags, tags);
    ClsStringArray list;
    list.SetUnique(true);
    ClsHtmlUtil::ExtractPageLinks(kPageUrl, html, list, "garden.example");
    benchmark::DoNotOptimize(tags.GetString());
    return list.Count();
}

long PeakKilobytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Peak resident growth, in bytes, of one pass in a child process; -1 when
// the child could not run.
double PassGrowthBytes(const std::string& html, const DeliciousClient& client)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        ::malloc_trim(0);
        // "5" resets the peak to what is resident now.
        const int refs = ::open("/proc/self/clear_refs", O_WRONLY);
        const bool reset = refs >= 0 && ::write(refs, "5", 1) == 1;
        if (refs >= 0)
            ::close(refs);
        const long before = PeakKilobytes();
        StringBuffer tags;
        PageInfo(html, client, tags);
        const double growth = reset ? static_cast<double>(PeakKilobytes() - before) * 1024 : -1;
        const bool sent = ::write(pipeEnds[1], &growth, sizeof growth) == static_cast<ssize_t>(sizeof growth);
        ::_exit(sent ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    double growth = -1;
    if (child < 0 || ::read(pipeEnds[0], &growth, sizeof growth) != static_cast<ssize_t>(sizeof growth))
        growth = -1;
    ::close(pipeEnds[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return growth;
}

void BM_PageInfo(benchmark::State& state)
{
    const std::string html = Page(static_cast<size_t>(state.range(0)));
    const DeliciousClient client;   // for its stop list
    StringBuffer tags;
    int links = 0;
    // Processor time, as the benchmark's own figure: on a shared machine the
    // wall clock counts other programs' turns too.
    const std::clock_t start = std::clock();
    for (auto _ : state)
        links = PageInfo(html, client, tags);
    const double spentMs = static_cast<double>(std::clock() - start) * 1000 / CLOCKS_PER_SEC;
    state.counters["links"] = links;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(html.size()));
    const double megabytes = static_cast<double>(html.size()) / (1 << 20);
    state.counters["ms_per_mb"] = spentMs / (static_cast<double>(state.iterations()) * megabytes);
    const double growth = PassGrowthBytes(html, client);
    if (growth >= 0) {
        const double page = static_cast<double>(html.size());
        state.counters["extra_x_page"] = growth / page;
        state.counters["peak_x_page"] = (growth + page) / page;
    }
}
BENCHMARK(BM_PageInfo)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace plentor

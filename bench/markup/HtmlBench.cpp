// Reading a page's title, meta tags and anchors at two sizes: equal bytes
// per second at both sizes shows that the work grows linearly with the page.
#include "markup/Html.h"
#include "markup/HtmlHelp.h"
#include "text/StringBuffer.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace plentor {
namespace {

constexpr int64_t kMiB = 1024 * 1024;

// A long page: paragraphs with anchors; the meta tags and the title come
// last, so every reader scans the whole page.
std::string Page(int64_t size)
{
    std::string html = "<html><head></head><body>\n";
    for (int i = 0; html.size() < static_cast<size_t>(size); ++i) {
        const std::string n = std::to_string(i);
        html += "<p class=\"text\">Paragraph " + n + " with <b>bold</b> words and a "
                "<a href=\"http://example.com/page/" + n + "\" title='Page " + n + "'>link</a>, "
                "<A HREF=/upper/" + n + ">another</A> and an <img src=\"i" + n + ".png\" alt=\"\" />.</p>\n";
    }
    return html + "<meta name=\"description\" content=\"The end\"><title>Last</title></body></html>";
}

// The worst case for quoted stretches: every anchor opens a quote that no
// later quote closes in step.
std::string UnbalancedPage(int64_t size)
{
    std::string html;
    while (html.size() < static_cast<size_t>(size))
        html += "<a title=\"open> text <meta name=\"x ";
    return html;
}

void BM_HtmlTitle(benchmark::State& state)
{
    const std::string page = Page(state.range(0) * kMiB);
    for (auto _ : state) {
        StringBuffer title;
        HtmlHelp::GetTitle(page, title);
        benchmark::DoNotOptimize(title.GetLength());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}

void BM_HtmlMetaContent(benchmark::State& state)
{
    const std::string page = Page(state.range(0) * kMiB);
    for (auto _ : state) {
        StringBuffer content;
        HtmlHelp::GetMetaContent(page, "description", content);
        benchmark::DoNotOptimize(content.GetLength());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}

void BenchLinks(benchmark::State& state, const std::string& page)
{
    for (auto _ : state) {
        Html html;
        html.SetHtml(page);
        std::vector<StringBuffer> links;
        html.GetLinks(links);
        benchmark::DoNotOptimize(links.size());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}

void BM_HtmlLinks(benchmark::State& state) { BenchLinks(state, Page(state.range(0) * kMiB)); }
void BM_HtmlLinksUnbalancedQuotes(benchmark::State& state) { BenchLinks(state, UnbalancedPage(state.range(0) * kMiB)); }

void BM_HtmlMetaUnbalancedQuotes(benchmark::State& state)
{
    const std::string page = UnbalancedPage(state.range(0) * kMiB);
    for (auto _ : state) {
        StringBuffer content;
        HtmlHelp::GetMetaContent(page, "description", content);
        benchmark::DoNotOptimize(content.GetLength());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}

BENCHMARK(BM_HtmlTitle)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlMetaContent)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlLinks)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlLinksUnbalancedQuotes)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlMetaUnbalancedQuotes)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace plentor

// HTML to XML conversion over two real manuals (every page of Debian's
// python3-doc and apache2-doc packages), converted page by page, side by
// side with libxml2's HTML parser in the same run: htmlReadMemory to parse
// and xmlDocDumpMemory to write, the same two steps ToXml takes. The
// "Plentor" benchmark carries the counter x_libxml2: libxml2's time divided
// by ours for the whole corpus (best of several runs each, in processor
// time), so a value above 1 means we are faster.
#include "markup/ClsHtmlToXml.h"
#include "text/StringBuffer.h"

#include <benchmark/benchmark.h>
#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace plentor {
namespace {

namespace fs = std::filesystem;

const char* const kCorpusRoots[] = {
    "/usr/share/doc/python3-doc/html",
    "/usr/share/doc/apache2-doc/manual",
};

// Runs of each side when timing them against each other.
constexpr int kHeadToHeadRuns = 3;

struct Corpus {
    std::vector<std::string> pages;
    int64_t bytes = 0;
};

const Corpus& Pages()
{
    static const Corpus corpus = [] {
        std::vector<fs::path> files;
        for (const char* root : kCorpusRoots) {
            std::error_code ec;
            fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink, ec);
            for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
                if (it->path().extension() == ".html" && it->is_regular_file(ec))
                    files.push_back(it->path());
        }
        std::sort(files.begin(), files.end());
        Corpus c;
        for (const fs::path& f : files) {
            std::ifstream in(f, std::ios::binary);
            c.pages.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            c.bytes += static_cast<int64_t>(c.pages.back().size());
        }
        return c;
    }();
    return corpus;
}

// Bytes of XML written for the whole corpus.
size_t PlentorPass(const Corpus& corpus)
{
    size_t out = 0;
    ClsHtmlToXml converter;
    StringBuffer xml;
    for (const std::string& page : corpus.pages) {
        converter.SetHtml(page);
        converter.ToXml(xml);
        out += static_cast<size_t>(xml.GetLength());
    }
    return out;
}

size_t Libxml2Pass(const Corpus& corpus)
{
    size_t out = 0;
    constexpr int kOptions = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;
    for (const std::string& page : corpus.pages) {
        htmlDocPtr doc = htmlReadMemory(page.data(), static_cast<int>(page.size()), nullptr, nullptr, kOptions);
        if (!doc)
            continue;
        xmlChar* mem = nullptr;
        int size = 0;
        xmlDocDumpMemory(doc, &mem, &size);
        out += static_cast<size_t>(size);
        xmlFree(mem);
        xmlFreeDoc(doc);
    }
    return out;
}

// Processor time rather than wall time: the comparison should not depend on
// what else the machine is doing.
template <typename F>
double BestSeconds(F&& run)
{
    double best = 1e9;
    for (int i = 0; i < kHeadToHeadRuns; ++i) {
        std::clock_t start = std::clock();
        benchmark::DoNotOptimize(run());
        best = std::min(best, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
    }
    return best;
}

bool CorpusMissing(benchmark::State& state)
{
    if (!Pages().pages.empty())
        return false;
    state.SkipWithError("no pages under /usr/share/doc/python3-doc/html or /usr/share/doc/apache2-doc/manual "
                        "(install python3-doc and apache2-doc)");
    return true;
}

void BM_HtmlToXml_Plentor(benchmark::State& state)
{
    if (CorpusMissing(state))
        return;
    const Corpus& corpus = Pages();
    const double ratio = BestSeconds([&] { return Libxml2Pass(corpus); }) /
                         BestSeconds([&] { return PlentorPass(corpus); });
    for (auto _ : state)
        benchmark::DoNotOptimize(PlentorPass(corpus));
    state.SetBytesProcessed(state.iterations() * corpus.bytes);
    state.counters["x_libxml2"] = ratio;
    state.counters["pages"] = static_cast<double>(corpus.pages.size());
}

void BM_HtmlToXml_Libxml2(benchmark::State& state)
{
    if (CorpusMissing(state))
        return;
    const Corpus& corpus = Pages();
    for (auto _ : state)
        benchmark::DoNotOptimize(Libxml2Pass(corpus));
    state.SetBytesProcessed(state.iterations() * corpus.bytes);
}

BENCHMARK(BM_HtmlToXml_Plentor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlToXml_Libxml2)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace plentor

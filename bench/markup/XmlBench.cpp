// Parsing and writing XML at two sizes: equal bytes per second at both
// sizes shows that the work grows linearly with the input.
#include "base/LogNull.h"
#include "markup/ClsXml.h"
#include "markup/TreeNode.h"
#include "markup/XmlParser.h"
#include "text/StringBuffer.h"

#include <benchmark/benchmark.h>

#include <string>

namespace plentor {
namespace {

constexpr int64_t kMiB = 1024 * 1024;

// Records with attributes, entities, mixed text and a little nesting.
std::string RecordsDocument(int64_t size)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<catalog>\n";
    for (int i = 0; xml.size() < static_cast<size_t>(size); ++i) {
        const std::string n = std::to_string(i);
        xml += "  <item id=\"" + n + "\" kind='book' note=\"a &amp; b\">\n"
               "    <title>Title number " + n + " &lt;draft&gt;</title>\n"
               "    <price currency=\"EUR\">" + n + ".50</price>\n"
               "    text before <br/> and after the break\n"
               "    <![CDATA[raw <data> " + n + "]]>\n"
               "  </item>\n";
    }
    return xml + "</catalog>\n";
}

// One element holding every text run and child: content and child list of
// a single node grow with the input.
std::string FlatDocument(int64_t size)
{
    std::string xml = "<flat>";
    while (xml.size() < static_cast<size_t>(size))
        xml += "run of text &amp; more<c/>";
    return xml + "</flat>";
}

void BenchParse(benchmark::State& state, std::string (*make)(int64_t))
{
    const std::string xml = make(state.range(0) * kMiB);
    LogNull log;
    for (auto _ : state) {
        TreeNodePtr root = XmlParser::Parse(xml, XmlParser::Options(), log);
        benchmark::DoNotOptimize(root.get());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(xml.size()));
}

void BM_XmlParseRecords(benchmark::State& state) { BenchParse(state, RecordsDocument); }
void BM_XmlParseFlat(benchmark::State& state) { BenchParse(state, FlatDocument); }

// Load through the facade and write the document back.
void BM_XmlLoadAndWriteRecords(benchmark::State& state)
{
    const std::string xml = RecordsDocument(state.range(0) * kMiB);
    for (auto _ : state) {
        ClsXml doc;
        doc.LoadXml(xml.c_str());
        StringBuffer out;
        doc.GetXmlText(out);
        benchmark::DoNotOptimize(out.GetLength());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(xml.size()));
}

BENCHMARK(BM_XmlParseRecords)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmlParseFlat)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmlLoadAndWriteRecords)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace plentor

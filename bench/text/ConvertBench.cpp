// Charset conversion throughput, side by side with the C library's iconv on
// the same input in the same run. Each "Plentor" benchmark also carries the
// counter x_iconv: iconv's time divided by ours for one whole conversion
// (best of several runs each, in processor time), so a value above 1 means we are faster.
// The inputs are generated prose (Latin, Japanese) and, for mostly-ASCII
// text, English HTML pages from Debian's python3-doc package (those cases are
// left out when it is not installed).
#include "base/LogNull.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"

#include <benchmark/benchmark.h>
#include <iconv.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace plentor {
namespace {

constexpr size_t kTextBytes = 4 * 1024 * 1024;
// Runs of each converter when timing them against each other.
constexpr int kHeadToHeadRuns = 5;

// Western European prose: mostly ASCII with accented letters, typographic
// quotes, dashes and the euro sign (all in windows-1252).
std::string LatinProse()
{
    static const char* const kWords[] = {
        "the", "café", "naïve", "über", "straße", "déjà", "vu", "€12,50", "“quoted”", "—", "résumé", "of",
        "and", "Ærø", "piñata", "façade", "coöperate", "Zürich", "a", "in", "œuvre", "señor", "‘single’",
        "…", "to", "élan", "Göteborg", "is", "was", "très", "bien", "königlich", "ångström", "for",
    };
    std::string text;
    text.reserve(kTextBytes + 64);
    unsigned seed = 12345;
    for (size_t words = 1; text.size() < kTextBytes; ++words) {
        seed = seed * 1103515245u + 12345u;
        text += kWords[(seed >> 16) % std::size(kWords)];
        text += words % 17 == 0 ? ".\n" : " ";
    }
    return text;
}

// Japanese prose: kanji, hiragana and katakana with full-width punctuation,
// some ASCII words and digits, and a little half-width katakana.
std::string JapaneseProse()
{
    static const char* const kPhrases[] = {
        "日本語の文章は", "漢字と平仮名と片仮名で", "書かれています。", "東京都", "の天気は", "晴れのち曇り、",
        "コンピュータ", "ソフトウェア", "を使って", "データベース", "2024年", "12月", "に", "発表された",
        "新しい", "Webページ", "を保存する", "ことができます。", "ｶﾀｶﾅ", "「こんにちは」", "と言いました。",
        "経済", "政治", "文化", "技術", "について", "考える", " HTTP ", "サーバー",
    };
    std::string text;
    text.reserve(kTextBytes + 64);
    unsigned seed = 54321;
    for (size_t phrases = 1; text.size() < kTextBytes; ++phrases) {
        seed = seed * 1103515245u + 12345u;
        text += kPhrases[(seed >> 16) % std::size(kPhrases)];
        if (phrases % 12 == 0)
            text += "\n";
    }
    return text;
}

// The whole of in converted by iconv; exits on failure, which would make
// every figure meaningless. A target ending in //TRANSLIT writes what it
// lacks as a look-alike or '?'.
std::string IconvConvert(const char* to, const char* from, const std::string& in)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "iconv cannot convert %s to %s\n", from, to);
        std::exit(1);
    }
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
        std::fprintf(stderr, "iconv failed converting %s to %s\n", from, to);
        std::exit(1);
    }
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

// English HTML, mostly ASCII with a pilcrow after each heading and
// typographic punctuation: whole pages of the Python manual in name order
// until kTextBytes are read; empty when the manual is not installed.
std::string EnglishPages()
{
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it("/usr/share/doc/python3-doc/html", ec), end; !ec && it != end;
         it.increment(ec))
        if (it->path().extension() == ".html")
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    std::string text;
    for (size_t i = 0; i < files.size() && text.size() < kTextBytes; ++i) {
        std::ifstream in(files[i], std::ios::binary);
        text.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return text;
}

// utf8 with what windows-1252 or Shift_JIS lacks replaced, so that every
// direction converts the same page without errors.
std::string InBothCharsets(const std::string& utf8)
{
    std::string inShiftJis = IconvConvert("UTF-8", "CP932", IconvConvert("CP932//TRANSLIT", "UTF-8", utf8));
    return IconvConvert("UTF-8", "CP1252", IconvConvert("CP1252//TRANSLIT", "UTF-8", inShiftJis));
}

struct Case {
    const char* name;
    int fromCodePage;
    int toCodePage;
    const char* iconvFrom;
    const char* iconvTo;
    std::string input;
};

// The inputs, made once: text generated in UTF-8, other charsets by iconv.
const std::vector<Case>& Cases()
{
    static const std::vector<Case> cases = [] {
        const std::string latin = LatinProse();
        const std::string japanese = JapaneseProse();
        std::vector<Case> made{
            {"Utf8ToWindows1252", 65001, 1252, "UTF-8", "CP1252", latin},
            {"Windows1252ToUtf8", 1252, 65001, "CP1252", "UTF-8", IconvConvert("CP1252", "UTF-8", latin)},
            {"ShiftJisToUtf8", 932, 65001, "CP932", "UTF-8", IconvConvert("CP932", "UTF-8", japanese)},
            {"Utf8ToUtf16", 65001, 1200, "UTF-8", "UTF-16LE", japanese},
            {"Utf8ToShiftJis", 65001, 932, "UTF-8", "CP932", japanese},
        };
        const std::string pages = EnglishPages();
        if (pages.empty()) {
            std::fprintf(stderr, "python3-doc is not installed: no HTML cases\n");
            return made;
        }
        const std::string html = InBothCharsets(pages);
        made.insert(made.end(), {
            {"HtmlUtf8ToWindows1252", 65001, 1252, "UTF-8", "CP1252", html},
            {"HtmlWindows1252ToUtf8", 1252, 65001, "CP1252", "UTF-8", IconvConvert("CP1252", "UTF-8", html)},
            {"HtmlShiftJisToUtf8", 932, 65001, "CP932", "UTF-8", IconvConvert("CP932", "UTF-8", html)},
            {"HtmlUtf8ToUtf16", 65001, 1200, "UTF-8", "UTF-16LE", html},
            {"HtmlUtf8ToShiftJis", 65001, 932, "UTF-8", "CP932", html},
        });
        return made;
    }();
    return cases;
}

// One whole conversion by each side, reusing the output storage.
class Converters {
public:
    explicit Converters(const Case& c) : case_(c)
    {
        cd_ = iconv_open(c.iconvTo, c.iconvFrom);
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            std::fprintf(stderr, "iconv cannot convert %s to %s\n", c.iconvFrom, c.iconvTo);
            std::exit(1);
        }
        iconvOut_.resize(c.input.size() * 4 + 16);
    }
    ~Converters() { iconv_close(cd_); }
    Converters(const Converters&) = delete;
    Converters& operator=(const Converters&) = delete;

    size_t Plentor()
    {
        out_.Clear();
        convert_.Convert(case_.fromCodePage, case_.toCodePage, case_.input.data(),
                         static_cast<unsigned>(case_.input.size()), out_, log_);
        return out_.Size();
    }

    size_t Iconv()
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(case_.input.data());
        size_t srcLeft = case_.input.size();
        char* dst = iconvOut_.data();
        size_t dstLeft = iconvOut_.size();
        iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
        return iconvOut_.size() - dstLeft;
    }

private:
    const Case& case_;
    EncodingConvert convert_;
    LogNull log_;
    DataBuffer out_;
    iconv_t cd_;
    std::vector<char> iconvOut_;
};

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

void BM_Plentor(benchmark::State& state, size_t index)
{
    const Case& c = Cases()[index];
    Converters converters(c);
    // Both sides must agree before their speeds are worth comparing.
    if (converters.Plentor() != converters.Iconv()) {
        state.SkipWithError("output differs in length from iconv's");
        return;
    }
    double ratio = BestSeconds([&] { return converters.Iconv(); }) / BestSeconds([&] { return converters.Plentor(); });
    for (auto _ : state)
        benchmark::DoNotOptimize(converters.Plentor());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(c.input.size()));
    state.counters["x_iconv"] = ratio;
}

void BM_Iconv(benchmark::State& state, size_t index)
{
    const Case& c = Cases()[index];
    Converters converters(c);
    for (auto _ : state)
        benchmark::DoNotOptimize(converters.Iconv());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(c.input.size()));
}

const bool kRegistered = [] {
    for (size_t i = 0; i < Cases().size(); ++i) {
        const std::string name = std::string("BM_Convert/") + Cases()[i].name;
        benchmark::RegisterBenchmark((name + "/Plentor").c_str(), BM_Plentor, i)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((name + "/Iconv").c_str(), BM_Iconv, i)->Unit(benchmark::kMillisecond);
    }
    return true;
}();

} // namespace
} // namespace plentor

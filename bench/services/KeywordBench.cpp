// Tag suggestion over growing text: ExtractKeywords on 1 MB and 10 MB of
// English-like prose with the built-in stop list. The bytes-per-second figure
// staying level from 1 MB to 10 MB shows the work grows linearly with the text.
#include "services/KeywordExtractor.h"
#include "services/StopWords.h"
#include "services/WordList.h"
#include "text/StringBuffer.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace plentor {
namespace {

// Prose with stop words, punctuation, a boilerplate line now and then and
// a vocabulary that keeps growing, so the word list grows with the text.
std::string Prose(size_t bytes)
{
    static const char* const kWords[] = {
        "the", "garden", "and", "Compost", "of", "worms", "soil.", "heap,", "kitchen", "scraps", "to", "in",
        "coffee", "grounds", "leaves", "(grass)", "water", "air", "a", "is", "\"rich\"", "every", "weeks",
        "https://example.org/page", "2006", "it's", "--", "...", "mail@example.org", "Caf\xC3\xA9",
    };
    std::string text;
    text.reserve(bytes + 64);
    uint32_t seed = 12345;
    for (size_t words = 1; text.size() < bytes; ++words) {
        seed = seed * 1103515245u + 12345u;
        if (words % 7 == 0) {
            text += "word";
            text += std::to_string((seed >> 8) % 50000);   // digits: skipped, but read
            text += 'x';
            text += static_cast<char>('a' + (seed >> 20) % 26);
            text += static_cast<char>('a' + (seed >> 12) % 26);
        } else {
            text += kWords[(seed >> 16) % std::size(kWords)];
        }
        text += words % 400 == 0 ? " All rights reserved. Privacy policy.\n" : " ";
    }
    return text;
}

const WordList& StopList()
{
    static const WordList list = [] {
        WordList l;
        StopWords().AddTo(l);
        return l;
    }();
    return list;
}

void BM_ExtractKeywords(benchmark::State& state)
{
    const std::string text = Prose(static_cast<size_t>(state.range(0)));
    StringBuffer tags;
    for (auto _ : state) {
        KeywordExtractor::ExtractKeywords("utf-8", text, StopList(), 10, tags);
        benchmark::DoNotOptimize(tags.GetString());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ExtractKeywords)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace plentor

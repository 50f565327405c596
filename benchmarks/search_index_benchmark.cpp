// The library search on its own, for a large library in plain ASCII and the same library with
// words in other scripts: making its index (done on a worker thread at start) and one query
// looked through the whole library, in ASCII and beyond it.

#include "GeneratedLibrary.h"
#include "Models/ShortcutSearchIndex.h"

#include <benchmark/benchmark.h>

namespace {

const QList<Shortcut>& library(GeneratedLibrary::Words words)
{
    static const QList<Shortcut> ascii = GeneratedLibrary::generate(50000, GeneratedLibrary::Words::ascii).shortcuts;
    static const QList<Shortcut> mixed = GeneratedLibrary::generate(50000, GeneratedLibrary::Words::mixed).shortcuts;
    return words == GeneratedLibrary::Words::ascii ? ascii : mixed;
}

GeneratedLibrary::Words wordsOf(const benchmark::State& state)
{
    return state.range(0) == 0 ? GeneratedLibrary::Words::ascii : GeneratedLibrary::Words::mixed;
}

void makeIndex(benchmark::State& state)
{
    const QList<Shortcut>& shortcuts = library(wordsOf(state));
    for (auto _ : state) {
        ShortcutSearchIndex index;
        index.prepare(shortcuts);
        // Answered by the index once made, without looking through it.
        benchmark::DoNotOptimize(index.matching(shortcuts, QString()).size());
    }
}
BENCHMARK(makeIndex)->ArgName("mixed")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// One query through every shortcut, the index already made.
void search(benchmark::State& state, const QString& query)
{
    const QList<Shortcut>& shortcuts = library(wordsOf(state));
    for (auto _ : state) {
        state.PauseTiming();
        ShortcutSearchIndex index;
        index.matching(shortcuts, QString());
        state.ResumeTiming();
        benchmark::DoNotOptimize(index.matching(shortcuts, query).size());
    }
}
BENCHMARK_CAPTURE(search, i, QStringLiteral("i"))
    ->ArgName("mixed")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(search, invoice, QStringLiteral("invoice"))
    ->ArgName("mixed")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(search, accent, QStringLiteral("\u00e9"))->ArgName("mixed")->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(search, greek, QStringLiteral("\u03ba\u03b1\u03bb"))
    ->ArgName("mixed")
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(search, angstrom, QStringLiteral("\u00e5ngs"))
    ->ArgName("mixed")
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();

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
} // namespace

int main(int argc, char** argv)
{
    // Queries typed in ASCII are measured in both libraries, the others only where they occur.
    const struct {
        const char* name;
        QString query;
        bool ascii;
    } queries[] = {{"search/i", QStringLiteral("i"), true}, {"search/invoice", QStringLiteral("invoice"), true},
        {"search/accent", QStringLiteral("\u00e9"), false},
        {"search/greek", QStringLiteral("\u03ba\u03b1\u03bb"), false},
        {"search/angstrom", QStringLiteral("\u00e5ngs"), false}};
    for (const auto& query : queries) {
        benchmark::internal::Benchmark* measured = benchmark::RegisterBenchmark(query.name, search, query.query);
        measured->ArgName("mixed")->Unit(benchmark::kMillisecond)->UseRealTime();
        if (query.ascii)
            measured->Arg(0);
        measured->Arg(1);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

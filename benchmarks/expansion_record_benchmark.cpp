// What the application does with each expansion once the field shows it (statistics,
// achievements, the statistics save) must cost the same whatever the library's size: the
// engine reports which shortcut it expanded, so nothing looks through the library. The
// trigger-only form, which has to find the shortcut first, is measured beside it, and so is a
// user who has used every shortcut: the statistics before each change are kept to put back and
// the save holds its own, yet an expansion copies only the small part of the per-shortcut
// counts it changes, not all of them.
// Run from a Release build; compare the rows of one benchmark across library sizes.

#include "App/State/AppState.h"
#include "GeneratedLibrary.h"
#include "Persistence/LocalStore.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>
#include <stdexcept>

namespace {

// An application state over a private folder holding a generated library of `size`
// shortcuts, its statistics saved in the background as the application saves them.
struct Fixture {
    QTemporaryDir folder;
    LocalStore store{folder.path()};
    std::unique_ptr<AppState> state;
    Shortcut expanded;

    // With `everyShortcutUsed`, the statistics already count a use of every shortcut.
    explicit Fixture(int size, bool everyShortcutUsed = false)
    {
        store.setBackgroundWrites(true);
        store.loadData();
        store.loadSettings();
        store.loadStats();
        // The expanded shortcut stands last, where a search by trigger finds it last.
        const UserData library = GeneratedLibrary::generate(size);
        expanded = library.shortcuts.last();
        if (!store.saveData(library))
            throw std::runtime_error("the library could not be saved");
        if (everyShortcutUsed) {
            Stats used = Stats::empty();
            const QDateTime now = QDateTime::currentDateTimeUtc();
            for (const Shortcut& shortcut : library.shortcuts)
                used.perShortcut.insert(shortcut.id, PerShortcutStat{1, now, now});
            if (!store.saveStats(used))
                throw std::runtime_error("the statistics could not be saved");
        }
        state = std::make_unique<AppState>(store);
    }

    // Applies the statistics saves queued meanwhile, as the event loop does between keys.
    template <typename Record> void run(benchmark::State& benchmarkState, Record record)
    {
        int sinceWrite = 0;
        for (auto _ : benchmarkState) {
            record();
            if (++sinceWrite == 256) {
                benchmarkState.PauseTiming();
                state->waitForWrites();
                sinceWrite = 0;
                benchmarkState.ResumeTiming();
            }
        }
        state->waitForWrites();
        if (state->stats().perShortcut.value(expanded.id).count == 0)
            benchmarkState.SkipWithError("the expansions were not counted");
    }
};

void recordShortcutExpansion(benchmark::State& benchmarkState)
{
    Fixture fixture(int(benchmarkState.range(0)));
    fixture.run(benchmarkState, [&] { fixture.state->recordShortcutExpansion(fixture.expanded.id, 40); });
}
BENCHMARK(recordShortcutExpansion)->Arg(3)->Arg(10000)->Arg(50000)->Unit(benchmark::kMicrosecond);

// A user who has expanded every shortcut of the library at least once.
void recordShortcutExpansionWithEveryShortcutUsed(benchmark::State& benchmarkState)
{
    Fixture fixture(int(benchmarkState.range(0)), true);
    fixture.run(benchmarkState, [&] { fixture.state->recordShortcutExpansion(fixture.expanded.id, 40); });
}
BENCHMARK(recordShortcutExpansionWithEveryShortcutUsed)->Arg(3)->Arg(10000)->Arg(50000)->Unit(benchmark::kMicrosecond);

void recordExpansionByTrigger(benchmark::State& benchmarkState)
{
    Fixture fixture(int(benchmarkState.range(0)));
    fixture.run(benchmarkState, [&] { fixture.state->recordExpansion(fixture.expanded.trigger, 40); });
}
BENCHMARK(recordExpansionByTrigger)->Arg(3)->Arg(10000)->Arg(50000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    // The statistics save waits on a timer, which needs the application object.
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// What saving one edit costs the interface thread in a large library: a new shortcut added
// through the application state as the editor's Save adds it (the checks, the order among its
// folder's shortcuts, the new list, the history entry, the write handed to the writer). The
// write itself runs on the writer's thread and is not counted. Run from a Release build;
// compare the rows across library sizes.

#include "App/State/AppState.h"
#include "GeneratedLibrary.h"
#include "Models/TriggerUses.h"
#include "Persistence/LocalStore.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>
#include <stdexcept>

namespace {

void addShortcut(benchmark::State& benchmarkState)
{
    QTemporaryDir folder;
    LocalStore store(folder.path());
    store.setBackgroundWrites(true);
    store.loadData();
    store.loadSettings();
    store.loadStats();
    if (!store.saveData(GeneratedLibrary::generate(int(benchmarkState.range(0)))))
        throw std::runtime_error("the library could not be saved");
    AppState state(store);
    int added = 0;
    for (auto _ : benchmarkState) {
        if (!state.addShortcut(QStringLiteral(";edit%1").arg(added++), QStringLiteral("Edited text"), std::nullopt))
            benchmarkState.SkipWithError("the shortcut was not added");
        // The writes and the release of the lists they kept, as the event loop runs them
        // between two saves, are not the save's own.
        benchmarkState.PauseTiming();
        state.waitForWrites();
        QCoreApplication::processEvents();
        benchmarkState.ResumeTiming();
    }
}
BENCHMARK(addShortcut)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(40);

// What the trigger counts cost the interface thread to follow one such save, as they do
// when its write reports (so that they let go of the list from before it).
void countsFollowASave(benchmark::State& benchmarkState)
{
    QList<Shortcut> library = GeneratedLibrary::generate(int(benchmarkState.range(0))).shortcuts;
    TriggerUses counts;
    counts.follow(library);
    int added = 0;
    for (auto _ : benchmarkState) {
        benchmarkState.PauseTiming();
        library = Shortcut::ownCopy(library, 1);
        library.append(Shortcut{QStringLiteral("id%1").arg(added), QStringLiteral(";edit%1").arg(added),
            QStringLiteral("Edited text"), std::nullopt, 0, std::nullopt});
        ++added;
        benchmarkState.ResumeTiming();
        counts.follow(library);
    }
}
BENCHMARK(countsFollowASave)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(40);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

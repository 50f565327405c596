// Every library change is saved at once on the main thread, and the library is loaded at
// start-up and again by every retry of the recovery screen, so both must stay well under
// 100 ms for a 10,000-shortcut library. Saving unchanged data must not touch the disk.

#include "Persistence/LocalStore.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <stdexcept>

namespace {

// 10,000 shortcuts in 100 folders, two levels deep; `edition` changes one expansion, so two
// editions differ by a few bytes like an ordinary edit.
UserData library(int edition)
{
    UserData data = UserData::empty();
    for (int f = 0; f < 100; ++f) {
        Group folder;
        folder.id = QStringLiteral("A1B2C3D4-0000-4000-8000-%1").arg(f, 12, 10, QLatin1Char('0'));
        folder.name = QStringLiteral("Clients %1").arg(f);
        if (f >= 10)
            folder.parentGroupId = data.groups[f % 10].id;
        folder.order = f;
        data.groups.append(folder);
    }
    for (int i = 0; i < 10000; ++i) {
        Shortcut shortcut;
        shortcut.id = QStringLiteral("E5F6A7B8-0000-4000-8000-%1").arg(i, 12, 10, QLatin1Char('0'));
        shortcut.trigger = QStringLiteral(";reply%1").arg(i);
        shortcut.expansion
            = QStringLiteral("Thank you for your message. I will get back to you within two working days.\n— Sam (%1)")
                  .arg(i);
        shortcut.groupId = data.groups[i % 100].id;
        shortcut.order = i / 100;
        data.shortcuts.append(shortcut);
    }
    data.shortcuts[0].expansion += QString::number(edition);
    return data;
}

// A store over a private folder whose library was saved once, counting the files written.
struct Fixture {
    QTemporaryDir folder;
    int writes = 0;
    LocalStore store{folder.path(), [this](const QByteArray& bytes, const QString& path, FileIO::Access access) {
                         ++writes;
                         FileIO::writeAtomically(bytes, path, access);
                     }};

    Fixture()
    {
        store.loadData();
        store.loadSettings();
        store.loadStats();
        if (!store.saveData(library(0)))
            throw std::runtime_error("the first save failed");
        writes = 0;
    }
};

void loadLibrary(benchmark::State& state)
{
    Fixture fixture;
    for (auto _ : state) {
        const UserData data = fixture.store.loadData();
        benchmark::DoNotOptimize(data.shortcuts.size());
    }
    if (!fixture.store.isReady())
        state.SkipWithError("the library did not load");
}
BENCHMARK(loadLibrary)->Unit(benchmark::kMillisecond);

void saveChangedLibrary(benchmark::State& state)
{
    Fixture fixture;
    const UserData editions[2] = {library(1), library(2)};
    int next = 0;
    for (auto _ : state) {
        if (!fixture.store.saveData(editions[next]))
            state.SkipWithError("a save failed");
        next = 1 - next;
    }
    state.counters["filesWrittenPerSave"] = double(fixture.writes) / double(state.iterations());
}
BENCHMARK(saveChangedLibrary)->Unit(benchmark::kMillisecond);

void saveUnchangedLibrary(benchmark::State& state)
{
    Fixture fixture;
    const UserData same = library(0);
    for (auto _ : state) {
        if (!fixture.store.saveData(same))
            state.SkipWithError("a save failed");
    }
    state.counters["filesWrittenPerSave"] = double(fixture.writes) / double(state.iterations());
    if (fixture.writes != 0)
        state.SkipWithError("saving unchanged data wrote to disk");
}
BENCHMARK(saveUnchangedLibrary)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

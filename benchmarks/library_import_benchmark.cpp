// Importing a library file or pasted presets merges them into the current library while the
// user waits for the confirmation: 10,000 shortcuts into 10,000 must take well under 200 ms,
// so every lookup in the merge is hashed and nothing rescans the growing result.

#include "Persistence/LibraryImportPlan.h"

#include <benchmark/benchmark.h>

namespace {

// `shortcutCount` shortcuts over 250 folders nested up to five deep, a few custom icons and
// deletion markers. `prefix` keeps the ids of two such libraries apart; the folder names,
// triggers and texts are the same in both, so every trigger of one clashes with the other.
UserData library(const QString& prefix, int shortcutCount)
{
    UserData data;
    for (int i = 0; i < 250; ++i) {
        Group g;
        g.id = QStringLiteral("%1-G-%2").arg(prefix).arg(i);
        g.name = i % 10 == 0 ? QStringLiteral("R\u00E9sum\u00E9s %1").arg(i) : QStringLiteral("Folder %1").arg(i);
        if (i % 5 != 0)
            g.parentGroupId = data.groups[i - 1].id;
        g.order = i;
        g.color = QStringLiteral("#E2725B");
        data.groups.append(g);
    }
    for (int i = 0; i < shortcutCount; ++i) {
        Shortcut s;
        s.id = QStringLiteral("%1-S-%2").arg(prefix).arg(i);
        s.trigger = i % 7 == 0 ? QStringLiteral("/caf\u00E9%1").arg(i) : QStringLiteral("/sig%1").arg(i);
        s.expansion = QStringLiteral("Kind regards,\nAlex Example\nSenior Engineer (%1)").arg(i);
        if (i % 3 != 0)
            s.groupId = data.groups[i % data.groups.size()].id;
        s.order = i;
        data.shortcuts.append(s);
    }
    for (int i = 0; i < 20; ++i)
        data.customIcons.append(
            CustomIcon{QStringLiteral("%1-I-%2").arg(prefix).arg(i), QStringLiteral("Icon %1").arg(i),
                QStringLiteral("<svg viewBox=\"0 0 24 24\"><path d=\"M0 0h%1v24H0z\"/></svg>").arg(i)});
    for (int i = 0; i < 500; ++i)
        data.deletedIds.shortcuts.append(
            Tombstone{QStringLiteral("%1-D-%2").arg(prefix).arg(i), QStringLiteral("2025-03-01T09:30:00Z")});
    return data;
}

// Another library's 10,000 shortcuts: folders all match, every trigger is renamed.
void mergeClashingLibrary(benchmark::State& state)
{
    const UserData current = library(QStringLiteral("A"), int(state.range(0)));
    const UserData imported = library(QStringLiteral("B"), int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(LibraryImportPlan::merge(imported, current).addedShortcutCount);
}
BENCHMARK(mergeClashingLibrary)->Arg(10000)->Unit(benchmark::kMillisecond);

// The library into itself: every shortcut is recognised as unchanged.
void mergeLibraryIntoItself(benchmark::State& state)
{
    const UserData current = library(QStringLiteral("A"), int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(LibraryImportPlan::merge(current, current).unchangedShortcutCount);
}
BENCHMARK(mergeLibraryIntoItself)->Arg(10000)->Unit(benchmark::kMillisecond);

// 10,000 shortcuts all written "/sig": each gets the next number, /sig(2) ... /sig(10001).
void mergeOneTriggerRepeated(benchmark::State& state)
{
    const UserData current = library(QStringLiteral("A"), int(state.range(0)));
    UserData imported = library(QStringLiteral("B"), int(state.range(0)));
    for (Shortcut& s : imported.shortcuts)
        s.trigger = QStringLiteral("/sig0");
    for (auto _ : state)
        benchmark::DoNotOptimize(LibraryImportPlan::merge(imported, current).renamedTriggers.size());
}
BENCHMARK(mergeOneTriggerRepeated)->Arg(10000)->Unit(benchmark::kMillisecond);

// Pasted text with 10,000 presets in 100 folders, every trigger already in the library.
void readAndMergePresetText(benchmark::State& state)
{
    const UserData current = library(QStringLiteral("A"), int(state.range(0)));
    QString text = PromptTextImport::separatorLine.toString() + u'\n';
    for (int i = 0; i < state.range(0); ++i) {
        if (i % 100 == 0)
            text += QStringLiteral("\nFolder %1/Sub %2 [star #E2725B]:\n").arg(i % 7).arg(i);
        text += QStringLiteral("/sig%1 \u2192\nKind regards,\n\n  Alex Example (%1)\n").arg(i);
    }
    qint64 added = 0;
    for (auto _ : state) {
        const PromptTextImport::Plan plan = PromptTextImport::plan(PromptTextImport::parse(text), current);
        added = plan.addedShortcutCount + plan.addedGroupCount;
        benchmark::DoNotOptimize(added);
    }
    state.counters["chars"] = double(text.size());
    state.counters["added"] = double(added);
}
BENCHMARK(readAndMergePresetText)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

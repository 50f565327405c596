#include "Engine/ExpansionMatcher.h"

#include <QRandomGenerator>
#include <benchmark/benchmark.h>

namespace {

QList<Shortcut> manyShortcuts(int count)
{
    QRandomGenerator random(7);
    static const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789");
    QList<Shortcut> list;
    for (int i = 0; i < count; ++i) {
        QString trigger = (i % 3 == 0) ? QStringLiteral(";") : QStringLiteral("/");
        const int length = 2 + int(random.bounded(10));
        for (int c = 0; c < length; ++c)
            trigger += letters.at(random.bounded(letters.size()));
        if (i % 50 == 0)
            trigger += QStringLiteral("\u00e9");
        list.append(Shortcut{
            QString::number(i), trigger, QStringLiteral("expansion ") + trigger, std::nullopt, i, std::nullopt});
    }
    return list;
}

// Ordinary prose with the odd trigger-like slash, one key-down per character.
QStringList keys()
{
    const QString prose = QStringLiteral("Thanks for the note, I will send the /report tomorrow; caf\u00e9 at 10? "
                                         "See /docs and ;notes for the details of the plan.");
    QStringList list;
    for (QChar c : prose)
        list.append(QString(c));
    return list;
}

void appendWithTenThousandTriggers(benchmark::State& state)
{
    ExpansionMatcher matcher;
    matcher.update(manyShortcuts(int(state.range(0))));
    const QStringList typed = keys();
    qsizetype next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(matcher.append(typed.at(next)));
        next = (next + 1) % typed.size();
    }
    state.SetItemsProcessed(state.iterations());
}

void updateWithTenThousandTriggers(benchmark::State& state)
{
    const QList<Shortcut> shortcuts = manyShortcuts(int(state.range(0)));
    for (auto _ : state) {
        ExpansionMatcher matcher;
        matcher.update(shortcuts);
    }
}

// What the application does after each library edit: the list differs in one shortcut.
void updateAfterOneEdit(benchmark::State& state)
{
    QList<Shortcut> shortcuts = manyShortcuts(int(state.range(0)));
    ExpansionMatcher matcher;
    matcher.update(shortcuts);
    int edition = 0;
    for (auto _ : state) {
        shortcuts[shortcuts.size() / 2].trigger = QStringLiteral("/edited%1").arg(++edition);
        matcher.update(shortcuts);
    }
}

} // namespace

BENCHMARK(appendWithTenThousandTriggers)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(updateWithTenThousandTriggers)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(updateAfterOneEdit)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

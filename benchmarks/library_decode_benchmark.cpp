// Reading the library file is on the start-up path and runs again before every save, so a
// large library must read and validate quickly: 10,000 shortcuts in well under 50 ms.

#include "Models/UserData.h"

#include <benchmark/benchmark.h>

namespace {

// 10,000 shortcuts spread over 250 folders nested up to five deep, some custom icons and
// deletion markers, with a share of non-ASCII text.
QByteArray largeLibrary(int shortcutCount)
{
    UserData data;
    for (int i = 0; i < 250; ++i) {
        Group g;
        g.id = QStringLiteral("00000000-0000-4000-8000-%1").arg(i, 12, 10, QLatin1Char('0'));
        g.name = i % 10 == 0 ? QStringLiteral("R\u00E9sum\u00E9s %1").arg(i) : QStringLiteral("Folder %1").arg(i);
        if (i % 5 != 0)
            g.parentGroupId = data.groups[i - 1].id;
        g.order = i;
        g.color = QStringLiteral("#E2725B");
        g.visibility = QStringLiteral("private");
        data.groups.append(g);
    }
    for (int i = 0; i < shortcutCount; ++i) {
        Shortcut s;
        s.id = QStringLiteral("10000000-0000-4000-8000-%1").arg(i, 12, 10, QLatin1Char('0'));
        s.trigger = i % 7 == 0 ? QStringLiteral("/caf\u00E9%1").arg(i) : QStringLiteral("/sig%1").arg(i);
        s.expansion = QStringLiteral(
            "Kind regards,\nAlex Example\nSenior Engineer, Example Corp. \u2014 phone +1 555 0100 (%1)")
                          .arg(i);
        if (i % 3 != 0)
            s.groupId = data.groups[i % data.groups.size()].id;
        s.order = i;
        data.shortcuts.append(s);
    }
    for (int i = 0; i < 20; ++i)
        data.customIcons.append(CustomIcon{QStringLiteral("ICON-%1").arg(i), QStringLiteral("Icon %1").arg(i),
            QStringLiteral(
                "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 24 24\"><path d=\"M0 0h24v24H0z\"/></svg>")});
    QStringList deleted;
    for (int i = 0; i < 500; ++i)
        deleted.append(QStringLiteral("20000000-0000-4000-8000-%1").arg(i, 12, 10, QLatin1Char('0')));
    data.recordDeletion(TombstoneKind::shortcuts, deleted);
    return VelmoraJSON::encode(data);
}

void readAndValidateLibrary(benchmark::State& state)
{
    const QByteArray bytes = largeLibrary(int(state.range(0)));
    for (auto _ : state) {
        const UserData data = VelmoraJSON::decode<UserData>(bytes);
        benchmark::DoNotOptimize(data.shortcuts.size());
    }
    state.counters["bytes"] = double(bytes.size());
}
BENCHMARK(readAndValidateLibrary)->Arg(10000)->Unit(benchmark::kMillisecond);

void validateLibrary(benchmark::State& state)
{
    const UserData data = VelmoraJSON::decode<UserData>(largeLibrary(int(state.range(0))));
    for (auto _ : state)
        data.validate();
}
BENCHMARK(validateLibrary)->Arg(10000)->Unit(benchmark::kMillisecond);

void writeLibrary(benchmark::State& state)
{
    const UserData data = VelmoraJSON::decode<UserData>(largeLibrary(int(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(VelmoraJSON::encode(data).size());
}
BENCHMARK(writeLibrary)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

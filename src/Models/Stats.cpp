#include "Models/Stats.h"

#include "Utilities/Text.h"

#include <algorithm>

namespace {
// Keys that are canonically equivalent name the same entry; the last one read wins.
template <class T> QMap<QString, T> withCanonicalKeys(const QMap<QString, T>& map)
{
    QMap<QString, T> out;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        out.insert(Text::canonical(it.key()), it.value());
    return out;
}

template <class T> QMap<QString, T> readMap(const JsonReader& r, const QString& key)
{
    return withCanonicalKeys(r.value<QMap<QString, T>>(key, {}));
}
} // namespace

Stats Stats::empty()
{
    return {};
}

QStringList Stats::sortedFirstUseFlags() const
{
    QStringList flags(firstUseFlags.cbegin(), firstUseFlags.cend());
    std::sort(flags.begin(), flags.end());
    return flags;
}

Stats Stats::fromJson(const JsonReader& r)
{
    Stats s;
    s.totalTimeSaved = r.value<double>(QStringLiteral("totalTimeSaved"), 0);
    s.totalExpansions = r.value<qint64>(QStringLiteral("totalExpansions"), 0);
    s.totalCharsSaved = r.value<qint64>(QStringLiteral("totalCharsSaved"), 0);
    s.perShortcut = PerShortcutStats(readMap<PerShortcutStat>(r, QStringLiteral("perShortcut")));
    s.dailyBuckets = readMap<qint64>(r, QStringLiteral("dailyBuckets"));
    for (const QString& flag : r.value<QList<QString>>(QStringLiteral("firstUseFlags"), {}))
        s.firstUseFlags.insert(Text::canonical(flag));
    s.streak = r.value<StreakState>(QStringLiteral("streak"), {});
    s.unlocked = readMap<QDateTime>(r, QStringLiteral("unlocked"));
    s.recentExpansionTimestamps = r.value<QList<QDateTime>>(QStringLiteral("recentExpansionTimestamps"), {});
    s.resetBaselines = readMap<qint64>(r, QStringLiteral("resetBaselines"));
    return s;
}

QJsonValue Stats::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("totalTimeSaved"), totalTimeSaved);
    o.insert(QStringLiteral("totalExpansions"), totalExpansions);
    o.insert(QStringLiteral("totalCharsSaved"), totalCharsSaved);
    o.insert(QStringLiteral("perShortcut"), JsonCoding<QMap<QString, PerShortcutStat>>::encode(perShortcut.toMap()));
    o.insert(QStringLiteral("dailyBuckets"), JsonCoding<QMap<QString, qint64>>::encode(dailyBuckets));
    o.insert(QStringLiteral("firstUseFlags"), QJsonArray::fromStringList(sortedFirstUseFlags()));
    o.insert(QStringLiteral("streak"), streak.toJson());
    o.insert(QStringLiteral("unlocked"), JsonCoding<QMap<QString, QDateTime>>::encode(unlocked));
    o.insert(
        QStringLiteral("recentExpansionTimestamps"), JsonCoding<QList<QDateTime>>::encode(recentExpansionTimestamps));
    o.insert(QStringLiteral("resetBaselines"), JsonCoding<QMap<QString, qint64>>::encode(resetBaselines));
    return o;
}

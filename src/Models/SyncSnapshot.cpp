#include "Models/SyncSnapshot.h"

#include "Models/RecordText.h"

namespace {
// The first rule that holds decides: both sides agree, only the cloud changed, only this
// computer changed; otherwise the component conflicts.
template <class T, class Same> std::optional<T> mergeComponent(const T& base, const T& local, const T& cloud, Same same)
{
    if (same(local, cloud))
        return local;
    if (same(local, base))
        return cloud;
    if (same(cloud, base))
        return local;
    return std::nullopt;
}
} // namespace

QByteArray SyncSnapshot::stableBytes(const Stats& stats)
{
    // The flags are a set: Stats writes them sorted, so equal sets give equal bytes whatever
    // order they were inserted in.
    return VelmoraJSON::encodeCompact(stats.toJson());
}

void SyncSnapshot::validate() const
{
    data.validate();
    VelmoraJSON::decode<SyncSnapshot>(VelmoraJSON::encode(*this));
}

bool SyncSnapshot::matches(const SyncSnapshot& other) const
{
    return sameLibrary(data, other.data) && same(settings, other.settings) && same(stats, other.stats);
}

UserData SyncSnapshot::sorted(const UserData& data)
{
    UserData copy;
    copy.groups = RecordText::sortedById(data.groups);
    copy.shortcuts = RecordText::sortedById(data.shortcuts);
    copy.customIcons = RecordText::sortedById(data.customIcons);
    for (TombstoneKind kind : TombstoneKinds::all)
        copy.deletedIds.list(kind) = RecordText::sortedById(data.deletedIds.list(kind));
    return copy;
}

bool SyncSnapshot::sameLibrary(const UserData& a, const UserData& b)
{
    return same(sorted(a), sorted(b));
}

std::optional<SyncSnapshot> SyncSnapshot::reconcile(
    const SyncSnapshot& base, const SyncSnapshot& local, const SyncSnapshot& cloud)
{
    const auto data = mergeComponent(base.data, local.data, cloud.data, &SyncSnapshot::sameLibrary);
    if (!data)
        return std::nullopt;
    const auto settings
        = mergeComponent(base.settings, local.settings, cloud.settings, &SyncSnapshot::same<AppSettings>);
    if (!settings)
        return std::nullopt;
    const auto stats = mergeComponent(base.stats, local.stats, cloud.stats, &SyncSnapshot::same<Stats>);
    if (!stats)
        return std::nullopt;
    return SyncSnapshot{*data, *settings, *stats};
}

SyncSnapshot SyncSnapshot::fromJson(const JsonReader& r)
{
    SyncSnapshot s;
    s.data = r.required<UserData>(QStringLiteral("data"));
    s.settings = r.required<AppSettings>(QStringLiteral("settings"));
    s.stats = r.required<Stats>(QStringLiteral("stats"));
    return s;
}

QJsonValue SyncSnapshot::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("data"), data.toJson());
    o.insert(QStringLiteral("settings"), settings.toJson());
    o.insert(QStringLiteral("stats"), stats.toJson());
    return o;
}

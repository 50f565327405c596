#include "Models/SyncRecord.h"

#include "Models/SyncFailure.h"
#include "Utilities/Uuid.h"

#include <QUrl>

namespace {
// Any well-formed address whose scheme is exactly "https"; the rest is not checked.
bool isHttpsAddress(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    // QUrl folds the scheme to lower case, so the exact spelling is taken from the text.
    return url.isValid() && text.startsWith(QLatin1String("https:"));
}
} // namespace

void SyncRecord::validate() const
{
    const SyncFailure invalid(SyncFailure::Kind::invalidResponse);
    if (version != 1)
        throw invalid;
    if (owner.has_value() != baseline.has_value())
        throw invalid;
    if (owner && (!Uuid::parse(owner->userID) || !isHttpsAddress(owner->projectURL)))
        throw invalid;
    if (baseline)
        baseline->validate();
    if (pending) {
        pending->before.validate();
        pending->after.validate();
    }
}

SyncRecord SyncRecord::fromJson(const JsonReader& r)
{
    SyncRecord s;
    s.version = r.required<qint64>(QStringLiteral("version"));
    s.owner = r.optional<SyncOwner>(QStringLiteral("owner"));
    s.baseline = r.optional<SyncSnapshot>(QStringLiteral("baseline"));
    s.pending = r.optional<SyncLocalTransaction>(QStringLiteral("pending"));
    return s;
}

QJsonValue SyncRecord::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("version"), version);
    insertIfPresent(o, QStringLiteral("owner"), owner);
    insertIfPresent(o, QStringLiteral("baseline"), baseline);
    insertIfPresent(o, QStringLiteral("pending"), pending);
    return o;
}

#include "MemorySyncRemote.h"

#include "Models/SyncFailure.h"
#include "Utilities/Scheduler.h"

#include <QUuid>

namespace {
QString newRevision()
{
    return QUuid::createUuid().toString(QUuid::Id128);
}

SyncSnapshot emptySnapshot()
{
    return SyncSnapshot{UserData::empty(), AppSettings::defaults(), Stats::empty()};
}
} // namespace

MemorySyncRemote::Copy& MemorySyncRemote::copy(const QString& userID)
{
    auto found = m_copies.find(userID);
    if (found == m_copies.end())
        found = m_copies.insert(userID, Copy{newRevision(), false, emptySnapshot()});
    return *found;
}

CloudSyncSnapshot MemorySyncRemote::copyOf(const QString& userID)
{
    const Copy& c = copy(userID);
    return CloudSyncSnapshot{userID, c.revision, c.hasCloud, c.snapshot};
}

void MemorySyncRemote::store(const QString& userID, const SyncSnapshot& snapshot)
{
    m_copies.insert(userID, Copy{newRevision(), true, snapshot});
}

void MemorySyncRemote::reply(
    const Cancellation& cancellation, Completion<CloudSyncSnapshot> done, std::function<CloudSyncSnapshot()> make)
{
    auto deliver = [cancellation, done = std::move(done), make = std::move(make)] {
        if (cancellation.isCancelled()) {
            done(Result<CloudSyncSnapshot>::failure(CancellationError()));
            return;
        }
        try {
            done(make());
        } catch (...) {
            done(Result<CloudSyncSnapshot>(ErrorValue::current()));
        }
    };
    if (held)
        m_heldReplies.append(std::move(deliver));
    else
        Scheduler::current().after(0, nullptr, std::move(deliver));
}

void MemorySyncRemote::release()
{
    held = false;
    for (auto& deliver : std::exchange(m_heldReplies, {}))
        Scheduler::current().after(0, nullptr, std::move(deliver));
}

void MemorySyncRemote::read(
    const AuthCredentials& credentials, const Cancellation& cancellation, Completion<CloudSyncSnapshot> done)
{
    const QString user = credentials.userID;
    reply(cancellation, std::move(done), [this, user] {
        ++reads;
        return copyOf(user);
    });
}

void MemorySyncRemote::compareAndSwap(const SyncSnapshot& next, const QString& revision,
    const AuthCredentials& credentials, const Cancellation& cancellation, Completion<CloudSyncSnapshot> done)
{
    const QString user = credentials.userID;
    reply(cancellation, std::move(done), [this, user, next, revision] {
        if (copy(user).revision != revision)
            throw SyncFailure(SyncFailure::Kind::cloudChanged);
        store(user, next);
        return copyOf(user);
    });
}

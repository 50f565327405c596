#include "Services/BackgroundSyncManager.h"

#include "Services/CredentialsProvider.h"
#include "Services/SyncCoordinator.h"
#include "Services/SyncRemote.h"
#include "Services/SyncedState.h"

BackgroundSyncManager::BackgroundSyncManager(CredentialsProvider& auth, std::unique_ptr<SyncRemote> remote,
    QString projectURL, bool librarySyncAvailable, QObject* parent)
    : QObject(parent)
    , m_auth(auth)
    , m_remote(std::move(remote))
    , m_coordinator(std::make_unique<SyncCoordinator>(auth, *m_remote, std::move(projectURL)))
    , m_librarySyncAvailable(librarySyncAvailable)
{
}

BackgroundSyncManager::~BackgroundSyncManager()
{
    stop();
}

void BackgroundSyncManager::stop()
{
    m_timer.cancel();
    m_debounce.cancel();
    for (const QMetaObject::Connection& connection : std::as_const(m_subscriptions))
        disconnect(connection);
    m_subscriptions.clear();
    m_coordinator->stop();
}

void BackgroundSyncManager::start(SyncedState& state)
{
    stop();
    m_coordinator->attach(&state);
    if (!m_librarySyncAvailable)
        return;
    // The signals carry only changes, never the value current now, so subscribing fires
    // nothing by itself.
    m_subscriptions.append(connect(&state, &SyncedState::contentChanged, this, &BackgroundSyncManager::changed));
    m_subscriptions.append(
        connect(&m_auth, &CredentialsProvider::generationChanged, m_coordinator.get(), &SyncCoordinator::stop));
    m_timer = Scheduler::current().every(timerInterval, this, [this] { schedule(); });
}

void BackgroundSyncManager::changed()
{
    m_debounce.cancel();
    m_debounce = Scheduler::current().after(debounceDelay, this, [this] { schedule(); });
}

// A trigger that finds sync not allowed is dropped, not queued: the next change or tick
// tries again.
void BackgroundSyncManager::schedule()
{
    if (!m_coordinator->canAutoSync())
        return;
    SyncCoordinator* coordinator = m_coordinator.get();
    // A pause or a new sign-in may come before the run starts; a run then would raise a
    // review by itself instead of staying off.
    Scheduler::current().after(0, coordinator, [coordinator] {
        if (coordinator->canAutoSync())
            coordinator->runAutomatically();
    });
}

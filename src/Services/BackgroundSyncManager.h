#pragma once

#include "Utilities/Scheduler.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <memory>

class CredentialsProvider;
class SyncCoordinator;
class SyncRemote;
class SyncedState;

// Decides when library sync runs without the user asking: a few seconds after the library,
// the settings or the statistics change, and every two minutes. It never syncs by itself:
// each trigger only asks the coordinator, and only when the coordinator allows automatic
// sync. A new sign-in era pauses the coordinator at once.
class BackgroundSyncManager : public QObject {
    Q_OBJECT
public:
    // Quiet time after a change before a sync is asked for, in seconds.
    static constexpr double debounceDelay = 3;
    static constexpr double timerInterval = 120;

    // `librarySyncAvailable`: the backend configuration allows cloud sign-in and library sync;
    // without it start() only attaches the state. `auth` must outlive the manager.
    BackgroundSyncManager(CredentialsProvider& auth, std::unique_ptr<SyncRemote> remote, QString projectURL,
        bool librarySyncAvailable, QObject* parent = nullptr);
    ~BackgroundSyncManager() override;

    SyncCoordinator& coordinator() { return *m_coordinator; }
    // The timer and both subscriptions are in place.
    bool isWired() const { return m_timer.isPending(); }

    // Starts over: stops whatever ran, attaches `state` and, when the configuration allows
    // library sync, follows its changes, the sign-in era and the timer.
    void start(SyncedState& state);
    void stop();

private:
    void changed();
    void schedule();

    CredentialsProvider& m_auth;
    std::unique_ptr<SyncRemote> m_remote;
    std::unique_ptr<SyncCoordinator> m_coordinator;
    bool m_librarySyncAvailable;
    ScheduledTask m_timer;
    ScheduledTask m_debounce;
    QList<QMetaObject::Connection> m_subscriptions;
};

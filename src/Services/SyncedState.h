#pragma once

#include "Models/SyncSnapshot.h"

#include <QObject>

class LocalStore;
struct SyncOwner;

// The published library, settings and statistics as library sync sees them: the state a pass
// compares with the files, and applies its result to. The application state provides it.
class SyncedState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool storageReady() const = 0;
    virtual LocalStore& store() = 0;
    virtual SyncSnapshot syncSnapshot() const = 0;
    // Throws SyncFailure::localChanged unless storage is ready and the published state
    // matches `expected`; then writes `snapshot` as one journalled local transaction that
    // records `owner` and the new baseline, and publishes it.
    virtual void applySyncedSnapshot(const SyncSnapshot& snapshot, const SyncSnapshot& expected, const SyncOwner& owner)
        = 0;

Q_SIGNALS:
    // The library, the settings or the statistics changed.
    void contentChanged();
};

#include "App/State/AppStateSync.h"

#include "App/State/AppState.h"

AppStateSync::AppStateSync(AppState& state)
    : SyncedState(&state)
    , m_state(state)
{
    connect(&state, &AppState::userDataChanged, this, &SyncedState::contentChanged);
    connect(&state, &AppState::settingsChanged, this, &SyncedState::contentChanged);
    connect(&state, &AppState::statsChanged, this, &SyncedState::contentChanged);
}

bool AppStateSync::storageReady() const
{
    return m_state.storageReady();
}

LocalStore& AppStateSync::store()
{
    return m_state.store();
}

SyncSnapshot AppStateSync::syncSnapshot() const
{
    return m_state.syncSnapshot();
}

void AppStateSync::applySyncedSnapshot(
    const SyncSnapshot& snapshot, const SyncSnapshot& expected, const SyncOwner& owner)
{
    m_state.applySyncedSnapshot(snapshot, expected, owner);
}

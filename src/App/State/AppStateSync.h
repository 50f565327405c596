#pragma once

#include "Services/SyncedState.h"

class AppState;

// The application state as library sync sees it. It lives as a child of the state, so it
// goes when the state goes, and sync holding it weakly sees the state gone.
class AppStateSync final : public SyncedState {
    Q_OBJECT
public:
    explicit AppStateSync(AppState& state);

    AppState& appState() const { return m_state; }

    bool storageReady() const override;
    LocalStore& store() override;
    SyncSnapshot syncSnapshot() const override;
    void applySyncedSnapshot(
        const SyncSnapshot& snapshot, const SyncSnapshot& expected, const SyncOwner& owner) override;

private:
    AppState& m_state;
};

#pragma once

#include "App/State/AppState.h"
#include "App/State/AppStateSync.h"
#include "Persistence/LocalStore.h"
#include "TempDir.h"

#include <memory>

// One computer as library sync sees it: a data folder of its own, the store over it, the
// application state and the state's sync view.
class SyncedComputer {
public:
    SyncedComputer() { open(); }

    // Starts the application again over the same folder.
    void open()
    {
        state.reset();
        store = std::make_unique<LocalStore>(dir.path());
        state = std::make_unique<AppState>(*store);
        sync = new AppStateSync(*state);
    }

    SyncSnapshot snapshot() const { return state->syncSnapshot(); }
    // The recovery copies written before a review's answer.
    QStringList recoveryCopies() const;

    TempDir dir;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<AppState> state;
    AppStateSync* sync = nullptr;
};

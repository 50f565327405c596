#pragma once

#include "Services/SupabaseHTTPClient.h"
#include "Utilities/BackendConfiguration.h"

#include <optional>

class AuthService;
class SyncCoordinator;
class SyncedState;

// What the account screen works with, none of it owned: the account service, the sync
// coordinator of background sync, the popover's state as sync sees it (attached whenever the
// screen comes into view), and the backend configuration of this process, which decides
// what the screen offers. The profile picture is fetched through `pictures` when given (the
// program's secure session otherwise).
struct AccountServices {
    AuthService* auth = nullptr;
    SyncCoordinator* sync = nullptr;
    SyncedState* state = nullptr;
    std::optional<BackendConfiguration> backend;
    SupabaseHTTPClient::Transport pictures = {};

    bool isComplete() const { return auth && sync; }
    // A valid configuration with cloud sign-in on.
    bool cloudAvailable() const { return backend && backend->isValid() && backend->cloudEnabled; }
    // Library sync on as well.
    bool librarySyncAvailable() const { return cloudAvailable() && backend->syncEnabled; }
};

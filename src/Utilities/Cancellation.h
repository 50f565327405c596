#pragma once

#include "Utilities/CancellationError.h"

#include <functional>
#include <memory>
#include <vector>

// A shared flag that asynchronous work checks at each of its waits. Copies share the flag;
// cancelling any copy cancels all of them and runs the handlers registered so far, once.
// A default-constructed token can still be cancelled (it has its own flag).
class Cancellation {
public:
    Cancellation();

    void cancel() const;
    bool isCancelled() const;
    // Throws CancellationError once cancelled.
    void throwIfCancelled() const;
    // Runs `handler` when the token is cancelled, or at once when it already is.
    void onCancel(std::function<void()> handler) const;

private:
    struct State {
        bool cancelled = false;
        std::vector<std::function<void()>> handlers;
    };
    std::shared_ptr<State> m_state;
};

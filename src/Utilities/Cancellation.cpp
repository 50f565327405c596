#include "Utilities/Cancellation.h"

Cancellation::Cancellation()
    : m_state(std::make_shared<State>())
{
}

void Cancellation::cancel() const
{
    if (m_state->cancelled)
        return;
    m_state->cancelled = true;
    // Handlers may register more work or drop the last other copy of the token.
    const auto keep = m_state;
    auto handlers = std::move(keep->handlers);
    keep->handlers.clear();
    for (auto& handler : handlers)
        handler();
}

bool Cancellation::isCancelled() const
{
    return m_state->cancelled;
}

void Cancellation::throwIfCancelled() const
{
    if (m_state->cancelled)
        throw CancellationError();
}

void Cancellation::onCancel(std::function<void()> handler) const
{
    if (m_state->cancelled) {
        handler();
        return;
    }
    m_state->handlers.push_back(std::move(handler));
}

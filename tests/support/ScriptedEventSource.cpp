#include "ScriptedEventSource.h"

#include <utility>

bool ScriptedEventSource::install(InputEventTypes types, Handler handler)
{
    if (m_refuse)
        return false;
    ++m_installs;
    m_handler = std::move(handler);
    m_types = types;
    m_installed = true;
    m_enabled = true;
    m_broken = false;
    return true;
}

void ScriptedEventSource::remove()
{
    ++m_removes;
    m_handler = nullptr;
    m_installed = false;
    m_enabled = false;
}

void ScriptedEventSource::setEnabled(bool enabled)
{
    m_enabled = enabled;
}

void ScriptedEventSource::deliver(const InputEvent& event)
{
    if (!m_installed || !m_enabled || !m_handler)
        return;
    if (event.type != InputEventType::sourceDisabled && !m_types.testFlag(event.type))
        return;
    // The handler may remove the installation while it runs.
    Handler handler = m_handler;
    handler(event);
}

void ScriptedEventSource::disable()
{
    if (!m_installed || !m_handler)
        return;
    m_enabled = false;
    InputEvent event;
    event.type = InputEventType::sourceDisabled;
    Handler handler = m_handler;
    handler(event);
}

void ScriptedEventSource::readPending()
{
    for (const InputEvent& event : std::exchange(m_pending, {}))
        deliver(event);
}

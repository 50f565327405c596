#include "ScriptedEventSource.h"

bool ScriptedEventSource::install(quint64 eventMask, Handler handler)
{
    if (m_refuse)
        return false;
    ++m_installs;
    m_handler = std::move(handler);
    m_mask = eventMask;
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
    const quint32 type = quint32(event.type);
    if (type < 64 && !(m_mask & (quint64(1) << type)))
        return;
    // The handler may remove the installation while it runs.
    Handler handler = m_handler;
    handler(event);
}

void ScriptedEventSource::disable(InputEventType notice)
{
    if (!m_installed || !m_handler)
        return;
    m_enabled = false;
    InputEvent event;
    event.type = notice;
    Handler handler = m_handler;
    handler(event);
}

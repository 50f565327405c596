#pragma once

#include "platform/EventSource.h"

#include <QList>

// An event source driven by the test: it delivers what the test hands it, as the desktop
// would, while installed and enabled.
class ScriptedEventSource final : public EventSource {
public:
    bool install(InputEventTypes types, Handler handler) override;
    void remove() override;
    bool isValid() const override { return m_installed && !m_broken; }
    bool isEnabled() const override { return m_installed && m_enabled; }
    void setEnabled(bool enabled) override;
    QString unavailableReason() const override { return m_refuse ? QStringLiteral("Refused by the test.") : QString(); }

    // Delivers the event when installed, enabled and watched (the disabled notice always).
    void deliver(const InputEvent& event);
    // Keeps the event as reported but not read yet: delivered by the next readPending().
    void report(const InputEvent& event) { m_pending.append(event); }
    void readPending() override;
    // The source switches itself off and tells the handler, as a desktop does with a slow
    // watcher.
    void disable();

    void refuseInstall(bool refuse) { m_refuse = refuse; }
    // The connection to the desktop breaks: still installed, no longer valid.
    void breakConnection() { m_broken = true; }

    InputEventTypes types() const { return m_types; }
    int installCount() const { return m_installs; }
    int removeCount() const { return m_removes; }
    bool isInstalled() const { return m_installed; }

private:
    Handler m_handler;
    InputEventTypes m_types;
    QList<InputEvent> m_pending;
    bool m_installed = false;
    bool m_enabled = false;
    bool m_refuse = false;
    bool m_broken = false;
    int m_installs = 0;
    int m_removes = 0;
};

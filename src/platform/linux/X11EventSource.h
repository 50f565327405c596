#pragma once

#include "platform/EventSource.h"

#include <QHash>
#include <QSet>
#include <memory>

class PostedKeyLedger;
class X11Connection;
class X11InputRecorder;
class X11KeyboardHold;
class X11KeyboardLayout;
struct X11RecordedEvent;

// The session-wide key and mouse watch on X11: the RECORD stream, translated into the engine's
// vocabulary. RECORD reports an event after the server has sent it to its window, so the target
// may already have applied a key when the engine hears of it.
class X11EventSource : public EventSource {
public:
    // Without a connection (no X display) install() refuses and says why.
    // Keys that `hold` took are reported when it types them again, not when grabbed.
    X11EventSource(std::shared_ptr<X11Connection> connection, const X11KeyboardLayout* layout, PostedKeyLedger& ledger,
        X11KeyboardHold* hold = nullptr);
    ~X11EventSource() override;

    bool install(InputEventTypes types, Handler handler) override;
    void remove() override;
    bool isValid() const override;
    bool isEnabled() const override;
    void setEnabled(bool enabled) override;
    QString unavailableReason() const override;
    void readPending() override;

private:
    void handle(const X11RecordedEvent& event);
    void handleKey(const X11RecordedEvent& event);
    void handleKey(const X11RecordedEvent& event, quint64 tag);
    bool heldPastRepeatDelay(unsigned keyCode, unsigned long time) const;
    void deliver(const InputEvent& event);
    void interrupted();

    std::shared_ptr<X11Connection> m_connection;
    const X11KeyboardLayout* m_layout;
    PostedKeyLedger& m_ledger;
    X11KeyboardHold* m_hold;
    std::unique_ptr<X11InputRecorder> m_recorder;
    Handler m_handler;
    InputEventTypes m_types;
    bool m_enabled = false;
    QString m_unavailableReason;
    // Keys down now, to tell a repeat from a fresh press.
    QSet<unsigned> m_keysDown;
    // When each key last went down other than by repeating.
    QHash<unsigned, unsigned long> m_pressTimes;
    unsigned m_lastReleasedKey = 0;
    unsigned long m_lastReleaseTime = 0;
};

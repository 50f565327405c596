#include "X11EventSource.h"

#include "PostedKeyLedger.h"
#include "X11Connection.h"
#include "X11InputRecorder.h"
#include "X11KeyTranslation.h"
#include "X11KeyboardHold.h"
#include "X11KeyboardLayout.h"

#include <X11/X.h>
#include <X11/XKBlib.h>

X11EventSource::X11EventSource(std::shared_ptr<X11Connection> connection, const X11KeyboardLayout* layout,
    PostedKeyLedger& ledger, X11KeyboardHold* hold)
    : m_connection(std::move(connection))
    , m_layout(layout)
    , m_ledger(ledger)
    , m_hold(hold)
{
    if (m_connection) {
        m_recorder = std::make_unique<X11InputRecorder>(m_connection);
        QObject::connect(m_recorder.get(), &X11InputRecorder::recorded, m_recorder.get(),
            [this](const X11RecordedEvent& event) { handle(event); });
        QObject::connect(m_recorder.get(), &X11InputRecorder::interrupted, m_recorder.get(), [this] { interrupted(); });
    }
}

X11EventSource::~X11EventSource() = default;

bool X11EventSource::install(InputEventTypes types, Handler handler)
{
    remove();
    if (!m_connection || !m_layout) {
        m_unavailableReason = QStringLiteral(
            "No X11 display: watching typed keys needs an X11 session (pure Wayland is not supported).");
        return false;
    }
    if (!m_connection->hasExtension("RECORD")) {
        m_unavailableReason
            = QStringLiteral("The X server offers no RECORD extension, so typed keys cannot be watched.");
        return false;
    }
    if (!m_recorder->start()) {
        m_unavailableReason = QStringLiteral("The X server refused to report typed keys (RECORD).");
        return false;
    }
    m_unavailableReason.clear();
    m_types = types;
    m_handler = std::move(handler);
    m_enabled = true;
    return true;
}

void X11EventSource::remove()
{
    if (m_recorder)
        m_recorder->stop();
    m_handler = nullptr;
    m_types = {};
    m_enabled = false;
    m_keysDown.clear();
}

bool X11EventSource::isValid() const
{
    return m_handler && m_recorder && m_recorder->isRecording();
}

bool X11EventSource::isEnabled() const
{
    return m_enabled && isValid();
}

void X11EventSource::setEnabled(bool enabled)
{
    if (!m_handler)
        return;
    if (enabled && !m_recorder->isRecording() && !m_recorder->start())
        return;
    m_enabled = enabled;
}

QString X11EventSource::unavailableReason() const
{
    return m_unavailableReason;
}

void X11EventSource::readPending()
{
    if (m_recorder && m_handler)
        m_recorder->readPending();
}

void X11EventSource::interrupted()
{
    m_keysDown.clear();
    if (!m_handler || !m_enabled)
        return;
    m_enabled = false;
    InputEvent notice;
    notice.type = InputEventType::sourceDisabled;
    m_handler(notice);
}

void X11EventSource::deliver(const InputEvent& event)
{
    if (m_handler && m_enabled && m_types.testFlag(event.type))
        m_handler(event);
}

void X11EventSource::handle(const X11RecordedEvent& event)
{
    if (event.kind != X11RecordedEvent::ButtonDown) {
        handleKey(event);
        return;
    }
    InputEvent input;
    input.modifiers = X11KeyTranslation::modifiers(event.state, m_layout->altMask(), m_layout->superMask());
    switch (event.detail) {
    case Button4:
    case Button5:
    case 6:
    case 7: input.type = InputEventType::scroll; break;
    default: input.type = InputEventType::buttonPress;
    }
    deliver(input);
}

void X11EventSource::handleKey(const X11RecordedEvent& event)
{
    const bool press = event.kind == X11RecordedEvent::KeyDown;
    const unsigned keyCode = event.detail;
    if (m_hold && m_hold->claimRecorded(press, keyCode, event.time)) {
        // The key is up now, whether or not its release is typed again.
        if (!press)
            m_keysDown.remove(keyCode);
        return;
    }
    // Every recorded key is matched against the ledger, delivered or not, so that the posted
    // keys are claimed in order.
    const quint64 tag = m_ledger.claim(press, keyCode).value_or(0);
    if (tag != PostedKeyLedger::heldKeyTypedAgain)
        return handleKey(event, tag);
    handleKey(event, 0);
    // Only now that the engine has read this key may the next held key reach the field.
    if (m_hold)
        m_hold->typedAgain(press, keyCode);
}

bool X11EventSource::heldPastRepeatDelay(unsigned keyCode, unsigned long time) const
{
    // The server repeats a key only once it has been down for the repeat delay; a release and a
    // press within one millisecond sooner come from a program typing quickly through XTest.
    const auto pressed = m_pressTimes.constFind(keyCode);
    unsigned delay = 0;
    unsigned interval = 0;
    if (pressed == m_pressTimes.constEnd() || !m_connection
        || !XkbGetAutoRepeatRate(m_connection->display(), XkbUseCoreKbd, &delay, &interval))
        return true;
    // Server times are milliseconds that wrap around at 32 bits.
    return quint32(time - *pressed) >= delay;
}

void X11EventSource::handleKey(const X11RecordedEvent& event, quint64 tag)
{
    const bool press = event.kind == X11RecordedEvent::KeyDown;
    const unsigned keyCode = event.detail;

    bool repeated = false;
    if (press) {
        // A held key repeats either as more presses while it is down or as a release and a press
        // with one time stamp, depending on the server.
        repeated = m_keysDown.contains(keyCode)
            || (m_lastReleasedKey == keyCode && m_lastReleaseTime == event.time
                && heldPastRepeatDelay(keyCode, event.time));
        if (!repeated)
            m_pressTimes.insert(keyCode, event.time);
        m_keysDown.insert(keyCode);
    } else {
        m_keysDown.remove(keyCode);
        m_lastReleasedKey = keyCode;
        m_lastReleaseTime = event.time;
    }

    InputEvent input;
    input.tag = tag;
    const unsigned modifierBits = m_layout->modifierBits(keyCode);
    if (modifierBits != 0) {
        if (repeated || (!press && m_layout->isLockKey(keyCode)))
            return;
        // The recorded state is the one from before the event; a modifiers change reports the
        // state after it.
        unsigned after = event.state;
        if (m_layout->isLockKey(keyCode))
            after ^= modifierBits;
        else if (press)
            after |= modifierBits;
        else
            after &= ~modifierBits;
        input.type = InputEventType::modifiersChanged;
        input.modifiers = X11KeyTranslation::modifiers(after, m_layout->altMask(), m_layout->superMask());
        input.key = X11KeyTranslation::qtKey(m_layout->keySymbol(keyCode, 0));
        deliver(input);
        return;
    }
    if (!press)
        return;
    const KeySym symbol = m_layout->keySymbol(keyCode, event.state);
    input.type = InputEventType::keyPress;
    input.modifiers = X11KeyTranslation::modifiers(event.state, m_layout->altMask(), m_layout->superMask());
    input.key = X11KeyTranslation::qtKey(symbol);
    input.autorepeat = repeated;
    input.text = m_layout->text(keyCode, event.state);
    deliver(input);
}

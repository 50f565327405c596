#include "X11KeyboardPoster.h"

#include "PostedKeyLedger.h"
#include "X11Connection.h"
#include "X11KeyTranslation.h"
#include "X11KeyboardHold.h"
#include "X11KeyboardLayout.h"
#include "X11ModifierAlignment.h"

#include <X11/Xlib.h>
#include <algorithm>

namespace {
// Lock keys are left as the user has them: the keys posted (Ctrl+V, Ctrl+End) mean the same with
// Caps Lock or Num Lock on, and toggling a lock shows on the keyboard's lights.
constexpr unsigned everyModifier = 0xFF;
}

X11KeyboardPoster::X11KeyboardPoster(
    std::shared_ptr<X11Connection> connection, const X11KeyboardLayout* layout, PostedKeyLedger& ledger)
    : m_connection(std::move(connection))
    , m_layout(layout)
    , m_ledger(ledger)
{
}

bool X11KeyboardPoster::isAvailable() const
{
    return m_connection && m_layout && m_connection->hasExtension("XTEST");
}

bool X11KeyboardPoster::post(qint64 process, const QList<SyntheticKeyEvent>& events)
{
    if (!isAvailable())
        return false;
    if (events.isEmpty())
        return true;
    if (process > 0) {
        const qint64 frontmost = m_connection->frontmostProcess();
        if (frontmost > 0 && frontmost != process)
            return false;
    }

    QList<unsigned> keyCodes;
    for (const SyntheticKeyEvent& event : events) {
        const KeySym symbol = X11KeyTranslation::symbolForKey(event.key);
        const unsigned keyCode = symbol ? m_layout->keyCodeOf(symbol) : 0;
        if (keyCode == 0)
            return false;
        keyCodes.append(keyCode);
    }

    // Keys go out through the hold's connection, which the hold's server grab lets through.
    Display* display = m_hold && m_hold->display() ? m_hold->display() : m_connection->display();
    // A paste meant for a field under the hold would come after keys the watchdog let through.
    if (m_hold && m_hold->endedByWatchdog())
        return false;
    X11ServerModifierKeyboard keyboard(display, *m_layout, m_ledger, events.first().tag);
    const auto bitsOf = [this](Qt::KeyboardModifiers modifiers) {
        unsigned bits = 0;
        bits |= modifiers.testFlag(Qt::ShiftModifier) ? unsigned(ShiftMask) : 0;
        bits |= modifiers.testFlag(Qt::ControlModifier) ? unsigned(ControlMask) : 0;
        bits |= modifiers.testFlag(Qt::AltModifier) ? m_layout->altMask() : 0;
        bits |= modifiers.testFlag(Qt::MetaModifier) ? m_layout->superMask() : 0;
        return bits;
    };
    for (const SyntheticKeyEvent& event : events) {
        if ((event.modifiers.testFlag(Qt::AltModifier) && m_layout->altMask() == 0)
            || (event.modifiers.testFlag(Qt::MetaModifier) && m_layout->superMask() == 0))
            return false;
    }

    if (m_hold)
        m_hold->suspend();
    X11ModifierAlignment alignment(keyboard, everyModifier & ~keyboard.lockBits());
    const bool settable = std::all_of(events.cbegin(), events.cend(),
        [&](const SyntheticKeyEvent& event) { return alignment.canSet(bitsOf(event.modifiers)); });
    if (settable) {
        for (qsizetype i = 0; i < events.size(); ++i) {
            const SyntheticKeyEvent& event = events.at(i);
            keyboard.setTag(event.tag);
            alignment.alignTo(bitsOf(event.modifiers));
            keyboard.send(keyCodes.at(i), event.press);
        }
        alignment.restore();
    }
    if (m_hold)
        m_hold->resume();
    XSync(display, False);
    return settable;
}

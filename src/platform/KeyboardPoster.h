#pragma once

#include <QList>
#include <Qt>

// One synthetic key event to post, in the vocabulary of InputEvent.
struct SyntheticKeyEvent {
    int key = 0; // Qt::Key
    bool press = true;
    // The modifiers the event carries, exactly: modifiers the user is holding at the time
    // do not add to them.
    Qt::KeyboardModifiers modifiers;
    // Comes back on every InputEvent this event causes, as `tag`.
    quint64 tag = 0;
};

// Posts synthetic keys as if typed on the keyboard. Main thread only.
class KeyboardPoster {
public:
    virtual ~KeyboardPoster() = default;

    // Posts the events, in order, to the application with that process id (X11 has no
    // per-process delivery: they go to the focused window, which is that application's
    // when the caller has just checked focus). All or nothing: when any event cannot be
    // made (no key for it in the layout, no connection), none is posted and the answer is
    // false. True means posted, not that the application acted on them. Everything the
    // posting causes, the modifier presses and releases included, reaches the EventSource
    // handler with `tag` = the event's `tag`.
    virtual bool post(qint64 process, const QList<SyntheticKeyEvent>& events) = 0;
    // Whether keys can be posted now. A keyboard that needs the user's leave first asks for it
    // here and answers false meanwhile, so that nothing is begun that only its keys could finish.
    virtual bool canPost() { return true; }
    // Whether keys posted earlier are still on their way to the desktop (a keyboard that hands
    // them over one at a time, each once the one before it was taken).
    virtual bool keysPending() const { return false; }
    // Takes back the posted keys not handed over yet; a key already pressed is still released,
    // so that none stays down. Answers how many presses of keys other than modifiers were taken
    // back: those never reach the application.
    virtual qsizetype withdrawPending() { return 0; }
    // Whether the desktop applies this keyboard's modifiers to the keys of the user's own
    // keyboards too (mutter keeps one modifier state for all keyboards of a seat): nothing may
    // then be posted with a modifier, or a key the user types meanwhile would carry it.
    virtual bool sharesModifierState() const { return false; }
    // Whether presses posted since the last withdrawPending() were refused on their way to the
    // desktop (a session that ended): they never reach the application, and withdrawPending()
    // counts them.
    virtual bool keysLost() const { return false; }
};

#pragma once

#include "Engine/ExpansionMatcher.h"
#include "Engine/ExpansionReplacement.h"
#include "Engine/SystemExpansionClipboard.h"
#include "platform/Desktop.h"
#include "platform/EventSource.h"

#include <QObject>
#include <functional>
#include <future>
#include <memory>
#include <optional>

class AccessibilityExpansionTarget;
class FieldTypingFollower;
struct InputEvent;

// Watches what the user types in other applications and replaces a typed trigger with its
// expansion. Characters count toward a trigger only while they are typed one after another
// into the same field with nothing in between: modifier shortcuts, autorepeat, navigation
// and editing keys, clicks, scrolls and application switches start afresh. The engine
// alters no event; while a replacement edits a field, the keys typed meanwhile are held back
// (when the desktop can) and reach the field, unchanged and in order, once it is done.
// Main thread only.
class TextExpansionEngine final : public QObject {
    Q_OBJECT
public:
    using ExpansionHandler
        = std::function<void(const QString& trigger, const QString& expansion, const QString& shortcutId)>;

    // Modifiers that turn a key into a shortcut rather than typing: Ctrl, Alt and Super; Shift
    // and Caps Lock type.
    static constexpr Qt::KeyboardModifiers resetModifiers = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    // Keys that move the caret or edit text where the engine cannot follow (Qt::Key).
    static const QList<int> resetKeys;
    // A key-down typing this many UTF-16 units or more is not typing.
    static constexpr qsizetype unicodeReadLimit = 256;
    // The desktop reports keys after the field has them, and a fast typist's next keys may be
    // in the field too by the time the engine reads its caret: a caret this many UTF-16 units
    // ahead of the run still continues it. The replacement looks at the caret and the
    // trigger's text itself before it touches anything.
    static constexpr qint64 fieldAheadAllowance = 8;
    // Saving the clipboard for longer than a fast typist's key takes leaves the engine behind.
    static constexpr qint64 slowSaveMilliseconds = 8;
    // A field busy with the keys typed before a run is at most this many UTF-16 units behind.
    static constexpr qint64 largestLag = 16;
    // Keys in a row within a run whose field does not answer in time (a busy application)
    // that the run goes on over.
    static constexpr int unansweredKeys = 2;

    // `desktop` must be complete and outlive the engine.
    explicit TextExpansionEngine(const Desktop& desktop = Desktop::current(), QObject* parent = nullptr);
    ~TextExpansionEngine() override;

    // (Re)starts with these shortcuts; `onExpansion` is called after each verified
    // replacement with the trigger, the expansion and the id of the shortcut they came from.
    // Without the desktop's permission the engine stays stopped.
    void start(const QList<Shortcut>& shortcuts, ExpansionHandler onExpansion);
    // Stops watching and resets typing. A replacement whose paste was already posted still
    // finishes and reports.
    void stop();
    // Stops for the program's end: a replacement under way that has not sent its paste yet is
    // first let come to its end, for at most `longestSeconds`, the event loop running
    // meanwhile without the user's input. Cut short, it would leave the trigger selected (the
    // keys held meanwhile, typed on release, and the user's next key replace it) and the
    // user's clipboard waiting for a paste that never comes. Nothing more expands meanwhile:
    // the trigger is left as typed.
    void stopForQuit(double longestSeconds = ExpansionReplacement::longestSeconds);
    // Resets typing, then takes the new shortcuts.
    void updateShortcuts(const QList<Shortcut>& shortcuts);

    // Watching and delivering events now.
    bool isRunning() const;

    // Counts every key-down and every typing reset (wrapping); a replacement belongs to
    // the keystroke that completed its trigger only while this has not moved. Keys that
    // reached the field behind a trigger before the hold began are not counted: the
    // replacement takes them along.
    quint64 generation() const { return m_generation; }
    // Waits for triggers still being read.
    const ExpansionMatcher& matcher();
    // Where the desktop reports typing through its fields (Wayland): what follows it; null
    // where keys are watched.
    FieldTypingFollower* fieldTyping() const { return m_fieldTyping.get(); }

    // From this many shortcuts on, reading every trigger again (at start-up, after an import)
    // happens on a worker thread; the first key that needs the triggers waits for it.
    static constexpr qsizetype backgroundReadSize = 2000;

private:
    // Takes the triggers read on the worker, once they are all read.
    void adoptReadMatcher();
    void invalidateTyping();
    void forgetCarets();
    void releaseKeyboard();
    void setupEventTap();
    void handleEvent(const InputEvent& event);
    void handleKeyDown(const InputEvent& event);
    // Follows a typed key into the focused field and the matcher.
    void acceptKey(const InputEvent& event);
    // Adds the key to the run and starts the replacement of a trigger it completes.
    void appendToRun(const QString& text, const std::shared_ptr<AccessibilityExpansionTarget>& target);
    // Reads the keys that reached the field during the replacement just ended, in order.
    void readKeysTypedDuringReplacement();
    // The field of the last key while it keeps the focus, checked with one question instead
    // of the several that finding a field takes.
    std::shared_ptr<AccessibilityExpansionTarget> focusedTarget();
    void startReplacement(
        const ExpansionMatcher::Entry& match, const std::shared_ptr<AccessibilityExpansionTarget>& target);

    Desktop m_desktop;
    bool m_tapInstalled = false;
    ExpansionMatcher m_matcher;
    std::future<std::unique_ptr<ExpansionMatcher>> m_readingMatcher;
    QList<Shortcut> m_readingSource;
    // The field the last key that may belong to a trigger went to; kept until typing is reset.
    std::shared_ptr<AccessibilityExpansionTarget> m_lastTarget;
    // Where the last target's caret stands once the last accepted key is applied.
    std::optional<qint64> m_expectedCaret;
    // The same if the field had applied the first key of this run before the engine read
    // its caret; kept while both readings fit what followed.
    std::optional<qint64> m_alternativeCaret;
    // UTF-16 units typed since the caret readings above began.
    qint64 m_runLength = 0;
    // UTF-16 units the field may not have applied yet when this run began: the keys typed
    // just before it, whose place in the field the engine did not look at.
    qint64 m_runLag = 0;
    // UTF-16 units typed since the engine last looked at a field.
    qint64 m_unlookedLength = 0;
    // Keys that reached the field during a replacement, before its hold began (a busy engine
    // reads keys late): the replacement pastes them back behind the expansion; read once it
    // has ended, they may begin the next trigger.
    QList<InputEvent> m_typedDuringReplacement;
    // The engine fell behind the keys of this run (saving the clipboard took long), so the
    // field may show keys the engine has not read yet; the replacement's own look at the
    // caret and the trigger's text decides.
    bool m_fieldMayRunAhead = false;
    // The selection the last accepted key found in its field; nothing when it did not answer.
    std::optional<TextRange> m_lastSelection;
    // Keys in a row of this run whose field did not answer in time.
    int m_unansweredKeys = 0;
    // UTF-16 units typed at the start of this run before its field first answered.
    qint64 m_unplacedLength = 0;
    quint64 m_generation = 0;
    // The program is ending: keys are no longer read as typing.
    bool m_ending = false;
    ExpansionHandler m_onExpansion;
    QMetaObject::Connection m_activationObserver;
    SystemExpansionClipboard m_clipboard;
    ExpansionReplacement m_replacement;
    std::unique_ptr<FieldTypingFollower> m_fieldTyping;
};

#pragma once

#include "FakePasteboard.h"
#include "FakeTextField.h"
#include "ScriptedEventSource.h"
#include "Utilities/Scheduler.h"
#include "platform/Accessibility.h"
#include "platform/AccessibilityTrust.h"
#include "platform/Desktop.h"
#include "platform/KeyboardHold.h"
#include "platform/KeyboardPoster.h"
#include "platform/PrimarySelection.h"
#include "platform/Workspace.h"

#include <QHash>
#include <QStringList>
#include <functional>
#include <memory>

class FakeDesktop;

class FakeTrust final : public AccessibilityTrust {
public:
    bool trusted = true;

    bool isProcessTrusted() override { return trusted; }
    bool requestTrust() override { return trusted; }
    QString untrustedReason() override { return trusted ? QString() : QStringLiteral("Not trusted in this test."); }
};

class FakeWorkspace final : public Workspace {
public:
    std::optional<qint64> frontmost;

    std::optional<qint64> frontmostProcessId() override { return frontmost; }
    // Brings the application to the front, as clicking one of its windows would.
    void activate(std::optional<qint64> process);
};

// The accessibility interface of the desktop: each application's focused element.
class FakeAccessibility final : public Accessibility {
public:
    bool secureInput = false;
    // The focused element of each application; an application without an entry is unknown,
    // one with a null entry has no focus.
    QHash<qint64, std::shared_ptr<FakeTextField>> focused;
    int focusRequests = 0;

    bool isSecureEventInputEnabled() override { return secureInput; }
    std::shared_ptr<AccessibleElement> focusedElement(qint64 process) override;
};

// Posts keys the way the desktop does: they come back to the event source marked, a bit
// later, and a paste key makes the focused field of the frontmost application paste the
// clipboard's text.
class FakeKeyboard final : public KeyboardPoster {
public:
    explicit FakeKeyboard(FakeDesktop& desktop)
        : m_desktop(desktop)
    {
    }

    bool refuses = false;
    QList<std::pair<qint64, SyntheticKeyEvent>> posted;
    // The next this many paste keys reach the field without their Ctrl, typing a plain "v".
    int losesControl = 0;
    // Keys the user types that reach the field just before the next paste keys (one entry each),
    // over their selection.
    QStringList typedBeforePaste;
    // Runs at each paste key as it reaches the field, before the field takes it.
    std::function<void()> onPasteKey;
    // Seconds posted keys take to reach the desktop (a keyboard that hands them over one at a
    // time); until then they can be taken back.
    double handOverSeconds = 0;
    // Seconds the keys behind the first of a series (End behind the paste key) take on their way
    // after it, as from a keyboard that sends each key once the one before was taken; until then
    // they can be taken back.
    double followingKeySeconds = 0;
    // A keyboard whose session has ended: it says so, or (`losesKeys`) takes keys and refuses
    // them on their way.
    bool sessionGone = false;
    bool losesKeys = false;
    // A keyboard that shares its modifiers with the user's (a desktop portal's): it pastes with
    // the paste key alone.
    bool sharesModifiers = false;

    bool post(qint64 process, const QList<SyntheticKeyEvent>& events) override;
    bool canPost() override { return !sessionGone; }
    bool keysPending() const override { return m_pendingPresses > 0; }
    qsizetype withdrawPending() override;
    bool keysLost() const override { return m_lostPresses > 0; }
    bool sharesModifierState() const override { return sharesModifiers; }

private:
    void deliver(const QList<SyntheticKeyEvent>& events);
    // Delivers the events after `seconds`, their presses pending (and taken back) until then.
    void deliverAfter(double seconds, const QList<SyntheticKeyEvent>& events, qsizetype presses);

    FakeDesktop& m_desktop;
    qsizetype m_pendingPresses = 0;
    qsizetype m_lostPresses = 0;
    quint64 m_handOvers = 0;
};

// Holds typed keys as an active keyboard grab does: while holding, FakeDesktop's keys wait
// here; on release (or when the longest hold is up) they are typed again one after another,
// so that a key that starts a new hold keeps the rest waiting behind it.
class FakePrimarySelection final : public PrimarySelection {
public:
    int saves = 0;
    int restores = 0;
    // Called at each save and restore, to look at the field at that moment.
    std::function<void()> onSave;
    std::function<void()> onRestore;

    void save() override
    {
        ++saves;
        if (onSave)
            onSave();
    }
    void restore() override
    {
        ++restores;
        if (onRestore)
            onRestore();
    }
};

class FakeKeyboardHold final : public KeyboardHold {
public:
    bool refuses = false;
    double longestSeconds = 0;
    quint64 userData = 0;

    bool hold(double longestSeconds, quint64 userData) override;
    void release() override;
    bool isHolding() const override { return m_holding; }
    void afterRelease(std::function<void()> work) override;

    // Keeps the key for later while holding; false when it goes on now.
    bool keep(std::function<void()> key);
    qsizetype heldCount() const { return m_held.size(); }

private:
    void typeNext();

    bool m_holding = false;
    QList<std::function<void()>> m_held;
    QList<std::function<void()>> m_afterRelease;
    ScheduledTask m_limit;
};

// A whole desktop of doubles, installed as the current desktop for its lifetime. Time moves
// only through the ManualScheduler the test creates.
class FakeDesktop {
public:
    static constexpr qint64 editorProcess = 4242;

    FakeDesktop();
    ~FakeDesktop();
    FakeDesktop(const FakeDesktop&) = delete;
    FakeDesktop& operator=(const FakeDesktop&) = delete;

    Desktop desktop();

    // A field focused in an application, which comes to the front.
    std::shared_ptr<FakeTextField> focusNewField(const QString& text = QString(), qint64 process = editorProcess);
    // Moves the application's focus to the element without changing the frontmost one.
    void focus(qint64 process, std::shared_ptr<FakeTextField> element);
    // The focused element of the frontmost application.
    std::shared_ptr<FakeTextField> focusedField();

    // One key-down typing `characters`; the focused field applies it in its own timing.
    void typeKey(const QString& text, int key = Qt::Key_unknown, Qt::KeyboardModifiers modifiers = {});
    // One key per character of `text`.
    void type(const QString& text);
    // A key-down that types nothing the engine reads (arrows, Return, ...).
    void press(int key, Qt::KeyboardModifiers modifiers = {});
    void changeModifiers(Qt::KeyboardModifiers modifiers);
    void mouseDown(InputEventType type = InputEventType::buttonPress);

    ScriptedEventSource events;
    FakeAccessibility accessibility;
    FakeTrust trust;
    FakeKeyboard keyboard{*this};
    FakeKeyboardHold keyboardHold;
    FakePrimarySelection primarySelection;
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
};

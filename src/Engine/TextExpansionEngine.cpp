#include "Engine/TextExpansionEngine.h"

#include "Engine/AccessibilityExpansionTarget.h"
#include "Engine/EngineLog.h"
#include "Engine/FieldTypingFollower.h"
#include "Engine/KeySimulator.h"
#include "Utilities/Scheduler.h"
#include "platform/EventSource.h"
#include "platform/KeyboardHold.h"
#include "platform/PrimarySelection.h"
#include "platform/Workspace.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <utility>

const QList<int> TextExpansionEngine::resetKeys = {
    Qt::Key_Return,
    Qt::Key_Tab,
    Qt::Key_Backspace,
    Qt::Key_Escape,
    Qt::Key_Enter,
    Qt::Key_Home,
    Qt::Key_PageUp,
    Qt::Key_Delete,
    Qt::Key_End,
    Qt::Key_PageDown,
    Qt::Key_Left,
    Qt::Key_Right,
    Qt::Key_Down,
    Qt::Key_Up,
};

namespace {
// How often a quit waiting for a replacement looks whether it has ended.
constexpr int quitLookMilliseconds = 5;

constexpr InputEventTypes watchedTypes = InputEventType::keyPress | InputEventType::modifiersChanged
    | InputEventType::buttonPress | InputEventType::scroll;

const Desktop& requireComplete(const Desktop& desktop)
{
    if (!desktop.isComplete())
        qFatal("TextExpansionEngine needs a complete Desktop; install one with Desktop::setCurrent first");
    return desktop;
}
} // namespace

TextExpansionEngine::TextExpansionEngine(const Desktop& desktop, QObject* parent)
    : QObject(parent)
    , m_desktop(requireComplete(desktop))
    , m_clipboard(*m_desktop.pasteboard)
    , m_replacement(m_clipboard, [this](double seconds, std::function<void()> work) {
        Scheduler::current().after(seconds, this, std::move(work));
    })
{
    if (m_desktop.textFieldEvents) {
        std::optional<FieldTypingFollower::Pasting> pasting;
        if (m_desktop.pastesIntoFields)
            pasting = FieldTypingFollower::Pasting{m_desktop, &m_replacement};
        m_fieldTyping = std::make_unique<FieldTypingFollower>(*m_desktop.textFieldEvents, m_matcher,
            [](QObject* context, std::function<void()> work) { Scheduler::current().after(0, context, std::move(work)); },
            pasting);
    }
}

TextExpansionEngine::~TextExpansionEngine()
{
    stop();
}

void TextExpansionEngine::start(const QList<Shortcut>& shortcuts, ExpansionHandler onExpansion)
{
    stop();
    m_onExpansion = std::move(onExpansion);
    updateShortcuts(shortcuts);
    if (m_fieldTyping) {
        m_fieldTyping->start([this](const QString& trigger, const QString& expansion, const QString& shortcutId) {
            if (m_onExpansion)
                m_onExpansion(trigger, expansion, shortcutId);
        });
        return;
    }
    setupEventTap();
    m_activationObserver = connect(m_desktop.workspace, &Workspace::applicationActivated, this, [this] {
        qCDebug(lcEngine) << "Typing reset: another application became active";
        invalidateTyping();
    });
}

void TextExpansionEngine::setupEventTap()
{
    m_tapInstalled
        = m_desktop.eventSource->install(watchedTypes, [this](const InputEvent& event) { handleEvent(event); });
}

void TextExpansionEngine::stop()
{
    invalidateTyping();
    if (m_fieldTyping)
        m_fieldTyping->stop();
    releaseKeyboard();
    if (m_tapInstalled)
        m_desktop.eventSource->remove();
    m_tapInstalled = false;
    if (m_activationObserver)
        disconnect(m_activationObserver);
    m_activationObserver = {};
}

void TextExpansionEngine::stopForQuit(double longestSeconds)
{
    // A replacement that no longer belongs to the latest keystroke takes no step toward a
    // paste: it puts the field and the clipboard back. One that has sent its paste keys is
    // not waited for: the clipboard keeper answers that paste once we have ended (a field
    // stalled meanwhile could answer our looks before it gets to the keys).
    m_ending = true;
    invalidateTyping();
    if (m_replacement.isBusy() && !m_replacement.hasSentPaste()) {
        const QDeadlineTimer deadline(qint64(longestSeconds * 1000));
        QEventLoop settling;
        QTimer look;
        connect(&look, &QTimer::timeout, &settling, [&] {
            if (!m_replacement.isBusy() || m_replacement.hasSentPaste() || deadline.hasExpired())
                settling.quit();
        });
        look.start(quitLookMilliseconds);
        settling.exec(QEventLoop::ExcludeUserInputEvents);
    }
    stop();
    m_ending = false;
}

void TextExpansionEngine::releaseKeyboard()
{
    if (m_desktop.keyboardHold)
        m_desktop.keyboardHold->release();
}

void TextExpansionEngine::updateShortcuts(const QList<Shortcut>& shortcuts)
{
    invalidateTyping();
    if (m_readingMatcher.valid() && m_readingSource.isSharedWith(shortcuts))
        return;
    adoptReadMatcher();
    // Reading fifty thousand triggers takes a good part of a second: not on the interface
    // thread. The fields' own reports (Wayland) reach the matcher without the engine, so
    // there it is read at once.
    if (!m_fieldTyping && shortcuts.size() >= backgroundReadSize && m_matcher.wouldRebuild(shortcuts)) {
        m_readingSource = shortcuts;
        m_readingMatcher = std::async(std::launch::async, [shortcuts] {
            auto matcher = std::make_unique<ExpansionMatcher>();
            matcher->update(shortcuts);
            return matcher;
        });
        return;
    }
    m_matcher.update(shortcuts);
}

void TextExpansionEngine::adoptReadMatcher()
{
    if (!m_readingMatcher.valid())
        return;
    m_matcher = std::move(*m_readingMatcher.get());
    m_readingSource = {};
}

const ExpansionMatcher& TextExpansionEngine::matcher()
{
    adoptReadMatcher();
    return m_matcher;
}

bool TextExpansionEngine::isRunning() const
{
    if (m_fieldTyping)
        return m_fieldTyping->isRunning();
    return m_tapInstalled && m_desktop.eventSource->isValid() && m_desktop.eventSource->isEnabled();
}

void TextExpansionEngine::invalidateTyping()
{
    ++m_generation;
    m_matcher.clearBuffer();
    if (m_fieldTyping)
        m_fieldTyping->resetTyping();
    m_lastTarget.reset();
    m_typedDuringReplacement.clear();
    forgetCarets();
}

void TextExpansionEngine::forgetCarets()
{
    m_unansweredKeys = 0;
    m_unplacedLength = 0;
    m_expectedCaret.reset();
    m_alternativeCaret.reset();
    m_runLength = 0;
    m_runLag = 0;
    m_fieldMayRunAhead = false;
}

void TextExpansionEngine::handleEvent(const InputEvent& event)
{
    if (event.tag == KeySimulator::marker || m_ending)
        return;
    adoptReadMatcher();
    switch (event.type) {
    case InputEventType::sourceDisabled:
        invalidateTyping();
        if (m_tapInstalled)
            m_desktop.eventSource->setEnabled(true);
        return;
    case InputEventType::keyPress: handleKeyDown(event); return;
    case InputEventType::modifiersChanged:
        if (event.modifiers & resetModifiers) {
            qCDebug(lcEngine) << "Typing reset: modifiers" << event.modifiers;
            invalidateTyping();
        }
        return;
    default:
        qCDebug(lcEngine) << "Typing reset: input event" << int(event.type);
        invalidateTyping();
        return;
    }
}

void TextExpansionEngine::handleKeyDown(const InputEvent& event)
{
    const bool typing = !(event.modifiers & resetModifiers) && !event.autorepeat && !resetKeys.contains(event.key);
    // Under the hold, a key still reaching the engine during a replacement went to the field in
    // the moment before the hold began (a busy engine reads keys late): it stands behind the
    // trigger, and the replacement takes it along. Without a hold, keys go on landing
    // anywhere, and no trigger among them is trusted.
    const bool heldBack = m_desktop.keyboardHold && m_desktop.keyboardHold->isHolding();
    if (m_replacement.isBusy() && typing && heldBack && !event.text.isEmpty()
        && m_typedDuringReplacement.size() < largestLag) {
        m_matcher.clearBuffer();
        m_lastTarget.reset();
        forgetCarets();
        m_typedDuringReplacement.append(event);
        return;
    }
    // Any other key-down makes a replacement that has not pasted yet stale.
    ++m_generation;
    if (m_replacement.isBusy() && typing)
        qCDebug(lcEngine).noquote() << "Typing reset: key" << event.text << "during a replacement, held back"
                                    << heldBack << "after" << m_typedDuringReplacement.size();
    if (m_replacement.isBusy() || !typing)
        return invalidateTyping();
    // A key that may complete a trigger holds the keyboard at once: the look at the field
    // below takes a few round trips to the application, and a key typed meanwhile would
    // land behind the trigger and stop its replacement. The clipboard is saved before that,
    // so that its owner, however slow, never keeps the keys held.
    const bool mayComplete = m_matcher.wouldMatch(event.text);
    if (mayComplete)
        m_replacement.prepare();
    const bool held = m_desktop.keyboardHold && mayComplete
        && m_desktop.keyboardHold->hold(ExpansionReplacement::longestSeconds, KeySimulator::marker);
    acceptKey(event);
    if (held && !m_replacement.isBusy())
        releaseKeyboard();
}

std::shared_ptr<AccessibilityExpansionTarget> TextExpansionEngine::focusedTarget()
{
    if (m_lastTarget && m_lastTarget->isFocusedAndEditable())
        return m_lastTarget;
    return AccessibilityExpansionTarget::focused(m_desktop);
}

void TextExpansionEngine::acceptKey(const InputEvent& event)
{
    const QString& text = event.text;
    if (text.size() < 1 || text.size() >= unicodeReadLimit)
        return invalidateTyping();
    // Where nothing typed so far can become part of a trigger, where this key went does not
    // matter: the field is left alone, and the next key that may begin a trigger starts a
    // new run. Most typing costs the other application nothing this way.
    if (!m_matcher.mayContinue(text)) {
        m_matcher.clearBuffer();
        forgetCarets();
        m_unlookedLength = std::min(m_unlookedLength + text.size(), largestLag);
        return;
    }
    // Within a placed run, a key that cannot complete a trigger only moves the caret the run
    // follows, so its field is asked for the caret alone. Where the focus is and whether the
    // field is still editable are asked again in full at a key that may complete a trigger,
    // before anything is touched; a field that changed meanwhile begins the run afresh there.
    const bool caretOnly = m_lastTarget && m_expectedCaret && !m_matcher.wouldMatch(text);
    std::shared_ptr<AccessibilityExpansionTarget> target = caretOnly ? m_lastTarget : focusedTarget();
    const std::optional<TextRange> selection = target ? target->selection() : std::nullopt;
    // A busy application may not answer within the messaging timeout. Within a run, its field
    // is then taken to have the key where the run so far says: the replacement looks at the
    // caret and the trigger's text itself before it touches anything.
    if (!selection && m_lastTarget && m_expectedCaret && m_unansweredKeys < unansweredKeys
        && (!target || target->isSameField(*m_lastTarget))) {
        qCDebug(lcEngine).noquote() << "The field did not answer at" << text << "; the run goes on";
        ++m_unansweredKeys;
        m_runLength += text.size();
        *m_expectedCaret += text.size();
        if (m_alternativeCaret)
            *m_alternativeCaret += text.size();
        m_lastSelection.reset();
        return appendToRun(text, m_lastTarget);
    }
    // At a run's first keys, the first key that is answered places the run.
    if (!selection && !m_expectedCaret && m_unansweredKeys < unansweredKeys
        && (!target || !m_lastTarget || target->isSameField(*m_lastTarget))) {
        qCDebug(lcEngine).noquote() << "The field did not answer at" << text << "; the run begins unplaced";
        if (m_unplacedLength == 0)
            m_matcher.clearBuffer();
        ++m_unansweredKeys;
        m_unplacedLength += text.size();
        // A trigger typed with no look at its field at all stays as typed.
        if (m_matcher.append(text))
            return invalidateTyping();
        m_replacement.prepare();
        return;
    }
    if (!target) {
        qCDebug(lcEngine).noquote() << "Typing reset: no editable field has the focus at" << text;
        return invalidateTyping();
    }
    if (!selection || selection->length != 0) {
        qCDebug(lcEngine).noquote() << "Typing reset: the field's selection at" << text << "is"
                                    << (selection
                                               ? QStringLiteral("%1+%2").arg(selection->location).arg(selection->length)
                                               : QStringLiteral("unreadable"));
        return invalidateTyping();
    }

    // The field may show this key already or not yet (the desktop reports keys as they go
    // to the application, not before), and a busy application may not even have applied
    // the run's earlier keys: its caret stands somewhere between the run's start and the
    // previous expectation plus this key's length. For the first key of a run both readings
    // stay open until a later key or the replacement's look at the field tells them apart.
    const qint64 location = selection->location;
    const qint64 length = text.size();
    QList<qint64> carets;
    if (m_lastTarget && target->isSameField(*m_lastTarget)) {
        for (const std::optional<qint64>& expected : {m_expectedCaret, m_alternativeCaret}) {
            const qint64 ahead = m_fieldMayRunAhead ? unicodeReadLimit : fieldAheadAllowance;
            if (expected && location >= *expected - m_runLength && location <= *expected + length + ahead)
                carets.append(*expected + length);
        }
    }
    if (carets.isEmpty()) {
        if (m_expectedCaret)
            qCDebug(lcEngine).noquote() << "Run begun afresh at" << text << ": caret" << location << "expected"
                                        << *m_expectedCaret << "or" << m_alternativeCaret.value_or(-1) << "after"
                                        << m_runLength << "units, ahead allowed" << m_fieldMayRunAhead;
        if (m_unplacedLength == 0)
            m_matcher.clearBuffer();
        m_runLength = 0;
        // The field may not have applied the keys typed just before, which went unread, nor
        // those of this run whose look went unanswered.
        m_runLag = m_unlookedLength + m_unplacedLength;
        m_unplacedLength = 0;
        carets.append(location + length);
        // A caret closer to the start than the key is long cannot stand behind that key.
        if (location >= length)
            carets.append(location);
    }
    m_lastTarget = target;
    m_unlookedLength = 0;
    m_unansweredKeys = 0;
    m_runLength += length;
    m_expectedCaret = carets.first();
    m_alternativeCaret = carets.size() > 1 ? std::optional<qint64>(carets.at(1)) : std::nullopt;

    m_lastSelection = *selection;
    appendToRun(text, target);
}

void TextExpansionEngine::appendToRun(const QString& text, const std::shared_ptr<AccessibilityExpansionTarget>& target)
{
    const std::optional<ExpansionMatcher::Entry> match = m_matcher.append(text);
    if (!match) {
        // Part of a trigger may be under way: save the clipboard now rather than at its
        // final key. A slow owner keeps the engine from reading the keys typed meanwhile,
        // which the field has applied already: its caret may then run ahead of this run.
        QElapsedTimer saving;
        saving.start();
        m_replacement.prepare();
        if (saving.elapsed() >= slowSaveMilliseconds)
            m_fieldMayRunAhead = true;
        return;
    }
    startReplacement(*match, target);
}

void TextExpansionEngine::startReplacement(
    const ExpansionMatcher::Entry& match, const std::shared_ptr<AccessibilityExpansionTarget>& target)
{
    const ExpansionPlan plan{match.trigger, match.expansion.toString(), *m_expectedCaret, m_alternativeCaret,
        m_lastSelection, m_runLength, m_runLag};
    const quint64 generation = m_generation;
    QPointer<TextExpansionEngine> self(this);
    // A hold that ends before the paste (the desktop let go of the keyboard while this process
    // was stopped) has let keys reach the field meanwhile: nothing is touched then.
    auto held = std::make_shared<bool>(false);
    auto isCurrent = [self, generation, held] {
        return self && self->isRunning() && self->m_generation == generation
            && (!*held || self->m_desktop.keyboardHold->isHolding());
    };
    // What the application does with an expansion (statistics, the floater) may take a
    // while: it runs once the keys held meanwhile have all reached the field.
    auto completed = [self, match] {
        if (!self || !self->m_onExpansion)
            return;
        auto report = [self, match] {
            if (self && self->m_onExpansion)
                self->m_onExpansion(match.trigger, match.expansion.toString(), match.shortcutId);
        };
        if (self->m_desktop.keyboardHold)
            self->m_desktop.keyboardHold->afterRelease(std::move(report));
        else
            report();
    };
    // The keys that reached the field behind the trigger since it was completed. Every key
    // the desktop handed to an application before the hold began has been reported by the
    // time this is asked, but perhaps not read yet: once read, the field is known to change
    // no more, and its look tells all.
    auto typedAfter = [self, from = m_typedDuringReplacement.size()] {
        if (self && self->m_desktop.eventSource)
            self->m_desktop.eventSource->readPending();
        QString text;
        for (qsizetype i = from; self && i < self->m_typedDuringReplacement.size(); ++i)
            text += self->m_typedDuringReplacement.at(i).text;
        return text;
    };
    auto ended = [self] {
        if (!self)
            return;
        self->m_replacement.afterPasteSettled([self] {
            if (self && self->m_desktop.primarySelection)
                self->m_desktop.primarySelection->restore();
        });
        // Still under the hold, so that they come before the keys it kept.
        self->readKeysTypedDuringReplacement();
        if (!self->m_replacement.isBusy())
            self->releaseKeyboard();
    };
    // Selecting the trigger makes some toolkits take the primary selection over.
    if (m_desktop.primarySelection)
        m_desktop.primarySelection->save();
    // The replacement may get as far as the paste, or end, before it returns: the run's carets
    // are the plan's from here on, and the hold is renewed first.
    forgetCarets();
    // From the trigger's final key until the paste is confirmed, a key reaching the field
    // would land inside the edit; held, it arrives after it, and is read as typing then.
    *held = m_desktop.keyboardHold
        && m_desktop.keyboardHold->hold(ExpansionReplacement::longestSeconds, KeySimulator::marker);
    if (m_desktop.keyboardHold && !*held)
        qCDebug(lcEngine) << "The keyboard could not be held for the replacement";
    if (!m_replacement.start(plan, target, isCurrent, completed, ended, typedAfter)) {
        qCDebug(lcEngine).noquote() << "Left" << match.trigger << "as typed: no replacement could start";
        releaseKeyboard();
    }
}

void TextExpansionEngine::readKeysTypedDuringReplacement()
{
    // Each goes through the same looks at the field as a key typed now; one that completes a
    // trigger starts its replacement, and the keys after it wait for that one in turn.
    for (const InputEvent& event : std::exchange(m_typedDuringReplacement, {})) {
        if (!m_ending)
            handleKeyDown(event);
    }
}

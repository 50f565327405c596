#include "FakeDesktop.h"

#include "Utilities/Scheduler.h"
#include "Utilities/Text.h"

#include <algorithm>
#include <utility>

void FakeWorkspace::activate(std::optional<qint64> process)
{
    frontmost = process;
    Q_EMIT applicationActivated();
}

std::shared_ptr<AccessibleElement> FakeAccessibility::focusedElement(qint64 process)
{
    ++focusRequests;
    return focused.value(process);
}

bool FakeKeyboard::post(qint64 process, const QList<SyntheticKeyEvent>& events)
{
    if (refuses)
        return false;
    for (const SyntheticKeyEvent& event : events)
        posted.append({process, event});
    const auto presses = std::count_if(
        events.cbegin(), events.cend(), [](const SyntheticKeyEvent& event) { return event.press; });
    if (losesKeys) {
        m_lostPresses += presses;
        return true;
    }
    if (handOverSeconds > 0) {
        deliverAfter(handOverSeconds, events, presses);
    } else if (followingKeySeconds > 0 && events.size() > 2) {
        const QList<SyntheticKeyEvent> first = events.mid(0, 2);
        deliver(first);
        deliverAfter(followingKeySeconds, events.mid(2),
            presses - std::count_if(first.cbegin(), first.cend(), [](const SyntheticKeyEvent& event) { return event.press; }));
    } else {
        deliver(events);
    }
    return true;
}

void FakeKeyboard::deliverAfter(double seconds, const QList<SyntheticKeyEvent>& events, qsizetype presses)
{
    m_pendingPresses += presses;
    Scheduler::current().after(seconds, nullptr, [this, events, presses, handOver = m_handOvers] {
        if (handOver != m_handOvers)
            return;
        m_pendingPresses -= presses;
        deliver(events);
    });
}

qsizetype FakeKeyboard::withdrawPending()
{
    ++m_handOvers;
    return std::exchange(m_pendingPresses, 0) + std::exchange(m_lostPresses, 0);
}

void FakeKeyboard::deliver(const QList<SyntheticKeyEvent>& events)
{
    // Keys go to the focused field of the application in front, whoever was meant.
    const std::shared_ptr<FakeTextField> field = m_desktop.focusedField();
    FakeDesktop* desktop = &m_desktop;
    for (const SyntheticKeyEvent& event : events) {
        if (!event.press)
            continue;
        Scheduler::current().after(0, nullptr, [desktop, event] {
            InputEvent seen;
            seen.type = InputEventType::keyPress;
            seen.key = event.key;
            seen.modifiers = event.modifiers;
            seen.tag = event.tag;
            seen.text = QStringLiteral("v");
            desktop->events.deliver(seen);
        });
        const bool end = event.key == Qt::Key_End
            && (event.modifiers == Qt::ControlModifier || (sharesModifiers && event.modifiers == Qt::NoModifier));
        const bool paste = (event.key == Qt::Key_V && event.modifiers == Qt::ControlModifier)
            || (sharesModifiers && event.key == Qt::Key_Paste && event.modifiers == Qt::NoModifier);
        if (field && field->pasteDelay && end) {
            Scheduler::current().after(field->handlesEndBeforePaste ? 0 : *field->pasteDelay, nullptr,
                [field] { field->moveCaret(field->text.size()); });
            continue;
        }
        if (paste && onPasteKey)
            onPasteKey();
        if (field && field->pasteDelay && paste) {
            if (!typedBeforePaste.isEmpty())
                field->insert(typedBeforePaste.takeFirst());
            if (losesControl > 0) {
                --losesControl;
                Scheduler::current().after(*field->pasteDelay, nullptr, [field] { field->insert(QStringLiteral("v")); });
                continue;
            }
            Scheduler::current().after(*field->pasteDelay, nullptr,
                [desktop, field] {
                    const QString pasted = desktop->pasteboard.pasteIntoOtherApplication();
                    field->insert(field->reshapesPaste ? field->reshapesPaste(pasted) : pasted);
                });
        }
    }
}

bool FakeKeyboardHold::hold(double longest, quint64 data)
{
    if (refuses)
        return false;
    m_holding = true;
    longestSeconds = longest;
    userData = data;
    m_limit.cancel();
    m_limit = Scheduler::current().after(longest, nullptr, [this] { release(); });
    return true;
}

void FakeKeyboardHold::release()
{
    if (!m_holding)
        return;
    m_holding = false;
    m_limit.cancel();
    typeNext();
}

bool FakeKeyboardHold::keep(std::function<void()> key)
{
    if (!m_holding)
        return false;
    m_held.append(std::move(key));
    return true;
}

void FakeKeyboardHold::afterRelease(std::function<void()> work)
{
    m_afterRelease.append(std::move(work));
    typeNext();
}

void FakeKeyboardHold::typeNext()
{
    Scheduler::current().after(0, nullptr, [this] {
        if (m_holding)
            return;
        if (m_held.isEmpty()) {
            for (const std::function<void()>& work : std::exchange(m_afterRelease, {}))
                work();
            return;
        }
        m_held.takeFirst()();
        typeNext();
    });
}

FakeDesktop::FakeDesktop()
{
    Desktop::setCurrent(desktop());
}

FakeDesktop::~FakeDesktop()
{
    Desktop::setCurrent(Desktop());
}

Desktop FakeDesktop::desktop()
{
    return Desktop{
        &events, &accessibility, &trust, &keyboard, &pasteboard, &workspace, &keyboardHold, &primarySelection};
}

std::shared_ptr<FakeTextField> FakeDesktop::focusNewField(const QString& text, qint64 process)
{
    auto field = std::make_shared<FakeTextField>(text);
    focus(process, field);
    if (workspace.frontmost != process)
        workspace.activate(process);
    return field;
}

void FakeDesktop::focus(qint64 process, std::shared_ptr<FakeTextField> element)
{
    accessibility.focused[process] = std::move(element);
}

std::shared_ptr<FakeTextField> FakeDesktop::focusedField()
{
    if (!workspace.frontmost)
        return nullptr;
    return accessibility.focused.value(*workspace.frontmost);
}

void FakeDesktop::typeKey(const QString& characters, int key, Qt::KeyboardModifiers modifiers)
{
    if (keyboardHold.keep([this, characters, key, modifiers] { typeKey(characters, key, modifiers); }))
        return;
    InputEvent event;
    event.type = InputEventType::keyPress;
    event.key = key;
    event.modifiers = modifiers;
    event.text = characters;
    const std::shared_ptr<FakeTextField> field = focusedField();
    if (field && field->appliesKeysBeforeSeen)
        field->insert(characters);
    events.deliver(event);
    if (!field || field->appliesKeysBeforeSeen)
        return;
    if (field->keyDelay > 0)
        Scheduler::current().after(field->keyDelay, nullptr, [field, characters] { field->insert(characters); });
    else
        field->insert(characters);
}

void FakeDesktop::type(const QString& text)
{
    for (const QString& character : Text::graphemes(text))
        typeKey(character);
}

void FakeDesktop::press(int key, Qt::KeyboardModifiers modifiers)
{
    if (keyboardHold.keep([this, key, modifiers] { press(key, modifiers); }))
        return;
    InputEvent event;
    event.type = InputEventType::keyPress;
    event.key = key;
    event.modifiers = modifiers;
    events.deliver(event);
}

void FakeDesktop::changeModifiers(Qt::KeyboardModifiers modifiers)
{
    if (keyboardHold.keep([this, modifiers] { changeModifiers(modifiers); }))
        return;
    InputEvent event;
    event.type = InputEventType::modifiersChanged;
    event.modifiers = modifiers;
    events.deliver(event);
}

void FakeDesktop::mouseDown(InputEventType type)
{
    InputEvent event;
    event.type = type;
    events.deliver(event);
}

#include "Engine/FieldPasteTarget.h"

#include "Engine/AccessibilityExpansionTarget.h"
#include "Engine/KeySimulator.h"
#include "platform/Accessibility.h"
#include "platform/KeyboardPoster.h"

std::shared_ptr<FieldPasteTarget> FieldPasteTarget::make(
    const Desktop& desktop, std::shared_ptr<EditableTextField> field, bool keysOvertakePaste)
{
    const std::optional<qint64> process = field->processId();
    if (!process)
        return nullptr;
    std::shared_ptr<AccessibleElement> element = desktop.accessibility->focusedElement(*process);
    if (!element)
        return nullptr;
    element->setMessagingTimeout(AccessibilityExpansionTarget::messagingTimeout);
    std::shared_ptr<FieldPasteTarget> target(
        new FieldPasteTarget(desktop, std::move(field), std::move(element), *process));
    target->m_keysOvertakePaste = keysOvertakePaste || target->m_element->handlesKeysBehindPasteFirst();
    const std::optional<FieldKind> kind = target->m_element->kind();
    if (!kind || *kind == FieldKind::password || !target->isFocusedAndEditable())
        return nullptr;
    // A keyboard still waiting for the user's leave leaves this trigger as typed; asking here,
    // at the first field that needs it, lets the user see why they are asked.
    if (!desktop.keyboard->canPost())
        return nullptr;
    return target;
}

FieldPasteTarget::FieldPasteTarget(const Desktop& desktop, std::shared_ptr<EditableTextField> field,
    std::shared_ptr<AccessibleElement> element, qint64 process)
    : m_desktop(desktop)
    , m_field(std::move(field))
    , m_element(std::move(element))
    , m_process(process)
{
}

bool FieldPasteTarget::isFocusedAndEditable()
{
    if (m_desktop.accessibility->isSecureEventInputEnabled())
        return false;
    const std::optional<EditableTextField::State> state = m_field->state();
    if (!state || !state->focused || !state->editable || state->kind == FieldKind::password)
        return false;
    // The element selected and read is still the one the application has focused.
    const std::shared_ptr<AccessibleElement> focused = m_desktop.accessibility->focusedElement(m_process);
    return focused && focused->isEqual(*m_element);
}

std::optional<TextRange> FieldPasteTarget::selection()
{
    const std::optional<TextRange> range = m_element->selectedRange();
    if (!range || range->location < 0 || range->length < 0)
        return std::nullopt;
    return range;
}

std::optional<QString> FieldPasteTarget::text(TextRange range)
{
    return m_element->textIn(range);
}

bool FieldPasteTarget::select(TextRange range)
{
    return isFocusedAndEditable() && m_element->select(range);
}

bool FieldPasteTarget::selectForPaste(TextRange range, qint64 lengthBefore)
{
    // The selection names the trigger by its place, so a key that reaches the field before the
    // selection stays where it was typed.
    const qint64 end = range.location + range.length;
    // A keyboard whose session has ended would leave the trigger selected for the next key.
    if (!canStillPaste())
        return false;
    const std::optional<TextRange> caret = isFocusedAndEditable() ? selection() : std::nullopt;
    const std::optional<qint64> count = caret ? m_field->characterCount() : std::nullopt;
    if (!caret || caret->length != 0 || !count)
        return false;
    // Typing at the end of the text, keys that reached the field since the range was found stand
    // behind it, and the caret behind them or, as Chromium reports it a moment after the text,
    // still short of them. The paste would leave the caret in front of them, where the next keys
    // would go: the caret goes to the end with the paste, in the same go, before any key typed
    // after it (at the end the caret may also be read short of the range's end). Elsewhere the
    // caret would not find its way back behind such keys: the text must not have grown.
    const bool atEnd = lengthBefore == end;
    const bool inPlace = atEnd
        ? *count >= end && caret->location <= *count && (caret->location >= end || *count == end)
        : caret->location == end && *count == lengthBefore;
    if (!inPlace)
        return false;
    // A paste that went with End and is made again from the same place over what it was to
    // replace, still there: the field handled End (and any key typed meanwhile) first, and
    // pasted where that left the caret.
    const std::optional<std::pair<TextRange, QString>> last = std::exchange(m_pastedWithEnd, std::nullopt);
    if (last && !m_keysOvertakePaste && range.location == last->first.location && range.length > last->first.length
        && m_element->textIn(range).value_or(QString()).startsWith(last->second))
        m_keysOvertakePaste = true;
    // Where keys behind the range are pasted again with it, the paste leaves the caret where it
    // was; keys that reached the field behind the range after it was found are looked for once
    // it is selected.
    m_selectedAtEnd = atEnd && !pastesKeysBehindAgain();
    if (m_selectedAtEnd && *count > end && m_desktop.keyboard->sharesModifierState()) {
        const std::optional<QString> behind = m_element->textIn(TextRange{end, *count - end});
        if (!behind || behind->contains(u'\n'))
            return false;
    }
    // What is selected is read only where a paste with End follows: the read comes after the
    // selection was asked for, and may find it not yet applied, which changes nothing of its text.
    if (!m_element->select(range))
        return false;
    m_selected.reset();
    if (m_selectedAtEnd)
        if (const std::optional<QString> selected = m_element->textIn(range))
            m_selected = std::make_pair(range, *selected);
    return true;
}

bool FieldPasteTarget::pastesOnceSelectionShows() const
{
    // Firefox takes the keys of a keyboard of our own (sway's) ahead of a selection asked for
    // just before them: its content process gives input precedence over the accessibility
    // request. The paste then landed where the caret stood, behind keys typed on, with the
    // trigger selected only afterwards ("Hi /sig okBest regards, Anna", 3 of 45 tries at 20 ms
    // per key): there the paste waits for the page to report the selection, which it does once
    // it has applied it.
    // Where End cannot go with the paste, keys behind the selection are taken into it once it
    // shows, before the paste.
    return !m_keysOvertakePaste
        && (!m_element->appliesSelectionBeforeLaterKeys() || !m_desktop.keyboard->sharesModifierState());
}

bool FieldPasteTarget::showsSelectionBeforeEarlierKeys() const
{
    // Gecko, whichever keyboard the keys come from: a space that had reached the page behind the
    // trigger before its selection was read only afterwards, and then put last behind the keys
    // typed on ("Hi /sig ok" became "Hi Best regards, Annaok " on sway).
    return m_element->appliesSelectionBeforeLaterKeys();
}

bool FieldPasteTarget::pastesKeysBehindAgain() const
{
    // Chromium, whose paste waits for the selection to show, pasted again in front of keys more
    // often so (13 and 10 tries of 45 against 5 and 4), and twice that paste did not arrive,
    // leaving the keys in front of the expansion, where End had left none of 90 out of order.
    return m_keysOvertakePaste
        || (m_desktop.keyboard->sharesModifierState() && m_element->appliesSelectionBeforeLaterKeys());
}

std::optional<qint64> FieldPasteTarget::textLength()
{
    return m_field->characterCount();
}

bool FieldPasteTarget::pasteSelection()
{
    if (!isFocusedAndEditable() || !post(m_selectedAtEnd))
        return false;
    m_pastedWithEnd = m_selectedAtEnd ? std::exchange(m_selected, std::nullopt) : std::nullopt;
    return true;
}

bool FieldPasteTarget::paste()
{
    return isFocusedAndEditable() && post(false);
}

bool FieldPasteTarget::post(bool goToEnd)
{
    m_pastePresses = 0;
    const bool posted = m_desktop.keyboard->sharesModifierState()
        ? KeySimulator::pasteWithoutModifiers(*m_desktop.keyboard, m_process, goToEnd)
        : goToEnd ? KeySimulator::pasteAndGoToEnd(*m_desktop.keyboard, m_process)
                  : KeySimulator::paste(*m_desktop.keyboard, m_process);
    if (posted)
        m_pastePresses = goToEnd ? 2 : 1;
    return posted;
}

bool FieldPasteTarget::pasteKeysPending()
{
    return m_desktop.keyboard->keysPending();
}

bool FieldPasteTarget::canStillPaste()
{
    return m_desktop.keyboard->canPost();
}

bool FieldPasteTarget::pasteLost()
{
    return m_desktop.keyboard->keysLost();
}

bool FieldPasteTarget::withdrawPaste()
{
    const qsizetype withdrawn = m_desktop.keyboard->withdrawPending();
    const bool pasteWithdrawn = m_pastePresses > 0 && withdrawn >= m_pastePresses;
    m_pastePresses = 0;
    return pasteWithdrawn;
}

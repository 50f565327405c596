#include "Engine/AccessibilityExpansionTarget.h"

#include "Engine/KeySimulator.h"
#include "Utilities/Scheduler.h"
#include "platform/Accessibility.h"
#include "platform/AccessibilityTrust.h"
#include "platform/KeyboardHold.h"
#include "platform/Workspace.h"

#include <QCoreApplication>

AccessibilityExpansionTarget::AccessibilityExpansionTarget(
    const Desktop& desktop, std::shared_ptr<AccessibleElement> element, qint64 process)
    : m_desktop(desktop)
    , m_element(std::move(element))
    , m_process(process)
{
}

std::shared_ptr<AccessibilityExpansionTarget> AccessibilityExpansionTarget::focused(const Desktop& desktop)
{
    if (!desktop.trust->isProcessTrusted() || desktop.accessibility->isSecureEventInputEnabled())
        return nullptr;
    const std::optional<qint64> frontmost = desktop.workspace->frontmostProcessId();
    if (!frontmost || *frontmost == QCoreApplication::applicationPid())
        return nullptr;
    std::shared_ptr<AccessibleElement> element = desktop.accessibility->focusedElement(*frontmost);
    if (!element)
        return nullptr;
    element->setMessagingTimeout(messagingTimeout);
    std::shared_ptr<AccessibilityExpansionTarget> target(
        new AccessibilityExpansionTarget(desktop, std::move(element), *frontmost));
    return target->isEditable() ? target : nullptr;
}

bool AccessibilityExpansionTarget::isEditable()
{
    const std::optional<FieldKind> kind = m_element->kind();
    const qint64 ownProcess = QCoreApplication::applicationPid();

    // What makes a field is what it offers, an editable text with a caret, whatever its kind:
    // browsers show their fields as entries, sections or documents, office suites as
    // paragraphs. Only an element that does not say what it is stays out, and a password
    // field is never touched.
    return !m_desktop.accessibility->isSecureEventInputEnabled() && m_process != ownProcess && kind
        && *kind != FieldKind::password && isEnabledAndSettable(*m_element) && selection().has_value();
}

bool AccessibilityExpansionTarget::isEnabledAndSettable(AccessibleElement& element)
{
    // Elements that do not report whether they are enabled are taken as enabled; only an
    // explicit "disabled" rejects.
    return element.isEnabled().value_or(true) && element.isEditable().value_or(false);
}

bool AccessibilityExpansionTarget::isSameField(const AccessibilityExpansionTarget& other) const
{
    return m_process == other.m_process && m_element->isEqual(*other.m_element);
}

AccessibilityExpansionTarget::Turn& AccessibilityExpansionTarget::thisTurn()
{
    if (!m_turn || m_turn->over) {
        m_turn = std::make_shared<Turn>();
        Scheduler::current().after(0, nullptr, [turn = std::weak_ptr<Turn>(m_turn)] {
            if (const std::shared_ptr<Turn> ended = turn.lock())
                ended->over = true;
        });
    }
    return *m_turn;
}

bool AccessibilityExpansionTarget::isFocusedAndEditable()
{
    if (m_turn && !m_turn->over)
        m_turn->focusConfirmed = false;
    if (!m_desktop.trust->isProcessTrusted() || m_desktop.accessibility->isSecureEventInputEnabled()
        || m_desktop.workspace->frontmostProcessId() != m_process)
        return false;
    const std::shared_ptr<AccessibleElement> current = m_desktop.accessibility->focusedElement(m_process);
    if (!current || !current->isEqual(*m_element))
        return false;
    current->setMessagingTimeout(messagingTimeout);
    const bool editable = isEnabledAndSettable(*current);
    thisTurn().focusConfirmed = editable;
    return editable;
}

std::optional<TextRange> AccessibilityExpansionTarget::selection()
{
    if (m_turn && !m_turn->over && m_turn->selection)
        return m_turn->selection;
    const std::optional<TextRange> range = m_element->selectedRange();
    if (!range || range->location < 0 || range->length < 0)
        return std::nullopt;
    return range;
}

std::optional<QString> AccessibilityExpansionTarget::text(TextRange range)
{
    return m_element->textIn(range);
}

bool AccessibilityExpansionTarget::select(TextRange range)
{
    if (!focusConfirmedThisTurn() && !isFocusedAndEditable())
        return false;
    Turn& turn = thisTurn();
    turn.selection.reset();
    // Asked for, the selection may be applied even when the answer does not come: from then on
    // until the paste goes out over it, held keys let go of without us would type over it.
    if (m_desktop.keyboardHold && range.length > 0)
        m_desktop.keyboardHold->setSelectionAwaitingPaste(true);
    if (!m_element->select(range))
        return false;
    if (m_desktop.keyboardHold && range.length == 0)
        m_desktop.keyboardHold->setSelectionAwaitingPaste(false);
    if (m_element->appliesSelectionAtOnce())
        turn.selection = range;
    return true;
}

bool AccessibilityExpansionTarget::paste()
{
    if (!(focusConfirmedThisTurn() || isFocusedAndEditable()))
        return false;
    if (m_desktop.keyboardHold)
        m_desktop.keyboardHold->setPasteGoingOut(true);
    if (!KeySimulator::paste(*m_desktop.keyboard, m_process)) {
        if (m_desktop.keyboardHold)
            m_desktop.keyboardHold->setPasteGoingOut(false);
        return false;
    }
    // The paste keys are on their way over the selection, ahead of any key let go of later.
    if (m_desktop.keyboardHold)
        m_desktop.keyboardHold->setSelectionAwaitingPaste(false);
    return true;
}

std::optional<QString> AccessibilityExpansionTarget::textToCaretInFocusedElement()
{
    if (!m_desktop.trust->isProcessTrusted() || m_desktop.accessibility->isSecureEventInputEnabled()
        || m_desktop.workspace->frontmostProcessId() != m_process)
        return std::nullopt;
    const std::shared_ptr<AccessibleElement> current = m_desktop.accessibility->focusedElement(m_process);
    if (!current || current->isEqual(*m_element))
        return std::nullopt;
    current->setMessagingTimeout(messagingTimeout);
    if (current->kind() == FieldKind::password || !isEnabledAndSettable(*current))
        return std::nullopt;
    const std::optional<TextRange> caret = current->selectedRange();
    if (!caret || caret->length != 0 || caret->location < 0)
        return std::nullopt;
    return current->textIn(TextRange{0, caret->location});
}

std::shared_ptr<ExpansionTarget> AccessibilityExpansionTarget::focusedElementInstead()
{
    if (m_element->selectedRange() || !m_desktop.trust->isProcessTrusted()
        || m_desktop.workspace->frontmostProcessId() != m_process)
        return nullptr;
    std::shared_ptr<AccessibleElement> current = m_desktop.accessibility->focusedElement(m_process);
    if (!current || current->isEqual(*m_element))
        return nullptr;
    current->setMessagingTimeout(messagingTimeout);
    std::shared_ptr<AccessibilityExpansionTarget> instead(
        new AccessibilityExpansionTarget(m_desktop, std::move(current), m_process));
    return instead->isEditable() ? instead : nullptr;
}

#include "FakeTextField.h"

#include "Utilities/Scheduler.h"

FakeTextField::FakeTextField(const QString& initialText)
    : text(initialText)
    , selection{initialText.size(), 0}
{
}

void FakeTextField::insert(const QString& typed)
{
    text.replace(selection.location, selection.length, typed);
    selection = TextRange{selection.location + typed.size(), 0};
}

bool FakeTextField::contains(TextRange range) const
{
    return range.location >= 0 && range.length >= 0 && range.location + range.length <= text.size();
}

AccessibilityValue FakeTextField::attributeValue(QLatin1StringView attribute)
{
    ++m_queries;
    ++m_reads[QString(attribute)];
    if (attribute == AX::selectedTextRange)
        return selectionAnswer ? *selectionAnswer : AccessibilityValue(selection);
    if (attribute == AX::role)
        return role;
    if (attribute == AX::subrole)
        return subrole;
    if (attribute == AX::enabled)
        return enabled;
    return {};
}

std::optional<bool> FakeTextField::isAttributeSettable(QLatin1StringView attribute)
{
    ++m_queries;
    if (attribute == AX::selectedTextRange)
        return selectionSettable;
    return false;
}

AccessibilityValue FakeTextField::parameterizedAttributeValue(QLatin1StringView attribute,
    const AccessibilityValue& parameter)
{
    ++m_queries;
    const TextRange* range = std::get_if<TextRange>(&parameter);
    if (attribute != AX::stringForRange || !range || !contains(*range))
        return {};
    return text.mid(range->location, range->length);
}

bool FakeTextField::setAttributeValue(QLatin1StringView attribute, const AccessibilityValue& value)
{
    ++m_queries;
    const TextRange* range = std::get_if<TextRange>(&value);
    if (attribute != AX::selectedTextRange || !range || refusesSelection || !selectionSettable.value_or(false)
        || !contains(*range))
        return false;
    if (unansweredSelections > 0) {
        --unansweredSelections;
        return false;
    }
    applySelection(*range);
    return true;
}

void FakeTextField::applySelection(TextRange range)
{
    if (!selectionDelay)
        return;
    if (*selectionDelay <= 0 && m_pendingSelections == 0) {
        selection = range;
        return;
    }
    ++m_pendingSelections;
    Scheduler::current().after(*selectionDelay, nullptr, [field = weak_from_this(), range] {
        if (const std::shared_ptr<FakeTextField> self = field.lock()) {
            --self->m_pendingSelections;
            self->selection = range;
        }
    });
}

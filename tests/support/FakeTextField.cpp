#include "FakeTextField.h"

#include "Utilities/Scheduler.h"

#include <utility>

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

void FakeTextField::ask(Question question)
{
    ++m_queries;
    ++m_reads[question];
}

std::optional<FieldKind> FakeTextField::kind()
{
    ask(Question::kind);
    return fieldKind;
}

std::optional<bool> FakeTextField::isEnabled()
{
    ask(Question::enabled);
    return enabled;
}

std::optional<bool> FakeTextField::isEditable()
{
    ask(Question::editable);
    return editable;
}

std::optional<TextRange> FakeTextField::selectedRange()
{
    ask(Question::selection);
    const std::optional<TextRange> read = selectionAnswer ? *selectionAnswer : std::optional(selection);
    if (afterSelectionRead)
        std::exchange(afterSelectionRead, nullptr)();
    return read;
}

std::optional<QString> FakeTextField::textIn(TextRange range)
{
    ask(Question::text);
    if (!contains(range))
        return std::nullopt;
    const QString read = text.mid(range.location, range.length);
    if (afterTextRead)
        std::exchange(afterTextRead, nullptr)();
    return read;
}

bool FakeTextField::select(TextRange range)
{
    ask(Question::select);
    if (refusesSelection || !editable.value_or(false) || !contains(range))
        return false;
    if (unansweredSelections > 0) {
        --unansweredSelections;
        return false;
    }
    if (onSelect)
        std::exchange(onSelect, nullptr)(range);
    applySelection(range);
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
            if (const std::function<void()> before = std::exchange(self->beforeSelectionApplies, {}))
                before();
            // Text taken away meanwhile leaves the part of the range that is still there (Firefox).
            const qint64 size = self->text.size();
            const qint64 from = std::min(range.location, size);
            self->selection = TextRange{from, std::min(range.location + range.length, size) - from};
        }
    });
}

#include "AtspiElement.h"

#include "AtspiCaretLook.h"
#include "AtspiFieldKind.h"
#include "AtspiRequestCounter.h"

#include <atspi/atspi.h>
#include <cmath>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace {

// The state set, or null when the application did not answer (a failed request comes back as
// a set holding only DEFUNCT).
AtspiStateSet* stateSetOf(AtspiAccessible* accessible)
{
    AtspiRequestCounter::note();
    AtspiStateSet* states = atspi_accessible_get_state_set(accessible);
    if (states && atspi_state_set_contains(states, ATSPI_STATE_DEFUNCT)) {
        g_object_unref(states);
        return nullptr;
    }
    return states;
}

bool hasTextInterface(AtspiAccessible* accessible)
{
    AtspiText* text = atspi_accessible_get_text_iface(accessible);
    if (!text)
        return false;
    g_object_unref(text);
    return true;
}

bool succeeded(GError*& error)
{
    if (!error)
        return true;
    g_clear_error(&error);
    return false;
}

}

AtspiElement::AtspiElement(AtspiAccessible* accessible, AtspiStateSet* states, qint64 process,
    std::shared_ptr<AtspiTextOffsets::Unit> unit, Toolkit toolkit, bool keysOvertakePaste)
    : m_accessible(static_cast<AtspiAccessible*>(g_object_ref(accessible)))
    , m_toolkit(toolkit)
    , m_keysOvertakePaste(keysOvertakePaste)
    , m_process(process)
    , m_unit(std::move(unit))
{
    if (states) {
        m_states = static_cast<AtspiStateSet*>(g_object_ref(states));
        m_statesExpiry = QDeadlineTimer(stateLifetimeMilliseconds);
    }
}

AtspiElement::~AtspiElement()
{
    if (m_states)
        g_object_unref(m_states);
    if (m_textHolder)
        g_object_unref(m_textHolder);
    g_object_unref(m_accessible);
}

AtspiStateSet* AtspiElement::states()
{
    if (m_states && !m_statesExpiry.hasExpired())
        return m_states;
    if (m_states)
        g_object_unref(m_states);
    m_states = stateSetOf(m_accessible);
    m_statesExpiry = QDeadlineTimer(stateLifetimeMilliseconds);
    return m_states;
}

std::optional<int> AtspiElement::atspiRole()
{
    if (!m_role) {
        GError* error = nullptr;
        AtspiRequestCounter::note();
        const AtspiRole role = atspi_accessible_get_role(m_accessible, &error);
        if (succeeded(error))
            m_role = role;
    }
    return m_role;
}

bool AtspiElement::isReachable() const
{
    // A request to this process's own tree would wait for the thread that is making it.
    return m_process != qint64(getpid());
}

void AtspiElement::setMessagingTimeout(double seconds)
{
    const int milliseconds = std::max(1, int(std::lround(seconds * 1000)));
    s_timeoutMilliseconds = milliseconds;
    atspi_set_timeout(milliseconds, milliseconds);
}

std::optional<FieldKind> AtspiElement::kind()
{
    const std::optional<int> known = isReachable() ? atspiRole() : std::nullopt;
    if (!known)
        return std::nullopt;
    const bool textRole = *known == ATSPI_ROLE_ENTRY || *known == ATSPI_ROLE_TEXT;
    AtspiStateSet* current = textRole ? states() : nullptr;
    const FieldKind kind = atspiFieldKind(*known, current && atspi_state_set_contains(current, ATSPI_STATE_MULTI_LINE));
    // A GTK 4 line that is not proven to show its text may be hiding a password.
    if (kind == FieldKind::singleLine && m_toolkit == Toolkit::gtk4 && !atspiShowsItsText(m_accessible).value_or(false))
        return FieldKind::password;
    return kind;
}

bool AtspiElement::isEditableByToolkit()
{
    switch (m_toolkit) {
    case Toolkit::other:
    case Toolkit::gtk3:
    case Toolkit::gtk4:
    case Toolkit::gecko:
    case Toolkit::qt: return true;
    case Toolkit::unknown: return false;
    }
    return false;
}

std::optional<bool> AtspiElement::isEnabled()
{
    // GTK 4 reports only "sensitive", LibreOffice only "enabled"; a disabled field has neither.
    AtspiStateSet* current = isReachable() ? states() : nullptr;
    if (!current)
        return std::nullopt;
    return atspi_state_set_contains(current, ATSPI_STATE_ENABLED)
        || atspi_state_set_contains(current, ATSPI_STATE_SENSITIVE);
}

AtspiAccessible* AtspiElement::textHolder()
{
    if (m_textHolder)
        return m_textHolder;
    // Only Gecko is known to keep the caret below the focused element; elsewhere the look
    // would cost two requests for nothing.
    if (m_toolkit != Toolkit::gecko)
        return m_textHolder = static_cast<AtspiAccessible*>(g_object_ref(m_accessible));
    // Nested editable regions go a few levels deep at most; the bound keeps a cycle out.
    constexpr int deepest = 8;
    auto* holder = static_cast<AtspiAccessible*>(g_object_ref(m_accessible));
    for (int depth = 0; depth < deepest; ++depth) {
        AtspiHypertext* hypertext = atspi_accessible_get_hypertext_iface(holder);
        if (!hypertext)
            break;
        GError* error = nullptr;
        AtspiRequestCounter::note();
        const gint caret = atspi_text_get_caret_offset(ATSPI_TEXT(holder), &error);
        AtspiAccessible* child = nullptr;
        if (succeeded(error) && caret >= 0) {
            AtspiRequestCounter::note();
            gchar* atCaret = atspi_text_get_text(ATSPI_TEXT(holder), caret, caret + 1, &error);
            const bool embedded = succeeded(error) && atCaret && QString::fromUtf8(atCaret) == QChar(0xFFFC);
            g_free(atCaret);
            gint index = -1;
            if (embedded) {
                AtspiRequestCounter::note();
                index = atspi_hypertext_get_link_index(hypertext, caret, &error);
            }
            if (succeeded(error) && index >= 0) {
                AtspiRequestCounter::note();
                if (AtspiHyperlink* link = atspi_hypertext_get_link(hypertext, index, &error)) {
                    AtspiRequestCounter::note();
                    child = atspi_hyperlink_get_object(link, 0, &error);
                    g_object_unref(link);
                }
                succeeded(error);
            }
        }
        g_object_unref(hypertext);
        // The caret stands in front of an embedded object (an image, a link) of this text
        // rather than inside it unless the object has a caret of its own.
        bool descend = false;
        if (child && hasTextInterface(child)) {
            AtspiRequestCounter::note();
            descend = atspi_text_get_caret_offset(ATSPI_TEXT(child), &error) >= 0 && succeeded(error);
            succeeded(error);
        }
        if (!descend) {
            if (child)
                g_object_unref(child);
            break;
        }
        g_object_unref(holder);
        holder = child;
    }
    m_textHolder = holder;
    return m_textHolder;
}

std::optional<bool> AtspiElement::isEditable()
{
    if (!isReachable())
        return std::nullopt;
    AtspiStateSet* current = states();
    if (!current)
        return std::nullopt;
    return atspi_state_set_contains(current, ATSPI_STATE_EDITABLE) && hasTextInterface(m_accessible)
        && isEditableByToolkit();
}

std::optional<QString> AtspiElement::textBetween(qint64 start, qint64 end)
{
    GError* error = nullptr;
    AtspiRequestCounter::note();
    gchar* text = atspi_text_get_text(ATSPI_TEXT(textHolder()), gint(start), gint(end), &error);
    if (!succeeded(error) || !text)
        return std::nullopt;
    QString result = QString::fromUtf8(text, qsizetype(std::strlen(text)));
    g_free(text);
    return result;
}

std::optional<AtspiElement::Stretch> AtspiElement::stretch(
    qint64 from, qint64 to, std::optional<Anchor> anchor, bool withinText)
{
    // From the field's start, or from the last place converted when that is nearer: typing
    // moves the caret a few characters at a time, however long the text before it.
    if (!anchor) {
        const qint64 fromStart = to;
        const qint64 fromAnchor
            = m_anchor ? std::max(to, m_anchor->offset) - std::min(from, m_anchor->offset) : fromStart;
        anchor = fromAnchor < fromStart ? *m_anchor : Anchor{};
    }
    const qint64 start = std::min(from, anchor->offset);
    const qint64 end = std::max(to, anchor->offset);
    // The caret where the last look left it needs no look at all.
    std::optional<QString> text = start == end ? QString() : textBetween(start, end);
    std::optional<AtspiTextOffsets::Unit> unit;
    qint64 reached = end;
    if (text && withinText) {
        unit = AtspiTextOffsets::unitOf(*text, end - start, *m_unit);
    } else if (text) {
        // The end may lie beyond the field's end, where the text's length says nothing about
        // the unit; what came back is what there is.
        unit = *m_unit;
        reached = start + AtspiTextOffsets::fromUtf16(*text, text->size(), *m_unit).value_or(end - start);
    }
    const std::optional<qint64> anchorIndex = unit && anchor->offset <= reached
        ? AtspiTextOffsets::toUtf16(*text, anchor->offset - start, *unit)
        : std::nullopt;
    if (!anchorIndex) {
        m_anchor.reset();
        return std::nullopt;
    }
    *m_unit = *unit;
    if (*unit == AtspiTextOffsets::Unit::utf16) {
        m_anchor.reset();
        return Stretch{std::move(*text), start, start};
    }
    Stretch result{std::move(*text), start, anchor->utf16 - *anchorIndex};
    m_anchor = Anchor{reached, result.origin + result.text.size()};
    return result;
}

std::optional<AtspiElement::Stretch> AtspiElement::stretchOf(const TextRange& range)
{
    const qint64 end = range.location + range.length;
    if (*m_unit == AtspiTextOffsets::Unit::utf16) {
        // One unit more in front tells whether the range begins inside a surrogate pair (its
        // end is not read beyond: a text edit answers nothing for a range past its text).
        const qint64 start = std::max<qint64>(0, range.location - 1);
        const std::optional<QString> text = textBetween(start, end);
        if (!text)
            return std::nullopt;
        return Stretch{*text, start, start};
    }
    // An application unit never stands for fewer UTF-16 units, so reading as many units as
    // the range is away from the anchor reaches it.
    auto around = [&](const Anchor& anchor) {
        return std::pair{std::max<qint64>(0, anchor.offset - std::max<qint64>(0, anchor.utf16 - range.location)),
            anchor.offset + std::max<qint64>(0, end - anchor.utf16)};
    };
    const bool nearer = m_anchor && around(*m_anchor).second - around(*m_anchor).first < end;
    const Anchor anchor = nearer ? *m_anchor : Anchor{};
    const auto [from, to] = around(anchor);
    std::optional<Stretch> read = stretch(from, to, anchor, false);
    // The text before the anchor may have changed without a key the engine saw.
    if (!read && nearer)
        return stretchOf(range);
    return read;
}

std::optional<qint64> AtspiElement::Stretch::indexOf(qint64 utf16) const
{
    const qint64 index = utf16 - origin;
    if (index < 0 || index > text.size()
        || (index > 0 && index < text.size() && text.at(index).isLowSurrogate()
            && text.at(index - 1).isHighSurrogate()))
        return std::nullopt;
    return index;
}

std::optional<TextRange> AtspiElement::selectedRange()
{
    if (!isReachable() || !hasTextInterface(textHolder()))
        return std::nullopt;
    AtspiText* text = ATSPI_TEXT(textHolder());
    GError* error = nullptr;
    bool asked = false;
    const std::optional<AtspiCaretLook> look = lookAtCaret(textHolder(), s_timeoutMilliseconds, asked);
    if (asked && !look)
        return {};
    gint caret = look ? look->caret : 0;
    gint selections = look ? look->selections : 0;
    if (!asked) {
        AtspiRequestCounter::note();
        caret = atspi_text_get_caret_offset(text, &error);
        if (!succeeded(error))
            return {};
        AtspiRequestCounter::note();
        selections = atspi_text_get_n_selections(text, &error);
        if (!succeeded(error))
            return {};
    }
    m_selections = selections;
    qint64 start = caret;
    qint64 end = caret;
    if (selections > 0) {
        AtspiRequestCounter::note();
        AtspiRange* range = atspi_text_get_selection(text, 0, &error);
        if (!succeeded(error) || !range)
            return {};
        if (range->start_offset != range->end_offset) {
            start = std::min(range->start_offset, range->end_offset);
            end = std::max(range->start_offset, range->end_offset);
        }
        g_free(range);
    }
    // Offsets in UTF-16 units need no conversion, and no look at the text.
    if (start < 0 || end < 0 || *m_unit == AtspiTextOffsets::Unit::utf16)
        return TextRange{start, end - start};
    const bool anchored = m_anchor.has_value();
    std::optional<Stretch> read = stretch(start, std::max<qint64>(end, caret), std::nullopt, true);
    // The text before the anchor may have changed without a key the engine saw.
    if (!read && anchored)
        read = stretch(start, std::max<qint64>(end, caret), Anchor{}, true);
    if (!read)
        return {};
    const std::optional<qint64> location = AtspiTextOffsets::toUtf16(read->text, start - read->start, *m_unit);
    const std::optional<qint64> finish = AtspiTextOffsets::toUtf16(read->text, end - read->start, *m_unit);
    if (!location || !finish)
        return {};
    return TextRange{read->origin + *location, *finish - *location};
}

std::optional<QString> AtspiElement::textIn(TextRange range)
{
    if (!isReachable() || range.location < 0 || range.length < 0 || !hasTextInterface(textHolder()))
        return std::nullopt;
    const std::optional<Stretch> read = stretchOf(range);
    const std::optional<qint64> first = read ? read->indexOf(range.location) : std::nullopt;
    const std::optional<qint64> last = read ? read->indexOf(range.location + range.length) : std::nullopt;
    if (!first || !last)
        return {};
    return read->text.mid(*first, range.length);
}

bool AtspiElement::select(TextRange range)
{
    if (!isReachable() || range.location < 0 || range.length < 0 || !hasTextInterface(textHolder()))
        return false;
    const qint64 end = range.location + range.length;
    std::optional<qint64> start = range.location;
    std::optional<qint64> finish = end;
    if (*m_unit != AtspiTextOffsets::Unit::utf16) {
        const std::optional<Stretch> read = stretchOf(range);
        const std::optional<qint64> first = read ? read->indexOf(range.location) : std::nullopt;
        const std::optional<qint64> last = read ? read->indexOf(end) : std::nullopt;
        if (!first || !last)
            return false;
        start = read->start + *AtspiTextOffsets::fromUtf16(read->text, *first, *m_unit);
        finish = read->start + *AtspiTextOffsets::fromUtf16(read->text, *last, *m_unit);
    }
    AtspiText* text = ATSPI_TEXT(textHolder());
    GError* error = nullptr;
    if (range.length == 0) {
        AtspiRequestCounter::note();
        const bool done = atspi_text_set_caret_offset(text, gint(*start), &error);
        m_selections.reset();
        return succeeded(error) && done;
    }
    auto setSelection = [&](gint selections) {
        AtspiRequestCounter::note();
        const bool done = selections > 0 ? atspi_text_set_selection(text, 0, gint(*start), gint(*finish), &error)
                                         : atspi_text_add_selection(text, gint(*start), gint(*finish), &error);
        // GTK 4 (4.8) text views add the selection but answer with a reply of the wrong type,
        // which comes as an error: whether the selection holds is read back.
        if (!succeeded(error))
            return m_toolkit == Toolkit::gtk4 && selections == 0;
        return done;
    };
    // The count the last look found stands unless the field says otherwise.
    const std::optional<int> known = std::exchange(m_selections, std::nullopt);
    if (known && setSelection(*known))
        return true;
    AtspiRequestCounter::note();
    const gint selections = atspi_text_get_n_selections(text, &error);
    return succeeded(error) && setSelection(selections);
}

bool AtspiElement::isEqual(const AccessibleElement& other) const
{
    const auto* element = dynamic_cast<const AtspiElement*>(&other);
    if (!element || element->m_process != m_process)
        return false;
    if (element->m_accessible == m_accessible)
        return true;
    const AtspiObject* mine = ATSPI_OBJECT(m_accessible);
    const AtspiObject* theirs = ATSPI_OBJECT(element->m_accessible);
    return mine->app && theirs->app && mine->path && theirs->path
        && std::strcmp(mine->app->bus_name, theirs->app->bus_name) == 0 && std::strcmp(mine->path, theirs->path) == 0;
}

#include "AtspiElement.h"

#include "AtspiRequestCounter.h"

#include <atspi/atspi.h>
#include <cmath>
#include <cstring>
#include <unistd.h>

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
    std::shared_ptr<AtspiTextOffsets::Unit> unit)
    : m_accessible(static_cast<AtspiAccessible*>(g_object_ref(accessible)))
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
    atspi_set_timeout(milliseconds, milliseconds);
}

AccessibilityValue AtspiElement::attributeValue(QLatin1StringView attribute)
{
    if (!isReachable())
        return {};
    if (attribute == AX::role)
        return role();
    if (attribute == AX::subrole) {
        if (atspiRole() != ATSPI_ROLE_PASSWORD_TEXT)
            return {};
        return QString(AX::secureTextFieldSubrole);
    }
    if (attribute == AX::enabled)
        return enabled();
    if (attribute == AX::selectedTextRange)
        return selection();
    return {};
}

AccessibilityValue AtspiElement::role()
{
    const std::optional<int> known = atspiRole();
    if (!known)
        return {};
    const auto role = AtspiRole(*known);
    switch (role) {
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_TEXT: {
        AtspiStateSet* current = states();
        const bool multiLine = current && atspi_state_set_contains(current, ATSPI_STATE_MULTI_LINE);
        return QString(multiLine ? AX::textAreaRole : AX::textFieldRole);
    }
    case ATSPI_ROLE_PASSWORD_TEXT:
        return QString(AX::textFieldRole);
    case ATSPI_ROLE_COMBO_BOX:
        return QString(AX::comboBoxRole);
    default: {
        // Any other role names itself, so that it never matches an accepted one.
        gchar* name = atspi_role_get_name(role);
        const QString text = QStringLiteral("AT-SPI ") + QString::fromUtf8(name ? name : "unknown");
        g_free(name);
        return text;
    }
    }
}

AccessibilityValue AtspiElement::enabled()
{
    AtspiStateSet* current = states();
    if (!current)
        return {};
    return atspi_state_set_contains(current, ATSPI_STATE_ENABLED)
        && atspi_state_set_contains(current, ATSPI_STATE_SENSITIVE);
}

std::optional<bool> AtspiElement::isAttributeSettable(QLatin1StringView attribute)
{
    if (!isReachable())
        return std::nullopt;
    if (attribute != AX::selectedTextRange)
        return false;
    AtspiStateSet* current = states();
    if (!current)
        return std::nullopt;
    return atspi_state_set_contains(current, ATSPI_STATE_EDITABLE) && hasTextInterface(m_accessible);
}

std::optional<QString> AtspiElement::textPrefix(qint64 length)
{
    GError* error = nullptr;
    AtspiRequestCounter::note();
    gchar* text = atspi_text_get_text(ATSPI_TEXT(m_accessible), 0, gint(length), &error);
    if (!succeeded(error) || !text)
        return std::nullopt;
    QString result = QString::fromUtf8(text, qsizetype(std::strlen(text)));
    g_free(text);
    return result;
}

AccessibilityValue AtspiElement::selection()
{
    if (!hasTextInterface(m_accessible))
        return {};
    AtspiText* text = ATSPI_TEXT(m_accessible);
    GError* error = nullptr;
    AtspiRequestCounter::note();
    const gint caret = atspi_text_get_caret_offset(text, &error);
    if (!succeeded(error))
        return {};
    AtspiRequestCounter::note();
    const gint selections = atspi_text_get_n_selections(text, &error);
    if (!succeeded(error))
        return {};
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
    const qint64 reach = std::max<qint64>(end, caret);
    const std::optional<QString> prefix = textPrefix(reach);
    if (!prefix)
        return {};
    const std::optional<AtspiTextOffsets::Unit> unit = AtspiTextOffsets::unitOf(*prefix, reach, *m_unit);
    if (!unit)
        return {};
    *m_unit = *unit;
    const std::optional<qint64> location = AtspiTextOffsets::toUtf16(*prefix, start, *unit);
    const std::optional<qint64> finish = AtspiTextOffsets::toUtf16(*prefix, end, *unit);
    if (!location || !finish)
        return {};
    return TextRange{*location, *finish - *location};
}

AccessibilityValue AtspiElement::parameterizedAttributeValue(QLatin1StringView attribute, const AccessibilityValue& parameter)
{
    const auto* range = std::get_if<TextRange>(&parameter);
    if (!isReachable() || attribute != AX::stringForRange || !range)
        return {};
    return text(*range);
}

AccessibilityValue AtspiElement::text(const TextRange& range)
{
    if (range.location < 0 || range.length < 0 || !hasTextInterface(m_accessible))
        return {};
    // In either unit the first `end` application units cover at least `end` UTF-16 units.
    const qint64 end = range.location + range.length;
    const std::optional<QString> prefix = textPrefix(end);
    if (!prefix || prefix->size() < end || !AtspiTextOffsets::fromUtf16(*prefix, range.location, *m_unit)
        || !AtspiTextOffsets::fromUtf16(*prefix, end, *m_unit))
        return {};
    return prefix->mid(range.location, range.length);
}

bool AtspiElement::setAttributeValue(QLatin1StringView attribute, const AccessibilityValue& value)
{
    const auto* range = std::get_if<TextRange>(&value);
    if (!isReachable() || attribute != AX::selectedTextRange || !range)
        return false;
    return select(*range);
}

bool AtspiElement::select(const TextRange& range)
{
    if (range.location < 0 || range.length < 0 || !hasTextInterface(m_accessible))
        return false;
    const qint64 end = range.location + range.length;
    const std::optional<QString> prefix = textPrefix(end);
    if (!prefix || prefix->size() < end)
        return false;
    const std::optional<qint64> start = AtspiTextOffsets::fromUtf16(*prefix, range.location, *m_unit);
    const std::optional<qint64> finish = AtspiTextOffsets::fromUtf16(*prefix, end, *m_unit);
    if (!start || !finish)
        return false;
    AtspiText* text = ATSPI_TEXT(m_accessible);
    GError* error = nullptr;
    bool done = false;
    AtspiRequestCounter::note();
    if (range.length == 0) {
        done = atspi_text_set_caret_offset(text, gint(*start), &error);
    } else {
        const gint selections = atspi_text_get_n_selections(text, &error);
        if (!succeeded(error))
            return false;
        AtspiRequestCounter::note();
        done = selections > 0 ? atspi_text_set_selection(text, 0, gint(*start), gint(*finish), &error)
                              : atspi_text_add_selection(text, gint(*start), gint(*finish), &error);
    }
    return succeeded(error) && done;
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
        && std::strcmp(mine->app->bus_name, theirs->app->bus_name) == 0
        && std::strcmp(mine->path, theirs->path) == 0;
}

#include "AtspiAccessibility.h"

#include "AtspiApplicationElement.h"
#include "AtspiElement.h"
#include "AtspiRequestCounter.h"

#include <atspi/atspi.h>
#include <unistd.h>

AtspiAccessibility::AtspiAccessibility() = default;

namespace {
constexpr int startRetryMilliseconds = 2000;
}

bool AtspiAccessibility::start()
{
    if (m_tracker.isStarted())
        return true;
    m_nextStartAttempt = QDeadlineTimer(startRetryMilliseconds);
    return m_tracker.start();
}

bool AtspiAccessibility::isSecureEventInputEnabled()
{
    return m_tracker.isFocusedPasswordField();
}

std::shared_ptr<AccessibleElement> AtspiAccessibility::applicationElement(qint64 process)
{
    if (process <= 0)
        return nullptr;
    if (!m_tracker.isStarted() && (!m_nextStartAttempt.hasExpired() || !start()))
        return nullptr;
    return std::make_shared<AtspiApplicationElement>(*this, process);
}

std::shared_ptr<AccessibleElement> AtspiAccessibility::focusedElement(qint64 process)
{
    if (process == qint64(getpid()))
        return nullptr;
    m_tracker.lookForFocusIn(process);
    AtspiAccessible* focused = m_tracker.focused();
    if (!focused || m_tracker.focusedProcess() != process)
        return nullptr;
    // The focus event may not have been dispatched yet when focus has already moved on.
    AtspiRequestCounter::note();
    AtspiStateSet* states = atspi_accessible_get_state_set(focused);
    const bool stillFocused = states && atspi_state_set_contains(states, ATSPI_STATE_FOCUSED)
        && !atspi_state_set_contains(states, ATSPI_STATE_DEFUNCT);
    std::shared_ptr<AccessibleElement> element
        = stillFocused ? std::make_shared<AtspiElement>(focused, states, process, unitOf(focused)) : nullptr;
    if (states)
        g_object_unref(states);
    return element;
}

std::shared_ptr<AtspiTextOffsets::Unit> AtspiAccessibility::unitOf(AtspiAccessible* accessible)
{
    const AtspiObject* object = ATSPI_OBJECT(accessible);
    const QString application = object->app && object->app->bus_name ? QString::fromUtf8(object->app->bus_name) : QString();
    auto it = m_units.find(application);
    if (it == m_units.end()) {
        // Qt's bridge counts UTF-16 units, other toolkits count characters; the element corrects
        // this guess as soon as the text shows otherwise.
        // Only the application object answers the toolkit's name.
        AtspiRequestCounter::note();
        AtspiAccessible* root = atspi_accessible_get_application(accessible, nullptr);
        AtspiRequestCounter::note();
        gchar* toolkit = root ? atspi_accessible_get_toolkit_name(root, nullptr) : nullptr;
        if (root)
            g_object_unref(root);
        const bool qt = toolkit && QString::fromUtf8(toolkit).compare(QLatin1String("Qt"), Qt::CaseInsensitive) == 0;
        g_free(toolkit);
        it = m_units.insert(application,
            std::make_shared<AtspiTextOffsets::Unit>(qt ? AtspiTextOffsets::Unit::utf16 : AtspiTextOffsets::Unit::codePoints));
    }
    return it.value();
}

#include "AtspiAccessibility.h"

#include "AtspiApplicationElement.h"
#include "AtspiElement.h"

#include <atspi/atspi.h>
#include <unistd.h>

AtspiAccessibility::AtspiAccessibility() = default;

namespace {
constexpr int startRetryMilliseconds = 2000;
}

bool AtspiAccessibility::start()
{
    if (tracker_.isStarted())
        return true;
    nextStartAttempt_ = QDeadlineTimer(startRetryMilliseconds);
    return tracker_.start();
}

bool AtspiAccessibility::isSecureEventInputEnabled()
{
    return tracker_.isFocusedPasswordField();
}

std::shared_ptr<AccessibleElement> AtspiAccessibility::applicationElement(qint64 process)
{
    if (process <= 0)
        return nullptr;
    if (!tracker_.isStarted() && (!nextStartAttempt_.hasExpired() || !start()))
        return nullptr;
    return std::make_shared<AtspiApplicationElement>(*this, process);
}

std::shared_ptr<AccessibleElement> AtspiAccessibility::focusedElement(qint64 process)
{
    if (process == qint64(getpid()))
        return nullptr;
    tracker_.lookForFocusIn(process);
    AtspiAccessible* focused = tracker_.focused();
    if (!focused || tracker_.focusedProcess() != process)
        return nullptr;
    // The focus event may not have been dispatched yet when focus has already moved on.
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
    auto it = units_.find(application);
    if (it == units_.end()) {
        // Qt's bridge counts UTF-16 units, other toolkits count characters; the element corrects
        // this guess as soon as the text shows otherwise.
        gchar* toolkit = atspi_accessible_get_toolkit_name(accessible, nullptr);
        const bool qt = toolkit && QString::fromUtf8(toolkit).compare(QLatin1String("Qt"), Qt::CaseInsensitive) == 0;
        g_free(toolkit);
        it = units_.insert(application,
            std::make_shared<AtspiTextOffsets::Unit>(qt ? AtspiTextOffsets::Unit::utf16 : AtspiTextOffsets::Unit::codePoints));
    }
    return it.value();
}

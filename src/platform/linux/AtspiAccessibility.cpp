#include "AtspiAccessibility.h"

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

std::shared_ptr<AccessibleElement> AtspiAccessibility::focusedElement(qint64 process)
{
    if (process <= 0 || process == qint64(getpid()))
        return nullptr;
    if (!m_tracker.isStarted() && (!m_nextStartAttempt.hasExpired() || !start()))
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
    std::shared_ptr<AccessibleElement> element;
    if (stillFocused) {
        const Application& application = applicationOf(focused);
        element = std::make_shared<AtspiElement>(
            focused, states, process, application.unit, application.toolkit, application.keysOvertakePaste);
    }
    if (states)
        g_object_unref(states);
    return element;
}

const AtspiAccessibility::Application& AtspiAccessibility::applicationOf(AtspiAccessible* accessible)
{
    const AtspiObject* object = ATSPI_OBJECT(accessible);
    const QString bus = object->app && object->app->bus_name ? QString::fromUtf8(object->app->bus_name) : QString();
    if (const auto it = m_applications.constFind(bus); it != m_applications.constEnd())
        return it.value();
    // Only the application object answers the toolkit's name and version.
    GError* error = nullptr;
    AtspiRequestCounter::note();
    AtspiAccessible* root = atspi_accessible_get_application(accessible, &error);
    g_clear_error(&error);
    gchar* name = nullptr;
    QString applicationName;
    if (root) {
        AtspiRequestCounter::note();
        name = atspi_accessible_get_toolkit_name(root, &error);
        g_clear_error(&error);
        AtspiRequestCounter::note();
        gchar* called = atspi_accessible_get_name(root, &error);
        g_clear_error(&error);
        applicationName = QString::fromUtf8(called ? called : "");
        g_free(called);
    }
    const QString toolkit = QString::fromUtf8(name ? name : "");
    const bool gtk = toolkit.compare(QLatin1String("GTK"), Qt::CaseInsensitive) == 0;
    QString version;
    if (gtk) {
        AtspiRequestCounter::note();
        gchar* number = atspi_accessible_get_toolkit_version(root, &error);
        g_clear_error(&error);
        version = QString::fromUtf8(number ? number : "");
        g_free(number);
    }
    if (root)
        g_object_unref(root);
    Application application;
    // Qt's bridge counts UTF-16 units, other toolkits count characters; the element corrects
    // this guess as soon as the text shows otherwise.
    const bool qt = toolkit.compare(QLatin1String("Qt"), Qt::CaseInsensitive) == 0;
    application.unit = std::make_shared<AtspiTextOffsets::Unit>(
        qt ? AtspiTextOffsets::Unit::utf16 : AtspiTextOffsets::Unit::codePoints);
    // A busy application may not answer in time: what its fields allow is then not known, and
    // it is asked again for the next element.
    if (!name || (gtk && version.isEmpty())) {
        g_free(name);
        application.toolkit = AtspiElement::Toolkit::unknown;
        m_unansweredApplication = application;
        return m_unansweredApplication;
    }
    g_free(name);
    if (gtk && version.section(QLatin1Char('.'), 0, 0).toInt() >= 4)
        application.toolkit = AtspiElement::Toolkit::gtk4;
    else if (toolkit.compare(QLatin1String("Gecko"), Qt::CaseInsensitive) == 0) {
        application.toolkit = AtspiElement::Toolkit::gecko;
        application.keysOvertakePaste = applicationName == QLatin1String("Thunderbird");
    } else if (gtk)
        application.toolkit = AtspiElement::Toolkit::gtk3;
    else if (qt)
        application.toolkit = AtspiElement::Toolkit::qt;
    return m_applications.insert(bus, application).value();
}

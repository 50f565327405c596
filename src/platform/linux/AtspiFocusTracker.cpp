#include "AtspiFocusTracker.h"

#include "AtspiBus.h"
#include "AtspiRequestCounter.h"

#include <QList>
#include <algorithm>
#include <atspi/atspi.h>
#include <unistd.h>

namespace {

constexpr const char* focusEvent = "object:state-changed:focused";
// The walk for the focus that was there before we started looks at this many objects of each
// application at most; a focused text field sits a few levels below its window.
constexpr int walkLimit = 2000;
constexpr int walkTimeoutMilliseconds = 30;
// How many applications' last focus is kept.
constexpr qsizetype rememberedApplications = 8;

bool hasState(AtspiAccessible* accessible, AtspiStateType state)
{
    AtspiRequestCounter::note();
    AtspiStateSet* states = atspi_accessible_get_state_set(accessible);
    const bool result
        = states && atspi_state_set_contains(states, state) && !atspi_state_set_contains(states, ATSPI_STATE_DEFUNCT);
    if (states)
        g_object_unref(states);
    return result;
}

// A new reference to the focused object below `root`, or null.
AtspiAccessible* findFocused(AtspiAccessible* root)
{
    QList<AtspiAccessible*> pending{static_cast<AtspiAccessible*>(g_object_ref(root))};
    AtspiAccessible* found = nullptr;
    int visited = 0;
    while (!pending.isEmpty()) {
        AtspiAccessible* node = pending.takeLast();
        if (!found && visited++ < walkLimit) {
            if (hasState(node, ATSPI_STATE_FOCUSED)) {
                found = static_cast<AtspiAccessible*>(g_object_ref(node));
            } else {
                const gint count = atspi_accessible_get_child_count(node, nullptr);
                for (gint i = count - 1; i >= 0; --i) {
                    if (AtspiAccessible* child = atspi_accessible_get_child_at_index(node, i, nullptr))
                        pending.append(child);
                }
            }
        }
        g_object_unref(node);
    }
    return found;
}

}

AtspiFocusTracker::AtspiFocusTracker() = default;

AtspiFocusTracker::~AtspiFocusTracker()
{
    if (m_listener) {
        atspi_event_listener_deregister(m_listener, focusEvent, nullptr);
        g_object_unref(m_listener);
    }
    clear();
    for (const auto& [process, accessible] : std::as_const(m_lastFocus))
        g_object_unref(accessible);
}

bool AtspiFocusTracker::start()
{
    if (m_listener)
        return true;
    if (!AtspiBus::answers())
        return false;
    const int initialized = atspi_init();
    if (initialized != 0 && initialized != 1)
        return false;
    atspi_set_timeout(walkTimeoutMilliseconds, walkTimeoutMilliseconds);
    m_listener = atspi_event_listener_new(&AtspiFocusTracker::receive, this, nullptr);
    if (!atspi_event_listener_register(m_listener, focusEvent, nullptr)) {
        g_object_unref(m_listener);
        m_listener = nullptr;
        return false;
    }
    findFocus(0);
    return true;
}

void AtspiFocusTracker::receive(AtspiEvent* event, void* self)
{
    auto* tracker = static_cast<AtspiFocusTracker*>(self);
    if (event->source) {
        if (event->detail1)
            tracker->focus(event->source);
        else if (event->source == tracker->m_focused)
            tracker->clear();
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

void AtspiFocusTracker::lookForFocusIn(qint64 process)
{
    if (!m_listener || process <= 0 || process == m_process)
        return;
    // A focus event from another application (a clipboard manager's window, which takes the
    // focus for a moment as the user copies) leaves the application whose window is active with
    // the focus it had, which it does not announce again. Looked for now, while that
    // application is busy or stopped, it would not be found, and not looked for again.
    const auto last = std::find_if(m_lastFocus.cbegin(), m_lastFocus.cend(),
        [process](const std::pair<qint64, AtspiAccessible*>& entry) { return entry.first == process; });
    if (last != m_lastFocus.cend() && hasState(last->second, ATSPI_STATE_FOCUSED)) {
        focus(last->second);
        return;
    }
    if (m_searchedProcesses.contains(process))
        return;
    m_searchedProcesses.insert(process);
    findFocus(process);
}

void AtspiFocusTracker::focus(AtspiAccessible* accessible)
{
    g_object_ref(accessible);
    clear();
    m_searchedProcesses.clear();
    m_focused = accessible;
    AtspiRequestCounter::note();
    m_process = qint64(atspi_accessible_get_process_id(accessible, nullptr));
    // Asking this process's own accessibility tree over the bus would wait for an answer that
    // only this (blocked) thread could give.
    AtspiRequestCounter::note();
    m_password
        = m_process != qint64(getpid()) && atspi_accessible_get_role(accessible, nullptr) == ATSPI_ROLE_PASSWORD_TEXT;
    if (m_process > 0 && m_process != qint64(getpid()))
        remember(m_process, accessible);
}

void AtspiFocusTracker::remember(qint64 process, AtspiAccessible* accessible)
{
    g_object_ref(accessible);
    for (qsizetype i = 0; i < m_lastFocus.size(); ++i) {
        if (m_lastFocus.at(i).first == process) {
            g_object_unref(m_lastFocus.at(i).second);
            m_lastFocus.removeAt(i);
            break;
        }
    }
    m_lastFocus.append({process, accessible});
    if (m_lastFocus.size() > rememberedApplications)
        g_object_unref(m_lastFocus.takeFirst().second);
}

void AtspiFocusTracker::clear()
{
    if (m_focused)
        g_object_unref(m_focused);
    m_focused = nullptr;
    m_process = 0;
    m_password = false;
}

// In the windows of one process, or of every other process when `process` is 0.
void AtspiFocusTracker::findFocus(qint64 process)
{
    AtspiAccessible* desktop = atspi_get_desktop(0);
    if (!desktop)
        return;
    const qint64 ownProcess = getpid();
    QList<AtspiAccessible*> windows;
    const gint applications = atspi_accessible_get_child_count(desktop, nullptr);
    for (gint a = 0; a < applications; ++a) {
        AtspiAccessible* application = atspi_accessible_get_child_at_index(desktop, a, nullptr);
        if (!application)
            continue;
        const qint64 owner = qint64(atspi_accessible_get_process_id(application, nullptr));
        if (owner != ownProcess && (process == 0 || owner == process)) {
            const gint count = atspi_accessible_get_child_count(application, nullptr);
            for (gint w = 0; w < count; ++w) {
                if (AtspiAccessible* window = atspi_accessible_get_child_at_index(application, w, nullptr))
                    windows.append(window);
            }
        }
        g_object_unref(application);
    }
    g_object_unref(desktop);
    // Several applications may each report a focused widget; the one in the active window is
    // the one that gets the keys.
    std::stable_partition(
        windows.begin(), windows.end(), [](AtspiAccessible* window) { return hasState(window, ATSPI_STATE_ACTIVE); });
    bool found = false;
    for (AtspiAccessible* window : std::as_const(windows)) {
        if (!found) {
            if (AtspiAccessible* focusedHere = findFocused(window)) {
                focus(focusedHere);
                g_object_unref(focusedHere);
                found = true;
            }
        }
        g_object_unref(window);
    }
}

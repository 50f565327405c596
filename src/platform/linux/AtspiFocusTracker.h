#pragma once

#include <QList>
#include <QSet>
#include <QtGlobal>
#include <utility>

typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _AtspiEvent AtspiEvent;
typedef struct _AtspiEventListener AtspiEventListener;

// Knows which accessible object has the keyboard focus, desktop-wide. AT-SPI has no "focused
// element" query, only events when focus moves, so the tracker listens to them (they arrive
// through the GLib main context that Qt's event loop runs) and walks the desktop at start for
// the focus that was already there.
class AtspiFocusTracker {
public:
    AtspiFocusTracker();
    ~AtspiFocusTracker();
    AtspiFocusTracker(const AtspiFocusTracker&) = delete;
    AtspiFocusTracker& operator=(const AtspiFocusTracker&) = delete;

    // Connects to the accessibility bus; false when it does not answer.
    bool start();
    bool isStarted() const { return m_listener != nullptr; }

    // The focused object (not a new reference) and its process; null and 0 when unknown.
    AtspiAccessible* focused() const { return m_focused; }
    qint64 focusedProcess() const { return m_process; }
    // Password fields are told apart at the moment they get focus.
    bool isFocusedPasswordField() const { return m_password; }

    // Takes the object the process focused last again where it still has the focus; otherwise
    // looks through the windows of the process for its focused object, once until the next
    // focus event: an application may have taken the focus before its accessibility bridge knew
    // that anyone listens, and such a focus is never announced.
    void lookForFocusIn(qint64 process);

private:
    static void receive(AtspiEvent* event, void* self);
    void focus(AtspiAccessible* accessible);
    void clear();
    void remember(qint64 process, AtspiAccessible* accessible);
    void findFocus(qint64 process);

    AtspiEventListener* m_listener = nullptr;
    AtspiAccessible* m_focused = nullptr;
    qint64 m_process = 0;
    bool m_password = false;
    QSet<qint64> m_searchedProcesses;
    // The object each of the last few applications focused last (a reference each), the most
    // recent last.
    QList<std::pair<qint64, AtspiAccessible*>> m_lastFocus;
};

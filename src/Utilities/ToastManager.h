#pragma once

#include "Utilities/Scheduler.h"

#include <QObject>
#include <QString>
#include <optional>

// The one transient status line. A new toast replaces the current one at once and restarts
// its duration; there is no queue. The overlay that draws it observes this object.
class ToastManager : public QObject {
    Q_OBJECT
public:
    // Every status line of the system is shown this long.
    static constexpr double standardDuration = 1.8;
    // After the fade starts, the text stays this long so the fading capsule keeps it.
    static constexpr double clearDelay = 0.3;

    static ToastManager& shared();

    void show(const QString& message, double duration = standardDuration);

    const std::optional<QString>& message() const { return m_message; }
    bool isShowing() const { return m_isShowing; }

Q_SIGNALS:
    void messageChanged();
    void isShowingChanged(bool showing);

private:
    void setShowing(bool showing);

    std::optional<QString> m_message;
    bool m_isShowing = false;
    ScheduledTask m_dismissTask;
    ScheduledTask m_clearTask;
};

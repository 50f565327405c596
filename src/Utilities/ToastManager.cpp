#include "Utilities/ToastManager.h"

ToastManager& ToastManager::shared()
{
    static ToastManager manager;
    return manager;
}

void ToastManager::show(const QString& message, double duration)
{
    // Cancelling the pending clear as well matters: a toast shown while the previous one
    // fades must keep its own text for its whole duration.
    m_dismissTask.cancel();
    m_clearTask.cancel();
    m_message = message;
    Q_EMIT messageChanged();
    setShowing(true);
    m_dismissTask = Scheduler::current().after(duration, this, [this] {
        setShowing(false);
        m_clearTask = Scheduler::current().after(clearDelay, this, [this] {
            m_message.reset();
            Q_EMIT messageChanged();
        });
    });
}

void ToastManager::setShowing(bool showing)
{
    if (m_isShowing == showing)
        return;
    m_isShowing = showing;
    Q_EMIT isShowingChanged(showing);
}

#include "Views/Components/TutorialTarget.h"

#include "Services/TutorialManager.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

void TutorialTarget::mark(QWidget* widget, const QString& id)
{
    new TutorialTarget(widget, id);
}

TutorialTarget::TutorialTarget(QWidget* widget, const QString& id)
    : QObject(widget)
    , m_widget(widget)
    , m_id(id)
{
    watchAncestors();
    report();
}

void TutorialTarget::watchAncestors()
{
    for (const QPointer<QWidget>& watched : std::as_const(m_watched)) {
        if (watched)
            watched->removeEventFilter(this);
    }
    m_watched.clear();
    for (QWidget* w = m_widget; w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        w->installEventFilter(this);
        m_watched.append(w);
    }
    watchWindow();
}

// The window system may place a window without the widget hearing of it (the frame it
// adds is one case), so the native window's position is followed as well.
void TutorialTarget::watchWindow()
{
    QWindow* window = m_widget ? m_widget->window()->windowHandle() : nullptr;
    if (window == m_window)
        return;
    if (m_window)
        disconnect(m_window, nullptr, this, nullptr);
    m_window = window;
    if (window) {
        connect(window, &QWindow::xChanged, this, &TutorialTarget::report);
        connect(window, &QWindow::yChanged, this, &TutorialTarget::report);
    }
}

bool TutorialTarget::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        watchAncestors();
        report();
        break;
    case QEvent::Show:
        watchWindow();
        report();
        break;
    case QEvent::Move:
    case QEvent::Resize: report(); break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

void TutorialTarget::report()
{
    if (!m_widget || !m_widget->isVisible())
        return;
    TutorialManager::shared().registerFrame(m_id, QRect(m_widget->mapToGlobal(QPoint(0, 0)), m_widget->size()));
}

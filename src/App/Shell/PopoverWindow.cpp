#include "App/Shell/PopoverWindow.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include "Views/Components/AccessibleRoles.h"
#include "platform/WindowEffects.h"

PopoverWindow::PopoverWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("PopoverWindow"));
    setWindowTitle(QStringLiteral("Velmora"));
    AccessibleRoles::setRole(this, QAccessible::Window);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setContentSize(QSize(popoverWidth, regularHeight));
}

void PopoverWindow::setContent(QWidget* content)
{
    if (m_content)
        m_content->deleteLater();
    m_content = content;
    if (content)
        layout()->addWidget(content);
}

void PopoverWindow::setContentSize(const QSize& size)
{
    setFixedSize(size);
}

QRect PopoverWindow::placement(const QRect& anchor, const QSize& size, const QRect& available)
{
    QRect frame(QPoint(0, 0), size);
    frame.moveLeft(anchor.center().x() - size.width() / 2);
    frame.moveTop(anchor.bottom() + 1 + gap);
    if (frame.bottom() > available.bottom() && anchor.top() - gap - size.height() >= available.top())
        frame.moveBottom(anchor.top() - 1 - gap);
    frame.moveLeft(
        std::clamp(frame.left(), available.left(), std::max(available.left(), available.right() + 1 - size.width())));
    frame.moveTop(
        std::clamp(frame.top(), available.top(), std::max(available.top(), available.bottom() + 1 - size.height())));
    return frame;
}

void PopoverWindow::showRelativeTo(const QRect& anchor, bool activate)
{
    const QRect target = anchor.isEmpty() ? QRect(QCursor::pos(), QSize(1, 1)) : anchor;
    QScreen* screen = QGuiApplication::screenAt(target.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), size());
    move(placement(target, size(), available).topLeft());
    create();
    windowHandle()->removeEventFilter(this);
    windowHandle()->installEventFilter(this);
    m_activateWhenExposed = activate;
    show();
    raise();
    if (activate)
        activateWindow();
}

bool PopoverWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Qt's own request carries the time of this program's last input event, which an X
    // server or window manager ignores when the request comes from the tray menu (answered
    // over D-Bus); once the window is on screen the window system is asked directly.
    if (watched == windowHandle() && event->type() == QEvent::Expose && m_activateWhenExposed
        && windowHandle()->isExposed()) {
        m_activateWhenExposed = false;
        if (!isActiveWindow())
            WindowEffects::current().activate(*windowHandle());
    }
    return QWidget::eventFilter(watched, event);
}

void PopoverWindow::performClose()
{
    if (!isVisible())
        return;
    hide();
    Q_EMIT closed();
}

void PopoverWindow::closeEvent(QCloseEvent* event)
{
    // The window manager's close (Alt+F4) closes the popover like any other way of closing it.
    event->ignore();
    performClose();
}

#include "Views/MenuBar/tutorial/TutorialPanel.h"

#include "Utilities/Theme.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/ViewStyle.h"
#include "Views/Components/WindowShape.h"
#include "Views/MenuBar/tutorial/TutorialChrome.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

TutorialPanel::TutorialPanel(const QSize& size, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    AccessibleRoles::setRole(this, QAccessible::Window);
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(size);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void TutorialPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    WindowShape::fit(*this, continuousRoundedRect(QRectF(rect()), cornerRadius));
}

void TutorialPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPainterPath shape = continuousRoundedRect(bounds, cornerRadius);
    painter.fillPath(shape, tutorialMaterial());
    painter.strokePath(shape, QPen(Theme::borderSubtle(), 1));
}

void TutorialPanel::closeEvent(QCloseEvent* event)
{
    // Panels are only ever hidden by their owner; a close comes from outside.
    event->ignore();
    hide();
    Q_EMIT closeRequested();
}

void TutorialPanel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    // The window manager moves the window where it can, which also keeps it on screen.
    if (QWindow* window = windowHandle(); window && window->startSystemMove()) {
        event->accept();
        return;
    }
    m_dragOffset = event->globalPosition().toPoint() - pos();
    event->accept();
}

void TutorialPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragOffset)
        return QWidget::mouseMoveEvent(event);
    move(event->globalPosition().toPoint() - *m_dragOffset);
    event->accept();
}

void TutorialPanel::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragOffset.reset();
    QWidget::mouseReleaseEvent(event);
}

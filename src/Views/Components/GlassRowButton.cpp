#include "Views/Components/GlassRowButton.h"

#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"

#include <QChildEvent>
#include <QLayout>
#include <QPainter>

GlassRowButton::GlassRowButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // A button's children would otherwise draw in the button-text colour, which the themed
    // labels inside do not set.
    setBackgroundRole(QPalette::Window);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

QSize GlassRowButton::sizeHint() const
{
    return layout() ? layout()->sizeHint() : QAbstractButton::sizeHint();
}

QSize GlassRowButton::minimumSizeHint() const
{
    return layout() ? layout()->minimumSize() : QAbstractButton::minimumSizeHint();
}

bool GlassRowButton::event(QEvent* event)
{
    if (event->type() == QEvent::ChildAdded) {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType())
            static_cast<QWidget*>(child)->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    return QAbstractButton::event(event);
}

bool GlassRowButton::hitButton(const QPoint& pos) const
{
    return continuousRoundedRect(rect(), cornerRadius).contains(QPointF(pos) + QPointF(0.5, 0.5));
}

void GlassRowButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath panel = continuousRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius);
    const bool lit = isEnabled() && (underMouse() || isDown());
    painter.fillPath(panel, lit ? Theme::surfaceGlassHover() : Theme::surfaceGlass());
    const bool focusRing = showsKeyboardFocus(this);
    painter.strokePath(panel, QPen(focusRing ? Theme::borderSelected() : glassFieldOutline(lit), focusRing ? 1.5 : 1));
}

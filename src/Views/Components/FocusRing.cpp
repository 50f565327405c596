#include "Views/Components/FocusRing.h"

#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"

#include <QEvent>
#include <QPainter>

FocusRing::FocusRing(QWidget* target, QWidget* frame)
    : QWidget(frame)
    , m_target(target)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    target->installEventFilter(this);
    frame->installEventFilter(this);
    setGeometry(frame->rect());
    raise();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut: update(); break;
    case QEvent::Resize:
        if (watched == parent()) {
            setGeometry(parentWidget()->rect());
            raise();
        }
        break;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRing::paintEvent(QPaintEvent*)
{
    if (!showsKeyboardFocus(m_target))
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::borderSelected(), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(continuousRoundedRect(QRectF(rect()).adjusted(6.75, 0.75, -6.75, -0.75), 12));
}

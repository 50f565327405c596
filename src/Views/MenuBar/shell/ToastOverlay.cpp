#include "Views/MenuBar/shell/ToastOverlay.h"

#include "Utilities/Theme.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/Motion.h"
#include "Views/Components/SoftShadow.h"
#include "Views/Components/ViewStyle.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int textFlags = Qt::AlignCenter | Qt::TextWordWrap;
}

ToastOverlay::ToastOverlay(ToastManager& toast, QWidget* parent)
    : QWidget(parent)
    , m_toast(&toast)
    , m_notification(AccessibleRoles::addNotice(this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    connect(&m_transition, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_presence = value.toReal();
        update();
    });
    connect(&m_transition, &QVariantAnimation::finished, this, [this] {
        m_presence = m_shown ? 1 : 0;
        update();
    });
    if (toast.message())
        m_text = *toast.message();
    m_shown = toast.isShowing() && toast.message().has_value();
    m_presence = m_shown ? 1 : 0;
    connect(&toast, &ToastManager::messageChanged, this, &ToastOverlay::follow);
    connect(&toast, &ToastManager::isShowingChanged, this, &ToastOverlay::follow);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void ToastOverlay::follow()
{
    if (!m_toast)
        return;
    const QString previous = m_text;
    if (m_toast->message())
        m_text = *m_toast->message();
    const bool shown = m_toast->isShowing() && m_toast->message().has_value();
    announce(shown, m_text != previous);
    if (shown != m_shown) {
        m_shown = shown;
        m_transition.stop();
        if (Motion::reduced()) {
            m_presence = shown ? 1 : 0;
        } else {
            // It comes in on a spring and leaves on an ease-in, gone within `hideSeconds`,
            // so that it starts slowly and is off the screen well before the manager
            // clears its text.
            m_transition.setEasingCurve(shown ? Motion::spring() : Motion::easeIn());
            m_transition.setDuration(int((shown ? Motion::springSeconds : hideSeconds) * 1000));
            m_transition.setStartValue(m_presence);
            m_transition.setEndValue(shown ? 1.0 : 0.0);
            m_transition.start();
        }
    }
    update();
}

void ToastOverlay::announce(bool shown, bool textChanged)
{
    if (!shown) {
        m_notification->hide();
        return;
    }
    if (m_notification->isVisible() && !textChanged)
        return;
    // A new text while one is up is a new notification: it appears again.
    AccessibleRoles::announce(m_notification, m_text, capsuleRect());
}

QRect ToastOverlay::textRect(int availableWidth) const
{
    const QFontMetrics metrics(uiFont(fontSize, QFont::Medium));
    return metrics.boundingRect(QRect(0, 0, qMax(1, availableWidth), 10000), textFlags, m_text);
}

QRect ToastOverlay::capsuleRect() const
{
    const int available = width() - 2 * sideMargin - 2 * horizontalPadding;
    const QSize text = textRect(available).size();
    const QSize capsule(text.width() + 2 * horizontalPadding, text.height() + 2 * verticalPadding);
    return QRect(QPoint((width() - capsule.width()) / 2, height() - bottomMargin - capsule.height()), capsule);
}

void ToastOverlay::paintEvent(QPaintEvent*)
{
    if (m_presence <= 0.001 || m_text.isEmpty())
        return;
    const QRect capsule = capsuleRect();
    // Enters from below the bottom edge, fading in on the way.
    const qreal travel = height() - capsule.top();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(qBound(0.0, m_presence, 1.0));
    painter.translate(0, (1 - m_presence) * travel);

    QPainterPath shape;
    const qreal radius = capsule.height() / 2.0;
    shape.addRoundedRect(QRectF(capsule), radius, radius);
    paintSoftShadow(painter, shape, QColor(0, 0, 0, 51), 10, QPointF(0, 4));
    painter.fillPath(shape, Theme::toastBg());
    QPainterPath outline;
    const QRectF inner = QRectF(capsule).adjusted(0.25, 0.25, -0.25, -0.25);
    outline.addRoundedRect(inner, inner.height() / 2, inner.height() / 2);
    painter.strokePath(outline, QPen(Theme::borderSubtle(), 0.5));

    painter.setFont(uiFont(fontSize, QFont::Medium));
    painter.setPen(Theme::toastText());
    painter.drawText(
        capsule.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding), textFlags, m_text);
}

#include "Views/MenuBar/tutorial/TutorialOverlay.h"

#include "Services/TutorialManager.h"
#include "Utilities/Theme.h"
#include "Views/Components/Motion.h"
#include "Views/Components/SoftShadow.h"
#include "Views/Components/ViewStyle.h"
#include "Views/MenuBar/tutorial/TutorialChrome.h"
#include "Views/MenuBar/tutorial/TutorialTooltip.h"
#include "platform/MotionSettings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QShortcut>
#include <QVariantAnimation>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr qreal halfCardWidth = TutorialTooltip::cardWidth / 2.0;
constexpr qreal horizontalMargin = 12;
constexpr qreal targetGap = 12;
constexpr qreal verticalMargin = 8;
// Clicks this close to the hole's edge stay on the overlay: the input region is made of
// whole pixels, and keeping it inside the drawn hole leaves the hole's soft edge and the
// ring intact.
constexpr qreal inputInset = 2;

} // namespace

TutorialOverlay::TutorialOverlay(TutorialManager& tutorial, QWidget* parent)
    : QWidget(parent)
    , m_tutorial(tutorial)
    , m_tooltip(new TutorialTooltip(tutorial, this))
    , m_pulse(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("TutorialOverlay"));
    hide();
    m_pulse->setStartValue(0.0);
    m_pulse->setEndValue(1.0);
    m_pulse->setDuration(int(2 * pulseSeconds * 1000));
    m_pulse->setLoopCount(-1);
    connect(m_pulse, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        // Out and back, easing at both ends of each half.
        const qreal phase = value.toReal() < 0.5 ? value.toReal() * 2 : 2 - value.toReal() * 2;
        const qreal eased = (1 - std::cos(phase * std::numbers::pi)) / 2;
        m_ringOpacity = ringRestOpacity + (ringFaintOpacity - ringRestOpacity) * eased;
        update(m_hole.adjusted(-2, -2, 2, 2).toAlignedRect());
    });

    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_escape->setContext(Qt::WindowShortcut);
    connect(m_escape, &QShortcut::activated, this, [this] { m_tutorial.skip(); });

    qApp->installEventFilter(this);
    connect(&tutorial, &TutorialManager::isActiveChanged, this, [this] { refresh(false); });
    connect(&tutorial, &TutorialManager::currentStepChanged, this, [this] { refresh(true); });
    connect(&tutorial, &TutorialManager::targetFramesChanged, this, [this] { refresh(false); });
    connect(&MotionSettings::current(), &MotionSettings::reduceMotionChanged, this, [this] { updatePulse(); });
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    refresh(false);
}

QPointF TutorialOverlay::computeTooltipPos(const std::optional<QRectF>& target, TutorialStep::TooltipPosition position,
    const QSizeF& size, qreal tooltipHeight)
{
    using Position = TutorialStep::TooltipPosition;
    const QPointF centre(size.width() / 2, size.height() / 2);
    if (!target || position == Position::center)
        return centre;
    const qreal w = size.width();
    const qreal h = size.height();
    const qreal half = tooltipHeight / 2;
    // A card kept on screen on the side asked for would cover the target (and the label the
    // step speaks of); the other side takes it when it has the room.
    const bool fitsAbove = target->top() - targetGap - tooltipHeight >= verticalMargin;
    const bool fitsBelow = target->top() + target->height() + targetGap + tooltipHeight <= h - verticalMargin;
    if (position == Position::above && !fitsAbove && fitsBelow)
        position = Position::below;
    else if (position == Position::below && !fitsBelow && fitsAbove)
        position = Position::above;
    // Left bound first, then the right one, which wins in an overlay too narrow for both.
    qreal x = std::max(target->center().x(), halfCardWidth + horizontalMargin);
    x = std::min(x, w - halfCardWidth - horizontalMargin);
    qreal y = 0;
    if (position == Position::above) {
        y = target->top() - targetGap - half;
        y = std::max(y, half + verticalMargin);
        y = std::min(y, h - half - verticalMargin);
    } else {
        y = target->top() + target->height() + targetGap + half;
        y = std::min(y, h - half - verticalMargin);
        y = std::max(y, half + verticalMargin);
    }
    return {x, y};
}

bool TutorialOverlay::showsRing() const
{
    return m_passthrough && !m_hole.isEmpty();
}

std::optional<QRectF> TutorialOverlay::targetRect() const
{
    const TutorialStep step = m_tutorial.step();
    if (!step.targetId)
        return std::nullopt;
    const auto found = m_tutorial.targetFrames().constFind(*step.targetId);
    if (found == m_tutorial.targetFrames().constEnd())
        return std::nullopt;
    return QRectF(found->translated(-mapToGlobal(QPoint(0, 0))));
}

void TutorialOverlay::refresh(bool glide)
{
    const TutorialStep step = m_tutorial.step();
    const bool shown = m_tutorial.isActive() && step.advance != TutorialStep::AdvanceMode::onExpansion;
    if (!shown) {
        leave();
        return;
    }
    if (m_leaving)
        stayAfterAll();
    // A card that comes on screen is placed at once; only a step change on screen glides.
    const bool animate = glide && isVisible() && !Motion::reduced();
    if (!isVisible()) {
        if (QWidget* host = parentWidget())
            setGeometry(host->rect());
        show();
        if (!Motion::reduced())
            fadeTo(1, {});
    }
    m_tooltip->showStep(step, m_tutorial.currentStep(), m_tutorial.firstTrigger());

    const std::optional<QRectF> target = targetRect();
    const QRectF hole = target ? target->adjusted(-holeMarginX, -holeMarginY, holeMarginX, holeMarginY) : QRectF();
    m_passthrough = step.passthrough && target;
    m_holeTarget = hole;
    if (m_holeAnimation)
        m_holeAnimation->stop();
    if (animate && !m_hole.isEmpty() && !hole.isEmpty()) {
        auto* animation = new QVariantAnimation(this);
        m_holeAnimation = animation;
        animation->setStartValue(m_hole);
        animation->setEndValue(hole);
        animation->setDuration(int(glideSeconds * 1000));
        animation->setEasingCurve(QEasingCurve::InOutQuad);
        connect(animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setHole(value.toRectF()); });
        animation->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        setHole(hole);
    }

    const QPointF position = computeTooltipPos(target, step.position, size(), m_tooltip->cardHeight());
    if (m_tooltipAnimation)
        m_tooltipAnimation->stop();
    if (animate) {
        auto* animation = new QVariantAnimation(this);
        m_tooltipAnimation = animation;
        animation->setStartValue(m_tooltipPos);
        animation->setEndValue(position);
        animation->setDuration(int(glideSeconds * 1000));
        animation->setEasingCurve(QEasingCurve::InOutQuad);
        connect(animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { placeTooltip(value.toPointF()); });
        animation->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        placeTooltip(position);
    }
    updatePulse();
    // The keyboard follows the spotlight: whatever had the focus under the dim layer gives it
    // up to the card.
    if (!reachable().contains(focusedInWindow()))
        focusCard();
}

QWidget* TutorialOverlay::focusedInWindow() const
{
    return window() ? window()->focusWidget() : nullptr;
}

QList<QWidget*> TutorialOverlay::reachable() const
{
    QList<QWidget*> result;
    QWidget* top = window();
    if (!top)
        return result;
    // In the window's own Tab order: the card's buttons, and on a step where the user acts on
    // the highlighted control, the controls inside the hole.
    QWidget* widget = top;
    do {
        widget = widget->nextInFocusChain();
        if (!widget->isVisible() || !widget->isEnabled() || !(widget->focusPolicy() & Qt::TabFocus))
            continue;
        bool allowed = m_tooltip->isAncestorOf(widget);
        if (!allowed && m_passthrough && !m_holeTarget.isEmpty()) {
            const QRect frame(mapFromGlobal(widget->mapToGlobal(QPoint(0, 0))), widget->size());
            allowed = m_holeTarget.contains(QRectF(frame).center());
        }
        if (allowed && !result.contains(widget))
            result.append(widget);
    } while (widget != top);
    return result;
}

void TutorialOverlay::focusCard()
{
    QWidget* focus = focusedInWindow();
    if (focus && !m_tooltip->isAncestorOf(focus))
        m_focusBefore = focus;
    QWidget* target = m_tooltip->primaryButton();
    if (!target->isVisible() || !target->isEnabled()) {
        // A step without a button to move on asks for the highlighted control: the keyboard
        // goes there, so that Return presses it, rather than staying on a control under the
        // dim layer.
        const QList<QWidget*> allowed = reachable();
        const auto highlighted = std::find_if(
            allowed.begin(), allowed.end(), [this](QWidget* widget) { return !m_tooltip->isAncestorOf(widget); });
        target = highlighted != allowed.end() ? *highlighted : (allowed.isEmpty() ? nullptr : allowed.first());
    }
    if (target)
        target->setFocus(Qt::TabFocusReason);
}

bool TutorialOverlay::isCovered() const
{
    // A question put over the spotlight (a later sibling) answers the keyboard first.
    const QWidget* host = parentWidget();
    if (!host)
        return false;
    const QObjectList& layers = host->children();
    for (qsizetype i = layers.indexOf(const_cast<TutorialOverlay*>(this)) + 1; i > 0 && i < layers.size(); ++i) {
        if (const auto* layer = qobject_cast<const QWidget*>(layers.at(i));
            layer && layer->isVisible() && layer->isWindow() == false && layer->geometry().intersects(geometry()))
            return true;
    }
    return false;
}

bool TutorialOverlay::eventFilter(QObject* watched, QEvent* event)
{
    // Keys reach the popover's window before any widget or the popover's own key handling:
    // while the spotlight is up they stay on the card and the highlighted control.
    if (event->type() != QEvent::KeyPress || !isVisible() || m_leaving || !window()
        || watched != static_cast<QObject*>(window()->windowHandle()) || isCovered())
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    const QList<QWidget*> allowed = reachable();
    QWidget* focus = focusedInWindow();
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        if ((modifiers & ~Qt::ShiftModifier) != Qt::NoModifier || allowed.isEmpty())
            return true;
        const bool back = key->key() == Qt::Key_Backtab || modifiers.testFlag(Qt::ShiftModifier);
        const qsizetype at = allowed.indexOf(focus);
        const qsizetype next = at < 0 ? 0 : (at + (back ? allowed.size() - 1 : 1)) % allowed.size();
        allowed.at(next)->setFocus(back ? Qt::BacktabFocusReason : Qt::TabFocusReason);
        return true;
    }
    case Qt::Key_Escape:
        if (modifiers != Qt::NoModifier)
            return false;
        m_tutorial.skip();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        if (modifiers != Qt::NoModifier)
            return false;
        auto* button = qobject_cast<QAbstractButton*>(focus);
        if (!button || !allowed.contains(button))
            button = m_tooltip->primaryButton();
        if (button->isVisible() && button->isEnabled())
            button->click();
        return true;
    }
    default:
        if (allowed.contains(focus) || (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
            return false;
        // A key meant for a control under the dim layer goes nowhere; the card takes the focus.
        focusCard();
        return true;
    }
}

void TutorialOverlay::leave()
{
    m_pressOnDim = false;
    m_pulse->stop();
    if (!isVisible() || m_leaving)
        return;
    // The focus the card took goes back where it was.
    if (m_tooltip->isAncestorOf(focusedInWindow()) && m_focusBefore && m_focusBefore->isVisible())
        m_focusBefore->setFocus(Qt::OtherFocusReason);
    if (Motion::reduced() || !window()->isVisible()) {
        hide();
        return;
    }
    // Out of the way at once; only the picture fades.
    m_leaving = true;
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_escape->setEnabled(false);
    fadeTo(0, [this] {
        hide();
        stayAfterAll();
    });
}

void TutorialOverlay::stayAfterAll()
{
    m_leaving = false;
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    m_escape->setEnabled(true);
    if (m_fade)
        m_fade->stop();
    setGraphicsEffect(nullptr);
}

void TutorialOverlay::fadeTo(qreal opacity, std::function<void()> done)
{
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(this);
        effect->setOpacity(1 - opacity);
        setGraphicsEffect(effect);
    }
    if (m_fade)
        m_fade->stop();
    auto* animation = new QVariantAnimation(this);
    m_fade = animation;
    animation->setStartValue(effect->opacity());
    animation->setEndValue(opacity);
    animation->setDuration(int(glideSeconds * 1000));
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(animation, &QVariantAnimation::valueChanged, effect,
        [effect](const QVariant& value) { effect->setOpacity(value.toReal()); });
    connect(animation, &QVariantAnimation::finished, this, [this, done = std::move(done)] {
        // Drawn through the effect only while fading.
        setGraphicsEffect(nullptr);
        if (done)
            done();
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void TutorialOverlay::setHole(const QRectF& hole)
{
    m_hole = hole;
    updateInputRegion();
    update();
}

void TutorialOverlay::placeTooltip(const QPointF& centre)
{
    m_tooltipPos = centre;
    const int height = m_tooltip->cardHeight();
    m_tooltip->setGeometry(int(std::lround(centre.x() - halfCardWidth)), int(std::lround(centre.y() - height / 2.0)),
        TutorialTooltip::cardWidth, height);
    updateInputRegion();
    update();
}

void TutorialOverlay::updateInputRegion()
{
    if (!showsRing()) {
        clearMask();
        return;
    }
    const QRectF inner = m_hole.adjusted(inputInset, inputInset, -inputInset, -inputInset);
    const QPolygon hole = continuousRoundedRect(inner, holeRadius - inputInset).toFillPolygon().toPolygon();
    setMask(QRegion(rect()).subtracted(QRegion(hole)).united(m_tooltip->geometry()));
}

void TutorialOverlay::updatePulse()
{
    if (isVisible() && showsRing() && !Motion::reduced()) {
        if (m_pulse->state() != QAbstractAnimation::Running)
            m_pulse->start();
        return;
    }
    m_pulse->stop();
    m_ringOpacity = ringRestOpacity;
    update();
}

void TutorialOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath dim;
    dim.setFillRule(Qt::OddEvenFill);
    dim.addRect(QRectF(rect()));
    if (m_hole.width() > 0 && m_hole.height() > 0)
        dim.addPath(continuousRoundedRect(m_hole, holeRadius));
    const bool dark = Theme::appearance() == Appearance::dark;
    QColor black(Qt::black);
    black.setAlphaF(dark ? darkDimOpacity : dimOpacity);
    painter.fillPath(dim, black);

    if (!m_hole.isEmpty()) {
        // Dimming a dark page cannot set the hole apart by itself (black over near-black stays
        // near-black), so the hole always has an outline that stands out from the dim; on the
        // steps where the user acts in it, the outline pulses.
        QColor ring = Theme::text();
        const qreal strength = showsRing() ? m_ringOpacity : ringRestOpacity;
        ring.setAlphaF(ring.alphaF() * (dark ? 0.7 : 0.8) * strength);
        painter.strokePath(continuousRoundedRect(m_hole, holeRadius), QPen(ring, 1.5));
    }

    const QRectF card = QRectF(m_tooltip->geometry());
    const QPainterPath shape = continuousRoundedRect(card, TutorialTooltip::cornerRadius);
    paintSoftShadow(painter, shape, QColor(0, 0, 0, 20), 5, QPointF(0, 2));
    painter.fillPath(shape, tutorialMaterial());
    painter.strokePath(continuousRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), TutorialTooltip::cornerRadius),
        QPen(Theme::borderSubtle(), 1));
}

void TutorialOverlay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (isVisible())
        refresh(false);
}

void TutorialOverlay::mousePressEvent(QMouseEvent* event)
{
    m_pressOnDim = event->button() == Qt::LeftButton;
    event->accept();
}

void TutorialOverlay::mouseReleaseEvent(QMouseEvent* event)
{
    const bool tap = m_pressOnDim && rect().contains(event->position().toPoint());
    m_pressOnDim = false;
    event->accept();
    if (tap && m_tutorial.step().advance == TutorialStep::AdvanceMode::tapToContinue)
        m_tutorial.next();
}

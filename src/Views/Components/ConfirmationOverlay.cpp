#include "Views/Components/ConfirmationOverlay.h"

#include "Utilities/Scheduler.h"
#include "Utilities/Theme.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/ModalLayers.h"
#include "Views/Components/Motion.h"
#include "Views/Components/ScaleFadeEffect.h"
#include "Views/Components/SoftShadow.h"
#include "Views/Components/SymbolIcon.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/ViewStyle.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace {

constexpr int cardPadding = 20;
constexpr qreal cardRadius = 14;
constexpr int buttonHeight = 40;
constexpr int buttonSpacing = 8;
constexpr qreal buttonRadius = 10;

// The card's two answers: "Cancel" on glass with a hairline outline, and the confirm label
// in the card colour on the text colour. Both rounded rectangles take clicks everywhere.
class AnswerButton final : public QAbstractButton {
public:
    AnswerButton(const QString& title, bool confirms, QWidget* parent)
        : QAbstractButton(parent)
        , m_confirms(confirms)
    {
        setText(title);
        setFont(uiFont(13, confirms ? QFont::DemiBold : QFont::Normal));
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFixedHeight(buttonHeight);
        setAccessibleName(title);
        connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    }

    QSize sizeHint() const override { return {fontMetrics().horizontalAdvance(text()) + 24, buttonHeight}; }
    QSize minimumSizeHint() const override { return {24, buttonHeight}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (isDown())
            painter.setOpacity(0.75);
        const QRectF bounds = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
        const QPainterPath shape = continuousRoundedRect(bounds, buttonRadius);
        painter.fillPath(shape, m_confirms ? Theme::text() : Theme::surfaceGlass());
        if (!m_confirms)
            painter.strokePath(shape, QPen(Theme::borderSubtle(), 0.5));
        if (showsKeyboardFocus(this)) {
            QColor ring = Theme::borderSelected();
            painter.strokePath(
                continuousRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), buttonRadius - 1), QPen(ring, 2));
        }
        painter.setPen(m_confirms ? Theme::bgCard() : Theme::text());
        painter.setFont(font());
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, width() - 16);
        painter.drawText(rect(), Qt::AlignCenter, shown);
    }

private:
    bool m_confirms;
};

} // namespace

ConfirmationOverlay::ConfirmationOverlay(
    const ConfirmationRequest& request, std::function<void()> confirm, std::function<void()> cancel, QWidget* parent)
    : QWidget(parent)
    , m_request(request)
    , m_confirm(std::move(confirm))
    , m_cancel(std::move(cancel))
{
    setFocusPolicy(Qt::StrongFocus);
    // A question the popover waits on: read as a dialog, and the screen under it is out of
    // reach until it is answered.
    AccessibleRoles::setRole(this, QAccessible::Dialog);
    setAccessibleName(request.title);
    if (request.message)
        setAccessibleDescription(*request.message);
    AccessibleRoles::markModalLayer(this);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));

    m_card = new QWidget(this);
    m_card->setFixedWidth(cardWidth);
    auto* column = new QVBoxLayout(m_card);
    column->setContentsMargins(cardPadding, cardPadding, cardPadding, cardPadding);
    column->setSpacing(14);

    if (request.icon && SymbolIcon::contains(*request.icon)) {
        auto* icon = new SymbolLabel(*request.icon, 22, SymbolWeight::light, &Theme::textSecondary, m_card);
        column->addSpacing(4);
        column->addWidget(icon, 0, Qt::AlignHCenter);
    }

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    auto* title = new ThemedLabel(request.title, 16, QFont::Medium, &Theme::text, m_card);
    title->setAlignment(Qt::AlignCenter);
    title->setWordWrap(true);
    texts->addWidget(title);
    if (request.message) {
        auto* message = new ThemedLabel(*request.message, 12, QFont::Light, &Theme::textMuted, m_card);
        message->setAlignment(Qt::AlignCenter);
        message->setWordWrap(true);
        texts->addWidget(message);
    }
    column->addLayout(texts);

    m_cancelButton = new AnswerButton(QStringLiteral("Cancel"), false, m_card);
    m_confirmButton = new AnswerButton(request.confirmLabel, true, m_card);
    // Side by side in equal halves when both labels fit there; otherwise stacked, the
    // confirm button on top, so that no label is ever cut.
    const int half = (cardWidth - 2 * cardPadding - buttonSpacing) / 2;
    const bool sideBySide = m_cancelButton->sizeHint().width() <= half && m_confirmButton->sizeHint().width() <= half;
    QBoxLayout* buttons = sideBySide ? static_cast<QBoxLayout*>(new QHBoxLayout) : new QVBoxLayout;
    buttons->setSpacing(buttonSpacing);
    buttons->setContentsMargins(0, 4, 0, 0);
    if (sideBySide) {
        buttons->addWidget(m_cancelButton, 1);
        buttons->addWidget(m_confirmButton, 1);
    } else {
        buttons->addWidget(m_confirmButton);
        buttons->addWidget(m_cancelButton);
    }
    column->addLayout(buttons);
    connect(m_cancelButton, &QAbstractButton::clicked, this, [this] { answer(false); });
    connect(m_confirmButton, &QAbstractButton::clicked, this, [this] { answer(true); });
    setTabOrder(m_cancelButton, m_confirmButton);
}

void ConfirmationOverlay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Wrapped text makes the card's height depend on its width, which is fixed.
    const int height = m_card->layout()->totalHeightForWidth(cardWidth);
    m_card->setGeometry((width() - cardWidth) / 2, (this->height() - height) / 2, cardWidth, height);
}

void ConfirmationOverlay::setBackdropSource(std::function<QImage()> source)
{
    m_backdropSource = std::move(source);
    refreshBackdrop();
}

void ConfirmationOverlay::refreshBackdrop()
{
    const QImage behind = m_backdropSource ? m_backdropSource() : QImage();
    if (behind.isNull()) {
        m_backdrop = QImage();
    } else {
        // A thin frosted glass: blurred at half size, which also halves the work.
        const QImage small = behind.scaled(behind.size() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_backdrop = blurredImage(small, 5);
    }
    update();
}

void ConfirmationOverlay::present()
{
    if (QWidget* host = parentWidget())
        setGeometry(host->rect());
    show();
    raise();
    setFocus(Qt::PopupFocusReason);
    Scheduler::current().after(focusDelay, this, [this] {
        if (!m_answered && !m_dismissed)
            m_confirmButton->setFocus(Qt::OtherFocusReason);
    });
    if (Motion::reduced())
        return;
    animate(1, nullptr);
}

void ConfirmationOverlay::dismiss()
{
    m_dismissed = true;
    ModalLayers::release(this);
    if (Motion::reduced() || !isVisible()) {
        hide();
        deleteLater();
        return;
    }
    animate(0, [this] {
        hide();
        deleteLater();
    });
}

void ConfirmationOverlay::animate(qreal to, std::function<void()> done)
{
    if (!m_effect) {
        m_effect = new ScaleFadeEffect(startScale, this);
        m_effect->setProgress(1 - to);
        setGraphicsEffect(m_effect);
    }
    if (m_animation)
        m_animation->stop();
    auto* animation = new QVariantAnimation(this);
    m_animation = animation;
    animation->setStartValue(m_effect->progress());
    animation->setEndValue(to);
    animation->setDuration(int(transitionSeconds * 1000));
    animation->setEasingCurve(Motion::easeOut());
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        if (m_effect)
            m_effect->setProgress(value.toReal());
    });
    connect(animation, &QVariantAnimation::finished, this, [this, to, done = std::move(done)] {
        // Drawn through the effect only while moving: at rest the overlay paints directly.
        if (to >= 1)
            setGraphicsEffect(nullptr);
        if (done)
            done();
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void ConfirmationOverlay::answer(bool confirmed)
{
    if (m_answered || m_dismissed)
        return;
    m_answered = true;
    if (confirmed)
        m_confirm();
    else
        m_cancel();
}

void ConfirmationOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!m_backdrop.isNull()) {
        // Replaces what lies beneath rather than covering it, so that nothing sharp shows
        // through where the window itself is see-through.
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QRectF(rect()), m_backdrop);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    painter.fillRect(rect(), Theme::overlayDim());

    const QRectF card = QRectF(m_card->geometry());
    const QPainterPath shape = continuousRoundedRect(card, cardRadius);
    paintSoftShadow(painter, shape, QColor(0, 0, 0, 46), 18, QPointF(0, 6));
    painter.fillPath(shape, Theme::surfaceGlass());
    painter.strokePath(
        continuousRoundedRect(card.adjusted(0.25, 0.25, -0.25, -0.25), cardRadius), QPen(Theme::borderSubtle(), 0.5));
}

void ConfirmationOverlay::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshBackdrop();
}

void ConfirmationOverlay::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape: answer(false); return;
    case Qt::Key_Return:
    case Qt::Key_Enter: answer(true); return;
    default: QWidget::keyPressEvent(event);
    }
}

void ConfirmationOverlay::mousePressEvent(QMouseEvent* event)
{
    m_pressOnBackdrop = !m_card->geometry().contains(event->position().toPoint());
    event->accept();
}

void ConfirmationOverlay::mouseReleaseEvent(QMouseEvent* event)
{
    const bool onBackdrop = !m_card->geometry().contains(event->position().toPoint());
    if (m_pressOnBackdrop && onBackdrop && event->button() == Qt::LeftButton)
        answer(false);
    m_pressOnBackdrop = false;
    event->accept();
}

bool ConfirmationOverlay::focusNextPrevChild(bool)
{
    // Two buttons: either direction moves to the other one.
    QWidget* next = m_confirmButton->hasFocus() ? m_cancelButton : m_confirmButton;
    next->setFocus(Qt::TabFocusReason);
    return true;
}

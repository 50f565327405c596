#include "Views/MenuBar/achievements/DetailOverlay.h"

#include "Services/AchievementTexts.h"
#include "Utilities/Theme.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/ModalLayers.h"
#include "Views/Components/Motion.h"
#include "Views/Components/ScaleFadeEffect.h"
#include "Views/Components/SoftShadow.h"
#include "Views/Components/ViewStyle.h"
#include "Views/MenuBar/achievements/BadgeProgressBar.h"
#include "Views/MenuBar/achievements/DetailSheet.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>

DetailOverlay::DetailOverlay(DetailSheet* sheet, std::function<void()> onDismiss, QWidget* parent)
    : QWidget(parent)
    , m_sheet(sheet)
    , m_onDismiss(std::move(onDismiss))
    , m_effect(new ScaleFadeEffect(startScale, this))
{
    m_sheet->setParent(this);
    m_sheet->setGraphicsEffect(m_effect);
    m_effect->setProgress(0);
    // Keys reach the screen beneath through this layer, which holds the focus while it is up;
    // read as a dialog named and described by its sheet, the focus it takes tells what it shows.
    setFocusPolicy(Qt::StrongFocus);
    AccessibleRoles::setRole(this, QAccessible::Dialog);
    describeSheet();
    AccessibleRoles::markModalLayer(this);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void DetailOverlay::replaceSheet(DetailSheet* sheet)
{
    // The effect belongs to the sheet it is set on and goes with it.
    m_sheet->hide();
    m_sheet->deleteLater();
    m_sheet = sheet;
    m_sheet->setParent(this);
    m_effect = new ScaleFadeEffect(startScale, this);
    m_effect->setProgress(m_progress);
    m_sheet->setGraphicsEffect(m_effect);
    m_sheet->show();
    describeSheet();
    placeSheet();
    update();
}

void DetailOverlay::describeSheet()
{
    setAccessibleName(m_sheet->title());
    const BadgeProgressBar* progress = m_sheet->progressBlock();
    setAccessibleDescription(AchievementTexts::sentences({m_sheet->tierLabel(), m_sheet->description(),
        progress ? QStringLiteral("Progress ") + progress->text() : QString(), m_sheet->metaLine()}));
}

void DetailOverlay::present()
{
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
    animate(1, {});
}

void DetailOverlay::leave()
{
    if (m_leaving)
        return;
    m_leaving = true;
    ModalLayers::release(this);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    QPointer<DetailOverlay> self(this);
    animate(0, [self] {
        if (self)
            self->deleteLater();
    });
}

void DetailOverlay::animate(qreal to, std::function<void()> done)
{
    if (m_animation)
        m_animation->stop();
    m_animation = Motion::easeOutTransition(
        this, m_progress, to, transitionSeconds, !isVisible(),
        [this](qreal progress) {
            m_progress = progress;
            m_effect->setProgress(progress);
            update();
        },
        std::move(done));
}

void DetailOverlay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeSheet();
}

void DetailOverlay::placeSheet()
{
    const QSize size(DetailSheet::sheetWidth,
        m_sheet->heightForWidth(DetailSheet::sheetWidth) > 0 ? m_sheet->heightForWidth(DetailSheet::sheetWidth)
                                                             : m_sheet->sizeHint().height());
    m_sheet->setGeometry(QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size));
}

void DetailOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_progress);
    painter.fillRect(rect(), Theme::overlayDim());
    const QPainterPath shape = continuousRoundedRect(QRectF(m_sheet->geometry()), DetailSheet::cornerRadius);
    paintSoftShadow(painter, shape, QColor::fromRgbF(0, 0, 0, 0.3f), 24, QPointF(0, 10));
}

void DetailOverlay::mousePressEvent(QMouseEvent* event)
{
    m_pressOnDim = event->button() == Qt::LeftButton && !m_sheet->geometry().contains(event->position().toPoint());
    event->accept();
}

void DetailOverlay::mouseReleaseEvent(QMouseEvent* event)
{
    const bool onDim = m_pressOnDim && !m_sheet->geometry().contains(event->position().toPoint());
    m_pressOnDim = false;
    event->accept();
    if (onDim && m_onDismiss)
        m_onDismiss();
}

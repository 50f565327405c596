#include "Views/Components/FormErrorLine.h"

#include "Utilities/Theme.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/ViewStyle.h"
#include "platform/MotionSettings.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QVariantAnimation>

namespace {

class ErrorPanel final : public QWidget {
public:
    explicit ErrorPanel(QWidget* parent)
        : QWidget(parent)
    {
        connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPainterPath shape = continuousRoundedRect(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), 8);
        QColor fill = Theme::danger();
        fill.setAlphaF(0.08f);
        QColor outline = Theme::danger();
        outline.setAlphaF(0.15f);
        painter.fillPath(shape, fill);
        painter.strokePath(shape, QPen(outline, 0.5));
    }
};

} // namespace

FormErrorLine::FormErrorLine(QWidget* parent)
    : QWidget(parent)
    , m_panel(new ErrorPanel(this))
    , m_text(new ThemedLabel(QString(), 12, QFont::Normal, &Theme::danger, m_panel))
    , m_opacity(new QGraphicsOpacityEffect(m_panel))
    , m_animation(new QVariantAnimation(this))
    , m_notice(AccessibleRoles::addNotice(this))
{
    auto* row = new QHBoxLayout(m_panel);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(6);
    auto* symbol = new SymbolLabel(
        QStringLiteral("exclamationmark.circle.fill"), 12, SymbolWeight::regular, &Theme::danger, m_panel);
    // Level with the first line of the message, which may wrap onto more.
    symbol->setFixedHeight(m_text->fontMetrics().height());
    row->addWidget(symbol, 0, Qt::AlignTop);
    m_text->setWordWrap(true);
    m_text->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    row->addWidget(m_text, 1);

    m_panel->setGraphicsEffect(m_opacity);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_animation->setDuration(int(transitionSeconds * 1000));
    m_animation->setEasingCurve(QEasingCurve::OutQuad);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
        [this](const QVariant& value) { setProgress(value.toReal()); });
    setProgress(0);
}

void FormErrorLine::setMessage(const std::optional<QString>& message)
{
    if (message == m_message)
        return;
    m_message = message;
    m_animation->stop();
    const qreal target = message ? 1.0 : 0.0;
    if (message) {
        // A line on its way out keeps its old text; a new message replaces it at once.
        m_text->setText(*message);
        m_text->setAccessibleName(*message);
        setVisible(true);
        // Said as the toasts are: Qt passes no alert on to a screen reader.
        AccessibleRoles::announce(m_notice, *message, QRect(QPoint(0, 0), m_panel->size()));
    } else {
        m_notice->hide();
    }
    const bool onScreen = parentWidget() && parentWidget()->isVisible();
    if (MotionSettings::current().reduceMotion() || !onScreen || m_progress == target) {
        setProgress(target);
        return;
    }
    m_animation->setStartValue(m_progress);
    m_animation->setEndValue(target);
    m_animation->start();
}

int FormErrorLine::panelHeight() const
{
    QLayout* layout = m_panel->layout();
    const int w = width() > 0 ? width() : m_panel->sizeHint().width();
    return layout->hasHeightForWidth() ? layout->totalHeightForWidth(w) : layout->totalSizeHint().height();
}

QSize FormErrorLine::sizeHint() const
{
    return {m_panel->sizeHint().width(), qRound(m_progress * panelHeight())};
}

QSize FormErrorLine::minimumSizeHint() const
{
    return {0, 0};
}

void FormErrorLine::setProgress(qreal progress)
{
    m_progress = progress;
    m_opacity->setOpacity(progress);
    setVisible(progress > 0 || m_message);
    place();
}

void FormErrorLine::place()
{
    const int h = panelHeight();
    m_panel->setGeometry(0, qRound(-(1 - m_progress) * h), width(), h);
    const int shown = qRound(m_progress * h);
    if (minimumHeight() != shown || maximumHeight() != shown)
        setFixedHeight(shown);
}

void FormErrorLine::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place();
}

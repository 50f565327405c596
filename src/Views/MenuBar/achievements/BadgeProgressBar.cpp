#include "Views/MenuBar/achievements/BadgeProgressBar.h"

#include "Services/AchievementListing.h"
#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"

#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int sidePadding = 32;

int barHeight(BadgeProgressBar::Style style)
{
    return style == BadgeProgressBar::Style::card ? 2 : 4;
}

int spacing(BadgeProgressBar::Style style)
{
    return style == BadgeProgressBar::Style::card ? 2 : 6;
}

QFont textFont(BadgeProgressBar::Style style)
{
    return uiFont(style == BadgeProgressBar::Style::card ? 9 : 11);
}

// Read as a progress bar from 0 to the target, named by its "current / target" text.
class ProgressAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ProgressAccessible(BadgeProgressBar* bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name ? bar()->text() : QAccessibleWidget::text(kind);
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return bar()->progress().current; }
    void setCurrentValue(const QVariant&) override { }
    QVariant maximumValue() const override { return bar()->progress().target; }
    QVariant minimumValue() const override { return qint64(0); }
    QVariant minimumStepSize() const override { return qint64(1); }

private:
    const BadgeProgressBar* bar() const { return static_cast<const BadgeProgressBar*>(widget()); }
};

QAccessibleInterface* progressFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("BadgeProgressBar"))
        return new ProgressAccessible(static_cast<BadgeProgressBar*>(object));
    return nullptr;
}
} // namespace

BadgeProgressBar::BadgeProgressBar(const AchievementProgress& progress, Style style, QWidget* parent)
    : QWidget(parent)
    , m_progress(progress)
    , m_style(style)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    static const bool installed = [] {
        QAccessible::installFactory(progressFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setFixedHeight(sizeHint().height());
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

QString BadgeProgressBar::text() const
{
    return QStringLiteral("%1 / %2").arg(m_progress.current).arg(m_progress.target);
}

double BadgeProgressBar::fraction() const
{
    return AchievementListing::fraction(m_progress);
}

QSize BadgeProgressBar::sizeHint() const
{
    const QFontMetrics metrics(textFont(m_style));
    return QSize(
        2 * sidePadding + metrics.horizontalAdvance(text()), barHeight(m_style) + spacing(m_style) + metrics.height());
}

QSize BadgeProgressBar::minimumSizeHint() const
{
    return QSize(2 * sidePadding + 20, sizeHint().height());
}

QRectF BadgeProgressBar::barRect() const
{
    return QRectF(sidePadding, 0, std::max(0, width() - 2 * sidePadding), barHeight(m_style));
}

void BadgeProgressBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bar = barRect();
    const qreal radius = bar.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::borderSubtle());
    painter.drawRoundedRect(bar, radius, radius);
    const double share = fraction();
    if (share > 0) {
        QColor fill = Theme::text();
        fill.setAlphaF(0.6f);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(bar.topLeft(), QSizeF(bar.width() * share, bar.height())), radius, radius);
    }
    painter.setFont(textFont(m_style));
    painter.setPen(Theme::textMuted());
    const QRectF label(0, bar.bottom() + spacing(m_style), width(), height() - bar.bottom() - spacing(m_style));
    painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop, text());
}

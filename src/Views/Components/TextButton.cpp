#include "Views/Components/TextButton.h"

#include "Utilities/Theme.h"

#include <QPainter>
#include <cmath>

TextButton::TextButton(const QString& title, int pixelSize, QFont::Weight weight, ThemeColor color, QWidget* parent)
    : QAbstractButton(parent)
    , m_color(color)
{
    setTitle(title);
    setFont(uiFont(pixelSize, weight));
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void TextButton::setTitle(const QString& title)
{
    setText(title);
    setShortcut(QKeySequence());
    updateGeometry();
}

void TextButton::setColor(ThemeColor color)
{
    m_color = color;
    update();
}

namespace {

// The title's width rounded up: a title a fraction of a pixel wider than its box would be
// cut short.
int titleWidth(const QFont& font, const QString& text)
{
    return int(std::ceil(QFontMetricsF(font).horizontalAdvance(text)));
}

} // namespace

QSize TextButton::sizeHint() const
{
    return {titleWidth(font(), text()) + 4, fontMetrics().height() + 6};
}

QSize TextButton::minimumSizeHint() const
{
    return {std::min(titleWidth(font(), text()), titleWidth(font(), QStringLiteral("Mm…"))) + 4,
        fontMetrics().height() + 6};
}

void TextButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        painter.setOpacity(0.75);
    painter.setFont(font());
    painter.setPen(isEnabled() ? m_color() : Theme::textMuted());
    const QRect area = rect().adjusted(2, 0, -2, 0);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
    if (showsKeyboardFocus(this)) {
        painter.setOpacity(1.0);
        painter.setPen(QPen(Theme::borderSelected(), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 5, 5);
    }
}

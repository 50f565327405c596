#include "Views/MenuBar/TextButton.h"

#include "Utilities/Theme.h"

#include <QPainter>

TextButton::TextButton(const QString& title, int pixelSize, QFont::Weight weight, ThemeColor color, QWidget* parent)
    : QAbstractButton(parent), m_color(color)
{
    setText(title);
    setFont(uiFont(pixelSize, weight));
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void TextButton::setColor(ThemeColor color)
{
    m_color = color;
    update();
}

QSize TextButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 4, metrics.height() + 6};
}

QSize TextButton::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return {std::min(metrics.horizontalAdvance(text()), metrics.horizontalAdvance(QStringLiteral("Mm…"))) + 4,
            metrics.height() + 6};
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

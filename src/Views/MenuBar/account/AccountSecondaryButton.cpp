#include "Views/MenuBar/account/AccountSecondaryButton.h"

#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"

#include <QPainter>

namespace {

constexpr int verticalPadding = 10;

} // namespace

AccountSecondaryButton::AccountSecondaryButton(const QString& title, QWidget* parent)
    : PaintedButton(title, parent)
{
    setFont(uiFont(12, QFont::Medium));
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize AccountSecondaryButton::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(text()) + 8, fontMetrics().height() + 2 * verticalPadding};
}

QSize AccountSecondaryButton::minimumSizeHint() const
{
    return {fontMetrics().horizontalAdvance(QStringLiteral("Mm…")), fontMetrics().height() + 2 * verticalPadding};
}

void AccountSecondaryButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    beginPaint(painter);
    painter.setFont(font());
    painter.setPen(isEnabled() ? Theme::textSecondary() : Theme::textMuted());
    painter.drawText(
        rect(), Qt::AlignCenter | Qt::TextSingleLine, fontMetrics().elidedText(text(), Qt::ElideRight, width() - 4));
    if (showsKeyboardFocus(this)) {
        painter.setOpacity(1.0);
        painter.setPen(QPen(Theme::borderSelected(), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 8, 8);
    }
}

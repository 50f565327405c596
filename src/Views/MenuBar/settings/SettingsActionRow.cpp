#include "Views/MenuBar/settings/SettingsActionRow.h"

#include "Utilities/Theme.h"
#include "Views/Components/SymbolIcon.h"
#include "Views/Components/ViewStyle.h"

#include <QPainter>

namespace {

constexpr int horizontalPadding = 16;
constexpr int spacing = 10;
constexpr int symbolFrame = 18;
constexpr int chevronSide = 10;
constexpr int quitSpacing = 6;

} // namespace

SettingsActionRow::SettingsActionRow(Kind kind, const QString& title, const QString& symbol, QWidget* parent)
    : PaintedButton(title, parent)
    , m_kind(kind)
    , m_symbol(symbol)
{
    setFont(uiFont(kind == Kind::quit ? 12 : 13));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
}

QSize SettingsActionRow::sizeHint() const
{
    const int title = fontMetrics().horizontalAdvance(text());
    return {horizontalPadding * 2 + symbolFrame + spacing + title + spacing + chevronSide, minimumHeight};
}

QSize SettingsActionRow::minimumSizeHint() const
{
    return {horizontalPadding * 2 + symbolFrame, minimumHeight};
}

void SettingsActionRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    beginPaint(painter);
    const bool danger = m_kind != Kind::action;
    const QColor ink = danger ? Theme::danger() : Theme::text();
    const QColor symbolInk = danger ? Theme::danger() : Theme::textSecondary();
    const QFontMetrics metrics = fontMetrics();
    const qreal middle = height() / 2.0;
    if (m_kind == Kind::quit) {
        const int side = SymbolIcon::sideFor(11);
        const int textWidth = metrics.horizontalAdvance(text());
        const qreal left = (width() - (side + quitSpacing + textWidth)) / 2.0;
        SymbolIcon::paint(painter, QRectF(left, middle - side / 2.0, side, side), m_symbol, ink, SymbolWeight::medium);
        painter.setPen(ink);
        painter.drawText(
            QRectF(left + side + quitSpacing, 0, textWidth + 1, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
    } else {
        const int side = SymbolIcon::sideFor(12);
        SymbolIcon::paint(painter,
            QRectF(horizontalPadding + (symbolFrame - side) / 2.0, middle - side / 2.0, side, side), m_symbol,
            symbolInk);
        const int textLeft = horizontalPadding + symbolFrame + spacing;
        int textRight = width() - horizontalPadding;
        if (m_kind == Kind::action) {
            SymbolIcon::paint(painter,
                QRectF(width() - horizontalPadding - chevronSide, middle - chevronSide / 2.0, chevronSide, chevronSide),
                u"chevron.right", Theme::textMuted(), SymbolWeight::medium);
            textRight -= chevronSide + spacing;
        }
        painter.setPen(ink);
        painter.drawText(QRectF(textLeft, 0, textRight - textLeft, height()), Qt::AlignVCenter | Qt::AlignLeft,
            metrics.elidedText(text(), Qt::ElideRight, textRight - textLeft));
    }

    if (showsKeyboardFocus(this)) {
        painter.setOpacity(1.0);
        painter.setPen(QPen(Theme::borderSelected(), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(3, 2, -3, -2), 8, 8);
    }
}

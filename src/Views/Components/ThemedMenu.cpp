#include "Views/Components/ThemedMenu.h"

#include "Utilities/Theme.h"
#include "Views/Components/SoftShadow.h"
#include "Views/Components/SymbolIcon.h"
#include "Views/Components/ViewStyle.h"
#include "platform/WindowEffects.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

namespace {

constexpr int panelPadding = 6;
constexpr qreal panelRadius = 10;
constexpr qreal rowRadius = 6;
constexpr int rowSidePadding = 10;
constexpr int rowVerticalPadding = 5;
constexpr int iconGap = 8;
constexpr int shortcutGap = 24;
constexpr int separatorHeight = 9;
constexpr qreal chevronPointSize = 10;
constexpr qreal shadowBlur = 5;

bool isDark()
{
    return Theme::appearance() == Appearance::dark;
}

QColor rowText(bool enabled)
{
    QColor color = Theme::text();
    if (!enabled)
        color.setAlphaF(0.35f);
    return color;
}

QPainterPath panelShape(const QRect& rect)
{
    return continuousRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), panelRadius);
}

// `icon` in the row's colour when it is a mask (a silhouette), else as it is.
QPixmap rowIcon(const QIcon& icon, qreal ratio, bool enabled, const QColor& color)
{
    const QIcon::Mode mode = enabled ? QIcon::Normal : QIcon::Disabled;
    QPixmap pixmap = icon.pixmap(QSize(ThemedMenu::iconSide, ThemedMenu::iconSide), ratio, mode);
    if (!icon.isMask() || pixmap.isNull())
        return pixmap;
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    painter.end();
    return QPixmap::fromImage(std::move(image));
}

class MenuStyle final : public QProxyStyle {
public:
    MenuStyle()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    {
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        switch (metric) {
        case PM_MenuPanelWidth: return 0;
        case PM_MenuHMargin:
        case PM_MenuVMargin: return panelPadding;
        case PM_SmallIconSize: return ThemedMenu::iconSide;
        // A submenu's panel opens just clear of the one whose row opened it.
        case PM_SubMenuOverlap: return panelPadding + 2;
        default: return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    int styleHint(
        StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* returnData) const override
    {
        switch (hint) {
        case SH_Menu_Mask:
            // Without translucency the corners are cut from the window instead.
            if (widget && !widget->testAttribute(Qt::WA_TranslucentBackground)) {
                if (auto* mask = qstyleoption_cast<QStyleHintReturnMask*>(returnData))
                    mask->region = QRegion(panelShape(widget->rect()).toFillPolygon().toPolygon());
                return 1;
            }
            return 0;
        case SH_Menu_FlashTriggeredItem:
        case SH_Menu_FadeOutOnHide: return 0;
        default: return QProxyStyle::styleHint(hint, option, widget, returnData);
        }
    }

    void drawPrimitive(
        PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const override
    {
        switch (element) {
        case PE_PanelMenu: paintPanel(*painter, option->rect, widget); return;
        case PE_FrameMenu: return;
        default: QProxyStyle::drawPrimitive(element, option, painter, widget);
        }
    }

    void drawControl(
        ControlElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const override
    {
        if (element == CE_MenuEmptyArea)
            return;
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (element == CE_MenuItem && item) {
            painter->save();
            paintItem(*painter, *item);
            painter->restore();
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    QSize sizeFromContents(
        ContentsType type, const QStyleOption* option, const QSize& contents, const QWidget* widget) const override
    {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (type != CT_MenuItem || !item)
            return QProxyStyle::sizeFromContents(type, option, contents, widget);
        if (item->menuItemType == QStyleOptionMenuItem::Separator)
            return {contents.width(), separatorHeight};
        int width = 2 * rowSidePadding + contents.width();
        if (item->maxIconWidth > 0 || item->checkType != QStyleOptionMenuItem::NotCheckable)
            width += ThemedMenu::iconSide + iconGap;
        if (item->text.contains(QLatin1Char('\t')))
            width += shortcutGap;
        if (item->menuItemType == QStyleOptionMenuItem::SubMenu)
            width += iconGap + SymbolIcon::sideFor(chevronPointSize);
        return {width, qMax(contents.height(), ThemedMenu::iconSide) + 2 * rowVerticalPadding};
    }

private:
    static void paintPanel(QPainter& painter, const QRect& rect, const QWidget* widget)
    {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        if (widget && widget->testAttribute(Qt::WA_TranslucentBackground)) {
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.fillRect(rect, Qt::transparent);
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            const QPainterPath shape = panelShape(widget->contentsRect());
            paintSoftShadow(painter, shape, QColor(0, 0, 0, isDark() ? 110 : 46), shadowBlur, QPointF(0, 3));
            painter.fillPath(shape, Theme::bgCard());
            painter.strokePath(shape, QPen(ThemedMenu::panelOutline(), 1));
            painter.restore();
            return;
        }
        // The window mask cuts the corners along this shape's edge, whole pixels only: the
        // outline runs a pixel inside so that it is not cut away with them.
        painter.fillRect(rect, Theme::bgCard());
        painter.strokePath(panelShape(rect.adjusted(1, 1, -1, -1)), QPen(ThemedMenu::panelOutline(), 1));
        painter.restore();
    }

    static void paintItem(QPainter& painter, const QStyleOptionMenuItem& item)
    {
        painter.setRenderHint(QPainter::Antialiasing);
        const QRect row = item.rect;
        if (item.menuItemType == QStyleOptionMenuItem::Separator) {
            const qreal y = row.center().y() + 0.5;
            painter.setPen(QPen(ThemedMenu::panelOutline(), 1));
            painter.drawLine(QPointF(row.left() + rowSidePadding, y), QPointF(row.right() + 1 - rowSidePadding, y));
            return;
        }
        const bool enabled = item.state.testFlag(State_Enabled);
        if (enabled && item.state.testFlag(State_Selected))
            painter.fillPath(continuousRoundedRect(row, rowRadius), ThemedMenu::rowHighlight());

        const QColor color = rowText(enabled);
        int left = row.left() + rowSidePadding;
        if (item.maxIconWidth > 0 || item.checkType != QStyleOptionMenuItem::NotCheckable) {
            const QRect iconBox(left, row.top() + (row.height() - ThemedMenu::iconSide) / 2, ThemedMenu::iconSide,
                ThemedMenu::iconSide);
            if (item.checkType != QStyleOptionMenuItem::NotCheckable && item.checked)
                SymbolIcon::paint(painter, iconBox, u"checkmark", color, SymbolWeight::medium);
            else if (!item.icon.isNull())
                painter.drawPixmap(iconBox, rowIcon(item.icon, painter.device()->devicePixelRatioF(), enabled, color));
            left += ThemedMenu::iconSide + iconGap;
        }

        int right = row.right() + 1 - rowSidePadding;
        if (item.menuItemType == QStyleOptionMenuItem::SubMenu) {
            const int side = SymbolIcon::sideFor(chevronPointSize);
            SymbolIcon::paint(painter, QRectF(right - side, row.top() + (row.height() - side) / 2.0, side, side),
                u"chevron.right", Theme::textMuted(), SymbolWeight::medium);
            right -= side + iconGap;
        }

        const qsizetype tab = item.text.indexOf(QLatin1Char('\t'));
        const QString title = tab < 0 ? item.text : item.text.left(tab);
        painter.setFont(item.font);
        if (tab >= 0) {
            QColor keys = Theme::textMuted();
            if (!enabled)
                keys.setAlphaF(keys.alphaF() * 0.6f);
            painter.setPen(keys);
            const QString shortcut = item.text.mid(tab + 1);
            painter.drawText(
                QRect(left, row.top(), right - left, row.height()), Qt::AlignRight | Qt::AlignVCenter, shortcut);
            right -= QFontMetrics(item.font).horizontalAdvance(shortcut) + shortcutGap;
        }
        painter.setPen(color);
        const QRect textBox(left, row.top(), right - left, row.height());
        const QString shown
            = QFontMetrics(item.font).elidedText(title, Qt::ElideRight, textBox.width(), Qt::TextShowMnemonic);
        painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextHideMnemonic, shown);
    }
};

QStyle* menuStyle()
{
    static QPointer<MenuStyle> style;
    if (!style) {
        style = new MenuStyle;
        style->setParent(qApp);
    }
    return style;
}

} // namespace

ThemedMenu::ThemedMenu(QWidget* parent)
    : QMenu(parent)
{
    setStyle(menuStyle());
    setFont(uiFont(13));
    if (WindowEffects::current().translucencyAvailable()) {
        setAttribute(Qt::WA_TranslucentBackground);
        setContentsMargins(shadowMargin, shadowMargin, shadowMargin, shadowMargin);
    }
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    closeWhenTriggered(this);
}

void ThemedMenu::closeWhenTriggered(QMenu* menu)
{
    // A submenu's item reports to every menu it was opened from, each of which closes itself.
    QObject::connect(menu, &QMenu::triggered, menu, [menu] {
        if (menu->isVisible())
            menu->hide();
    });
}

void ThemedMenu::showEvent(QShowEvent* event)
{
    // Placed where it was asked to pop up, the window's top-left corner: the panel, inside
    // the shadow margins, goes there instead. A submenu is already raised to line its first
    // row up with the row that opened it.
    if (testAttribute(Qt::WA_TranslucentBackground))
        move(pos() - QPoint(shadowMargin, qobject_cast<QMenu*>(parentWidget()) ? 0 : shadowMargin));
    QMenu::showEvent(event);
}

void ThemedMenu::setOpener(QAbstractButton* button)
{
    button->installEventFilter(this);
}

void ThemedMenu::popUpFromOpener(const QPoint& position)
{
    const bool byPointer = std::exchange(m_pressedByPointer, false);
    popup(position);
    if (!byPointer)
        highlightFirstItem(this);
}

void ThemedMenu::highlightFirstItem(QMenu* menu)
{
    const QList<QAction*> entries = menu->actions();
    const auto first = std::find_if(entries.begin(), entries.end(),
        [](const QAction* entry) { return entry->isVisible() && entry->isEnabled() && !entry->isSeparator(); });
    if (first != entries.end())
        menu->setActiveAction(*first);
}

bool ThemedMenu::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: m_pressedByPointer = true; break;
    case QEvent::KeyPress: m_pressedByPointer = false; break;
    default: break;
    }
    return QMenu::eventFilter(watched, event);
}

ThemedMenu::ThemedMenu(const QString& title, QWidget* parent)
    : ThemedMenu(parent)
{
    setTitle(title);
}

ThemedMenu* ThemedMenu::addThemedMenu(const QString& title)
{
    auto* menu = new ThemedMenu(title, this);
    addMenu(menu);
    return menu;
}

QIcon ThemedMenu::symbol(const QString& name)
{
    QIcon icon = SymbolIcon::icon(name, &Theme::text);
    icon.setIsMask(true);
    return icon;
}

// The row under the pointer: the text colour thinly laid over the panel, which reads in both
// appearances where a glass fill would vanish on the light card.
QColor ThemedMenu::rowHighlight()
{
    QColor color = Theme::text();
    color.setAlphaF(isDark() ? 0.14f : 0.08f);
    return color;
}

// Stronger than the cards' outline: a menu lies over the popover's own surfaces.
QColor ThemedMenu::panelOutline()
{
    QColor color = isDark() ? QColor(Qt::white) : QColor(Qt::black);
    color.setAlphaF(isDark() ? 0.16f : 0.12f);
    return color;
}

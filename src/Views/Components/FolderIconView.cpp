#include "Views/Components/FolderIconView.h"

#include "Utilities/Theme.h"

#include <QPainter>
#include <QtMath>

FolderIconView::FolderIconView(std::optional<QString> icon, qreal size, QList<CustomIcon> customIcons, QWidget* parent)
    : QWidget(parent)
    , m_icon(std::move(icon))
    , m_size(size)
    , m_customIcons(std::move(customIcons))
{
    setFixedSize(qCeil(size), qCeil(size));
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void FolderIconView::setIcon(const std::optional<QString>& icon)
{
    if (icon == m_icon)
        return;
    m_icon = icon;
    update();
}

void FolderIconView::setCustomIcons(const QList<CustomIcon>& customIcons)
{
    m_customIcons = customIcons;
    update();
}

void FolderIconView::setColor(ThemeColor color)
{
    m_color = color;
    update();
}

void FolderIconView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_painter.paint(painter, QRectF(rect()).center(), m_size, m_icon, m_customIcons, font(), m_color());
}

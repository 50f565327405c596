#include "Views/MenuBar/chooser/IconTileGrid.h"

#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"
#include "Views/MenuBar/chooser/IconTileGridAccessible.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QToolTip>

namespace {

constexpr int titleGap = 4; // above a section title
constexpr int titleSpacing = 6; // between a title and its tiles
constexpr int emptyTextGap = 24;

QFont titleFont()
{
    return uiFont(11);
}

QFont emptyTextFont()
{
    return uiFont(12);
}

} // namespace

IconTileGrid::IconTileGrid(Kind kind, QWidget* parent)
    : QWidget(parent)
    , m_kind(kind)
{
    IconTileGridAccessible::install();
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

int IconTileGrid::columns() const
{
    return m_kind == Kind::icons ? 5 : 6;
}

int IconTileGrid::tileHeight() const
{
    return m_kind == Kind::icons ? 40 : 36;
}

void IconTileGrid::setSections(const QList<Section>& sections)
{
    m_tiles.clear();
    m_titles.clear();
    for (const Section& section : sections) {
        if (section.tiles.isEmpty())
            continue;
        m_titles.append({section.title, int(m_tiles.size())});
        m_tiles.append(section.tiles);
    }
    m_hovered = -1;
    m_pressed = -1;
    if (m_current >= count())
        m_current = count() - 1;
    setFocusPolicy(m_tiles.isEmpty() ? Qt::NoFocus : Qt::StrongFocus);
    relayout();
    if (QAccessible::isActive()) {
        if (auto* accessible = dynamic_cast<IconTileGridAccessible*>(QAccessible::queryAccessibleInterface(this)))
            accessible->tilesChanged();
        QAccessibleEvent reordered(this, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&reordered);
    }
}

void IconTileGrid::setTiles(const QList<Tile>& tiles)
{
    setSections({Section{QString(), tiles}});
}

void IconTileGrid::setEmptyText(const QString& text)
{
    m_emptyText = text;
    relayout();
}

void IconTileGrid::setMarkedKey(const std::optional<QString>& key)
{
    m_markedKey = key;
    update();
}

void IconTileGrid::setCustomIcons(const QList<CustomIcon>& customIcons)
{
    m_customIcons = customIcons;
    update();
}

QStringList IconTileGrid::keys() const
{
    QStringList keys;
    for (const Tile& tile : m_tiles)
        keys.append(tile.key);
    return keys;
}

QStringList IconTileGrid::sectionTitles() const
{
    QStringList titles;
    for (const auto& [title, first] : m_titles)
        titles.append(title);
    return titles;
}

IconTileGrid::Geometry IconTileGrid::geometryFor(int width) const
{
    Geometry geometry;
    const QMargins margins = contentsMargins();
    const int inner = qMax(0, width - margins.left() - margins.right());
    const int columnCount = columns();
    const qreal tileWidth = qMax(10.0, qreal(inner - (columnCount - 1) * spacing) / columnCount);
    const int titleHeight = QFontMetrics(titleFont()).height();
    int y = margins.top();
    for (qsizetype section = 0; section < m_titles.size(); ++section) {
        const int first = m_titles[section].second;
        const int end = section + 1 < m_titles.size() ? m_titles[section + 1].second : count();
        if (section > 0)
            y += sectionSpacing;
        if (!m_titles[section].first.isEmpty()) {
            geometry.titles.append({m_titles[section].first, QRect(margins.left(), y + titleGap, inner, titleHeight)});
            y += titleGap + titleHeight + titleSpacing;
        }
        for (int index = first; index < end; ++index) {
            const int row = (index - first) / columnCount;
            const int column = (index - first) % columnCount;
            const qreal left = margins.left() + column * (tileWidth + spacing);
            const int top = y + row * (tileHeight() + spacing);
            geometry.tiles.append(
                QRect(QPoint(qRound(left), top), QPoint(qRound(left + tileWidth) - 1, top + tileHeight() - 1)));
        }
        const int rows = (end - first + columnCount - 1) / columnCount;
        y += rows * tileHeight() + (rows - 1) * spacing;
    }
    if (m_tiles.isEmpty() && !m_emptyText.isEmpty()) {
        geometry.emptyText = QRect(margins.left(), y + emptyTextGap, inner, QFontMetrics(emptyTextFont()).height());
        y = geometry.emptyText.bottom() + 1;
    }
    geometry.height = y + margins.bottom();
    return geometry;
}

void IconTileGrid::relayout()
{
    m_geometry = geometryFor(width());
    updateGeometry();
    update();
}

int IconTileGrid::heightForWidth(int width) const
{
    return geometryFor(width).height;
}

QSize IconTileGrid::sizeHint() const
{
    const int width = this->width() > 0 ? this->width() : 276;
    return {width, heightForWidth(width)};
}

QSize IconTileGrid::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return {margins.left() + margins.right() + columns() * 10 + (columns() - 1) * spacing, 0};
}

QRect IconTileGrid::tileRect(int index) const
{
    return index >= 0 && index < m_geometry.tiles.size() ? m_geometry.tiles[index] : QRect();
}

int IconTileGrid::tileAt(const QPoint& position) const
{
    for (qsizetype index = 0; index < m_geometry.tiles.size(); ++index) {
        if (m_geometry.tiles[index].contains(position))
            return int(index);
    }
    return -1;
}

void IconTileGrid::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_geometry = geometryFor(width());
}

void IconTileGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect dirty = event->rect();
    painter.setFont(titleFont());
    painter.setPen(Theme::textMuted());
    for (const auto& [title, rect] : m_geometry.titles) {
        if (rect.intersects(dirty))
            painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, title);
    }
    if (!m_geometry.emptyText.isNull()) {
        painter.setFont(emptyTextFont());
        painter.drawText(m_geometry.emptyText, Qt::AlignCenter, m_emptyText);
    }
    // The cursor's ring reaches a little beyond its tile.
    const QRect reach = dirty.adjusted(-3, -3, 3, 3);
    for (qsizetype index = 0; index < m_geometry.tiles.size(); ++index) {
        if (m_geometry.tiles[index].intersects(reach))
            paintTile(painter, int(index));
    }
}

void IconTileGrid::paintTile(QPainter& painter, int index)
{
    const QRectF rect = m_geometry.tiles[index];
    const Tile& tile = m_tiles[index];
    const bool marked = m_markedKey && *m_markedKey == tile.key;
    const bool hovered = index == m_hovered;
    painter.save();
    if (index == m_pressed && hovered)
        painter.setOpacity(0.75);
    const QPainterPath shape = continuousRoundedRect(rect, cornerRadius);
    QColor fill;
    if (marked)
        fill = Theme::surfaceGlassSelected();
    else if (m_kind == Kind::icons)
        fill = hovered ? Theme::surfaceGlassHover() : Theme::surfaceGlass();
    else
        fill = hovered ? Theme::surfaceGlass() : QColor(Qt::transparent);
    painter.fillPath(shape, fill);
    if (marked && m_kind == Kind::icons)
        painter.strokePath(continuousRoundedRect(rect.adjusted(0.75, 0.75, -0.75, -0.75), cornerRadius - 0.75),
            QPen(Theme::borderSelected(), 1.5));

    if (m_kind == Kind::icons) {
        m_iconPainter.paint(painter, rect.center(), iconSize, tile.key, m_customIcons, font());
    } else {
        painter.setFont(emojiFont(22));
        painter.setPen(Theme::text());
        painter.drawText(rect, Qt::AlignCenter, emojiGlyphs(tile.key));
    }

    if (index == m_current && showsCursor()) {
        painter.setOpacity(1);
        painter.strokePath(
            continuousRoundedRect(rect.adjusted(-2, -2, 2, 2), cornerRadius + 2), QPen(Theme::borderSelected(), 2));
    }
    painter.restore();
}

bool IconTileGrid::showsCursor() const
{
    return hasFocus() && (m_keyboardCursor || window()->testAttribute(Qt::WA_KeyboardFocusChange));
}

void IconTileGrid::updateTile(int index)
{
    if (index >= 0 && index < m_geometry.tiles.size())
        update(m_geometry.tiles[index].adjusted(-3, -3, 3, 3));
}

bool IconTileGrid::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = tileAt(help->pos());
        if (index < 0) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), m_tiles[index].toolTip, this, tileRect(index));
        }
        return true;
    }
    return QWidget::event(event);
}

void IconTileGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_keyboardCursor = false;
    m_pressed = tileAt(event->position().toPoint());
    if (m_pressed >= 0) {
        const int previous = m_current;
        m_current = m_pressed;
        updateTile(previous);
    }
    updateTile(m_pressed);
}

void IconTileGrid::mouseMoveEvent(QMouseEvent* event)
{
    const int hovered = tileAt(event->position().toPoint());
    if (hovered == m_hovered)
        return;
    updateTile(m_hovered);
    m_hovered = hovered;
    updateTile(m_hovered);
}

void IconTileGrid::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int pressed = m_pressed;
    m_pressed = -1;
    updateTile(pressed);
    if (pressed >= 0 && tileAt(event->position().toPoint()) == pressed)
        activate(pressed);
}

void IconTileGrid::leaveEvent(QEvent* event)
{
    updateTile(m_hovered);
    m_hovered = -1;
    QWidget::leaveEvent(event);
}

void IconTileGrid::focusInEvent(QFocusEvent* event)
{
    if (m_current < 0 || m_current >= count()) {
        m_current = 0;
        for (int index = 0; index < count(); ++index) {
            if (m_markedKey && m_tiles[index].key == *m_markedKey) {
                m_current = index;
                break;
            }
        }
    }
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
        moveCursor(m_current);
    QWidget::focusInEvent(event);
    updateTile(m_current);
}

void IconTileGrid::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    updateTile(m_current);
}

int IconTileGrid::verticalNeighbour(int direction) const
{
    const QRect from = tileRect(m_current);
    int best = -1;
    int bestRowDistance = 0;
    int bestColumnDistance = 0;
    for (int index = 0; index < count(); ++index) {
        const QRect candidate = m_geometry.tiles[index];
        const int rowDistance = (candidate.top() - from.top()) * direction;
        if (rowDistance <= 0)
            continue;
        const int columnDistance = qAbs(candidate.center().x() - from.center().x());
        if (best < 0 || rowDistance < bestRowDistance
            || (rowDistance == bestRowDistance && columnDistance < bestColumnDistance)) {
            best = index;
            bestRowDistance = rowDistance;
            bestColumnDistance = columnDistance;
        }
    }
    return best;
}

void IconTileGrid::keyPressEvent(QKeyEvent* event)
{
    if (m_tiles.isEmpty() || event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int current = qBound(0, m_current, count() - 1);
    switch (event->key()) {
    case Qt::Key_Left: moveCursor(qMax(0, current - 1)); break;
    case Qt::Key_Right: moveCursor(qMin(count() - 1, current + 1)); break;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        m_current = current;
        const int next = verticalNeighbour(event->key() == Qt::Key_Up ? -1 : 1);
        moveCursor(next >= 0 ? next : current);
        break;
    }
    case Qt::Key_Home: moveCursor(0); break;
    case Qt::Key_End: moveCursor(count() - 1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        m_current = current;
        activate(current);
        break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void IconTileGrid::activate(int index)
{
    if (index >= 0 && index < count())
        Q_EMIT activated(m_tiles[index].key);
}

void IconTileGrid::moveCursor(int index)
{
    const int previous = m_current;
    m_current = index;
    m_keyboardCursor = true;
    updateTile(previous);
    updateTile(m_current);
    if (hasFocus() && QAccessible::isActive()) {
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(m_current);
        QAccessible::updateAccessibility(&focus);
    }
    const QRect rect = tileRect(m_current);
    if (rect.isNull())
        return;
    for (QWidget* ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        auto* area = qobject_cast<QScrollArea*>(ancestor);
        if (!area || !area->widget() || (area->widget() != this && !area->widget()->isAncestorOf(this)))
            continue;
        const QPoint center = mapTo(area->widget(), rect.center());
        area->ensureVisible(center.x(), center.y(), rect.width() / 2 + spacing, rect.height() / 2 + spacing);
        break;
    }
}

void IconTileGrid::contextMenuEvent(QContextMenuEvent* event)
{
    const bool byKeyboard = event->reason() == QContextMenuEvent::Keyboard;
    const int index = byKeyboard ? m_current : tileAt(event->pos());
    if (index < 0 || index >= count()) {
        event->ignore();
        return;
    }
    const QPoint global = byKeyboard ? mapToGlobal(tileRect(index).center()) : event->globalPos();
    Q_EMIT contextMenuRequested(m_tiles[index].key, global);
}

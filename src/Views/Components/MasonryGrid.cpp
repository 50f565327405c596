#include "Views/Components/MasonryGrid.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

MasonryGrid::Arrangement MasonryGrid::arrange(int columns, qreal spacing, std::optional<qreal> width, int count,
    const std::function<qreal(int, qreal)>& heightFor)
{
    columns = std::max(columns, 1);
    Arrangement result;
    const qreal available = width.value_or(defaultWidth);
    result.columnWidth = (available - spacing * (columns - 1)) / columns;
    QList<qreal> heights(columns, 0.0);
    result.frames.reserve(count);
    for (int index = 0; index < count; ++index) {
        // The first of the shortest columns: a later one wins only when strictly shorter.
        const int column = int(std::min_element(heights.cbegin(), heights.cend()) - heights.cbegin());
        const qreal height = heightFor(index, result.columnWidth);
        result.frames.append(
            QRectF(column * (result.columnWidth + spacing), heights[column], result.columnWidth, height));
        heights[column] += height + spacing;
    }
    const qreal tallest = count > 0 ? *std::max_element(heights.cbegin(), heights.cend()) - spacing : 0;
    result.size = QSizeF(available, std::max<qreal>(tallest, 0));
    return result;
}

MasonryGrid::MasonryGrid(int columns, int spacing, QWidget* parent)
    : QLayout(parent)
    , m_columns(std::max(columns, 1))
{
    setSpacing(spacing);
    setContentsMargins(0, 0, 0, 0);
}

MasonryGrid::~MasonryGrid()
{
    qDeleteAll(m_items);
}

void MasonryGrid::setColumns(int columns)
{
    m_columns = std::max(columns, 1);
    invalidate();
}

void MasonryGrid::addItem(QLayoutItem* item)
{
    m_items.append(item);
    invalidate();
}

int MasonryGrid::count() const
{
    return int(m_items.size());
}

QLayoutItem* MasonryGrid::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem* MasonryGrid::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem* item = m_items.takeAt(index);
    invalidate();
    return item;
}

Qt::Orientations MasonryGrid::expandingDirections() const
{
    return Qt::Horizontal;
}

QList<QLayoutItem*> MasonryGrid::visibleItems() const
{
    QList<QLayoutItem*> visible;
    for (QLayoutItem* item : m_items) {
        if (!item->isEmpty())
            visible.append(item);
    }
    return visible;
}

MasonryGrid::Arrangement MasonryGrid::arrangeItems(std::optional<qreal> width) const
{
    const QList<QLayoutItem*> items = visibleItems();
    return arrange(m_columns, std::max(spacing(), 0), width, int(items.size()), [&](int index, qreal columnWidth) {
        QLayoutItem* item = items[index];
        const int w = qRound(columnWidth);
        return qreal(item->hasHeightForWidth() ? item->heightForWidth(w) : item->sizeHint().height());
    });
}

int MasonryGrid::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    const Arrangement arrangement = arrangeItems(qreal(width - margins.left() - margins.right()));
    return int(std::ceil(arrangement.size.height())) + margins.top() + margins.bottom();
}

QSize MasonryGrid::sizeHint() const
{
    const QMargins margins = contentsMargins();
    const Arrangement arrangement = arrangeItems(std::nullopt);
    return QSize(int(std::ceil(arrangement.size.width())) + margins.left() + margins.right(),
        int(std::ceil(arrangement.size.height())) + margins.top() + margins.bottom());
}

QSize MasonryGrid::minimumSize() const
{
    const QMargins margins = contentsMargins();
    return QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

void MasonryGrid::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const QRect area = contentsRect();
    const QList<QLayoutItem*> items = visibleItems();
    const Arrangement arrangement = arrangeItems(qreal(area.width()));
    for (int i = 0; i < items.size(); ++i) {
        const QRectF frame = arrangement.frames[i].translated(area.topLeft());
        // Edges are rounded, not sizes, so that neighbouring columns keep an even gap.
        const int left = qRound(frame.left());
        const int top = qRound(frame.top());
        items[i]->setGeometry(QRect(left, top, qRound(frame.right()) - left, qRound(frame.bottom()) - top));
    }
}

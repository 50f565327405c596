#pragma once

#include <QLayout>
#include <QList>
#include <QRectF>
#include <functional>
#include <optional>

// Lays items out in equal-width columns, each item under the column that is shortest so
// far (the leftmost of equally short ones). The main list uses one column, 8 apart.
// Heights follow the width: each item is asked for its height at the column width.
class MasonryGrid : public QLayout {
    Q_OBJECT
public:
    // The width a grid takes when it is offered none.
    static constexpr qreal defaultWidth = 300;

    struct Arrangement {
        qreal columnWidth = 0;
        QList<QRectF> frames; // one per item, in item order, relative to the grid's origin
        QSizeF size;
    };

    // The placement itself, without widgets: `heightFor(index, columnWidth)` measures an item.
    // Fewer than one column is treated as one.
    static Arrangement arrange(int columns, qreal spacing, std::optional<qreal> width, int count,
        const std::function<qreal(int index, qreal columnWidth)>& heightFor);

    explicit MasonryGrid(int columns = 1, int spacing = 8, QWidget* parent = nullptr);
    ~MasonryGrid() override;

    int columns() const { return m_columns; }
    void setColumns(int columns);

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    QList<QLayoutItem*> visibleItems() const;
    Arrangement arrangeItems(std::optional<qreal> width) const;

    QList<QLayoutItem*> m_items;
    int m_columns;
};

#pragma once

#include "Views/MenuBar/list/CardFrameKey.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <optional>

class AppState;
class LibraryItemCard;
class ListEmptyState;
class MasonryGrid;
class SelectionBand;

// The scrolling content of the main list: the cards in a one-column masonry grid, or the
// empty state. Its coordinates are the list's "grid" space, in which cards report their
// frames. A click on the background empties the selection; a drag on it draws the
// rubber band, which selects the cards it touches (Ctrl adds them to the selection).
class CardListCanvas : public QWidget {
    Q_OBJECT
public:
    static constexpr int gridSpacing = 8;

    explicit CardListCanvas(AppState& appState, QWidget* parent = nullptr);

    // Shows `cards` in their order, or `emptyState` when there are none. Replaced cards go
    // once the event in progress has finished: one of them may be where it came from.
    void setCards(const QList<LibraryItemCard*>& cards, ListEmptyState* emptyState);
    const QList<LibraryItemCard*>& cards() const { return m_cards; }
    ListEmptyState* emptyState() const { return m_emptyState; }

    // Every card's frame in card order.
    CardFrameKey::Value cardFrames() const;

    // The rubber band while a drag draws one.
    std::optional<QRectF> selectionRect() const;
    bool isBandDrawn() const;

Q_SIGNALS:
    void contextMenuRequested(const QPoint& globalPosition);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateRubberBandSelection(bool adding);

    AppState& m_appState;
    MasonryGrid* m_grid;
    SelectionBand* m_band;
    QList<LibraryItemCard*> m_cards;
    ListEmptyState* m_emptyState = nullptr;
    std::optional<QPointF> m_pressPosition;
    std::optional<QPointF> m_selectionOrigin;
    std::optional<QPointF> m_selectionCurrent;
};

#pragma once

#include "Models/Shortcut.h"
#include "Views/Components/MasonryGrid.h"
#include "Views/MenuBar/list/CardFrameKey.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class AppState;
class CardArea;
class CardHeightEstimate;
class LibraryItemCard;
class ListEmptyState;
class PopoverCommands;
class SelectionBand;
class QTimer;

// The scrolling content of the main list: the rows in a one-column masonry grid, or the
// empty state. Every row is arranged, but cards are built only for the rows on screen and
// a screen's height above and below it (and for one pinned row): a library of tens of
// thousands of shortcuts costs no more to show, search or scroll than a short one. Cards of
// rows that stay near the screen are kept and brought up to date.
//
// After new rows, the list builds at once only the cards on screen and above it; those
// below it follow once the list is shown, a few on each turn of the event loop, so that a
// key typed into the search waits for no card it cannot see, and the next key or frame
// waits for only a few of them.
//
// Its coordinates are the list's "grid" space, in which every row has its frame, built or
// not. A click on the background empties the selection; a drag on it draws the rubber
// band, which selects the rows it touches (Ctrl adds them to the selection).
class CardListCanvas : public QWidget {
    Q_OBJECT
public:
    static constexpr int gridSpacing = 8;
    static inline const QMargins gridMargins{18, 4, 18, 18};

    // One row: a folder or a shortcut of the lists handed to setRows, by position.
    struct Row {
        enum class Kind { folder, shortcut };
        Kind kind;
        qsizetype position;
        // The shortcut card shows the folder it lives in.
        bool folderLine = false;
    };
    struct Rows {
        QList<Group> groups;
        QList<Shortcut> shortcuts;
        QList<Row> rows;
        // A row whose card is always built, wherever the list is scrolled; -1 for none.
        qsizetype pinned = -1;
        // Rows given with the same version show an item's card alike wherever it stands
        // (only the search or the open folder changed), so a card built for it is kept.
        quint64 libraryVersion = 0;
    };
    // Builds the card of `row`, or brings `card` (the card that row's item had, of the same
    // kind) up to date and returns it.
    using CardMaker = std::function<LibraryItemCard*(const Rows& rows, qsizetype row, LibraryItemCard* card)>;

    CardListCanvas(AppState& appState, PopoverCommands& commands, CardMaker maker, QWidget* parent = nullptr);
    ~CardListCanvas() override;

    // Shows `rows` in their order, or `emptyState` when there are none. Replaced cards go
    // once the event in progress has finished: one of them may be where it came from.
    void setRows(Rows rows, ListEmptyState* emptyState);
    // The cards built now, in row order.
    const QList<LibraryItemCard*>& cards() const { return m_cards; }
    ListEmptyState* emptyState() const { return m_emptyState; }

    // Every row's frame in row order.
    CardFrameKey::Value cardFrames() const;

    // The rubber band while a drag draws one.
    std::optional<QRectF> selectionRect() const;
    bool isBandDrawn() const;

Q_SIGNALS:
    void contextMenuRequested(const QPoint& globalPosition);
    // The menu asked for from the keyboard (the Menu key), no menu being open.
    void keyboardMenuRequested(const QPoint& globalPosition);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    friend class CardArea;
    struct Built {
        LibraryItemCard* card;
        Row::Kind kind;
        quint64 generation;
        // What a shortcut card was built for, and its height then.
        quint64 content = 0;
        bool folderLine = false;
        bool pinned = false;
        int height = 0;
    };

    const QString& idOf(qsizetype row) const;
    // The rows arranged for a grid of `width`, margins included; kept until the rows or
    // the width change.
    const MasonryGrid::Arrangement& arrangementAt(int width) const;
    int contentHeight(int width) const;
    int estimatedHeight(const Row& row, int cardWidth) const;
    // Brings the kept preview lines up to the rows' shortcuts and the card width.
    void keepPreviewLinesFor(int cardWidth) const;
    // Works out the preview lines not asked for yet, a slice at a time while the list is
    // idle: the first search key shows most of a large library at once.
    void estimateAhead();
    QRect cardRect(qsizetype row) const;
    // Builds, updates, places and retires cards for the part of the list near the screen;
    // while the cards below the screen are put off, builds none there that it has not got.
    void placeCards();
    // Builds the next few of the cards below the screen that were put off.
    void buildBelowScreen();
    QRect neighbourhood() const;
    QRect screenArea() const;
    // The rows whose frames meet `area`, and the pinned row, in row order.
    QList<qsizetype> rowsWithin(const QRect& area) const;
    void updateRubberBandSelection(bool adding);

    AppState& m_appState;
    CardMaker m_maker;
    std::unique_ptr<CardHeightEstimate> m_heights;
    CardArea* m_area;
    SelectionBand* m_band;
    Rows m_rows;
    // Bumped by every setRows: a built card of an older generation shows older data.
    quint64 m_generation = 0;
    // Changes with the library's version and the settings: what a shortcut card shows.
    quint64 m_content = 0;
    QHash<QString, Built> m_built;
    QList<LibraryItemCard*> m_cards;
    // Heights of built cards that differ from the estimate, by row, for these rows and width.
    mutable QHash<qsizetype, int> m_measured;
    // The lines of each shortcut's preview by position in the rows' shortcuts, -1 until
    // asked: searching arranges the same rows again and again, with and without the folder
    // line. Kept while the card width and the settings stay; after an edit, for the
    // shortcuts before and after those that changed.
    mutable QList<int> m_previewLines;
    mutable QList<Shortcut> m_estimatedFor;
    // Where estimateAhead goes on.
    mutable qsizetype m_estimatedAhead = 0;
    QTimer* m_estimatingAhead;
    // Builds the cards below the screen that new rows put off.
    QTimer* m_buildingBelow;
    // Cards below the screen placeCards may still build while the timer's turn runs; -1
    // outside it (no limit unless put off).
    static constexpr int buildsBelowPerTurn = 2;
    int m_buildsBelowAllowed = -1;
    mutable int m_estimatedWidth = -1;
    mutable std::optional<MasonryGrid::Arrangement> m_arrangement;
    mutable int m_arrangedWidth = -1;
    bool m_placing = false;
    ListEmptyState* m_emptyState = nullptr;
    std::optional<QPointF> m_pressPosition;
    std::optional<QPointF> m_selectionOrigin;
    std::optional<QPointF> m_selectionCurrent;
};

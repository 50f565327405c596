#include "Views/MenuBar/list/CardListCanvas.h"

#include "App/State/AppState.h"
#include "Models/LibraryDifference.h"
#include "Views/MenuBar/list/CardHeightEstimate.h"
#include "Views/MenuBar/list/CardSelection.h"
#include "Views/MenuBar/list/LibraryItemCard.h"
#include "Views/MenuBar/list/ListAccessible.h"
#include "Views/MenuBar/list/ListEmptyState.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

// Draws the rubber band above the cards; clicks pass through it.
class SelectionBand : public QWidget {
public:
    explicit SelectionBand(QWidget* parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

    void setBand(const std::optional<QRectF>& band)
    {
        m_band = band;
        setVisible(band && CardSelection::isBandDrawn(*band));
        if (isVisible())
            raise();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!m_band)
            return;
        QPainter painter(this);
        QColor accent = palette().color(QPalette::Highlight);
        QColor fill = accent;
        fill.setAlphaF(0.12f);
        accent.setAlphaF(0.4f);
        painter.fillRect(*m_band, fill);
        painter.setPen(QPen(accent, 1));
        painter.drawRect(m_band->adjusted(0.5, 0.5, -0.5, -0.5));
    }

private:
    std::optional<QRectF> m_band;
};

// Holds the rows' place in the canvas's column: as tall as the arranged rows at the width
// offered. The canvas places the cards itself.
class CardArea : public QLayoutItem {
public:
    explicit CardArea(CardListCanvas& canvas)
        : m_canvas(canvas)
    {
    }

    QSize sizeHint() const override
    {
        const int width = m_canvas.m_arrangement ? m_canvas.m_arrangedWidth : int(MasonryGrid::defaultWidth);
        return {width, m_canvas.contentHeight(width)};
    }
    QSize minimumSize() const override { return {0, 0}; }
    QSize maximumSize() const override { return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX}; }
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool isEmpty() const override { return false; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return m_canvas.contentHeight(width); }
    QRect geometry() const override { return m_geometry; }
    void setGeometry(const QRect& rect) override
    {
        m_geometry = rect;
        m_canvas.placeCards();
    }

private:
    CardListCanvas& m_canvas;
    QRect m_geometry;
};

CardListCanvas::CardListCanvas(AppState& appState, PopoverCommands& commands, CardMaker maker, QWidget* parent)
    : QWidget(parent)
    , m_appState(appState)
    , m_maker(std::move(maker))
    , m_heights(std::make_unique<CardHeightEstimate>(appState, commands))
    , m_area(new CardArea(*this))
    , m_band(new SelectionBand(this))
    , m_estimatingAhead(new QTimer(this))
    , m_buildingBelow(new QTimer(this))
{
    m_estimatingAhead->setSingleShot(true);
    m_estimatingAhead->setInterval(0);
    connect(m_estimatingAhead, &QTimer::timeout, this, &CardListCanvas::estimateAhead);
    m_buildingBelow->setSingleShot(true);
    m_buildingBelow->setInterval(0);
    connect(m_buildingBelow, &QTimer::timeout, this, &CardListCanvas::buildBelowScreen);
    ListAccessible::install();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addItem(m_area);
    column->addStretch(1);
    // A setting may change how tall the built cards are (whole texts or two lines): they are
    // measured again on the next layout pass, after they have followed the setting.
    connect(&appState, &AppState::settingsChanged, this, [this] {
        ++m_generation;
        ++m_content;
        m_estimatedFor.clear();
        m_previewLines.clear();
        m_arrangement.reset();
        m_measured.clear();
        layout()->invalidate();
    });
}

CardListCanvas::~CardListCanvas() = default;

void CardListCanvas::setRows(Rows rows, ListEmptyState* emptyState)
{
    if (rows.libraryVersion != m_rows.libraryVersion)
        ++m_content;
    m_rows = std::move(rows);
    ++m_generation;
    m_measured.clear();
    m_arrangement.reset();
    if (m_emptyState) {
        m_emptyState->hide();
        m_emptyState->deleteLater();
    }
    m_emptyState = emptyState;
    if (emptyState)
        static_cast<QVBoxLayout*>(layout())->insertWidget(1, emptyState);
    layout()->invalidate();
    // Whatever the list's length: a key typed into the search waits for no card it cannot see.
    if (m_rows.rows.isEmpty())
        m_buildingBelow->stop();
    else
        m_buildingBelow->start();
    // On screen the cards are there at once, not only after the next layout pass; a list
    // not shown yet has no width to build them for.
    if (isVisible())
        placeCards();
    m_band->raise();
}

const QString& CardListCanvas::idOf(qsizetype row) const
{
    const Row& item = m_rows.rows[row];
    return item.kind == Row::Kind::folder ? m_rows.groups[item.position].id : m_rows.shortcuts[item.position].id;
}

const MasonryGrid::Arrangement& CardListCanvas::arrangementAt(int width) const
{
    if (m_arrangement && m_arrangedWidth == width)
        return *m_arrangement;
    // What was measured at another width says nothing about this one.
    if (m_arrangedWidth != width)
        m_measured.clear();
    const int gridWidth = width - gridMargins.left() - gridMargins.right();
    m_arrangement = MasonryGrid::arrange(
        1, gridSpacing, qreal(gridWidth), int(m_rows.rows.size()), [this](int index, qreal columnWidth) {
            const int cardWidth = qRound(columnWidth);
            const Row& row = m_rows.rows[index];
            if (!m_measured.isEmpty()) {
                if (const auto measured = m_measured.constFind(index); measured != m_measured.constEnd())
                    return qreal(*measured);
            }
            if (row.kind == Row::Kind::folder)
                return qreal(m_heights->folder(cardWidth));
            return qreal(estimatedHeight(row, cardWidth));
        });
    m_arrangedWidth = width;
    return *m_arrangement;
}

void CardListCanvas::keepPreviewLinesFor(int cardWidth) const
{
    if (m_estimatedWidth != cardWidth) {
        m_estimatedFor.clear();
        m_previewLines.clear();
        m_estimatedWidth = cardWidth;
    }
    // (Lists that are both empty count as shared.)
    if (!m_estimatedFor.isSharedWith(m_rows.shortcuts) || m_previewLines.size() != m_rows.shortcuts.size()) {
        const QList<Shortcut>& shortcuts = m_rows.shortcuts;
        const SharedEnds ends
            = m_previewLines.size() == m_estimatedFor.size() ? SharedEnds::of(shortcuts, m_estimatedFor) : SharedEnds{};
        QList<int> lines(shortcuts.size(), -1);
        std::copy_n(m_previewLines.cbegin(), ends.head, lines.begin());
        std::copy_n(m_previewLines.cend() - ends.tail, ends.tail, lines.end() - ends.tail);
        m_previewLines = std::move(lines);
        m_estimatedFor = shortcuts;
        m_estimatedAhead = 0;
    }
}

int CardListCanvas::estimatedHeight(const Row& row, int cardWidth) const
{
    keepPreviewLinesFor(cardWidth);
    int& lines = m_previewLines[row.position];
    if (lines < 0)
        lines = m_heights->previewLines(m_rows.shortcuts[row.position], cardWidth);
    return m_heights->shortcut(lines, row.folderLine, cardWidth);
}

void CardListCanvas::estimateAhead()
{
    if (m_estimatedWidth < 0)
        return;
    keepPreviewLinesFor(m_estimatedWidth);
    constexpr qsizetype slice = 2000;
    const qsizetype end = std::min(m_estimatedAhead + slice, m_previewLines.size());
    // Read through const access: the list is shared with the library's, and a write access
    // would copy it.
    for (; m_estimatedAhead < end; ++m_estimatedAhead) {
        int& lines = m_previewLines[m_estimatedAhead];
        if (lines < 0)
            lines = m_heights->previewLines(std::as_const(m_rows.shortcuts)[m_estimatedAhead], m_estimatedWidth);
    }
    if (m_estimatedAhead < m_previewLines.size())
        m_estimatingAhead->start();
}

int CardListCanvas::contentHeight(int width) const
{
    if (m_rows.rows.isEmpty())
        return 0;
    return int(std::ceil(arrangementAt(width).size.height())) + gridMargins.top() + gridMargins.bottom();
}

// Edges are rounded, not sizes, so that neighbouring columns keep an even gap.
QRect CardListCanvas::cardRect(qsizetype row) const
{
    const QRectF frame = m_arrangement->frames[row].translated(gridMargins.left(), gridMargins.top());
    const int left = qRound(frame.left());
    const int top = qRound(frame.top());
    return QRect(left, top, qRound(frame.right()) - left, qRound(frame.bottom()) - top);
}

QList<qsizetype> CardListCanvas::rowsWithin(const QRect& area) const
{
    // One column: the rows stand one under the other, so those in the area are one run.
    const QList<QRectF>& frames = m_arrangement->frames;
    const qreal top = area.top() - gridMargins.top();
    const qreal bottom = area.bottom() + 1 - gridMargins.top();
    const auto first
        = std::partition_point(frames.cbegin(), frames.cend(), [&](const QRectF& f) { return f.bottom() < top; });
    const auto last = std::partition_point(first, frames.cend(), [&](const QRectF& f) { return f.top() <= bottom; });
    const qsizetype begin = first - frames.cbegin();
    const qsizetype end = last - frames.cbegin();
    QList<qsizetype> rows;
    rows.reserve(end - begin + 1);
    if (m_rows.pinned >= 0 && m_rows.pinned < begin)
        rows.append(m_rows.pinned);
    for (qsizetype row = begin; row < end; ++row)
        rows.append(row);
    if (m_rows.pinned >= end)
        rows.append(m_rows.pinned);
    return rows;
}

QRect CardListCanvas::screenArea() const
{
    const QWidget* viewport = parentWidget();
    return viewport ? QRect(QPoint(0, -y()), viewport->size()) : rect();
}

QRect CardListCanvas::neighbourhood() const
{
    if (!parentWidget())
        return rect();
    const QRect screen = screenArea();
    return screen.adjusted(0, -screen.height(), 0, screen.height());
}

void CardListCanvas::buildBelowScreen()
{
    m_buildsBelowAllowed = buildsBelowPerTurn;
    placeCards();
    m_buildsBelowAllowed = -1;
}

void CardListCanvas::placeCards()
{
    if (m_placing)
        return;
    m_placing = true;
    // Cards below the screen are put off while the timer runs, and built a few at a time
    // when it fires.
    const bool puttingOff = m_buildingBelow->isActive();
    bool leftBelow = false;
    QHash<QString, Built> previous = std::move(m_built);
    m_built.clear();
    QList<LibraryItemCard*> cards;
    bool anyRemeasured = false;
    // A built card that turns out taller or shorter than estimated moves the rows below it;
    // a few passes settle every card near the screen.
    for (int pass = 0; pass < 4; ++pass) {
        arrangementAt(width());
        const QRect near = neighbourhood();
        // Rows below the screen are only ever moved down by the cards above them, so putting
        // their cards off moves nothing that is seen.
        const int screenBottom = puttingOff || m_buildsBelowAllowed >= 0 ? screenArea().bottom() : near.bottom();
        const int cardWidth = qRound(m_arrangement->columnWidth);
        bool remeasured = false;
        cards.clear();
        for (const qsizetype row : rowsWithin(near)) {
            const QRect frame = cardRect(row);
            const QString& id = idOf(row);
            const Row& item = m_rows.rows[row];
            const Row::Kind kind = item.kind;
            const bool pinned = row == m_rows.pinned;
            if (frame.top() > screenBottom && !pinned && !previous.contains(id)) {
                if (puttingOff || m_buildsBelowAllowed == 0) {
                    leftBelow = leftBelow || !puttingOff;
                    continue;
                }
                --m_buildsBelowAllowed;
            }
            Built built = previous.take(id);
            if (built.card && built.kind != kind) {
                built.card->retire();
                built = {};
            }
            // A search typed on moves the same items' cards: they keep what they show.
            const bool shownAlike = built.content == m_content
                && (kind == Row::Kind::folder || (built.folderLine == item.folderLine && built.pinned == pinned));
            if (!built.card || (built.generation != m_generation && !shownAlike)) {
                LibraryItemCard* card = m_maker(m_rows, row, built.card);
                if (!built.card)
                    card->show();
                built = {card, kind, m_generation, m_content, item.folderLine, pinned,
                    CardHeightEstimate::heightOf(*card, cardWidth)};
            }
            built.generation = m_generation;
            if (built.height != frame.height() && !m_measured.contains(row)) {
                m_measured.insert(row, built.height);
                remeasured = true;
            }
            built.card->setGeometry(frame);
            m_built.insert(id, built);
            cards.append(built.card);
        }
        if (!remeasured)
            break;
        anyRemeasured = true;
        m_arrangement.reset();
        for (auto built = m_built.cbegin(); built != m_built.cend(); ++built)
            previous.insert(built.key(), built.value());
        m_built.clear();
    }
    for (const Built& gone : std::as_const(previous))
        gone.card->retire();
    m_cards = cards;
    m_placing = false;
    if (leftBelow)
        m_buildingBelow->start();
    if (m_estimatedAhead < m_previewLines.size() && !m_estimatingAhead->isActive())
        m_estimatingAhead->start();
    // The list's height follows the corrected arrangement.
    if (anyRemeasured)
        layout()->invalidate();
}

CardFrameKey::Value CardListCanvas::cardFrames() const
{
    CardFrameKey::Value frames;
    arrangementAt(width());
    frames.reserve(m_rows.rows.size());
    for (qsizetype row = 0; row < m_rows.rows.size(); ++row)
        frames.append({idOf(row), QRectF(cardRect(row))});
    return frames;
}

std::optional<QRectF> CardListCanvas::selectionRect() const
{
    if (!m_selectionOrigin || !m_selectionCurrent)
        return std::nullopt;
    return CardSelection::selectionRect(*m_selectionOrigin, *m_selectionCurrent);
}

bool CardListCanvas::isBandDrawn() const
{
    return m_band->isVisible();
}

void CardListCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_pressPosition = event->position();
}

void CardListCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressPosition || !(event->buttons() & Qt::LeftButton))
        return;
    const bool adding = event->modifiers().testFlag(Qt::ControlModifier);
    if (!m_selectionOrigin) {
        if (!CardSelection::startsBand(*m_pressPosition, event->position()))
            return;
        m_selectionOrigin = m_pressPosition;
        if (!adding)
            m_appState.setSelectedIds({});
    }
    m_selectionCurrent = event->position();
    updateRubberBandSelection(adding);
}

void CardListCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressPosition)
        return;
    m_pressPosition.reset();
    if (m_selectionOrigin) {
        m_selectionOrigin.reset();
        m_selectionCurrent.reset();
        m_band->setBand(std::nullopt);
        return;
    }
    if (!m_appState.selectedIds().isEmpty())
        m_appState.setSelectedIds({});
}

void CardListCanvas::updateRubberBandSelection(bool adding)
{
    const std::optional<QRectF> band = selectionRect();
    if (!band)
        return;
    m_band->setBand(band);
    m_appState.setSelectedIds(CardSelection::bandSelection(m_appState.selectedIds(), cardFrames(), *band, adding));
}

void CardListCanvas::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() != QContextMenuEvent::Keyboard) {
        Q_EMIT contextMenuRequested(event->globalPos());
        return;
    }
    // The window system follows the Menu key with a request of its own, which may come after
    // the popover's key handler has opened the selection's menu for the key.
    if (!QApplication::activePopupWidget())
        Q_EMIT keyboardMenuRequested(event->globalPos());
}

bool CardListCanvas::focusNextPrevChild(bool next)
{
    // The scroll area around brings the widget it last focused, this list, into view when Tab
    // leaves: the list stays where the user left it.
    auto* area = qobject_cast<QAbstractScrollArea*>(parentWidget() ? parentWidget()->parentWidget() : nullptr);
    const int position = area ? area->verticalScrollBar()->value() : 0;
    const bool moved = QWidget::focusNextPrevChild(next);
    if (area && !area->isAncestorOf(window()->focusWidget()))
        area->verticalScrollBar()->setValue(position);
    return moved;
}

void CardListCanvas::resizeEvent(QResizeEvent* event)
{
    m_band->setGeometry(rect());
    QWidget::resizeEvent(event);
}

void CardListCanvas::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    placeCards();
}

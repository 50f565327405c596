#include "Views/MenuBar/list/CardListCanvas.h"

#include "App/AppState.h"
#include "Views/Components/MasonryGrid.h"
#include "Views/MenuBar/list/CardSelection.h"
#include "Views/MenuBar/list/LibraryItemCard.h"
#include "Views/MenuBar/list/ListEmptyState.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSet>
#include <QVBoxLayout>

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

CardListCanvas::CardListCanvas(AppState& appState, QWidget* parent)
    : QWidget(parent)
    , m_appState(appState)
    , m_grid(new MasonryGrid(1, gridSpacing))
    , m_band(new SelectionBand(this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(m_grid);
    column->addStretch(1);
}

void CardListCanvas::setCards(const QList<LibraryItemCard*>& cards, ListEmptyState* emptyState)
{
    const QSet<LibraryItemCard*> kept(cards.cbegin(), cards.cend());
    for (LibraryItemCard* old : std::as_const(m_cards)) {
        if (!kept.contains(old))
            old->retire();
    }
    if (m_emptyState) {
        m_emptyState->hide();
        m_emptyState->deleteLater();
    }
    while (QLayoutItem* item = m_grid->takeAt(0))
        delete item;
    m_cards = cards;
    m_emptyState = emptyState;
    m_grid->setContentsMargins(cards.isEmpty() ? QMargins() : QMargins(18, 4, 18, 18));
    for (LibraryItemCard* card : cards) {
        m_grid->addWidget(card);
        card->show();
    }
    if (emptyState)
        static_cast<QVBoxLayout*>(layout())->insertWidget(1, emptyState);
    m_band->raise();
}

CardFrameKey::Value CardListCanvas::cardFrames() const
{
    CardFrameKey::Value reported;
    reported.reserve(m_cards.size());
    for (const LibraryItemCard* card : m_cards)
        reported.append({card->itemId(), QRectF(card->geometry())});
    CardFrameKey::Value frames = CardFrameKey::defaultValue();
    CardFrameKey::reduce(frames, reported);
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
    Q_EMIT contextMenuRequested(event->globalPos());
}

void CardListCanvas::resizeEvent(QResizeEvent* event)
{
    m_band->setGeometry(rect());
    QWidget::resizeEvent(event);
}

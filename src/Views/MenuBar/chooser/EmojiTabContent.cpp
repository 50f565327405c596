#include "Views/MenuBar/chooser/EmojiTabContent.h"

#include "Utilities/EmojiCatalog.h"
#include "Utilities/EmojiRecents.h"
#include "Utilities/Text.h"
#include "Utilities/Theme.h"
#include "Views/Components/GlassInputPanel.h"
#include "Views/Components/HairlineDivider.h"
#include "Views/Components/OverlayScrollArea.h"
#include "Views/Components/OverlayScrollBar.h"
#include "Views/Components/PaintedButton.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/ViewStyle.h"
#include "Views/MenuBar/chooser/IconTileGrid.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

constexpr int sidePadding = 18;

// The search capsule: a magnifying glass and a plain field on glass with a hairline edge.
class SearchCapsule final : public GlassInputPanel {
public:
    SearchCapsule(QLineEdit* field, QWidget* parent)
        : GlassInputPanel(parent)
    {
        setFixedHeight(32);
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(12, 0, 12, 0);
        row->setSpacing(8);
        row->addWidget(
            new SymbolLabel(QStringLiteral("magnifyingglass"), 11, SymbolWeight::regular, &Theme::textMuted, this));
        field->setParent(this);
        field->setFrame(false);
        field->setFont(uiFont(12));
        row->addWidget(field, 1);
        attachEditor(field);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const qreal radius = bounds.height() / 2;
        painter.setPen(QPen(Theme::borderSubtle(), 1));
        painter.setBrush(isFocused() ? Theme::surfaceGlassHover() : Theme::surfaceGlass());
        painter.drawRoundedRect(bounds, radius, radius);
    }
};

// One chip of the category row: a label emoji in a 26 by 26 rounded square, filled while its
// filter is the chosen one.
class CategoryChip final : public PaintedButton {
public:
    CategoryChip(const QString& label, const QString& toolTip, QWidget* parent)
        : PaintedButton(label, parent)
    {
        setToolTip(toolTip);
        setAccessibleName(toolTip);
        setCheckable(true);
        setFixedSize(26, 26);
        setFocusPolicy(Qt::TabFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        beginPaint(painter);
        const QPainterPath shape = continuousRoundedRect(QRectF(rect()), 7);
        if (isChecked())
            painter.fillPath(shape, Theme::surfaceGlassSelected());
        else if (underMouse())
            painter.fillPath(shape, Theme::surfaceGlass());
        painter.setFont(emojiFont(14));
        painter.setPen(Theme::text());
        painter.drawText(rect(), Qt::AlignCenter, emojiGlyphs(text()));
        if (showsKeyboardFocus(this)) {
            painter.setOpacity(1);
            painter.strokePath(
                continuousRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6), QPen(Theme::borderSelected(), 1.5));
        }
    }
};

// Fades the chip row out at an edge where more chips lie beyond it.
class EdgeFade final : public QWidget {
public:
    EdgeFade(QScrollBar* bar, QWidget* parent)
        : QWidget(parent)
        , m_bar(bar)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        connect(bar, &QScrollBar::valueChanged, this, qOverload<>(&QWidget::update));
        connect(bar, &QScrollBar::rangeChanged, this, qOverload<>(&QWidget::update));
        connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        constexpr int reach = 20;
        QPainter painter(this);
        const QColor card = Theme::bgCard();
        QColor clear = card;
        clear.setAlpha(0);
        if (m_bar->value() > m_bar->minimum()) {
            QLinearGradient left(0, 0, reach, 0);
            left.setColorAt(0, card);
            left.setColorAt(1, clear);
            painter.fillRect(QRect(0, 0, reach, height()), left);
        }
        if (m_bar->value() < m_bar->maximum()) {
            QLinearGradient right(width() - reach, 0, width(), 0);
            right.setColorAt(0, clear);
            right.setColorAt(1, card);
            painter.fillRect(QRect(width() - reach, 0, reach, height()), right);
        }
    }

private:
    QScrollBar* m_bar;
};

// The chip row is wider than the card: it scrolls sideways, also under a plain mouse wheel,
// and fades out where more chips wait.
class SidewaysScrollArea final : public QScrollArea {
public:
    explicit SidewaysScrollArea(QWidget* parent)
        : QScrollArea(parent)
        , m_fade(new EdgeFade(horizontalScrollBar(), this))
    {
        setFrameShape(QFrame::NoFrame);
        setFocusPolicy(Qt::NoFocus);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setWidgetResizable(false);
        viewport()->setAutoFillBackground(false);
        setAutoFillBackground(false);
    }

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        const QPoint delta = event->pixelDelta().isNull() ? event->angleDelta() / 4 : event->pixelDelta();
        const int step = qAbs(delta.x()) > qAbs(delta.y()) ? delta.x() : delta.y();
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - step);
        event->accept();
    }

    void resizeEvent(QResizeEvent* event) override
    {
        QScrollArea::resizeEvent(event);
        m_fade->setGeometry(rect());
        m_fade->raise();
    }

private:
    EdgeFade* m_fade;
};

QList<IconTileGrid::Tile> tilesOf(const QList<EmojiEntry>& entries)
{
    QList<IconTileGrid::Tile> tiles;
    tiles.reserve(entries.size());
    for (const EmojiEntry& entry : entries)
        tiles.append({entry.character, entry.keywords.isEmpty() ? entry.character : entry.keywords, {}});
    return tiles;
}

QList<IconTileGrid::Tile> recentTiles()
{
    QList<EmojiEntry> entries;
    for (const QString& emoji : EmojiRecents::load())
        entries.append({emoji, QString()});
    return tilesOf(entries);
}

} // namespace

EmojiTabContent::EmojiTabContent(std::optional<QString> initial, QWidget* parent)
    : QWidget(parent)
    , m_initial(std::move(initial))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 14, 0, 0);
    column->setSpacing(0);

    m_search = new QLineEdit;
    m_search->setPlaceholderText(QStringLiteral("Search emoji…"));
    m_search->setAccessibleName(QStringLiteral("Search emoji"));
    m_search->installEventFilter(this);
    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(sidePadding, 0, sidePadding, 0);
    searchRow->addWidget(new SearchCapsule(m_search, this));
    column->addLayout(searchRow);
    column->addSpacing(10);

    auto* chipRow = new QWidget;
    auto* chips = new QHBoxLayout(chipRow);
    chips->setContentsMargins(sidePadding, 0, sidePadding, 0);
    chips->setSpacing(4);
    // A group of their own: buttons exclusive by parent would count the tabs' as theirs too,
    // and each choice of a tab would take the chips out of the Tab order.
    auto* chipGroup = new QButtonGroup(this);
    auto addChip = [&](const QString& label, const QString& toolTip, const EmojiCategoryFilter& filter) {
        auto* chip = new CategoryChip(label, toolTip, chipRow);
        chipGroup->addButton(chip);
        chip->installEventFilter(this);
        chips->addWidget(chip);
        m_chips.append(chip);
        m_chipFilters.append(filter);
        // A press on the chosen chip still clears the search; a screen reader's tick (the
        // toggle action, no click) chooses the chip's category too.
        connect(chip, &QAbstractButton::clicked, this, [this, filter] {
            if (m_filter != filter || !m_search->text().isEmpty())
                setActiveCategory(filter);
        });
        connect(chip, &QAbstractButton::toggled, this, [this, filter](bool checked) {
            if (checked && m_filter != filter)
                setActiveCategory(filter);
        });
    };
    addChip(QStringLiteral("\u25F0"), QStringLiteral("All"), EmojiCategoryFilter::all());
    addChip(QStringLiteral("\U0001F550"), QStringLiteral("Recent"), EmojiCategoryFilter::recent());
    for (const EmojiCategory& category : EmojiCatalog::categories())
        addChip(category.label, category.name, EmojiCategoryFilter::category(category.id));
    chipRow->adjustSize();
    m_chipRow = new SidewaysScrollArea(this);
    m_chipRow->setFixedHeight(26);
    m_chipRow->setWidget(chipRow);
    chipRow->setAutoFillBackground(false);
    m_chipRow->setFocusPolicy(Qt::NoFocus);
    column->addWidget(m_chipRow);
    column->addSpacing(10);

    column->addWidget(new HairlineDivider(this));

    m_grid = new IconTileGrid(IconTileGrid::Kind::emoji);
    m_grid->setContentsMargins(sidePadding, 10, sidePadding, 14);
    m_grid->setMarkedKey(m_initial);
    m_grid->setAccessibleName(QStringLiteral("Emoji"));
    connect(m_grid, &IconTileGrid::activated, this, &EmojiTabContent::picked);
    auto* body = new OverlayScrollArea(this);
    body->overlayBar()->setEndInsets(4, 12);
    body->setContent(m_grid);
    m_body = body;
    column->addWidget(m_body, 1);

    connect(m_search, &QLineEdit::textChanged, this, [this] { fill(); });
    m_chips.at(m_chipFilters.indexOf(m_filter))->setChecked(true);
    fill();
}

QString EmojiTabContent::query() const
{
    return m_search->text();
}

void EmojiTabContent::setQuery(const QString& query)
{
    m_search->setText(query);
}

void EmojiTabContent::setActiveCategory(const EmojiCategoryFilter& filter)
{
    m_filter = filter;
    if (const qsizetype chip = m_chipFilters.indexOf(filter); chip >= 0)
        m_chips[chip]->setChecked(true);
    {
        const QSignalBlocker quiet(m_search);
        m_search->clear();
    }
    fill();
}

void EmojiTabContent::fill()
{
    const QString query = Text::trimmed(m_search->text());
    QList<IconTileGrid::Section> sections;
    QString emptyText;
    if (!query.isEmpty()) {
        sections.append({QString(), tilesOf(EmojiCatalog::search(query))});
    } else if (m_filter.kind == EmojiCategoryFilter::Kind::all) {
        sections.append({QStringLiteral("Recent"), recentTiles()});
        for (const EmojiCategory& category : EmojiCatalog::categories())
            sections.append({category.name, tilesOf(EmojiCatalog::data().value(category.id))});
    } else if (m_filter.kind == EmojiCategoryFilter::Kind::recent) {
        sections.append({QString(), recentTiles()});
        emptyText = QStringLiteral("No recent emoji yet");
    } else {
        sections.append({QString(), tilesOf(EmojiCatalog::data().value(m_filter.categoryId))});
    }
    m_grid->setEmptyText(emptyText);
    m_grid->setSections(sections);
    m_body->verticalScrollBar()->setValue(0);
}

bool EmojiTabContent::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_search && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down && m_grid->count() > 0) {
        m_grid->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (event->type() == QEvent::FocusIn && m_chips.contains(qobject_cast<QAbstractButton*>(watched)))
        m_chipRow->ensureWidgetVisible(static_cast<QWidget*>(watched), sidePadding, 0);
    return QWidget::eventFilter(watched, event);
}

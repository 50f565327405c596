// Gallery pages of the glass card chrome in each state and of the masonry grid.

#include "Gallery.h"

#include "Views/Components/GlassCard.h"
#include "Views/Components/MasonryGrid.h"
#include "Views/Components/ThemedLabel.h"

#include <QVBoxLayout>

namespace {

GlassCard* sampleCard(const QString& title, const QString& detail)
{
    auto* card = new GlassCard;
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(14, 11, 14, 12);
    column->setSpacing(3);
    column->addWidget(new ThemedLabel(title, 13, QFont::Medium, &Theme::text));
    auto* text = new ThemedLabel(detail, 12, QFont::Normal, &Theme::textSecondary);
    text->setWordWrap(true);
    column->addWidget(text);
    return card;
}

struct CardState {
    QString title;
    QString detail;
    bool hovered = false;
    bool selected = false;
    bool dropTarget = false;
    std::optional<QString> tint = std::nullopt;
};

QWidget* column(const QString& title, int width)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->setSpacing(8);
    layout->addWidget(galleryTitle(title));
    page->setFixedWidth(width);
    return page;
}

QWidget* buildCards(Appearance)
{
    const QString tint = QStringLiteral("#E2725B");
    const QList<CardState> states = {
        {.title = QStringLiteral("At rest"), .detail = QStringLiteral("Glass fill, subtle border")},
        {.title = QStringLiteral("Hovered"), .detail = QStringLiteral("Brighter fill"), .hovered = true},
        {.title = QStringLiteral("Selected"),
            .detail = QStringLiteral("Selected fill, 1 px selected border"),
            .selected = true},
        {.title = QStringLiteral("Drop target"),
            .detail = QStringLiteral("Blue at 0.12, blue border at 0.8"),
            .dropTarget = true},
        {.title = QStringLiteral("Selected and drop target"),
            .detail = QStringLiteral("Blue fill, selected border"),
            .selected = true,
            .dropTarget = true},
        {.title = QStringLiteral("Tinted"), .detail = QStringLiteral("Folder colour at 0.1"), .tint = tint},
        {.title = QStringLiteral("Tinted, hovered"),
            .detail = QStringLiteral("Folder colour at 0.16"),
            .hovered = true,
            .tint = tint},
        {.title = QStringLiteral("Tinted, selected"),
            .detail = QStringLiteral("Folder colour at 0.2, selected border"),
            .selected = true,
            .tint = tint},
        {.title = QStringLiteral("Tinted, under a drag"),
            .detail = QStringLiteral("Folder colour kept, blue border"),
            .dropTarget = true,
            .tint = tint},
    };
    QWidget* page = column(QStringLiteral("Glass cards"), 340);
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    for (const CardState& state : states) {
        GlassCard* card = sampleCard(state.title, state.detail);
        card->chrome().setHovered(state.hovered);
        card->chrome().setSelected(state.selected);
        card->chrome().setDropTarget(state.dropTarget);
        card->chrome().setTintColor(state.tint);
        layout->addWidget(card);
    }
    return page;
}

QWidget* buildMasonry(Appearance)
{
    QWidget* page = column(QStringLiteral("Masonry grid"), 340);
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    layout->addWidget(galleryCaption(QStringLiteral("One column, 8 apart, as the main list uses it")));
    auto* list = new QWidget;
    auto* single = new MasonryGrid(1, 8, list);
    single->addWidget(sampleCard(QStringLiteral("Work"), QStringLiteral("4 shortcuts")));
    single->addWidget(sampleCard(QStringLiteral("/sig"), QStringLiteral("Kind regards,\nAda Lovelace")));
    single->addWidget(sampleCard(QStringLiteral("/addr"), QStringLiteral("12 St James's Square, London SW1Y 4JH")));
    layout->addWidget(list);

    layout->addSpacing(6);
    layout->addWidget(galleryCaption(QStringLiteral("Two columns: each card goes under the shorter column")));
    auto* board = new QWidget;
    auto* grid = new MasonryGrid(2, 8, board);
    grid->addWidget(sampleCard(QStringLiteral("1"), QStringLiteral("A tall card that takes several lines of text")));
    grid->addWidget(sampleCard(QStringLiteral("2"), QStringLiteral("Short")));
    grid->addWidget(sampleCard(QStringLiteral("3"), QStringLiteral("Goes right, under 2")));
    grid->addWidget(sampleCard(QStringLiteral("4"), QStringLiteral("Then the shorter side again")));
    grid->addWidget(sampleCard(QStringLiteral("5"), QStringLiteral("And so on")));
    layout->addWidget(board);
    layout->addStretch(1);
    return page;
}

const GalleryPageRegistration cards(QStringLiteral("glass-cards"), &buildCards);
const GalleryPageRegistration masonry(QStringLiteral("masonry-grid"), &buildMasonry);

} // namespace

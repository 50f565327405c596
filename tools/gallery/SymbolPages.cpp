// Gallery pages of the interface symbols: every symbol by name, and the sizes, weights and
// colours the screens draw them in.

#include "Gallery.h"

#include "Views/Components/SymbolIcon.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/ViewStyle.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int columns = 6;
constexpr QSize cell(116, 92);

// Every symbol at 24 pixels over its name; long names break after their dots.
class SymbolSheet : public QWidget {
public:
    SymbolSheet()
    {
        const int rows = int((SymbolIcon::names().size() + columns - 1) / columns);
        setFixedSize(columns * cell.width(), rows * cell.height());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QStringList names = SymbolIcon::names();
        painter.setFont(uiFont(10));
        for (int i = 0; i < names.size(); ++i) {
            const QRect box(QPoint((i % columns) * cell.width(), (i / columns) * cell.height()), cell);
            const QRectF tile = QRectF(box).adjusted(3, 3, -3, -3);
            painter.setPen(QPen(Theme::borderSubtle(), 1));
            painter.setBrush(Theme::surfaceGlass());
            painter.drawPath(continuousRoundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), 10));
            SymbolIcon::paint(painter, QRectF(box.center().x() - 12, box.top() + 14, 24, 24), names[i], Theme::text());
            QString label = names[i];
            label.replace(QLatin1Char('.'), QStringLiteral(".\u200b"));
            painter.setPen(Theme::textSecondary());
            painter.drawText(tile.adjusted(6, 44, -6, -2), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, label);
        }
    }
};

QWidget* buildSymbols(Appearance)
{
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(6);
    column->addWidget(galleryTitle(QStringLiteral("Symbols")));
    column->addWidget(galleryCaption(
        QStringLiteral("%1 symbols, drawn at 24 px in the text colour.").arg(SymbolIcon::names().size())));
    column->addSpacing(6);
    column->addWidget(new SymbolSheet);
    page->setFixedWidth(columns * cell.width() + 36);
    return page;
}

QWidget* row(const QList<QWidget*>& items)
{
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);
    for (QWidget* item : items)
        layout->addWidget(item, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    return holder;
}

// A symbol beside text of the same size, to show that the two sit together.
QWidget* sample(const QString& symbol, int pointSize, SymbolWeight weight, ThemeColor color, const QString& text)
{
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(new SymbolLabel(symbol, pointSize, weight, color), 0, Qt::AlignVCenter);
    layout->addWidget(new ThemedLabel(text, pointSize, QFont::Normal, color), 0, Qt::AlignVCenter);
    return holder;
}

QWidget* buildSymbolStyles(Appearance)
{
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(8);
    column->addWidget(galleryTitle(QStringLiteral("Symbol sizes, weights and colours")));

    column->addWidget(galleryCaption(QStringLiteral("Sizes the screens use, beside text of the same size")));
    column->addWidget(
        row({sample(QStringLiteral("chevron.right"), 9, SymbolWeight::medium, &Theme::text, QStringLiteral("9")),
            sample(QStringLiteral("chevron.down"), 10, SymbolWeight::medium, &Theme::text, QStringLiteral("10")),
            sample(QStringLiteral("magnifyingglass"), 11, SymbolWeight::regular, &Theme::text, QStringLiteral("11")),
            sample(QStringLiteral("pencil"), 12, SymbolWeight::regular, &Theme::text, QStringLiteral("12")),
            sample(QStringLiteral("icloud"), 13, SymbolWeight::regular, &Theme::text, QStringLiteral("13"))}));
    column->addWidget(
        row({sample(QStringLiteral("plus"), 16, SymbolWeight::regular, &Theme::text, QStringLiteral("16")),
            sample(QStringLiteral("trash"), 22, SymbolWeight::light, &Theme::text, QStringLiteral("22")),
            sample(QStringLiteral("text.badge.plus"), 28, SymbolWeight::light, &Theme::text, QStringLiteral("28")),
            sample(QStringLiteral("internaldrive"), 30, SymbolWeight::light, &Theme::text, QStringLiteral("30"))}));

    column->addSpacing(6);
    column->addWidget(galleryCaption(QStringLiteral("Weights: light, regular, medium, semibold")));
    QList<QWidget*> weights;
    for (const QString& name :
        {QStringLiteral("gearshape"), QStringLiteral("checkmark"), QStringLiteral("lock.fill")}) {
        for (const SymbolWeight weight :
            {SymbolWeight::light, SymbolWeight::regular, SymbolWeight::medium, SymbolWeight::semibold})
            weights.append(new SymbolLabel(name, 19, weight, &Theme::text));
    }
    column->addWidget(row(weights));

    column->addSpacing(6);
    column->addWidget(galleryCaption(QStringLiteral("Colours: text, secondary, muted, danger")));
    QList<QWidget*> colours;
    for (const ThemeColor color : {&Theme::text, &Theme::textSecondary, &Theme::textMuted, &Theme::danger})
        colours.append(sample(
            QStringLiteral("exclamationmark.circle.fill"), 13, SymbolWeight::regular, color, QStringLiteral("Notice")));
    column->addWidget(row(colours));

    column->addSpacing(6);
    column->addWidget(galleryCaption(QStringLiteral("Turned: the menu's upright ellipsis, the none swatch's slash")));
    auto* ellipsis = new SymbolLabel(QStringLiteral("ellipsis"), 16, SymbolWeight::medium, &Theme::textSecondary);
    ellipsis->setRotation(90);
    auto* slash = new SymbolLabel(QStringLiteral("minus"), 10, SymbolWeight::medium, &Theme::textMuted);
    slash->setRotation(-45);
    column->addWidget(row({ellipsis, slash}));
    column->addStretch(1);
    page->setFixedWidth(420);
    return page;
}

const GalleryPageRegistration symbols(QStringLiteral("symbols"), &buildSymbols);
const GalleryPageRegistration symbolStyles(QStringLiteral("symbol-styles"), &buildSymbolStyles);

} // namespace

#include "Views/MenuBar/forms/FlowingSwatches.h"

#include "Utilities/Color.h"
#include "Utilities/Text.h"
#include "Utilities/Theme.h"
#include "Views/Components/GlassInputPanel.h"
#include "Views/Components/SymbolIcon.h"
#include "Views/Components/ViewStyle.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <functional>

namespace {

constexpr int swatchSide = 30;
constexpr int spacing = 8;

// One round swatch: "no colour" (a glass disc with a slash, outlined when selected) or a
// preset (a disc of its colour, with a white ring when selected). Checked means selected.
class ColorSwatch : public QAbstractButton {
public:
    ColorSwatch(std::optional<QString> hex, QWidget* parent)
        : QAbstractButton(parent)
        , m_hex(std::move(hex))
    {
        setCheckable(true);
        setFixedSize(swatchSide, swatchSide);
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
        connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    }

protected:
    bool hitButton(const QPoint& pos) const override
    {
        const QPointF d = QPointF(pos) + QPointF(0.5, 0.5) - QRectF(rect()).center();
        return d.x() * d.x() + d.y() * d.y() <= swatchSide * swatchSide / 4.0;
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (isDown())
            painter.setOpacity(0.75);
        const QRectF disc(0, 0, swatchSide, swatchSide);
        painter.setPen(Qt::NoPen);
        if (m_hex) {
            painter.setBrush(colorFromHex(*m_hex));
            painter.drawEllipse(disc);
            if (isChecked()) {
                painter.setBrush(Qt::NoBrush);
                painter.setPen(QPen(Qt::white, 2));
                painter.drawEllipse(disc.adjusted(1.5, 1.5, -1.5, -1.5));
                // White alone melts into a light backdrop: a dark hairline around it keeps
                // the ring apart from the backdrop and from pale colours.
                painter.setPen(QPen(QColor(0, 0, 0, 72), 1));
                painter.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
            }
        } else {
            painter.setBrush(Theme::surfaceGlass());
            painter.drawEllipse(disc);
            const int side = SymbolIcon::sideFor(10);
            painter.save();
            painter.translate(disc.center());
            painter.rotate(-45);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            SymbolIcon::paint(painter, QRectF(-side / 2.0, -side / 2.0, side, side), u"minus", Theme::textMuted(),
                SymbolWeight::medium);
            painter.restore();
            if (isChecked()) {
                painter.setBrush(Qt::NoBrush);
                painter.setPen(QPen(Theme::borderSelected(), 1.5));
                painter.drawEllipse(disc.adjusted(0.75, 0.75, -0.75, -0.75));
            }
        }
        if (showsKeyboardFocus(this)) {
            painter.setOpacity(1.0);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(Theme::borderSelected(), 1.5, Qt::DotLine));
            painter.drawEllipse(disc.adjusted(4, 4, -4, -4));
        }
    }

private:
    std::optional<QString> m_hex;
};

// The capsule around the hex field. Return in the field and leaving it commit the text;
// Return stops here, so it does not also reach the editor's Save.
class HexPill : public GlassInputPanel {
public:
    HexPill(QLineEdit* field, std::function<void()> commit, QWidget* parent)
        : GlassInputPanel(parent)
        , m_field(field)
        , m_commit(std::move(commit))
    {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setFixedHeight(swatchSide);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(10, 0, 10, 0);
        field->setParent(this);
        field->setFrame(false);
        field->setTextMargins(-2, 0, 0, 0);
        field->setFixedWidth(60);
        field->setFont(uiFont(12, QFont::Normal, true));
        field->setPlaceholderText(QStringLiteral("#hex"));
        field->setAccessibleName(QStringLiteral("Custom folder color hex code"));
        layout->addWidget(field, 0, Qt::AlignVCenter);
        attachEditor(field);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_field) {
            if (event->type() == QEvent::KeyPress) {
                const int key = static_cast<QKeyEvent*>(event)->key();
                if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                    m_commit();
                    return true;
                }
            } else if (event->type() == QEvent::FocusOut) {
                m_commit();
            }
        }
        return GlassInputPanel::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF capsule = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
        const qreal radius = capsule.height() / 2;
        QPainterPath shape;
        shape.addRoundedRect(capsule, radius, radius);
        painter.fillPath(shape, isFocused() ? Theme::surfaceGlassHover() : Theme::surfaceGlass());
        painter.strokePath(shape, QPen(isFocused() ? Theme::borderSelected() : Theme::borderSubtle(), 0.5));
    }

private:
    QLineEdit* m_field;
    std::function<void()> m_commit;
};

QHBoxLayout* swatchRow()
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    return row;
}

} // namespace

FlowingSwatches::FlowingSwatches(QList<Preset> colors, QWidget* parent)
    : QWidget(parent)
    , m_colors(std::move(colors))
    , m_hexField(new QLineEdit)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
    QHBoxLayout* first = swatchRow();
    QHBoxLayout* second = swatchRow();

    auto* none = new ColorSwatch(std::nullopt, this);
    none->setToolTip(QStringLiteral("None"));
    none->setAccessibleName(QStringLiteral("No folder color"));
    connect(none, &QAbstractButton::clicked, this, [this] {
        setSelectedColor(std::nullopt);
        setHexInput(QString());
    });
    m_swatches.append(none);
    first->addWidget(none);

    for (qsizetype i = 0; i < m_colors.size(); ++i) {
        const Preset& preset = m_colors.at(i);
        auto* swatch = new ColorSwatch(preset.hex, this);
        swatch->setToolTip(preset.name);
        swatch->setAccessibleName(preset.name + QStringLiteral(" folder color"));
        connect(swatch, &QAbstractButton::clicked, this, [this, hex = preset.hex] {
            setSelectedColor(hex);
            setHexInput(hex);
        });
        m_swatches.append(swatch);
        (i < presetsInFirstRow ? first : second)->addWidget(swatch);
    }
    second->addWidget(new HexPill(
        m_hexField, [this] { commitHex(); }, this));
    first->addStretch(1);
    second->addStretch(1);
    column->addLayout(first);
    column->addLayout(second);
    refreshSelection();
}

void FlowingSwatches::setSelectedColor(const std::optional<QString>& color)
{
    const bool changed = color != m_selectedColor;
    m_selectedColor = color;
    // Always: a click on a checkable swatch has just toggled its own check mark.
    refreshSelection();
    if (changed)
        Q_EMIT selectedColorChanged();
}

QString FlowingSwatches::hexInput() const
{
    return m_hexField->text();
}

void FlowingSwatches::setHexInput(const QString& text)
{
    m_hexField->setText(text);
}

bool FlowingSwatches::commitHex()
{
    // Anchored to the whole text: a "$" would also accept a colour followed by a line break.
    static const QRegularExpression hexColor(
        QRegularExpression::anchoredPattern(QStringLiteral("#([0-9A-Fa-f]{3}|[0-9A-Fa-f]{6})")));
    QString candidate = Text::trimmedOfSpaces(hexInput());
    if (!candidate.startsWith(u'#'))
        candidate.prepend(u'#');
    if (!hexColor.match(candidate).hasMatch())
        return false;
    const QString color = candidate.toUpper();
    setSelectedColor(color);
    setHexInput(color);
    return true;
}

// A colour selects the preset with exactly its text, letter case included; a colour of no
// preset selects nothing, not even the none swatch.
void FlowingSwatches::refreshSelection()
{
    m_swatches.first()->setChecked(!m_selectedColor);
    for (qsizetype i = 0; i < m_colors.size(); ++i)
        m_swatches.at(i + 1)->setChecked(m_selectedColor == m_colors.at(i).hex);
}

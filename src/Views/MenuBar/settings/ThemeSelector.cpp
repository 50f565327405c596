#include "Views/MenuBar/settings/ThemeSelector.h"

#include "Utilities/Theme.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/PaintedButton.h"
#include "Views/Components/ViewStyle.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int pillInset = 2;
constexpr int pillHeight = 11 + 2 * 7;

QPainterPath capsule(const QRectF& bounds)
{
    QPainterPath path;
    path.addRoundedRect(bounds, bounds.height() / 2, bounds.height() / 2);
    return path;
}

// One choice: its text on clear glass, or in the accent-text colour on a capsule of the
// text colour while it is the selected one (checked).
class ThemePill final : public PaintedButton {
public:
    ThemePill(const QString& label, const QString& value, QWidget* parent)
        : PaintedButton(label, parent)
    {
        setProperty("themeValue", value);
        setAccessibleName(label + QStringLiteral(" appearance"));
        setCheckable(true);
        // One of three, chosen by pressing it: radio buttons, whatever they look like.
        AccessibleRoles::setRole(this, QAccessible::RadioButton);
        setFixedHeight(pillHeight);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
    }

    // The selection follows the stored theme only: a press asks, it does not select.
    void nextCheckState() override { }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        beginPaint(painter);
        const bool selected = isChecked();
        const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (selected)
            painter.fillPath(capsule(bounds), Theme::text());
        painter.setFont(uiFont(11, selected ? QFont::Medium : QFont::Normal));
        painter.setPen(selected ? Theme::onAccent() : Theme::textSecondary());
        painter.drawText(rect(), Qt::AlignCenter, text());
        if (showsKeyboardFocus(this)) {
            painter.setOpacity(1.0);
            painter.setPen(QPen(selected ? Theme::onAccent() : Theme::borderSelected(), 1.5));
            painter.drawPath(capsule(bounds.adjusted(1, 1, -1, -1)));
        }
    }
};

} // namespace

ThemeSelector::ThemeSelector(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(fixedWidth, pillHeight + 2 * pillInset);
    AccessibleRoles::setRole(this, QAccessible::Grouping);
    setAccessibleName(QStringLiteral("Appearance"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(pillInset, pillInset, pillInset, pillInset);
    row->setSpacing(0);
    const QList<std::pair<QString, QString>> choices{
        {QStringLiteral("System"), QStringLiteral("system")},
        {QStringLiteral("Dark"), QStringLiteral("dark")},
        {QStringLiteral("Light"), QStringLiteral("light")},
    };
    for (const auto& [label, value] : choices) {
        auto* pill = new ThemePill(label, value, this);
        connect(pill, &QAbstractButton::clicked, this, [this, theme = value] { Q_EMIT themeChosen(theme); });
        row->addWidget(pill);
        m_pills.append(pill);
    }
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void ThemeSelector::setSelectedTheme(const QString& theme)
{
    for (QAbstractButton* pill : m_pills)
        pill->setChecked(pill->property("themeValue").toString() == theme);
}

void ThemeSelector::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = capsule(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    painter.fillPath(shape, Theme::surfaceGlass());
    // Glass on a glass card: the outline keeps the selector's shape readable in light mode.
    painter.strokePath(shape, QPen(Theme::borderSubtle(), 0.5));
}

#include "Views/Components/ThemedLabel.h"

#include "Utilities/Theme.h"

#include <QAccessibleWidget>

namespace {

class HeadingAccessible final : public QAccessibleWidget {
public:
    explicit HeadingAccessible(QWidget* label)
        : QAccessibleWidget(label, QAccessible::Heading)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name) {
            const auto* label = static_cast<const QLabel*>(widget());
            return label->accessibleName().isEmpty() ? label->text() : label->accessibleName();
        }
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* headingFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("ThemedLabel")) {
        auto* label = qobject_cast<ThemedLabel*>(object);
        if (label && label->isHeading())
            return new HeadingAccessible(label);
    }
    return nullptr;
}

} // namespace

ThemedLabel::ThemedLabel(const QString& text, int pixelSize, QFont::Weight weight, ThemeColor color, QWidget* parent)
    : QLabel(parent)
    , m_color(color)
{
    setTextFormat(Qt::PlainText);
    setText(text);
    setFont(uiFont(pixelSize, weight));
    applyColor();
    connect(&Theme::instance(), &Theme::appearanceChanged, this, &ThemedLabel::applyColor);
}

void ThemedLabel::setColor(ThemeColor color)
{
    m_color = color;
    applyColor();
}

void ThemedLabel::setHeading(bool heading)
{
    static const bool installed = [] {
        QAccessible::installFactory(headingFactory);
        return true;
    }();
    Q_UNUSED(installed);
    if (m_heading == heading)
        return;
    m_heading = heading;
    // Qt keeps the first interface made for a widget, which may predate the role: drop
    // it, so that the next request gets one made by the factory above.
    if (QAccessibleInterface* current = QAccessible::queryAccessibleInterface(this))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(current));
}

// Every colour group gets the colour: a disabled label keeps it, because the screens dim
// what they disable themselves.
void ThemedLabel::applyColor()
{
    QPalette palette = this->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::WindowText, m_color());
    setPalette(palette);
}

#pragma once

#include "Views/Components/ViewStyle.h"

#include <QLabel>

// A one-colour label in the interface font. Always plain text: user data (names,
// triggers, expansions) is shown as typed and never read as markup. Follows the appearance.
class ThemedLabel : public QLabel {
    Q_OBJECT
public:
    ThemedLabel(const QString& text, int pixelSize, QFont::Weight weight, ThemeColor color, QWidget* parent = nullptr);

    void setColor(ThemeColor color);

    // Announced to assistive technology as a heading. Set before the label is shown.
    void setHeading(bool heading);
    bool isHeading() const { return m_heading; }

private:
    void applyColor();

    ThemeColor m_color;
    bool m_heading = false;
};

#pragma once

#include "Views/Components/ViewStyle.h"

#include <QAbstractButton>

// A borderless button that is only its title: the banners' "Review" and "Enable", the
// empty list's "Clear search" and the folder names of the path bar. A title longer than
// the space it gets ends in "…". Drawn at 0.75 opacity while pressed.
class TextButton : public QAbstractButton {
    Q_OBJECT
public:
    TextButton(const QString& title, int pixelSize, QFont::Weight weight, ThemeColor color, QWidget* parent = nullptr);

    // Sets the title, shown as written ("&" included); no mnemonic is made of it.
    void setTitle(const QString& title);
    void setColor(ThemeColor color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ThemeColor m_color;
};

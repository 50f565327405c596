#pragma once

#include "Models/Shortcut.h"
#include "Utilities/Theme.h"
#include "Views/Components/FolderIconPainter.h"
#include "Views/Components/ViewStyle.h"

#include <QList>
#include <QWidget>

#include <optional>

// Draws a folder's icon key (see FolderIconCatalog) centred in a `size` by `size` square:
// built-in and uploaded icons as silhouettes in the theme's text colour, other keys as text
// at nine tenths of the size. An icon that cannot be shown (an upload that is gone or does
// not render) is drawn as the folder icon.
class FolderIconView : public QWidget {
    Q_OBJECT
public:
    FolderIconView(std::optional<QString> icon, qreal size, QList<CustomIcon> customIcons, QWidget* parent = nullptr);

    const std::optional<QString>& icon() const { return m_icon; }
    void setIcon(const std::optional<QString>& icon);
    void setCustomIcons(const QList<CustomIcon>& customIcons);
    qreal iconSize() const { return m_size; }
    // The colour of silhouettes and text; the theme's text colour unless set.
    void setColor(ThemeColor color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QString> m_icon;
    qreal m_size;
    QList<CustomIcon> m_customIcons;
    ThemeColor m_color = &Theme::text;
    FolderIconPainter m_painter;
};

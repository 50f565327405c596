#pragma once

#include "Models/CustomIcon.h"
#include "Views/Components/FolderIconPainter.h"

#include <QList>
#include <QRect>
#include <QWidget>

#include <optional>

// The tiles of the icon chooser, painted by this one widget however many there are: folder
// icons (built-in or uploaded, five to a row, 40 high, on glass) or emoji (six to a row, 36
// high, on clear), in sections that may carry a title. Each tile behaves as a button: a
// click, Return or Space activates it, it shows its tooltip and lights up under the pointer,
// and the arrow keys, Home and End move a keyboard cursor over the tiles (scrolling an
// enclosing scroll view to it). The tile whose key is the marked one shows as the current
// choice. Contents margins pad the grid.
class IconTileGrid : public QWidget {
    Q_OBJECT
public:
    enum class Kind { icons, emoji };

    struct Tile {
        QString key; // the icon key, or the emoji itself
        QString toolTip;
        QString name; // what assistive technology reads; the tooltip when empty
    };
    struct Section {
        QString title; // none when empty
        QList<Tile> tiles;
    };

    static constexpr int spacing = 8;
    static constexpr int sectionSpacing = 12;
    static constexpr qreal cornerRadius = 10;
    static constexpr qreal iconSize = 22;

    explicit IconTileGrid(Kind kind, QWidget* parent = nullptr);

    Kind kind() const { return m_kind; }
    int columns() const;
    int tileHeight() const;

    // Sections without tiles are left out.
    void setSections(const QList<Section>& sections);
    void setTiles(const QList<Tile>& tiles);
    // Shown, centred, while there are no tiles.
    void setEmptyText(const QString& text);
    const QString& emptyText() const { return m_emptyText; }
    void setMarkedKey(const std::optional<QString>& key);
    const std::optional<QString>& markedKey() const { return m_markedKey; }
    // The uploaded icons that "custom:" keys name.
    void setCustomIcons(const QList<CustomIcon>& customIcons);

    int count() const { return int(m_tiles.size()); }
    const Tile& tile(int index) const { return m_tiles.at(index); }
    QStringList keys() const;
    QStringList sectionTitles() const;
    QRect tileRect(int index) const;
    // The tile under `position`, or -1.
    int tileAt(const QPoint& position) const;
    // Where the keyboard cursor stands; -1 before the grid first had the focus.
    int currentIndex() const { return m_current; }
    // As a click on the tile.
    void activate(int index);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void activated(const QString& key);
    void contextMenuRequested(const QString& key, const QPoint& globalPosition);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct Geometry {
        QList<QRect> tiles;
        QList<std::pair<QString, QRect>> titles;
        QRect emptyText;
        int height = 0;
    };

    Geometry geometryFor(int width) const;
    void relayout();
    void paintTile(QPainter& painter, int index);
    bool showsCursor() const;
    void moveCursor(int index);
    // The nearest tile in the row above (-1) or below (+1) the cursor.
    int verticalNeighbour(int direction) const;
    void updateTile(int index);

    Kind m_kind;
    QList<Tile> m_tiles;
    QList<std::pair<QString, int>> m_titles; // section title and the index of its first tile
    QString m_emptyText;
    std::optional<QString> m_markedKey;
    QList<CustomIcon> m_customIcons;
    Geometry m_geometry;
    int m_hovered = -1;
    int m_pressed = -1;
    int m_current = -1;
    bool m_keyboardCursor = false;
    FolderIconPainter m_iconPainter;
};

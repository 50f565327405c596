#pragma once

#include <QAccessibleWidget>
#include <QHash>

class IconTileGrid;

// Presents the tiles of an IconTileGrid, which the grid paints itself, to assistive
// technology as a list of buttons: each named by its tooltip, placed where it is drawn,
// focused where the keyboard cursor stands and pressable. Installed for every grid by
// `install()`.
class IconTileGridAccessible : public QAccessibleWidget {
public:
    explicit IconTileGridAccessible(IconTileGrid* grid);
    ~IconTileGridAccessible() override;

    static void install();

    // The tiles were replaced: the interfaces of the old ones go.
    void tilesChanged();

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    IconTileGrid* grid() const;

private:
    mutable QHash<int, QAccessible::Id> m_tiles;
};

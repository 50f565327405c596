#pragma once

#include <QMenu>

class QAbstractButton;

// A pop-up menu in the popover's own look: the card colour of the current appearance, rounded
// corners, rows padded and highlighted like the popover's lists, and the interface font.
// Icons marked as masks (the interface symbols, silhouette folder icons) take the row's text
// colour, so they stay visible in both appearances; other icons (emoji) keep their colours.
// Where a compositing manager draws translucent windows the panel casts a soft shadow and
// its corners are see-through; elsewhere the corners are cut by a window mask.
class ThemedMenu : public QMenu {
    Q_OBJECT
public:
    explicit ThemedMenu(QWidget* parent = nullptr);
    explicit ThemedMenu(const QString& title, QWidget* parent = nullptr);

    // A submenu titled `title` in the same look, added at the end; owned by this menu.
    ThemedMenu* addThemedMenu(const QString& title);

    // The button that opens the menu, watched from now on for how it is pressed.
    void setOpener(QAbstractButton* button);
    // Pops the menu up at `position` (global) once its opener was pressed. Opened from the
    // keyboard or by assistive technology, its first item is highlighted and focused at once,
    // as a menu opened from the keyboard is; opened with the pointer, none is.
    void popUpFromOpener(const QPoint& position);

    // Highlights and focuses the first item of the open `menu` that can be chosen, as a menu
    // opened from the keyboard has it.
    static void highlightFirstItem(QMenu* menu);

    // `menu` closes, with the menus it was opened from, once one of its items runs however it
    // was chosen. Qt's accessible action on an item (switch and voice control use it) runs the
    // item and leaves the menu open, holding the keyboard; clicks and keys close it first. Every
    // themed menu does this; a plain one (the status menu) is given it here.
    static void closeWhenTriggered(QMenu* menu);

    // The interface symbol `name` as a row icon, marked as a mask so that it takes the row's
    // text colour.
    static QIcon symbol(const QString& name);

    // The look's colours, for lists that draw themselves as menus: the panel's outline and
    // the fill of the row under the pointer or the keyboard.
    static QColor panelOutline();
    static QColor rowHighlight();

    // The icon side in the rows, in device-independent pixels.
    static constexpr int iconSide = 16;
    // Room around a translucent menu's panel for its shadow.
    static constexpr int shadowMargin = 12;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The button that opens the menu was last pressed with the pointer.
    bool m_pressedByPointer = false;
};

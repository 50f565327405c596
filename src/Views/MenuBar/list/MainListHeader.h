#pragma once

#include "Views/Components/ThemedMenu.h"

#include <QWidget>

class PopoverCommands;
class QMenu;
class SymbolButton;
class ThemedLabel;

// The main list's top row: the "velmora" wordmark, the "+" menu (new shortcut or folder)
// and the menu of the other screens and Quit, each entry one of the popover's commands.
class MainListHeader : public QWidget {
    Q_OBJECT
public:
    explicit MainListHeader(PopoverCommands& commands, QWidget* parent = nullptr);

    ThemedLabel* wordmark() const { return m_wordmark; }
    SymbolButton* addButton() const { return m_addButton; }
    SymbolButton* moreButton() const { return m_moreButton; }
    QMenu* addMenu() const { return m_addMenu; }
    QMenu* moreMenu() const { return m_moreMenu; }
    bool isAddMenuHovered() const { return m_addMenuHovered; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setAddMenuHovered(bool hovered);
    static void popUp(ThemedMenu* menu, SymbolButton* button);

    ThemedLabel* m_wordmark;
    SymbolButton* m_addButton;
    SymbolButton* m_moreButton;
    ThemedMenu* m_addMenu;
    ThemedMenu* m_moreMenu;
    bool m_addMenuHovered = false;
};

#pragma once

#include "Models/Shortcut.h"
#include "Views/MenuBar/list/LibraryItemCard.h"

class ClampedTextLabel;
class FolderIconView;
class SymbolButton;
class ThemedLabel;

// One folder in the main list: its icon, name and number of direct children, on the
// folder's colour. A click selects it, Ctrl-click toggles it, a double click or the chevron
// opens it, a drag carries the selection, and library items dropped on it move into it.
class FolderCard : public LibraryItemCard {
    Q_OBJECT
public:
    FolderCard(AppState& appState, const Group& group, ScreenBinding screen, PopoverCommands& commands,
        QWidget* parent = nullptr);

    const Group& group() const { return m_group; }
    // Shows `group` (the same folder, perhaps changed) with what the library holds now.
    void setGroup(const Group& group);

    void click(bool toggling) override;
    std::unique_ptr<QMenu> buildContextMenu() override;

    // Shows the folder's contents in the main list, with the search and selection emptied.
    void openFolder();

    // Moves the items a drop of `data` names into this folder as one undoable change and
    // says so. Returns how many moved; nothing is written when none did.
    int dropItems(const QMimeData* data);

    FolderIconView* iconView() const { return m_icon; }
    ClampedTextLabel* nameLabel() const { return m_name; }
    ThemedLabel* countLabel() const { return m_count; }
    SymbolButton* openButton() const { return m_open; }

protected:
    void doubleClick() override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    Group m_group;
    FolderIconView* m_icon;
    ClampedTextLabel* m_name;
    ThemedLabel* m_count;
    SymbolButton* m_open;
};

#pragma once

#include "Models/Shortcut.h"
#include "Views/MenuBar/list/LibraryItemCard.h"

class ClampedTextLabel;
class FolderNameLine;
class SymbolButton;

// One shortcut in the main list: its trigger, a preview of its text and, while searching,
// the folder it lives in. A click selects it (and copies its text when the settings ask
// for that), Ctrl-click toggles it in the selection, a double click or the pencil opens
// the editor, a drag carries the selection, and the context menu offers its operations.
class ShortcutCard : public LibraryItemCard {
    Q_OBJECT
public:
    // Lines of the preview while the settings do not ask for the whole text.
    static constexpr int previewLines = 2;

    ShortcutCard(AppState& appState, const Shortcut& shortcut, ScreenBinding screen, PopoverCommands& commands,
        QWidget* parent = nullptr);

    const Shortcut& shortcut() const { return m_shortcut; }
    // Shows `shortcut` (the same item, perhaps changed) and what the library and the
    // search say about it now.
    void setShortcut(const Shortcut& shortcut);

    void click(bool toggling) override;
    std::unique_ptr<QMenu> buildContextMenu() override;

    void openEditor();
    // Puts the expansion on the clipboard as plain text and says so.
    void copyExpansion();

    ClampedTextLabel* triggerLabel() const { return m_trigger; }
    ClampedTextLabel* previewLabel() const { return m_preview; }
    // The folder line, shown only while searching.
    FolderNameLine* folderLine() const { return m_folderLine; }
    SymbolButton* editButton() const { return m_edit; }

protected:
    void doubleClick() override;

private:
    void addFolderList(QMenu* menu, bool wholeSelection);
    void moveTo(const std::optional<QString>& groupId, const QString& toast, bool wholeSelection);
    void refreshSettings();

    Shortcut m_shortcut;
    ClampedTextLabel* m_trigger;
    ClampedTextLabel* m_preview;
    FolderNameLine* m_folderLine;
    SymbolButton* m_edit;
};

#pragma once

#include "Models/Shortcut.h"
#include "Views/MenuBar/screen/PopoverScreen.h"
#include "Views/MenuBar/screen/ScreenKeyActions.h"

#include <QWidget>
#include <optional>

class AppState;
class FolderMenuButton;
class FormErrorLine;
class GlassButton;
class GlassTextArea;
class GlassTextInput;
class NewFolderRow;
class ScreenHeader;

// The popover screen that creates one shortcut or edits an existing one: its trigger, its
// text and its folder, with a folder made in place and, when editing, "Delete shortcut".
// It keeps only what is being typed; every change goes through the application state, and
// the screen leaves only once that change was written. While the guided tutorial runs, a
// new shortcut starts from the tutorial's example, and the trigger field, the text area
// and "Save" are the tutorial's targets.
//
// Keys: Return saves (in the text area it starts a new line, and in the folder-name field
// it creates the folder); Escape cancels.
class ShortcutFormView : public QWidget, public ScreenKeyActions {
    Q_OBJECT
public:
    static inline const QString exampleExpansion = QStringLiteral("Thanks for reaching out. Happy to help!");

    // `editing` is the shortcut as it was when the screen was chosen; none for a new one.
    ShortcutFormView(AppState& appState, std::optional<Shortcut> editing, QWidget* parent = nullptr);
    ~ShortcutFormView() override;

    const std::optional<Shortcut>& editing() const { return m_editing; }

    // Both texts hold something besides white space and line breaks.
    bool canSave() const;
    // Another shortcut already has the trigger as typed (white space and line breaks at its
    // ends aside; canonically equivalent text is the same trigger).
    bool isDuplicate() const;
    const std::optional<QString>& selectedGroupId() const { return m_selectedGroupId; }
    // The chosen folder's name, "None" for the top level or a folder that no longer exists.
    QString selectedFolderName() const;
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }

    // Writes the shortcut and leaves; stays with an error line when it cannot.
    void save();

    // Escape returns to the main list without saving.
    bool cancelAction() override;
    // Return saves while saving is possible.
    bool defaultAction() override;
    // Makes a folder from the inline row's name inside the folder the main list has open,
    // and chooses it.
    void createInlineFolder();

    ScreenHeader* header() const { return m_header; }
    GlassTextInput* triggerField() const { return m_trigger; }
    FormErrorLine* errorLine() const { return m_errorLine; }
    GlassTextArea* expansionArea() const { return m_expansion; }
    FolderMenuButton* folderMenu() const { return m_folderMenu; }
    NewFolderRow* newFolderRow() const { return m_newFolder; }
    // Null for a new shortcut.
    GlassButton* deleteButton() const { return m_delete; }
    GlassButton* cancelButton() const { return m_cancel; }
    GlassButton* saveButton() const { return m_save; }

Q_SIGNALS:
    // The popover should show `screen` (the form only ever asks for the main list).
    void screenRequested(const PopoverScreen& screen);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillIn();
    void leave();
    void deleteShortcut();
    void setSelectedGroupId(const std::optional<QString>& id);
    void setErrorMessage(const std::optional<QString>& message);
    void refreshLibrary();
    void refreshCanSave();
    // The chosen folder if it still exists; the top level otherwise, which is what the
    // menu shows then.
    std::optional<QString> existingSelectedGroupId() const;

    AppState& m_appState;
    const std::optional<Shortcut> m_editing;
    std::optional<QString> m_selectedGroupId;
    std::optional<QString> m_errorMessage;
    bool m_filledIn = false;

    ScreenHeader* m_header;
    GlassTextInput* m_trigger;
    FormErrorLine* m_errorLine;
    GlassTextArea* m_expansion;
    FolderMenuButton* m_folderMenu;
    NewFolderRow* m_newFolder;
    GlassButton* m_delete = nullptr;
    GlassButton* m_cancel;
    GlassButton* m_save;
};

#pragma once

#include "Models/Shortcut.h"
#include "Views/MenuBar/forms/FlowingSwatches.h"
#include "Views/MenuBar/screen/PopoverScreen.h"
#include "Views/MenuBar/screen/ScreenKeyActions.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <optional>

class AppState;
class FolderIconView;
class GlassButton;
class GlassRowButton;
class GlassTextInput;
class ParentFolderMenu;
class QLabel;
class QVBoxLayout;
class SymbolLabel;
class VisibilityPill;

// The popover screen that creates a folder ("New folder") or edits one ("Edit folder"): its
// name, icon, colour, parent folder and visibility, and, for an existing folder, "Delete
// folder". The form keeps what the user enters as its own state, fills itself again each
// time it is shown, and writes nothing until Save (or Return): then it changes the library
// through `AppState`, shows a toast and asks for the main list. Cancel (or Escape) and the
// header's back button leave without writing.
class FolderFormView : public QWidget, public ScreenKeyActions {
    Q_OBJECT
public:
    // The nine preset colours, in display order.
    static const QList<FlowingSwatches::Preset>& presetColors();

    FolderFormView(AppState& appState, std::optional<Group> editing, QWidget* parent = nullptr);

    bool isEditing() const { return m_editing.has_value(); }
    const std::optional<Group>& editing() const { return m_editing; }
    // The name, trimmed of spaces and tabs, is not empty.
    bool canSave() const;

    // Fills the form: an edited folder's values as they were when the screen opened; for a new
    // folder only the parent (the folder the main list shows) and the visibility ("private").
    void loadInitialState();
    // The folders the folder may move under, in library order: every folder for a new one,
    // all but the folder itself and those below it for an edited one.
    QList<Group> availableParents() const;
    // The chosen parent's name; "None" for the top level and for a folder that no longer exists.
    QString currentParentName() const;
    void save();

    // Escape closes the parent menu or the icon chooser when one is open, else cancels.
    bool cancelAction() override;
    // Return saves, unless the parent menu or the icon chooser is open.
    bool defaultAction() override;

    QString name() const;
    const std::optional<QString>& selectedIconKey() const { return m_selectedIconKey; }
    std::optional<QString> selectedColor() const { return m_swatches->selectedColor(); }
    QString hexInput() const { return m_swatches->hexInput(); }
    const std::optional<QString>& parentGroupId() const { return m_parentGroupId; }
    const QString& visibility() const { return m_visibility; }

    // The icon chooser. When the icon row is pressed the form emits `openIconChooser` with its
    // icon key; whoever provides the chooser builds it and hands it to `presentIconChooser`,
    // and reports a choice through `pickIcon` (nothing = no icon, which clears the folder's
    // icon on save). While nothing is connected the row has nothing to open and ignores presses.
    void presentIconChooser(QWidget* chooser);
    void closeIconChooser();
    bool showingIconChooser() const { return !m_iconChooser.isNull(); }
    void pickIcon(const std::optional<QString>& key);

    bool showingParentMenu() const { return !m_parentMenu.isNull(); }
    ParentFolderMenu* parentMenu() const;

Q_SIGNALS:
    // The form is done: show `screen` (always the main list).
    void screenRequested(const PopoverScreen& screen);
    void openIconChooser(const std::optional<QString>& current);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void connectNotify(const QMetaMethod& signal) override;
    void disconnectNotify(const QMetaMethod& signal) override;

private:
    QWidget* chooseIconRow();
    QWidget* colorSection();
    QWidget* parentFolderField();
    QWidget* visibilitySection();
    VisibilityPill* visibilityPill(const QString& label, const QString& icon, const QString& value);
    QWidget* bottomButtons();

    void openParentMenu();
    void closeParentMenu();
    void cancel();
    void leave();
    void refresh();
    void showParentName();
    void updateIconRowAvailability();
    const Group* liveGroup(const std::optional<QString>& id) const;

    AppState& m_appState;
    const std::optional<Group> m_editing;
    std::optional<QString> m_selectedIconKey;
    std::optional<QString> m_parentGroupId;
    QString m_visibility = Group::visibilityText(FolderVisibility::privateFolder);

    GlassTextInput* m_nameField = nullptr;
    GlassRowButton* m_iconRow = nullptr;
    FolderIconView* m_iconView = nullptr;
    SymbolLabel* m_iconChevron = nullptr;
    FlowingSwatches* m_swatches = nullptr;
    GlassRowButton* m_parentField = nullptr;
    QLabel* m_parentName = nullptr;
    QList<VisibilityPill*> m_pills;
    GlassButton* m_saveButton = nullptr;
    QPointer<ParentFolderMenu> m_parentMenu;
    QPointer<QWidget> m_iconChooser;
};

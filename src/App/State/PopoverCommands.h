#pragma once

#include "App/State/PopoverKeyboardShortcuts.h"

#include <QHash>
#include <QKeySequence>
#include <QObject>
#include <functional>
#include <optional>

class AppState;
class QAction;
class QIcon;

// The popover's commands, one action each, holding the command's text, its keys and whether
// it can act now. The key handler, the status menu, the list's header and context menus and
// the cards' menus all trigger these same actions, so a command behaves the same however it
// was given. Commands that change the screen post the in-process notification the popover
// follows.
//
// The list's commands (see `PopoverKeyboardShortcuts::isAppWide`) are enabled only while the
// main list is the screen shown with nothing laid over it, which the popover's content tells
// through `setListShown`. While a layer covers the shown screen (`setCovered`) only the
// commands of the window, the application and the focused field act
// (`PopoverKeyboardShortcuts::actsUnderLayer`): this is the one place that keeps keys and menus
// from acting under a sheet, whichever sheet it is. The others are always enabled.
class PopoverCommands : public QObject {
    Q_OBJECT
public:
    using Command = PopoverKeyboardShortcuts::Command;

    // What only the window can do.
    struct WindowActions {
        std::function<void()> quit;
        std::function<void()> closePopover;
        std::function<void()> endEditing;
        // Whether a text field of the window has the keyboard (a focused button is no text).
        std::function<bool()> typingText;
    };

    PopoverCommands(AppState& state, WindowActions actions, QObject* parent = nullptr);
    ~PopoverCommands() override;

    // Null for `letThrough`.
    QAction* action(Command command) const;
    // A menu entry that words the command its own way (the header's "New shortcut" is the
    // status menu's "New Shortcut"): it follows the action's enabled state, shows no keys,
    // and triggers the action. Owned by `parent`.
    QAction* entry(Command command, const QString& text, QObject* parent, const QIcon& icon) const;
    QAction* entry(Command command, const QString& text, QObject* parent) const;
    // A card's entry: the command runs on the item `itemId` instead of the selection (open,
    // move up or down, delete). Enabled while the list is shown. Owned by `parent`.
    QAction* itemEntry(Command command, const QString& text, QObject* parent, const QString& itemId);

    // Runs the command when it is enabled now; returns whether it ran.
    bool trigger(Command command);
    // Runs the command on one item while the list is shown; returns whether it ran.
    bool triggerOn(Command command, const QString& itemId);
    // A key press: runs the command the key table names for it and returns whether the press
    // was consumed. No key acts while storage is not ready or while a question is pending; a
    // key whose command a layer holds back is consumed, so that nothing under it gets it.
    bool handle(int key, Qt::KeyboardModifiers modifiers, bool editingText);

    // Answers whether the main list is the screen shown with nothing over it. Without one the
    // popover's content counts as the list.
    void setListShown(std::function<bool()> listShown);
    bool isListShown() const;
    // Answers whether a layer (a sheet, the icon chooser, a question) covers the shown screen,
    // also while the window is hidden. Without one nothing does.
    void setCovered(std::function<bool()> covered);
    bool isCovered() const;
    // Brings every action's enabled state up to date; the content calls it when what it shows
    // changes.
    void refresh();

Q_SIGNALS:
    // A screen that no notification names (account, statistics) was asked for.
    void screenRequested(PopoverKeyboardShortcuts::Command command);

private:
    void add(Command command, const QString& text, const QList<QKeySequence>& keys);
    void perform(Command command);
    bool isEnabled(Command command) const;
    // The item a card's entry named, else the first selected one.
    std::optional<QString> target() const;
    void open();
    void remove();
    void goUp();
    // `written`: the toast reports library changes, so it waits until they are on disk.
    void countedToast(const QString& verb, qsizetype count, bool written);

    AppState& m_state;
    WindowActions m_actions;
    std::function<bool()> m_listShown;
    std::function<bool()> m_covered;
    std::optional<QString> m_itemTarget;
    QHash<Command, QAction*> m_commands;
};

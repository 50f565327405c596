#pragma once

#include "Views/Components/GlassCard.h"
#include "Views/MenuBar/screen/ScreenBinding.h"

#include <QPoint>
#include <memory>
#include <optional>

class AppState;
class PopoverCommands;
class QMenu;
class QMimeData;

// What the shortcut and folder cards share: the selection shown on the chrome, the mouse
// rules (a click on release, a double click, a drag once the pointer moves off), the drag
// of the selection and the context menu. The first click of a double click counts as a
// click as well.
class LibraryItemCard : public GlassCard {
    Q_OBJECT
public:
    const QString& itemId() const { return m_id; }
    bool isSelected() const;
    // The selection holds this card and nothing else.
    bool isSoleSelection() const;

    // A click; `toggling` is Ctrl held.
    virtual void click(bool toggling) = 0;

    // The context menu as it would open now. The caller owns it.
    virtual std::unique_ptr<QMenu> buildContextMenu() = 0;

    // What a drag of this card carries: the whole selection when this card is part of it,
    // else this card alone, which then becomes the selection. The caller owns the data.
    QMimeData* dragData();

    // Takes the card off the list: hidden at once, deleted once the event in progress is
    // over, or, while the card is the source of a drag, once the drag has ended.
    void retire();

protected:
    LibraryItemCard(
        AppState& appState, const QString& id, ScreenBinding screen, PopoverCommands& commands, QWidget* parent);

    virtual void doubleClick() = 0;

    AppState& appState() const { return m_appState; }
    PopoverCommands& commands() const { return m_commands; }
    void showScreen(const PopoverScreen& screen) const;
    // Whether the menus take their several-item form: this card is one of two or more
    // selected items.
    bool isInMultipleSelection() const;
    // Selects this card alone, or toggles it with `toggling`.
    void select(bool toggling);
    // The end both one-item menus share: "Move Up", "Move Down" and "Delete", the list's
    // commands run on this card's item.
    void addMoveAndDelete(QMenu* menu);
    // "Delete N Selected", the list's Delete.
    void addDeleteSelected(QMenu* menu);

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Whether the card's rounded shape covers `position`.
    bool takesPointAt(QPointF position) const;
    void refreshSelection();

    AppState& m_appState;
    PopoverCommands& m_commands;
    QString m_id;
    ScreenBinding m_screen;
    std::optional<QPoint> m_pressPosition;
    bool m_swallowRelease = false;
    bool m_dragging = false;
    bool m_retired = false;
    bool m_selected = false;
};

#include "Views/MenuBar/list/LibraryItemCard.h"

#include "App/State/AppState.h"
#include "App/State/PopoverCommands.h"
#include "Views/Components/ViewStyle.h"
#include "Views/MenuBar/list/CardSelection.h"
#include "Views/MenuBar/list/LibraryItemDrag.h"
#include "Views/MenuBar/list/ListAccessible.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

LibraryItemCard::LibraryItemCard(
    AppState& appState, const QString& id, ScreenBinding screen, PopoverCommands& commands, QWidget* parent)
    : GlassCard(parent)
    , m_appState(appState)
    , m_commands(commands)
    , m_id(id)
    , m_screen(std::move(screen))
{
    ListAccessible::install();
    refreshSelection();
    connect(&appState, &AppState::selectedIdsChanged, this, &LibraryItemCard::refreshSelection);
}

bool LibraryItemCard::isSelected() const
{
    return m_appState.selectedIds().contains(m_id);
}

bool LibraryItemCard::isSoleSelection() const
{
    return m_appState.selectedIds().size() == 1 && isSelected();
}

bool LibraryItemCard::isInMultipleSelection() const
{
    return m_appState.selectedIds().size() >= 2 && isSelected();
}

void LibraryItemCard::select(bool toggling)
{
    m_appState.setSelectedIds(CardSelection::clickSelection(m_appState.selectedIds(), m_id, toggling));
}

void LibraryItemCard::addMoveAndDelete(QMenu* menu)
{
    using Command = PopoverCommands::Command;
    menu->addAction(m_commands.itemEntry(Command::moveItemUp, QStringLiteral("Move Up"), menu, m_id));
    menu->addAction(m_commands.itemEntry(Command::moveItemDown, QStringLiteral("Move Down"), menu, m_id));
    menu->addSeparator();
    menu->addAction(m_commands.itemEntry(Command::deleteOrGoUp, QStringLiteral("Delete"), menu, m_id));
}

void LibraryItemCard::addDeleteSelected(QMenu* menu)
{
    const QString text = QStringLiteral("Delete %1 Selected").arg(m_appState.selectedIds().size());
    menu->addAction(m_commands.entry(PopoverCommands::Command::deleteOrGoUp, text, menu));
}

void LibraryItemCard::showScreen(const PopoverScreen& screen) const
{
    m_screen.set(screen);
}

QMimeData* LibraryItemCard::dragData()
{
    if (!isSelected())
        m_appState.setSelectedIds({m_id});
    return LibraryItemDrag::mimeData(m_appState.selectedIds().values());
}

void LibraryItemCard::refreshSelection()
{
    const bool selected = isSelected();
    chrome().setSelected(selected);
    // The arrows move the selection while the list keeps the keyboard: the selected row is
    // what a screen reader must read next.
    if (selected != m_selected || isSoleSelection())
        ListAccessible::announceSelection(this, selected != m_selected);
    m_selected = selected;
}

bool LibraryItemCard::takesPointAt(QPointF position) const
{
    return continuousRoundedRect(rect(), GlassCardModifier::cornerRadius).contains(position);
}

void LibraryItemCard::mousePressEvent(QMouseEvent* event)
{
    // Outside the rounded corners the press belongs to the list beneath.
    if (!takesPointAt(event->position())) {
        event->ignore();
        return;
    }
    if (event->button() == Qt::LeftButton)
        m_pressPosition = event->position().toPoint();
    event->accept();
}

void LibraryItemCard::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressPosition || !(event->buttons() & Qt::LeftButton))
        return;
    if ((event->position().toPoint() - *m_pressPosition).manhattanLength() < QApplication::startDragDistance())
        return;
    m_pressPosition.reset();
    auto* drag = new QDrag(this);
    drag->setMimeData(dragData());
    drag->setPixmap(grab());
    drag->setHotSpot(event->position().toPoint());
    m_dragging = true;
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
    m_dragging = false;
    if (m_retired)
        deleteLater();
}

void LibraryItemCard::retire()
{
    hide();
    m_retired = true;
    // A drop runs inside the drag's own event loop, which would delete the card under the
    // drag that is still running; the drag deletes it when it is over.
    if (!m_dragging)
        deleteLater();
}

void LibraryItemCard::mouseReleaseEvent(QMouseEvent* event)
{
    const bool wasPressed = m_pressPosition.has_value();
    m_pressPosition.reset();
    if (event->button() != Qt::LeftButton)
        return;
    if (!wasPressed && !m_swallowRelease) {
        event->ignore();
        return;
    }
    if (m_swallowRelease) {
        m_swallowRelease = false;
        return;
    }
    if (wasPressed && rect().contains(event->position().toPoint()))
        click(event->modifiers().testFlag(Qt::ControlModifier));
}

void LibraryItemCard::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!takesPointAt(event->position())) {
        event->ignore();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    // The release that ends a double click is not a click of its own.
    m_swallowRelease = true;
    doubleClick();
}

void LibraryItemCard::contextMenuEvent(QContextMenuEvent* event)
{
    if (!takesPointAt(event->pos())) {
        event->ignore();
        return;
    }
    const std::unique_ptr<QMenu> menu = buildContextMenu();
    menu->setAccessibleName(accessibleName());
    menu->exec(event->globalPos());
}

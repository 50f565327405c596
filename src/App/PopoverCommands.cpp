#include "App/PopoverCommands.h"

#include "App/AppState.h"
#include "Utilities/Notifications.h"
#include "Utilities/ToastManager.h"

using PopoverKeyboardShortcuts::Command;

PopoverCommands::PopoverCommands(AppState& state, WindowActions actions)
    : m_state(state)
    , m_actions(std::move(actions))
{
}

bool PopoverCommands::handle(int key, Qt::KeyboardModifiers modifiers, bool editingText)
{
    // An open question gets its Return and Escape first; nothing else acts under it.
    if (!m_state.storageReady() || m_state.pendingConfirmation())
        return false;
    return perform(PopoverKeyboardShortcuts::commandFor(key, modifiers, editingText));
}

QString PopoverCommands::itemCount(qsizetype count)
{
    return QString::number(count) + (count == 1 ? QStringLiteral(" item") : QStringLiteral(" items"));
}

bool PopoverCommands::perform(Command command)
{
    auto post = [](const QString& name, const QVariant& object = {}) { NotificationCenter::instance().post(name, object); };
    auto call = [](const std::function<void()>& f) {
        if (f)
            f();
    };
    switch (command) {
    case Command::letThrough:
        return false;
    case Command::endEditing:
        call(m_actions.endEditing);
        return true;
    case Command::focusSearch:
        post(Notifications::velmoraFocusSearch);
        return true;
    case Command::quit:
        call(m_actions.quit);
        return true;
    case Command::closePopover:
        call(m_actions.closePopover);
        return true;
    case Command::openSettings:
        post(Notifications::velmoraOpenSettings);
        return true;
    case Command::newShortcut:
        post(Notifications::velmoraNewShortcut);
        return true;
    case Command::newFolder:
        post(Notifications::velmoraNewFolder);
        return true;
    case Command::selectAll:
        m_state.selectAll();
        return true;
    case Command::duplicateSelected: {
        const qsizetype n = m_state.selectedIds().size();
        m_state.duplicateSelected();
        if (n > 0)
            ToastManager::shared().show(QStringLiteral("Duplicated ") + itemCount(n));
        return true;
    }
    case Command::undo:
        m_state.undo();
        return true;
    case Command::redo:
        m_state.redo();
        return true;
    case Command::copySelected: {
        const qsizetype n = m_state.selectedIds().size();
        m_state.copySelected();
        if (n > 0)
            ToastManager::shared().show(QStringLiteral("Copied ") + itemCount(n));
        return true;
    }
    case Command::paste:
        // Only a paste that added something says so.
        if (m_state.pasteFromClipboard() > 0)
            ToastManager::shared().show(QStringLiteral("Pasted from clipboard"));
        return true;
    case Command::moveSelectionUp:
        post(Notifications::velmoraMoveSelection, QVariant::fromValue(NavDirection::up));
        return true;
    case Command::moveSelectionDown:
        post(Notifications::velmoraMoveSelection, QVariant::fromValue(NavDirection::down));
        return true;
    case Command::moveSelectionLeft:
        post(Notifications::velmoraMoveSelection, QVariant::fromValue(NavDirection::left));
        return true;
    case Command::moveSelectionRight:
        post(Notifications::velmoraMoveSelection, QVariant::fromValue(NavDirection::right));
        return true;
    case Command::moveItemUp:
    case Command::moveItemDown:
        if (!m_state.selectedIds().isEmpty()) {
            const QString first = *m_state.selectedIds().begin();
            command == Command::moveItemUp ? m_state.moveItemUp(first) : m_state.moveItemDown(first);
        }
        return true;
    case Command::openSelected:
        return openSelected();
    case Command::goUp:
        goUp();
        return true;
    case Command::deleteOrGoUp:
        if (!m_state.selectedIds().isEmpty()) {
            m_state.deleteSelected();
            return true;
        }
        if (!m_state.currentGroupId())
            return false;
        goUp();
        return true;
    case Command::escape:
        if (!m_state.selectedIds().isEmpty()) {
            m_state.setSelectedIds({});
            return true;
        }
        if (!m_state.currentGroupId())
            return false;
        goUp();
        return true;
    }
    return false;
}

bool PopoverCommands::openSelected()
{
    if (m_state.selectedIds().isEmpty())
        return false;
    const QString first = *m_state.selectedIds().begin();
    if (m_state.userData().group(first)) {
        m_state.setCurrentGroupId(first);
        m_state.setSearchQuery(QString());
        m_state.setSelectedIds({});
    } else if (const Shortcut* s = m_state.userData().shortcut(first)) {
        NotificationCenter::instance().post(Notifications::velmoraEditShortcut, QVariant::fromValue(*s));
    }
    return true;
}

void PopoverCommands::goUp()
{
    const std::optional<QString> open = m_state.currentGroupId();
    if (!open)
        return;
    const Group* folder = m_state.userData().group(*open);
    m_state.setCurrentGroupId(folder ? folder->parentGroupId : std::nullopt);
}

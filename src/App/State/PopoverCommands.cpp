#include "App/State/PopoverCommands.h"

#include "App/State/AppState.h"
#include "Utilities/Notifications.h"
#include "Utilities/ToastManager.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <algorithm>

using PopoverKeyboardShortcuts::Command;

PopoverCommands::PopoverCommands(AppState& state, WindowActions actions, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_actions(std::move(actions))
{
    for (const PopoverKeyboardShortcuts::CommandDeclaration& declared : PopoverKeyboardShortcuts::table())
        add(declared.command, declared.title, PopoverKeyboardShortcuts::shortcuts(declared.command));

    connect(&m_state, &AppState::selectedIdsChanged, this, &PopoverCommands::refresh);
    connect(&m_state, &AppState::currentGroupIdChanged, this, &PopoverCommands::refresh);
    connect(&m_state, &AppState::storageReadyChanged, this, &PopoverCommands::refresh);
    connect(&m_state, &AppState::pendingConfirmationChanged, this, &PopoverCommands::refresh);
    refresh();
}

PopoverCommands::~PopoverCommands() = default;

void PopoverCommands::add(Command command, const QString& text, const QList<QKeySequence>& keys)
{
    auto* action = new QAction(text, this);
    action->setShortcuts(keys);
    // The keys are shown in menus; the popover's key handler is what acts on them.
    action->setShortcutContext(Qt::WidgetShortcut);
    connect(action, &QAction::triggered, this, [this, command] { perform(command); });
    m_commands.insert(command, action);
}

QAction* PopoverCommands::action(Command command) const
{
    return m_commands.value(command);
}

QAction* PopoverCommands::entry(Command command, const QString& text, QObject* parent, const QIcon& icon) const
{
    QAction* source = action(command);
    auto* entry = new QAction(icon, text, parent);
    entry->setEnabled(source->isEnabled());
    connect(source, &QAction::changed, entry, [source, entry] { entry->setEnabled(source->isEnabled()); });
    connect(entry, &QAction::triggered, source, &QAction::trigger);
    return entry;
}

QAction* PopoverCommands::entry(Command command, const QString& text, QObject* parent) const
{
    return entry(command, text, parent, QIcon());
}

QAction* PopoverCommands::itemEntry(Command command, const QString& text, QObject* parent, const QString& itemId)
{
    auto* entry = new QAction(text, parent);
    entry->setEnabled(isListShown());
    connect(entry, &QAction::triggered, this, [this, command, itemId] { triggerOn(command, itemId); });
    return entry;
}

bool PopoverCommands::triggerOn(Command command, const QString& itemId)
{
    if (!action(command) || !isListShown())
        return false;
    m_itemTarget = itemId;
    perform(command);
    m_itemTarget.reset();
    return true;
}

bool PopoverCommands::trigger(Command command)
{
    QAction* target = action(command);
    // Asked now: a layer may have come or gone since the actions were brought up to date.
    refresh();
    if (!target || !target->isEnabled())
        return false;
    target->trigger();
    return true;
}

bool PopoverCommands::handle(int key, Qt::KeyboardModifiers modifiers, bool editingText)
{
    // An open question gets its Return and Escape first; nothing else acts under it.
    if (!m_state.storageReady() || m_state.pendingConfirmation())
        return false;
    const Command command = PopoverKeyboardShortcuts::commandFor(key, modifiers, editingText);
    if (trigger(command))
        return true;
    // A screen's command under a sheet has no use in the sheet either, and travelling on it
    // would reach the screen under it through the sheet's parents.
    return PopoverKeyboardShortcuts::isAppWide(command) && isCovered();
}

void PopoverCommands::setListShown(std::function<bool()> listShown)
{
    m_listShown = std::move(listShown);
    refresh();
}

bool PopoverCommands::isListShown() const
{
    return m_state.storageReady() && !m_state.pendingConfirmation() && !isCovered() && (!m_listShown || m_listShown());
}

void PopoverCommands::setCovered(std::function<bool()> covered)
{
    m_covered = std::move(covered);
    refresh();
}

bool PopoverCommands::isCovered() const
{
    return m_covered && m_covered();
}

bool PopoverCommands::isEnabled(Command command) const
{
    if (isCovered() && !PopoverKeyboardShortcuts::actsUnderLayer(command))
        return false;
    if (PopoverKeyboardShortcuts::isAppWide(command))
        return true;
    // Escape while typing ends the typing before anything else sees it, on every screen: a
    // form's field gives up the keyboard, and only the next Escape cancels the form. A focused
    // button is left alone off the list, so that Escape on it reaches the screen.
    if (command == Command::endEditing)
        return isListShown() || (m_actions.typingText && m_actions.typingText());
    if (!isListShown())
        return false;
    switch (command) {
    case Command::openSelected:
    case Command::openSelectionMenu: return !m_state.selectedIds().isEmpty();
    // With nothing selected at the top level these two leave the key to the popover (Escape
    // closes it).
    case Command::deleteOrGoUp:
    case Command::escape: return !m_state.selectedIds().isEmpty() || m_state.currentGroupId().has_value();
    default: return true;
    }
}

void PopoverCommands::refresh()
{
    for (auto it = m_commands.cbegin(); it != m_commands.cend(); ++it)
        it.value()->setEnabled(isEnabled(it.key()));
}

void PopoverCommands::countedToast(const QString& verb, qsizetype count, bool written)
{
    if (count <= 0)
        return;
    const QString message
        = verb + u' ' + QString::number(count) + (count == 1 ? QStringLiteral(" item") : QStringLiteral(" items"));
    if (written)
        m_state.toastOnceWritten(message);
    else
        ToastManager::shared().show(message);
}

void PopoverCommands::perform(Command command)
{
    auto post
        = [](const QString& name, const QVariant& object = {}) { NotificationCenter::instance().post(name, object); };
    auto call = [](const std::function<void()>& f) {
        if (f)
            f();
    };
    switch (command) {
    case Command::letThrough: return;
    case Command::endEditing: return call(m_actions.endEditing);
    case Command::focusSearch: return post(Notifications::velmoraFocusSearch);
    case Command::quit: return call(m_actions.quit);
    case Command::closePopover: return call(m_actions.closePopover);
    case Command::openSettings: return post(Notifications::velmoraOpenSettings);
    case Command::newShortcut: return post(Notifications::velmoraNewShortcut);
    case Command::newFolder: return post(Notifications::velmoraNewFolder);
    case Command::openAchievements: return post(Notifications::velmoraOpenAchievements);
    case Command::openAccount:
    case Command::openStatistics: Q_EMIT screenRequested(command); return;
    case Command::selectAll: return m_state.selectAll();
    case Command::duplicateSelected: {
        const qsizetype n = m_state.selectedIds().size();
        m_state.duplicateSelected();
        return countedToast(QStringLiteral("Duplicated"), n, true);
    }
    case Command::undo: m_state.undo(); return;
    case Command::redo: m_state.redo(); return;
    case Command::copySelected: {
        const qsizetype n = m_state.selectedIds().size();
        m_state.copySelected();
        return countedToast(QStringLiteral("Copied"), n, false);
    }
    case Command::paste:
        // Only a paste that added something says so.
        if (m_state.pasteFromClipboard() > 0)
            m_state.toastOnceWritten(QStringLiteral("Pasted from clipboard"));
        return;
    case Command::moveSelectionUp:
        return post(Notifications::velmoraMoveSelection, QVariant::fromValue(NavDirection::up));
    case Command::moveSelectionDown:
        return post(Notifications::velmoraMoveSelection, QVariant::fromValue(NavDirection::down));
    case Command::moveSelectionLeft:
        return post(Notifications::velmoraMoveSelection, QVariant::fromValue(NavDirection::left));
    case Command::moveSelectionRight:
        return post(Notifications::velmoraMoveSelection, QVariant::fromValue(NavDirection::right));
    case Command::moveItemUp:
    case Command::moveItemDown:
        if (const std::optional<QString> item = target())
            command == Command::moveItemUp ? m_state.moveItemUp(*item) : m_state.moveItemDown(*item);
        return;
    case Command::openSelected: return open();
    case Command::openSelectionMenu: return post(Notifications::velmoraOpenSelectionMenu);
    case Command::goUp: return goUp();
    case Command::deleteOrGoUp:
        if (m_itemTarget)
            return remove();
        if (!m_state.selectedIds().isEmpty())
            return m_state.deleteSelected();
        return goUp();
    case Command::escape:
        if (!m_state.selectedIds().isEmpty())
            return m_state.setSelectedIds({});
        return goUp();
    }
}

std::optional<QString> PopoverCommands::target() const
{
    if (m_itemTarget)
        return m_itemTarget;
    if (m_state.selectedIds().isEmpty())
        return std::nullopt;
    return *m_state.selectedIds().begin();
}

void PopoverCommands::remove()
{
    if (m_state.userData().group(*m_itemTarget))
        m_state.deleteGroup(*m_itemTarget);
    else
        m_state.deleteShortcut(*m_itemTarget);
}

void PopoverCommands::open()
{
    const std::optional<QString> first = target();
    if (!first)
        return;
    if (m_state.userData().group(*first)) {
        m_state.setCurrentGroupId(*first);
        m_state.setSearchQuery(QString());
        m_state.setSelectedIds({});
    } else if (const Shortcut* s = m_state.userData().shortcut(*first)) {
        NotificationCenter::instance().post(Notifications::velmoraEditShortcut, QVariant::fromValue(*s));
    }
}

void PopoverCommands::goUp()
{
    const std::optional<QString> open = m_state.currentGroupId();
    if (!open)
        return;
    const Group* folder = m_state.userData().group(*open);
    m_state.setCurrentGroupId(folder ? folder->parentGroupId : std::nullopt);
}

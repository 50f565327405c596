#include "Views/MenuBar/list/ShortcutCard.h"

#include "App/State/AppState.h"
#include "App/State/PopoverCommands.h"
#include "Utilities/Theme.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/ClampedTextLabel.h"
#include "Views/Components/FolderIconPainter.h"
#include "Views/Components/FolderNameLine.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/ThemedMenu.h"
#include "Views/MenuBar/list/CardTexts.h"
#include "Views/MenuBar/list/ListAccessible.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QVBoxLayout>
#include <algorithm>

ShortcutCard::ShortcutCard(
    AppState& appState, const Shortcut& shortcut, ScreenBinding screen, PopoverCommands& commands, QWidget* parent)
    : LibraryItemCard(appState, shortcut.id, std::move(screen), commands, parent)
    , m_trigger(new ClampedTextLabel(QString(), 13, QFont::Medium, &Theme::text, 1, this))
    , m_preview(new ClampedTextLabel(QString(), 13, QFont::Normal, &Theme::textSecondary, previewLines, this))
    , m_folderLine(new FolderNameLine(11, QFont::Light, &Theme::textMuted, this))
    , m_edit(
          new SymbolButton(QStringLiteral("pencil"), 12, SymbolWeight::regular, &Theme::textMuted, QSize(24, 24), this))
{
    m_trigger->setMonospaced(true);
    m_preview->setLineSpacing(1);
    m_folderLine->setContentsMargins(0, 2, 0, 0);
    m_edit->setToolTip(QStringLiteral("Edit shortcut"));
    // The list is one stop of Tab, whatever its length: the arrows move within it and Return
    // opens the editor. A screen reader still presses the button.
    m_edit->setFocusPolicy(Qt::NoFocus);
    connect(m_edit, &SymbolButton::clicked, this, &ShortcutCard::openEditor);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(5);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(m_trigger, 1, Qt::AlignVCenter);
    row->addWidget(m_edit, 0, Qt::AlignVCenter);
    column->addLayout(row);
    column->addWidget(m_preview);
    column->addWidget(m_folderLine);
    setShortcut(shortcut);

    refreshSettings();
    connect(&appState, &AppState::settingsChanged, this, &ShortcutCard::refreshSettings);
}

void ShortcutCard::setShortcut(const Shortcut& shortcut)
{
    m_shortcut = shortcut;
    m_trigger->setText(shortcut.trigger);
    m_preview->setText(shortcut.expansion.toString());
    m_edit->setAccessibleName(QStringLiteral("Edit ") + shortcut.trigger);
    setAccessibleName(shortcut.trigger);
    setAccessibleDescription(ListAccessible::spokenPreview(m_preview->text()));
    const UserData& library = appState().userData();
    const Group* folder = CardTexts::labelledFolder(shortcut, library, appState().searchQuery());
    if (folder)
        m_folderLine->setFolder(folder->name, folder->icon, library.customIcons);
    m_folderLine->setVisible(folder != nullptr);
}

void ShortcutCard::refreshSettings()
{
    m_preview->setMaximumLines(appState().settings().expandText ? ClampedTextLabel::unlimited : previewLines);
}

void ShortcutCard::click(bool toggling)
{
    select(toggling);
    if (!toggling && appState().settings().copyOnClick)
        copyExpansion();
}

void ShortcutCard::doubleClick()
{
    openEditor();
}

void ShortcutCard::openEditor()
{
    showScreen(PopoverScreen::editShortcut(m_shortcut));
}

void ShortcutCard::copyExpansion()
{
    auto* data = new QMimeData;
    data->setText(m_shortcut.expansion.toString());
    QGuiApplication::clipboard()->setMimeData(data);
    ToastManager::shared().show(QStringLiteral("Copied"));
}

void ShortcutCard::moveTo(const std::optional<QString>& groupId, const QString& toast, bool wholeSelection)
{
    const bool moved = wholeSelection ? appState().moveSelectedToGroup(groupId)
                                      : appState().moveShortcutToGroup(m_shortcut.id, groupId);
    if (moved)
        appState().toastOnceWritten(toast);
}

void ShortcutCard::addFolderList(QMenu* menu, bool wholeSelection)
{
    connect(menu->addAction(QStringLiteral("Root (no folder)")), &QAction::triggered, this,
        [this, wholeSelection] { moveTo(std::nullopt, QStringLiteral("Moved to root"), wholeSelection); });
    menu->addSeparator();
    const UserData& library = appState().userData();
    for (const Group& group : library.groups) {
        const QIcon icon = FolderIconPainter::menuIcon(group.icon, library.customIcons, ThemedMenu::iconSide);
        connect(menu->addAction(icon, CardTexts::literal(group.name)), &QAction::triggered, this,
            [this, wholeSelection, id = group.id, name = group.name] {
                moveTo(id, QStringLiteral("Moved to ") + name, wholeSelection);
            });
    }
}

std::unique_ptr<QMenu> ShortcutCard::buildContextMenu()
{
    auto menu = std::make_unique<ThemedMenu>();
    if (isInMultipleSelection()) {
        const QSet<QString>& selected = appState().selectedIds();
        const qsizetype count = selected.size();
        // Only the selected shortcuts move; selected folders stay where they are, so the
        // title counts the shortcuts alone.
        const auto& shortcuts = appState().userData().shortcuts;
        const qsizetype moving = std::count_if(
            shortcuts.cbegin(), shortcuts.cend(), [&](const Shortcut& s) { return selected.contains(s.id); });
        addFolderList(menu->addThemedMenu(QStringLiteral("Move %1 to Folder").arg(moving)), true);
        menu->addAction(commands().entry(PopoverCommands::Command::duplicateSelected,
            QStringLiteral("Duplicate %1 Selected").arg(count), menu.get()));
        menu->addSeparator();
        addDeleteSelected(menu.get());
        return menu;
    }
    menu->addAction(
        commands().itemEntry(PopoverCommands::Command::openSelected, QStringLiteral("Edit"), menu.get(), itemId()));
    connect(menu->addAction(QStringLiteral("Copy")), &QAction::triggered, this, &ShortcutCard::copyExpansion);
    connect(menu->addAction(QStringLiteral("Duplicate")), &QAction::triggered, this, [this] {
        if (appState().duplicateShortcut(m_shortcut.id))
            appState().toastOnceWritten(QStringLiteral("Duplicated"));
    });
    menu->addSeparator();
    addFolderList(menu->addThemedMenu(QStringLiteral("Move to Folder")), false);
    menu->addSeparator();
    addMoveAndDelete(menu.get());
    return menu;
}

#include "Views/MenuBar/list/FolderCard.h"

#include "App/State/AppState.h"
#include "App/State/PopoverCommands.h"
#include "Utilities/Theme.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/ClampedTextLabel.h"
#include "Views/Components/FolderIconView.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/ThemedMenu.h"
#include "Views/MenuBar/list/CardTexts.h"
#include "Views/MenuBar/list/LibraryItemDrag.h"

#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QVBoxLayout>

FolderCard::FolderCard(
    AppState& appState, const Group& group, ScreenBinding screen, PopoverCommands& commands, QWidget* parent)
    : LibraryItemCard(appState, group.id, std::move(screen), commands, parent)
    , m_icon(new FolderIconView(std::nullopt, 22, {}, this))
    , m_name(new ClampedTextLabel(QString(), 13, QFont::Medium, &Theme::text, 1, this))
    , m_count(new ThemedLabel(QString(), 12, QFont::Normal, &Theme::textMuted, this))
    , m_open(new SymbolButton(
          QStringLiteral("chevron.right"), 12, SymbolWeight::medium, &Theme::textMuted, QSize(28, 32), this))
{
    setAcceptDrops(true);
    m_icon->setFixedSize(28, 28);
    // Like the shortcut card's edit button: Tab passes the list in one stop.
    m_open->setFocusPolicy(Qt::NoFocus);
    connect(m_open, &SymbolButton::clicked, this, &FolderCard::openFolder);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(10);
    row->addWidget(m_icon, 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(m_name);
    texts->addWidget(m_count);
    row->addLayout(texts, 1);
    row->addWidget(m_open, 0, Qt::AlignVCenter);
    setGroup(group);
}

void FolderCard::setGroup(const Group& group)
{
    m_group = group;
    const UserData& library = appState().userData();
    m_icon->setIcon(group.icon);
    m_icon->setCustomIcons(library.customIcons);
    m_name->setText(group.name);
    m_count->setText(CardTexts::itemCount(CardTexts::childCount(library, group.id)));
    m_open->setAccessibleName(QStringLiteral("Open ") + group.name);
    setAccessibleName(group.name);
    setAccessibleDescription(m_count->text());
    chrome().setTintColor(group.color);
}

void FolderCard::click(bool toggling)
{
    select(toggling);
}

void FolderCard::doubleClick()
{
    openFolder();
}

void FolderCard::openFolder()
{
    commands().triggerOn(PopoverCommands::Command::openSelected, m_group.id);
}

int FolderCard::dropItems(const QMimeData* data)
{
    const int moved = appState().moveItemsIntoFolder(LibraryItemDrag::itemIds(data), m_group.id);
    if (moved == 0)
        return 0;
    appState().toastOnceWritten(QStringLiteral("Moved to ") + m_group.name);
    return moved;
}

void FolderCard::dragEnterEvent(QDragEnterEvent* event)
{
    if (!LibraryItemDrag::carriesItems(event->mimeData()))
        return;
    event->acceptProposedAction();
    chrome().setDropTarget(true);
}

void FolderCard::dragMoveEvent(QDragMoveEvent* event)
{
    if (LibraryItemDrag::carriesItems(event->mimeData()))
        event->acceptProposedAction();
}

void FolderCard::dragLeaveEvent(QDragLeaveEvent*)
{
    chrome().setDropTarget(false);
}

void FolderCard::dropEvent(QDropEvent* event)
{
    chrome().setDropTarget(false);
    if (!LibraryItemDrag::carriesItems(event->mimeData()))
        return;
    event->setDropAction(Qt::MoveAction);
    event->accept();
    dropItems(event->mimeData());
}

std::unique_ptr<QMenu> FolderCard::buildContextMenu()
{
    auto menu = std::make_unique<ThemedMenu>();
    menu->addAction(
        commands().itemEntry(PopoverCommands::Command::openSelected, QStringLiteral("Open"), menu.get(), itemId()));
    if (isInMultipleSelection()) {
        menu->addSeparator();
        addDeleteSelected(menu.get());
        return menu;
    }
    connect(menu->addAction(QStringLiteral("Edit")), &QAction::triggered, this,
        [this] { showScreen(PopoverScreen::editFolder(m_group)); });
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Duplicate")), &QAction::triggered, this,
        [this] { appState().duplicateGroup(m_group.id); });
    connect(menu->addAction(QStringLiteral("Ungroup")), &QAction::triggered, this,
        [this] { appState().ungroupFolder(m_group.id); });
    menu->addSeparator();
    addMoveAndDelete(menu.get());
    return menu;
}

#include "Views/MenuBar/list/MainListView.h"

#include "Models/LibraryDifference.h"
#include "Utilities/Text.h"

#include "App/State/AppState.h"
#include "App/State/PopoverCommands.h"
#include "Views/Components/FocusRing.h"
#include "Views/Components/GlassButton.h"
#include "Views/Components/OverlayScrollBar.h"
#include "Views/Components/TextButton.h"
#include "Views/Components/ThemedMenu.h"
#include "Views/Components/TutorialTarget.h"
#include "Views/MenuBar/list/AccessibilityBanner.h"
#include "Views/MenuBar/list/CardListCanvas.h"
#include "Views/MenuBar/list/CardSelection.h"
#include "Views/MenuBar/list/DuplicateTriggerBanner.h"
#include "Views/MenuBar/list/FolderCard.h"
#include "Views/MenuBar/list/FolderPathBar.h"
#include "Views/MenuBar/list/ListEmptyState.h"
#include "Views/MenuBar/list/MainListHeader.h"
#include "Views/MenuBar/list/SearchBar.h"
#include "Views/MenuBar/list/ShortcutCard.h"
#include "platform/AccessibilityTrust.h"

#include <QApplication>
#include <QMenu>
#include <QScrollArea>
#include <QSet>
#include <QShowEvent>
#include <QVBoxLayout>

MainListView::MainListView(const PopoverScreenContext& context, AccessibilityTrust* trust, QWidget* parent)
    : QWidget(parent)
    , m_appState(context.appState)
    , m_screen(context.binding)
    , m_commands(context.commands)
    , m_trust(trust)
    , m_hasAccessibility(!trust || trust->isProcessTrusted())
    , m_header(new MainListHeader(context.commands, this))
    , m_navBar(new FolderPathBar(m_appState, this))
    , m_searchBar(new SearchBar(m_appState, this))
    , m_duplicateBanner(new DuplicateTriggerBanner(this))
    , m_scrollArea(new QScrollArea(this))
    , m_canvas(new CardListCanvas(
          m_appState, m_commands,
          [this](const CardListCanvas::Rows& rows, qsizetype row, LibraryItemCard* card) {
              return makeCard(rows, row, card);
          },
          m_scrollArea))
    , m_accessibilityBanner(new AccessibilityBanner(this))
{
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    // The list inside holds the keyboard, not the area around it.
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    new OverlayScrollBar(m_scrollArea);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setWidget(m_canvas);
    m_scrollArea->viewport()->setAutoFillBackground(false);
    m_canvas->setAutoFillBackground(false);
    // The list, not the search field, holds the keyboard when the screen appears, so the
    // popover's keys (arrows, Return, Delete) act on the cards; a click on the list or Tab
    // takes the keyboard back from the field.
    m_canvas->setFocusPolicy(Qt::StrongFocus);
    m_canvas->setAccessibleName(QStringLiteral("Shortcuts and folders"));
    new FocusRing(m_canvas, m_scrollArea);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_header);
    column->addWidget(m_navBar);
    column->addWidget(m_searchBar);
    column->addWidget(m_duplicateBanner);
    column->addWidget(m_scrollArea, 1);
    column->addWidget(m_accessibilityBanner);

    connect(m_canvas, &CardListCanvas::contextMenuRequested, this, [this](const QPoint& at) {
        const std::unique_ptr<QMenu> menu = buildContextMenu();
        menu->exec(at);
    });
    connect(m_canvas, &CardListCanvas::keyboardMenuRequested, this, [this](const QPoint& at) {
        if (!openSelectionMenu())
            buildContextMenu()->exec(at);
    });
    connect(m_duplicateBanner, &DuplicateTriggerBanner::reviewToggled, this, &MainListView::toggleDuplicateReview);
    connect(m_accessibilityBanner, &AccessibilityBanner::enableRequested, this, [this] {
        if (m_trust)
            m_trust->requestTrust();
    });

    connect(&m_appState, &AppState::userDataChanged, this, [this] {
        readLibrary();
        refresh();
    });
    for (const auto signal : {&AppState::searchQueryChanged, &AppState::currentGroupIdChanged,
             &AppState::reviewingDuplicateShortcutsChanged})
        connect(&m_appState, signal, this, &MainListView::refresh);

    NotificationCenter::instance().observe(Notifications::velmoraFocusSearch, this, [this](const QVariant&) {
        if (isVisible())
            focusSearch();
    });
    NotificationCenter::instance().observe(Notifications::velmoraOpenSelectionMenu, this, [this](const QVariant&) {
        if (isVisible())
            openSelectionMenu();
    });
    NotificationCenter::instance().observe(Notifications::velmoraMoveSelection, this, [this](const QVariant& object) {
        if (isVisible() && object.metaType() == QMetaType::fromType<NavDirection>())
            moveSelectionDirectionally(object.value<NavDirection>());
    });

    showAccessibility();
    readLibrary();
    refresh();
}

MainListView::~MainListView()
{
    m_accessibilityCheck.cancel();
}

void MainListView::showScreen(const PopoverScreen& screen)
{
    m_screen.set(screen);
}

// What only a library change can change: searching and moving between folders do not go
// through the whole library for it.
void MainListView::readLibrary()
{
    const UserData& library = m_appState.userData();
    const QList<Shortcut>& shortcuts = library.shortcuts;
    const SharedEnds ends = SharedEnds::of(shortcuts, m_readShortcuts);
    const qsizetype changedEnd = shortcuts.size() - ends.tail;

    QSet<QString> folderIds;
    for (const Group& group : library.groups)
        folderIds.insert(group.id);
    const auto inExistingFolder = [&](const Shortcut& s) { return s.groupId && folderIds.contains(*s.groupId); };
    if (!library.groups.isSharedWith(m_readGroups)) {
        m_inExistingFolder.resize(shortcuts.size());
        for (qsizetype i = 0; i < shortcuts.size(); ++i)
            m_inExistingFolder[i] = inExistingFolder(shortcuts[i]);
    } else {
        QList<bool> flags;
        flags.reserve(shortcuts.size());
        flags.append(m_inExistingFolder.first(ends.head));
        for (qsizetype i = ends.head; i < changedEnd; ++i)
            flags.append(inExistingFolder(shortcuts[i]));
        flags.append(m_inExistingFolder.last(ends.tail));
        m_inExistingFolder = std::move(flags);
    }
    m_readShortcuts = shortcuts;
    m_readGroups = library.groups;
    ++m_libraryVersion;
}

void MainListView::refresh()
{
    const bool searching = !m_appState.searchQuery().isEmpty();
    m_navBar->setVisible(m_appState.effectiveCurrentGroupId().has_value() && !searching);
    m_navBar->refresh();
    const bool reviewing = m_appState.reviewingDuplicateShortcuts();
    const qsizetype duplicates = m_appState.duplicatedTriggerCount();
    m_duplicateBanner->setVisible(duplicates > 0 || reviewing);
    m_duplicateBanner->setState(duplicates, reviewing);
    rebuildList();
}

void MainListView::rebuildList()
{
    const std::optional<QString> open = m_appState.effectiveCurrentGroupId();
    const UserData& library = m_appState.userData();
    CardListCanvas::Rows rows;
    rows.groups = m_appState.groupsInGroup(open);
    rows.shortcuts = library.shortcuts;
    rows.libraryVersion = m_libraryVersion;
    const QList<qsizetype> shortcuts = m_appState.shortcutPositionsInGroup(open);
    // The folder line shows while searching, for shortcuts in a folder that exists.
    const bool searching = !m_appState.searchQuery().isEmpty();
    rows.rows.reserve(rows.groups.size() + shortcuts.size());
    for (qsizetype i = 0; i < rows.groups.size(); ++i)
        rows.rows.append({CardListCanvas::Row::Kind::folder, i});
    if (!shortcuts.isEmpty())
        rows.pinned = rows.rows.size();
    for (const qsizetype position : shortcuts)
        rows.rows.append({CardListCanvas::Row::Kind::shortcut, position, searching && m_inExistingFolder[position]});
    ListEmptyState* empty = nullptr;
    if (rows.rows.isEmpty()) {
        empty = new ListEmptyState(!m_appState.searchQuery().isEmpty(), m_canvas);
        connect(empty, &ListEmptyState::clearSearchRequested, this, [this] { m_appState.setSearchQuery(QString()); });
        connect(
            empty, &ListEmptyState::addShortcutRequested, this, [this] { showScreen(PopoverScreen::newShortcut()); });
        // Its button stands where the list does, so Tab reaches it there, not after the footer.
        QWidget* button = empty->clearButton();
        if (!button)
            button = empty->addButton();
        setTabOrder(m_canvas, button);
    }
    m_canvas->setRows(std::move(rows), empty);
}

LibraryItemCard* MainListView::makeCard(const CardListCanvas::Rows& rows, qsizetype row, LibraryItemCard* card)
{
    const CardListCanvas::Row& item = rows.rows[row];
    if (item.kind == CardListCanvas::Row::Kind::folder) {
        const Group& folder = rows.groups[item.position];
        if (auto* existing = static_cast<FolderCard*>(card)) {
            existing->setGroup(folder);
            return existing;
        }
        return new FolderCard(m_appState, folder, m_screen, m_commands, m_canvas);
    }
    const Shortcut& shortcut = rows.shortcuts[item.position];
    auto* shortcutCard = static_cast<ShortcutCard*>(card);
    if (shortcutCard)
        shortcutCard->setShortcut(shortcut);
    else
        shortcutCard = new ShortcutCard(m_appState, shortcut, m_screen, m_commands, m_canvas);
    markFirstCard(shortcutCard, row == rows.pinned);
    return shortcutCard;
}

template <class Card> QList<Card*> MainListView::cardsOfKind() const
{
    QList<Card*> result;
    for (LibraryItemCard* card : m_canvas->cards()) {
        if (auto* kind = qobject_cast<Card*>(card))
            result.append(kind);
    }
    return result;
}

// The tutorial points at the first shortcut card, whichever card that is now.
void MainListView::markFirstCard(ShortcutCard* card, bool first)
{
    auto* marker = card->findChild<TutorialTarget*>(QString(), Qt::FindDirectChildrenOnly);
    if (first && !marker)
        TutorialTarget::mark(card, QStringLiteral("firstCard"));
    else if (!first)
        delete marker;
}

QList<FolderCard*> MainListView::folderCards() const
{
    return cardsOfKind<FolderCard>();
}

QList<ShortcutCard*> MainListView::shortcutCards() const
{
    return cardsOfKind<ShortcutCard>();
}

ListEmptyState* MainListView::emptyState() const
{
    return m_canvas->emptyState();
}

void MainListView::moveSelectionDirectionally(NavDirection direction)
{
    const std::optional<QString> target
        = CardSelection::arrowTarget(m_canvas->cardFrames(), m_appState.selectedIds(), direction);
    if (target)
        m_appState.setSelectedIds({*target});
}

bool MainListView::openSelectionMenu()
{
    // On X11 the Menu key comes twice, as the key and as the window system's request for a
    // menu, in either order: the second finds the menu the first opened.
    if (QApplication::activePopupWidget())
        return true;
    const QList<LibraryItemCard*>& cards = m_canvas->cards();
    const auto selected = std::find_if(cards.cbegin(), cards.cend(),
        [](const LibraryItemCard* card) { return card->isVisible() && card->isSelected(); });
    if (selected == cards.cend())
        return false;
    LibraryItemCard* card = *selected;
    // Not run in a loop of its own: the key that asked for it is still being handled.
    QMenu* menu = card->buildContextMenu().release();
    // A screen reader names the menu as it opens: whose menu it is.
    menu->setAccessibleName(card->accessibleName());
    connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    menu->popup(card->mapToGlobal(QPoint(card->width() / 2, card->height() / 2)));
    ThemedMenu::highlightFirstItem(menu);
    return true;
}

std::unique_ptr<QMenu> MainListView::buildContextMenu()
{
    using Command = PopoverCommands::Command;
    m_commands.refresh();
    auto menu = std::make_unique<ThemedMenu>();
    menu->addAction(m_commands.action(Command::newShortcut));
    menu->addAction(m_commands.action(Command::newFolder));
    menu->addSeparator();
    menu->addAction(m_commands.action(Command::paste));
    if (!m_appState.selectedIds().isEmpty()) {
        menu->addSeparator();
        menu->addAction(m_commands.action(Command::selectAll));
    }
    return menu;
}

void MainListView::toggleDuplicateReview()
{
    m_appState.setReviewingDuplicateShortcuts(!m_appState.reviewingDuplicateShortcuts());
    m_appState.setCurrentGroupId(std::nullopt);
    m_appState.setSearchQuery(QString());
    m_appState.setSelectedIds({});
}

void MainListView::focusSearch()
{
    m_appState.setCurrentGroupId(std::nullopt);
    m_appState.setFirstUseFlag(QStringLiteral("discovery_search"));
    // After the list has settled on the top level.
    Scheduler::current().after(0, this, [this] { m_searchBar->focusField(); });
}

void MainListView::checkAccessibility()
{
    m_hasAccessibility = !m_trust || m_trust->isProcessTrusted();
    showAccessibility();
}

void MainListView::showAccessibility()
{
    // The pointer shows why typing is off (no X11 session, accessibility bus switched off, ...);
    // once typing is on, an application that lets no one edit its fields is named there.
    const QString unreachable = m_hasAccessibility && m_trust ? m_trust->unreachableApplication() : QString();
    m_accessibilityBanner->setVisible(!m_hasAccessibility || !unreachable.isEmpty());
    if (!unreachable.isEmpty()) {
        m_accessibilityBanner->setToolTip(QStringLiteral(
            "%1 lets no other program change the text of its fields, so triggers typed there are not expanded.")
                                              .arg(unreachable));
        m_accessibilityBanner->setReason(QStringLiteral("Velmora cannot type into %1").arg(unreachable), false);
        return;
    }
    const QString reason = m_hasAccessibility || !m_trust ? QString() : m_trust->untrustedReason();
    m_accessibilityBanner->setToolTip(reason);
    m_accessibilityBanner->setReason(reason, !m_trust || m_trust->canRequestTrust());
}

void MainListView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Only when the screen is put up, not when the popover window shows again.
    if (!event->spontaneous())
        m_canvas->setFocus(Qt::OtherFocusReason);
    if (m_accessibilityCheck.isPending())
        return;
    checkAccessibility();
    m_accessibilityCheck
        = Scheduler::current().every(accessibilityCheckInterval, this, [this] { checkAccessibility(); });
}

void MainListView::hideEvent(QHideEvent* event)
{
    m_accessibilityCheck.cancel();
    QWidget::hideEvent(event);
}

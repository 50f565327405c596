#pragma once

#include "Utilities/Notifications.h"
#include "Utilities/Scheduler.h"
#include "Views/MenuBar/list/CardListCanvas.h"
#include "Views/MenuBar/screen/PopoverScreens.h"

#include <QList>
#include <QWidget>
#include <functional>
#include <memory>

class AccessibilityBanner;
class AccessibilityTrust;
class AppState;
class DuplicateTriggerBanner;
class FolderCard;
class FolderPathBar;
class LibraryItemCard;
class ListEmptyState;
class MainListHeader;
class PopoverCommands;
class QMenu;
class QScrollArea;
class SearchBar;
class ShortcutCard;

// The popover's main screen: the open folder's folders and shortcuts as cards under the
// header, the folder path and the search bar; a banner while triggers are shared, and one
// at the bottom while the program may not type into other applications (checked every two
// seconds while the screen shows). Selection is by click, Ctrl-click, rubber band and the
// arrow keys; the list's own context menu adds, pastes and selects everything.
//
// The screen keeps view state only: what it shows comes from the AppState, and every change
// goes through it.
class MainListView : public QWidget {
    Q_OBJECT
public:
    static constexpr double accessibilityCheckInterval = 2;

    // Built by the popover's screen switch. `trust` answers whether the program may type
    // into other applications and must outlive the view; without one there is nothing to
    // ask and no banner.
    MainListView(const PopoverScreenContext& context, AccessibilityTrust* trust, QWidget* parent = nullptr);
    ~MainListView() override;

    // Selects the card next to the selected one in `direction`, or the top-left card when
    // no selected card is on screen.
    void moveSelectionDirectionally(NavDirection direction);

    // The list's context menu as it would open now. The caller owns it.
    std::unique_ptr<QMenu> buildContextMenu();
    // Opens the menu of the first selected card on screen beside it, its first item
    // highlighted as in a menu opened from the keyboard; false when no such card shows.
    bool openSelectionMenu();

    bool hasAccessibility() const { return m_hasAccessibility; }

    MainListHeader* header() const { return m_header; }
    FolderPathBar* navBar() const { return m_navBar; }
    SearchBar* searchBar() const { return m_searchBar; }
    DuplicateTriggerBanner* duplicateBanner() const { return m_duplicateBanner; }
    AccessibilityBanner* accessibilityBanner() const { return m_accessibilityBanner; }
    QScrollArea* scrollArea() const { return m_scrollArea; }
    CardListCanvas* canvas() const { return m_canvas; }
    QList<FolderCard*> folderCards() const;
    QList<ShortcutCard*> shortcutCards() const;
    // The empty state while the list shows no card, else null.
    ListEmptyState* emptyState() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    template <class Card> QList<Card*> cardsOfKind() const;
    void readLibrary();
    void refresh();
    void rebuildList();
    LibraryItemCard* makeCard(const CardListCanvas::Rows& rows, qsizetype row, LibraryItemCard* card);
    static void markFirstCard(ShortcutCard* card, bool first);
    void checkAccessibility();
    void showAccessibility();
    void toggleDuplicateReview();
    void focusSearch();
    void showScreen(const PopoverScreen& screen);

    AppState& m_appState;
    ScreenBinding m_screen;
    PopoverCommands& m_commands;
    AccessibilityTrust* m_trust;
    bool m_hasAccessibility;
    ScheduledTask m_accessibilityCheck;
    MainListHeader* m_header;
    FolderPathBar* m_navBar;
    SearchBar* m_searchBar;
    DuplicateTriggerBanner* m_duplicateBanner;
    QScrollArea* m_scrollArea;
    CardListCanvas* m_canvas;
    AccessibilityBanner* m_accessibilityBanner;
    // By position in the library's shortcuts.
    QList<bool> m_inExistingFolder;
    // What the flags above were read from: an edit is read from where the library changed,
    // not from the whole library.
    QList<Shortcut> m_readShortcuts;
    QList<Group> m_readGroups;
    // Counts the library's reads: the cards of rows given with the same count show the same.
    quint64 m_libraryVersion = 0;
};

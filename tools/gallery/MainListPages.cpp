// Gallery pages of the main list: folders and shortcuts with a selection, a search with the
// folder lines, an open folder with both banners, and the two empty states.

#include "App/State/PopoverCommands.h"
#include "Gallery.h"
#include "MenuShot.h"

#include "App/State/AppState.h"
#include "Persistence/LocalStore.h"
#include "Views/Components/SymbolButton.h"
#include "Views/MenuBar/list/CardListCanvas.h"
#include "Views/MenuBar/list/MainListHeader.h"
#include "Views/MenuBar/list/MainListView.h"
#include "Views/MenuBar/list/SearchBar.h"
#include "Views/MenuBar/list/ShortcutCard.h"
#include "platform/AccessibilityTrust.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>

namespace {

class FixedTrust final : public AccessibilityTrust {
public:
    explicit FixedTrust(bool trusted)
        : m_trusted(trusted)
    {
    }
    bool isProcessTrusted() override { return m_trusted; }
    bool requestTrust() override { return m_trusted; }
    QString untrustedReason() override { return {}; }

private:
    bool m_trusted;
};

// A library in a folder of its own that lives as long as the page showing it.
class SampleLibrary : public QObject {
public:
    explicit SampleLibrary(bool trusted, QObject* parent)
        : QObject(parent)
        , store(folder.path())
        , state(store)
        , trust(trusted)
    {
    }

    QTemporaryDir folder;
    LocalStore store;
    AppState state;
    FixedTrust trust;
};

Group folder(const QString& id, const QString& name, std::optional<QString> icon, std::optional<QString> color,
    qint64 order, std::optional<QString> parent = std::nullopt)
{
    Group g;
    g.id = id;
    g.name = name;
    g.icon = std::move(icon);
    g.color = std::move(color);
    g.order = order;
    g.parentGroupId = std::move(parent);
    g.visibility = QStringLiteral("private");
    return g;
}

Shortcut shortcut(const QString& id, const QString& trigger, const QString& expansion, qint64 order,
    std::optional<QString> groupId = std::nullopt)
{
    return Shortcut{id, trigger, expansion, std::move(groupId), order, std::nullopt};
}

void fill(AppState& state, bool withDuplicate)
{
    UserData data = UserData::empty();
    data.groups = {
        folder(QStringLiteral("F-WORK"), QStringLiteral("Work"), QStringLiteral("briefcase"), std::nullopt, 0),
        folder(QStringLiteral("F-SUPPORT"), QStringLiteral("Customer support"), QStringLiteral("💬"),
            QStringLiteral("#5B8DEF"), 1),
        folder(
            QStringLiteral("F-HOME"), QStringLiteral("Personal"), QStringLiteral("home"), QStringLiteral("#E2725B"), 2),
        folder(QStringLiteral("F-REPLIES"), QStringLiteral("Replies"), std::nullopt, std::nullopt, 0,
            QStringLiteral("F-SUPPORT")),
    };
    data.shortcuts = {
        shortcut(QStringLiteral("S-SIG"), QStringLiteral("/sig"), QStringLiteral("Kind regards,\nAda Lovelace"), 0),
        shortcut(QStringLiteral("S-ADDR"), QStringLiteral("/addr"),
            QStringLiteral("12 St James's Square, London SW1Y 4JH, United Kingdom"), 1),
        shortcut(QStringLiteral("S-MEET"), QStringLiteral("/meet"),
            QStringLiteral("Would Tuesday or Thursday afternoon suit you for a short call? I can send an "
                           "invitation with a video link once you pick a time."),
            2),
        shortcut(QStringLiteral("S-DATE"), QStringLiteral(";date"), QStringLiteral("Saturday, 1 March 2025"), 3),
        shortcut(QStringLiteral("S-THANKS"), QStringLiteral("/thx"),
            QStringLiteral("Thanks for reaching out. Happy to help!"), 0, QStringLiteral("F-REPLIES")),
        shortcut(QStringLiteral("S-SIGW"), QStringLiteral("/sigw"),
            QStringLiteral("Ada Lovelace\nAnalytical Engines Ltd."), 0, QStringLiteral("F-WORK")),
        shortcut(QStringLiteral("S-REFUND"), QStringLiteral("/refund"),
            QStringLiteral("Your refund is on its way and should reach your account within 5 working days."), 1,
            QStringLiteral("F-REPLIES")),
    };
    if (withDuplicate) {
        data.shortcuts.append(shortcut(QStringLiteral("S-THANKS2"), QStringLiteral("/thx"),
            QStringLiteral("Many thanks!"), 2, QStringLiteral("F-REPLIES")));
    }
    state.replaceLibrary(data);
}

MainListView* listPage(bool trusted, bool withDuplicate, const std::function<void(AppState&)>& arrange,
    const QString& unreachableApplication = QString())
{
    auto* holder = new QObject;
    auto* library = new SampleLibrary(trusted, holder);
    library->trust.setUnreachableApplication(unreachableApplication);
    library->state.updateSettings([](AppSettings& s) { s.copyOnClick = false; });
    fill(library->state, withDuplicate);
    arrange(library->state);
    const ScreenBinding binding([] { return PopoverScreen::main(); }, [](const PopoverScreen&) {});
    auto* commands = new PopoverCommands(library->state, {}, holder);
    auto* view = new MainListView(
        PopoverScreenContext{library->state, PopoverScreen::main(), binding, *commands}, &library->trust);
    holder->setParent(view);
    view->setFixedSize(340, 560);
    return view;
}

QWidget* buildTopLevel(Appearance)
{
    return listPage(true, false, [](AppState& state) {
        state.setSelectedIds({QStringLiteral("S-ADDR"), QStringLiteral("S-MEET")});
    });
}

QWidget* buildSearch(Appearance)
{
    MainListView* view = listPage(true, false, [](AppState& state) { state.setSearchQuery(QStringLiteral("th")); });
    galleryFocus(view->searchBar()->findChild<QLineEdit*>());
    return view;
}

// The keyboard focus rings of the "+" button and of the list, both reached with Tab.
QWidget* buildTabToAdd(Appearance)
{
    MainListView* view = listPage(true, false, [](AppState&) {});
    galleryFocus(view->header()->addButton(), true);
    return view;
}

QWidget* buildTabToList(Appearance)
{
    MainListView* view = listPage(true, false, [](AppState&) {});
    // The list has the keyboard when the screen shows: Tab brings it back from the search field.
    galleryFocus(view->searchBar()->findChild<QLineEdit*>());
    galleryFocus(view->canvas(), true);
    return view;
}

QWidget* buildFolder(Appearance)
{
    return listPage(false, true, [](AppState& state) {
        state.setCurrentGroupId(QStringLiteral("F-REPLIES"));
        state.setSelectedIds({QStringLiteral("S-THANKS")});
    });
}

QWidget* buildEmpty(Appearance)
{
    return listPage(false, false, [](AppState& state) { state.replaceLibrary(UserData::empty()); });
}

// On Wayland: an application that lets no other program edit its fields.
QWidget* buildUnreachable(Appearance)
{
    return listPage(true, false, [](AppState&) {}, QStringLiteral("Notes"));
}

QWidget* buildNoMatches(Appearance)
{
    return listPage(true, false, [](AppState& state) { state.setSearchQuery(QStringLiteral("invoice")); });
}

QWidget* buildSearchFolders(Appearance)
{
    return listPage(true, false, [](AppState& state) {
        UserData data = state.userData();
        data.shortcuts.append(shortcut(QStringLiteral("S-CHAT"), QStringLiteral("/hello"),
            QStringLiteral("Hello! Thanks for getting in touch."), 0, QStringLiteral("F-SUPPORT")));
        data.shortcuts.append(shortcut(QStringLiteral("S-HOME"), QStringLiteral("/wifi"),
            QStringLiteral("The guest network is Lovelace, the password is on the fridge."), 0,
            QStringLiteral("F-HOME")));
        data.groups.append(folder(
            QStringLiteral("F-TEXT"), QStringLiteral("Standard answers"), QStringLiteral("Sta"), std::nullopt, 3));
        data.shortcuts.append(shortcut(QStringLiteral("S-TEXT"), QStringLiteral("/hours"),
            QStringLiteral("Our hours are 9 to 5, Monday to Friday."), 0, QStringLiteral("F-TEXT")));
        state.replaceLibrary(data);
        state.setSearchQuery(QStringLiteral("h"));
    });
}

// The header's menus reach past the popover's right edge, as they do on the desktop.
constexpr QSize headerMenuRoom(190, 0);

QWidget* buildAddMenu(Appearance)
{
    const MenuShot::Translucency translucency;
    MainListView* view = listPage(true, false, [](AppState&) {});
    return new MenuShot(view, headerMenuRoom, [view](MenuShot& shot) {
        view->header()->addButton()->click();
        shot.layOver(view->header()->addMenu(), view->header()->addMenu()->actions().constFirst());
    });
}

QWidget* moreMenuPage()
{
    MainListView* view = listPage(true, false, [](AppState&) {});
    return new MenuShot(view, headerMenuRoom, [view](MenuShot& shot) {
        view->header()->moreButton()->click();
        shot.layOver(view->header()->moreMenu(), view->header()->moreMenu()->actions().at(1));
    });
}

QWidget* buildMoreMenu(Appearance)
{
    const MenuShot::Translucency translucency;
    return moreMenuPage();
}

// Without a compositing manager: no shadow, the corners cut from the window.
QWidget* buildOpaqueMoreMenu(Appearance)
{
    return moreMenuPage();
}

QAction* titled(const QMenu& menu, const QString& text)
{
    for (QAction* action : menu.actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

QWidget* buildCardMenu(Appearance)
{
    MainListView* view = listPage(true, false, [](AppState& state) {
        UserData data = state.userData();
        data.groups[3].icon = QStringLiteral("Sta");
        state.replaceLibrary(data);
    });
    return new MenuShot(view, QSize(200, 0), [view](MenuShot& shot) {
        const MenuShot::Translucency translucency;
        ShortcutCard* card = view->shortcutCards().constFirst();
        const std::unique_ptr<QMenu> menu = card->buildContextMenu();
        menu->popup(card->mapToGlobal(QPoint(card->width() / 2, -120)));
        // The folder list opens as the keyboard opens it, where the menu itself puts it.
        menu->setActiveAction(titled(*menu, QStringLiteral("Move to Folder")));
        QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        QApplication::sendEvent(menu.get(), &right);
        QMenu* folders = menu->activeAction()->menu();
        folders->setActiveAction(folders->actions().at(3));
        shot.layOver({menu.get(), folders});
    });
}

QWidget* buildListMenu(Appearance)
{
    MainListView* view
        = listPage(true, false, [](AppState& state) { state.setSelectedIds({QStringLiteral("S-SIG")}); });
    return new MenuShot(view, QSize(60, 0), [view](MenuShot& shot) {
        const MenuShot::Translucency translucency;
        const std::unique_ptr<QMenu> menu = view->buildContextMenu();
        menu->popup(view->mapToGlobal(QPoint(150, 420)));
        shot.layOver(menu.get(), menu->actions().constFirst());
    });
}

const GalleryPageRegistration topLevel(QStringLiteral("main-list"), &buildTopLevel);
const GalleryPageRegistration search(QStringLiteral("main-list-search"), &buildSearch);
const GalleryPageRegistration tabToAdd(QStringLiteral("main-list-tab-add"), &buildTabToAdd);
const GalleryPageRegistration tabToList(QStringLiteral("main-list-tab-list"), &buildTabToList);
const GalleryPageRegistration inFolder(QStringLiteral("main-list-folder"), &buildFolder);
const GalleryPageRegistration empty(QStringLiteral("main-list-empty"), &buildEmpty);
const GalleryPageRegistration unreachable(QStringLiteral("main-list-unreachable"), &buildUnreachable);
const GalleryPageRegistration noMatches(QStringLiteral("main-list-no-matches"), &buildNoMatches);
const GalleryPageRegistration searchFolders(QStringLiteral("main-list-search-folders"), &buildSearchFolders);
const GalleryPageRegistration addMenu(QStringLiteral("menu-header-add"), &buildAddMenu);
const GalleryPageRegistration moreMenu(QStringLiteral("menu-header-more"), &buildMoreMenu);
const GalleryPageRegistration opaqueMoreMenu(QStringLiteral("menu-header-more-no-compositor"), &buildOpaqueMoreMenu);
const GalleryPageRegistration cardMenu(QStringLiteral("menu-card"), &buildCardMenu);
const GalleryPageRegistration listMenu(QStringLiteral("menu-list"), &buildListMenu);

} // namespace

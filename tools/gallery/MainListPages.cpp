// Gallery pages of the main list: folders and shortcuts with a selection, a search with the
// folder lines, an open folder with both banners, and the two empty states.

#include "App/PopoverCommands.h"
#include "Gallery.h"

#include "App/AppState.h"
#include "Persistence/LocalStore.h"
#include "Views/MenuBar/list/MainListView.h"
#include "Views/MenuBar/list/SearchBar.h"
#include "platform/AccessibilityTrust.h"

#include <QLineEdit>
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
        folder(QStringLiteral("F-HOME"), QStringLiteral("Personal"), QStringLiteral("home"), QStringLiteral("#E2725B"),
            2),
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
            QStringLiteral("Your refund is on its way and should reach your account within 5 working days."),
            1, QStringLiteral("F-REPLIES")),
    };
    if (withDuplicate) {
        data.shortcuts.append(shortcut(QStringLiteral("S-THANKS2"), QStringLiteral("/thx"),
            QStringLiteral("Many thanks!"), 2, QStringLiteral("F-REPLIES")));
    }
    state.replaceLibrary(data);
}

MainListView* listPage(bool trusted, bool withDuplicate, const std::function<void(AppState&)>& arrange)
{
    auto* holder = new QObject;
    auto* library = new SampleLibrary(trusted, holder);
    library->state.updateSettings([](AppSettings& s) { s.copyOnClick = false; });
    fill(library->state, withDuplicate);
    arrange(library->state);
    const ScreenBinding binding([] { return PopoverScreen::main(); }, [](const PopoverScreen&) {});
    auto* commands = new PopoverCommands(library->state, {}, holder);
    auto* view = new MainListView(PopoverScreenContext{library->state, PopoverScreen::main(), binding, *commands}, &library->trust);
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

QWidget* buildFolder(Appearance)
{
    return listPage(false, true, [](AppState& state) {
        state.setCurrentGroupId(QStringLiteral("F-REPLIES"));
        state.setSelectedIds({QStringLiteral("S-THANKS")});
    });
}

QWidget* buildEmpty(Appearance)
{
    return listPage(false, false, [](AppState& state) {
        state.replaceLibrary(UserData::empty());
    });
}

QWidget* buildNoMatches(Appearance)
{
    return listPage(true, false, [](AppState& state) { state.setSearchQuery(QStringLiteral("invoice")); });
}

const GalleryPageRegistration topLevel(QStringLiteral("main-list"), &buildTopLevel);
const GalleryPageRegistration search(QStringLiteral("main-list-search"), &buildSearch);
const GalleryPageRegistration inFolder(QStringLiteral("main-list-folder"), &buildFolder);
const GalleryPageRegistration empty(QStringLiteral("main-list-empty"), &buildEmpty);
const GalleryPageRegistration noMatches(QStringLiteral("main-list-no-matches"), &buildNoMatches);

} // namespace

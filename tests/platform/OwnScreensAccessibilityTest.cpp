#include <gtest/gtest.h>

#include "DesktopSession.h"
#include "FakeTrayHost.h"
#include "LibraryFixtures.h"
#include "Models/VelmoraJSON.h"
#include "VelmoraProcess.h"

#include "AccessibleTree.h"

#include <QFileInfo>
#include <QProcess>

namespace {

// One element of a process's accessibility tree, as the walker read it off the bus.
struct Element {
    int depth = 0;
    QString role;
    QString name;
    QString description;
    QStringList states;
    int actions = 0;

    bool is(const char* state) const { return states.contains(QLatin1String(state)); }
    // What a screen reader user can reach and operate: it must say what it is.
    bool isInteractive() const { return is("showing") && (is("focusable") || actions > 0); }
    std::string describe() const
    {
        return QStringLiteral("%1 \"%2\" [%3]").arg(role, name, states.join(u',')).toStdString();
    }
};

QList<Element> walk(qint64 process)
{
    QProcess walker;
    // What libatspi keeps until the walker exits is no leak of ours.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    walker.setProcessEnvironment(environment);
    walker.start(QStringLiteral(VELMORA_ATSPI_WALK), {QString::number(process)});
    if (!walker.waitForFinished(30000) || walker.exitStatus() != QProcess::NormalExit || walker.exitCode() != 0)
        return {};
    QList<Element> elements;
    for (const QByteArray& line : walker.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 6)
            continue;
        elements.append({fields.at(0).toInt(), QString::fromUtf8(fields.at(1)), QString::fromUtf8(fields.at(2)),
            QString::fromUtf8(fields.at(3)), QString::fromUtf8(fields.at(4)).split(u',', Qt::SkipEmptyParts),
            fields.at(5).toInt()});
    }
    return elements;
}

// What a screen reader hears of a process while it runs: the events the walker reports.
class EventListener {
public:
    bool start(qint64 process)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        m_listener.setProcessEnvironment(environment);
        m_listener.start(QStringLiteral(VELMORA_ATSPI_WALK), {QStringLiteral("--events"), QString::number(process)});
        return DesktopSession::waitFor([&] { return read().contains(QStringLiteral("ready")); });
    }
    ~EventListener()
    {
        m_listener.kill();
        m_listener.waitForFinished(5000);
    }

    // Waits for an event "type role name detail1" whose fields satisfy `wanted`.
    bool heard(const std::function<bool(const QStringList&)>& wanted)
    {
        return DesktopSession::waitFor([&] {
            read();
            return std::any_of(m_events.begin(), m_events.end(), wanted);
        });
    }

private:
    const QStringList& read()
    {
        m_listener.waitForReadyRead(50);
        m_pending += m_listener.readAllStandardOutput();
        for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
            const QString line = QString::fromUtf8(m_pending.left(end));
            m_pending.remove(0, end + 1);
            m_lines.append(line);
            if (const QStringList fields = line.split(u'\t'); fields.size() == 4)
                m_events.append(fields);
        }
        return m_lines;
    }

    QProcess m_listener;
    QByteArray m_pending;
    QStringList m_lines;
    QList<QStringList> m_events;
};

// The first element the walk finds that satisfies `wanted`.
std::optional<Element> find(const QList<Element>& elements, const std::function<bool(const Element&)>& wanted)
{
    for (const Element& element : elements) {
        if (wanted(element))
            return element;
    }
    return std::nullopt;
}

std::function<bool(const Element&)> showing(const QString& role, const QString& name)
{
    return [role, name](const Element& element) {
        return element.role == role && element.name == name && element.is("showing");
    };
}

// Velmora's own windows read as a screen reader reads them: every control named, the list's
// rows and the menus' items reachable and announced.
class OwnScreensAccessibility : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QString missing = DesktopSession::missingPieces(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        ASSERT_TRUE(QFileInfo(VelmoraProcess::programPath()).isExecutable()) << "build the velmora target first";
        ASSERT_TRUE(tray.start());
    }

    void launchWithLibrary()
    {
        UserData library = UserData::empty();
        library.groups = {LibraryFixtures::folder(QStringLiteral("A1B2C3D4-0000-4000-8000-000000000001"),
            QStringLiteral("Work"))};
        library.shortcuts = {LibraryFixtures::expanding(QStringLiteral("/sig"), QStringLiteral("Best regards, Anna")),
            LibraryFixtures::expanding(QStringLiteral("/addr"), QStringLiteral("12 Harbour Street"))};
        library.shortcuts[0].id = QStringLiteral("A1B2C3D4-0000-4000-8000-000000000002");
        library.shortcuts[1].id = QStringLiteral("A1B2C3D4-0000-4000-8000-000000000003");
        library.shortcuts[1].order = 1;
        velmora.writeDataFile(QStringLiteral("data.json"), VelmoraJSON::encode(library));
        launch();
    }

    void launch()
    {
        ASSERT_TRUE(velmora.start());
        ASSERT_TRUE(DesktopSession::waitFor([&] { return !tray.itemOf(velmora.processId()).isEmpty(); }, 10000));
        item = tray.itemOf(velmora.processId());
        ASSERT_TRUE(velmora.waitForPopover(true, 10000));
        ASSERT_TRUE(DesktopSession::focusWindowOf(velmora.processId()));
    }

    // Walks the tree until `wanted` is in it (the screen has come up); the last walk.
    QList<Element> walkUntil(const std::function<bool(const Element&)>& wanted)
    {
        QList<Element> elements;
        const bool found = DesktopSession::waitFor(
            [&] {
                elements = walk(velmora.processId());
                return find(elements, wanted).has_value();
            },
            10000);
        EXPECT_TRUE(found) << "the screen looked for did not come up";
        return elements;
    }

    // A form whose text field has the keyboard: the first Escape only ends the typing and the
    // form stays, the second leaves it for the list.
    void leaveFormTypedIn()
    {
        ASSERT_TRUE(key("Escape"));
        const QList<Element> typed
            = walkUntil([](const Element& e) { return e.role != QLatin1String("text") && e.is("focused"); });
        EXPECT_TRUE(find(typed, showing(QStringLiteral("push button"), QStringLiteral("Cancel"))))
            << "the first Escape left the form";
        ASSERT_TRUE(key("Escape"));
        walkUntil(showing(QStringLiteral("list item"), QStringLiteral("/sig")));
    }

    // Every control on screen says what it is.
    static void expectEveryControlNamed(const QList<Element>& elements, const char* screen)
    {
        for (qsizetype i = 0; i < elements.size(); ++i) {
            const Element& element = elements.at(i);
            if (!element.isInteractive() || !element.name.trimmed().isEmpty())
                continue;
            // Where it is: its ancestors, nearest first.
            std::string place;
            for (qsizetype j = i - 1, depth = element.depth; j >= 0 && depth > 0; --j) {
                if (elements.at(j).depth < depth) {
                    place += " in " + elements.at(j).describe();
                    depth = elements.at(j).depth;
                }
            }
            ADD_FAILURE() << "unnamed control on " << screen << ": " << element.describe() << place;
        }
    }

    // The keyboard is on something a screen reader can name, once the screen has settled.
    void expectFocusNamed(const char* screen)
    {
        const QList<Element> elements = walkUntil([](const Element& e) { return e.is("focused"); });
        const std::optional<Element> focused = find(elements, [](const Element& e) { return e.is("focused"); });
        ASSERT_TRUE(focused) << screen;
        EXPECT_FALSE(focused->name.trimmed().isEmpty()) << "the keyboard is on " << focused->describe() << " on "
                                                        << screen;
    }

    bool pressShown(const QString& name)
    {
        return DesktopSession::waitFor([&] { return AccessibleTree::press(velmora.processId(), name); }, 5000);
    }

    bool key(const char* keys) { return DesktopSession::xdotool({QStringLiteral("key"), QString::fromLatin1(keys)}); }

    FakeTrayHost tray;
    VelmoraProcess velmora;
    QString item;
};

} // namespace

TEST_F(OwnScreensAccessibility, TheListReadsAsRowsAndTheArrowsMoveTheFocusedSelectedRow)
{
    launchWithLibrary();
    const QList<Element> list = walkUntil(showing(QStringLiteral("list item"), QStringLiteral("/sig")));
    EXPECT_TRUE(find(list, showing(QStringLiteral("frame"), QStringLiteral("Velmora"))));
    EXPECT_TRUE(find(list, [](const Element& e) { return e.role == QLatin1String("list") && e.is("focusable"); }));
    const std::optional<Element> row = find(list, showing(QStringLiteral("list item"), QStringLiteral("/sig")));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->description, QStringLiteral("Best regards, Anna"));
    EXPECT_TRUE(row->is("focusable") && row->is("selectable")) << row->describe();
    EXPECT_TRUE(find(list, showing(QStringLiteral("list item"), QStringLiteral("Work"))));
    expectEveryControlNamed(list, "the list");

    ASSERT_TRUE(key("Down"));
    const QList<Element> selected = walkUntil([](const Element& e) {
        return e.role == QLatin1String("list item") && e.is("selected") && e.is("focused");
    });
    EXPECT_TRUE(
        find(selected, [](const Element& e) { return e.role == QLatin1String("list item") && e.is("selected"); }));
}

TEST_F(OwnScreensAccessibility, TabStopsOnceAtTheListWhateverItsLengthAndToastsAreAnnounced)
{
    launchWithLibrary();
    const auto listFocused
        = [](const Element& e) { return e.role == QLatin1String("list") && e.is("focused"); };
    walkUntil(listFocused);
    // One round of Tab from the list back to it: every stop, in order.
    QStringList stops;
    QString last = QStringLiteral("Shortcuts and folders");
    for (int press = 0; press < 8; ++press) {
        ASSERT_TRUE(key("Tab"));
        const QList<Element> elements = walkUntil([&](const Element& e) { return e.is("focused") && e.name != last; });
        const std::optional<Element> focused = find(elements, [](const Element& e) { return e.is("focused"); });
        ASSERT_TRUE(focused);
        last = focused->name;
        if (listFocused(*focused))
            break;
        stops.append(last);
    }
    ASSERT_TRUE(stops.size() < 8) << "Tab never came back to the list: " << stops.join(u',').toStdString();
    const qsizetype add = stops.indexOf(QStringLiteral("New shortcut or folder"));
    ASSERT_GE(add, 0) << stops.join(u',').toStdString();
    EXPECT_EQ(stops.mid(add), (QStringList{QStringLiteral("New shortcut or folder"), QStringLiteral("Menu"),
                                  QStringLiteral("Search shortcuts and folders")}))
        << stops.join(u',').toStdString();
    // Before "+" only what lies below the list (the footer), never a card's button.
    EXPECT_LE(add, 1) << stops.join(u',').toStdString();

    // What the list does is told, though the toast's text is only drawn.
    EventListener events;
    ASSERT_TRUE(events.start(velmora.processId()));
    ASSERT_TRUE(key("Down"));
    walkUntil([](const Element& e) { return e.role == QLatin1String("list item") && e.is("selected"); });
    ASSERT_TRUE(key("ctrl+c"));
    EXPECT_TRUE(events.heard([](const QStringList& event) {
        return event.at(0) == QLatin1String("object:state-changed:showing")
            && event.at(1) == QLatin1String("notification") && !event.at(2).isEmpty() && event.at(3) == QLatin1String("1");
    }));
}

TEST_F(OwnScreensAccessibility, AQuestionReadsAsADialogAndHidesTheScreenUnderIt)
{
    launchWithLibrary();
    const auto sig = showing(QStringLiteral("list item"), QStringLiteral("/sig"));
    walkUntil(sig);
    ASSERT_TRUE(key("Down"));
    ASSERT_TRUE(key("Down"));
    walkUntil([](const Element& e) { return e.name == QLatin1String("/sig") && e.is("selected"); });
    ASSERT_TRUE(key("Delete"));
    const auto question = [](const Element& e) {
        return e.role == QLatin1String("dialog") && !e.name.isEmpty() && e.is("showing");
    };
    const QList<Element> asking = walkUntil(question);
    EXPECT_TRUE(find(asking, question));
    EXPECT_FALSE(find(asking, sig)) << "the list under the question is still read";
    expectEveryControlNamed(asking, "the question");
    ASSERT_TRUE(key("Escape"));
    walkUntil(sig);
}

TEST_F(OwnScreensAccessibility, OpenMenusReadAsMenusWithTheHighlightedItemFocused)
{
    launchWithLibrary();
    walkUntil(showing(QStringLiteral("push button"), QStringLiteral("Menu")));
    EventListener events;
    ASSERT_TRUE(events.start(velmora.processId()));
    for (const auto& [button, firstItem, secondItem] :
        {std::tuple{"New shortcut or folder", "New shortcut", "New folder"}, {"Menu", "Account", "Achievements"}}) {
        const QString first = QString::fromLatin1(firstItem);
        ASSERT_TRUE(AccessibleTree::press(velmora.processId(), QString::fromLatin1(button)));
        // Opened without the pointer, the first item is highlighted and announced at once.
        const auto focusedItem = [](const QString& name) {
            return [name](const Element& e) {
                return e.role == QLatin1String("menu item") && e.name == name && e.is("focused");
            };
        };
        const QList<Element> open = walkUntil(focusedItem(first));
        const std::optional<Element> menu = find(open, [](const Element& e) {
            return (e.role == QLatin1String("popup menu") || e.role == QLatin1String("menu")) && e.is("showing");
        });
        ASSERT_TRUE(menu) << button;
        EXPECT_FALSE(menu->name.isEmpty()) << button;
        EXPECT_TRUE(events.heard([&](const QStringList& event) {
            return event.at(0).startsWith(QLatin1String("object:state-changed:focused"))
                && event.at(1) == QLatin1String("menu item") && event.at(2) == first && event.at(3) == QLatin1String("1");
        })) << button;
        ASSERT_TRUE(key("Down"));
        const QList<Element> highlighted = walkUntil(focusedItem(QString::fromLatin1(secondItem)));
        EXPECT_TRUE(find(highlighted, focusedItem(QString::fromLatin1(secondItem)))) << button;
        expectEveryControlNamed(highlighted, button);
        ASSERT_TRUE(key("Escape"));
        ASSERT_TRUE(DesktopSession::waitFor(
            [&] { return !find(walk(velmora.processId()), showing(QStringLiteral("menu item"), first)); }, 5000));
    }
}

TEST_F(OwnScreensAccessibility, EveryScreenNamesEveryControl)
{
    launchWithLibrary();
    walkUntil(showing(QStringLiteral("list item"), QStringLiteral("/sig")));
    // Leaving the search field with Escape puts the keyboard on something that says where it is.
    ASSERT_TRUE(key("ctrl+f"));
    walkUntil([](const Element& e) { return e.role == QLatin1String("text") && e.is("focused"); });
    ASSERT_TRUE(key("Escape"));
    walkUntil([](const Element& e) { return e.role != QLatin1String("text") && e.is("focused"); });
    expectFocusNamed("the list after Escape in the search field");

    ASSERT_TRUE(key("ctrl+n"));
    const QList<Element> form = walkUntil(showing(QStringLiteral("push button"), QStringLiteral("Save")));
    expectEveryControlNamed(form, "shortcut form");
    // The folder pull-down reads its choice as the parent field of the folder form does.
    const std::optional<Element> folder
        = find(form, [](const Element& e) { return e.name == QLatin1String("Folder") && e.is("showing"); });
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->description, QStringLiteral("None")) << folder->describe();
    ASSERT_TRUE(pressShown(QStringLiteral("Folder")));
    walkUntil([](const Element& e) {
        return e.role == QLatin1String("menu item") && e.name == QLatin1String("None") && e.is("focused");
    });
    ASSERT_TRUE(key("Escape"));
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] { return !find(walk(velmora.processId()), showing(QStringLiteral("menu item"), QStringLiteral("None"))); },
        5000));
    leaveFormTypedIn();
    ASSERT_TRUE(key("ctrl+shift+n"));
    expectEveryControlNamed(
        walkUntil(showing(QStringLiteral("push button"), QStringLiteral("Choose folder icon"))), "folder form");
    ASSERT_TRUE(pressShown(QStringLiteral("Parent folder")));
    const QList<Element> parents = walkUntil(showing(QStringLiteral("menu item"), QStringLiteral("None")));
    EXPECT_TRUE(find(parents, showing(QStringLiteral("popup menu"), QStringLiteral("Parent folder"))));
    expectEveryControlNamed(parents, "the parent folder menu");
    ASSERT_TRUE(key("Escape"));
    walkUntil([](const Element& e) { return e.name == QLatin1String("Choose folder icon") && e.is("focusable"); });
    ASSERT_TRUE(pressShown(QStringLiteral("Choose folder icon")));
    const QList<Element> chooser
        = walkUntil([](const Element& e) { return e.name == QLatin1String("Upload") && e.is("showing"); });
    expectEveryControlNamed(chooser, "icon chooser");
    EXPECT_FALSE(find(chooser, showing(QStringLiteral("push button"), QStringLiteral("Choose folder icon"))))
        << "the form under the chooser is still read";
    EXPECT_TRUE(find(chooser, showing(QStringLiteral("push button"), QStringLiteral("File Text"))))
        << "an icon reads as its key";
    // Ticked through the bus (its toggle action), a chip chooses its category and a tab shows
    // its page, as clicks do. "Recent" first, empty here: drawing and walking every emoji takes
    // long.
    ASSERT_TRUE(pressShown(QStringLiteral("Recent")));
    ASSERT_TRUE(pressShown(QStringLiteral("Emoji")));
    walkUntil(showing(QStringLiteral("text"), QStringLiteral("Search emoji")));
    expectFocusNamed("the icon chooser's emoji page");
    // Escape in its search only ends the typing: the keyboard stays with the chooser, named.
    ASSERT_TRUE(key("Escape"));
    walkUntil([](const Element& e) { return e.name == QLatin1String("Choose an icon") && e.is("focused"); });
    ASSERT_TRUE(key("Escape"));
    walkUntil(showing(QStringLiteral("push button"), QStringLiteral("Choose folder icon")));
    leaveFormTypedIn();

    ASSERT_TRUE(key("ctrl+comma"));
    const QList<Element> settings = walkUntil(showing(QStringLiteral("radio button"), QStringLiteral("Dark appearance")));
    expectEveryControlNamed(settings, "settings");
    expectFocusNamed("settings");
    int checked = 0;
    for (const Element& element : settings)
        checked += element.role == QLatin1String("radio button") && element.is("checked");
    EXPECT_EQ(checked, 1) << "one appearance is chosen";
    ASSERT_TRUE(pressShown(QStringLiteral("Back to shortcuts")));

    for (const char* entry : {"Achievements", "Statistics", "Account"}) {
        walkUntil(showing(QStringLiteral("push button"), QStringLiteral("Menu")));
        // The list screen that was left may still be on its way out, its button with it.
        ASSERT_TRUE(pressShown(QStringLiteral("Menu")));
        walkUntil(showing(QStringLiteral("menu item"), QString::fromLatin1(entry)));
        ASSERT_TRUE(pressShown(QString::fromLatin1(entry)));
        const QList<Element> screen = walkUntil([](const Element& e) {
            return e.role == QLatin1String("push button") && e.name.startsWith(QLatin1String("Back"))
                && e.is("showing");
        });
        expectEveryControlNamed(screen, entry);
        expectFocusNamed(entry);
        if (QLatin1String(entry) == QLatin1String("Achievements")) {
            // Each badge reads as an item with what earns it; progress reads as progress bars.
            const std::optional<Element> badge = find(screen, [](const Element& e) {
                return e.role == QLatin1String("list item") && e.is("showing") && e.is("focusable");
            });
            ASSERT_TRUE(badge);
            EXPECT_FALSE(badge->name.isEmpty() || badge->description.isEmpty()) << badge->describe();
            EXPECT_TRUE(find(screen, [](const Element& e) {
                return e.role == QLatin1String("progress bar") && !e.name.isEmpty() && e.is("showing");
            }));
        }
        ASSERT_TRUE(pressShown(QStringLiteral("Back to shortcuts")));
    }

    // The tutorial's card, as the tray's "Replay Tutorial" brings it up.
    const QList<FakeTrayHost::MenuItem> menu = tray.menu(item);
    const auto replay = std::find_if(menu.begin(), menu.end(), [](const FakeTrayHost::MenuItem& entry) {
        return entry.properties.value(QStringLiteral("label")).toString() == QLatin1String("Replay Tutorial");
    });
    ASSERT_NE(replay, menu.end());
    ASSERT_TRUE(tray.clickMenuEntry(item, replay->id));
    const QList<Element> tutorial = walkUntil(
        [](const Element& e) { return e.role == QLatin1String("dialog") && !e.name.isEmpty() && e.is("showing"); });
    EXPECT_TRUE(find(tutorial, [](const Element& e) { return e.role == QLatin1String("dialog"); }));
    expectEveryControlNamed(tutorial, "the tutorial");
}

TEST_F(OwnScreensAccessibility, ACardsMenuOpensFromTheKeyboardAndClosesOnceAnItemRunsThroughTheBus)
{
    launchWithLibrary();
    const auto work = showing(QStringLiteral("list item"), QStringLiteral("Work"));
    walkUntil(work);
    ASSERT_TRUE(key("Down"));
    walkUntil([](const Element& e) { return e.name == QLatin1String("Work") && e.is("selected"); });
    const auto focusedItem = [](const char* name) {
        return [name](const Element& e) {
            return e.role == QLatin1String("menu item") && e.name == QLatin1String(name) && e.is("focused");
        };
    };
    for (const char* keys : {"shift+F10", "Menu"}) {
        ASSERT_TRUE(key(keys));
        const QList<Element> open = walkUntil(focusedItem("Open"));
        EXPECT_TRUE(find(open, showing(QStringLiteral("menu item"), QStringLiteral("Ungroup")))) << keys;
        EXPECT_TRUE(find(open, showing(QStringLiteral("popup menu"), QStringLiteral("Work")))) << keys;
        ASSERT_TRUE(key("Escape"));
        const auto edit = showing(QStringLiteral("menu item"), QStringLiteral("Edit"));
        ASSERT_TRUE(DesktopSession::waitFor([&] { return !find(walk(velmora.processId()), edit); }, 5000)) << keys;
    }
    // Chosen through its action, as switch and voice control choose, "Edit" runs and its menu
    // closes: the keys typed next reach the form, not a menu left open.
    ASSERT_TRUE(key("shift+F10"));
    walkUntil(focusedItem("Open"));
    ASSERT_TRUE(pressShown(QStringLiteral("Edit")));
    const QList<Element> form = walkUntil(showing(QStringLiteral("push button"), QStringLiteral("Choose folder icon")));
    EXPECT_FALSE(find(form, showing(QStringLiteral("menu item"), QStringLiteral("Ungroup"))));
    leaveFormTypedIn();
}

TEST_F(OwnScreensAccessibility, AnAchievementsSheetReadsAsADialogWithEverythingItShows)
{
    launchWithLibrary();
    walkUntil(showing(QStringLiteral("push button"), QStringLiteral("Menu")));
    ASSERT_TRUE(pressShown(QStringLiteral("Menu")));
    walkUntil(showing(QStringLiteral("menu item"), QStringLiteral("Achievements")));
    ASSERT_TRUE(pressShown(QStringLiteral("Achievements")));
    const auto focusedBadge
        = [](const Element& e) { return e.role == QLatin1String("list item") && e.is("focused"); };
    std::optional<Element> badge;
    for (int tabs = 0; tabs < 20 && !badge; ++tabs) {
        ASSERT_TRUE(key("Tab"));
        badge = find(walkUntil([](const Element& e) { return e.is("focused"); }), focusedBadge);
    }
    ASSERT_TRUE(badge) << "Tab reaches no badge";
    ASSERT_TRUE(key("Return"));
    const auto sheet = [&](const Element& e) {
        return e.role == QLatin1String("dialog") && e.name == badge->name && e.is("focused");
    };
    const QList<Element> shown = walkUntil(sheet);
    const std::optional<Element> dialog = find(shown, sheet);
    ASSERT_TRUE(dialog) << "the keyboard is not on the sheet of " << badge->describe();
    // Its tier and what earns it, which the badge's own description tells too.
    EXPECT_TRUE(dialog->description.contains(QStringLiteral(" \u00b7 "))) << dialog->description.toStdString();
    const QString earns = badge->description.section(QStringLiteral(". "), 0, 0);
    EXPECT_TRUE(dialog->description.contains(earns)) << dialog->description.toStdString();
    EXPECT_FALSE(find(shown, showing(QStringLiteral("list item"), badge->name)))
        << "the badges under the sheet are still read";
    EXPECT_TRUE(find(shown, showing(QStringLiteral("label"), badge->name))) << "its title is not read";
    expectEveryControlNamed(shown, "an achievement's sheet");
}

TEST_F(OwnScreensAccessibility, TheRecoveryScreenNamesEveryControlAndOffersNoCloudWithoutOne)
{
    velmora.writeDataFile(
        QStringLiteral("data.json"), VelmoraProcess::libraryWithShortcut(QStringLiteral("/sig"), "x").left(40));
    launch();
    const QList<Element> recovery
        = walkUntil(showing(QStringLiteral("push button"), QStringLiteral("Save a copy and start fresh")));
    expectEveryControlNamed(recovery, "the recovery screen");
    expectFocusNamed("the recovery screen");
    EXPECT_TRUE(find(recovery, [](const Element& e) {
        return e.role == QLatin1String("dialog") && e.name == QLatin1String("Let's reopen your library");
    })) << "the heading is not what the screen is called";
    for (const Element& element : recovery)
        EXPECT_FALSE(element.name.contains(QLatin1String("cloud library"))) << element.describe();
}

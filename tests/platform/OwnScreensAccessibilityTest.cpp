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

TEST_F(OwnScreensAccessibility, OpenMenusReadAsMenusWithTheHighlightedItemFocused)
{
    launchWithLibrary();
    walkUntil(showing(QStringLiteral("push button"), QStringLiteral("Menu")));
    for (const auto& [button, firstItem] : {std::pair{"New shortcut or folder", "New shortcut"}, {"Menu", "Account"}}) {
        const QString first = QString::fromLatin1(firstItem);
        ASSERT_TRUE(AccessibleTree::press(velmora.processId(), QString::fromLatin1(button)));
        const QList<Element> open = walkUntil(showing(QStringLiteral("menu item"), first));
        const std::optional<Element> menu = find(open, [](const Element& e) {
            return (e.role == QLatin1String("popup menu") || e.role == QLatin1String("menu")) && e.is("showing");
        });
        ASSERT_TRUE(menu) << button;
        EXPECT_FALSE(menu->name.isEmpty()) << button;
        ASSERT_TRUE(key("Down"));
        const QList<Element> highlighted = walkUntil(
            [](const Element& e) { return e.role == QLatin1String("menu item") && e.is("focused"); });
        EXPECT_TRUE(
            find(highlighted, [](const Element& e) { return e.role == QLatin1String("menu item") && e.is("focused"); }))
            << button;
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

    ASSERT_TRUE(key("ctrl+n"));
    expectEveryControlNamed(walkUntil(showing(QStringLiteral("push button"), QStringLiteral("Save"))), "shortcut form");
    ASSERT_TRUE(key("Escape"));
    walkUntil(showing(QStringLiteral("list item"), QStringLiteral("/sig")));
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
    expectEveryControlNamed(walkUntil([](const Element& e) { return e.name == QLatin1String("Upload") && e.is("showing"); }), "icon chooser");
    ASSERT_TRUE(key("Escape"));
    walkUntil(showing(QStringLiteral("push button"), QStringLiteral("Choose folder icon")));
    ASSERT_TRUE(key("Escape"));
    walkUntil(showing(QStringLiteral("list item"), QStringLiteral("/sig")));

    ASSERT_TRUE(key("ctrl+comma"));
    const QList<Element> settings = walkUntil(showing(QStringLiteral("radio button"), QStringLiteral("Dark appearance")));
    expectEveryControlNamed(settings, "settings");
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

TEST_F(OwnScreensAccessibility, TheRecoveryScreenNamesEveryControlAndOffersNoCloudWithoutOne)
{
    velmora.writeDataFile(
        QStringLiteral("data.json"), VelmoraProcess::libraryWithShortcut(QStringLiteral("/sig"), "x").left(40));
    launch();
    const QList<Element> recovery
        = walkUntil(showing(QStringLiteral("push button"), QStringLiteral("Save a copy and start fresh")));
    expectEveryControlNamed(recovery, "the recovery screen");
    for (const Element& element : recovery)
        EXPECT_FALSE(element.name.contains(QLatin1String("cloud library"))) << element.describe();
}

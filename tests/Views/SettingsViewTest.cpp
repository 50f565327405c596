#include "LibraryFixtures.h"
#include "MainListFixture.h"
#include "ManualClock.h"
#include "ManualScheduler.h"
#include "Painting.h"
#include "Persistence/StorageTestSupport.h"
#include "ScriptedFilePanels.h"
#include "WidgetLookup.h"

#include "App/State/AppState.h"
#include "Models/VelmoraJSON.h"
#include "Utilities/Color.h"
#include "Utilities/Theme.h"
#include "Persistence/LibraryImportFile.h"
#include "Services/TutorialManager.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/settings/SettingsToggleRow.h"
#include "Views/MenuBar/settings/SettingsView.h"
#include "Views/MenuBar/settings/ThemeSelector.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using LibraryFixtures::folder;
using LibraryFixtures::shortcut;

// The settings screen in the popover over a real store in a temporary folder, on 6 December
// 2026, with file panels and a clipboard that the test answers.
class SettingsViewTest : public ::testing::Test {
protected:
    TempDir dir;
    ManualClock clock{QDateTime(QDate(2026, 12, 6), QTime(10, 0), Qt::UTC)};
    ManualScheduler scheduler{&clock};
    StorageTest::ControlledWriter writer;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MenuBarPopover> popover;
    ScriptedFilePanels panels;
    MainListTesting::MemoryClipboard clipboard;
    QStringList toasts;
    QObject toastWatch;
    int quits = 0;
    bool signedIn = false;
    int syncStops = 0;

    void SetUp() override
    {
        QObject::connect(&ToastManager::shared(), &ToastManager::messageChanged, &toastWatch, [this] {
            if (const auto& message = ToastManager::shared().message())
                toasts << *message;
        });
        dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(sampleLibrary()));
    }

    void TearDown() override
    {
        popover.reset();
        TutorialManager::shared().skip();
    }

    static UserData sampleLibrary()
    {
        UserData library = UserData::empty();
        library.groups.append(folder(QStringLiteral("F1"), QStringLiteral("Work")));
        library.shortcuts.append(shortcut(QStringLiteral("S1"), QStringLiteral("/sig")));
        library.shortcuts.append(shortcut(QStringLiteral("S2"), QStringLiteral("/addr"), QStringLiteral("F1")));
        return library;
    }

    void open()
    {
        store = std::make_unique<LocalStore>(dir.path(), writer.writer());
        state = std::make_unique<AppState>(*store);
        state->setClipboard(&clipboard);
        state->setAccountHooks([this] { return signedIn; }, [this] { ++syncStops; });
        popover = std::make_unique<MenuBarPopover>(
            *state, PopoverScreen::settings(), [this] { ++quits; }, nullptr);
        ASSERT_TRUE(showActive(*popover));
        ASSERT_NE(view(), nullptr);
        view()->setFilePanels(&panels);
    }

    SettingsView* view() const { return qobject_cast<SettingsView*>(popover->currentScreenWidget()); }

    void click(const QString& text)
    {
        QAbstractButton* button = visibleButton(view(), text);
        ASSERT_NE(button, nullptr) << qPrintable(text);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    SettingsToggleRow* toggle(const QString& label) const
    {
        for (SettingsToggleRow* row : view()->toggleRows()) {
            if (row->text() == label)
                return row;
        }
        ADD_FAILURE() << "no switch " << label.toStdString();
        return nullptr;
    }

    const ConfirmationRequest* question() const
    {
        ConfirmationOverlay* overlay = popover->confirmationOverlay();
        return overlay ? &overlay->request() : nullptr;
    }

    void confirm()
    {
        ConfirmationOverlay* overlay = popover->confirmationOverlay();
        ASSERT_NE(overlay, nullptr);
        QTest::mouseClick(overlay->confirmButton(), Qt::LeftButton);
    }

    // What a fresh start of the application would read.
    AppSettings storedSettings() const { return LocalStore(dir.path()).loadSettings(); }
    UserData storedLibrary() const { return LocalStore(dir.path()).loadData(); }

    QStringList triggers() const
    {
        QStringList list;
        for (const Shortcut& s : state->userData().shortcuts)
            list << s.trigger;
        list.sort();
        return list;
    }

    // Makes every later write of the data file `name` in the data folder fail.
    void failWritesOf(const QString& name)
    {
        const QString path = dir.file(name);
        writer.fails = [path](const QString& written) { return written == path; };
    }

    // Makes the store report a damaged statistics file, as after a failed write.
    void loseStorage()
    {
        failWritesOf(QStringLiteral("stats.json"));
        state->recordExpansion(QStringLiteral("/sig"), 10);
        writer.fails = [](const QString&) { return false; };
        ASSERT_FALSE(state->storageReady());
    }

    QString importFile(const QByteArray& bytes)
    {
        dir.write(QStringLiteral("import.json"), bytes);
        return dir.file(QStringLiteral("import.json"));
    }

    void importFromFile(const QByteArray& bytes)
    {
        click(QStringLiteral("Import from file"));
        ASSERT_TRUE(panels.choose(importFile(bytes)));
    }
};

// ---------------------------------------------------------------- preferences

TEST_F(SettingsViewTest, SwitchesAndThemePillsAreStoredAndShown)
{
    open();
    click(QStringLiteral("Copy on click"));
    click(QStringLiteral("Launch at login"));
    click(QStringLiteral("Dark"));

    const AppSettings stored = storedSettings();
    EXPECT_FALSE(stored.copyOnClick);
    EXPECT_TRUE(stored.launchAtLogin);
    EXPECT_EQ(stored.theme, QStringLiteral("dark"));
    EXPECT_FALSE(toggle(QStringLiteral("Copy on click"))->isChecked());
    EXPECT_TRUE(toggle(QStringLiteral("Launch at login"))->isChecked());
    const QList<QAbstractButton*> pills = view()->themeSelector()->pills();
    EXPECT_FALSE(pills[0]->isChecked());
    EXPECT_TRUE(pills[1]->isChecked());
    EXPECT_TRUE(toasts.isEmpty());
}

TEST_F(SettingsViewTest, SwitchesComeInTheirOrderShowingTheStoredValues)
{
    open();
    QStringList labels;
    QList<bool> shown;
    for (const SettingsToggleRow* row : view()->toggleRows()) {
        labels << row->text();
        shown << row->isChecked();
    }
    EXPECT_EQ(labels,
        QStringList({"Show full expansion", "Confirm before delete", "Copy on click", "Time-saved animation",
            "Achievement notifications", "Launch at login"}));
    EXPECT_EQ(shown, QList<bool>({false, true, true, true, true, false}));
}

TEST_F(SettingsViewTest, SpaceFlipsTheSwitchReachedWithTab)
{
    open();
    SettingsToggleRow* row = toggle(QStringLiteral("Time-saved animation"));
    row->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_FALSE(storedSettings().showTimeSavedAnimation);
    EXPECT_FALSE(row->isChecked());
}

TEST_F(SettingsViewTest, ASwitchTheStoreRefusedShowsTheStoredValueAgain)
{
    open();
    failWritesOf(QStringLiteral("settings.json"));
    click(QStringLiteral("Show full expansion"));

    EXPECT_FALSE(toggle(QStringLiteral("Show full expansion"))->isChecked());
    EXPECT_FALSE(state->settings().expandText);
    EXPECT_FALSE(storedSettings().expandText);
}

TEST_F(SettingsViewTest, AThemeNoPillStandsForSelectsNoneAndAPillReplacesIt)
{
    AppSettings synced;
    synced.theme = QStringLiteral("Sepia");
    dir.write(QStringLiteral("settings.json"), VelmoraJSON::encode(synced));
    open();
    for (const QAbstractButton* pill : view()->themeSelector()->pills())
        EXPECT_FALSE(pill->isChecked()) << qPrintable(pill->text());

    click(QStringLiteral("Light"));
    EXPECT_EQ(storedSettings().theme, QStringLiteral("light"));
}

TEST_F(SettingsViewTest, ResetToDefaultsStoresEveryDefaultAndSaysSo)
{
    AppSettings changed;
    changed.fullHeight = true;
    changed.showDropdown = false;
    changed.confirmDelete = false;
    changed.theme = QStringLiteral("dark");
    dir.write(QStringLiteral("settings.json"), VelmoraJSON::encode(changed));
    open();

    click(QStringLiteral("Reset to defaults"));

    EXPECT_EQ(VelmoraJSON::encode(storedSettings()), VelmoraJSON::encode(AppSettings::defaults()));
    EXPECT_TRUE(toggle(QStringLiteral("Confirm before delete"))->isChecked());
    EXPECT_EQ(toasts, QStringList{"Settings reset"});
}

TEST_F(SettingsViewTest, ReplayTutorialGoesToTheListAndStartsTheTutorialShortlyAfter)
{
    open();
    click(QStringLiteral("Replay tutorial"));
    EXPECT_EQ(popover->screen().kind(), PopoverScreen::Kind::main);
    EXPECT_FALSE(TutorialManager::shared().isActive());

    scheduler.advance(SettingsView::tutorialStartDelay);
    EXPECT_TRUE(TutorialManager::shared().isActive());
    EXPECT_EQ(TutorialManager::shared().currentStep(), 0);
}

TEST_F(SettingsViewTest, AboutShowsTheVersionAndQuitEndsTheApplication)
{
    open();
    const QStringList texts = visibleTexts(view());
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const QString& text) {
        return text.startsWith(QStringLiteral("Velmora ")) && text.at(8).isDigit();
    })) << qPrintable(texts.join(u'|'));
    EXPECT_EQ(SettingsView::versionLabel(QString()), QStringLiteral("Velmora for Linux"));
    QList<QUrl> opened;
    view()->setUrlOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    click(QStringLiteral("Privacy policy"));
    EXPECT_EQ(opened, QList<QUrl>{QUrl(SettingsView::privacyPolicyAddress)});

    click(QStringLiteral("Quit Velmora"));
    EXPECT_EQ(quits, 1);
}

// ---------------------------------------------------------------- export

TEST_F(SettingsViewTest, ExportProposesTheDatedNameAndWritesTheStoredLibrary)
{
    open();
    click(QStringLiteral("Export data"));
    EXPECT_EQ(panels.requests, QStringList{"save velmora-backup-2026-12-06.json"});

    const QString target = dir.file(QStringLiteral("chosen.json"));
    ASSERT_TRUE(panels.choose(target));
    EXPECT_EQ(dir.read(QStringLiteral("chosen.json")), dir.read(QStringLiteral("data.json")));
    EXPECT_EQ(VelmoraJSON::encode(VelmoraJSON::decode<UserData>(dir.read(QStringLiteral("chosen.json")))),
        VelmoraJSON::encode(sampleLibrary()));
    EXPECT_EQ(toasts, QStringList{"Exported"});
    EXPECT_TRUE(state->stats().firstUseFlags.contains(QStringLiteral("discovery_export")));
}

TEST_F(SettingsViewTest, AnExportThatCannotBeWrittenSaysWhyAndSetsNoFlag)
{
    open();
    click(QStringLiteral("Export data"));
    ASSERT_TRUE(panels.choose(dir.file(QStringLiteral("missing-folder/backup.json"))));

    ASSERT_EQ(toasts.size(), 1);
    EXPECT_TRUE(toasts[0].startsWith(QStringLiteral("Export failed: "))) << qPrintable(toasts[0]);
    EXPECT_FALSE(state->stats().firstUseFlags.contains(QStringLiteral("discovery_export")));
}

TEST_F(SettingsViewTest, ExportWithoutReadyStorageOpensNoPanel)
{
    open();
    loseStorage();
    view()->exportJSON();
    EXPECT_TRUE(panels.requests.isEmpty());
    EXPECT_TRUE(toasts.isEmpty());
}

// ---------------------------------------------------------------- import from a file

TEST_F(SettingsViewTest, AFileImportAsksWithCountsAndRenamedTriggersThenAddsAsOneUndoStep)
{
    open();
    UserData imported = UserData::empty();
    imported.groups.append(folder(QStringLiteral("N1"), QStringLiteral("Home")));
    imported.shortcuts.append(shortcut(QStringLiteral("S1"), QStringLiteral("/sig")));
    imported.shortcuts.append(shortcut(QStringLiteral("X1"), QStringLiteral("/sig")));
    imported.shortcuts.append(shortcut(QStringLiteral("X2"), QStringLiteral("/home"), QStringLiteral("N1")));
    importFromFile(VelmoraJSON::encode(imported));

    ASSERT_NE(question(), nullptr);
    EXPECT_EQ(question()->title, QStringLiteral("Import from file?"));
    EXPECT_EQ(question()->message,
        QStringLiteral(
            "Add 2 shortcuts and 1 new folders. Your existing shortcuts stay unchanged. 1 unchanged "
            "shortcuts are already saved. 1 conflicting triggers will get a number, such as /sig \u2192 /sig(2)."));
    EXPECT_EQ(question()->confirmLabel, QStringLiteral("Import"));
    EXPECT_EQ(triggers(), QStringList({"/addr", "/sig"}));

    confirm();
    EXPECT_EQ(triggers(), QStringList({"/addr", "/home", "/sig", "/sig(2)"}));
    EXPECT_EQ(storedLibrary().shortcuts.size(), 4);
    EXPECT_EQ(toasts, QStringList{"Imported 2 shortcuts"});
    EXPECT_TRUE(state->stats().firstUseFlags.contains(QStringLiteral("discovery_import")));

    ASSERT_TRUE(state->undo());
    EXPECT_EQ(triggers(), QStringList({"/addr", "/sig"}));
}

TEST_F(SettingsViewTest, AFileWithNothingNewAsksNothing)
{
    open();
    importFromFile(VelmoraJSON::encode(sampleLibrary()));
    EXPECT_EQ(question(), nullptr);
    EXPECT_EQ(toasts, QStringList{"These shortcuts are already in your library"});
}

TEST_F(SettingsViewTest, AnImportAnsweredAfterTheLibraryChangedChangesNothing)
{
    open();
    UserData imported = UserData::empty();
    imported.shortcuts.append(shortcut(QStringLiteral("X1"), QStringLiteral("/new")));
    importFromFile(VelmoraJSON::encode(imported));
    ASSERT_TRUE(state->updateShortcut(QStringLiteral("S2"), std::nullopt, QStringLiteral("edited meanwhile")));

    confirm();
    EXPECT_EQ(triggers(), QStringList({"/addr", "/sig"}));
    EXPECT_EQ(toasts, QStringList{"Your library changed. Start the import again."});
    EXPECT_FALSE(state->stats().firstUseFlags.contains(QStringLiteral("discovery_import")));
}

TEST_F(SettingsViewTest, AnImportThatCouldNotBeWrittenIsNotReportedAsDone)
{
    open();
    UserData imported = UserData::empty();
    imported.shortcuts.append(shortcut(QStringLiteral("X1"), QStringLiteral("/new")));
    importFromFile(VelmoraJSON::encode(imported));
    failWritesOf(QStringLiteral("data.json"));

    confirm();
    EXPECT_EQ(triggers(), QStringList({"/addr", "/sig"}));
    EXPECT_EQ(toasts, QStringList{"Import could not be confirmed. Check the library before importing again."});
}

TEST_F(SettingsViewTest, ImportsWaitUntilStorageIsReady)
{
    open();
    loseStorage();
    view()->importJSON();
    view()->importFromText();
    EXPECT_TRUE(panels.requests.isEmpty());
    EXPECT_EQ(toasts, QStringList(2, QStringLiteral("Resolve the library issue before importing")));
}

struct HostileFile {
    const char* name;
    std::function<QByteArray()> bytes;
    const char* reason;
};

class HostileImportTest : public SettingsViewTest, public ::testing::WithParamInterface<HostileFile> { };

TEST_P(HostileImportTest, IsRefusedWithItsReasonAndChangesNothing)
{
    open();
    const QByteArray libraryBefore = dir.read(QStringLiteral("data.json"));
    importFromFile(GetParam().bytes());

    ASSERT_EQ(toasts.size(), 1);
    EXPECT_TRUE(toasts[0].startsWith(QStringLiteral("Import failed: "))) << qPrintable(toasts[0]);
    EXPECT_TRUE(toasts[0].contains(QString::fromUtf8(GetParam().reason))) << qPrintable(toasts[0]);
    EXPECT_EQ(question(), nullptr);
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), libraryBefore);
    EXPECT_EQ(triggers(), QStringList({"/addr", "/sig"}));
    EXPECT_TRUE(state->storageReady());
}

INSTANTIATE_TEST_SUITE_P(Files, HostileImportTest,
    ::testing::Values(HostileFile{"Huge",
                          []() -> QByteArray { return QByteArray(LibraryImportFile::maxBytes + 1, ' '); }, "too large"},
        HostileFile{"DeeplyNested", []() -> QByteArray { return QByteArray(100000, '[') + QByteArray(100000, ']'); },
            "not valid JSON"},
        HostileFile{"WrongTypes",
            []() -> QByteArray { return QByteArray(R"({"groups": {}, "shortcuts": "none", "customIcons": [1]})"); },
            "groups"},
        HostileFile{
            "NotALibrary", []() -> QByteArray { return QByteArray(R"({"name": "Work"})"); }, "Not a Velmora library."},
        HostileFile{"InvalidUtf8",
            []() -> QByteArray {
                return QByteArray(R"({"groups": [], "shortcuts": [{"trigger": ")") + "\xC3\x28\xFF" + "\"}]}";
            },
            "UTF-8"}),
    [](const ::testing::TestParamInfo<HostileFile>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- import from pasted text

TEST_F(SettingsViewTest, PastedPresetsAreAskedAboutAndAdded)
{
    open();
    clipboard.setText(QStringLiteral("/ty \u2192 Thank you!"));
    click(QStringLiteral("Import from clipboard"));

    ASSERT_NE(question(), nullptr);
    EXPECT_EQ(question()->title, QStringLiteral("Import from clipboard?"));
    EXPECT_EQ(question()->message,
        QStringLiteral("Add 1 shortcuts and 0 new folders. Your existing shortcuts stay unchanged."));
    confirm();
    EXPECT_EQ(triggers(), QStringList({"/addr", "/sig", "/ty"}));
    EXPECT_EQ(toasts, QStringList{"Imported 1 shortcut"});
}

TEST_F(SettingsViewTest, PastedTextReportsWhatIsWrongWithIt)
{
    open();
    click(QStringLiteral("Import from clipboard"));
    clipboard.setText(QString());
    click(QStringLiteral("Import from clipboard"));

    EXPECT_EQ(toasts,
        QStringList({"Nothing in clipboard",
            "No Velmora shortcuts or folders found. Copy a preset or group, not only its prompt text."}));
    EXPECT_EQ(question(), nullptr);
}

// ---------------------------------------------------------------- clear all

TEST_F(SettingsViewTest, ClearAllKeepsACopyEmptiesLibraryAndStatisticsAndUndoBringsTheLibraryBack)
{
    open();
    state->recordExpansion(QStringLiteral("/sig"), 40);
    ASSERT_TRUE(state->updateSettings([](AppSettings& s) { s.theme = QStringLiteral("dark"); }));
    const QByteArray libraryBefore = dir.read(QStringLiteral("data.json"));

    click(QStringLiteral("Clear all data"));
    ASSERT_NE(question(), nullptr);
    EXPECT_EQ(question()->title, QStringLiteral("Clear all data?"));
    EXPECT_TRUE(question()->isDestructive);
    confirm();

    EXPECT_TRUE(state->userData().shortcuts.isEmpty());
    EXPECT_TRUE(state->userData().groups.isEmpty());
    EXPECT_EQ(state->stats().totalExpansions, 0);
    EXPECT_EQ(LocalStore(dir.path()).loadStats().totalExpansions, 0);
    EXPECT_EQ(storedSettings().theme, QStringLiteral("dark"));
    EXPECT_EQ(syncStops, 1);
    EXPECT_EQ(toasts, QStringList{"All data cleared"});

    const QStringList kept = QDir(dir.path()).entryList({QStringLiteral("library-backup-2026-12-06-*")}, QDir::Dirs);
    ASSERT_EQ(kept.size(), 1);
    const QString copy = QDir(dir.path()).filePath(kept[0]);
    EXPECT_EQ(StorageTest::modeOf(copy), 0700);
    EXPECT_EQ(StorageTest::modeOf(copy + QStringLiteral("/data.json")), 0600);
    EXPECT_EQ(dir.read(kept[0] + QStringLiteral("/data.json")), libraryBefore);

    ASSERT_TRUE(state->undo());
    EXPECT_EQ(triggers(), QStringList({"/addr", "/sig"}));
    EXPECT_EQ(state->stats().totalExpansions, 0);
}

TEST_F(SettingsViewTest, ClearAllIsRefusedWhileSignedIn)
{
    open();
    signedIn = true;
    click(QStringLiteral("Clear all data"));
    EXPECT_EQ(question(), nullptr);
    EXPECT_EQ(toasts, QStringList{"Sign out before clearing local data"});
}

TEST_F(SettingsViewTest, SigningInWhileAskedMakesTheAnswerDoNothing)
{
    open();
    click(QStringLiteral("Clear all data"));
    signedIn = true;
    confirm();
    EXPECT_EQ(triggers(), QStringList({"/addr", "/sig"}));
    EXPECT_EQ(syncStops, 0);
    EXPECT_TRUE(toasts.isEmpty());
}

TEST_F(SettingsViewTest, ClearAllStopsWhenTheLibraryWasNotWritten)
{
    open();
    state->recordExpansion(QStringLiteral("/sig"), 40);
    click(QStringLiteral("Clear all data"));
    failWritesOf(QStringLiteral("data.json"));
    confirm();

    EXPECT_EQ(triggers(), QStringList({"/addr", "/sig"}));
    EXPECT_EQ(state->stats().totalExpansions, 1);
    EXPECT_EQ(LocalStore(dir.path()).loadStats().totalExpansions, 1);
    EXPECT_FALSE(toasts.contains(QStringLiteral("All data cleared")));
}

TEST_F(SettingsViewTest, ClearAllKeepsTheStatisticsShownWhenTheirWriteFails)
{
    open();
    state->recordExpansion(QStringLiteral("/sig"), 40);
    click(QStringLiteral("Clear all data"));
    failWritesOf(QStringLiteral("stats.json"));
    confirm();

    EXPECT_TRUE(state->userData().shortcuts.isEmpty());
    EXPECT_EQ(state->stats().totalExpansions, 1);
    EXPECT_FALSE(state->storageReady());
    EXPECT_FALSE(toasts.contains(QStringLiteral("All data cleared")));
}

TEST_F(SettingsViewTest, ClearAllChangesNothingWhenNoCopyCanBeKept)
{
    open();
    click(QStringLiteral("Clear all data"));
    writer.fails = [](const QString& path) { return path.contains(QStringLiteral("library-backup-")); };
    confirm();

    EXPECT_EQ(triggers(), QStringList({"/addr", "/sig"}));
    EXPECT_EQ(syncStops, 0);
    ASSERT_EQ(toasts.size(), 1);
    EXPECT_NE(toasts[0], QStringLiteral("All data cleared"));
}

} // namespace

TEST(SettingsToggleRowLook, TheDarkOffTrackStandsOutFromItsCardAsAControlMust)
{
    const Appearance before = Theme::appearance();
    Theme::setAppearance(Appearance::dark);
    const QColor card = composited(Theme::surfaceGlass(), Theme::bgCard());
    EXPECT_GE(contrastRatio(composited(SettingsToggleRow::trackColor(false), card), card), 3.0);
    EXPECT_GE(contrastRatio(SettingsToggleRow::knobColor(true), SettingsToggleRow::trackColor(true)), 3.0);
    Theme::setAppearance(before);
}

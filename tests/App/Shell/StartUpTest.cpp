#include "AppShellFixture.h"
#include "LibraryFixtures.h"
#include "Persistence/FileSystemError.h"
#include "Services/TutorialManager.h"
#include "Utilities/Theme.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"

namespace {

using LibraryFixtures::shortcut;

const QByteArray damagedLibrary = "{\"groups\": [], \"shortcuts\": [";

UserData libraryWith(std::initializer_list<std::pair<QString, QString>> pairs)
{
    UserData library = UserData::empty();
    for (const auto& [trigger, expansion] : pairs) {
        Shortcut s = shortcut(
            QStringLiteral("00000000-0000-4000-8000-00000000000%1").arg(library.shortcuts.size() + 1), trigger);
        s.expansion = expansion;
        s.order = library.shortcuts.size();
        library.shortcuts.append(s);
    }
    return library;
}

class StartUp : public AppShellFixture { };

TEST_F(StartUp, WithStorageAndPermissionTheEngineStartsOnceAndThePollStopsAtItsFirstTick)
{
    launch();
    EXPECT_TRUE(engineRunning());
    EXPECT_EQ(engineStarts(), 1);

    scheduler.runDue();
    EXPECT_EQ(engineStarts(), 1) << "the deferred start finds the engine running";
    EXPECT_TRUE(delegate->isPollingTrust());

    scheduler.advance(2);
    EXPECT_FALSE(delegate->isPollingTrust());
    EXPECT_EQ(engineStarts(), 1);
}

TEST_F(StartUp, WithoutPermissionTheEngineStartsAtTheFirstPollAfterTheGrant)
{
    desktop.trust.trusted = false;
    launch();
    scheduler.advance(3);
    EXPECT_FALSE(engineRunning());
    EXPECT_EQ(engineStarts(), 0);

    desktop.trust.trusted = true;
    scheduler.advance(0.9);
    EXPECT_FALSE(engineRunning()) << "nothing asks before the next tick";
    scheduler.advance(0.1);
    EXPECT_TRUE(engineRunning());
    EXPECT_FALSE(delegate->isPollingTrust());

    scheduler.advance(10);
    EXPECT_EQ(engineStarts(), 1);
}

TEST_F(StartUp, ADamagedLibraryKeepsTheEngineOffLeavesTheFileAndShowsTheRecoveryScreen)
{
    dir.write(QStringLiteral("data.json"), damagedLibrary);
    launchAndSettle();
    scheduler.advance(6);

    EXPECT_FALSE(state().storageReady());
    EXPECT_FALSE(engineRunning());
    EXPECT_EQ(engineStarts(), 0);
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), damagedLibrary);
    EXPECT_TRUE(popover().isShown());
    auto* shell = qobject_cast<MenuBarPopover*>(popover().content());
    ASSERT_NE(shell, nullptr);
    EXPECT_NE(shell->recoveryView(), nullptr);
}

TEST_F(StartUp, TheEngineStartsOnceTheRepairedLibraryIsReadAgain)
{
    dir.write(QStringLiteral("data.json"), damagedLibrary);
    launchAndSettle();
    scheduler.advance(2);

    writeLibrary(libraryWith({{QStringLiteral("/sig"), QStringLiteral("Best regards")}}));
    state().retryStorage();
    ASSERT_TRUE(state().storageReady());
    EXPECT_FALSE(engineRunning()) << "the start waits for the next turn";
    scheduler.runDue();
    EXPECT_TRUE(engineRunning());
}

TEST_F(StartUp, StorageThatFailsWhileRunningStopsTheEngine)
{
    launchAndSettle();
    ASSERT_TRUE(engineRunning());

    dir.write(QStringLiteral("data.json"), damagedLibrary);
    store->loadData();
    EXPECT_FALSE(state().storageReady());
    EXPECT_FALSE(engineRunning());
}

TEST_F(StartUp, WithExpansionSwitchedOffNeitherThePollNorStorageStartsTheEngine)
{
    launch();
    ASSERT_TRUE(engineRunning());
    delegate->menuToggleExpansion();
    ASSERT_FALSE(engineRunning());

    scheduler.advance(2);
    EXPECT_FALSE(engineRunning());

    dir.write(QStringLiteral("data.json"), damagedLibrary);
    store->loadData();
    writeLibrary(UserData::empty());
    state().retryStorage();
    scheduler.advance(4);
    EXPECT_TRUE(state().storageReady());
    EXPECT_FALSE(engineRunning());
    EXPECT_EQ(engineStarts(), 1);
}

TEST_F(StartUp, AnExpansionIsRecordedWithCharactersCountedAsTheUserSeesThem)
{
    // A family emoji is one character made of five code points (eight UTF-16 units).
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    writeLibrary(libraryWith({{QStringLiteral("/fam"), family + QStringLiteral(" and me")}}));
    launchAndSettle();
    desktop.focusNewField();
    desktop.type(QStringLiteral("/fam"));
    scheduler.advance(2);

    EXPECT_EQ(state().stats().totalExpansions, 1);
    EXPECT_EQ(state().stats().totalCharsSaved, 8 - 4);
    // Counted for the shortcut the engine expanded.
    EXPECT_EQ(state().stats().perShortcut.value(state().userData().shortcuts.first().id).count, 1);
    const Stats onDisk = VelmoraJSON::decode<Stats>(dir.read(QStringLiteral("stats.json")));
    EXPECT_EQ(onDisk.totalExpansions, 1);
}

TEST_F(StartUp, AFullDiskStopsSavingButNotExpandingAndTheLibraryIsKept)
{
    writeLibrary(libraryWith({{QStringLiteral("/sig"), QStringLiteral("Best regards")}}));
    bool diskFull = false;
    writer = [&diskFull](const QByteArray& bytes, const QString& path, FileIO::Access access) {
        if (diskFull)
            throw FileSystemError(FileSystemError::Operation::write, path, ENOSPC);
        FileIO::writeAtomically(bytes, path, access);
    };
    launchAndSettle();
    const QByteArray library = dir.read(QStringLiteral("data.json"));
    diskFull = true;

    auto first = desktop.focusNewField();
    desktop.type(QStringLiteral("/sig"));
    scheduler.advance(2);
    EXPECT_EQ(first->text, QStringLiteral("Best regards"));
    EXPECT_FALSE(state().storageReady()) << "the failed save is shown";
    auto* shell = qobject_cast<MenuBarPopover*>(popover().content());
    ASSERT_NE(shell, nullptr);
    EXPECT_NE(shell->recoveryView(), nullptr);

    auto second = desktop.focusNewField();
    desktop.type(QStringLiteral("/sig"));
    scheduler.advance(2);
    EXPECT_TRUE(engineRunning());
    EXPECT_EQ(second->text, QStringLiteral("Best regards"));
    EXPECT_FALSE(state().addShortcut(QStringLiteral("/new"), QStringLiteral("text"), std::nullopt));
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), library);
}

TEST_F(StartUp, AnExpansionShorterThanItsTriggerSavesNothing)
{
    writeLibrary(libraryWith({{QStringLiteral("/thumbs"), QStringLiteral("\U0001F44D\U0001F3FD")}}));
    launchAndSettle();
    desktop.focusNewField();
    desktop.type(QStringLiteral("/thumbs"));
    scheduler.advance(2);

    EXPECT_EQ(state().stats().totalExpansions, 1);
    EXPECT_EQ(state().stats().totalCharsSaved, 0);
    EXPECT_EQ(state().stats().totalTimeSaved, 0);
}

TEST_F(StartUp, AnExpansionAfterTheRecordingMovesTheTutorialOn)
{
    writeLibrary(libraryWith({{QStringLiteral("/sig"), QStringLiteral("Best regards")}}));
    launchAndSettle();
    TutorialManager& tutorial = TutorialManager::shared();
    tutorial.start();
    while (tutorial.currentStep() < 7)
        tutorial.next();
    ASSERT_TRUE(tutorial.isActive());

    desktop.focusNewField();
    desktop.type(QStringLiteral("/sig"));
    scheduler.advance(2);

    EXPECT_EQ(state().stats().totalExpansions, 1);
    scheduler.advance(6);
    EXPECT_FALSE(tutorial.isActive()) << "the last step ends with the first expansion";
}

TEST_F(StartUp, TheMatcherIsRebuiltForShortcutChangesOnly)
{
    writeLibrary(libraryWith({{QStringLiteral("/sig"), QStringLiteral("Best regards")}}));
    launchAndSettle();
    ASSERT_TRUE(
        state().addGroup(QStringLiteral("Work"), std::nullopt, std::nullopt, std::nullopt, QStringLiteral("private")));
    const QString folderId = state().userData().groups.first().id;
    const quint64 before = delegate->engine().generation();

    ASSERT_TRUE(state().updateGroup(folderId, QStringLiteral("Office"), std::nullopt, std::nullopt));
    EXPECT_EQ(delegate->engine().generation(), before) << "renaming a folder leaves typing alone";

    ASSERT_TRUE(state().addShortcut(QStringLiteral("/addr"), QStringLiteral("1 Main St"), std::nullopt));
    EXPECT_NE(delegate->engine().generation(), before);

    desktop.focusNewField();
    desktop.type(QStringLiteral("/addr"));
    scheduler.advance(2);
    EXPECT_EQ(desktop.focusedField()->text, QStringLiteral("1 Main St"));
}

// ---------------------------------------------------------------- launch at login

TEST_F(StartUp, LaunchAtLoginIsAppliedOnceAtStartWhenStorageIsReady)
{
    AppSettings settings = AppSettings::defaults();
    settings.launchAtLogin = true;
    writeSettings(settings);
    launchAndSettle();
    EXPECT_EQ(loginItem.calls, QStringList{QStringLiteral("register")});

    ASSERT_TRUE(state().updateSettings([](AppSettings& s) { s.theme = QStringLiteral("dark"); }));
    EXPECT_EQ(loginItem.calls.size(), 1) << "another setting's change does not apply it again";

    ASSERT_TRUE(state().updateSettings([](AppSettings& s) { s.launchAtLogin = false; }));
    EXPECT_EQ(loginItem.calls, (QStringList{QStringLiteral("register"), QStringLiteral("unregister")}));
}

TEST_F(StartUp, LaunchAtLoginOffIsAppliedAtStartToo)
{
    launchAndSettle();
    EXPECT_EQ(loginItem.calls, QStringList{QStringLiteral("unregister")});
}

TEST_F(StartUp, LaunchAtLoginWaitsUntilStorageIsReady)
{
    AppSettings settings = AppSettings::defaults();
    settings.launchAtLogin = true;
    writeSettings(settings);
    dir.write(QStringLiteral("data.json"), damagedLibrary);
    launchAndSettle();
    scheduler.advance(4);
    EXPECT_TRUE(loginItem.calls.isEmpty());

    writeLibrary(UserData::empty());
    state().retryStorage();
    EXPECT_EQ(loginItem.calls, QStringList{QStringLiteral("register")});
}

TEST_F(StartUp, ALaunchAtLoginFailurePrintsOneLineAndKeepsTheSetting)
{
    AppSettings settings = AppSettings::defaults();
    settings.launchAtLogin = true;
    writeSettings(settings);
    loginItem.refuses = true;
    launchAndSettle();

    EXPECT_EQ(printed, QStringList{QStringLiteral("[LaunchAtLogin] Failed: The autostart folder is read-only.")});
    EXPECT_TRUE(state().settings().launchAtLogin);
    EXPECT_TRUE(popover().isShown());
}

// ---------------------------------------------------------------- theme and size

TEST_F(StartUp, TheThemeSettingChoosesTheAppearanceAndSystemFollowsTheDesktop)
{
    systemAppearance.current = Appearance::dark;
    launchAndSettle();
    EXPECT_EQ(Theme::appearance(), Appearance::dark) << "\"system\" is the default";
    systemAppearance.change(Appearance::light);
    EXPECT_EQ(Theme::appearance(), Appearance::light);

    ASSERT_TRUE(state().updateSettings([](AppSettings& s) { s.theme = QStringLiteral("dark"); }));
    EXPECT_EQ(Theme::appearance(), Appearance::dark);
    systemAppearance.change(Appearance::light);
    EXPECT_EQ(Theme::appearance(), Appearance::dark) << "a chosen theme ignores the desktop";

    ASSERT_TRUE(state().updateSettings([](AppSettings& s) { s.theme = QStringLiteral("Dark"); }));
    EXPECT_EQ(Theme::appearance(), Appearance::light) << "any other value follows the desktop";
}

TEST_F(StartUp, FullHeightMakesThePopoverTaller)
{
    launchAndSettle();
    EXPECT_EQ(popover().size(), QSize(340, 560));
    ASSERT_TRUE(state().updateSettings([](AppSettings& s) { s.fullHeight = true; }));
    EXPECT_EQ(popover().size(), QSize(340, 800));
    ASSERT_TRUE(state().updateSettings([](AppSettings& s) { s.fullHeight = false; }));
    EXPECT_EQ(popover().size(), QSize(340, 560));
}

TEST_F(StartUp, TheStateIsPublishedForTheTutorial)
{
    launch();
    EXPECT_EQ(AppState::shared(), &state());
    delegate.reset();
    EXPECT_EQ(AppState::shared(), nullptr);
}

} // namespace

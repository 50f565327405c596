#pragma once

#include "App/State/AppState.h"
#include "App/State/PopoverKeyboardShortcuts.h"
#include "Engine/TextExpansionEngine.h"
#include "Utilities/BackendConfiguration.h"
#include "Utilities/Scheduler.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class AppStateSync;
class BackgroundSyncManager;
class CredentialsProvider;
class EventSource;
class LocalStore;
class LoginItem;
class PlainTextClipboard;
class PopoverCommands;
class PopoverKeyHandler;
class PopoverWindow;
class QAction;
class QMenu;
class QWidget;
class StatusItem;
class SystemAppearance;
class TutorialPanels;

// The running application: it owns the state and the expansion engine for the life of the
// process, puts the tray item and the popover on screen, and keeps the engine, the theme,
// launch at login and library sync in step with the settings, the storage, the sign-in and the
// desktop's permission.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // How often the desktop's permission is asked for until it is granted, in seconds.
    static constexpr double trustPollInterval = 2;
    // The popover goes back to the main list when it was closed longer than this, in seconds.
    static constexpr double resetAfterClosedFor = 60;
    // A tray click this soon after a click elsewhere closed the popover was that same click.
    static constexpr double outsideCloseGrace = 0.5;
    // Delay between showing the popover and starting the tutorial from the status menu.
    static constexpr double tutorialStartDelay = 0.3;

    // Builds the popover's content inside `window`, with the popover's commands.
    using ContentFactory = std::function<QWidget*(QWidget* window, AppState& state, PopoverCommands& commands)>;

    // What the delegate works with. main() passes the desktop's; tests pass doubles.
    struct Environment {
        LocalStore* store = nullptr;
        // The engine's desktop; must be complete.
        Desktop desktop;
        // A second watch of the session's mouse buttons, for closing the popover on a click
        // elsewhere; without one the popover closes only when the application loses focus.
        EventSource* mouseEvents = nullptr;
        LoginItem* loginItem = nullptr;
        SystemAppearance* systemAppearance = nullptr;
        PlainTextClipboard* clipboard = nullptr;
        // The signed-in account and the library sync that follows it; without both, sync
        // stays off.
        CredentialsProvider* account = nullptr;
        BackgroundSyncManager* backgroundSync = nullptr;
        // The backend configuration of this process: what the account screen offers.
        std::optional<BackendConfiguration> backend;
        // Builds the popover's content; the popover shell when not given.
        ContentFactory makeContent;
        // Ends the application; quits the event loop when not given.
        std::function<void()> terminate;
        // Writes one line to standard output when not given.
        std::function<void(const QString& line)> print;
    };

    explicit AppDelegate(Environment environment, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The start-up: tray item, popover, subscriptions, engine, and finally the popover on
    // screen.
    void applicationDidFinishLaunching();
    // Another start of the program while this one runs: show the popover.
    bool applicationShouldHandleReopen();
    // The event loop has ended: a replacement under way is let come to its end first, so
    // that quitting leaves the field and the clipboard as they should be.
    void applicationWillTerminate();

    void applyTheme(AppTheme theme);
    // Starts the engine when everything allows it; safe to call at any time, any number of
    // times.
    void startEngine();

    void togglePopover();
    void showPopover();
    void closePopover();

    // Status menu actions. The two new items open their form, and bring the popover up under
    // the tray item when it is hidden.
    void menuNewShortcut();
    void menuNewFolder();
    void menuToggleExpansion();
    void menuReplayTutorial();
    void menuQuit();
    // Ends the program now, whatever dialog, menu or nested event loop is open.
    static void endApplication();

    AppState& appState() { return m_appState; }
    TextExpansionEngine& engine() { return m_engine; }
    bool expansionEnabled() const { return m_expansionEnabled; }
    PopoverWindow* popover() const { return m_popover.get(); }
    QMenu* statusMenu() const { return m_statusMenu.get(); }
    PopoverKeyHandler* keyMonitor() const { return m_keyMonitor; }
    bool isOutsideClickMonitorInstalled() const { return m_outsideClickMonitor; }
    bool isPollingTrust() const { return m_trustPoll.isPending(); }
    TutorialPanels* tutorialPanels() const { return m_tutorialPanels.get(); }

private:
    void buildStatusMenu();
    // Runs the popover's command (held back under a sheet), then brings the popover up.
    void openFromStatusMenu(PopoverKeyboardShortcuts::Command command);
    void updateStatusMenu();
    void buildPopover();
    void connectTutorial();
    void subscribe();
    void applyLaunchAtLogin(bool enabled);
    void applyStorageReady(bool ready);
    void followSignIn();
    void startBackgroundSync();
    void stopBackgroundSync();
    void showPopoverUnderStatusItem(bool activate);
    void installOutsideClickMonitor();
    void removeOutsideClickMonitor();
    void closeFromOutside();
    void popoverDidClose();
    bool isTrusted() const;
    // Whether expansion may run from the library in memory.
    bool libraryUsable() const;

    Environment m_environment;
    AppState m_appState;
    AppStateSync* m_sync;
    TextExpansionEngine m_engine;
    // Declared after the state they show, so that they go first.
    std::unique_ptr<QMenu> m_statusMenu;
    StatusItem* m_statusItem = nullptr;
    std::unique_ptr<PopoverWindow> m_popover;
    std::unique_ptr<TutorialPanels> m_tutorialPanels;
    bool m_expansionEnabled = true;
    PopoverKeyHandler* m_keyMonitor = nullptr;
    bool m_outsideClickMonitor = false;
    ScheduledTask m_trustPoll;
    bool m_followsSystemAppearance = true;

    PopoverCommands& commands();

    QAction* m_toggleAction = nullptr;
    QAction* m_statisticsAction = nullptr;

    // The values last acted on, so that a settings write that changes something else does
    // not act again.
    std::optional<AppTheme> m_theme;
    std::optional<bool> m_launchAtLogin;
    std::optional<bool> m_fullHeight;
    std::optional<bool> m_storageReady;
    std::optional<bool> m_loggedIn;
    std::optional<QList<Shortcut>> m_shortcuts;
    std::optional<QDateTime> m_outsideCloseAt;
};

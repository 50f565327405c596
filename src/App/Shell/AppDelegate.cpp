#include "App/Shell/AppDelegate.h"

#include "App/Shell/PopoverKeyHandler.h"
#include "App/Shell/PopoverWindow.h"
#include "App/Shell/StatusItem.h"
#include "App/State/AppStateSync.h"
#include "App/State/StatusMenuText.h"
#include "Engine/FieldTypingFollower.h"
#include "Persistence/LocalStore.h"
#include "Services/AuthService.h"
#include "Services/BackgroundSyncManager.h"
#include "Services/CredentialsProvider.h"
#include "Services/SyncCoordinator.h"
#include "Services/TutorialManager.h"
#include "Utilities/BackgroundRelease.h"
#include "Utilities/Clock.h"
#include "Utilities/Notifications.h"
#include "Utilities/Text.h"
#include "Utilities/Theme.h"
#include "Utilities/ToastManager.h"
#include "Utilities/VelmoraError.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/Components/ThemedMenu.h"
#include "Views/MenuBar/achievements/AchievementUnlockToast.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"
#include "Views/MenuBar/tutorial/TutorialPanels.h"
#include "Views/TimeSavedFloater.h"
#include "platform/AccessibilityTrust.h"
#include "platform/EventSource.h"
#include "platform/ExternalBrowser.h"
#include "platform/LoginItem.h"
#include "platform/SystemAppearance.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QMenu>
#include <algorithm>
#include <cstdio>

namespace {

constexpr double startUpSettleSeconds = 0.5;
constexpr InputEventTypes mouseDowns = InputEventType::buttonPress;

AppDelegate::Environment completed(AppDelegate::Environment environment)
{
    if (!environment.store)
        environment.store = &LocalStore::shared();
    if (!environment.makeContent) {
        environment.makeContent = [](QWidget* window, AppState& state, PopoverCommands& commands) -> QWidget* {
            return new MenuBarPopover(state, PopoverScreen::main(), commands, window);
        };
    }
    if (!environment.terminate)
        environment.terminate = &AppDelegate::endApplication;
    if (!environment.print) {
        environment.print = [](const QString& line) {
            std::fputs((line + u'\n').toLocal8Bit().constData(), stdout);
            std::fflush(stdout);
        };
    }
    return environment;
}

const QUrl chatSite(QStringLiteral("https://chatgpt.com/"));

double secondsBetween(const QDateTime& from, const QDateTime& to)
{
    return double(from.msecsTo(to)) / 1000.0;
}

} // namespace

AppDelegate::AppDelegate(Environment environment, QObject* parent)
    : QObject(parent)
    , m_environment(completed(std::move(environment)))
    , m_appState(*m_environment.store)
    , m_sync(new AppStateSync(m_appState))
    , m_engine(m_environment.desktop)
{
    m_appState.setClipboard(m_environment.clipboard);
    // Clearing the library is for signed-out computers only, and stops sync first so that
    // nothing sends the emptied library anywhere.
    m_appState.setAccountHooks([account = m_environment.account] { return account && account->isLoggedIn(); },
        [this] { stopBackgroundSync(); });
    m_appState.setTimeSavedPresenter([](double seconds) { TimeSavedFloater::shared().show(seconds); });
    m_appState.setAchievementPresenter(
        [](const Achievement& achievement) { AchievementUnlockToast::shared().show(achievement); });
}

AppDelegate::~AppDelegate()
{
    removeOutsideClickMonitor();
    m_engine.stop();
    if (m_tutorialPanels)
        TutorialManager::shared().setPresenters({});
    if (AppState::shared() == &m_appState)
        AppState::setShared(nullptr);
}

void AppDelegate::applicationWillTerminate()
{
    m_engine.stopForQuit();
}

void AppDelegate::applicationDidFinishLaunching()
{
    // The popover's accessibility line names an application that lets no one edit its fields.
    if (FieldTypingFollower* typing = m_engine.fieldTyping(); typing && m_environment.desktop.trust) {
        connect(typing, &FieldTypingFollower::applicationUnreachable, this,
            [trust = m_environment.desktop.trust](
                const QString& application) { trust->setUnreachableApplication(application); });
    }
    AppState::setShared(&m_appState);
    // The application has no window of its own and no taskbar entry: its windows are tool
    // windows and it never quits when the last one closes.
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        application->setQuitOnLastWindowClosed(false);
    applyTheme(m_appState.settings().themeChoice());

    buildPopover();
    connectTutorial();
    buildStatusMenu();
    m_statusItem = new StatusItem(m_statusMenu.get(), this);
    connect(m_statusItem, &StatusItem::clicked, this, &AppDelegate::togglePopover);
    if (SystemAppearance* system = m_environment.systemAppearance) {
        m_statusItem->setAppearance(system->appearance());
        connect(system, &SystemAppearance::appearanceChanged, this, [this](Appearance appearance) {
            m_statusItem->setAppearance(appearance);
            if (m_followsSystemAppearance)
                Theme::setAppearance(appearance);
        });
    }

    NotificationCenter& center = NotificationCenter::instance();
    center.observe(Notifications::velmoraClosePopover, this, [this](const QVariant&) { closePopover(); });
    center.observe(Notifications::velmoraOpenAchievements, this, [this](const QVariant&) {
        if (!m_popover->isShown())
            showPopoverUnderStatusItem(true);
    });
    applyTheme(m_appState.settings().themeChoice());

    subscribe();

    observeNow(
        &m_appState, &AppState::storageReadyChanged, this, [this] { applyStorageReady(m_appState.storageReady()); });
    observeNow(&m_appState, &AppState::userDataChanged, this, [this] {
        const QList<Shortcut>& shortcuts = m_appState.userData().shortcuts;
        if (m_shortcuts == shortcuts)
            return;
        if (m_shortcuts)
            BackgroundRelease::replace(*m_shortcuts, shortcuts);
        else
            m_shortcuts = shortcuts;
        m_engine.updateShortcuts(shortcuts);
    });

    if (isTrusted())
        startEngine();
    // Scheduled whether or not the permission is there now; the first tick that finds it
    // starts the engine, when nothing else has, and ends the poll.
    m_trustPoll = Scheduler::current().every(trustPollInterval, this, [this] {
        if (!isTrusted())
            return;
        startEngine();
        m_trustPoll.cancel();
    });

    followSignIn();

    Scheduler::current().after(0, this, [this] {
        showPopover();
        // What the store does to make the first save quick (on a large library, seconds of
        // processor time on other threads) waits until the popover has been drawn and filled.
        Scheduler::current().after(startUpSettleSeconds, this, [this] { m_appState.store().startUpDone(); });
    });
}

bool AppDelegate::applicationShouldHandleReopen()
{
    showPopover();
    return true;
}

// ---------------------------------------------------------------- subscriptions

void AppDelegate::subscribe()
{
    observeNow(&m_appState, &AppState::settingsChanged, this, [this] {
        const AppTheme theme = m_appState.settings().themeChoice();
        if (m_theme == theme)
            return;
        m_theme = theme;
        applyTheme(theme);
    });

    // Launch at login is left alone while the settings may be a stand-in for a file that
    // could not be read, and applied once per start when they can be trusted.
    auto followLaunchAtLogin = [this] {
        if (!m_appState.storageReady())
            return;
        const bool enabled = m_appState.settings().launchAtLogin;
        if (m_launchAtLogin == enabled)
            return;
        m_launchAtLogin = enabled;
        applyLaunchAtLogin(enabled);
    };
    observeNow(&m_appState, &AppState::settingsChanged, this, followLaunchAtLogin);
    connect(&m_appState, &AppState::storageReadyChanged, this, followLaunchAtLogin);

    observeNow(&m_appState, &AppState::settingsChanged, this, [this] {
        const bool full = m_appState.settings().fullHeight;
        if (m_fullHeight == full)
            return;
        m_fullHeight = full;
        m_popover->setContentSize(
            QSize(PopoverWindow::popoverWidth, full ? PopoverWindow::fullHeight : PopoverWindow::regularHeight));
    });
}

void AppDelegate::applyStorageReady(bool ready)
{
    if (m_storageReady == ready)
        return;
    m_storageReady = ready;
    if (ready) {
        Scheduler::current().after(0, this, [this] {
            startEngine();
            startBackgroundSync();
        });
    } else {
        if (!libraryUsable())
            m_engine.stop();
        stopBackgroundSync();
    }
}

bool AppDelegate::libraryUsable() const
{
    if (m_appState.storageReady())
        return true;
    // A save that failed (a full disk, a read-only folder) leaves the library in memory as it
    // is on disk: typing goes on expanding from it while the recovery screen tells the user
    // why nothing can be saved. Anything else (a damaged or changed file, an interrupted
    // sync) stops expansion until it is resolved.
    const LocalStore& store = *m_environment.store;
    const QList<LocalStore::Resource> failing = store.issues().keys();
    return !failing.isEmpty() && std::all_of(failing.cbegin(), failing.cend(), [&store](LocalStore::Resource resource) {
        return store.isWriteFailure(resource);
    });
}

// Sync runs while storage is ready and someone is signed in. The sign-in current at launch is
// acted on here once; the subscription only follows changes.
void AppDelegate::followSignIn()
{
    CredentialsProvider* account = m_environment.account;
    if (!account)
        return;
    m_loggedIn = account->isLoggedIn();
    startBackgroundSync();
    connect(account, &CredentialsProvider::isLoggedInChanged, this, [this](bool loggedIn) {
        if (m_loggedIn == loggedIn)
            return;
        m_loggedIn = loggedIn;
        if (loggedIn)
            startBackgroundSync();
        else
            stopBackgroundSync();
    });
}

void AppDelegate::startBackgroundSync()
{
    if (m_environment.backgroundSync && m_environment.account && m_environment.account->isLoggedIn()
        && m_appState.storageReady())
        m_environment.backgroundSync->start(*m_sync);
}

void AppDelegate::stopBackgroundSync()
{
    if (m_environment.backgroundSync)
        m_environment.backgroundSync->stop();
}

void AppDelegate::applyTheme(AppTheme theme)
{
    m_followsSystemAppearance = theme == AppTheme::system;
    if (theme == AppTheme::dark)
        Theme::setAppearance(Appearance::dark);
    else if (theme == AppTheme::light)
        Theme::setAppearance(Appearance::light);
    else if (m_environment.systemAppearance)
        Theme::setAppearance(m_environment.systemAppearance->appearance());
}

void AppDelegate::applyLaunchAtLogin(bool enabled)
{
    if (!m_environment.loginItem)
        return;
    try {
        if (enabled)
            m_environment.loginItem->registerApplication();
        else
            m_environment.loginItem->unregisterApplication();
    } catch (const VelmoraError& error) {
        m_environment.print(QStringLiteral("[LaunchAtLogin] Failed: ") + error.errorDescription());
    }
}

// ---------------------------------------------------------------- engine

bool AppDelegate::isTrusted() const
{
    return m_environment.desktop.trust && m_environment.desktop.trust->isProcessTrusted();
}

void AppDelegate::startEngine()
{
    if (!m_expansionEnabled || !libraryUsable() || !isTrusted() || m_engine.isRunning())
        return;
    QPointer<AppDelegate> self(this);
    m_engine.start(m_appState.userData().shortcuts,
        [self](const QString& trigger, const QString& expansion, const QString& shortcutId) {
            Scheduler::current().after(0, nullptr, [self, trigger, expansion, shortcutId] {
                if (self) {
                    if (AccessibilityTrust* trust = self->m_environment.desktop.trust)
                        trust->setUnreachableApplication(QString());
                    const qint64 charsSaved = Text::graphemeCount(expansion) - Text::graphemeCount(trigger);
                    self->m_appState.recordShortcutExpansion(shortcutId, charsSaved);
                }
                TutorialManager::shared().notifyExpansion();
            });
        });
}

// ---------------------------------------------------------------- popover

void AppDelegate::buildPopover()
{
    m_popover = std::make_unique<PopoverWindow>();
    m_keyMonitor = new PopoverKeyHandler(*m_popover, m_appState,
        {.quit = [this] { m_environment.terminate(); },
            .closePopover = [this] { closePopover(); },
            .endEditing = {},
            .typingText = {}});
    m_popover->setContent(m_environment.makeContent(m_popover.get(), m_appState, commands()));
    // The recovery screen pauses sync before it repairs anything.
    if (auto* shell = qobject_cast<MenuBarPopover*>(m_popover->content()); shell && m_environment.backgroundSync) {
        BackgroundSyncManager* sync = m_environment.backgroundSync;
        shell->setStopSync([sync] { sync->coordinator().stop(); });
        if (auto* auth = qobject_cast<AuthService*>(m_environment.account))
            shell->setAccountServices({auth, &sync->coordinator(), m_sync, m_environment.backend});
    }
    connect(m_popover.get(), &PopoverWindow::closed, this, &AppDelegate::popoverDidClose);
    // Switching to another application closes the popover, as a click elsewhere does.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive && m_popover->isShown())
            closeFromOutside();
    });
}

void AppDelegate::connectTutorial()
{
    TutorialManager& tutorial = TutorialManager::shared();
    m_tutorialPanels = std::make_unique<TutorialPanels>(tutorial);
    tutorial.setPresenters(m_tutorialPanels->presenters([] { ExternalBrowser::current().open(chatSite); }));
}

PopoverCommands& AppDelegate::commands()
{
    return m_keyMonitor->commands();
}

void AppDelegate::togglePopover()
{
    if (m_popover->isShown()) {
        closePopover();
        return;
    }
    if (m_outsideCloseAt && secondsBetween(*m_outsideCloseAt, Clock::current().now()) < outsideCloseGrace)
        return;
    showPopover();
}

void AppDelegate::showPopover()
{
    if (m_popover->isShown())
        return;
    const std::optional<QDateTime>& closedAt = m_appState.lastPopoverCloseAt;
    if (closedAt && secondsBetween(*closedAt, Clock::current().now()) > resetAfterClosedFor)
        NotificationCenter::instance().post(Notifications::velmoraResetToMain);
    showPopoverUnderStatusItem(true);
    Scheduler::current().after(0, this, [this] { installOutsideClickMonitor(); });
}

void AppDelegate::showPopoverUnderStatusItem(bool activate)
{
    m_popover->showRelativeTo(m_statusItem->geometry(), activate);
}

void AppDelegate::closePopover()
{
    m_popover->performClose();
}

void AppDelegate::closeFromOutside()
{
    // A file dialog the popover opened is modal to it: the popover stays while the dialog is
    // up, so the dialog never stands alone and what it leads to (a toast) is seen.
    const QList<QDialog*> dialogs = m_popover->findChildren<QDialog*>();
    if (std::any_of(dialogs.cbegin(), dialogs.cend(), [](const QDialog* dialog) { return dialog->isVisible(); }))
        return;
    m_outsideCloseAt = Clock::current().now();
    closePopover();
}

void AppDelegate::installOutsideClickMonitor()
{
    EventSource* events = m_environment.mouseEvents;
    if (m_outsideClickMonitor || !events || !m_popover->isShown())
        return;
    m_outsideClickMonitor = events->install(mouseDowns, [this](const InputEvent& event) {
        if (event.type == InputEventType::sourceDisabled) {
            m_environment.mouseEvents->setEnabled(true);
            return;
        }
        // The watch sees the clicks on Velmora's own windows too; only the others count.
        if (m_popover->isShown() && !QApplication::widgetAt(QCursor::pos()))
            closeFromOutside();
    });
}

void AppDelegate::removeOutsideClickMonitor()
{
    if (!m_outsideClickMonitor)
        return;
    m_environment.mouseEvents->remove();
    m_outsideClickMonitor = false;
}

void AppDelegate::popoverDidClose()
{
    removeOutsideClickMonitor();
    m_appState.lastPopoverCloseAt = Clock::current().now();
    // An open question is dropped, not answered.
    m_appState.cancelRequest();
    NotificationCenter::instance().post(Notifications::velmoraDismissOverlays);
}

// ---------------------------------------------------------------- status menu

void AppDelegate::buildStatusMenu()
{
    using Command = PopoverCommands::Command;
    m_statusMenu = std::make_unique<QMenu>();
    ThemedMenu::closeWhenTriggered(m_statusMenu.get());
    auto add = [this](const QString& title, void (AppDelegate::*action)()) {
        QAction* item = m_statusMenu->addAction(title);
        connect(item, &QAction::triggered, this, action);
        return item;
    };
    // The new items show the popover's keys for them, which act only in the popover.
    auto addNew = [&](Command command, void (AppDelegate::*action)()) {
        QAction* item = add(commands().action(command)->text(), action);
        item->setShortcuts(commands().action(command)->shortcuts());
        item->setShortcutContext(Qt::WidgetShortcut);
    };
    addNew(Command::newShortcut, &AppDelegate::menuNewShortcut);
    addNew(Command::newFolder, &AppDelegate::menuNewFolder);
    m_statusMenu->addSeparator();
    m_toggleAction = add(StatusMenuText::expansionToggleTitle(false), &AppDelegate::menuToggleExpansion);
    m_statusMenu->addSeparator();
    m_statisticsAction = m_statusMenu->addAction(StatusMenuText::statisticsLine(m_appState.stats()));
    m_statisticsAction->setEnabled(false);
    m_statusMenu->addSeparator();
    add(QStringLiteral("Replay Tutorial"), &AppDelegate::menuReplayTutorial);
    m_statusMenu->addSeparator();
    m_statusMenu->addAction(commands().action(Command::quit));
    // The tray opens the menu itself; its two changing lines are brought up to date just
    // before it shows.
    connect(m_statusMenu.get(), &QMenu::aboutToShow, this, &AppDelegate::updateStatusMenu);
    updateStatusMenu();
}

void AppDelegate::updateStatusMenu()
{
    m_toggleAction->setText(StatusMenuText::expansionToggleTitle(m_engine.isRunning()));
    m_statisticsAction->setText(StatusMenuText::statisticsLine(m_appState.stats()));
}

void AppDelegate::menuNewShortcut()
{
    openFromStatusMenu(PopoverCommands::Command::newShortcut);
}

void AppDelegate::menuNewFolder()
{
    openFromStatusMenu(PopoverCommands::Command::newFolder);
}

void AppDelegate::openFromStatusMenu(PopoverKeyboardShortcuts::Command command)
{
    // Under a sheet (the icon chooser over a folder's draft) the command is held back: the
    // popover comes up with the sheet as it was, and nothing typed is lost.
    commands().trigger(command);
    // Without the 60-second return to the list, which would undo the screen just asked for,
    // and without the watch for clicks elsewhere. The popover takes the keyboard, also when it
    // is shown already (the menu had it), so that what the user types next goes into the
    // form's first field or the sheet; shown, it stays where it is.
    if (!m_popover->isShown()) {
        showPopoverUnderStatusItem(true);
        return;
    }
    m_popover->raise();
    m_popover->activateWindow();
}

void AppDelegate::menuToggleExpansion()
{
    if (!m_appState.storageReady())
        return;
    if (m_engine.isRunning()) {
        m_expansionEnabled = false;
        m_engine.stop();
        ToastManager::shared().show(QStringLiteral("Expansion disabled"));
        return;
    }
    m_expansionEnabled = true;
    startEngine();
    ToastManager::shared().show(m_engine.isRunning() ? QStringLiteral("Expansion enabled")
                                                     : QStringLiteral("Accessibility permission is required"));
}

void AppDelegate::menuReplayTutorial()
{
    if (!m_popover->isShown())
        showPopoverUnderStatusItem(false);
    TutorialManager::shared().startAfter(tutorialStartDelay);
}

void AppDelegate::menuQuit()
{
    commands().trigger(PopoverCommands::Command::quit);
}

void AppDelegate::endApplication()
{
    // Qt's own quit first asks every window to close, and the popover and tutorial panels
    // only hide when asked; any window that declines keeps the program running. Leaving
    // every event loop at once ends it whatever is open, including the nested loops of
    // menus and dialogs, whose exec() then returns as if cancelled.
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
            dialog->reject();
    }
    QCoreApplication::exit(0);
}

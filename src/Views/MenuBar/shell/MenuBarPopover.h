#pragma once

#include "App/State/PopoverCommands.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/MenuBar/account/AccountServices.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/screen/PopoverScreen.h"
#include "Views/MenuBar/screen/PopoverScreens.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class AppState;
class ToastManager;
class ToastOverlay;
class TutorialOverlay;
class VisualEffectBackground;

// The popover's root: 340 pixels wide and 560 high (800 with the full-height setting). It
// owns which screen is shown and lays, from the bottom up: the window material with its
// tint, the current screen, the toasts, the tutorial's spotlight, and the pending
// confirmation. While storage is not
// ready all of that is disabled and the storage recovery screen lies over it, the only
// thing that takes input; toasts are not drawn then.
//
// It turns the in-process notifications into screen changes. Escape and Return that no
// focused control took go to the shown screen's ScreenKeyActions; an Escape the screen does
// not take posts "velmoraClosePopover". It tells the popover's commands whether the main list
// is shown, the one time the list's commands act, and whether a layer covers the screen, when
// no command that acts on the screen does.
//
// Build it inside the window that shows it (that window as `parent`, or a widget already in
// it): the window is made see-through, where the desktop allows, before it first appears.
class MenuBarPopover : public QWidget {
    Q_OBJECT
public:
    static constexpr int popoverWidth = 340;
    static constexpr int regularHeight = 560;
    static constexpr int fullHeight = 800;

    // With the popover's commands, which outlive it.
    MenuBarPopover(AppState& appState, const PopoverScreen& screen, PopoverCommands& commands,
        QWidget* parent = nullptr, ToastManager* toast = nullptr);
    // With commands of its own, whose quit runs `onQuit` and whose close posts
    // "velmoraClosePopover".
    MenuBarPopover(AppState& appState, const PopoverScreen& screen, std::function<void()> onQuit,
        QWidget* parent = nullptr, ToastManager* toast = nullptr);
    ~MenuBarPopover() override;

    const PopoverScreen& screen() const { return m_screen; }
    // A change of the screen's kind, or of the record an editor edits, builds the new
    // screen; writing the screen that is already shown changes nothing.
    void setScreen(const PopoverScreen& screen);
    ScreenBinding screenBinding();

    // Replaces the screen switch's factories and rebuilds the current screen.
    void setScreens(PopoverScreens screens);
    // Run before a fresh start in the recovery screen, to pause sync. Nothing by default.
    void setStopSync(std::function<void()> stopSync);
    // The account and sync objects the account screen shows; without them "Account" shows
    // the main list.
    void setAccountServices(AccountServices services);

    QWidget* currentScreenWidget() const { return m_screenWidget; }
    PopoverCommands& commands() const { return *m_commands; }
    // The main list is the screen shown.
    bool showsListAlone() const;
    ToastOverlay* toastOverlay() const { return m_toast; }
    TutorialOverlay* tutorialOverlay() const { return m_tutorial; }
    // The question shown, or null.
    ConfirmationOverlay* confirmationOverlay() const;
    // Shown while storage is not ready, else null.
    StorageRecoveryView* recoveryView() const { return m_recovery; }
    // Everything under the recovery screen (disabled while storage is not ready).
    QWidget* content() const { return m_content; }

Q_SIGNALS:
    // The kind of screen changed (an editor of another record is not a change). The
    // tutorial, which follows the user through the screens, has been told already.
    void screenChanged(const PopoverScreen& screen);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    MenuBarPopover(AppState& appState, const PopoverScreen& screen, PopoverCommands* commands,
        std::function<void()> onQuit, QWidget* parent, ToastManager* toast);
    void observeNotifications();
    void resetToMain();
    void buildScreen();
    void applySize();
    void applyStorageState();
    void followConfirmation();
    void layoutLayers();
    QImage snapshotBeneathOverlays() const;

    AppState& m_appState;
    ToastManager& m_toasts;
    PopoverScreen m_screen;
    QPointer<PopoverCommands> m_commands;
    std::function<void()> m_stopSync;
    AccountServices m_account;
    PopoverScreens m_screens;

    QWidget* m_content;
    VisualEffectBackground* m_background;
    QWidget* m_screenHost;
    QPointer<QWidget> m_screenWidget;
    ToastOverlay* m_toast;
    TutorialOverlay* m_tutorial;
    QPointer<ConfirmationOverlay> m_confirmation;
    QPointer<QWidget> m_focusBeforeConfirmation;
    QPointer<StorageRecoveryView> m_recovery;
};

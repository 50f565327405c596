#include "Views/MenuBar/shell/MenuBarPopover.h"

#include "App/State/AppState.h"
#include "App/State/PopoverCommands.h"
#include "Persistence/LocalStore.h"
#include "Services/TutorialManager.h"
#include "Utilities/Notifications.h"
#include "Utilities/Theme.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/Components/ModalLayers.h"
#include "Views/Components/ScreenHeader.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/VisualEffectBackground.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/screen/ScreenKeyActions.h"
#include "Views/MenuBar/shell/StandardScreens.h"
#include "Views/MenuBar/shell/ToastOverlay.h"
#include "Views/MenuBar/tutorial/TutorialOverlay.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace {
// The popover's window material, seen through from behind the window.
constexpr auto backgroundMaterial = VisualEffectBackground::Material::hudWindow;
constexpr auto backgroundBlending = VisualEffectBackground::BlendingMode::behindWindow;
} // namespace

MenuBarPopover::MenuBarPopover(
    AppState& appState, const PopoverScreen& screen, PopoverCommands& commands, QWidget* parent, ToastManager* toast)
    : MenuBarPopover(appState, screen, &commands, {}, parent, toast)
{
}

MenuBarPopover::MenuBarPopover(
    AppState& appState, const PopoverScreen& screen, std::function<void()> onQuit, QWidget* parent, ToastManager* toast)
    : MenuBarPopover(appState, screen, nullptr, std::move(onQuit), parent, toast)
{
}

MenuBarPopover::MenuBarPopover(AppState& appState, const PopoverScreen& screen, PopoverCommands* commands,
    std::function<void()> onQuit, QWidget* parent, ToastManager* toast)
    : QWidget(parent)
    , m_appState(appState)
    , m_toasts(toast ? *toast : ToastManager::shared())
    , m_screen(screen)
    , m_commands(commands)
    , m_screens(standardPopoverScreens())
{
    setObjectName(QStringLiteral("MenuBarPopover"));
    if (!m_commands) {
        m_commands = new PopoverCommands(appState,
            {.quit = std::move(onQuit),
                .closePopover = [] { NotificationCenter::instance().post(Notifications::velmoraClosePopover); },
                .endEditing =
                    [this] {
                        QWidget* layer = ModalLayers::top(m_content);
                        (layer ? layer : m_content)->setFocus(Qt::OtherFocusReason);
                    },
                .typingText = {}},
            this);
    }
    m_commands->setListShown([this] { return showsListAlone(); });
    m_commands->setCovered([this] { return ModalLayers::anyUp(this); });
    connect(m_commands, &PopoverCommands::screenRequested, this, [this](PopoverKeyboardShortcuts::Command command) {
        setScreen(command == PopoverKeyboardShortcuts::Command::openAccount ? PopoverScreen::account()
                                                                            : PopoverScreen::stats());
    });
    m_content = new QWidget(this);
    // Both hold the keyboard when no control does (a screen that focuses nothing when it
    // opens, a text field left with Escape): a screen reader then names the screen.
    AccessibleRoles::setRole(this, QAccessible::Pane);
    AccessibleRoles::setRole(m_content, QAccessible::Pane);
    m_background = new VisualEffectBackground(backgroundMaterial, backgroundBlending, m_content);
    m_background->setTint(&Theme::windowTint);
    m_screenHost = new QWidget(m_content);
    auto* screenLayout = new QVBoxLayout(m_screenHost);
    screenLayout->setContentsMargins(0, 0, 0, 0);
    screenLayout->setSpacing(0);
    m_toast = new ToastOverlay(m_toasts, m_content);
    m_tutorial = new TutorialOverlay(TutorialManager::shared(), m_content);

    buildScreen();
    observeNotifications();
    observeNow(&m_appState, &AppState::settingsChanged, this, [this] { applySize(); });
    observeNow(&m_appState, &AppState::storageReadyChanged, this, [this] { applyStorageState(); });
    observeNow(&m_appState, &AppState::pendingConfirmationChanged, this, [this] { followConfirmation(); });
}

MenuBarPopover::~MenuBarPopover()
{
    if (m_commands) {
        m_commands->setListShown({});
        m_commands->setCovered({});
    }
}

bool MenuBarPopover::showsListAlone() const
{
    // The layers over it (a question, the recovery screen, a sheet) the commands ask about
    // on their own.
    return m_screen.kind() == PopoverScreen::Kind::main;
}

void MenuBarPopover::setScreen(const PopoverScreen& screen)
{
    const bool kindChanged = screen.kind() != m_screen.kind();
    const bool carriesRecord = screen.shortcut() || screen.group();
    m_screen = screen;
    if (!kindChanged && !carriesRecord)
        return;
    buildScreen();
    if (kindChanged) {
        TutorialManager::shared().notifyScreenChanged(m_screen.tag());
        Q_EMIT screenChanged(m_screen);
    }
}

ScreenBinding MenuBarPopover::screenBinding()
{
    QPointer<MenuBarPopover> self(this);
    return ScreenBinding([self] { return self ? self->screen() : PopoverScreen::main(); },
        [self](const PopoverScreen& screen) {
            if (self)
                self->setScreen(screen);
        });
}

void MenuBarPopover::setScreens(PopoverScreens screens)
{
    m_screens = std::move(screens);
    buildScreen();
}

void MenuBarPopover::setStopSync(std::function<void()> stopSync)
{
    m_stopSync = std::move(stopSync);
}

void MenuBarPopover::setAccountServices(AccountServices services)
{
    m_account = std::move(services);
    if (m_recovery)
        m_recovery->setCloudLibraryOffered(m_account.librarySyncAvailable());
    if (m_screen.kind() == PopoverScreen::Kind::account)
        buildScreen();
}

ConfirmationOverlay* MenuBarPopover::confirmationOverlay() const
{
    return m_confirmation && !m_confirmation->isDismissed() ? m_confirmation.data() : nullptr;
}

void MenuBarPopover::observeNotifications()
{
    NotificationCenter& center = NotificationCenter::instance();
    center.observe(
        Notifications::velmoraNewShortcut, this, [this](const QVariant&) { setScreen(PopoverScreen::newShortcut()); });
    center.observe(Notifications::velmoraEditShortcut, this, [this](const QVariant& object) {
        if (object.metaType() == QMetaType::fromType<Shortcut>())
            setScreen(PopoverScreen::editShortcut(object.value<Shortcut>()));
    });
    center.observe(
        Notifications::velmoraNewFolder, this, [this](const QVariant&) { setScreen(PopoverScreen::newFolder()); });
    center.observe(
        Notifications::velmoraOpenSettings, this, [this](const QVariant&) { setScreen(PopoverScreen::settings()); });
    // An unlock notice clicked while a sheet is up brings the popover forward only: the screen
    // under the sheet may hold a draft that switching screens would throw away.
    center.observe(Notifications::velmoraOpenAchievements, this, [this](const QVariant&) {
        if (!ModalLayers::anyUp(this))
            setScreen(PopoverScreen::achievements());
    });
    center.observe(Notifications::velmoraResetToMain, this, [this](const QVariant&) { resetToMain(); });
}

void MenuBarPopover::resetToMain()
{
    // A pending question survives the reset; only the list's own state goes back.
    setScreen(PopoverScreen::main());
    m_appState.setCurrentGroupId(std::nullopt);
    m_appState.setSearchQuery(QString());
    m_appState.setReviewingDuplicateShortcuts(false);
    m_appState.setSelectedIds({});
}

void MenuBarPopover::buildScreen()
{
    if (m_screenWidget) {
        // The old screen may be the one whose click led here: it goes once that click is over.
        m_screenWidget->hide();
        m_screenWidget->deleteLater();
    }
    const PopoverScreenContext context{
        m_appState, m_screen, screenBinding(), *m_commands, m_account.isComplete() ? &m_account : nullptr};
    m_screenWidget = m_screens.build(context);
    m_screenHost->layout()->addWidget(m_screenWidget);
    const auto* header = m_screenWidget->findChild<const ScreenHeader*>();
    const QString title = header ? header->titleLabel()->text() : QStringLiteral("Shortcuts");
    setAccessibleName(title);
    m_content->setAccessibleName(title);
    m_commands->refresh();
    // The keyboard stays with the popover across a change of screen: a screen that focuses
    // nothing itself when it shows (settings, statistics) leaves it with the content, where
    // Escape still closes the popover, rather than with the screen that went. The screen
    // shows once the event loop runs, after this.
    QMetaObject::invokeMethod(
        this,
        [this, screen = QPointer<QWidget>(m_screenWidget)] {
            if (!screen || screen != m_screenWidget || !isVisible())
                return;
            const QWidget* focus = window()->focusWidget();
            if (!focus || !focus->isVisible() || !isAncestorOf(focus))
                m_content->setFocus(Qt::OtherFocusReason);
        },
        Qt::QueuedConnection);
    if (m_confirmation && !m_confirmation->isDismissed()) {
        m_screenHost->layout()->activate();
        m_confirmation->refreshBackdrop();
    }
}

void MenuBarPopover::applySize()
{
    setFixedSize(popoverWidth, m_appState.settings().fullHeight ? fullHeight : regularHeight);
}

void MenuBarPopover::applyStorageState()
{
    const bool ready = m_appState.storageReady();
    m_content->setEnabled(ready);
    m_toast->setVisible(ready);
    if (ready && m_recovery) {
        m_recovery->hide();
        m_recovery->deleteLater();
        m_recovery = nullptr;
        if (isVisible() && m_screenWidget)
            m_screenWidget->setFocus();
    } else if (!ready && !m_recovery) {
        QPointer<MenuBarPopover> self(this);
        m_recovery = new StorageRecoveryView(
            m_appState.store(),
            [self] {
                if (self)
                    self->m_appState.retryStorage();
            },
            [self] {
                if (self)
                    self->setScreen(PopoverScreen::account());
            },
            [self] {
                if (self && self->m_stopSync)
                    self->m_stopSync();
            },
            this);
        m_recovery->setCloudLibraryOffered(m_account.librarySyncAvailable());
        m_recovery->setGeometry(rect());
        m_recovery->show();
        m_recovery->setFocus();
    }
}

void MenuBarPopover::followConfirmation()
{
    const bool wasShown = m_confirmation && !m_confirmation->isDismissed();
    if (wasShown)
        m_confirmation->dismiss();
    const std::optional<ConfirmationRequest>& pending = m_appState.pendingConfirmation();
    // A question lies over the spotlight and answers Escape itself.
    m_tutorial->setEnabled(!pending);
    if (!pending) {
        m_confirmation = nullptr;
        if (wasShown && m_focusBeforeConfirmation && m_focusBeforeConfirmation->isVisible())
            m_focusBeforeConfirmation->setFocus();
        return;
    }
    if (!wasShown) {
        QWidget* focus = QApplication::focusWidget();
        m_focusBeforeConfirmation = focus && m_content->isAncestorOf(focus) ? focus : nullptr;
    }
    QPointer<MenuBarPopover> self(this);
    auto* overlay = new ConfirmationOverlay(
        *pending,
        [self] {
            if (self)
                self->m_appState.confirmRequest();
        },
        [self] {
            if (self)
                self->m_appState.cancelRequest();
        },
        m_content);
    overlay->setBackdropSource([this] { return snapshotBeneathOverlays(); });
    m_confirmation = overlay;
    overlay->present();
}

QImage MenuBarPopover::snapshotBeneathOverlays() const
{
    const qreal ratio = devicePixelRatioF();
    QImage image(m_content->size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    m_background->render(&painter, m_background->pos());
    m_screenHost->render(&painter, m_screenHost->pos(), QRegion(), QWidget::DrawChildren);
    return image;
}

void MenuBarPopover::layoutLayers()
{
    m_content->setGeometry(rect());
    for (QWidget* layer : m_content->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        layer->setGeometry(m_content->rect());
    if (m_recovery)
        m_recovery->setGeometry(rect());
}

void MenuBarPopover::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutLayers();
}

void MenuBarPopover::keyPressEvent(QKeyEvent* event)
{
    // Reached by the keys that nothing focused took and no layer above (a question) kept,
    // and never while the recovery screen is up: the rest of the popover is disabled then.
    if (!m_content->isEnabled()) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (ScreenKeyActions::dispatch(m_screenWidget, event))
        return;
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        NotificationCenter::instance().post(Notifications::velmoraClosePopover);
        return;
    }
    QWidget::keyPressEvent(event);
}

void MenuBarPopover::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Each showing hands the background the popover's material and blending again, so the
    // popover shows its own material whatever was set on the background while it was hidden.
    m_background->setMaterial(backgroundMaterial);
    m_background->setBlendingMode(backgroundBlending);
    // Keys reach the popover only through a focused widget inside it. The window's own
    // focus counts, not the application's: a screen opened while the window was hidden
    // (New Folder from the tray menu) has already put it in its first field.
    QWidget* focus = window()->focusWidget();
    if (!focus || !isAncestorOf(focus)) {
        if (m_recovery)
            m_recovery->setFocus();
        else
            m_content->setFocus();
    }
}

bool MenuBarPopover::focusNextPrevChild(bool next)
{
    // Whatever control Tab leaves, it stays inside a layer that is up.
    return ModalLayers::focusNextInside(this, next) || QWidget::focusNextPrevChild(next);
}

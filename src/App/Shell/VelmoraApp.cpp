#include "App/Shell/VelmoraApp.h"
#include "Utilities/HeapPolicy.h"

#include "App/Shell/AppDelegate.h"
#include "App/Shell/SingleInstance.h"
#include "Engine/ExpansionReplacement.h"
#include "Persistence/KeychainHelper.h"
#include "Services/AuthService.h"
#include "Services/BackgroundSyncManager.h"
#include "Services/SupabaseClient.h"
#include "Services/SupabaseSyncRemote.h"
#include "Utilities/Constants.h"
#include "Views/Components/ViewStyle.h"
#include "platform/MotionSettings.h"
#include "platform/WindowEffects.h"
#include "platform/linux/DesktopBrowser.h"
#include "platform/linux/DesktopColorScheme.h"
#include "platform/linux/DesktopMotionSettings.h"
#include "platform/linux/LibsecretStore.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/QtPlainTextClipboard.h"
#include "platform/linux/SessionType.h"
#include "platform/linux/WaylandWindowEffects.h"
#include "platform/linux/X11MouseWatch.h"
#include "platform/linux/X11WindowEffects.h"
#include "platform/linux/XdgAutostartLoginItem.h"

#include <QDesktopServices>
#include <QFile>
#include <QSocketNotifier>
#include <QUrl>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The first argument in this program's own URL scheme, as the browser passed it: the desktop
// entry starts "velmora %u" for "velmora:" links.
QString ownSchemeArgument()
{
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (const QString& argument : arguments) {
        if (argument.startsWith(QLatin1String("velmora:"), Qt::CaseInsensitive))
            return argument;
    }
    return {};
}

// A termination signal only writes a byte here; the event loop reads it and quits as the
// menu does, so that everything is shut down in order.
int g_signalPipe[2] = {-1, -1};

// Where the single-instance socket and lock live, for the last resort below, which may only
// use what is safe inside a signal handler.
char g_socketPath[4096];
char g_lockPath[4096];
// Seconds the ordered shutdown may take before the process ends without it.
constexpr unsigned shutdownGraceSeconds = 3;
// The ordered shutdown lets a replacement under way end first.
static_assert(ExpansionReplacement::longestSeconds + 1 < shutdownGraceSeconds);

void noteSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    // A main thread stuck in a blocking call never reads the pipe; logging out must still end
    // the program, so a timer ends it without the ordered shutdown.
    ::alarm(shutdownGraceSeconds);
}

void endWithoutShutdown(int)
{
    // The data files are replaced atomically, so nothing half-written is left; only the
    // single-instance files would be, and a later start would take them over anyway.
    if (g_socketPath[0] != 0)
        ::unlink(g_socketPath);
    if (g_lockPath[0] != 0)
        ::unlink(g_lockPath);
    ::_exit(1);
}

void copyPath(char* target, std::size_t size, const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    if (std::size_t(encoded.size()) >= size)
        return;
    std::memcpy(target, encoded.constData(), std::size_t(encoded.size()) + 1);
}

} // namespace

VelmoraApp::VelmoraApp(int& argc, char** argv)
    : m_application(argc, argv)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.velmora.Velmora"));
    QGuiApplication::setQuitOnLastWindowClosed(false);
    useInterfaceFont();
    HeapPolicy::returnLargeBuffers();
}

VelmoraApp::~VelmoraApp()
{
    m_delegate.reset();
    m_backgroundSync.reset();
    m_auth.reset();
    ExternalBrowser::setCurrent(nullptr);
    WindowEffects::setCurrent(nullptr);
    MotionSettings::setCurrent(nullptr);
    Desktop::setCurrent(Desktop());
}

int VelmoraApp::exec()
{
    m_instance = std::make_unique<SingleInstance>();
    if (!m_instance->claim(ownSchemeArgument()))
        return 0;
    quitOnTerminationSignals();

    // The engine's desktop must be in place before the delegate makes the engine.
    // On a Wayland session nothing of X11 is used, not even XWayland's display where there is
    // one: no window shapes (the compositor draws the popover's corners as it draws any
    // window's), no session-wide mouse watch (the popover closes when it loses the focus), and
    // no window of the window system's for what appears by itself over the application being
    // typed in (the compositor would give it the keyboard).
    const SessionType session = SessionTypes::current();
    m_desktop = std::make_unique<LinuxDesktop>(session);
    Desktop::setCurrent(m_desktop->desktop());
    m_motion = std::make_unique<DesktopMotionSettings>();
    MotionSettings::setCurrent(m_motion.get());
    if (session == SessionType::x11) {
        m_desktop->keepClipboardAfterExit(QCoreApplication::applicationFilePath());
        m_windowEffects = std::make_unique<X11WindowEffects>();
    } else {
        m_windowEffects = std::make_unique<WaylandWindowEffects>();
    }
    WindowEffects::setCurrent(m_windowEffects.get());
    m_colorScheme = std::make_unique<DesktopColorScheme>();
    m_loginItem = std::make_unique<XdgAutostartLoginItem>();
    m_clipboard = std::make_unique<QtPlainTextClipboard>();
    if (session == SessionType::x11)
        m_mouseWatch = std::make_unique<X11MouseWatch>();
    m_browser = std::make_unique<DesktopBrowser>();
    ExternalBrowser::setCurrent(m_browser.get());

    // The account and library sync of the configured backend; without a usable configuration
    // both stay off and the credential store is never read.
    const SupabaseHTTPClient& client = SupabaseClient::client();
    const std::optional<BackendConfiguration>& backend = BackendConfiguration::current();
    m_auth = std::make_unique<AuthService>(client,
        std::make_unique<KeychainHelper>(
            KeychainHelper::forProject(backend ? backend->projectURL : QString(), std::make_shared<LibsecretStore>())),
        *m_browser);
    const bool librarySync = backend && backend->isValid() && backend->cloudEnabled && backend->syncEnabled;
    m_backgroundSync = std::make_unique<BackgroundSyncManager>(
        *m_auth, std::make_unique<SupabaseSyncRemote>(client), Constants::supabaseURL(), librarySync);

    AppDelegate::Environment environment;
    environment.desktop = Desktop::current();
    environment.mouseEvents = m_mouseWatch ? &m_mouseWatch->events() : nullptr;
    environment.loginItem = m_loginItem.get();
    environment.systemAppearance = m_colorScheme.get();
    environment.clipboard = m_clipboard.get();
    environment.account = m_auth.get();
    environment.backgroundSync = m_backgroundSync.get();
    environment.backend = backend;
    m_delegate = std::make_unique<AppDelegate>(std::move(environment));
    QObject::connect(m_instance.get(), &SingleInstance::activationRequested, m_delegate.get(),
        [delegate = m_delegate.get()] { delegate->applicationShouldHandleReopen(); });
    // The browser's return from sign-in goes to the sign-in waiting for it, and the popover
    // comes forward to show how it went.
    QObject::connect(m_instance.get(), &SingleInstance::urlReceived, m_delegate.get(),
        [browser = m_browser.get(), delegate = m_delegate.get()](const QString& url) {
            browser->deliver(url);
            delegate->applicationShouldHandleReopen();
        });
    m_delegate->applicationDidFinishLaunching();
    // Reading a large library leaves the heap full of freed buffers (its file's bytes, the
    // parse tree of a file laid out otherwise); those pages go back before the first use.
    HeapPolicy::trim();
    const int status = QApplication::exec();
    m_delegate->applicationWillTerminate();
    // Leaving every loop at once (a signal, Quit from inside a menu) can leave objects whose
    // deletion was posted; they go before the rest is torn down.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}

void VelmoraApp::quitOnTerminationSignals()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    copyPath(g_socketPath, sizeof g_socketPath, m_instance->socketPath());
    copyPath(g_lockPath, sizeof g_lockPath, m_instance->socketPath() + QStringLiteral(".lock"));
    m_signals = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(m_signals.get(), &QSocketNotifier::activated, m_signals.get(), [] {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) { }
        AppDelegate::endApplication();
    });
    struct sigaction action { };
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // The session ends with SIGTERM or SIGHUP (a closed terminal), a terminal's Ctrl+C with
    // SIGINT: all three end the program as Quit does.
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    struct sigaction watchdog { };
    watchdog.sa_handler = endWithoutShutdown;
    sigemptyset(&watchdog.sa_mask);
    ::sigaction(SIGALRM, &watchdog, nullptr);
}

#include "App/VelmoraApp.h"

#include "App/AppDelegate.h"
#include "App/SingleInstance.h"
#include "Services/TutorialManager.h"
#include "platform/MotionSettings.h"
#include "platform/WindowEffects.h"
#include "platform/linux/DesktopColorScheme.h"
#include "platform/linux/DesktopMotionSettings.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/QtPlainTextClipboard.h"
#include "platform/linux/X11MouseWatch.h"
#include "platform/linux/X11WindowEffects.h"
#include "platform/linux/XdgAutostartLoginItem.h"

#include <QDesktopServices>
#include <QSocketNotifier>
#include <QUrl>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QUrl chatSite(QStringLiteral("https://chatgpt.com/"));

// A termination signal only writes a byte here; the event loop reads it and quits as the
// menu does, so that everything is shut down in order.
int g_signalPipe[2] = {-1, -1};

void noteSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

VelmoraApp::VelmoraApp(int& argc, char** argv)
    : m_application(argc, argv)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    QGuiApplication::setDesktopFileName(QStringLiteral("velmora"));
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

VelmoraApp::~VelmoraApp()
{
    m_delegate.reset();
    WindowEffects::setCurrent(nullptr);
    MotionSettings::setCurrent(nullptr);
    Desktop::setCurrent(Desktop());
}

int VelmoraApp::exec()
{
    m_instance = std::make_unique<SingleInstance>();
    if (!m_instance->claim())
        return 0;
    quitOnTerminationSignals();

    // The engine's desktop must be in place before the delegate makes the engine.
    m_desktop = std::make_unique<LinuxDesktop>();
    Desktop::setCurrent(m_desktop->desktop());
    m_motion = std::make_unique<DesktopMotionSettings>();
    MotionSettings::setCurrent(m_motion.get());
    m_windowEffects = std::make_unique<X11WindowEffects>();
    WindowEffects::setCurrent(m_windowEffects.get());
    m_colorScheme = std::make_unique<DesktopColorScheme>();
    m_loginItem = std::make_unique<XdgAutostartLoginItem>();
    m_clipboard = std::make_unique<QtPlainTextClipboard>();
    m_mouseWatch = std::make_unique<X11MouseWatch>();

    TutorialManager::Presenters presenters;
    presenters.openChatSite = [] { QDesktopServices::openUrl(chatSite); };
    TutorialManager::shared().setPresenters(std::move(presenters));

    AppDelegate::Environment environment;
    environment.desktop = Desktop::current();
    environment.mouseEvents = &m_mouseWatch->events();
    environment.loginItem = m_loginItem.get();
    environment.systemAppearance = m_colorScheme.get();
    environment.clipboard = m_clipboard.get();
    m_delegate = std::make_unique<AppDelegate>(std::move(environment));
    QObject::connect(m_instance.get(), &SingleInstance::activationRequested, m_delegate.get(),
        [delegate = m_delegate.get()] { delegate->applicationShouldHandleReopen(); });
    m_delegate->applicationDidFinishLaunching();
    return QApplication::exec();
}

void VelmoraApp::quitOnTerminationSignals()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_signals = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(m_signals.get(), &QSocketNotifier::activated, m_signals.get(), [this] {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        if (m_delegate)
            m_delegate->menuQuit();
        else
            QCoreApplication::quit();
    });
    struct sigaction action { };
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

#pragma once

#include <QApplication>
#include <memory>

class AppDelegate;
class AuthService;
class BackgroundSyncManager;
class DesktopBrowser;
class QSocketNotifier;
class DesktopColorScheme;
class DesktopMotionSettings;
class LinuxDesktop;
class QtPlainTextClipboard;
class SingleInstance;
class WindowEffects;
class X11MouseWatch;
class XdgAutostartLoginItem;

// The program: the Qt application, the desktop's back ends, and the delegate that runs
// Velmora with them. Only one runs per session: a later start asks the running one to show
// its popover, or hands it the "velmora:" URL it was started with (the browser's return from
// sign-in), and ends.
class VelmoraApp {
public:
    VelmoraApp(int& argc, char** argv);
    ~VelmoraApp();
    VelmoraApp(const VelmoraApp&) = delete;
    VelmoraApp& operator=(const VelmoraApp&) = delete;

    // Runs until the user quits; the process's exit status.
    int exec();

private:
    // SIGTERM, SIGINT and SIGHUP end the program as Quit does, whatever is open.
    void quitOnTerminationSignals();

    QApplication m_application;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<LinuxDesktop> m_desktop;
    std::unique_ptr<DesktopMotionSettings> m_motion;
    std::unique_ptr<WindowEffects> m_windowEffects;
    std::unique_ptr<DesktopColorScheme> m_colorScheme;
    std::unique_ptr<XdgAutostartLoginItem> m_loginItem;
    std::unique_ptr<DesktopBrowser> m_browser;
    std::unique_ptr<QtPlainTextClipboard> m_clipboard;
    std::unique_ptr<X11MouseWatch> m_mouseWatch;
    std::unique_ptr<AuthService> m_auth;
    std::unique_ptr<BackgroundSyncManager> m_backgroundSync;
    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<QSocketNotifier> m_signals;
};

#pragma once

#include <QDBusConnection>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

// The headless Wayland compositors scripts/with-desktop.sh starts beside the X display (sway,
// run as an unprivileged user, and GNOME's mutter), and the tools to act in them as a user would.
namespace WaylandSession {

enum class Compositor {
    sway,
    mutter,
};
QString nameOf(Compositor compositor);

// Empty when the compositor and the accessibility bus are there; otherwise the sentence a test
// gives when it skips.
QString missingPieces(Compositor compositor = Compositor::sway);

enum class Client {
    nativeWayland,
    // An X11 client of the compositor's XWayland.
    xwayland,
};
// The environment a program started into the compositor needs; an X11 client's DISPLAY is empty
// where the compositor started no XWayland.
QProcessEnvironment environment(Client client, Compositor compositor = Compositor::sway);
// What the velmora program is started with over the test's own environment to run as on that
// compositor's desktop: natively, with the compositor's XWayland as its X display.
QProcessEnvironment velmoraEnvironment(Compositor compositor);

// Whether the process has a window the compositor shows, asked of the compositor itself.
bool showsWindowOf(qint64 process);
// Whether a window of the process has the keyboard focus, as the compositor sees it.
bool focusesWindowOf(qint64 process);
// Gives a window of the process the keyboard focus through the compositor (sway), as a click
// on it would, and waits until the compositor says it has it.
bool focusWindowOf(qint64 process);

// A window the compositor shows: its owner's process and its title.
struct Window {
    qint64 process = 0;
    QString title;
    bool focused = false;
};
// The windows the compositor shows, native and XWayland ones alike.
QList<Window> windows();
// The kinds of input devices on sway's seat ("keyboard", "pointer"), one per device.
QStringList swayInputTypes();

// Whether the process holds a connection to an X server (a socket of /tmp/.X11-unix, named or
// abstract), read from /proc.
bool connectsToAnXServer(qint64 process);

// A keyboard of the compositor's own: on sway the virtual-keyboard protocol, through wtype; on
// mutter a session of its RemoteDesktop interface, typing key symbols (only those of the
// compositor's keymap, which is a US one). wtype reads everything it is to type before it types,
// so each text gets a keyboard of its own, kept until the next text: a keyboard that goes away
// takes the window's keyboard focus with it, and a new one gives the application a moment to take
// its keymap before typing. The remote-desktop session lasts as long as this keyboard.
class Keyboard {
public:
    explicit Keyboard(Compositor compositor = Compositor::sway);
    ~Keyboard();
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    // A keyboard that types nothing: the compositor gives a window the keyboard focus only once
    // there is a keyboard.
    bool attach();
    // Types the text, one key per character (Backspace for \b), the given time apart; returns
    // once typing has begun, not once the keys arrived. On mutter a thread of its own types, as
    // a user's keys come whatever the test's own thread (and an engine running on it) is doing.
    bool type(const QString& text, int delayMilliseconds = 25);
    // Presses keys as wtype's arguments name them ("-k", "Tab"; "-M", "ctrl", "a", "-m",
    // "ctrl"), then keeps the keyboard like type(). On mutter only the key names and modifiers
    // the tests use, and no pauses ("-d" is taken as the pace of the keys behind it).
    bool press(const QStringList& keys);

private:
    void stop();
    bool run(const QStringList& arguments);
    bool startRemoteDesktop();
    // A key symbol; whether it is pressed and released (nothing), or only pressed or released;
    // and the pause behind it.
    struct Key {
        quint32 keysym = 0;
        std::optional<bool> only;
        int pauseMilliseconds = 25;
    };
    void queue(const QList<Key>& keys);
    void typeQueuedKeys();

    Compositor m_compositor;
    QProcess m_process;
    std::optional<QDBusConnection> m_bus;
    QString m_session;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    QList<Key> m_keys;
    bool m_ending = false;
    std::unique_ptr<QThread> m_typist;
};

}

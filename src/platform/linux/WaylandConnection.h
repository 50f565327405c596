#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;
struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_seat;
struct wl_shm;
struct zwlr_data_control_manager_v1;
struct zwlr_layer_shell_v1;
struct zwp_virtual_keyboard_manager_v1;

// A connection of our own to the Wayland compositor, apart from the one Qt's windows use (the
// application may not even show its windows through Wayland): through it the platform reaches
// what the compositor offers any client without a focused window, a keyboard of its own, the
// seat's clipboard and surfaces on its layer shell. Its events are read as they arrive, on the
// thread that opened it; everything that waits on it (a clipboard read) handles them meanwhile.
class WaylandConnection : public QObject {
    Q_OBJECT
public:
    // Connects to the compositor named like WAYLAND_DISPLAY (a name in XDG_RUNTIME_DIR or an
    // absolute path); nothing when there is none or it does not answer.
    static std::shared_ptr<WaylandConnection> open(const QString& display = qEnvironmentVariable("WAYLAND_DISPLAY"));
    // The session's connection, shared by everything of the main thread that speaks to the
    // compositor: opened on the first ask, closed once nothing holds it any more.
    static std::shared_ptr<WaylandConnection> session();
    ~WaylandConnection() override;
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return m_display; }
    // Null where the compositor offers none.
    wl_seat* seat() const { return m_seat; }
    zwlr_data_control_manager_v1* dataControl() const { return m_dataControl; }
    zwp_virtual_keyboard_manager_v1* virtualKeyboards() const { return m_virtualKeyboards; }
    wl_compositor* compositor() const { return m_compositor; }
    wl_shm* sharedMemory() const { return m_shm; }
    zwlr_layer_shell_v1* layerShell() const { return m_layerShell; }

    // Sends what was asked and handles every event the compositor sent in answer; false once
    // the connection is broken.
    bool roundtrip();
    // Sends what was asked without waiting.
    void flush();
    // Handles the events that have arrived, without waiting for more.
    void dispatchArrived();
    // Waits until `fd` can be read or the deadline passes, handling this connection's events
    // meanwhile (our own clipboard contents are served through them); false when it cannot.
    bool waitReadable(int fd, QDeadlineTimer deadline);

private:
    explicit WaylandConnection(wl_display* display);
    static void announce(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    static void withdraw(void* data, wl_registry* registry, uint32_t name);
    // Reads what arrived when `readable`, dispatches it; false once the connection is broken.
    bool readEvents(bool readable);

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    zwlr_data_control_manager_v1* m_dataControl = nullptr;
    zwp_virtual_keyboard_manager_v1* m_virtualKeyboards = nullptr;
    wl_compositor* m_compositor = nullptr;
    wl_shm* m_shm = nullptr;
    zwlr_layer_shell_v1* m_layerShell = nullptr;
    QSocketNotifier* m_notifier = nullptr;
};

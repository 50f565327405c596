#include "WaylandConnection.h"

#include "virtual-keyboard-unstable-v1-client.h"
#include "wlr-data-control-unstable-v1-client.h"
#include "wlr-layer-shell-unstable-v1-client.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <wayland-client.h>

std::shared_ptr<WaylandConnection> WaylandConnection::open(const QString& display)
{
    if (display.isEmpty())
        return nullptr;
    wl_display* connected = wl_display_connect(display.toLocal8Bit().constData());
    if (!connected)
        return nullptr;
    std::shared_ptr<WaylandConnection> connection(new WaylandConnection(connected));
    if (!connection->roundtrip())
        return nullptr;
    return connection;
}

std::shared_ptr<WaylandConnection> WaylandConnection::session()
{
    static std::weak_ptr<WaylandConnection> shared;
    Q_ASSERT(!QCoreApplication::instance() || QThread::currentThread() == QCoreApplication::instance()->thread());
    std::shared_ptr<WaylandConnection> connection = shared.lock();
    if (!connection) {
        connection = open();
        shared = connection;
    }
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display)
    : m_display(display)
{
    static const wl_registry_listener listener = {
        .global = &WaylandConnection::announce,
        .global_remove = &WaylandConnection::withdraw,
    };
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &listener, this);
    m_notifier = new QSocketNotifier(wl_display_get_fd(m_display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        if (!readEvents(true))
            m_notifier->setEnabled(false);
    });
}

WaylandConnection::~WaylandConnection()
{
    delete m_notifier;
    if (m_layerShell)
        zwlr_layer_shell_v1_destroy(m_layerShell);
    if (m_shm)
        wl_shm_destroy(m_shm);
    if (m_compositor)
        wl_compositor_destroy(m_compositor);
    if (m_virtualKeyboards)
        zwp_virtual_keyboard_manager_v1_destroy(m_virtualKeyboards);
    if (m_dataControl)
        zwlr_data_control_manager_v1_destroy(m_dataControl);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_registry)
        wl_registry_destroy(m_registry);
    wl_display_flush(m_display);
    wl_display_disconnect(m_display);
}

void WaylandConnection::announce(
    void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto* self = static_cast<WaylandConnection*>(data);
    // Each bound at the highest version that is used (the seat's pointer frames for the layer
    // shell's surfaces, the data control's primary selection), or at what the compositor has.
    auto bind = [&](const wl_interface* wanted, uint32_t highest) {
        return wl_registry_bind(registry, name, wanted, std::min(version, highest));
    };
    const auto is = [interface](const wl_interface& wanted) { return std::strcmp(interface, wanted.name) == 0; };
    // The first seat is the user's.
    if (is(wl_seat_interface) && !self->m_seat)
        self->m_seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
    else if (is(zwlr_data_control_manager_v1_interface) && !self->m_dataControl)
        self->m_dataControl
            = static_cast<zwlr_data_control_manager_v1*>(bind(&zwlr_data_control_manager_v1_interface, 2));
    else if (is(zwp_virtual_keyboard_manager_v1_interface) && !self->m_virtualKeyboards)
        self->m_virtualKeyboards
            = static_cast<zwp_virtual_keyboard_manager_v1*>(bind(&zwp_virtual_keyboard_manager_v1_interface, 1));
    else if (is(wl_compositor_interface) && !self->m_compositor)
        self->m_compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    else if (is(wl_shm_interface) && !self->m_shm)
        self->m_shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    else if (is(zwlr_layer_shell_v1_interface) && !self->m_layerShell)
        self->m_layerShell = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 1));
}

void WaylandConnection::withdraw(void*, wl_registry*, uint32_t)
{
    // A seat or manager that goes away leaves its objects inert; requests on them do nothing.
}

bool WaylandConnection::roundtrip()
{
    return wl_display_roundtrip(m_display) >= 0;
}

void WaylandConnection::flush()
{
    wl_display_flush(m_display);
}

void WaylandConnection::dispatchArrived()
{
    readEvents(false);
}

bool WaylandConnection::readEvents(bool readable)
{
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0)
            return false;
    }
    wl_display_flush(m_display);
    if (!readable) {
        pollfd socket{wl_display_get_fd(m_display), POLLIN, 0};
        readable = ::poll(&socket, 1, 0) > 0;
    }
    if (!readable) {
        wl_display_cancel_read(m_display);
        return wl_display_get_error(m_display) == 0;
    }
    if (wl_display_read_events(m_display) < 0)
        return false;
    return wl_display_dispatch_pending(m_display) >= 0;
}

bool WaylandConnection::waitReadable(int fd, QDeadlineTimer deadline)
{
    for (;;) {
        while (wl_display_prepare_read(m_display) != 0) {
            if (wl_display_dispatch_pending(m_display) < 0)
                return false;
        }
        wl_display_flush(m_display);
        pollfd fds[2] = {{fd, POLLIN, 0}, {wl_display_get_fd(m_display), POLLIN, 0}};
        const qint64 remaining = deadline.remainingTime();
        const int ready = ::poll(fds, 2, remaining < 0 ? -1 : int(std::min<qint64>(remaining, 1000)));
        if (ready < 0 && errno != EINTR) {
            wl_display_cancel_read(m_display);
            return false;
        }
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0)
                return false;
        } else {
            wl_display_cancel_read(m_display);
        }
        if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            return true;
        if (deadline.hasExpired())
            return false;
    }
}

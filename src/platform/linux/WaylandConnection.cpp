#include "WaylandConnection.h"

#include "virtual-keyboard-unstable-v1-client.h"
#include "wlr-data-control-unstable-v1-client.h"

#include <QSocketNotifier>
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

void WaylandConnection::announce(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* self = static_cast<WaylandConnection*>(data);
    // The first seat is the user's; the versions bound are the first ones, all that is used.
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat)
        self->m_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 && !self->m_dataControl)
        self->m_dataControl = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0 && !self->m_virtualKeyboards)
        self->m_virtualKeyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
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

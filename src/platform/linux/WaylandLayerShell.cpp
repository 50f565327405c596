#include "WaylandLayerShell.h"

#include "WaylandConnection.h"
#include "wlr-layer-shell-unstable-v1-client.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>
#include <wayland-client.h>
#include <wayland-cursor.h>

namespace {

constexpr quint32 overlayLayer = ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY;
// The keyboard never goes to the surface.
constexpr quint32 noKeyboard = 0;
// Linux's button codes (linux/input-event-codes.h) for the three buttons Qt names.
constexpr quint32 leftButton = 0x110;
constexpr quint32 rightButton = 0x111;
constexpr quint32 middleButton = 0x112;

Qt::MouseButton qtButton(quint32 button)
{
    switch (button) {
    case leftButton:
        return Qt::LeftButton;
    case rightButton:
        return Qt::RightButton;
    case middleButton:
        return Qt::MiddleButton;
    default:
        return Qt::NoButton;
    }
}

} // namespace

// A picture in memory shared with the compositor, freed once the compositor lets it go, or
// with its surface.
struct WaylandLayerSurface::SharedBuffer {
    wl_buffer* buffer = nullptr;
    void* data = nullptr;
    size_t size = 0;
    QSet<SharedBuffer*>* owner = nullptr;

    static void released(void* self, wl_buffer*) { delete static_cast<SharedBuffer*>(self); }
    ~SharedBuffer()
    {
        if (owner)
            owner->remove(this);
        if (buffer)
            wl_buffer_destroy(buffer);
        if (data)
            munmap(data, size);
    }
};

namespace {

const wl_buffer_listener bufferListener{WaylandLayerSurface::SharedBuffer::released};

WaylandLayerSurface::SharedBuffer* sharedBuffer(wl_shm* shm, const QImage& image)
{
    using SharedBuffer = WaylandLayerSurface::SharedBuffer;
    const QImage picture = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const auto size = size_t(picture.sizeInBytes());
    const int fd = memfd_create("velmora-overlay", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    void* data = ftruncate(fd, off_t(size)) == 0 ? mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                                                : MAP_FAILED;
    if (data == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    auto* shared = new SharedBuffer;
    shared->data = data;
    shared->size = size;
    std::memcpy(data, picture.constBits(), size);
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int(size));
    // Qt's premultiplied ARGB32 is the compositor's ARGB8888 on a little-endian machine.
    shared->buffer = wl_shm_pool_create_buffer(
        pool, 0, picture.width(), picture.height(), int(picture.bytesPerLine()), WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_buffer_add_listener(shared->buffer, &bufferListener, shared);
    return shared;
}

} // namespace

struct WaylandLayerShell::Listeners {
    // Runs `tell` on a later turn of the event loop, unless `surface` is gone by then.
    template<typename Tell> static void later(WaylandLayerSurface* surface, Tell tell)
    {
        QMetaObject::invokeMethod(surface, std::move(tell), Qt::QueuedConnection);
    }

    static void seatCapabilities(void* data, wl_seat* seat, quint32 capabilities)
    {
        auto* shell = static_cast<WaylandLayerShell*>(data);
        const bool hasPointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
        if (hasPointer && !shell->m_pointer) {
            shell->m_pointer = wl_seat_get_pointer(seat);
            wl_pointer_add_listener(shell->m_pointer, &pointerListener, shell);
        } else if (!hasPointer && shell->m_pointer) {
            wl_pointer_destroy(shell->m_pointer);
            shell->m_pointer = nullptr;
        }
    }
    static void seatName(void*, wl_seat*, const char*) { }

    static void enter(void* data, wl_pointer* pointer, quint32 serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y)
    {
        auto* shell = static_cast<WaylandLayerShell*>(data);
        WaylandLayerSurface* over = shell->m_surfaces.value(surface);
        shell->m_pointerOver = over;
        if (!over)
            return;
        shell->showArrow(pointer, serial);
        shell->m_lastPointer = QPointF(wl_fixed_to_double(x), wl_fixed_to_double(y));
        later(over, [over, at = shell->m_lastPointer] { Q_EMIT over->pointerEntered(at); });
    }
    static void leave(void* data, wl_pointer*, quint32, wl_surface*)
    {
        auto* shell = static_cast<WaylandLayerShell*>(data);
        if (WaylandLayerSurface* over = shell->m_pointerOver.data())
            later(over, [over] { Q_EMIT over->pointerLeft(); });
        shell->m_pointerOver.clear();
    }
    static void motion(void* data, wl_pointer*, quint32, wl_fixed_t x, wl_fixed_t y)
    {
        auto* shell = static_cast<WaylandLayerShell*>(data);
        shell->m_lastPointer = QPointF(wl_fixed_to_double(x), wl_fixed_to_double(y));
        if (WaylandLayerSurface* over = shell->m_pointerOver.data())
            later(over, [over, at = shell->m_lastPointer] { Q_EMIT over->pointerMoved(at); });
    }
    static void button(void* data, wl_pointer*, quint32, quint32, quint32 button, quint32 state)
    {
        auto* shell = static_cast<WaylandLayerShell*>(data);
        WaylandLayerSurface* over = shell->m_pointerOver.data();
        const Qt::MouseButton which = qtButton(button);
        if (!over || which == Qt::NoButton)
            return;
        const QPointF at = shell->m_lastPointer;
        if (state == WL_POINTER_BUTTON_STATE_PRESSED)
            later(over, [over, at, which] { Q_EMIT over->buttonPressed(at, which); });
        else
            later(over, [over, at, which] { Q_EMIT over->buttonReleased(at, which); });
    }
    static void axis(void*, wl_pointer*, quint32, quint32, wl_fixed_t) { }
    static void frame(void*, wl_pointer*) { }
    static void axisSource(void*, wl_pointer*, quint32) { }
    static void axisStop(void*, wl_pointer*, quint32, quint32) { }
    static void axisDiscrete(void*, wl_pointer*, quint32, int32_t) { }
    static void axisValue120(void*, wl_pointer*, quint32, int32_t) { }

    static constexpr wl_seat_listener seatListener{seatCapabilities, seatName};
    static constexpr wl_pointer_listener pointerListener{
        enter, leave, motion, button, axis, frame, axisSource, axisStop, axisDiscrete, axisValue120};
};

WaylandLayerShell::WaylandLayerShell(std::shared_ptr<WaylandConnection> connection)
    : m_connection(std::move(connection))
{
    if (isAvailable() && m_connection->seat())
        wl_seat_add_listener(m_connection->seat(), &Listeners::seatListener, this);
    flush();
}

WaylandLayerShell::~WaylandLayerShell()
{
    for (WaylandLayerSurface* surface : std::as_const(m_surfaces))
        surface->detach();
    if (m_cursorSurface)
        wl_surface_destroy(m_cursorSurface);
    if (m_cursorTheme)
        wl_cursor_theme_destroy(m_cursorTheme);
    if (m_pointer)
        wl_pointer_destroy(m_pointer);
    flush();
}

bool WaylandLayerShell::isAvailable() const
{
    // Without a compositor's surfaces and shared memory no picture can be shown at all.
    return m_connection && m_connection->layerShell() && m_connection->compositor() && m_connection->sharedMemory();
}

std::unique_ptr<OverlaySurface> WaylandLayerShell::createSurface(bool pointer)
{
    if (!isAvailable())
        return nullptr;
    return std::make_unique<WaylandLayerSurface>(*this, pointer);
}

void WaylandLayerShell::showArrow(wl_pointer* pointer, quint32 serial)
{
    if (!m_cursorTheme) {
        // Only once the pointer comes: the theme's pictures take memory a session that never
        // points at an overlay does not need.
        const QByteArray theme = qgetenv("XCURSOR_THEME");
        const int size = qEnvironmentVariableIntValue("XCURSOR_SIZE");
        m_cursorTheme = wl_cursor_theme_load(
            theme.isEmpty() ? nullptr : theme.constData(), size > 0 ? size : 24, m_connection->sharedMemory());
    }
    wl_cursor* cursor = m_cursorTheme ? wl_cursor_theme_get_cursor(m_cursorTheme, "left_ptr") : nullptr;
    if (!cursor || cursor->image_count == 0)
        return;
    wl_cursor_image* image = cursor->images[0];
    wl_buffer* buffer = wl_cursor_image_get_buffer(image);
    if (!buffer)
        return;
    if (!m_cursorSurface)
        m_cursorSurface = wl_compositor_create_surface(m_connection->compositor());
    wl_pointer_set_cursor(pointer, serial, m_cursorSurface, int(image->hotspot_x), int(image->hotspot_y));
    wl_surface_attach(m_cursorSurface, buffer, 0, 0);
    wl_surface_damage(m_cursorSurface, 0, 0, int(image->width), int(image->height));
    wl_surface_commit(m_cursorSurface);
}

void WaylandLayerShell::forget(WaylandLayerSurface* surface)
{
    m_surfaces.remove(m_surfaces.key(surface));
    if (m_pointerOver == surface)
        m_pointerOver.clear();
}

void WaylandLayerShell::flush()
{
    if (m_connection)
        m_connection->flush();
}

struct WaylandLayerSurface::Listeners {
    static void configure(void* data, zwlr_layer_surface_v1*, quint32 serial, quint32, quint32)
    {
        static_cast<WaylandLayerSurface*>(data)->configured(serial);
    }
    static void closed(void* data, zwlr_layer_surface_v1*)
    {
        // The compositor took it away (its output went); the next picture makes it anew.
        static_cast<WaylandLayerSurface*>(data)->withdraw();
    }
    static constexpr zwlr_layer_surface_v1_listener layerListener{configure, closed};
};

WaylandLayerSurface::WaylandLayerSurface(WaylandLayerShell& shell, bool pointer)
    : m_shell(&shell)
    , m_pointer(pointer)
{
    connect(&shell, &QObject::destroyed, this, [this] { m_shell = nullptr; });
}

WaylandLayerSurface::~WaylandLayerSurface()
{
    withdraw();
}

void WaylandLayerSurface::present(const QImage& image, const QPoint& position)
{
    if (!m_shell || image.isNull())
        return;
    // The picture on screen again somewhere else (a window that moves): the surface keeps its
    // buffer and is only placed anew.
    if (m_configured && !m_pending && image.cacheKey() == m_image.cacheKey()) {
        m_position = position;
        place(position, m_image.deviceIndependentSize().toSize());
        wl_surface_commit(m_surface);
        m_shell->flush();
        return;
    }
    m_image = image;
    m_position = position;
    m_pending = true;
    if (!m_surface)
        create(position);
    if (m_configured)
        attach();
    m_shell->flush();
}

void WaylandLayerSurface::withdraw()
{
    if (m_shell)
        m_shell->forget(this);
    if (m_layer)
        zwlr_layer_surface_v1_destroy(m_layer);
    if (m_surface)
        wl_surface_destroy(m_surface);
    m_layer = nullptr;
    m_surface = nullptr;
    // The compositor lets go of a destroyed surface's last picture without saying so.
    for (SharedBuffer* buffer : QSet<SharedBuffer*>(m_buffers)) {
        buffer->owner = nullptr;
        delete buffer;
    }
    m_buffers.clear();
    m_configured = false;
    m_placedSize = QSize();
    m_placed = false;
    if (m_shell)
        m_shell->flush();
}

void WaylandLayerSurface::detach()
{
    withdraw();
    m_shell = nullptr;
}

void WaylandLayerSurface::create(const QPoint& position)
{
    QScreen* screen = QGuiApplication::screenAt(position);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    m_surface = wl_compositor_create_surface(m_shell->m_connection->compositor());
    // On the output the compositor chooses (the one in use), placed from the top-left corner
    // of the screen that holds the position.
    m_layer
        = zwlr_layer_shell_v1_get_layer_surface(m_shell->m_connection->layerShell(), m_surface, nullptr, overlayLayer, "velmora");
    zwlr_layer_surface_v1_add_listener(m_layer, &Listeners::layerListener, this);
    zwlr_layer_surface_v1_set_anchor(
        m_layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT);
    zwlr_layer_surface_v1_set_keyboard_interactivity(m_layer, noKeyboard);
    // Other surfaces keep their place: this one claims no edge of the screen.
    zwlr_layer_surface_v1_set_exclusive_zone(m_layer, -1);
    if (!m_pointer) {
        wl_region* nothing = wl_compositor_create_region(m_shell->m_connection->compositor());
        wl_surface_set_input_region(m_surface, nothing);
        wl_region_destroy(nothing);
    }
    m_shell->m_surfaces.insert(m_surface, this);
    m_screen = screen ? screen->geometry() : QRect();
    place(position, m_image.deviceIndependentSize().toSize());
    // The first commit carries no picture: the compositor answers with the size it grants.
    wl_surface_commit(m_surface);
}

void WaylandLayerSurface::place(const QPoint& position, const QSize& size)
{
    if (size != m_placedSize) {
        zwlr_layer_surface_v1_set_size(m_layer, quint32(std::max(1, size.width())), quint32(std::max(1, size.height())));
        m_placedSize = size;
    }
    // Kept whole on the screen: a window placed by the pointer, which a Wayland program only
    // knows over its own windows, may have been placed partly off it.
    QPoint margins = position - m_screen.topLeft();
    if (m_screen.isValid()) {
        margins.setX(std::clamp(margins.x(), 0, std::max(0, m_screen.width() - size.width())));
        margins.setY(std::clamp(margins.y(), 0, std::max(0, m_screen.height() - size.height())));
    }
    if (margins != m_placedMargins || !m_placed) {
        zwlr_layer_surface_v1_set_margin(m_layer, margins.y(), 0, 0, margins.x());
        m_placedMargins = margins;
        m_placed = true;
    }
}

void WaylandLayerSurface::configured(quint32 serial)
{
    if (!m_layer)
        return;
    zwlr_layer_surface_v1_ack_configure(m_layer, serial);
    m_configured = true;
    // The compositor says so again whenever it arranges its layers (another surface came or
    // went): a picture already shown stays, and committing it anew would only make it arrange
    // them again.
    if (m_pending)
        attach();
    if (m_shell)
        m_shell->flush();
}

void WaylandLayerSurface::attach()
{
    if (!m_shell || !m_surface || m_image.isNull())
        return;
    SharedBuffer* buffer = sharedBuffer(m_shell->m_connection->sharedMemory(), m_image);
    if (!buffer)
        return;
    buffer->owner = &m_buffers;
    m_buffers.insert(buffer);
    place(m_position, m_image.deviceIndependentSize().toSize());
    const int scale = std::max(1, int(std::lround(m_image.devicePixelRatio())));
    wl_surface_set_buffer_scale(m_surface, scale);
    wl_surface_attach(m_surface, buffer->buffer, 0, 0);
    wl_surface_damage(m_surface, 0, 0, INT32_MAX, INT32_MAX);
    wl_surface_commit(m_surface);
    m_pending = false;
}

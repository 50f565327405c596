#pragma once

#include "platform/OverlaySurface.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QSize>
#include <memory>

struct wl_buffer;
struct wl_cursor_theme;
struct wl_pointer;
struct wl_surface;
struct zwlr_layer_surface_v1;

class WaylandConnection;
class WaylandLayerSurface;

// The compositor's layer shell (wlr-layer-shell: sway and the other wlroots compositors, KWin).
// Its surfaces stand over every window and can be refused the keyboard, which no toplevel
// window can be. GNOME's compositor has no layer shell: there `isAvailable()` is false. Qt 6.4
// gives every window of a process the same kind of surface and keeps its connection to the
// compositor to itself, so this goes through the platform's own connection: the pictures are
// drawn into shared memory and the pointer over them is followed here. That connection is also
// read while the clipboard waits on another program, so what the pointer does is told on a later
// turn of the event loop, never from inside such a wait. Main thread only.
class WaylandLayerShell final : public QObject {
    Q_OBJECT
public:
    // Null: none (no Wayland display).
    explicit WaylandLayerShell(std::shared_ptr<WaylandConnection> connection);
    ~WaylandLayerShell() override;
    WaylandLayerShell(const WaylandLayerShell&) = delete;
    WaylandLayerShell& operator=(const WaylandLayerShell&) = delete;

    bool isAvailable() const;
    // A surface that lets the pointer through when `pointer` is false; null without a layer shell.
    std::unique_ptr<OverlaySurface> createSurface(bool pointer);

private:
    friend class WaylandLayerSurface;
    struct Listeners;

    void forget(WaylandLayerSurface* surface);
    void flush();
    // Shows the arrow over our surfaces: a pointer entering a surface shows what its client
    // sets, which is nothing until set.
    void showArrow(wl_pointer* pointer, quint32 serial);

    std::shared_ptr<WaylandConnection> m_connection;
    wl_pointer* m_pointer = nullptr;
    wl_cursor_theme* m_cursorTheme = nullptr;
    wl_surface* m_cursorSurface = nullptr;
    QHash<wl_surface*, WaylandLayerSurface*> m_surfaces;
    QPointer<WaylandLayerSurface> m_pointerOver;
    QPointF m_lastPointer;
};

// One picture over the other windows, in the overlay layer, never given the keyboard.
class WaylandLayerSurface final : public OverlaySurface {
    Q_OBJECT
public:
    WaylandLayerSurface(WaylandLayerShell& shell, bool pointer);
    ~WaylandLayerSurface() override;

    void present(const QImage& image, const QPoint& position) override;
    void withdraw() override;

    struct SharedBuffer;

private:
    friend class WaylandLayerShell;
    struct Listeners;

    void create(const QPoint& position);
    void place(const QPoint& position, const QSize& size);
    void attach();
    void configured(quint32 serial);
    // The shell goes before this surface: what was made on its connection goes with it.
    void detach();

    WaylandLayerShell* m_shell;
    bool m_pointer;
    wl_surface* m_surface = nullptr;
    zwlr_layer_surface_v1* m_layer = nullptr;
    bool m_configured = false;
    // A picture was given that the compositor has not been shown yet.
    bool m_pending = false;
    QImage m_image;
    QPoint m_position;
    QRect m_screen;
    QSize m_placedSize;
    QPoint m_placedMargins;
    bool m_placed = false;
    QSet<SharedBuffer*> m_buffers;
};

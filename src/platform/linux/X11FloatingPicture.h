#pragma once

#include "platform/FloatingPicture.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

typedef struct _XDisplay Display;

// A floating picture on X11: an override-redirect window of its own connection, never given
// the keyboard and letting the pointer through, whose picture is its background (the X server
// draws it again wherever it is uncovered). A thread of its own moves it along the path, so
// each step is one request to the server and nothing of the interface thread. With a
// compositing manager the window has an alpha channel and fades through the window opacity
// property; without one it is cut to the picture's opaque pixels.
class X11FloatingPicture final : public FloatingPicture {
public:
    // Null without a display.
    static std::unique_ptr<X11FloatingPicture> open(bool translucent);
    ~X11FloatingPicture() override;
    X11FloatingPicture(const X11FloatingPicture&) = delete;
    X11FloatingPicture& operator=(const X11FloatingPicture&) = delete;

    void play(const QImage& picture, const QList<Frame>& frames) override;

private:
    struct Play {
        QImage picture;
        QList<Frame> frames;
    };
    X11FloatingPicture(Display* display, bool translucent);
    void run();
    // On the thread, with the connection.
    void upload(const QImage& picture);
    void place(const Frame& frame);

    Display* m_display;
    const bool m_translucent;
    // The thread's own state.
    unsigned long m_window = 0;
    unsigned long m_pixmap = 0;
    int m_depth = 0;
    void* m_visual = nullptr;
    qint64 m_uploaded = 0;
    unsigned long m_opacityAtom = 0;
    double m_opacity = 1;
    double m_scale = 1;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Play> m_next;
    bool m_quit = false;
    std::thread m_thread;
};

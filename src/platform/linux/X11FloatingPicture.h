#pragma once

#include "platform/FloatingPicture.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

typedef struct _XDisplay Display;

// A floating picture on X11: an override-redirect window of its own connection, never given
// the keyboard and letting the pointer through, whose picture is its background (the X server
// draws it again wherever it is uncovered). The whole path is handed to the server at once:
// each step waits there (SYNC extension) for the server's clock to reach its time, so nothing
// of this program wakes while the picture moves. A server without the server-time counter
// gets each step from a thread of its own at its time instead. With a compositing manager the
// window has an alpha channel and fades through the window opacity property; without one it
// is cut to the picture's opaque pixels.
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
    X11FloatingPicture(Display* display, Display* control, unsigned long serverTime, unsigned long cancel, bool translucent);
    void run();
    // On the thread, with the connection.
    void upload(const QImage& picture);
    void place(const Frame& frame);
    // Sends the whole path, each step held by the server until its time.
    void schedule(const Play& play);
    // Takes a path still held by the server off the screen and lets its remaining steps
    // through at once (unseen), so that what follows on the connection is not held up.
    void cancelScheduled(bool evenIfEnded);

    Display* m_display;
    // For the server's clock: a second connection, which stays free while steps of a path are
    // held on the first, and the counter that releases them early. Null without them.
    Display* m_control;
    const unsigned long m_serverTime;
    const unsigned long m_cancel;
    qint64 m_cancels = 0;
    // When the path last handed to the server has surely ended, on the steady clock.
    std::chrono::steady_clock::time_point m_scheduledUntil;
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

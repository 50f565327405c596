#include "platform/linux/X11FloatingPicture.h"

#include "DesktopSession.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <gtest/gtest.h>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// Watches the floating picture's window from a connection of its own, as the X server shows it.
class X11FloatingPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const QString missing = DesktopSession::missingDisplay(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        picture = X11FloatingPicture::open(false);
        display = XOpenDisplay(nullptr);
        ASSERT_TRUE(picture && display);
    }
    void TearDown() override
    {
        picture.reset();
        if (display)
            XCloseDisplay(display);
    }

    struct Seen {
        bool mapped = false;
        QPoint position;
        bool faded = false;
    };

    // The picture's window: the override-redirect window of the picture's size.
    Seen seen(const QSize& size)
    {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        Seen result;
        if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
            return result;
        for (unsigned int i = 0; i < count; ++i) {
            XWindowAttributes attributes{};
            if (!XGetWindowAttributes(display, children[i], &attributes) || !attributes.override_redirect
                || attributes.width != size.width() || attributes.height != size.height())
                continue;
            result.mapped = attributes.map_state == IsViewable;
            result.position = QPoint(attributes.x, attributes.y);
            Atom type = 0;
            int format = 0;
            unsigned long items = 0;
            unsigned long after = 0;
            unsigned char* data = nullptr;
            XGetWindowProperty(display, children[i], XInternAtom(display, "_NET_WM_WINDOW_OPACITY", False), 0, 1,
                False, XA_CARDINAL, &type, &format, &items, &after, &data);
            result.faded = items == 1;
            if (data)
                XFree(data);
        }
        if (children)
            XFree(children);
        return result;
    }

    bool waitFor(const std::function<bool()>& condition, int milliseconds)
    {
        QElapsedTimer waited;
        waited.start();
        while (!condition()) {
            if (waited.elapsed() > milliseconds)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    static QImage image(const QSize& size)
    {
        QImage result(size, QImage::Format_ARGB32_Premultiplied);
        result.fill(Qt::red);
        return result;
    }

    Display* display = nullptr;
    std::unique_ptr<X11FloatingPicture> picture;
};

TEST_F(X11FloatingPictureTest, EachStepAtItsTimeThenOffTheScreen)
{
    const QSize size(23, 11);
    QElapsedTimer played;
    played.start();
    picture->play(image(size),
        {{0, QPoint(100, 200)}, {0.2, QPoint(100, 190)}, {0.4, QPoint(100, 180), 0.5}, {0.6, QPoint(100, 170), 0}});
    ASSERT_TRUE(waitFor([&] { return seen(size).mapped; }, 2000));
    EXPECT_EQ(seen(size).position, QPoint(100, 200));
    EXPECT_FALSE(seen(size).faded);
    // No step before its time.
    ASSERT_TRUE(waitFor([&] { return seen(size).position.y() <= 180; }, 3000));
    EXPECT_GE(played.elapsed(), 390);
    EXPECT_TRUE(seen(size).faded);
    ASSERT_TRUE(waitFor([&] { return !seen(size).mapped; }, 3000));
    EXPECT_GE(played.elapsed(), 590);
    EXPECT_EQ(seen(size).position, QPoint(100, 170));
}

TEST_F(X11FloatingPictureTest, ANewerPathReplacesTheOneUnderWayAndTheEndDoesNotWaitForIt)
{
    const QSize size(31, 13);
    picture->play(image(size), {{0, QPoint(300, 300)}, {30, QPoint(300, 250)}});
    ASSERT_TRUE(waitFor([&] { return seen(size).mapped && seen(size).position == QPoint(300, 300); }, 2000));
    picture->play(image(size), {{0, QPoint(50, 60)}, {0.1, QPoint(50, 55)}, {0.6, QPoint(50, 50)}});
    ASSERT_TRUE(waitFor([&] { return seen(size).mapped && seen(size).position == QPoint(50, 55); }, 3000));
    ASSERT_TRUE(waitFor([&] { return !seen(size).mapped; }, 3000));

    picture->play(image(size), {{0, QPoint(70, 80)}, {30, QPoint(70, 40)}});
    ASSERT_TRUE(waitFor([&] { return seen(size).mapped; }, 2000));
    QElapsedTimer ending;
    ending.start();
    picture.reset();
    EXPECT_LT(ending.elapsed(), 10000);
    EXPECT_TRUE(waitFor([&] { return !seen(size).mapped; }, 2000));
}

} // namespace

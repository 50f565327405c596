#include "platform/linux/X11WindowEffects.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// Plays the compositing manager on the test's X server: owns the compositor selection
// and, when asked, announces the blur protocol on the root window the way KWin does.
class FakeCompositor {
public:
    explicit FakeCompositor(Display* display)
        : m_display(display)
    {
        m_window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    }
    ~FakeCompositor()
    {
        XDeleteProperty(m_display, DefaultRootWindow(m_display), atom("_KDE_NET_WM_BLUR_BEHIND_REGION"));
        XSetSelectionOwner(m_display, selection(), None, CurrentTime);
        XDestroyWindow(m_display, m_window);
        XSync(m_display, False);
    }

    void run()
    {
        XSetSelectionOwner(m_display, selection(), m_window, CurrentTime);
        XSync(m_display, False);
    }

    void offerBlur()
    {
        long none = 0;
        XChangeProperty(m_display, DefaultRootWindow(m_display), atom("_KDE_NET_WM_BLUR_BEHIND_REGION"), XA_CARDINAL,
            32, PropModeReplace, reinterpret_cast<unsigned char*>(&none), 1);
        XSync(m_display, False);
    }

    Atom atom(const char* name) const { return XInternAtom(m_display, name, False); }

private:
    Atom selection() const
    {
        const QByteArray name = QByteArray("_NET_WM_CM_S").append(QByteArray::number(DefaultScreen(m_display)));
        return atom(name.constData());
    }

    Display* m_display;
    Window m_window;
};

class X11WindowEffectsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "no X display: run under scripts/with-desktop.sh";
        display = XOpenDisplay(nullptr);
        if (!display)
            GTEST_SKIP() << "the X display does not answer";
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
        XSync(display, False);
    }
    void TearDown() override
    {
        if (!display)
            return;
        XDestroyWindow(display, window);
        XCloseDisplay(display);
    }

    bool windowAsksForBlur()
    {
        int count = 0;
        Atom* properties = XListProperties(display, window, &count);
        const Atom blur = XInternAtom(display, "_KDE_NET_WM_BLUR_BEHIND_REGION", False);
        bool found = false;
        for (int i = 0; i < count; ++i)
            found = found || properties[i] == blur;
        if (properties)
            XFree(properties);
        return found;
    }

    Display* display = nullptr;
    Window window = 0;
};

} // namespace

TEST_F(X11WindowEffectsTest, WithoutACompositorWindowsAreOpaqueAndNothingIsBlurred)
{
    X11WindowEffects effects;
    EXPECT_FALSE(effects.translucencyAvailable());
    EXPECT_FALSE(effects.blurAvailable());
    effects.setBlurBehind(quint64(window), true);
    XSync(display, False);
    EXPECT_FALSE(windowAsksForBlur());
}

TEST_F(X11WindowEffectsTest, ACompositorWithoutTheBlurProtocolGivesTranslucencyOnly)
{
    FakeCompositor compositor(display);
    compositor.run();
    X11WindowEffects effects;
    EXPECT_TRUE(effects.translucencyAvailable());
    EXPECT_FALSE(effects.blurAvailable());
    effects.setBlurBehind(quint64(window), true);
    XSync(display, False);
    EXPECT_FALSE(windowAsksForBlur());
}

TEST_F(X11WindowEffectsTest, ACompositorThatOffersBlurIsAskedForItAndToldWhenItIsNoLongerWanted)
{
    FakeCompositor compositor(display);
    compositor.run();
    compositor.offerBlur();
    X11WindowEffects effects;
    EXPECT_TRUE(effects.blurAvailable());

    effects.setBlurBehind(quint64(window), true);
    XSync(display, False);
    EXPECT_TRUE(windowAsksForBlur());

    effects.setBlurBehind(quint64(window), false);
    XSync(display, False);
    EXPECT_FALSE(windowAsksForBlur());
}

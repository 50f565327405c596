#include <gtest/gtest.h>

#include "DesktopSession.h"
#include "TextFieldsApp.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11Workspace.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

class X11FrontmostApplication : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QString missing = DesktopSession::missingDisplay(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        connection = X11Connection::open();
        ASSERT_TRUE(connection);
        ASSERT_TRUE(first.start());
        ASSERT_TRUE(second.start());
    }

    void TearDown() override
    {
        if (windowManager) {
            XDeleteProperty(windowManager, DefaultRootWindow(windowManager), activeWindow());
            XCloseDisplay(windowManager);
        }
    }

    Atom activeWindow() { return XInternAtom(windowManager, "_NET_ACTIVE_WINDOW", False); }

    // Does what a window manager does when it activates a window, on a connection of its own.
    void announceActive(unsigned long window)
    {
        if (!windowManager)
            windowManager = XOpenDisplay(nullptr);
        XChangeProperty(windowManager, DefaultRootWindow(windowManager), activeWindow(), XA_WINDOW, 32, PropModeReplace,
            reinterpret_cast<const unsigned char*>(&window), 1);
        XSync(windowManager, False);
    }

    std::shared_ptr<X11Connection> connection;
    Display* windowManager = nullptr;
    TextFieldsApp first;
    TextFieldsApp second;
};

TEST_F(X11FrontmostApplication, withoutAWindowManagerTheInputFocusTellsTheFrontmostProcess)
{
    X11Workspace workspace(connection);
    ASSERT_TRUE(DesktopSession::focusWindowOf(first.processId()));
    EXPECT_EQ(workspace.frontmostProcessId(), first.processId());
    ASSERT_TRUE(DesktopSession::focusWindowOf(second.processId()));
    EXPECT_EQ(workspace.frontmostProcessId(), second.processId());
}

TEST_F(X11FrontmostApplication, aWindowManagerThatStartsAfterTheFocusWasFollowedIsListenedTo)
{
    X11Workspace workspace(connection);
    ASSERT_TRUE(DesktopSession::focusWindowOf(first.processId()));
    ASSERT_EQ(workspace.frontmostProcessId(), first.processId());

    announceActive(DesktopSession::windowOf(second.processId()));
    EXPECT_EQ(workspace.frontmostProcessId(), second.processId());
}

TEST_F(X11FrontmostApplication, theWindowManagersActiveWindowTellsTheFrontmostProcessAndItsSwitches)
{
    X11Workspace workspace(connection);
    int activations = 0;
    QObject::connect(&workspace, &Workspace::applicationActivated, [&] { ++activations; });

    announceActive(DesktopSession::windowOf(first.processId()));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return activations == 1; }));
    EXPECT_EQ(workspace.frontmostProcessId(), first.processId());

    announceActive(DesktopSession::windowOf(second.processId()));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return activations == 2; }));
    EXPECT_EQ(workspace.frontmostProcessId(), second.processId());

    // Another announcement of the same application's window is no switch.
    announceActive(DesktopSession::windowOf(second.processId()));
    DesktopSession::pause(200);
    EXPECT_EQ(activations, 2);
}

TEST(X11FrontmostApplicationWithoutDisplay, thereIsNone)
{
    X11Workspace workspace(nullptr);
    EXPECT_FALSE(workspace.frontmostProcessId().has_value());
}

}

#include <gtest/gtest.h>

#include "platform/linux/SessionType.h"

namespace {

TEST(SessionType, theSessionsOwnWordDecidesAndANamedWaylandDisplayOnlyWhenItSaysNothing)
{
    using SessionTypes::fromEnvironment;
    EXPECT_EQ(fromEnvironment("wayland", ""), SessionType::wayland);
    EXPECT_EQ(fromEnvironment("Wayland\n", "wayland-0"), SessionType::wayland);
    // An X11 session whose environment still names a nested compositor stays an X11 one.
    EXPECT_EQ(fromEnvironment("x11", "wayland-0"), SessionType::x11);
    EXPECT_EQ(fromEnvironment("", "wayland-0"), SessionType::wayland);
    EXPECT_EQ(fromEnvironment("tty", "/run/user/1000/wayland-1"), SessionType::wayland);
    EXPECT_EQ(fromEnvironment("", ""), SessionType::x11);
}

}

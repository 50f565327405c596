#include <QApplication>
#include <gtest/gtest.h>

// The desktop tests talk to other programs through the X server (clipboard, key events, windows),
// so they run on the real display when there is one; without it they skip themselves, and the
// offscreen platform keeps the application object usable.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

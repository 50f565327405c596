#include "TextFieldsWindow.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TextFieldsWindow window;
    window.show();
    window.activateWindow();
    QMetaObject::invokeMethod(
        &window,
        [] {
            std::fputs("{\"ready\":true}\n", stdout);
            std::fflush(stdout);
        },
        Qt::QueuedConnection);
    return app.exec();
}

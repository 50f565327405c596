#include "App/Shell/VelmoraApp.h"
#include "Views/Components/AccessibleRoles.h"
#include "platform/linux/DisplayAvailability.h"
#include "platform/linux/X11ClipboardKeeper.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // Without a display Qt would end the process with an abort; say what is missing instead.
    if (const QString reason = DisplayAvailability::missingDisplayReason(); !reason.isEmpty()) {
        std::fprintf(stderr, "%s\nStart Velmora from a graphical desktop session.\n", qPrintable(reason));
        return 1;
    }
    // Started again by the clipboard keeper after this program ended mid-replacement.
    if (argc == 2 && std::strcmp(argv[1], X11ClipboardKeeper::giveBackArgument) == 0) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        QGuiApplication application(argc, argv);
        return X11ClipboardKeeper::giveBack();
    }
    AccessibleRoles::exposePopups();
    VelmoraApp app(argc, argv);
    DisplayAvailability::releaseProbe();
    return app.exec();
}

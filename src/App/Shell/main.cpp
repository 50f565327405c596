#include "App/Shell/VelmoraApp.h"
#include "Views/Components/AccessibleRoles.h"
#include "platform/linux/DisplayAvailability.h"

#include <cstdio>

int main(int argc, char** argv)
{
    // Without a display Qt would end the process with an abort; say what is missing instead.
    if (const QString reason = DisplayAvailability::missingDisplayReason(); !reason.isEmpty()) {
        std::fprintf(stderr, "%s\nStart Velmora from a graphical desktop session.\n", qPrintable(reason));
        return 1;
    }
    AccessibleRoles::exposePopups();
    VelmoraApp app(argc, argv);
    DisplayAvailability::releaseProbe();
    return app.exec();
}

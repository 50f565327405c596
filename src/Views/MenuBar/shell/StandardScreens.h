#pragma once

#include "Views/MenuBar/screen/PopoverScreens.h"

// Every screen the application has. It lives with the shell because it is the one place that
// knows all the screens; the screens themselves know only the shared screen interfaces.
PopoverScreens standardPopoverScreens();

#pragma once

namespace AtspiBus {

// Whether the session's accessibility bus answers. Asked over Qt's D-Bus before libatspi is
// used at all: libatspi gives up the process when it cannot reach a bus.
bool answers();

}

// wayland-scanner writes the layer shell's interface tables in C. They are compiled here as
// C++, after the header whose declarations give them the C names libwayland looks for; those
// declarations say nothing of visibility, so the tables' own word on it is moot.
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
#include "wlr-layer-shell-unstable-v1-protocol.inc"
#pragma GCC diagnostic pop

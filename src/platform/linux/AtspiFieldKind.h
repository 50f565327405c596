#pragma once

#include "platform/AccessibleElement.h"

// The field kind of an AT-SPI role (an AtspiRole) and whether its states say multi-line.
FieldKind atspiFieldKind(int role, bool multiLine);

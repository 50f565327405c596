#pragma once

#include <QString>

namespace DisplayAvailability {

// Why this process cannot show windows, as one sentence, or empty when it can. Asked before
// the application object exists, because Qt ends the process when its display is missing.
QString missingDisplayReason();

} // namespace DisplayAvailability

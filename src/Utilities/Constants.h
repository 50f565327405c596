#pragma once

#include <QString>

namespace Constants {

// The data folder: the XDG data folder ($XDG_DATA_HOME, else ~/.local/share) plus
// "com.velmora.mac". Computed once; created with mode 0700 on first use (a failure to create
// it is not reported here: the store meets it when it reads and writes).
QString appSupportDir();

} // namespace Constants

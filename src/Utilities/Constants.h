#pragma once

#include <QString>

namespace Constants {

// The data folder: the XDG data folder ($XDG_DATA_HOME, else ~/.local/share) plus
// "com.velmora.mac". Computed once; created with mode 0700 on first use (a failure to create
// it is not reported here: the store meets it when it reads and writes).
QString appSupportDir();

// The configured backend project address without leading or trailing "/", or the empty text
// without a valid configuration; the account of the stored sign-in is keyed to it.
QString supabaseURL();

} // namespace Constants

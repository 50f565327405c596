#pragma once

#include "Services/SupabaseError.h"
#include "Services/SupabaseHTTPClient.h"

namespace SupabaseClient {

// The program's client: the configuration of this process over the secure session, made on
// first use.
const SupabaseHTTPClient& client();

} // namespace SupabaseClient

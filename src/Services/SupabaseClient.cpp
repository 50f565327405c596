#include "Services/SupabaseClient.h"

namespace SupabaseClient {

const SupabaseHTTPClient& client()
{
    static const SupabaseHTTPClient shared(BackendConfiguration::current());
    return shared;
}

} // namespace SupabaseClient

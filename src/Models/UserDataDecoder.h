#pragma once

#include "Models/UserData.h"

#include <QByteArray>

// Reads libraries exactly as VelmoraJSON::decode<UserData> does, with the same result and the
// same errors, but a file laid out as the library encoder writes it has its shortcuts read
// straight from its bytes, and a large one on several threads: a library of tens of thousands
// of shortcuts is ready in a fraction of the time. Anything else, and any file that fails, is
// read the plain way.
namespace UserDataDecoder {

// Decodes and validates; throws DecodingError.
UserData decode(const QByteArray& bytes);

} // namespace UserDataDecoder

#pragma once

#include "Models/AuthError.h"
#include "Models/AuthSession.h"

#include <optional>
#include <ostream>

// Sessions and errors for tests of sign-in and credential storage.
namespace AuthSamples {

// A session that passes validation. Its tokens are made up, but tests still treat them as
// secrets: they are compared, never printed.
AuthSession validSession();

} // namespace AuthSamples

// GoogleTest prints these when an expectation fails: the user and the expiry, never a token.
void PrintTo(const AuthSession& session, std::ostream* out);
void PrintTo(const AuthError& error, std::ostream* out);

#pragma once

#include "ManualScheduler.h"
#include "Services/AuthService.h"
#include "TestBackend.h"

#include <functional>
#include <optional>

// Signing in against the test backend without a browser, and waiting for network replies
// while the manual scheduler runs what falls due now.
namespace BackendSignIn {

// Fetches the authorize address directly and hands back where its redirect points, as a
// browser would after the user chose an account.
AuthService::Authenticate fetchRedirect(TestBackend& backend);

// Runs the event loop (and the scheduler's due work) until `done` holds; false on time-out.
bool waitUntil(ManualScheduler& scheduler, const std::function<bool()>& done);

// Signs in and waits for the outcome; nothing when it never came.
std::optional<Result<AuthUser>> wait(AuthService& auth, ManualScheduler& scheduler);

} // namespace BackendSignIn

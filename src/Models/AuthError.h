#pragma once

#include "Utilities/VelmoraError.h"

// The one error of sign-in and session handling. The account screen shows
// errorDescription() to the user as it is, so no case carries details (least of all a token).
class AuthError final : public VelmoraError {
public:
    enum Code {
        invalidStoredSession,
        invalidSession,
        invalidCallback,
        providerDenied,
        randomGenerationFailed,
        signedOut,
        busy,
        sessionChanged,
        cancelled,
        browserUnavailable,
        browserClosed,
    };

    // Implicit, so that a case reads as the error itself: `throw AuthError(AuthError::busy)`,
    // `EXPECT_EQ(error, AuthError::busy)`.
    AuthError(Code code)
        : m_code(code)
    {
    }

    Code code() const { return m_code; }
    QString errorDescription() const override;

    friend bool operator==(const AuthError& a, const AuthError& b) { return a.m_code == b.m_code; }

private:
    Code m_code;
};

#include "Models/AuthError.h"

QString AuthError::errorDescription() const
{
    switch (m_code) {
    case invalidStoredSession:
        return QStringLiteral("Saved credentials could not be verified. Sign out to reset them, then sign in again.");
    case invalidSession: return QStringLiteral("The server returned an invalid session. Please sign in again.");
    case invalidCallback: return QStringLiteral("The sign-in callback could not be verified. Please try again.");
    case providerDenied: return QStringLiteral("Google sign-in was not completed. Please try again.");
    case randomGenerationFailed: return QStringLiteral("Secure sign-in could not be started. Please retry.");
    case signedOut: return QStringLiteral("Please sign in first.");
    case busy: return QStringLiteral("A sign-in is already in progress, or an account is already signed in.");
    case sessionChanged: return QStringLiteral("The account changed. Please retry this action.");
    case cancelled: return QStringLiteral("Sign-in cancelled.");
    case browserUnavailable: return QStringLiteral("The sign-in window could not be opened.");
    case browserClosed: return QStringLiteral("The browser closed before sign-in finished. Please try again.");
    }
    return {};
}

#pragma once

#include "Models/AuthError.h"
#include "Services/CredentialsProvider.h"

// A signed-in account without a backend: credentials come at once, and sign-out renews the
// era as the account service does.
class FakeCredentialsProvider final : public CredentialsProvider {
public:
    explicit FakeCredentialsProvider(QString userID = QStringLiteral("5f0c2b1e-7a3d-4c9b-8e6f-1a2b3c4d5e6f"))
        : m_userID(std::move(userID))
    {
    }

    bool isLoggedIn() const override { return m_loggedIn; }
    QUuid generation() const override { return m_generation; }

    void credentials(const Cancellation& cancellation, Completion<AuthCredentials> done) override
    {
        ++credentialRequests;
        if (cancellation.isCancelled())
            return done(Result<AuthCredentials>::failure(CancellationError()));
        if (!m_loggedIn)
            return done(Result<AuthCredentials>::failure(AuthError(AuthError::signedOut)));
        done(AuthCredentials{m_accessToken, m_userID, m_generation});
    }

    void validate(const AuthCredentials& credentials, const Cancellation& cancellation) const override
    {
        cancellation.throwIfCancelled();
        if (credentials.generation != m_generation || !m_loggedIn || credentials.userID != m_userID)
            throw AuthError(AuthError::sessionChanged);
    }

    const QString& userID() const { return m_userID; }
    void setAccessToken(const QString& token) { m_accessToken = token; }

    void signOut()
    {
        m_generation = QUuid::createUuid();
        Q_EMIT generationChanged(m_generation);
        m_loggedIn = false;
        Q_EMIT isLoggedInChanged(false);
    }
    void signIn(const QString& userID)
    {
        m_userID = userID;
        m_loggedIn = true;
        Q_EMIT isLoggedInChanged(true);
    }

    int credentialRequests = 0;

private:
    QString m_userID;
    QString m_accessToken = QStringLiteral("access");
    bool m_loggedIn = true;
    QUuid m_generation = QUuid::createUuid();
};

#pragma once

#include "Models/AuthSession.h"
#include "Persistence/SessionVault.h"
#include "Services/CredentialsProvider.h"
#include "Services/SupabaseHTTPClient.h"
#include "Services/UserProfile.h"
#include "Services/WebOAuthSession.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>

class ExternalBrowser;

// The one object that knows who is signed in to the backend project: it restores the stored
// session at start, runs the Google sign-in (authorization code with PKCE in the browser),
// keeps the session in the credential store and renews its tokens, and ends the sign-in era on
// sign-out. Everything runs on the main thread; network replies and the credential store's
// answers (which a locked keyring may keep waiting) come back to it before they touch anything. Without a usable
// configuration with the cloud on, it never reads the credential store and stays signed out.
class AuthService final : public CredentialsProvider {
    Q_OBJECT
public:
    // Replaces the browser step: gets the authorize address, completes with the callback URL.
    using Authenticate = std::function<void(const QUrl& authorizeURL, Completion<QString> done)>;

    // Credentials expiring within this many seconds are renewed before they are handed out.
    static constexpr qint64 refreshWindow = 60;

    AuthService(SupabaseHTTPClient client, std::unique_ptr<CredentialStorage> storage, ExternalBrowser& browser,
        Authenticate authenticate = {}, QObject* parent = nullptr);
    ~AuthService() override;

    const std::optional<AuthUser>& currentUser() const { return m_currentUser; }
    bool isLoggedIn() const override { return m_isLoggedIn; }
    // Cleared by sign-out; nothing sets it yet.
    const std::optional<UserProfile>& currentProfile() const { return m_currentProfile; }
    // The last stored-credential or sign-out failure, for the account screen; empty when none.
    const QString& lastError() const { return m_lastError; }
    // The stored session is being read (a keyring may be asking to be unlocked meanwhile).
    bool isRestoringSession() const { return m_restoring; }
    // The keyring stayed locked when the stored session was read (its unlock prompt was
    // cancelled): the session may be fine, and reading it again can restore it.
    bool isStoredSessionLocked() const { return m_storedSessionLocked; }
    // Reads the stored session again after isStoredSessionLocked().
    void retryStoredSession();
    QUuid generation() const override { return m_generation; }
    WebOAuthSession& browser() { return m_browser; }

    // Signs in and completes with the signed-in user. Failures reach only the completion (the
    // welcome screen shows them); nothing is stored or published unless the whole sign-in
    // succeeded. A second sign-in while one runs or while signed in fails with busy at once.
    void signInWithGoogle(Completion<AuthUser> done);

    void credentials(const Cancellation& cancellation, Completion<AuthCredentials> done) override;
    void validate(const AuthCredentials& credentials, const Cancellation& cancellation) const override;
    // Renews the session; callers that ask while a renewal runs share it.
    void refreshSession(const Cancellation& cancellation, Completion<AuthSession> done);

    // Ends the sign-in era: everything running under it is refused from now on, a sign-in or
    // renewal under way is called off, and the stored session is deleted. The account is
    // cleared once the delete is done (`done` gets true); when the credential store could not
    // delete it, it stays signed in with lastError (`done` gets false). A keyring asking to be
    // unlocked makes the delete, and so `done`, come later.
    void signOut(std::function<void(bool cleared)> done = {});

Q_SIGNALS:
    void currentUserChanged();
    void currentProfileChanged();
    void lastErrorChanged(const QString& lastError);
    void restoringChanged();

private:
    struct Refresh;

    void requireCloud() const;
    void requireSession() const;
    QUuid beginSignIn();
    void finishSignIn(const QUuid& id);
    void exchangeCode(const QUuid& id, const QString& verifier, const QString& callback, Completion<AuthUser> done);
    void commit(const AuthSession& session, const QUuid& generation, const Completion<AuthUser>& done);
    void finishRefresh(const std::shared_ptr<Refresh>& refresh, const QUuid& generation, const AuthUser& user,
        const Result<QByteArray>& reply);
    void settleRefresh(const std::shared_ptr<Refresh>& refresh, const QUuid& generation,
        const Result<QByteArray>& reply, Result<AuthSession> outcome);
    void publish(const AuthSession& session);
    void clearSession();
    void setLastError(const QString& error);
    void restoreStoredSession();
    void finishRestore(const Result<std::optional<AuthSession>>& stored);

    SupabaseHTTPClient m_client;
    SessionVault m_vault;
    Authenticate m_authenticate;
    WebOAuthSession m_browser;

    std::optional<AuthUser> m_currentUser;
    bool m_isLoggedIn = false;
    std::optional<UserProfile> m_currentProfile;
    QString m_lastError;
    QUuid m_generation;
    std::optional<AuthSession> m_session;
    bool m_credentialLoadFailed = false;
    bool m_storedSessionLocked = false;
    bool m_restoring = false;
    std::optional<QUuid> m_signingIn;
    std::shared_ptr<Refresh> m_refresh;
};

#include "Services/AuthService.h"

#include "Models/AuthError.h"
#include "Persistence/KeychainHelper.h"
#include "Services/OAuthPKCE.h"
#include "Services/SupabaseError.h"
#include "Services/TokenResponse.h"
#include "Utilities/Clock.h"

#include <QJsonObject>
#include <QPointer>

namespace {

const QString lockedText
    = QStringLiteral("Your keyring stayed locked, so your saved sign-in could not be read. Unlock it to try again.");
const QString loadFailedText
    = QStringLiteral("Secure credentials could not be loaded. Sign out to reset them, then sign in again.");
const QString signOutFailedText = QStringLiteral("Could not finish signing out: ");
const QString renewedNotSavedText = QStringLiteral("Your sign-in was renewed but could not be saved securely: ");
const QString sessionEndedText = QStringLiteral("Your sign-in has ended. Please sign in again.");

template <class T> Result<T> currentFailure()
{
    return Result<T>(ErrorValue::current());
}

// The backend refuses a refresh token that was revoked, expired or already used: the session
// cannot be renewed any more, whatever is retried.
bool isRefusedGrant(const Result<QByteArray>& reply)
{
    const auto error = reply.errorAs<SupabaseClient::SupabaseError>();
    return error && (error->statusCode() == 400 || error->statusCode() == 401);
}

} // namespace

// The one renewal under way, shared by every caller that needs it meanwhile.
struct AuthService::Refresh {
    QUuid id = QUuid::createUuid();
    Cancellation cancellation;
    PendingRequest request;
    QList<Completion<AuthSession>> waiters;
};

AuthService::AuthService(SupabaseHTTPClient client, std::unique_ptr<CredentialStorage> storage,
    ExternalBrowser& browser, Authenticate authenticate, QObject* parent)
    : CredentialsProvider(parent)
    , m_client(std::move(client))
    , m_vault(m_client.configuration() ? m_client.configuration()->projectURL : QString(), std::move(storage))
    , m_authenticate(std::move(authenticate))
    , m_browser(browser)
    , m_generation(QUuid::createUuid())
{
    const std::optional<BackendConfiguration>& configuration = m_client.configuration();
    if (!configuration || !configuration->isValid() || !configuration->cloudEnabled)
        return;
    restoreStoredSession();
}

void AuthService::restoreStoredSession()
{
    // A locked keyring asks the user and the read waits for the answer: the interface and
    // the engine go on meanwhile, and sign-in waits for the read.
    m_restoring = true;
    Q_EMIT restoringChanged();
    m_vault.loadLater(this, [this](const Result<std::optional<AuthSession>>& stored) { finishRestore(stored); });
}

void AuthService::finishRestore(const Result<std::optional<AuthSession>>& stored)
{
    const bool wasRestoring = std::exchange(m_restoring, false);
    try {
        if (const std::optional<AuthSession>& session = stored.value())
            publish(*session);
    } catch (const KeychainHelper::StorageError& error) {
        m_credentialLoadFailed = true;
        m_storedSessionLocked = error.status() == SecretStore::Status::locked;
        setLastError(m_storedSessionLocked ? lockedText : loadFailedText);
    } catch (...) {
        m_credentialLoadFailed = true;
        setLastError(loadFailedText);
    }
    if (wasRestoring)
        Q_EMIT restoringChanged();
}

void AuthService::retryStoredSession()
{
    if (!m_storedSessionLocked || m_restoring)
        return;
    m_storedSessionLocked = false;
    m_credentialLoadFailed = false;
    setLastError(QString());
    restoreStoredSession();
}

AuthService::~AuthService()
{
    if (m_refresh)
        m_refresh->cancellation.cancel();
}

void AuthService::requireCloud() const
{
    const std::optional<BackendConfiguration>& configuration = m_client.configuration();
    if (!configuration || !configuration->isValid())
        throw BackendConfiguration::AccessError(BackendConfiguration::AccessError::notConfigured);
    if (!configuration->cloudEnabled)
        throw BackendConfiguration::AccessError(BackendConfiguration::AccessError::disabled);
}

void AuthService::requireSession() const
{
    requireCloud();
    if (!m_session || !m_isLoggedIn)
        throw AuthError(AuthError::signedOut);
}

// ---------------------------------------------------------------- sign-in

QUuid AuthService::beginSignIn()
{
    requireCloud();
    if (m_credentialLoadFailed)
        throw AuthError(AuthError::invalidStoredSession);
    if (m_signingIn || m_isLoggedIn || m_restoring)
        throw AuthError(AuthError::busy);
    m_signingIn = m_generation;
    setLastError(QString());
    return m_generation;
}

void AuthService::finishSignIn(const QUuid& id)
{
    if (m_signingIn == id)
        m_signingIn.reset();
}

void AuthService::signInWithGoogle(Completion<AuthUser> done)
{
    QUuid id;
    try {
        id = beginSignIn();
    } catch (...) {
        done(currentFailure<AuthUser>());
        return;
    }
    QPointer<AuthService> self(this);
    // Every way out clears this attempt's marker first (and only this attempt's).
    auto finish = [self, id, done = std::move(done)](Result<AuthUser> result) {
        if (self)
            self->finishSignIn(id);
        done(std::move(result));
    };
    try {
        const OAuthPKCE pkce;
        const QUrl url = pkce.authorizeURL(m_client.configuration());
        auto afterBrowser = [self, id, verifier = pkce.verifier(), finish](const Result<QString>& callback) {
            try {
                if (!self)
                    throw CancellationError();
                self->exchangeCode(id, verifier, callback.value(), finish);
            } catch (...) {
                finish(currentFailure<AuthUser>());
            }
        };
        if (m_authenticate)
            m_authenticate(url, std::move(afterBrowser));
        else
            m_browser.signIn(url, std::move(afterBrowser));
    } catch (...) {
        finish(currentFailure<AuthUser>());
    }
}

void AuthService::exchangeCode(
    const QUuid& id, const QString& verifier, const QString& callback, Completion<AuthUser> done)
{
    if (m_generation != id)
        throw AuthError(AuthError::sessionChanged);
    const QString code = OAuthPKCE::authorizationCode(callback);
    const QJsonObject body{{QStringLiteral("auth_code"), code}, {QStringLiteral("code_verifier"), verifier}};
    QPointer<AuthService> self(this);
    m_client.request(QStringLiteral("/auth/v1/token?grant_type=pkce"), QStringLiteral("POST"), body, std::nullopt, {},
        [self, id, done = std::move(done)](const Result<QByteArray>& reply) {
            try {
                if (!self)
                    throw CancellationError();
                const AuthSession session = VelmoraJSON::decode<TokenResponse>(reply.value()).session();
                self->commit(session, id, done);
            } catch (...) {
                done(currentFailure<AuthUser>());
            }
        });
}

// The credential store is written before anything is published, so a session that could not
// be kept is never shown as signed in. A sign-out while the write waits for the keyring wins:
// its delete runs after the write, and the session is not published.
void AuthService::commit(const AuthSession& session, const QUuid& generation, const Completion<AuthUser>& done)
{
    if (m_generation != generation)
        throw AuthError(AuthError::sessionChanged);
    m_vault.saveLater(session, this, [this, session, generation, done](const SessionVault::Failure& failure) {
        try {
            if (failure)
                failure->raise();
            if (m_generation != generation)
                throw AuthError(AuthError::sessionChanged);
            publish(session);
            done(session.user);
        } catch (...) {
            done(currentFailure<AuthUser>());
        }
    });
}

// ---------------------------------------------------------------- credentials and renewal

void AuthService::credentials(const Cancellation& cancellation, Completion<AuthCredentials> done)
{
    try {
        requireSession();
    } catch (...) {
        done(currentFailure<AuthCredentials>());
        return;
    }
    const QUuid generation = m_generation;
    auto handOut = [generation, done](const AuthSession& session) {
        done(AuthCredentials{session.accessToken, session.user.id, generation});
    };
    const qint64 now = Clock::current().now().toSecsSinceEpoch();
    if (m_session->expiresAt > now + refreshWindow) {
        if (cancellation.isCancelled())
            done(Result<AuthCredentials>::failure(CancellationError()));
        else
            handOut(*m_session);
        return;
    }
    // The renewal's waiter checks the cancellation and the era after its wait.
    refreshSession(cancellation, [handOut, done](const Result<AuthSession>& session) {
        if (session.succeeded())
            handOut(session.value());
        else
            done(Result<AuthCredentials>(session.error()));
    });
}

void AuthService::validate(const AuthCredentials& credentials, const Cancellation& cancellation) const
{
    cancellation.throwIfCancelled();
    if (m_generation != credentials.generation || !m_isLoggedIn || !m_currentUser
        || m_currentUser->id != credentials.userID)
        throw AuthError(AuthError::sessionChanged);
}

void AuthService::refreshSession(const Cancellation& cancellation, Completion<AuthSession> done)
{
    try {
        requireSession();
    } catch (...) {
        done(currentFailure<AuthSession>());
        return;
    }
    const QUuid generation = m_generation;
    // A caller that stops waiting does not stop the renewal the others wait for.
    QPointer<AuthService> self(this);
    Completion<AuthSession> waiter
        = [self, generation, cancellation, done = std::move(done)](const Result<AuthSession>& result) {
              try {
                  const AuthSession& session = result.value();
                  cancellation.throwIfCancelled();
                  if (!self || self->m_generation != generation)
                      throw AuthError(AuthError::sessionChanged);
                  done(session);
              } catch (...) {
                  done(currentFailure<AuthSession>());
              }
          };
    if (m_refresh) {
        m_refresh->waiters.append(std::move(waiter));
        return;
    }
    auto refresh = std::make_shared<Refresh>();
    refresh->waiters.append(std::move(waiter));
    m_refresh = refresh;
    const AuthUser user = m_session->user;
    const QJsonObject body{{QStringLiteral("refresh_token"), m_session->refreshToken}};
    refresh->request
        = m_client.request(QStringLiteral("/auth/v1/token?grant_type=refresh_token"), QStringLiteral("POST"), body,
            std::nullopt, {}, [self, refresh, generation, user](const Result<QByteArray>& reply) {
                if (self)
                    self->finishRefresh(refresh, generation, user, reply);
            });
    refresh->cancellation.onCancel([request = refresh->request]() mutable { request.cancel(); });
}

void AuthService::finishRefresh(const std::shared_ptr<Refresh>& refresh, const QUuid& generation, const AuthUser& user,
    const Result<QByteArray>& reply)
{
    std::optional<AuthSession> next;
    try {
        refresh->cancellation.throwIfCancelled();
        next = VelmoraJSON::decode<TokenResponse>(reply.value()).session();
        if (next->user.id != user.id)
            throw AuthError(AuthError::sessionChanged);
        if (m_generation != generation)
            throw AuthError(AuthError::sessionChanged);
        next->validate();
    } catch (...) {
        settleRefresh(refresh, generation, reply, currentFailure<AuthSession>());
        return;
    }
    m_vault.saveLater(
        *next, this, [this, refresh, generation, reply, next = *next](const SessionVault::Failure& failure) {
            Result<AuthSession> outcome = next;
            // A sign-out while the write waited called the renewal off; its delete comes after
            // the write.
            if (refresh->cancellation.isCancelled())
                outcome = Result<AuthSession>::failure(CancellationError());
            else if (m_generation != generation)
                outcome = Result<AuthSession>::failure(AuthError(AuthError::sessionChanged));
            else {
                // The backend has spent the old refresh token already: forgetting the new session
                // would leave only a token that no longer works. Keep it for this run and say that
                // it could not be stored.
                publish(next);
                if (failure)
                    setLastError(renewedNotSavedText + failure->sentence());
            }
            settleRefresh(refresh, generation, reply, outcome);
        });
}

void AuthService::settleRefresh(const std::shared_ptr<Refresh>& refresh, const QUuid& generation,
    const Result<QByteArray>& reply, Result<AuthSession> outcome)
{
    if (m_refresh && m_refresh->id == refresh->id)
        m_refresh.reset();
    if (isRefusedGrant(reply) && m_generation == generation && !refresh->cancellation.isCancelled()) {
        signOut([this](bool cleared) {
            if (cleared)
                setLastError(sessionEndedText);
        });
        outcome = Result<AuthSession>::failure(AuthError(AuthError::signedOut));
    }
    for (const Completion<AuthSession>& waiter : std::exchange(refresh->waiters, {}))
        waiter(outcome);
}

// ---------------------------------------------------------------- sign-out

void AuthService::signOut(std::function<void(bool cleared)> done)
{
    m_generation = QUuid::createUuid();
    Q_EMIT generationChanged(m_generation);
    m_signingIn.reset();
    if (const std::shared_ptr<Refresh> refresh = std::exchange(m_refresh, nullptr))
        refresh->cancellation.cancel();
    m_browser.cancel();
    // The signed-in state stays until the stored session is gone, so a delete that fails
    // leaves the account as it was.
    m_vault.removeLater(this, [this, done = std::move(done)](const SessionVault::Failure& failure) {
        if (failure) {
            setLastError(signOutFailedText + failure->sentence());
        } else {
            m_credentialLoadFailed = false;
            m_storedSessionLocked = false;
            clearSession();
            setLastError(QString());
        }
        if (done)
            done(!failure);
    });
}

// ---------------------------------------------------------------- published state

void AuthService::publish(const AuthSession& session)
{
    m_session = session;
    const bool userChanged = m_currentUser != session.user;
    m_currentUser = session.user;
    if (userChanged)
        Q_EMIT currentUserChanged();
    if (!m_isLoggedIn) {
        m_isLoggedIn = true;
        Q_EMIT isLoggedInChanged(true);
    }
    setLastError(QString());
}

void AuthService::clearSession()
{
    m_session.reset();
    if (std::exchange(m_currentUser, std::nullopt))
        Q_EMIT currentUserChanged();
    if (std::exchange(m_currentProfile, std::nullopt))
        Q_EMIT currentProfileChanged();
    if (std::exchange(m_isLoggedIn, false))
        Q_EMIT isLoggedInChanged(false);
}

void AuthService::setLastError(const QString& error)
{
    if (m_lastError == error)
        return;
    m_lastError = error;
    Q_EMIT lastErrorChanged(error);
}

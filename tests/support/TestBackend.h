#pragma once

// TestBackend: a backend project on 127.0.0.1 over HTTPS, for tests of sign-in and sync.
//
//   TestBackend backend;                       // listens on a free port at once
//   SupabaseHTTPClient client = backend.client();   // valid configuration, cloud and sync on;
//                                              // its transport trusts the test certificate
//   backend.configuration(cloudEnabled, syncEnabled), backend.transport()  to build others
//
// Endpoints (POST unless said otherwise; JSON in and out; "apikey" must be the test key, else 401):
//   GET  /auth/v1/authorize?provider=google&redirect_to=...&code_challenge=...&code_challenge_method=s256
//        302 to redirect_to with "?code=<one-time code>" bound to the challenge and to
//        signingInUser(); callbackFor(authorizeURL) gives the same without the network.
//   /auth/v1/token?grant_type=pkce            {auth_code, code_verifier} -> token reply
//   /auth/v1/token?grant_type=refresh_token   {refresh_token} -> token reply; every refresh token
//        works once (rotation), a reused one is refused with 400
//   token reply: {access_token, refresh_token, expires_in (setExpiresIn), token_type, user}
//   /auth/v1/logout                           bearer -> 204; that session's tokens stop working
//   /rest/v1/rpc/velmora_read_sync            bearer, {} -> {user_id, revision, has_cloud, snapshot}
//   /rest/v1/rpc/velmora_write_sync           bearer, {expected_revision, next_snapshot} -> the
//        same reply, with a new revision; 409 when expected_revision is not the stored one
//   Bad or missing grants and bodies give 400, unknown or revoked bearer tokens 401. Each user
//   has a cloud copy of their own; an empty one has a well-formed revision and has_cloud false.
//
// Faults: failNext(path, fault, times) makes the next `times` requests to `path` (without its
// query; -1 for every one until clearFaults()) behave as `fault` says; see Fault below. Qt
// sends a request again (up to twice) when its connection closes before any answer, so a
// dropped connection that should reach the caller needs times -1. Both token grants share the
// path "/auth/v1/token". stalled() never answers: with a ManualScheduler installed, advancing
// it past SupabaseHTTPClient::requestTimeout ends the request.
// Driving the client: awaitRequest(client, path, body, token) in RequestOutcome.h sends one
// request and runs the event loop until it completed.
// Requests: requests() lists everything received, in order, with method, target, headers in
// wire order and body; waitForRequests(n) runs the event loop until n have arrived.

#include "Models/AuthSession.h"
#include "Services/SupabaseHTTPClient.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QString>
#include <functional>
#include <memory>

class QSslServer;
class QSslSocket;
class SecureSession;

class TestBackend : public QObject {
    Q_OBJECT
public:
    static QString publishableKey();

    // How to answer a request instead of (or besides) serving it.
    struct Fault {
        int status = 0; // answer with this status (a 3xx carries a Location) without serving
        std::optional<QByteArray> body; // answer 200 with these bytes without serving
        std::function<void(QJsonObject& reply)> edit; // serve, then change the JSON reply
        bool dropConnection = false; // close the connection without an answer, unserved
        bool stall = false; // never answer, unserved
        int delayMilliseconds = 0; // serve, then answer after this long (real time)

        static Fault withStatus(int status);
        static Fault redirect() { return withStatus(302); }
        static Fault malformedBody();
        // An extra member at the top level of the reply, or inside its "snapshot".
        static Fault extraMember();
        static Fault extraSnapshotMember();
        // The reply names another account.
        static Fault wrongUser();
        // The reply's revision is not 32 lower-case hexadecimal digits.
        static Fault malformedRevision();
        static Fault dropped();
        static Fault stalled();
        static Fault delayed(int milliseconds);
    };

    struct Request {
        QByteArray method;
        QByteArray target; // path and query, as sent
        QList<std::pair<QByteArray, QByteArray>> headers; // in wire order, names as sent
        QByteArray body;

        QByteArray path() const { return target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?')); }
        // The value of the first field named `name` (any case); null when absent.
        QByteArray header(const QByteArray& name) const;
        QList<QByteArray> headerNames() const;
        QJsonObject json() const;
    };

    explicit TestBackend(QObject* parent = nullptr);
    ~TestBackend() override;

    // "https://127.0.0.1:<port>"
    QString projectURL() const;
    BackendConfiguration configuration(bool cloudEnabled = true, bool syncEnabled = true) const;
    // A transport over a SecureSession that trusts the test certificate besides the system's.
    SupabaseHTTPClient::Transport transport() const;
    SupabaseHTTPClient client(bool cloudEnabled = true, bool syncEnabled = true) const;

    // The account that the next authorization signs in; a fixed one unless changed.
    AuthUser signingInUser() const { return m_signingInUser; }
    void setSigningInUser(const AuthUser& user) { m_signingInUser = user; }
    // Lifetime, in seconds, of the tokens issued from now on.
    void setExpiresIn(qint64 seconds) { m_expiresIn = seconds; }
    // The callback URL the browser ends on for `authorizeURL`, as the authorize endpoint
    // redirects to it; empty when the authorize request is refused.
    QString callbackFor(const QUrl& authorizeURL);
    // A session issued to `user` directly, as if they had signed in.
    AuthSession sessionFor(const AuthUser& user);
    // Whether `refreshToken` would still be accepted.
    bool refreshTokenIsLive(const QString& refreshToken) const;

    // The cloud copy of `userID` as the read call returns it; setCloud stores `snapshot` (the
    // SyncSnapshot's JSON) under a new revision.
    QJsonObject cloud(const QString& userID);
    void setCloud(const QString& userID, const QJsonObject& snapshot);

    void failNext(const QString& path, Fault fault, int times = 1);
    void clearFaults();

    const QList<Request>& requests() const { return m_requests; }
    bool waitForRequests(qsizetype count, int milliseconds = 5000);
    // Runs the event loop until clients have closed `count` connections.
    bool waitForClosedConnections(qsizetype count, int milliseconds = 5000);

private:
    struct Reply {
        int status = 200;
        QByteArray body;
        QByteArray location;
    };
    struct Connection;
    struct Grant {
        QString challenge;
        AuthUser user;
    };
    struct Tokens {
        AuthUser user;
        QString refreshToken;
    };
    struct Cloud {
        QString revision;
        bool hasCloud = false;
        QJsonObject snapshot;
    };

    void accept();
    void readFrom(Connection& connection);
    void answer(QSslSocket* socket, const Request& request);
    Reply serve(const Request& request);
    Reply issueTokens(const AuthUser& user);
    Reply readSync(const AuthUser& user);
    Reply writeSync(const AuthUser& user, const QJsonObject& body);
    std::optional<AuthUser> bearer(const Request& request) const;
    Cloud& cloudOf(const QString& userID);
    static void send(QSslSocket* socket, const Reply& reply);

    QSslServer* m_server = nullptr;
    QSslConfiguration m_clientConfiguration;
    std::shared_ptr<SecureSession> m_session;
    std::vector<std::unique_ptr<Connection>> m_connections;
    QList<Request> m_requests;
    qsizetype m_closedConnections = 0;
    QHash<QString, std::pair<Fault, int>> m_faults;
    AuthUser m_signingInUser;
    qint64 m_expiresIn = 3600;
    quint64 m_issued = 0;
    QHash<QString, Grant> m_grants; // one-time codes
    QHash<QString, Tokens> m_accessTokens;
    QHash<QString, AuthUser> m_refreshTokens; // live ones only
    QHash<QString, Cloud> m_clouds;
};

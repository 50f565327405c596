#include "TestBackend.h"

#include "Models/SyncSnapshot.h"
#include "Services/SecureSession.h"
#include "TestBackendCertificate.h"
#include "Utilities/Clock.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QPointer>
#include <QRandomGenerator>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

struct TestBackend::Connection {
    QPointer<QSslSocket> socket;
    QByteArray buffer;
};

namespace {

const QString authorizePath = QStringLiteral("/auth/v1/authorize");
const QString tokenPath = QStringLiteral("/auth/v1/token");
const QString logoutPath = QStringLiteral("/auth/v1/logout");
const QString readPath = QStringLiteral("/rest/v1/rpc/velmora_read_sync");
const QString writePath = QStringLiteral("/rest/v1/rpc/velmora_write_sync");

QString randomHex(int bytes)
{
    QByteArray random(bytes, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(random.data()), bytes / 4);
    return QString::fromLatin1(random.toHex());
}

QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray errorBody(const QString& message)
{
    return json({{QStringLiteral("error"), message}, {QStringLiteral("message"), message}});
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 409: return "Conflict";
    default: return "Status";
    }
}

AuthUser defaultUser()
{
    AuthUser user;
    user.id = QStringLiteral("0b7e6c2a-4f1d-4c3e-9a8b-5d6e7f809a1b");
    user.email = QStringLiteral("grace@example.com");
    user.user_metadata
        = AuthUser::UserMetadata{QStringLiteral("Grace Hopper"), QStringLiteral("https://example.com/grace.png")};
    return user;
}

} // namespace

QString TestBackend::publishableKey()
{
    return QStringLiteral("sb_publishable_test-backend-key");
}

namespace {

TestBackend::Fault editing(std::function<void(QJsonObject&)> edit)
{
    TestBackend::Fault fault;
    fault.edit = std::move(edit);
    return fault;
}

} // namespace

TestBackend::Fault TestBackend::Fault::withStatus(int status)
{
    Fault fault;
    fault.status = status;
    return fault;
}

TestBackend::Fault TestBackend::Fault::malformedBody()
{
    Fault fault;
    fault.body = QByteArray("{\"user_id\": ");
    return fault;
}

TestBackend::Fault TestBackend::Fault::extraMember()
{
    return editing([](QJsonObject& reply) { reply.insert(QStringLiteral("unexpected"), true); });
}

TestBackend::Fault TestBackend::Fault::extraSnapshotMember()
{
    return editing([](QJsonObject& reply) {
        QJsonObject snapshot = reply.value(QStringLiteral("snapshot")).toObject();
        snapshot.insert(QStringLiteral("unexpected"), true);
        reply.insert(QStringLiteral("snapshot"), snapshot);
    });
}

TestBackend::Fault TestBackend::Fault::wrongUser()
{
    return editing([](QJsonObject& reply) {
        const QString other = QStringLiteral("9f8e7d6c-5b4a-4392-8170-6f5e4d3c2b1a");
        if (reply.contains(QStringLiteral("user")))
            reply.insert(QStringLiteral("user"), QJsonObject{{QStringLiteral("id"), other}});
        else
            reply.insert(QStringLiteral("user_id"), other);
    });
}

TestBackend::Fault TestBackend::Fault::malformedRevision()
{
    return editing([](QJsonObject& reply) {
        reply.insert(QStringLiteral("revision"), reply.value(QStringLiteral("revision")).toString().toUpper());
    });
}

TestBackend::Fault TestBackend::Fault::dropped()
{
    Fault fault;
    fault.dropConnection = true;
    return fault;
}

TestBackend::Fault TestBackend::Fault::stalled()
{
    Fault fault;
    fault.stall = true;
    return fault;
}

TestBackend::Fault TestBackend::Fault::delayed(int milliseconds)
{
    Fault fault;
    fault.delayMilliseconds = milliseconds;
    return fault;
}

QByteArray TestBackend::Request::header(const QByteArray& name) const
{
    for (const auto& [field, value] : headers) {
        if (field.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QList<QByteArray> TestBackend::Request::headerNames() const
{
    QList<QByteArray> names;
    for (const auto& header : headers)
        names.append(header.first);
    return names;
}

QJsonObject TestBackend::Request::json() const
{
    return QJsonDocument::fromJson(body).object();
}

TestBackend::TestBackend(QObject* parent)
    : QObject(parent)
    , m_session(std::make_shared<SecureSession>())
    , m_signingInUser(defaultUser())
{
    const QSslCertificate certificate(QByteArray(TestBackendCertificate::certificatePem), QSsl::Pem);
    QSslConfiguration server = QSslConfiguration::defaultConfiguration();
    server.setLocalCertificate(certificate);
    server.setPrivateKey(QSslKey(QByteArray(TestBackendCertificate::privateKeyPem), QSsl::Ec));
    server.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server = new QSslServer(this);
    m_server->setSslConfiguration(server);
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &TestBackend::accept);
    m_server->listen(QHostAddress::LocalHost, 0);

    m_clientConfiguration = QSslConfiguration::defaultConfiguration();
    m_clientConfiguration.addCaCertificate(certificate);
}

TestBackend::~TestBackend() = default;

QString TestBackend::projectURL() const
{
    return QStringLiteral("https://127.0.0.1:%1").arg(m_server->serverPort());
}

BackendConfiguration TestBackend::configuration(bool cloudEnabled, bool syncEnabled) const
{
    return BackendConfiguration{projectURL(), publishableKey(), cloudEnabled, syncEnabled};
}

SupabaseHTTPClient::Transport TestBackend::transport() const
{
    return [session = m_session, tls = m_clientConfiguration](
               const QNetworkRequest& request, const QByteArray& method, const QByteArray& body) {
        QNetworkRequest trusting = request;
        trusting.setSslConfiguration(tls);
        return session->send(trusting, method, body);
    };
}

SupabaseHTTPClient TestBackend::client(bool cloudEnabled, bool syncEnabled) const
{
    return SupabaseHTTPClient(configuration(cloudEnabled, syncEnabled), transport());
}

QString TestBackend::callbackFor(const QUrl& authorizeURL)
{
    Request request{"GET", authorizeURL.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority), {}, {}};
    const Reply reply = serve(request);
    return reply.status == 302 ? QString::fromUtf8(reply.location) : QString();
}

AuthSession TestBackend::sessionFor(const AuthUser& user)
{
    const QJsonObject tokens = QJsonDocument::fromJson(issueTokens(user).body).object();
    return AuthSession{tokens.value(QStringLiteral("access_token")).toString(),
        tokens.value(QStringLiteral("refresh_token")).toString(),
        Clock::current().now().toSecsSinceEpoch() + m_expiresIn, user};
}

bool TestBackend::refreshTokenIsLive(const QString& refreshToken) const
{
    return m_refreshTokens.contains(refreshToken);
}

QJsonObject TestBackend::cloud(const QString& userID)
{
    return QJsonDocument::fromJson(readSync(AuthUser{userID, {}, {}}).body).object();
}

void TestBackend::setCloud(const QString& userID, const QJsonObject& snapshot)
{
    m_clouds.insert(userID, Cloud{randomHex(16), true, snapshot});
}

void TestBackend::failNext(const QString& path, Fault fault, int times)
{
    m_faults.insert(path, {std::move(fault), times});
}

void TestBackend::clearFaults()
{
    m_faults.clear();
}

bool TestBackend::waitForRequests(qsizetype count, int milliseconds)
{
    return QTest::qWaitFor([&] { return m_requests.size() >= count; }, milliseconds);
}

bool TestBackend::waitForClosedConnections(qsizetype count, int milliseconds)
{
    return QTest::qWaitFor([&] { return m_closedConnections >= count; }, milliseconds);
}

void TestBackend::accept()
{
    while (auto* socket = qobject_cast<QSslSocket*>(m_server->nextPendingConnection())) {
        auto connection = std::make_unique<Connection>();
        connection->socket = socket;
        Connection* raw = connection.get();
        m_connections.push_back(std::move(connection));
        connect(socket, &QSslSocket::readyRead, this, [this, raw] { readFrom(*raw); });
        connect(socket, &QSslSocket::disconnected, this, [this] { ++m_closedConnections; });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        readFrom(*raw);
    }
}

void TestBackend::readFrom(Connection& connection)
{
    if (!connection.socket)
        return;
    connection.buffer += connection.socket->readAll();
    while (connection.socket) {
        const qsizetype headEnd = connection.buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QList<QByteArray> lines = connection.buffer.left(headEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        Request request;
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        qsizetype length = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            const QByteArray name = lines[i].left(colon);
            const QByteArray value = lines[i].mid(colon + 1).trimmed();
            request.headers.append({name, value});
            if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
                length = value.toLongLong();
        }
        if (connection.buffer.size() < headEnd + 4 + length)
            return;
        request.body = connection.buffer.mid(headEnd + 4, length);
        connection.buffer.remove(0, headEnd + 4 + length);
        m_requests.append(request);
        answer(connection.socket, request);
    }
}

void TestBackend::answer(QSslSocket* socket, const Request& request)
{
    Fault fault;
    const QString path = QString::fromUtf8(request.path());
    if (auto found = m_faults.find(path); found != m_faults.end()) {
        fault = found->first;
        if (found->second > 0 && --found->second == 0)
            m_faults.erase(found);
    }
    if (fault.stall)
        return;
    if (fault.dropConnection) {
        socket->abort();
        return;
    }
    Reply reply;
    if (fault.status) {
        reply = Reply{fault.status, errorBody(QStringLiteral("injected failure")), {}};
        if (fault.status >= 300 && fault.status < 400)
            reply.location = "https://example.invalid/elsewhere";
    } else if (fault.body) {
        reply = Reply{200, *fault.body, {}};
    } else {
        reply = serve(request);
        if (fault.edit && reply.status >= 200 && reply.status < 300) {
            QJsonObject object = QJsonDocument::fromJson(reply.body).object();
            fault.edit(object);
            reply.body = json(object);
        }
    }
    if (fault.delayMilliseconds > 0) {
        QTimer::singleShot(fault.delayMilliseconds, socket, [socket, reply] { send(socket, reply); });
        return;
    }
    send(socket, reply);
}

void TestBackend::send(QSslSocket* socket, const Reply& reply)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    if (!reply.location.isEmpty())
        head += "Location: " + reply.location + "\r\n";
    if (!reply.body.isEmpty())
        head += "Content-Type: application/json\r\n";
    head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n\r\n";
    socket->write(head + reply.body);
}

TestBackend::Reply TestBackend::serve(const Request& request)
{
    const QString path = QString::fromUtf8(request.path());
    const QUrlQuery query(QString::fromUtf8(request.target.mid(request.path().size() + 1)));
    if (path == authorizePath && request.method == "GET") {
        const QString redirect = query.queryItemValue(QStringLiteral("redirect_to"), QUrl::FullyDecoded);
        if (query.queryItemValue(QStringLiteral("provider")) != QLatin1String("google") || redirect.isEmpty()
            || query.queryItemValue(QStringLiteral("code_challenge_method")) != QLatin1String("s256"))
            return {400, errorBody(QStringLiteral("bad authorize request")), {}};
        const QString code = randomHex(16);
        m_grants.insert(code, Grant{query.queryItemValue(QStringLiteral("code_challenge")), m_signingInUser});
        return {302, {}, (redirect + QStringLiteral("?code=") + code).toUtf8()};
    }
    if (request.method != "POST")
        return {404, errorBody(QStringLiteral("not found")), {}};
    if (request.header("apikey") != publishableKey().toUtf8())
        return {401, errorBody(QStringLiteral("bad apikey")), {}};

    const QJsonObject body = request.json();
    if (path == tokenPath) {
        const QString grantType = query.queryItemValue(QStringLiteral("grant_type"));
        if (grantType == QLatin1String("pkce")) {
            // A code works once, whatever the outcome.
            const auto grant = m_grants.find(body.value(QStringLiteral("auth_code")).toString());
            if (grant == m_grants.end())
                return {400, errorBody(QStringLiteral("invalid_grant")), {}};
            const Grant granted = *grant;
            m_grants.erase(grant);
            const QByteArray verifier = body.value(QStringLiteral("code_verifier")).toString().toUtf8();
            const QString challenge
                = QString::fromLatin1(QCryptographicHash::hash(verifier, QCryptographicHash::Sha256)
                                          .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
            if (granted.challenge != challenge)
                return {400, errorBody(QStringLiteral("invalid_grant")), {}};
            return issueTokens(granted.user);
        }
        if (grantType == QLatin1String("refresh_token")) {
            const QString token = body.value(QStringLiteral("refresh_token")).toString();
            if (!m_refreshTokens.contains(token))
                return {400, errorBody(QStringLiteral("invalid_grant")), {}};
            return issueTokens(m_refreshTokens.take(token));
        }
        return {400, errorBody(QStringLiteral("unsupported_grant_type")), {}};
    }

    const std::optional<AuthUser> user = bearer(request);
    if (path != logoutPath && path != readPath && path != writePath)
        return {404, errorBody(QStringLiteral("not found")), {}};
    if (!user)
        return {401, errorBody(QStringLiteral("invalid token")), {}};
    if (path == logoutPath) {
        const QString access = QString::fromUtf8(request.header("Authorization").mid(7));
        m_refreshTokens.remove(m_accessTokens.take(access).refreshToken);
        return {204, {}, {}};
    }
    if (path == readPath)
        return readSync(*user);
    return writeSync(*user, body);
}

TestBackend::Reply TestBackend::issueTokens(const AuthUser& user)
{
    const QString access = QStringLiteral("access-%1-%2").arg(++m_issued).arg(randomHex(8));
    const QString refresh = QStringLiteral("refresh-%1-%2").arg(m_issued).arg(randomHex(8));
    m_accessTokens.insert(access, Tokens{user, refresh});
    m_refreshTokens.insert(refresh, user);
    return {200,
        json({{QStringLiteral("access_token"), access}, {QStringLiteral("token_type"), QStringLiteral("bearer")},
            {QStringLiteral("expires_in"), m_expiresIn}, {QStringLiteral("refresh_token"), refresh},
            {QStringLiteral("user"), user.toJson()}}),
        {}};
}

std::optional<AuthUser> TestBackend::bearer(const Request& request) const
{
    const QByteArray authorization = request.header("Authorization");
    if (!authorization.startsWith("Bearer "))
        return std::nullopt;
    const auto found = m_accessTokens.find(QString::fromUtf8(authorization.mid(7)));
    if (found == m_accessTokens.end())
        return std::nullopt;
    return found->user;
}

TestBackend::Cloud& TestBackend::cloudOf(const QString& userID)
{
    auto found = m_clouds.find(userID);
    if (found == m_clouds.end()) {
        const SyncSnapshot empty{UserData::empty(), AppSettings::defaults(), Stats::empty()};
        found = m_clouds.insert(userID, Cloud{randomHex(16), false, empty.toJson().toObject()});
    }
    return *found;
}

TestBackend::Reply TestBackend::readSync(const AuthUser& user)
{
    const Cloud& cloud = cloudOf(user.id);
    return {200,
        json({{QStringLiteral("user_id"), user.id}, {QStringLiteral("revision"), cloud.revision},
            {QStringLiteral("has_cloud"), cloud.hasCloud}, {QStringLiteral("snapshot"), cloud.snapshot}}),
        {}};
}

TestBackend::Reply TestBackend::writeSync(const AuthUser& user, const QJsonObject& body)
{
    const QJsonValue expected = body.value(QStringLiteral("expected_revision"));
    const QJsonValue next = body.value(QStringLiteral("next_snapshot"));
    if (!expected.isString() || !next.isObject())
        return {400, errorBody(QStringLiteral("bad write")), {}};
    Cloud& cloud = cloudOf(user.id);
    if (expected.toString() != cloud.revision)
        return {409, errorBody(QStringLiteral("revision mismatch")), {}};
    cloud = Cloud{randomHex(16), true, next.toObject()};
    return readSync(user);
}

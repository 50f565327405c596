#include "Services/OAuthPKCE.h"

#include "Models/AuthError.h"
#include "Utilities/Text.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QUrlQuery>

namespace {

constexpr QByteArray::Base64Options base64url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;
constexpr int verifierBytes = 32;

} // namespace

const QString OAuthPKCE::callbackURL = QStringLiteral("velmora://auth-callback");

OAuthPKCE::OAuthPKCE()
{
    QByteArray random(verifierBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(random.data()), verifierBytes / sizeof(quint32));
    m_verifier = QString::fromLatin1(random.toBase64(base64url));
}

OAuthPKCE::OAuthPKCE(QString verifier)
    : m_verifier(std::move(verifier))
{
}

QString OAuthPKCE::challenge() const
{
    return QString::fromLatin1(
        QCryptographicHash::hash(m_verifier.toUtf8(), QCryptographicHash::Sha256).toBase64(base64url));
}

QUrl OAuthPKCE::authorizeURL(const std::optional<BackendConfiguration>& configuration) const
{
    using AccessError = BackendConfiguration::AccessError;
    if (!configuration || !configuration->isValid())
        throw AccessError(AccessError::notConfigured);
    if (!configuration->cloudEnabled)
        throw AccessError(AccessError::disabled);
    QUrl url(configuration->projectURL, QUrl::StrictMode);
    if (!url.isValid())
        throw AuthError(AuthError::invalidCallback);
    url.setPath(QStringLiteral("/auth/v1/authorize"));
    QUrlQuery query;
    query.setQueryItems({
        {QStringLiteral("provider"), QStringLiteral("google")},
        {QStringLiteral("redirect_to"), callbackURL},
        {QStringLiteral("code_challenge"), challenge()},
        {QStringLiteral("code_challenge_method"), QStringLiteral("s256")},
    });
    url.setQuery(query);
    if (!url.isValid())
        throw AuthError(AuthError::invalidCallback);
    return url;
}

QString OAuthPKCE::authorizationCode(const QString& callback)
{
    // Scheme and host exactly as written (QUrl would lower their letters), then nothing but an
    // optional query: no user, port, path or fragment.
    if (!callback.startsWith(callbackURL))
        throw AuthError(AuthError::invalidCallback);
    const QStringView rest = QStringView(callback).mid(callbackURL.size());
    if ((!rest.isEmpty() && !rest.startsWith(u'?')) || rest.contains(u'#'))
        throw AuthError(AuthError::invalidCallback);
    const QUrl url(callback, QUrl::StrictMode);
    if (!url.isValid())
        throw AuthError(AuthError::invalidCallback);

    // Every "&"-separated piece is an item, empty ones included, so that nothing rides along
    // unseen; "+" stays "+".
    QList<std::pair<QString, QString>> items;
    const QString query = url.query(QUrl::FullyEncoded);
    if (!query.isEmpty()) {
        for (const QString& piece : query.split(u'&')) {
            const qsizetype equals = piece.indexOf(u'=');
            const auto decoded = [](const QString& text) { return QUrl::fromPercentEncoding(text.toUtf8()); };
            items.append({decoded(piece.left(equals < 0 ? piece.size() : equals)),
                equals < 0 ? QString() : decoded(piece.mid(equals + 1))});
        }
    }
    // The provider's refusal wins over everything else the callback carries.
    for (const auto& item : items) {
        if (item.first == QLatin1String("error"))
            throw AuthError(AuthError::providerDenied);
    }
    if (items.size() != 1 || items.first().first != QLatin1String("code"))
        throw AuthError(AuthError::invalidCallback);
    const QString& code = items.first().second;
    if (code.isEmpty() || Text::graphemeCount(code) > longestCode || Text::containsWhitespace(code))
        throw AuthError(AuthError::invalidCallback);
    return code;
}

#include "Utilities/BackendConfiguration.h"

#include "Utilities/Text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QUrl>
#include <QXmlStreamReader>
#include <variant>

namespace {

const QString keyPrefix = QStringLiteral("sb_publishable_");

using PlistValue = std::variant<std::monostate, QString, bool>;

// One value of the root dictionary: text and booleans are kept; every other kind (numbers,
// dates, data, arrays, nested dictionaries) is skipped and reads as monostate, so that a known
// key carrying one fails as a type mismatch.
PlistValue readValue(QXmlStreamReader& xml)
{
    const auto name = xml.name();
    if (name == QLatin1String("string"))
        return xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
    if (name == QLatin1String("true") || name == QLatin1String("false")) {
        const bool value = name == QLatin1String("true");
        xml.skipCurrentElement();
        return value;
    }
    xml.skipCurrentElement();
    return std::monostate();
}

} // namespace

QString BackendConfiguration::AccessError::errorDescription() const
{
    switch (m_code) {
    case notConfigured:
        return QStringLiteral("Cloud connection is not configured. Your local library is still available.");
    case disabled:
        return QStringLiteral("Cloud sign-in and sync are disabled while setup and safety checks are completed. Your "
                              "local library is still available.");
    case syncPaused:
        return QStringLiteral("Library sync is paused while data-safety checks are completed. Your local shortcuts "
                              "stay on this computer.");
    }
    return {};
}

bool BackendConfiguration::isValid() const
{
    const QUrl url(projectURL, QUrl::StrictMode);
    if (!url.isValid())
        return false;
    // QUrl lowers the scheme's letters; the address must say "https" exactly as written.
    if (!projectURL.startsWith(QLatin1String("https:")) || url.scheme() != QLatin1String("https"))
        return false;
    if (url.host().isEmpty())
        return false;
    // A bare "?" or "#" still counts as a query or fragment, and a bare "@" as a user name,
    // which QUrl reports as absent.
    if (!url.userName().isNull() || !url.password().isNull() || url.authority(QUrl::FullyEncoded).contains(u'@')
        || url.hasQuery() || url.hasFragment())
        return false;
    if (!url.path().isEmpty() && url.path() != QLatin1String("/"))
        return false;
    return publishableKey.startsWith(keyPrefix) && Text::graphemeCount(publishableKey) > Text::graphemeCount(keyPrefix)
        && !Text::containsWhitespace(publishableKey);
}

QString BackendConfiguration::trimmedProjectURL() const
{
    return Text::trimmedOf(projectURL, u'/');
}

void BackendConfiguration::requireLibrarySync(const std::optional<BackendConfiguration>& configuration)
{
    if (!configuration || !configuration->isValid())
        throw AccessError(AccessError::notConfigured);
    if (!configuration->cloudEnabled)
        throw AccessError(AccessError::disabled);
    if (!configuration->syncEnabled)
        throw AccessError(AccessError::syncPaused);
}

const std::optional<BackendConfiguration>& BackendConfiguration::current()
{
    static const std::optional<BackendConfiguration> configuration = load(searchPaths());
    return configuration;
}

QStringList BackendConfiguration::searchPaths()
{
    const QDir programFolder(QCoreApplication::applicationDirPath());
    const QString name = QStringLiteral("Backend.plist");
    return {programFolder.filePath(name),
        QDir::cleanPath(programFolder.filePath(QStringLiteral("../share/velmora/") + name))};
}

std::optional<BackendConfiguration> BackendConfiguration::load(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (!QFile::exists(path))
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        std::optional<BackendConfiguration> configuration = fromPropertyList(file.readAll());
        if (file.error() != QFileDevice::NoError || !configuration || !configuration->isValid())
            return std::nullopt;
        return configuration;
    }
    return std::nullopt;
}

std::optional<BackendConfiguration> BackendConfiguration::fromPropertyList(const QByteArray& bytes)
{
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("plist") || !xml.readNextStartElement()
        || xml.name() != QLatin1String("dict"))
        return std::nullopt;

    std::optional<QString> projectURL;
    std::optional<QString> publishableKey;
    std::optional<bool> cloudEnabled;
    std::optional<bool> syncEnabled;
    QStringList seen;
    bool typesMatch = true;
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("key"))
            return std::nullopt;
        const QString key = xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        // A key given twice leaves in doubt which value was meant.
        if (seen.contains(key) || !xml.readNextStartElement())
            return std::nullopt;
        seen.append(key);
        const PlistValue value = readValue(xml);
        auto take = [&](auto& field) {
            using Wanted = typename std::remove_reference_t<decltype(field)>::value_type;
            if (const Wanted* typed = std::get_if<Wanted>(&value))
                field = *typed;
            else
                typesMatch = false;
        };
        if (key == QLatin1String("projectURL"))
            take(projectURL);
        else if (key == QLatin1String("publishableKey"))
            take(publishableKey);
        else if (key == QLatin1String("cloudEnabled"))
            take(cloudEnabled);
        else if (key == QLatin1String("syncEnabled"))
            take(syncEnabled);
    }
    // The rest of the document must be well formed too: the root closes and nothing follows.
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError() || !typesMatch || !projectURL || !publishableKey)
        return std::nullopt;
    return BackendConfiguration{
        *projectURL, *publishableKey, cloudEnabled.value_or(false), syncEnabled.value_or(false)};
}

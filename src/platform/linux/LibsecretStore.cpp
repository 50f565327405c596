#include "platform/linux/LibsecretStore.h"

#include <libsecret/secret.h>

// How libsecret's outcomes become statuses:
//
//   outcome                                                          status
//   ---------------------------------------------------------------  -----------
//   no item carries the {service, account} pair                      notFound
//   no session bus, no Secret Service on it, or the service does     unavailable
//   not answer (the service proxy cannot be opened; D-Bus errors
//   ServiceUnknown, NameHasNoOwner, NoServer, Disconnected, NoReply,
//   Timeout, TimedOut, Spawn*; I/O errors Closed, TimedOut)
//   the collection or the item is locked and stays locked after the  locked
//   unlock prompt (org.freedesktop.Secret.Error.IsLocked, or an
//   item still locked after the search asked to unlock it)
//   anything else                                                    other
//
// libsecret's own password helpers are not used for reading and deleting: its lookup answers
// "nothing stored" when the user dismisses the unlock prompt, and its clear skips locked items
// and still reports success. Either would make a locked keyring look like a signed-out account
// (and a failed sign-out look finished), so locked items are detected here explicitly.

namespace {

const SecretSchema& genericPasswordSchema()
{
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "com.velmora.mac.GenericPassword";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return schema;
}

SecretStore::Status statusFor(const GError* error)
{
    if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED))
        return SecretStore::Status::locked;
    // The item went away between finding and deleting it.
    if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_NO_SUCH_OBJECT))
        return SecretStore::Status::notFound;
    if (error->domain == G_DBUS_ERROR) {
        switch (error->code) {
        case G_DBUS_ERROR_SERVICE_UNKNOWN:
        case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
        case G_DBUS_ERROR_NO_SERVER:
        case G_DBUS_ERROR_DISCONNECTED:
        case G_DBUS_ERROR_NO_REPLY:
        case G_DBUS_ERROR_TIMEOUT:
        case G_DBUS_ERROR_TIMED_OUT:
        case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
        case G_DBUS_ERROR_SPAWN_FORK_FAILED:
        case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
        case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
        case G_DBUS_ERROR_SPAWN_FAILED:
        case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
        case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND: return SecretStore::Status::unavailable;
        default: break;
        }
    }
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CLOSED)
        || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT))
        return SecretStore::Status::unavailable;
    return SecretStore::Status::other;
}

// The shared connection to the Secret Service with a session for moving secrets, or nullptr
// when there is no bus or no service on it.
SecretService* openService()
{
    g_autoptr(GError) error = nullptr;
    return secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
}

GHashTable* attributesFor(const QByteArray& service, const QByteArray& account)
{
    return secret_attributes_build(
        &genericPasswordSchema(), "service", service.constData(), "account", account.constData(), nullptr);
}

// The items of one pair, as one search call; owns the list.
class ItemSearch {
public:
    ItemSearch(const QString& service, const QString& account, SecretSearchFlags flags)
    {
        g_autoptr(SecretService) secretService = openService();
        if (!secretService) {
            m_status = SecretStore::Status::unavailable;
            return;
        }
        g_autoptr(GError) error = nullptr;
        GHashTable* attributes = attributesFor(service.toUtf8(), account.toUtf8());
        m_items
            = secret_service_search_sync(secretService, &genericPasswordSchema(), attributes, flags, nullptr, &error);
        g_hash_table_unref(attributes);
        if (error)
            m_status = statusFor(error);
        else if (!m_items)
            m_status = SecretStore::Status::notFound;
    }
    ~ItemSearch() { g_list_free_full(m_items, g_object_unref); }
    ItemSearch(const ItemSearch&) = delete;
    ItemSearch& operator=(const ItemSearch&) = delete;

    SecretStore::Status status() const { return m_status; }
    GList* items() const { return m_items; }

private:
    SecretStore::Status m_status = SecretStore::Status::success;
    GList* m_items = nullptr;
};

} // namespace

SecretStore::Lookup LibsecretStore::lookup(const QString& service, const QString& account)
{
    const ItemSearch search(
        service, account, static_cast<SecretSearchFlags>(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS));
    if (search.status() != Status::success)
        return {search.status(), std::nullopt};
    auto* item = static_cast<SecretItem*>(search.items()->data);
    if (secret_item_get_locked(item))
        return {Status::locked, std::nullopt};
    g_autoptr(SecretValue) value = secret_item_get_secret(item);
    if (!value)
        return {Status::success, std::nullopt};
    gsize length = 0;
    const gchar* bytes = secret_value_get(value, &length);
    return {Status::success, QByteArray(bytes, qsizetype(length))};
}

SecretStore::Status LibsecretStore::store(const QString& service, const QString& account, const QByteArray& secret)
{
    g_autoptr(SecretService) secretService = openService();
    if (!secretService)
        return Status::unavailable;
    g_autoptr(GError) error = nullptr;
    GHashTable* attributes = attributesFor(service.toUtf8(), account.toUtf8());
    const QByteArray label = QStringLiteral("Velmora sign-in (%1)").arg(account).toUtf8();
    // libsecret keeps the value in non-pageable memory while it is sent.
    g_autoptr(SecretValue) value = secret_value_new(secret.constData(), secret.size(), "application/octet-stream");
    // An item with the same attributes in the default collection is replaced in place.
    const gboolean stored = secret_service_store_sync(secretService, &genericPasswordSchema(), attributes,
        SECRET_COLLECTION_DEFAULT, label.constData(), value, nullptr, &error);
    g_hash_table_unref(attributes);
    return stored ? Status::success : statusFor(error);
}

SecretStore::Status LibsecretStore::clear(const QString& service, const QString& account)
{
    const ItemSearch search(service, account, static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK));
    if (search.status() != Status::success)
        return search.status();
    Status status = Status::success;
    for (GList* node = search.items(); node; node = node->next) {
        auto* item = static_cast<SecretItem*>(node->data);
        if (secret_item_get_locked(item)) {
            status = Status::locked;
            continue;
        }
        g_autoptr(GError) error = nullptr;
        if (!secret_item_delete_sync(item, nullptr, &error)) {
            const Status failure = statusFor(error);
            if (failure != Status::notFound)
                status = failure;
        }
    }
    return status;
}

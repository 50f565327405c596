#include "FakeTrayHost.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString menuInterface = QStringLiteral("com.canonical.dbusmenu");
const QString connectionName = QStringLiteral("fake-tray-host");

// One entry of a dbusmenu layout: (id, properties, children as variants).
void readEntry(const QDBusArgument& argument, FakeTrayHost::MenuItem& entry)
{
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        FakeTrayHost::MenuItem item;
        readEntry(child.variant().value<QDBusArgument>(), item);
        entry.children.append(item);
    }
    argument.endArray();
    argument.endStructure();
}

QDBusMessage call(QDBusConnection& bus, const QString& service, const QString& path, const QString& interface,
    const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, 5000);
}

} // namespace

FakeTrayHost::FakeTrayHost()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName))
{
}

FakeTrayHost::~FakeTrayHost()
{
    if (m_bus.isConnected()) {
        m_bus.unregisterService(watcherService);
        m_bus.unregisterObject(watcherPath);
    }
    QDBusConnection::disconnectFromBus(connectionName);
}

bool FakeTrayHost::start()
{
    return m_bus.isConnected()
        && m_bus.registerObject(watcherPath, this,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties | QDBusConnection::ExportAllSignals)
        && m_bus.registerService(watcherService);
}

void FakeTrayHost::RegisterStatusNotifierItem(const QString& service)
{
    // Items register either their bus name or their object path on the caller's name.
    const QString name = service.startsWith(u'/') ? message().service() : service;
    if (!m_items.contains(name))
        m_items.append(name);
    Q_EMIT StatusNotifierItemRegistered(name);
}

void FakeTrayHost::RegisterStatusNotifierHost(const QString&)
{
}

QString FakeTrayHost::itemOf(qint64 process) const
{
    for (const QString& item : m_items) {
        if (m_bus.interface()->servicePid(item).value() == process)
            return item;
    }
    return {};
}

bool FakeTrayHost::activate(const QString& item)
{
    return call(m_bus, item, itemPath, itemInterface, QStringLiteral("Activate"), {0, 0}).type()
        == QDBusMessage::ReplyMessage;
}

QVariant FakeTrayHost::itemProperty(const QString& item, const QString& name)
{
    const QDBusMessage reply = call(m_bus, item, itemPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"), {itemInterface, name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

QString FakeTrayHost::menuPath(const QString& item)
{
    return itemProperty(item, QStringLiteral("Menu")).value<QDBusObjectPath>().path();
}

QList<FakeTrayHost::MenuItem> FakeTrayHost::menu(const QString& item)
{
    const QString path = menuPath(item);
    if (path.isEmpty())
        return {};
    call(m_bus, item, path, menuInterface, QStringLiteral("AboutToShow"), {0});
    const QDBusMessage reply
        = call(m_bus, item, path, menuInterface, QStringLiteral("GetLayout"), {0, -1, QStringList()});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2)
        return {};
    MenuItem root;
    readEntry(reply.arguments().at(1).value<QDBusArgument>(), root);
    return root.children;
}

bool FakeTrayHost::clickMenuEntry(const QString& item, int id)
{
    const QString path = menuPath(item);
    return call(m_bus, item, path, menuInterface, QStringLiteral("Event"),
               {id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u})
               .type()
        == QDBusMessage::ReplyMessage;
}

#include "AccessibleTree.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <optional>

namespace AccessibleTree {

namespace {

    const QString connectionName = QStringLiteral("accessible-tree");
    const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");

    struct Reference {
        QString service;
        QString path;
    };

    QList<Reference> children(QDBusConnection& bus, const Reference& element)
    {
        const QDBusMessage reply = bus.call(QDBusMessage::createMethodCall(element.service, element.path,
                                                accessibleInterface, QStringLiteral("GetChildren")),
            QDBus::Block, 2000);
        QList<Reference> result;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return result;
        const QDBusArgument list = reply.arguments().first().value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            Reference child;
            QDBusObjectPath path;
            list.beginStructure();
            list >> child.service >> path;
            list.endStructure();
            child.path = path.path();
            result.append(child);
        }
        list.endArray();
        return result;
    }

    QString name(QDBusConnection& bus, const Reference& element)
    {
        QDBusMessage get = QDBusMessage::createMethodCall(
            element.service, element.path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << accessibleInterface << QStringLiteral("Name");
        const QDBusMessage reply = bus.call(get, QDBus::Block, 2000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return reply.arguments().first().value<QDBusVariant>().variant().toString();
    }

    void collect(QDBusConnection& bus, const Reference& element, int depth, QStringList& names)
    {
        if (depth > 40)
            return;
        if (const QString text = name(bus, element); !text.isEmpty())
            names.append(text);
        for (const Reference& child : children(bus, element))
            collect(bus, child, depth + 1, names);
    }

    // Whether the element's first action presses it (a label's first action copies its text).
    bool isPressable(QDBusConnection& bus, const Reference& element)
    {
        QDBusMessage getName = QDBusMessage::createMethodCall(
            element.service, element.path, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("GetName"));
        getName << 0;
        const QDBusMessage reply = bus.call(getName, QDBus::Block, 2000);
        static const QStringList pressing
            = {QStringLiteral("click"), QStringLiteral("press"), QStringLiteral("toggle"), QStringLiteral("activate")};
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
            && pressing.contains(reply.arguments().first().toString(), Qt::CaseInsensitive);
    }

    // The first element named `wanted` under `element` (only one that can be pressed, when
    // `pressable`: a toolkit can give a control's name to its label and row too), depth first.
    std::optional<Reference> find(
        QDBusConnection& bus, const Reference& element, const QString& wanted, int depth, bool pressable)
    {
        if (depth > 40)
            return std::nullopt;
        if (name(bus, element) == wanted && (!pressable || isPressable(bus, element)))
            return element;
        for (const Reference& child : children(bus, element)) {
            if (std::optional<Reference> found = find(bus, child, wanted, depth + 1, pressable))
                return found;
        }
        return std::nullopt;
    }

    template <typename Visit> bool forEachApplicationOf(qint64 process, Visit visit)
    {
        QDBusInterface launcher(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
            QStringLiteral("org.a11y.Bus"), QDBusConnection::sessionBus());
        const QDBusReply<QString> address = launcher.call(QStringLiteral("GetAddress"));
        if (!address.isValid())
            return false;
        bool result = false;
        {
            QDBusConnection bus = QDBusConnection::connectToBus(address.value(), connectionName);
            const Reference desktop{
                QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")};
            for (const Reference& application : children(bus, desktop)) {
                if (bus.interface()->servicePid(application.service).value() == process && visit(bus, application)) {
                    result = true;
                    break;
                }
            }
        }
        QDBusConnection::disconnectFromBus(connectionName);
        return result;
    }

} // namespace

bool press(qint64 process, const QString& elementName)
{
    return forEachApplicationOf(process, [&](QDBusConnection& bus, const Reference& application) {
        std::optional<Reference> element = find(bus, application, elementName, 0, true);
        if (!element)
            element = find(bus, application, elementName, 0, false);
        if (!element)
            return false;
        QDBusMessage doAction = QDBusMessage::createMethodCall(
            element->service, element->path, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("DoAction"));
        doAction << 0;
        const QDBusMessage reply = bus.call(doAction, QDBus::Block, 2000);
        return reply.type() == QDBusMessage::ReplyMessage;
    });
}

QStringList namesOf(qint64 process)
{
    QDBusInterface launcher(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.a11y.Bus"), QDBusConnection::sessionBus());
    const QDBusReply<QString> address = launcher.call(QStringLiteral("GetAddress"));
    if (!address.isValid())
        return {};
    QStringList names;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address.value(), connectionName);
        const Reference desktop{
            QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")};
        for (const Reference& application : children(bus, desktop)) {
            if (bus.interface()->servicePid(application.service).value() == process)
                collect(bus, application, 0, names);
        }
    }
    QDBusConnection::disconnectFromBus(connectionName);
    return names;
}

QDBusConnection connectToBus(const QString& connectionName)
{
    const QDBusReply<QString> address
        = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"),
            QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")));
    return address.isValid() ? QDBusConnection::connectToBus(address.value(), connectionName)
                             : QDBusConnection(connectionName);
}

QStringList windowNamesOf(QDBusConnection& bus, qint64 process)
{
    QStringList names;
    const Reference desktop{
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")};
    for (const Reference& application : children(bus, desktop)) {
        if (bus.interface()->servicePid(application.service).value() != process)
            continue;
        for (const Reference& window : children(bus, application))
            names.append(name(bus, window));
    }
    return names;
}

} // namespace AccessibleTree

#include "AtspiBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>

namespace AtspiBus {

bool answers()
{
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected())
        return false;
    const QDBusReply<QString> address
        = session.call(QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
            QDBus::Block, 1000);
    return address.isValid() && !address.value().isEmpty();
}

}

#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// A desktop panel that shows tray items the freedesktop way (StatusNotifierItem): it owns
// the watcher service on the session bus, so that applications register their items with
// it, and it acts on an item as the panel would on a click.
class FakeTrayHost : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredStatusNotifierItems)
public:
    struct MenuItem {
        int id = 0;
        QVariantMap properties;
        QList<MenuItem> children;
    };

    FakeTrayHost();
    ~FakeTrayHost() override;

    // Owns the watcher's name on the session bus.
    bool start();

    bool isStatusNotifierHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList registeredStatusNotifierItems() const { return m_items; }

    // The bus name of the item a process registered, empty while it has none.
    QString itemOf(qint64 process) const;

    // A left click on the item.
    bool activate(const QString& item);
    // The item's menu as the panel would show it: brought up to date, then read.
    QList<MenuItem> menu(const QString& item);
    // A click on a menu entry.
    bool clickMenuEntry(const QString& item, int id);
    QVariant itemProperty(const QString& item, const QString& name);

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service);
    void RegisterStatusNotifierHost(const QString& service);

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);

private:
    QString menuPath(const QString& item);

    QDBusConnection m_bus;
    QStringList m_items;
};

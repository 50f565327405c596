#pragma once

#include <QDBusConnection>
#include <QStringList>

// What a process shows to assistive technology: the names of every element of its
// accessibility tree, read over the accessibility bus as a screen reader would.
namespace AccessibleTree {

QStringList namesOf(qint64 process);
// Presses the first element of the process named `name` that can be pressed, as a screen reader
// user would.
bool press(qint64 process, const QString& name);

// A connection of its own to the accessibility bus, for a caller that looks often: a connection
// made for each look makes every application on the bus ask again which events to send, which
// delays their reports. Not connected when there is no accessibility bus.
QDBusConnection connectToBus(const QString& connectionName);
// The names of the process's windows (the elements right below its application), over `bus`.
QStringList windowNamesOf(QDBusConnection& bus, qint64 process);

}

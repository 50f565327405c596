#pragma once

#include <QStringList>

// What a process shows to assistive technology: the names of every element of its
// accessibility tree, read over the accessibility bus as a screen reader would.
namespace AccessibleTree {

QStringList namesOf(qint64 process);
// Presses the first element of the process named `name`, as a screen reader user would.
bool press(qint64 process, const QString& name);

}

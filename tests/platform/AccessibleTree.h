#pragma once

#include <QStringList>

// What a process shows to assistive technology: the names of every element of its
// accessibility tree, read over the accessibility bus as a screen reader would.
namespace AccessibleTree {

QStringList namesOf(qint64 process);

}

#pragma once

#include "Services/Achievement.h"

#include <QList>

struct UserData;

// The 33 achievements in their fixed order, which is also the order in which they are
// evaluated, announced and listed. Built once, never changed.
namespace AchievementCatalog {

const QList<Achievement>& volume();
const QList<Achievement>& time();
const QList<Achievement>& library();
const QList<Achievement>& folder();
const QList<Achievement>& customization();
const QList<Achievement>& streak();
const QList<Achievement>& discovery();
const QList<Achievement>& hidden();
const QList<Achievement>& all();

// The achievement with this id, or nullptr.
const Achievement* find(const QString& id);

} // namespace AchievementCatalog

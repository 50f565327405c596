#pragma once

#include "Models/VelmoraJSON.h"

#include <QDateTime>

// How often one shortcut expanded, and when first and last.
struct PerShortcutStat {
    qint64 count = 0;
    QDateTime firstUsedAt;
    QDateTime lastUsedAt;

    static PerShortcutStat fromJson(const JsonReader& reader);
    QJsonValue toJson() const;
};

#pragma once

#include "Models/VelmoraJSON.h"

#include <QString>
#include <optional>

// Consecutive days with at least one expansion.
struct StreakState {
    qint64 current = 0;
    qint64 longest = 0;
    std::optional<QString> lastDay; // day key "yyyy-MM-dd" of the last day with an expansion

    static StreakState fromJson(const JsonReader& reader);
    QJsonValue toJson() const;
};

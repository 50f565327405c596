#pragma once

#include "Models/PerShortcutStats.h"
#include "Models/StreakState.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

// Usage statistics and achievement state: the content of the statistics file.
//
// Reading is lenient: a missing or null key takes its default; a key of the wrong JSON type
// fails the read. Keys of the maps and the flags are kept in canonical (NFC) text, so look
// them up with Text::canonical() of an id that may not be ASCII. Two statistics are compared
// by their canonical bytes, never field by field.
struct Stats {
    double totalTimeSaved = 0; // seconds
    qint64 totalExpansions = 0;
    qint64 totalCharsSaved = 0;
    PerShortcutStats perShortcut; // by shortcut id
    QMap<QString, qint64> dailyBuckets; // by day key "yyyy-MM-dd"
    QSet<QString> firstUseFlags; // written sorted
    StreakState streak;
    QMap<QString, QDateTime> unlocked; // achievement id -> moment of unlocking
    QList<QDateTime> recentExpansionTimestamps; // oldest first
    QMap<QString, qint64> resetBaselines; // carried unchanged

    // Every field at its default.
    static Stats empty();

    // The flags in ascending text order: the order they are written in.
    QStringList sortedFirstUseFlags() const;

    static Stats fromJson(const JsonReader& reader);
    QJsonValue toJson() const;
};

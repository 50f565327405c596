#pragma once

#include "Models/VelmoraJSON.h"

#include <QString>

// The user's preferences: the content of the settings file.
//
// Reading is lenient: a missing or null key takes its default; a key of the wrong JSON type
// fails the read. Two settings are compared by their encoded bytes, never field by field.
struct AppSettings {
    bool expandText = false;
    bool confirmDelete = true;
    bool copyOnClick = true;
    QString theme = QStringLiteral("system"); // "system", "light" or "dark"
    bool fullHeight = false;
    bool showTimeSavedAnimation = true;
    bool showDropdown = true;
    bool showAchievementToast = true;
    bool launchAtLogin = false;

    // Every setting at its default.
    static AppSettings defaults();

    static AppSettings fromJson(const JsonReader& reader);
    QJsonValue toJson() const;
};

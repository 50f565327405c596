#pragma once

#include "Models/VelmoraJSON.h"

#include <QString>

// The look the user chose for the popover; `system` follows the desktop.
enum class AppTheme { system, light, dark };

// The user's preferences: the content of the settings file.
//
// Reading is lenient: a missing or null key takes its default; a key of the wrong JSON type
// fails the read. Two settings are compared by their encoded bytes, never field by field.
struct AppSettings {
    bool expandText = false;
    bool confirmDelete = true;
    bool copyOnClick = true;
    // themeText() of an AppTheme; an unknown text is kept and written back, and means `system`.
    QString theme = themeText(AppTheme::system);
    bool fullHeight = false;
    bool showTimeSavedAnimation = true;
    bool showDropdown = true;
    bool showAchievementToast = true;
    bool launchAtLogin = false;

    // The JSON text of `theme`: "system", "light" or "dark".
    static QString themeText(AppTheme theme);
    AppTheme themeChoice() const;

    // Every setting at its default.
    static AppSettings defaults();

    static AppSettings fromJson(const JsonReader& reader);
    QJsonValue toJson() const;
};

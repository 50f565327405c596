#include "Models/AppSettings.h"

QString AppSettings::themeText(AppTheme theme)
{
    switch (theme) {
    case AppTheme::system: return QStringLiteral("system");
    case AppTheme::light: return QStringLiteral("light");
    case AppTheme::dark: return QStringLiteral("dark");
    }
    return QStringLiteral("system");
}

AppTheme AppSettings::themeChoice() const
{
    for (AppTheme chosen : {AppTheme::light, AppTheme::dark}) {
        if (theme == themeText(chosen))
            return chosen;
    }
    return AppTheme::system;
}

AppSettings AppSettings::defaults()
{
    return {};
}

AppSettings AppSettings::fromJson(const JsonReader& r)
{
    const AppSettings d;
    AppSettings s;
    s.expandText = r.value(QStringLiteral("expandText"), d.expandText);
    s.confirmDelete = r.value(QStringLiteral("confirmDelete"), d.confirmDelete);
    s.copyOnClick = r.value(QStringLiteral("copyOnClick"), d.copyOnClick);
    s.theme = r.value(QStringLiteral("theme"), d.theme);
    s.fullHeight = r.value(QStringLiteral("fullHeight"), d.fullHeight);
    s.showTimeSavedAnimation = r.value(QStringLiteral("showTimeSavedAnimation"), d.showTimeSavedAnimation);
    s.showDropdown = r.value(QStringLiteral("showDropdown"), d.showDropdown);
    s.showAchievementToast = r.value(QStringLiteral("showAchievementToast"), d.showAchievementToast);
    s.launchAtLogin = r.value(QStringLiteral("launchAtLogin"), d.launchAtLogin);
    return s;
}

QJsonValue AppSettings::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("expandText"), expandText);
    o.insert(QStringLiteral("confirmDelete"), confirmDelete);
    o.insert(QStringLiteral("copyOnClick"), copyOnClick);
    o.insert(QStringLiteral("theme"), theme);
    o.insert(QStringLiteral("fullHeight"), fullHeight);
    o.insert(QStringLiteral("showTimeSavedAnimation"), showTimeSavedAnimation);
    o.insert(QStringLiteral("showDropdown"), showDropdown);
    o.insert(QStringLiteral("showAchievementToast"), showAchievementToast);
    o.insert(QStringLiteral("launchAtLogin"), launchAtLogin);
    return o;
}

#include "AtspiFieldKind.h"

#include "AtspiRequestCounter.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <atspi/atspi.h>

FieldKind atspiFieldKind(int role, bool multiLine)
{
    switch (AtspiRole(role)) {
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_TEXT: return multiLine ? FieldKind::multiLine : FieldKind::singleLine;
    case ATSPI_ROLE_PASSWORD_TEXT: return FieldKind::password;
    case ATSPI_ROLE_COMBO_BOX: return FieldKind::singleLine;
    default: return FieldKind::other;
    }
}

std::optional<bool> atspiShowsItsText(AtspiAccessible* accessible)
{
    AtspiText* text = atspi_accessible_get_text_iface(accessible);
    if (!text)
        return false;
    GError* error = nullptr;
    AtspiRequestCounter::note();
    AtspiTextRange* drawn = atspi_text_get_text_at_offset(text, 0, ATSPI_TEXT_BOUNDARY_LINE_START, &error);
    gchar* held = nullptr;
    if (!error && drawn) {
        AtspiRequestCounter::note();
        held = atspi_text_get_text(text, drawn->start_offset, drawn->end_offset, &error);
    }
    g_object_unref(text);
    std::optional<bool> shown;
    if (!error && drawn && held) {
        const QString line = QString::fromUtf8(drawn->content);
        shown = line == QString::fromUtf8(held) && QSet<QChar>(line.cbegin(), line.cend()).size() >= 2;
    }
    g_clear_error(&error);
    g_free(held);
    if (drawn)
        g_boxed_free(ATSPI_TYPE_TEXT_RANGE, drawn);
    return shown;
}

std::optional<AtspiToolkit> atspiToolkit(AtspiAccessible* accessible)
{
    static QHash<QString, AtspiToolkit> known;
    const AtspiObject* object = ATSPI_OBJECT(accessible);
    const QString bus = object->app && object->app->bus_name ? QString::fromUtf8(object->app->bus_name) : QString();
    if (const auto it = known.constFind(bus); it != known.constEnd())
        return *it;
    AtspiRequestCounter::note();
    AtspiAccessible* application = atspi_accessible_get_application(accessible, nullptr);
    if (!application)
        return std::nullopt;
    AtspiRequestCounter::note();
    gchar* name = atspi_accessible_get_toolkit_name(application, nullptr);
    AtspiRequestCounter::note();
    gchar* version = atspi_accessible_get_toolkit_version(application, nullptr);
    g_object_unref(application);
    const bool answered = name && version;
    const AtspiToolkit toolkit{
        QString::fromUtf8(name ? name : ""), QVersionNumber::fromString(QString::fromUtf8(version ? version : ""))};
    g_free(name);
    g_free(version);
    if (!answered)
        return std::nullopt;
    known.insert(bus, toolkit);
    return toolkit;
}

std::optional<QVersionNumber> atspiGtkVersion(AtspiAccessible* accessible)
{
    const std::optional<AtspiToolkit> toolkit = atspiToolkit(accessible);
    if (!toolkit)
        return std::nullopt;
    return toolkit->isGtk() ? toolkit->version : QVersionNumber();
}

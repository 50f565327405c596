#pragma once

#include <QGuiApplication>
#include <QLoggingCategory>

// For targets whose SVG may hold text: text needs the font database, which needs a GUI
// application. It lives until the process ends, with the font caches it holds. The SVG
// module's warnings about bad input are silenced; bad input is the point.
inline void startOffscreenGui(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLoggingCategory::setFilterRules(QStringLiteral("qt.svg*=false"));
    static QGuiApplication* app = new QGuiApplication(*argc, *argv);
    Q_UNUSED(app);
}

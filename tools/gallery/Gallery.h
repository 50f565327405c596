#pragma once

#include "Utilities/Theme.h"

#include <QList>
#include <QString>
#include <functional>

class QWidget;

// The pages of the interface gallery. A page is a function that builds a widget for one
// appearance (the theme is already switched to it); the gallery lays it on a popover-like
// backdrop, renders it offscreen and saves it as <name>-light.png and <name>-dark.png.
// Pages register themselves from their own file:
//
//     const GalleryPageRegistration shortcutCards(QStringLiteral("shortcut-cards"), &buildShortcutCards);
struct GalleryPage {
    QString name;
    std::function<QWidget*(Appearance)> build;
};

class Gallery {
public:
    static QList<GalleryPage>& pages();
};

struct GalleryPageRegistration {
    GalleryPageRegistration(const QString& name, std::function<QWidget*(Appearance)> build);
};

// Gives `widget` the keyboard focus once its page is on screen, optionally as if reached
// with Tab (which shows focus rings).
void galleryFocus(QWidget* widget, bool byTab = false);
inline constexpr char galleryFocusProperty[] = "galleryFocusReason";

// Building blocks for pages: a page title and a caption naming what is shown below it.
QWidget* galleryTitle(const QString& text);
QWidget* galleryCaption(const QString& text);

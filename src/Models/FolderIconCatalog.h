#pragma once

#include "Models/Shortcut.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QLatin1String>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The built-in folder icons and what an icon key (Group::icon) stands for. A key is one of:
// absent or empty (the "folder" icon), a built-in key such as "star" (compared exactly),
// "custom:" followed by the id of a CustomIcon of the library, or any other text, shown as
// text (typically an emoji). Built-in and uploaded icons are drawn as silhouettes in one
// colour: their SVG is rendered once into a coverage mask and tinted when drawn.
class FolderIconCatalog {
public:
    static constexpr QLatin1String customPrefix{"custom:"};

    // The 46 built-in keys in display order.
    static const QStringList& orderedKeys();
    // A built-in key as words to read out: "file-text" is "File Text".
    static QString spokenName(const QString& key);
    // Built-in key to SVG text: one 24 by 24 view box filled with "currentColor".
    static const QHash<QString, QString>& icons();
    // The SVG text of "folder".
    static const QString& defaultSVG();

    // The SVG text `icon` stands for: the "folder" icon for no key, a built-in icon, or the
    // SVG of the first custom icon with the id after "custom:". None for other texts and for a
    // custom key that names no icon of `customIcons`.
    static std::optional<QString> resolvedSVG(const std::optional<QString>& icon, const QList<CustomIcon>& customIcons);
    // The key itself when it is to be shown as text: present, not empty, not built in and not
    // a custom key.
    static std::optional<QString> textFallback(const std::optional<QString>& icon);

    // The coverage mask of `svg` (see SvgIconRenderer), rendered once per process and shared;
    // a null image when it does not render. Safe from any thread.
    static QImage image(const QString& svg);

    // `mask` filled with `color`: only the mask's opacity is kept.
    static QImage tinted(const QImage& mask, const QColor& color);
};

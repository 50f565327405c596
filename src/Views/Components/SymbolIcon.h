#pragma once

#include "Views/Components/ViewStyle.h"

#include <QIcon>
#include <QPixmap>
#include <QStringList>

class QPainter;

// Stroke weights of a symbol, matching the font weight of the text beside it.
enum class SymbolWeight { light, regular, medium, semibold };

// The interface symbols ("plus", "chevron.left", "trash", ...): our own 24 by 24 drawings,
// kept as SVG files in the application's resources (:/symbols/<name>.svg) so that the
// look does not depend on the desktop's icon theme. Each is drawn in one colour chosen at
// paint time. In the files, black is ink and white cuts through the ink beneath it, which
// lets a filled badge carry a see-through mark. A name without a drawing draws nothing.
class SymbolIcon {
public:
    static bool contains(QStringView name);
    static QStringList names();

    // The side of the square a symbol takes beside text of `pointSize` pixels.
    static int sideFor(qreal pointSize);

    // Draws the symbol centred in `box`, in the largest square that fits, in `color`.
    static void paint(QPainter& painter, const QRectF& box, QStringView name, const QColor& color,
        SymbolWeight weight = SymbolWeight::regular);

    // The symbol as a pixmap of `side` device-independent pixels; null for an unknown name.
    static QPixmap pixmap(QStringView name, int side, const QColor& color, SymbolWeight weight = SymbolWeight::regular,
        qreal devicePixelRatio = 1.0);

    // An icon for menus and tool buttons that reads `color` whenever it is drawn, and fades
    // when its item is disabled.
    static QIcon icon(const QString& name, ThemeColor color, SymbolWeight weight = SymbolWeight::regular);
};

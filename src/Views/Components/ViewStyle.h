#pragma once

#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QRectF>

// A palette colour by role, such as `&Theme::textMuted`. Widgets keep the role rather than
// the colour and read it when they paint, so a change of appearance reaches them at once.
using ThemeColor = QColor (*)();

// The interface font: the application's font family (see useInterfaceFont) at a size in
// pixels, so that a size given in points for the popover reads the same on every screen
// density setting. A weight lighter than regular is drawn regular unless the family has a
// true face of that weight: the fonts would otherwise fall back to an extra-light face
// whose hairline strokes are hard to read.
QFont uiFont(int pixelSize, QFont::Weight weight = QFont::Normal, bool monospaced = false);

// Makes Inter, a family with real weights from thin to black, the application's font at
// the desktop font's size; where it is not installed the desktop's font stays.
void useInterfaceFont();

// The font for emoji: the colour emoji font first, so that characters that also have a plain
// text form (the red heart, the airplane) show in colour, then the interface font for
// anything it lacks.
QFont emojiFont(int pixelSize);

// `emoji` as it is to be drawn with emojiFont: without the emoji variation selector, which
// the colour font makes redundant and which would otherwise come from a fallback font,
// splitting joined sequences (the rainbow flag, the heart on fire) into their parts.
QString emojiGlyphs(const QString& emoji);

// True for text without ASCII letters or digits (an emoji, a symbol): such text reads best
// in emojiFont. Letters and digits stay in the interface font.
bool isSymbolText(QStringView text);

// A rounded rectangle whose corners ease out of the straight edges (continuous curvature)
// instead of joining them with a quarter circle; reads as the same radius but softer.
// Falls back to circular corners where the sides are too short for the longer curve.
QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius);

class QPainter;

// The outline of a glass field or row: subtle at rest, and darker while it is lit (focused
// or under the pointer) in the light appearance, where the brighter fill alone hardly shows.
QColor glassFieldOutline(bool lit);

// The glass panel under a text input: a 10-pixel rounded rectangle with a 1-pixel
// glassFieldOutline, brighter while the input has the keyboard focus or the pointer.
void paintGlassFieldPanel(QPainter& painter, const QRectF& rect, bool focused);

class QWidget;

// Draws `widget` with everything in it at `opacity`; 1 draws it as it is.
void setDrawnOpacity(QWidget* widget, qreal opacity);

// True while `widget` has the focus and it came there by keyboard (Tab, Backtab or a
// shortcut): only then do custom-drawn controls show a focus ring, as the desktop does.
bool showsKeyboardFocus(const QWidget* widget);
